// CatalogCall: a reader's statement that is a call of one of ODBC's own
// catalogue functions (SQLTables, SQLColumns, ...) instead of SQL text. A
// reader registers it with AddCatalogCall (SchemaSourceReaderI.h) and runs it
// like any statement: its result rows are fetched by the same loop, into the
// same record, keyed by the result's column names as the driver describes
// them (ODBC 3 names, e.g. TABLE_SCHEM, COLUMN_SIZE: the module asks the
// driver manager for ODBC 3 behaviour), and handed to the statement's row
// action.
//
// One statement may be several calls of its function, one per argument set
// (e.g. SQLPrimaryKeys once per table, since it takes no table pattern): the
// row action sees them as one run, PreExecute before the first call's rows,
// the rows of every call in turn, PostExecute after the last.
//
// Names are exact unless `patterns` says otherwise: where the function takes
// a search pattern (SQLTables' catalog, schema and table, SQLColumns' and
// SQLProcedureColumns' schema, table or procedure and column, SQLProcedures'
// schema and procedure), the module escapes '_' and '%' in them with the
// driver's escape character (SQLGetInfo SQL_SEARCH_PATTERN_ESCAPE), and runs
// every call with SQL_ATTR_METADATA_ID off, so that the driver reads them as
// patterns that match the one name. Case is the driver's: pass names as the
// driver reported them. A driver without an escape character gets the names
// as they are; a name with '_' or '%' may then match others too, whose rows
// the row action receives as well.
//
// A null argument is a null pointer for the driver: every name for a pattern,
// "not given" otherwise; an empty text is the empty string ("objects without
// a catalog"). Plain data: copy it freely.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CatalogCall {
  // The function called. Each name's result set is the one ODBC describes
  // for it.
  enum class Function : int {
    Tables,            // SQLTables(catalog, schema, object, tableTypes)
    Columns,           // SQLColumns(catalog, schema, object, column)
    PrimaryKeys,       // SQLPrimaryKeys(catalog, schema, object)
    ForeignKeys,       // SQLForeignKeys of the table named (its own keys: the foreign-key side), any referenced table
    Statistics,        // SQLStatistics(catalog, schema, object, uniqueOnly ? SQL_INDEX_UNIQUE : SQL_INDEX_ALL, SQL_QUICK)
    Procedures,        // SQLProcedures(catalog, schema, object)
    ProcedureColumns,  // SQLProcedureColumns(catalog, schema, object, column)
  };

  // The arguments of one call; null: not given (see above).
  struct Arguments {
    std::optional<std::u16string> catalog;
    std::optional<std::u16string> schema;
    std::optional<std::u16string> object;      // table, or procedure for the procedure functions
    std::optional<std::u16string> column;      // Columns, ProcedureColumns: the column; ignored otherwise
    std::optional<std::u16string> tableTypes;  // Tables: a list such as u"'TABLE','VIEW'"; ignored otherwise
  };

  Function function = Function::Tables;
  // One call per entry, in order; empty: one call with every argument null.
  std::vector<Arguments> calls;
  // Statistics: unique indexes only; otherwise every index.
  bool uniqueOnly = false;
  // The arguments are search patterns as they stand ('%' matches anything),
  // not exact names: nothing is escaped.
  bool patterns = false;

  // The function's ODBC name, e.g. u"SQLColumns", for messages.
  static const char16_t* FunctionName(Function function) {
    switch (function) {
      case Function::Tables: return u"SQLTables";
      case Function::Columns: return u"SQLColumns";
      case Function::PrimaryKeys: return u"SQLPrimaryKeys";
      case Function::ForeignKeys: return u"SQLForeignKeys";
      case Function::Statistics: return u"SQLStatistics";
      case Function::Procedures: return u"SQLProcedures";
      case Function::ProcedureColumns: return u"SQLProcedureColumns";
    }
    return u"a catalogue function";
  }
};

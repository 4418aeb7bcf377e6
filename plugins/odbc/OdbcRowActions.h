// The generic plug-in's row actions: one per catalogue function, each
// reading the result set ODBC defines for it (columns by their ODBC 3
// names, e.g. TABLE_SCHEM, COLUMN_SIZE; an ODBC 2 driver's names are read
// too) into the model, through the module's caches:
//
//   tables      SQLTables         tables and views (with remarks) under their schema
//   columns     SQLColumns        type (name with size and digits), nullability, default (the word
//                                 NULL, ODBC's "default NULL", is no default),
//                                 position (the n-th column the driver lists for the table), remarks
//   keys        SQLPrimaryKeys    primary keys, their columns in key order, signatures in the keys cache
//   indexes     SQLStatistics     indexes: unique, columns in order, filter condition
//   foreign keys SQLForeignKeys   columns, referenced table and columns (and key), rules, deferrability;
//                                 no referenced column named (SQLite3 for "REFERENCES t"): t's primary key
//   routines    SQLProcedures     procedures and functions with remarks
//   parameters  SQLProcedureColumns  parameters in order with mode and type; a routine's return value
//
// Cache keys (ImportedObjectCache, by database id): a table or view by its
// model schema and name, a column by its table's object id and name, a
// routine by schema and name. The rows of one table's keys, indexes and
// foreign keys come from several calls of their function (one per table)
// as one run: they are collected row by row and written in PostExecute.
//
// The actions share one ReadState with the reader, which owns it; they run
// on the import's thread only.
#pragma once

#include "OdbcSource.h"

#include <schemaimport/QueryResultActions.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm::odbc {

// A table or view as SQLTables reported it, to name it in later calls.
struct FoundTable {
  std::optional<std::u16string> catalog;  // TABLE_CAT; none when the driver gave NULL
  std::optional<std::u16string> schema;   // TABLE_SCHEM; none when the driver gave NULL
  std::u16string name;                    // TABLE_NAME
  bool view = false;                      // made a view in the model
};

// What the reader and its row actions share during one import.
struct ReadState {
  SourceFacts facts;                // the driver's answers, read when the import starts
  std::vector<FoundTable> tables;   // what the tables statement made, in row order
  std::size_t skippedTypes = 0;     // rows of SQLTables of a type not imported (system tables, synonyms, ...)
  // table object id -> its primary key's column ids in key order, for a
  // foreign key whose driver names no referenced column
  std::map<int, std::vector<int>> primaryKeys;

  void Clear() {
    facts = SourceFacts();
    tables.clear();
    skippedTypes = 0;
    primaryKeys.clear();
  }
};

// The row actions, each new (the reader owns it once stored), reading and
// writing the state given.
QueryResultRowActionI* NewTablesAction(ReadState& state);
QueryResultRowActionI* NewColumnsAction(ReadState& state);
QueryResultRowActionI* NewPrimaryKeysAction(ReadState& state);
QueryResultRowActionI* NewIndexesAction(ReadState& state);
QueryResultRowActionI* NewForeignKeysAction(ReadState& state);
QueryResultRowActionI* NewRoutinesAction(ReadState& state);
QueryResultRowActionI* NewParametersAction(ReadState& state);

// A column type as the model holds it: TYPE_NAME, with "(size)" for a
// character or binary type and "(size,digits)" for a decimal or numeric
// one, unless the name has parentheses already (a driver that reports the
// declared type) or the size is unknown. Exposed for tests.
std::u16string ColumnType(std::u16string_view typeName, int sqlType, std::optional<int> size,
                          std::optional<int> digits);

}  // namespace qm::odbc

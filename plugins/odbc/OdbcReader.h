// OdbcReader: reads a data source's catalogue through ODBC's own catalogue
// functions (row actions in OdbcRowActions.h), for any driver.
//
// Every statement is a catalogue call (CatalogCall.h), fetched by the
// module's loop like SQL text: tables and views (SQLTables) and their
// columns (SQLColumns), once per scope name (or once for all); then, for
// each table found, its primary key (SQLPrimaryKeys), its indexes
// (SQLStatistics) and its foreign keys (SQLForeignKeys), each function
// called once per table as one statement; then procedures and their
// parameters (SQLProcedures, SQLProcedureColumns) once per scope name.
//
// What the driver cannot answer is said, not guessed: a function that
// SQLGetFunctions says the driver lacks is not called and the host hears
// of it through the notice callback (the objects it would have read are
// missing from the model); so does a source where SQLTables reports no
// table or view (an empty database, a scope naming nothing, or a driver
// that lists nothing). A call that fails is a failed statement, named with
// the call and the driver's reason.
//
// The scope (the host's --schema names) selects by the level the driver
// names things by (OdbcSource.h): schemas; catalogs for a driver with no
// schemas (none given: the connection's current catalog); a driver with
// neither has one schema, which the scope either names or not.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include "OdbcRowActions.h"

#include <schemaimport/CatalogCall.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <string>
#include <vector>

namespace qm::odbc {

// The generic plug-in's model type, the registry key of its tools.
constexpr unsigned int kOdbcModelType = 1004;

class OdbcReader : public SchemaSourceReaderI {
 public:
  OdbcReader() = default;

  void RegisterQueryStatements() override;
  void ReadObjects() override;

 private:
  // The argument sets of the per-scope calls; empty when the scope names
  // nothing this source has.
  std::vector<CatalogCall::Arguments> ScopeCalls();
  // One argument set per table (views left out) found by the tables statement.
  std::vector<CatalogCall::Arguments> TableCalls() const;
  // Runs the per-table statement if the driver has its function, else
  // tells the host what is missing.
  void RunPerTable(int statementId, bool available, const char16_t* function, const char16_t* what);
  // Tells the host something that is not a failure (the connector's notice callback).
  void Notice(const std::u16string& text) const;

  ReadState m_state;  // shared with the row actions; emptied when an import starts
};

}  // namespace qm::odbc

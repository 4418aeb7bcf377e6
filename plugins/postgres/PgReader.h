// PgReader: reads the catalogue of a PostgreSQL database into the model
// (statements in PgCatalog.h, row actions in PgRowActions.h).
//
// ReadObjects runs every statement once, in PgCatalog's order, each between
// the progress notifications; PreProcessQueryStatement gives each the
// import's schema filter (the scope the connector reports, names passed as
// SQL literals) and the routine-body expression of the server's version.
//
// Before every statement the session's flag is checked: once the host has
// raised it, no further statement runs and the import ends normally with
// what was read. A statement that fails is recorded by the framework and the
// transaction rolled back, so the statements after it still run. When the
// connection itself is lost, the statements not yet run are not attempted;
// they are reported as failed with a "not run" reason.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <string>
#include <vector>

namespace qm::postgres {

class PgConnector;

class PgReader : public SchemaSourceReaderI {
 public:
  PgReader() = default;

  // Starts an import: takes the scope and the server version from the
  // connection and forgets the previous import's statements not run.
  void GetAvailableObjects() override;
  void ReadObjects() override;
  void RegisterQueryStatements() override;
  void PreProcessQueryStatement(int statementId, CString& statement) override;

  // The statements of the last import that failed or were not run, in the
  // order of the statements, each named and with its reason.
  std::vector<QmFailedStatement> Failures() const;

 private:
  // The connector of the current import when it is the plug-in's; null
  // otherwise (then the reader neither rolls back nor asks for the
  // connection's state).
  PgConnector* Connector() const;

  std::u16string m_scopeFilter;            // schema filter of the current import (n.nspname)
  int m_serverVersion = 0;                 // server_version_num of the current import; 0: newest
  std::vector<FailedStatement> m_notRun;   // statements skipped after the connection was lost
};

}  // namespace qm::postgres

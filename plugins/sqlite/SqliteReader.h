// SqliteReader: reads the catalogue of an SQLite database, and of the
// databases attached to the connection, into the model (statements in
// SqliteCatalog.h, row actions in SqliteRowActions.h).
//
// GetAvailableObjects reads the connection's database list (main, the
// attached databases, and temp only when it holds objects; only those the
// scope text names, when it names any) and gives each database its schema
// object; ReadObjects runs the other statements, each
// once for all tables of all those databases (PreProcessQueryStatement
// chains the per-database statements with UNION ALL). Before every
// statement the session's flag is checked: once the host has raised it, no
// further statement runs and the import ends normally with what was read.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include "SqliteCatalog.h"

#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <vector>

namespace qm::sqlite {

class SqliteReader : public SchemaSourceReaderI {
 public:
  SqliteReader() = default;

  void GetAvailableObjects() override;
  void ReadObjects() override;
  void RegisterQueryStatements() override;
  // Rewrites a per-database statement for the databases GetAvailableObjects
  // found; the database list itself, and any statement when none were
  // found, keep their text (which reads main).
  void PreProcessQueryStatement(int statementId, CString& statement) override;
  // The statements of the last import that failed, named for the host.
  std::vector<QmFailedStatement> Failures() const;

 private:
  // Runs the statement between the progress notifications; false, without
  // running it, when the session's flag is raised.
  bool RunStatement(int statementId);

  ImportScope m_scope;  // wanted names from the scope text (GetAvailableObjects), databases from the
                       // database list's row action; both emptied when ReadObjects ends
};

}  // namespace qm::sqlite

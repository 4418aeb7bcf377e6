// SqliteReader: reads the catalogue of an SQLite database, and of the
// databases attached to the connection, into the model (statements in
// SqliteCatalog.h, row actions in SqliteRowActions.h).
//
// GetAvailableObjects reads the connection's database list (main, the
// attached databases, and temp only when it holds objects; only those the
// scope text names, when it names any) and gives each database its schema
// object; ReadObjects runs the other statements, each
// once for all tables of all those databases (PreProcessQueryStatement
// chains the per-database statements with UNION ALL), and after the
// foreign keys creates the check constraints the tables' CREATE texts
// declare. The statements run in the module's read loop
// (SchemaSourceReaderI::RunStatements): once the host has raised the
// session's flag, no further statement runs and the import ends normally
// with what was read.
//
// When the statement for the columns of all views (or of all virtual
// tables) fails, SQLite could not read one of them; the reader then
// (OnStatementFailed) reads them in halves, and halves of the halves that
// fail, down to single ones, so that only the ones SQLite cannot read go
// without columns, at the cost of a few statements per such view. Each of
// those is one failure for the host, named after the view or table
// ("columns of view "main"."v""), with SQLite's reason; the failures of the
// statements for several are not reported.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include "SqliteCatalog.h"

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

 protected:
  // The columns of views or virtual tables read in parts (see above); any
  // other failure goes as the base decides.
  AfterFailure OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) override;

 private:
  // Reads the relations (of one database) with one statement; when it
  // fails, those of them still without columns in halves, a single one
  // failing under its own name.
  void ReadPart(int statementId, const std::vector<const RelationName*>& relations);
  // Those of the relations that have no columns yet.
  std::vector<const RelationName*> WithoutColumns(const std::vector<const RelationName*>& relations) const;
  // Whether the imported view or table has columns in the model.
  bool HasColumns(const RelationName& relation) const;

  ImportScope m_scope;  // wanted names from the scope text (GetAvailableObjects), the rest filled by the
                        // row actions; all emptied when ReadObjects ends
  const std::vector<const RelationName*>* m_only = nullptr;  // the views or tables the running statement reads;
                                                            // null: all
};

}  // namespace qm::sqlite

// MariaReader: reads the catalogue of a MariaDB server into the model
// (statements in MariaCatalog.h, row actions in MariaRowActions.h).
//
// ReadObjects runs every statement once, in MariaCatalog's order, in the
// module's read loop (the host's stop request checked before each,
// progress around each, failures kept under the statement's name);
// PreProcessQueryStatement gives each the import's scope (names as hex
// literals), and makes the sequence values statement from the sequences
// the import found. The routine bodies are read from mysql.proc only when
// the connector found it readable; an import without sequences runs no
// sequence values statement.
//
// A view MariaDB cannot open (a table, column or function it names was
// dropped, or its definer may no longer use them) has no columns in
// information_schema, which says no more than a warning: once the columns
// are read, each view that came without any is asked for its columns
// (SHOW COLUMNS), and the server's refusal is reported as a failed
// statement of its own, "columns of view `schema`.`view`"; the view stays
// in the model with its definition. A view whose columns the account may
// not see (1142, 1143) is not a failure.
//
// A lost connection (OnStatementFailed): besides a connection exception,
// the client library's own numbers for a session that is gone (see
// MariaConnector::MeansConnectionLost) give the connection up, and the
// statements still to come are reported as not run. A lock waited for
// until the timeout is reported with what was waited for.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include "MariaCatalog.h"

#include <schemaimport/SchemaSourceReaderI.h>

#include <string>
#include <vector>

namespace qm::mariadb {

class MariaConnector;

class MariaReader : public SchemaSourceReaderI {
 public:
  // Starts an import: takes the scope and forgets the previous import's
  // sequences.
  void GetAvailableObjects() override;
  void ReadObjects() override;
  void RegisterQueryStatements() override;
  void PreProcessQueryStatement(int statementId, CString& statement) override;

 protected:
  AfterFailure OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) override;

 private:
  // The connector of the current import when it is the plug-in's; null
  // otherwise (then every statement runs, routine bodies included).
  MariaConnector* Connector() const;
  // Whether the statement has anything to read in this import.
  bool Applies(int statementId) const;
  // Reports the views this import made (objects from firstNew on) that
  // have no columns because the server cannot open them (see above).
  void ReportUnreadableViews(int firstNew);

  std::vector<std::u16string> m_scope;    // schemas of the current import; empty: all but MariaDB's own
  std::vector<SequenceName> m_sequences;  // the sequences the current import found (row action fills it)
};

}  // namespace qm::mariadb

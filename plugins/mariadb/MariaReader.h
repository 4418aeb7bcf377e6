// MariaReader: reads the catalogue of a MariaDB server into the model
// (statements in MariaCatalog.h, row actions in MariaRowActions.h).
//
// ReadObjects runs every statement once, in MariaCatalog's order, each
// between the progress notifications; PreProcessQueryStatement gives each
// the import's scope (names as hex literals), and makes the sequence values
// statement from the sequences the import found. The routine bodies are
// read from mysql.proc only when the connector found it readable; a server
// without sequences in scope runs no sequence values statement.
//
// Before every statement the session's flag is checked: once the host has
// raised it, no further statement runs and the import ends normally with
// what was read. A statement that fails is reported under its name with the
// driver's diagnostic and the next one runs; when the connection itself is
// lost (the server killed the session, or went away), the statements not yet
// run are not attempted and are reported as failed with a "not run" reason.
// What was read is kept.
//
// The plug-in keeps one reader for the process; it runs on the import's
// thread only, one import at a time.
#pragma once

#include "MariaCatalog.h"

#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <string>
#include <vector>

namespace qm::mariadb {

class MariaConnector;

class MariaReader : public SchemaSourceReaderI {
 public:
  MariaReader() = default;

  // Starts an import: takes the scope and forgets the previous import's
  // failures and sequences.
  void GetAvailableObjects() override;
  void ReadObjects() override;
  void RegisterQueryStatements() override;
  void PreProcessQueryStatement(int statementId, CString& statement) override;

  // The statements of the last import that failed or were not run, in the
  // order of the statements, each named and with its reason.
  std::vector<QmFailedStatement> Failures() const;

 private:
  // The connector of the current import when it is the plug-in's; null
  // otherwise (then every statement runs, routine bodies included).
  MariaConnector* Connector() const;
  // Whether the statement has anything to read in this import.
  bool Applies(int statementId) const;

  std::vector<std::u16string> m_scope;        // schemas of the current import; empty: all but MariaDB's own
  std::vector<SequenceName> m_sequences;      // the sequences the current import found (row action fills it)
  std::vector<FailedStatement> m_failures;    // failed and not-run statements of the current import, in order
};

}  // namespace qm::mariadb

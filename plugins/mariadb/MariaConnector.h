// MariaConnector: opens a MariaDB server through MariaDB's ODBC driver.
//
// What the host configures (QmPluginApi::Configure):
//   source  an ODBC connection string. Without a Driver or DSN attribute the
//           driver Debian registers is named ("MariaDB Unicode"). Unless the
//           string sets it, CHARSET=utf8mb4 is added: every text of the
//           catalogue reaches the import as the server holds it.
//   scope   the schemas (databases) to import, comma-separated, names as
//           stored (letter case counts); empty: every schema but MariaDB's
//           own (information_schema, mysql, performance_schema, sys).
//   timeout (SetConnectOptions) how long to wait for the server to answer
//           the connection (ODBC's login timeout, which the driver hands to
//           the client library as its connect timeout) and, each time, for
//           a lock another session holds (the session's lock_wait_timeout
//           for metadata locks and innodb_lock_wait_timeout for rows).
//
// After connecting it reads the server's version (refusing a server that
// is not MariaDB, or older than the statements support), sets the
// session's sql_mode to one the statements are written for (no
// ANSI_QUOTES, no NO_BACKSLASH_ESCAPES, whatever the server's global mode
// says; the server also prints expressions by it), the lock waits, and
// read-only transactions; checks that every schema the scope names exists;
// and finds out whether the account may read mysql.proc (routine bodies as
// written). A transaction's snapshot would not help: information_schema is
// read from the data dictionary, not through one.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaSourceConnectorI.h>

#include <string>
#include <vector>

namespace qm::mariadb {

class MariaConnector : public SchemaSourceConnectorI {
 public:
  // The session's sql_mode while the import runs.
  static constexpr const char16_t* kSessionSqlMode = u"NO_ENGINE_SUBSTITUTION";

  MariaConnector() = default;
  // Closes a connection still open.
  ~MariaConnector();

  // Sets what the next EstablishConnection opens; the connect options go
  // back to their defaults.
  void Configure(std::u16string source, std::u16string scope);
  // Sets the timeout (QmConnectOptions; a file path does not apply).
  void SetConnectOptions(const QmConnectOptions& options) { m_options = options; }

  // Connects with the configured string completed as above, then prepares
  // the session. True with an open connection. False with no connection
  // left open and the reason in LastConnectError (the driver's diagnostic,
  // or the plug-in's own refusal without SQLSTATE).
  bool EstablishConnection() override;
  void Disconnect() override;
  // The configured scope text.
  void GetREScope(CString& scope) override;

  // Why the last EstablishConnection failed; empty after a successful one.
  const OdbcDiagnostic& LastConnectError() const { return m_lastError; }
  // The version of the open connection's server (10.11.6 is 101106); 0
  // before a connection.
  int ServerVersion() const { return m_serverVersion; }
  // Whether the account of the open connection may read mysql.proc.
  bool ProcReadable() const { return m_procReadable; }

  // Whether a failure means the session is gone: a connection exception
  // (class 08; 08S01 for a broken link), the server's "connection was
  // killed" (1927), or the client library's lost connection (2006, 2013,
  // 2055, and a failed read or write, 5013, 5014, as it reports a
  // connection the server closed between statements). A killed query alone
  // (1317) is not.
  static bool MeansConnectionLost(const OdbcDiagnostic& diagnostic);
  // Whether the driver reports the open connection as dead (or there is
  // none).
  bool ConnectionDead() const;

  // The connection string handed to the driver for a configured source: the
  // Unicode driver named when the source names neither driver nor DSN, and
  // CHARSET=utf8mb4 added unless the string sets a character set.
  static std::u16string CompleteConnectionString(const std::u16string& source);
  // The version number of a server's version text ("10.11.6-MariaDB-0+deb12u1"
  // is 101106); 0 when it does not start with one.
  static int ParseServerVersion(const std::u16string& version);

 private:
  bool Refuse(std::u16string message);
  // Runs the statement and collects the first column of its rows; on
  // failure keeps the reason, closes the connection and returns false.
  bool RunOrDisconnect(const std::u16string& statement, std::vector<std::u16string>* firstColumn = nullptr);

  std::u16string m_source;     // connection string as configured
  std::u16string m_scope;      // schemas to import, as configured
  QmConnectOptions m_options;  // as the host set them
  OdbcDiagnostic m_lastError;  // reason of the last failed EstablishConnection
  int m_serverVersion = 0;     // version of the open connection's server
  bool m_procReadable = false; // the open connection may read mysql.proc
};

}  // namespace qm::mariadb

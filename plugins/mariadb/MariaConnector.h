// MariaConnector: opens a MariaDB server through MariaDB's ODBC driver.
//
// What the host configures (the base keeps it):
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
// says; the server also prints expressions by it), with the global mode's
// strictness (by which the server derives view columns), the lock waits, and
// read-only transactions; checks that every schema the scope names exists;
// and finds out whether the account may read mysql.proc (routine bodies as
// written). A transaction's snapshot would not help: information_schema is
// read from the data dictionary, not through one.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/SchemaSourceConnectorI.h>

#include <string>

namespace qm::mariadb {

class MariaConnector : public SchemaSourceConnectorI {
 public:
  // The session's sql_mode while the import runs, with STRICT_TRANS_TABLES
  // and STRICT_ALL_TABLES added where the server's global mode has them.
  static constexpr const char16_t* kSessionSqlMode = u"NO_ENGINE_SUBSTITUTION";

  // Connects with the configured string completed as above, then prepares
  // the session. True with an open connection. False with no connection
  // left open and the reason in LastConnectError.
  bool EstablishConnection() override;

  // The version of the open connection's server (10.11.6 is 101106); 0
  // before a connection.
  int ServerVersion() const { return m_serverVersion; }
  // Whether the account of the open connection may read mysql.proc.
  bool ProcReadable() const { return m_procReadable; }

  // Whether a driver's failure means the session is gone: a connection
  // exception (class 08; 08S01 for a broken link), the server's
  // "connection was killed" (1927), or the client library's lost
  // connection (2006, 2013, 2055, and a failed read or write, 5013, 5014,
  // which it reports under HY000 for a connection the server closed
  // between two statements). A killed query alone (1317) is not.
  static bool MeansConnectionLost(const OdbcDiagnostic& diagnostic);

  // The connection string handed to the driver for a configured source: the
  // Unicode driver named when the source names neither driver nor DSN, and
  // CHARSET=utf8mb4 added unless the string sets a character set.
  static std::u16string CompleteConnectionString(const std::u16string& source);
  // The version number of a server's version text ("10.11.6-MariaDB-0+deb12u1"
  // is 101106); 0 when it does not start with one.
  static int ParseServerVersion(const std::u16string& version);

 private:
  int m_serverVersion = 0;      // version of the open connection's server
  bool m_procReadable = false;  // the open connection may read mysql.proc
};

}  // namespace qm::mariadb

// PgConnector: opens a PostgreSQL database through psqlODBC.
//
// What the host configures (the base keeps it):
//   source  an ODBC connection string. Without a Driver or DSN attribute
//           the Unicode driver is named ("PostgreSQL Unicode").
//   scope   the schemas to import, comma-separated, names as stored (case
//           matters); empty: every schema but PostgreSQL's own.
//   timeout (SetConnectOptions) how long to wait for the server to answer
//           the connection (ODBC's login timeout, which psqlODBC hands to
//           libpq as connect_timeout: it covers a server that accepts the
//           connection and never answers; libpq waits 2 s at the least)
//           and, each time, for a lock another session holds (the
//           session's lock_timeout).
//
// The driver completes the connection string. The connector adds what a
// large catalogue needs unless the user set it, in the string or in the
// DSN (keys compared without regard to case, abbreviations included):
// UseDeclareFetch=1 and Fetch=kFetchRows, so that a big result comes in
// batches from a server-side cursor instead of whole into memory.
//
// After connecting it reads the server version (refusing servers older
// than the statements support), empties search_path so that every
// non-catalogue name the server prints is schema-qualified, checks that
// every schema the scope names exists, limits lock waits to the timeout
// (lock_timeout) and makes every transaction
// read-only REPEATABLE READ: each statement sees one snapshot of the
// catalogue (the reader ends the transaction after each statement; see
// PgReader.h). Disconnect rolls an open transaction back.
//
// Nothing here writes a log, and no log of the driver's is left behind: a
// driver registered with its communication log on (Debian registers
// psqlODBC with CommLog=1) still opens its log file at disconnect, even for
// a connection with CommLog=0, because psqlODBC withdraws the connection's
// setting before it closes the connection and logs the close under the
// driver-wide one; the connector removes that file again. The password
// never leaves the connection string handed to the driver.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/SchemaSourceConnectorI.h>

#include <functional>
#include <string>

namespace qm::postgres {

class PgConnector : public SchemaSourceConnectorI {
 public:
  // Rows per batch from the server-side cursor when the user set none.
  static constexpr int kFetchRows = 2000;

  // Reads one setting of a data source from the ODBC configuration:
  // (dsn, key) -> value, empty when the DSN does not set it.
  using DsnSetting = std::function<std::u16string(const std::u16string& dsn, const std::u16string& key)>;

  PgConnector() = default;
  // Rolls back and closes a connection still open.
  ~PgConnector();

  // Connects with the configured string completed as above, then prepares
  // the session. True with an open connection inside the import's
  // transaction. False with no connection left open and the reason in
  // LastConnectError (the driver's diagnostic, or the plug-in's refusal).
  bool EstablishConnection() override;
  // Ends the import's transaction (rolled back: nothing was written) and
  // closes the connection; harmless when closed. A log file the driver
  // opened while closing a connection that had its log off is removed.
  void Disconnect() override;

  // server_version_num of the open connection (e.g. 150018); 0 before a
  // connection.
  int ServerVersion() const { return m_serverVersion; }

  // The connection string handed to the driver for a configured source:
  // the Unicode driver named when the source names neither driver nor DSN,
  // and the fetch defaults added unless the string or its DSN sets them.
  static std::u16string CompleteConnectionString(const std::u16string& source, const DsnSetting& dsnSetting);
  // The setting as the driver manager's configuration (odbc.ini) has it.
  static std::u16string ReadDsnSetting(const std::u16string& dsn, const std::u16string& key);

 private:
  bool m_logOff = false;    // the open connection runs with the driver's communication log off
  int m_serverVersion = 0;  // server_version_num of the open connection
};

}  // namespace qm::postgres

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
// The driver completes the connection string. The connector adds
// Fetch=kFetchRows unless the user set it, in the string or in the DSN
// (keys compared without regard to case, abbreviations included): the rows
// per batch when results come from a server-side cursor.
//
// After connecting it runs one statement (SessionStatement): it reads the
// server version (refusing servers older than the statements support) and
// what the scope holds (how many sequences, tables, views, types and
// routines, and the rows of the largest result), empties search_path so that every
// non-catalogue name the server prints is schema-qualified, limits lock
// waits to the timeout (lock_timeout) and makes every transaction
// read-only REPEATABLE READ. The connection stays in autocommit mode, so
// each catalogue statement is a transaction of its own, with one snapshot
// of the catalogue, begun and ended by the server without a message of its
// own (see PgReader.h). When the scope names schemas it checks that every
// one exists.
//
// Results in batches. A catalogue whose largest result may have more than
// kBatchedRows rows (the columns of all relations in scope, the arguments
// of all routines) has its results come from a server-side cursor,
// kFetchRows rows at a time (psqlODBC's UseDeclareFetch, switched on for
// the connection), so that a large result (the columns of 10,000 tables)
// never sits whole in the driver; a smaller one has every result sent
// whole, which spares each statement the cursor's round trips. A
// UseDeclareFetch the user set (string or DSN) is left as it is.
// Disconnect rolls an open transaction back.
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

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qm::postgres {

class PgConnector : public SchemaSourceConnectorI {
 public:
  // Rows per batch from the server-side cursor when the user set none.
  static constexpr int kFetchRows = 2000;
  // Rows of the largest result above which results come in batches.
  static constexpr int kBatchedRows = 20000;

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
  // Whether the open connection's results come in batches because the
  // catalogue is large (false before a connection, and when the user set
  // UseDeclareFetch: then the driver does as the user said).
  bool Batched() const { return m_batched; }
  // Whether the open connection found, when it was made, no object in scope
  // of the kind the statement reads (sequences, tables, views, types or
  // routines): the statement would return nothing then. False for other
  // statements and before a connection.
  bool CountedNone(int statementId) const;

  // The connection string handed to the driver for a configured source:
  // the Unicode driver named when the source names neither driver nor DSN,
  // and the fetch defaults added unless the string or its DSN sets them.
  static std::u16string CompleteConnectionString(const std::u16string& source, const DsnSetting& dsnSetting);
  // The setting as the driver manager's configuration (odbc.ini) has it.
  static std::u16string ReadDsnSetting(const std::u16string& dsn, const std::u16string& key);
  // Whether the connection string or its DSN sets UseDeclareFetch.
  static bool UserSetsBatches(const std::u16string& source, const DsnSetting& dsnSetting);
  // The session's one set-up statement: its first column is, separated by
  // blanks, the server's server_version_num, then for the scope (the filter
  // on n.nspname, see ScopeFilter) the rows the largest result may have
  // (the greatest of the relations' columns, the relations, the routines'
  // arguments and the routines), and the numbers of sequences, tables,
  // views, types (enum, domain, range, composite; the composite types of
  // relations too) and routines; it sets search_path, lock_timeout (the
  // timeout in seconds) and the transaction defaults for the rest of the
  // session. With userObjectsOnly (the default scope, which leaves the
  // system schemas out) only objects made after initdb are counted.
  static std::u16string SessionStatement(int timeoutSeconds, const std::u16string& scopeFilter,
                                         bool userObjectsOnly);

 private:
  bool m_logOff = false;           // the open connection runs with the driver's communication log off
  bool m_userSetsBatches = false;  // the user's string or DSN sets UseDeclareFetch for the open connection
  bool m_batched = false;          // the plug-in switched batched results on for the open connection
  int m_serverVersion = 0;         // server_version_num of the open connection
  // Objects in scope by kind when the open connection was made; none
  // before a connection or when the answer could not be read.
  struct Counted {
    std::int64_t sequences, tables, views, types, routines;
  };
  std::optional<Counted> m_counted;
};

}  // namespace qm::postgres

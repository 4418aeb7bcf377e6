// SchemaSourceConnectorI: the base of every database connector. It opens one
// ODBC connection, keeps its handle for the reader, and records the server
// and database names the data source reports. A database plug-in derives
// from it and implements EstablishConnection, which must leave the connector
// as a successful Connect does.
//
// What the base does for a plug-in, so that its connector holds only what
// is its database's own:
//   - keeps what the host configured for the next import: the source text
//     and the scope (Configure), the connect options (SetConnectOptions);
//     GetREScope hands the scope to the reader;
//   - keeps the one diagnostic of the last connect step: the driver's when
//     Connect fails, the plug-in's own words when it refuses (Refuse), a
//     driver's diagnostic the plug-in explains further (Report), and runs
//     the plug-in's set-up statements on the new connection, closing it
//     again when one fails (RunOrDisconnect). Hosts read it as
//     GetLastDiagnostic / LastConnectError; its origin says who spoke.
//
// A connect step, then, reads:
//
//   bool EstablishConnection() override {
//     if (GetSource().empty()) return Refuse(u"no database named");
//     CString text(ConnectionStringFor(GetSource()));
//     if (!Connect(text)) return false;             // the driver's reason is kept
//     return RunOrDisconnect(u"SET search_path = ''");
//   }
//
// One import at a time uses a connector, on the thread that runs the import;
// the host configures it on its own thread before the import.
#pragma once

#include <platform/CString.h>
#include <schemaimport/Export.h>
#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/PluginApi.h>

#include <cstdint>
#include <string>
#include <vector>

class QM_SCHEMAIMPORT_API SchemaSourceConnectorI {
 public:
  static constexpr int kBufferLength = 255;  // wide characters in each name buffer

  SchemaSourceConnectorI();
  // Releases a connection still open. Not virtual: the registry never
  // deletes a connector; the plug-in that made it does.
  ~SchemaSourceConnectorI();
  // Not copyable: a copy would share ODBC handles that Disconnect frees.
  SchemaSourceConnectorI(const SchemaSourceConnectorI&) = delete;
  SchemaSourceConnectorI& operator=(const SchemaSourceConnectorI&) = delete;

  // Opens a connection with the connection string, after the host's
  // connection dialog (if one is installed) has let the user complete it.
  // On success returns true, holds the handle and both names, and replaces
  // the argument with the completed connection string (cut to at most 254
  // characters when longer; a driver may cut at an attribute boundary). A
  // connection that was open is closed once the new one is. On failure
  // returns false and leaves the argument, the handle, the names and any
  // open connection as they were, frees what it allocated, and keeps the
  // reason (GetLastDiagnostic): the driver's, or the module's words for a
  // cancelled dialog or an allocation the driver manager refused. Names the
  // data source cannot report keep their old text. Never shows or logs
  // anything itself.
  virtual bool Connect(CString& connectionString);
  // The plug-in's connect step; true only after a successful Connect.
  virtual bool EstablishConnection() = 0;
  // Closes the connection and frees its handles; harmless when closed.
  virtual void Disconnect();
  // Lets a plug-in write the scope of the import into the string; the base
  // writes the configured scope, and leaves the string unchanged when none
  // was configured.
  virtual void GetREScope(CString& scope);

  // What the next EstablishConnection opens, as the host configured it:
  // the source (a path or a connection string, as the plug-in documents)
  // and the scope text (may be empty). The connect options go back to
  // their defaults.
  void Configure(std::u16string source, std::u16string scope);
  // How the configured source is opened (a file path given as bytes, the
  // timeout, a notice callback); after Configure, before the import.
  void SetConnectOptions(const QmConnectOptions& options) { m_options = options; }
  const std::u16string& GetSource() const { return m_source; }
  const std::u16string& GetScope() const { return m_scope; }
  const QmConnectOptions& GetConnectOptions() const { return m_options; }

  // How long the next Connect lets the driver wait for the data source to
  // accept the login, in seconds (ODBC's login timeout; 0: as long as it
  // takes). 60 until a plug-in sets another.
  void SetLoginTimeout(unsigned int seconds) { m_loginTimeoutSeconds = seconds; }
  unsigned int GetLoginTimeout() const { return m_loginTimeoutSeconds; }

  // The open connection's handle (an ODBC SQLHDBC), or null.
  void* GetConnectionHandle() const { return m_connectionHandle; }
  const char16_t* GetServerName() const { return m_serverName; }
  const char16_t* GetDatabaseName() const { return m_databaseName; }
  // The completed connection string and its length as the driver manager
  // reported it (which may exceed the buffer when the string was cut).
  const char16_t* GetConnectionString() const { return m_connectionString; }
  std::int16_t GetConnectionStringLength() const { return m_connectionStringLength; }
  // Why the last connect step failed: what Connect kept, or what the
  // plug-in said through Refuse, Report or RunOrDisconnect. Empty after a
  // successful Connect, and after ClearLastDiagnostic, which the import
  // driver calls before every connect step. LastConnectError is the same
  // diagnostic under the plug-in table's name.
  const OdbcDiagnostic& GetLastDiagnostic() const { return m_lastDiagnostic; }
  const OdbcDiagnostic& LastConnectError() const { return m_lastDiagnostic; }
  void ClearLastDiagnostic() { m_lastDiagnostic.Clear(); }

  // Whether the driver reports the open connection as lost (or there is
  // none). A driver that cannot tell answers false.
  bool ConnectionLost() const;
  // Rolls back the open connection's transaction (a connection in
  // manual-commit mode); nothing when there is no connection.
  void RollbackTransaction();

 protected:
  // The plug-in's own refusal, in its words (origin Plugin, no SQLSTATE),
  // as the reason of the connect step. Returns false, for
  // `return Refuse(...)`.
  bool Refuse(std::u16string message);
  // Keeps the diagnostic as the reason of the connect step, e.g. a driver's
  // with what the plug-in knows added to its message. Returns false.
  bool Report(OdbcDiagnostic diagnostic);
  // Runs a statement of the plug-in's own on the open connection
  // (ExecuteOnConnection), collecting its first column when asked. When it
  // fails, keeps the driver's reason, closes the connection (Disconnect)
  // and returns false.
  bool RunOrDisconnect(const std::u16string& statement, std::vector<std::u16string>* firstColumn = nullptr);

  void* m_connectionHandle;                          // SQLHDBC of the open connection; null when none
  char16_t m_connectionString[kBufferLength];        // completed connection string, NUL-terminated
  std::int16_t m_connectionStringLength;             // its length in characters, as reported
  char16_t m_serverName[kBufferLength];              // SQL_SERVER_NAME of the data source
  char16_t m_databaseName[kBufferLength];            // SQL_DATABASE_NAME of the data source

 private:
  // Disconnects and frees the connection and environment handles, if any.
  void ReleaseConnection();

  void* m_environmentHandle;                         // SQLHENV of the open connection; freed with it
  unsigned int m_loginTimeoutSeconds;                // SQL_ATTR_LOGIN_TIMEOUT of the next Connect
  OdbcDiagnostic m_lastDiagnostic;                   // reason of the last failed connect step
  std::u16string m_source;                           // source as configured
  std::u16string m_scope;                            // scope text as configured; empty: everything
  QmConnectOptions m_options;                        // as the host set them; defaults after Configure
};

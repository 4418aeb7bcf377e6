// SchemaSourceConnectorI: the base of every database connector. It opens one
// ODBC connection, keeps its handle for the reader, and records the server
// and database names the data source reports. A database plug-in derives
// from it and implements EstablishConnection, which must leave the connector
// as a successful Connect does.
//
// One import at a time uses a connector, on the thread that runs the import.
#pragma once

#include <platform/CString.h>
#include <schemaimport/Export.h>
#include <schemaimport/OdbcDiagnostic.h>

#include <cstdint>

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
  // driver's reason (GetLastDiagnostic); a cancelled dialog fails with no
  // diagnostic. Names the data source cannot report keep their old text.
  // Never shows or logs anything itself.
  virtual bool Connect(CString& connectionString);
  // The plug-in's connect step; true only after a successful Connect.
  virtual bool EstablishConnection() = 0;
  // Closes the connection and frees its handles; harmless when closed.
  virtual void Disconnect();
  // Lets a plug-in write the scope of the import into the string; the base
  // leaves it unchanged.
  virtual void GetREScope(CString& scope);

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
  // Why the last Connect failed; empty after a successful one and after a
  // cancelled dialog.
  const OdbcDiagnostic& GetLastDiagnostic() const { return m_lastDiagnostic; }

 protected:
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
  OdbcDiagnostic m_lastDiagnostic;                   // reason of the last failed Connect
};

#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/OdbcSupport.h>

#include <platform/ConnectionDialog.h>
#include <platform/Win32.h>

// This file uses the platform's HWND, the host's window handle, unqualified
// (below); this tells unixODBC's headers not to declare a global one of
// their own, which would make the name ambiguous here (its SQLHWND stays an
// untyped pointer).
#define _WINDOWS_
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <climits>
#include <utility>

// The Windows names the module is written against, privately.
using namespace platform::win;

// The driver manager's wide unit is the module's UTF-16 unit; buffers are
// passed through with a cast.
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a 16-bit unit");

namespace {

constexpr unsigned int kDefaultLoginTimeoutSeconds = 60;

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

SQLWCHAR* Wide(char16_t* text) { return reinterpret_cast<SQLWCHAR*>(text); }
SQLWCHAR* Wide(const char16_t* text) { return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text)); }

// Releases a connection handle (disconnecting it first when connected) and
// its environment handle; null handles are skipped.
void ReleaseHandles(SQLHDBC dbc, bool connected, SQLHENV env) {
  if (dbc != SQL_NULL_HDBC) {
    if (connected) SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
}

// The handles of a connection being opened: freed on every way out of
// Connect (including an exception from the dialog hook) unless released to
// the connector.
struct PendingHandles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;

  PendingHandles() = default;
  PendingHandles(const PendingHandles&) = delete;
  PendingHandles& operator=(const PendingHandles&) = delete;
  ~PendingHandles() { ReleaseHandles(dbc, connected, env); }

  void Release() {
    env = SQL_NULL_HENV;
    dbc = SQL_NULL_HDBC;
    connected = false;
  }
};

// Reads a wide-text information item into the buffer; on failure the buffer
// keeps what it held.
void ReadInfoText(SQLHDBC dbc, SQLUSMALLINT infoType, char16_t (&target)[SchemaSourceConnectorI::kBufferLength]) {
  char16_t value[SchemaSourceConnectorI::kBufferLength] = {};
  SQLSMALLINT localLength = 0;
  if (!Succeeded(SQLGetInfoW(dbc, infoType, value, static_cast<SQLSMALLINT>(sizeof(value)), &localLength)))
    return;
  value[SchemaSourceConnectorI::kBufferLength - 1] = u'\0';
  std::copy(std::begin(value), std::end(value), std::begin(target));
}

}  // namespace

SchemaSourceConnectorI::SchemaSourceConnectorI()
    : m_connectionHandle(nullptr),
      m_connectionString{},
      m_connectionStringLength(0),
      m_serverName{},
      m_databaseName{},
      m_environmentHandle(nullptr),
      m_loginTimeoutSeconds(kDefaultLoginTimeoutSeconds) {}

SchemaSourceConnectorI::~SchemaSourceConnectorI() { ReleaseConnection(); }

bool SchemaSourceConnectorI::Connect(CString& connectionString) {
  m_lastDiagnostic.Clear();
  HWND parent = GetDesktopWindow();

  PendingHandles pending;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &pending.env))) {
    // A failed allocation leaves no handle that could be asked why.
    pending.env = SQL_NULL_HENV;
    m_lastDiagnostic = OdbcDiagnostic::FromModule(u"the ODBC environment handle could not be allocated");
    return false;
  }
  if (!Succeeded(SQLSetEnvAttr(pending.env, SQL_ATTR_ODBC_VERSION,
                               reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0))) {
    m_lastDiagnostic = ReadOdbcDiagnostic(SQL_HANDLE_ENV, pending.env, u"SQLSetEnvAttr");
    return false;
  }
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, pending.env, &pending.dbc))) {
    pending.dbc = SQL_NULL_HDBC;
    m_lastDiagnostic = ReadOdbcDiagnostic(SQL_HANDLE_ENV, pending.env, u"SQLAllocHandle");
    return false;
  }
  SQLSetConnectAttrW(pending.dbc, SQL_ATTR_LOGIN_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_loginTimeoutSeconds)), 0);

  // This driver manager has no connection dialog of its own (asking it to
  // prompt fails or crashes), so the host's dialog, if any, completes the
  // string and the driver manager is never asked to prompt.
  CString text = connectionString;
  if (platform::ShowConnectionDialog(parent, text) == platform::ConnectionDialogResult::Cancelled) {
    m_lastDiagnostic = OdbcDiagnostic::FromModule(u"the connection dialog was cancelled");
    return false;
  }
  if (text.GetLength() > SHRT_MAX) {
    m_lastDiagnostic = OdbcDiagnostic::FromModule(u"the connection string is longer than 32767 characters");
    return false;
  }

  char16_t completed[kBufferLength] = {};
  SQLSMALLINT completedLength = 0;
  SQLRETURN rc = SQLDriverConnectW(pending.dbc, nullptr, Wide(text.GetString()),
                                   static_cast<SQLSMALLINT>(text.GetLength()), Wide(completed), kBufferLength,
                                   &completedLength, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    m_lastDiagnostic = ReadOdbcDiagnostic(SQL_HANDLE_DBC, pending.dbc, u"SQLDriverConnectW");
    return false;
  }
  pending.connected = true;
  // A longer completed string comes back cut to the buffer.
  completed[kBufferLength - 1] = u'\0';

  // The new connection is open: only now is a previous one let go, so that
  // a failed Connect leaves it usable.
  ReleaseConnection();
  m_connectionHandle = pending.dbc;
  m_environmentHandle = pending.env;
  pending.Release();

  std::copy(std::begin(completed), std::end(completed), std::begin(m_connectionString));
  m_connectionStringLength = completedLength;
  ReadInfoText(m_connectionHandle, SQL_SERVER_NAME, m_serverName);
  ReadInfoText(m_connectionHandle, SQL_DATABASE_NAME, m_databaseName);

  connectionString = CString(static_cast<const char16_t*>(m_connectionString));
  return true;
}

void SchemaSourceConnectorI::Disconnect() { ReleaseConnection(); }

void SchemaSourceConnectorI::GetREScope(CString& scope) {
  if (!m_scope.empty()) scope = CString(m_scope);
}

void SchemaSourceConnectorI::Configure(std::u16string source, std::u16string scope) {
  m_source = std::move(source);
  m_scope = std::move(scope);
  m_options = QmConnectOptions();
}

bool SchemaSourceConnectorI::ConnectionLost() const {
  auto* handle = static_cast<SQLHDBC>(m_connectionHandle);
  if (handle == SQL_NULL_HDBC) return true;
  SQLUINTEGER dead = SQL_CD_FALSE;
  if (!Succeeded(SQLGetConnectAttrW(handle, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))) return false;
  return dead == SQL_CD_TRUE;
}

void SchemaSourceConnectorI::RollbackTransaction() {
  auto* handle = static_cast<SQLHDBC>(m_connectionHandle);
  if (handle != SQL_NULL_HDBC) SQLEndTran(SQL_HANDLE_DBC, handle, SQL_ROLLBACK);
}

bool SchemaSourceConnectorI::Refuse(std::u16string message) {
  m_lastDiagnostic = OdbcDiagnostic::FromPlugin(std::move(message));
  return false;
}

bool SchemaSourceConnectorI::Report(OdbcDiagnostic diagnostic) {
  m_lastDiagnostic = std::move(diagnostic);
  return false;
}

bool SchemaSourceConnectorI::RunOrDisconnect(const std::u16string& statement, std::vector<std::u16string>* firstColumn) {
  OdbcDiagnostic failure = ExecuteOnConnection(m_connectionHandle, statement, firstColumn);
  if (failure.IsEmpty()) return true;
  m_lastDiagnostic = std::move(failure);
  Disconnect();
  return false;
}

void SchemaSourceConnectorI::ReleaseConnection() {
  ReleaseHandles(m_connectionHandle, true, m_environmentHandle);
  m_connectionHandle = nullptr;
  m_environmentHandle = nullptr;
}

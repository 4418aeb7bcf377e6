#include "SqliteConnector.h"

#include "SqliteSqlText.h"

#include <platform/Utf.h>

// unixODBC's headers come last (they #define BOOL); the platform already
// has HWND, so they must not declare their own.
#define _WINDOWS_
#include <sql.h>
#include <sqlext.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a 16-bit unit");

namespace qm::sqlite {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

std::u16string TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::u16string(text);
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) { return FoldCase(a) == FoldCase(b); }

std::u16string SystemError(int error) { return platform::Utf8ToUtf16(std::strerror(error)); }

// The first diagnostic record of the handle; a general error naming the
// call when the driver manager has none.
OdbcDiagnostic ReadDiagnostic(SQLSMALLINT handleType, SQLHANDLE handle, const char16_t* failedCall) {
  OdbcDiagnostic diagnostic;
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  std::u16string message(1024, u'\0');
  SQLSMALLINT length = 0;
  if (handle != SQL_NULL_HANDLE &&
      Succeeded(SQLGetDiagRecW(handleType, handle, 1, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                               static_cast<SQLSMALLINT>(message.size()), &length))) {
    diagnostic.sqlState = reinterpret_cast<const char16_t*>(state);
    diagnostic.nativeError = static_cast<int>(native);
    message.resize(std::char_traits<char16_t>::length(message.c_str()));
    diagnostic.message = std::move(message);
    return diagnostic;
  }
  diagnostic.sqlState = u"HY000";
  diagnostic.message = std::u16string(failedCall) + u" failed without a diagnostic record";
  return diagnostic;
}

// Executes the statement on a new handle of the connection and fetches all
// its rows, so that an error raised only when a row is computed counts too;
// the first column's values go to firstColumn when it is given. Empty when
// it ran.
OdbcDiagnostic Execute(SQLHDBC connection, const std::u16string& statement, std::vector<std::u16string>* firstColumn) {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle);
  if (!Succeeded(rc)) return ReadDiagnostic(SQL_HANDLE_DBC, connection, u"SQLAllocHandle");
  OdbcDiagnostic diagnostic;
  rc = SQLExecDirectW(handle, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(statement.c_str())), SQL_NTS);
  if (!Succeeded(rc) && rc != SQL_NO_DATA) {
    diagnostic = ReadDiagnostic(SQL_HANDLE_STMT, handle, u"SQLExecDirectW");
  } else {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(handle, &columns);
    while (columns > 0 && Succeeded(rc = SQLFetch(handle))) {
      if (firstColumn == nullptr) continue;
      char16_t value[1024] = {};
      SQLLEN indicator = 0;
      if (Succeeded(SQLGetData(handle, 1, SQL_C_WCHAR, value, sizeof value, &indicator)) && indicator != SQL_NULL_DATA)
        firstColumn->emplace_back(value);
    }
    if (columns > 0 && rc != SQL_NO_DATA) diagnostic = ReadDiagnostic(SQL_HANDLE_STMT, handle, u"SQLFetch");
  }
  SQLFreeHandle(SQL_HANDLE_STMT, handle);
  return diagnostic;
}

// Reads a braced value from text[pos] == '{' and returns the position after
// the closing brace (the end when it is missing).
std::size_t ReadBraced(std::u16string_view text, std::size_t pos, std::u16string& value) {
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == u'}') {
      if (pos + 1 < text.size() && text[pos + 1] == u'}') {
        value += u'}';
        ++pos;
        continue;
      }
      return pos + 1;
    }
    value += text[pos];
  }
  return pos;
}

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// The file an SQLite URI ("file:...") names, percent-decoded; nothing for
// an in-memory database (file::memory:, mode=memory). The driver would
// create a missing file the URI names, so it is checked like a path.
std::optional<std::u16string> UriFilePath(std::u16string_view uri) {
  std::u16string_view rest = uri.substr(5);
  const std::size_t end = rest.find_first_of(u"?#");
  const std::u16string_view query = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end);
  rest = rest.substr(0, end);
  if (rest.starts_with(u"//")) {
    // An authority, empty or "localhost", before the absolute path.
    const std::size_t slash = rest.find(u'/', 2);
    rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash);
  }
  if (rest == u":memory:" || FoldCase(query).find(u"mode=memory") != std::u16string::npos) return std::nullopt;
  const std::string text = platform::Utf16ToUtf8(rest);
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      bytes += text[i];
      continue;
    }
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return platform::Utf8ToUtf16(bytes);
}

}  // namespace

std::vector<ConnectionAttribute> ParseConnectionString(std::u16string_view text) {
  std::vector<ConnectionAttribute> attributes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of(u";=", pos);
    if (end == std::u16string_view::npos || text[end] == u';') {
      // A segment without '=': a key without a value.
      const std::u16string key = TrimBlanks(text.substr(pos, end == std::u16string_view::npos ? end : end - pos));
      if (!key.empty()) attributes.push_back({key, {}});
      if (end == std::u16string_view::npos) break;
      pos = end + 1;
      continue;
    }
    ConnectionAttribute attribute;
    attribute.key = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const bool braced = pos < text.size() && text[pos] == u'{';
    if (braced) pos = ReadBraced(text, pos, attribute.value);
    // After a braced value, anything up to the next ';' is dropped.
    const std::size_t next = text.find(u';', pos);
    if (!braced)
      attribute.value = TrimBlanks(text.substr(pos, next == std::u16string_view::npos ? next : next - pos));
    pos = next == std::u16string_view::npos ? text.size() : next + 1;
    if (!attribute.key.empty()) attributes.push_back(std::move(attribute));
  }
  return attributes;
}

std::vector<std::u16string> ParseScope(std::u16string_view scope) {
  std::vector<std::u16string> names;
  std::size_t start = 0;
  while (start <= scope.size()) {
    std::size_t end = scope.find(u',', start);
    if (end == std::u16string_view::npos) end = scope.size();
    std::u16string name = TrimBlanks(scope.substr(start, end - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

void SqliteConnector::Configure(std::u16string source, std::u16string scope) {
  m_source = std::move(source);
  m_scope = std::move(scope);
}

void SqliteConnector::GetREScope(CString& scope) { scope = CString(m_scope); }

bool SqliteConnector::LooksLikeConnectionString(std::u16string_view source) {
  for (const ConnectionAttribute& attribute : ParseConnectionString(source))
    if (EqualsIgnoringCase(attribute.key, u"driver") || EqualsIgnoringCase(attribute.key, u"dsn")) return true;
  return false;
}

std::u16string SqliteConnector::FileUri(const std::u16string& path) {
  std::error_code error;
  const std::filesystem::path native(platform::Utf16ToUtf8(path));
  const std::filesystem::path absolute = std::filesystem::absolute(native, error);
  const std::string bytes = (error ? native : absolute).string();
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string uri = u"file://";
  for (unsigned char byte : bytes) {
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      uri += static_cast<char16_t>(byte);
    } else {
      uri += u'%';
      uri += static_cast<char16_t>(kHex[byte >> 4]);
      uri += static_cast<char16_t>(kHex[byte & 0x0F]);
    }
  }
  // Read-only: the import never writes, and a missing file is never made.
  uri += u"?mode=ro";
  return uri;
}

std::u16string SqliteConnector::CheckDatabaseFile(const std::u16string& path) {
  const std::string native = platform::Utf16ToUtf8(path);
  struct stat status {};
  if (::stat(native.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return u"database file not found: " + path;
    return u"cannot access database file: " + path + u" (" + SystemError(error) + u")";
  }
  if (S_ISDIR(status.st_mode)) return u"not a regular file: " + path + u" is a directory";
  if (!S_ISREG(status.st_mode)) return u"not a regular file: " + path;
  if (::access(native.c_str(), R_OK) != 0)
    return u"cannot read database file: " + path + u" (" + SystemError(errno) + u")";
  return {};
}

bool SqliteConnector::Refuse(std::u16string message) {
  m_lastError.Clear();
  m_lastError.message = std::move(message);
  return false;
}

bool SqliteConnector::RunOrDisconnect(const std::u16string& statement, const std::u16string& context,
                                      std::vector<std::u16string>* firstColumn) {
  OdbcDiagnostic failure = Execute(static_cast<SQLHDBC>(GetConnectionHandle()), statement, firstColumn);
  if (failure.IsEmpty()) return true;
  if (!context.empty()) failure.message += u" (" + context + u")";
  m_lastError = std::move(failure);
  Disconnect();
  return false;
}

bool SqliteConnector::EstablishConnection() {
  m_lastError.Clear();
  const std::u16string source = TrimBlanks(m_source);
  if (source.empty()) return Refuse(u"no database file given");

  const bool connectionString = LooksLikeConnectionString(source);
  std::vector<Attachment> attachments;
  std::u16string text;
  if (connectionString) {
    std::set<std::u16string> names = {u"main", u"temp"};
    for (const ConnectionAttribute& attribute : ParseConnectionString(source)) {
      if (EqualsIgnoringCase(attribute.key, u"database")) {
        // An in-memory database is the driver's to open; a URI names its
        // file.
        const std::u16string folded = FoldCase(attribute.value);
        if (attribute.value.empty() || folded == u":memory:") continue;
        std::optional<std::u16string> file = attribute.value;
        if (folded.starts_with(u"file:")) file = UriFilePath(attribute.value);
        if (!file) continue;
        if (std::u16string reason = CheckDatabaseFile(*file); !reason.empty()) return Refuse(std::move(reason));
      } else if (EqualsIgnoringCase(attribute.key, u"attach")) {
        const std::size_t equals = attribute.value.find(u'=');
        Attachment attachment;
        if (equals != std::u16string::npos) {
          attachment.name = TrimBlanks(std::u16string_view(attribute.value).substr(0, equals));
          attachment.path = TrimBlanks(std::u16string_view(attribute.value).substr(equals + 1));
        }
        if (attachment.name.empty() || attachment.path.empty())
          return Refuse(u"Attach expects name=path, got \"" + attribute.value + u"\"");
        if (!names.insert(FoldCase(attachment.name)).second)
          return Refuse(u"cannot attach \"" + attachment.name + u"\": the name is already in use");
        if (std::u16string reason = CheckDatabaseFile(attachment.path); !reason.empty())
          return Refuse(u"cannot attach \"" + attachment.name + u"\": " + reason);
        attachments.push_back(std::move(attachment));
      }
    }
    text = source;
  } else {
    if (std::u16string reason = CheckDatabaseFile(source); !reason.empty()) return Refuse(std::move(reason));
    text = u"Driver={SQLite3};Database=" + FileUri(source) + u";NoCreat=1";
  }

  CString connection(text);
  if (!Connect(connection)) {
    m_lastError = GetLastDiagnostic();
    // Only a cancelled connection dialog leaves no diagnostic.
    if (m_lastError.IsEmpty()) m_lastError.message = u"the connection dialog was cancelled";
    return false;
  }

  // A file that is not a database opens without complaint; reading its
  // catalogue is what fails.
  if (!RunOrDisconnect(u"SELECT 1 AS probe FROM sqlite_master LIMIT 1", connectionString ? u"" : source)) return false;
  for (const Attachment& attachment : attachments) {
    const std::u16string context = u"attaching " + attachment.path + u" as \"" + attachment.name + u"\"";
    const std::u16string attach =
        u"ATTACH DATABASE " + QuoteLiteral(FileUri(attachment.path)) + u" AS " + QuoteIdentifier(attachment.name);
    const std::u16string probe =
        u"SELECT 1 AS probe FROM " + QuoteIdentifier(attachment.name) + u".sqlite_master LIMIT 1";
    if (!RunOrDisconnect(attach, context) || !RunOrDisconnect(probe, context)) return false;
  }

  // Every database the scope names must be there: a misspelt name would
  // otherwise import nothing without a word.
  const std::vector<std::u16string> scope = ParseScope(m_scope);
  if (!scope.empty()) {
    std::vector<std::u16string> databases;
    if (!RunOrDisconnect(u"SELECT name AS schema_name FROM pragma_database_list", u"", &databases)) return false;
    for (const std::u16string& name : scope) {
      const bool present = std::any_of(databases.begin(), databases.end(),
                                       [&](const std::u16string& database) { return EqualsIgnoringCase(database, name); });
      if (present) continue;
      std::u16string known;
      for (const std::u16string& database : databases) known += (known.empty() ? u"" : u", ") + database;
      Disconnect();
      return Refuse(u"no database named \"" + name + u"\" in this connection (databases: " + known + u")");
    }
  }

  if (!connectionString) {
    // The driver reports the URI it was handed; the model gets the path.
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::path(platform::Utf16ToUtf8(source)), error);
    const std::u16string name = error ? source : platform::Utf8ToUtf16(absolute.string());
    const std::size_t length = std::min<std::size_t>(name.size(), kBufferLength - 1);
    for (char16_t* target : {m_serverName, m_databaseName}) {
      std::copy_n(name.begin(), length, target);
      target[length] = u'\0';
    }
  }
  return true;
}

}  // namespace qm::sqlite

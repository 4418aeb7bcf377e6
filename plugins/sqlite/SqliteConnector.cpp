#include "SqliteConnector.h"

#include "SqliteSqlText.h"

#include <schemaimport/OdbcSupport.h>

#include <platform/Utf.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

namespace qm::sqlite {
namespace {

std::u16string SystemError(int error) { return platform::Utf8ToUtf16(std::strerror(error)); }

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
  if (rest == u":memory:" || FoldAscii(query).find(u"mode=memory") != std::u16string::npos) return std::nullopt;
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

void SqliteConnector::Configure(std::u16string source, std::u16string scope) {
  m_source = std::move(source);
  m_scope = std::move(scope);
}

void SqliteConnector::GetREScope(CString& scope) { scope = CString(m_scope); }

bool SqliteConnector::LooksLikeConnectionString(std::u16string_view source) {
  for (const ConnectionAttribute& attribute : ParseConnectionString(source))
    if (EqualsIgnoringAsciiCase(attribute.key, u"driver") || EqualsIgnoringAsciiCase(attribute.key, u"dsn")) return true;
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
  OdbcDiagnostic failure = ExecuteOnConnection(GetConnectionHandle(), statement, firstColumn);
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
      if (EqualsIgnoringAsciiCase(attribute.key, u"database")) {
        // An in-memory database is the driver's to open; a URI names its
        // file.
        const std::u16string folded = FoldAscii(attribute.value);
        if (attribute.value.empty() || folded == u":memory:") continue;
        std::optional<std::u16string> file = attribute.value;
        if (folded.starts_with(u"file:")) file = UriFilePath(attribute.value);
        if (!file) continue;
        if (std::u16string reason = CheckDatabaseFile(*file); !reason.empty()) return Refuse(std::move(reason));
      } else if (EqualsIgnoringAsciiCase(attribute.key, u"attach")) {
        const std::size_t equals = attribute.value.find(u'=');
        Attachment attachment;
        if (equals != std::u16string::npos) {
          attachment.name = TrimBlanks(std::u16string_view(attribute.value).substr(0, equals));
          attachment.path = TrimBlanks(std::u16string_view(attribute.value).substr(equals + 1));
        }
        if (attachment.name.empty() || attachment.path.empty())
          return Refuse(u"Attach expects name=path, got \"" + attribute.value + u"\"");
        if (!names.insert(FoldAscii(attachment.name)).second)
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
                                       [&](const std::u16string& database) { return EqualsIgnoringAsciiCase(database, name); });
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

#include "SqliteConnector.h"

#include "SqliteFileName.h"
#include "SqliteSqlText.h"

#include <schemaimport/OdbcSupport.h>

#include <platform/Utf.h>
#include <platform/Win32.h>

#include <odbcinst.h>

#include <dlfcn.h>
#include <fcntl.h>
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

// SQLite's result codes, as the driver reports them as native errors.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;

std::u16string SystemError(int error) { return platform::Utf8ToUtf16(std::strerror(error)); }

std::u16string Decimal(long long value) { return platform::Utf8ToUtf16(std::to_string(value)); }

// "15 s", "2.5 s", "0.25 s".
std::u16string Seconds(long long milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  if (const long long rest = milliseconds % 1000; rest != 0) {
    std::string fraction = std::to_string(1000 + rest).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return platform::Utf8ToUtf16(text + " s");
}

std::string Absolute(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
  return error ? path : absolute.string();
}

// The reason the file cannot serve as a database, or empty.
std::u16string CheckDatabaseFile(const std::string& path) {
  const std::u16string shown = PathText(path);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return u"database file not found: " + shown;
    return u"cannot access database file: " + shown + u" (" + SystemError(error) + u")";
  }
  if (S_ISDIR(status.st_mode)) return u"not a regular file: " + shown + u" is a directory";
  if (!S_ISREG(status.st_mode)) return u"not a regular file: " + shown;
  if (::access(path.c_str(), R_OK) != 0) return u"cannot read database file: " + shown + u" (" + SystemError(errno) + u")";
  return {};
}

long long FileSize(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// Whether the database file's header says it is in WAL mode (file format
// version numbers 2 at offsets 18 and 19).
bool InWalMode(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char header[20] = {};
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  ::close(fd);
  return got == static_cast<ssize_t>(sizeof header) && header[18] == 2 && header[19] == 2;
}

// Why SQLite had to write to read the database, and what to do, or empty
// when the file shows no reason. The import opens databases read-only, and
// SQLite writes before reading in two cases: a hot journal left by a writer
// that did not finish is rolled back, and a database in WAL mode needs its
// -shm (and -wal) files beside it.
std::u16string ExplainReadOnly(const std::string& path) {
  const std::u16string shown = PathText(path);
  if (FileSize(path + "-journal") > 0) {
    return u"the database " + shown + u" has a hot journal (" + PathText(path + "-journal") +
           u") left by a writer that did not finish; SQLite must roll it back before reading, which needs write "
           u"access, and the import opens databases read-only. Open the database once with write access (e.g. "
           u"sqlite3 FILE 'PRAGMA quick_check'), then import again";
  }
  if (InWalMode(path)) {
    const std::string directory = std::filesystem::path(Absolute(path)).parent_path().string();
    if (::access(directory.c_str(), W_OK) != 0) {
      return u"the database " + shown + u" is in WAL mode and its folder is read-only: to read it SQLite must "
             u"create " + PathText(path + "-shm") + u" and " + PathText(path + "-wal") +
             u" beside it. Import a copy from a writable folder, or switch it out of WAL mode (PRAGMA "
             u"journal_mode=DELETE) where it can be written";
    }
    return u"the database " + shown + u" is in WAL mode and its write-ahead log must be recovered after a writer "
           u"that did not finish, which needs write access, and the import opens databases read-only. Open the "
           u"database once with write access (e.g. sqlite3 FILE 'PRAGMA quick_check'), then import again";
  }
  return {};
}

// One segment of a connection string as written, for passing it on as it
// is: split at ';' outside braced values, as ParseConnectionString splits.
struct Segment {
  std::u16string key;   // blanks around it removed
  std::u16string text;  // the whole segment as written, without its ';'
};

std::vector<Segment> Segments(std::u16string_view text) {
  std::vector<Segment> segments;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::size_t equals = text.find_first_of(u";=", pos);
    if (equals == std::u16string_view::npos || text[equals] == u';') {
      const std::size_t end = equals == std::u16string_view::npos ? text.size() : equals;
      segments.push_back({TrimBlanks(text.substr(start, end - start)), std::u16string(text.substr(start, end - start))});
      pos = end + 1;
      continue;
    }
    std::size_t value = equals + 1;
    while (value < text.size() && text[value] == u' ') ++value;
    std::size_t end = value;
    if (end < text.size() && text[end] == u'{') {
      ++end;
      while (end < text.size()) {
        if (text[end] == u'}') {
          if (end + 1 < text.size() && text[end + 1] == u'}') {
            end += 2;
            continue;
          }
          ++end;
          break;
        }
        ++end;
      }
    }
    end = std::min(text.find(u';', end), text.size());
    segments.push_back({TrimBlanks(text.substr(start, equals - start)), std::u16string(text.substr(start, end - start))});
    pos = end + 1;
  }
  return segments;
}

// The Database setting of a data source in the ODBC configuration, or empty.
std::u16string DsnDatabase(const std::u16string& dsn) {
  // The configuration library keeps what it reads in a cache of its own; it
  // stays loaded so that the cache is not stranded when the plug-in goes.
  static void* const keepLoaded = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  (void)keepLoaded;
  char value[1024] = {};
  const std::string section = platform::Utf16ToUtf8(dsn);
  const int length = SQLGetPrivateProfileString(section.c_str(), "Database", "", value, sizeof value, "odbc.ini");
  if (length <= 0) return {};
  return platform::Utf8ToUtf16(std::string_view(value, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof value - 1)));
}

std::u16string Ascii(const std::string& text) { return platform::Utf8ToUtf16(text); }

// A whole number of milliseconds as the driver's Timeout takes it, or
// nothing.
std::optional<long long> ParseMilliseconds(std::u16string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  long long value = 0;
  for (char16_t ch : text) {
    if (ch < u'0' || ch > u'9') return std::nullopt;
    value = value * 10 + (ch - u'0');
  }
  return value;
}

}  // namespace

bool SqliteConnector::LooksLikeConnectionString(std::u16string_view source) {
  for (const ConnectionAttribute& attribute : ParseConnectionString(source))
    if (EqualsIgnoringAsciiCase(attribute.key, u"driver") || EqualsIgnoringAsciiCase(attribute.key, u"dsn")) return true;
  return false;
}

bool SqliteConnector::PrepareConnectionString(const std::u16string& source, std::u16string& text,
                                              std::vector<Attachment>& attachments) {
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(source);
  std::set<std::u16string> names = {u"main", u"temp"};
  for (const ConnectionAttribute& attribute : attributes) {
    if (!attribute.assigned || !EqualsIgnoringAsciiCase(attribute.key, u"attach")) continue;
    const std::size_t equals = attribute.value.find(u'=');
    Attachment attachment;
    std::u16string path;
    if (equals != std::u16string::npos) {
      attachment.name = TrimBlanks(std::u16string_view(attribute.value).substr(0, equals));
      path = TrimBlanks(std::u16string_view(attribute.value).substr(equals + 1));
    }
    if (attachment.name.empty() || path.empty())
      return Refuse(u"Attach expects name=path, got \"" + attribute.value + u"\"");
    if (!names.insert(FoldAscii(attachment.name)).second)
      return Refuse(u"cannot attach \"" + attachment.name + u"\": the name is already in use");
    attachment.path = platform::Utf16ToUtf8(path);
    if (std::u16string reason = CheckDatabaseFile(attachment.path); !reason.empty())
      return Refuse(u"cannot attach \"" + attachment.name + u"\": " + reason);
    attachments.push_back(std::move(attachment));
  }

  // The database: the string's Database, else its data source's. The
  // driver would make up a file name from the whole string without one.
  std::optional<std::u16string> database = FindAttribute(attributes, {u"Database"});
  const std::optional<std::u16string> dsn = FindAttribute(attributes, {u"DSN"});
  if (!database && dsn && !TrimBlanks(*dsn).empty()) {
    const std::u16string configured = DsnDatabase(TrimBlanks(*dsn));
    if (configured.empty())
      return Refuse(u"the data source \"" + TrimBlanks(*dsn) + u"\" names no database (no Database setting)");
    database = configured;
  }
  if (!database) return Refuse(u"the connection string names no database (Database=PATH)");
  const std::string name = platform::Utf16ToUtf8(*database);
  const DatabaseTarget target = ResolveDatabaseName(name);
  std::string driverName;
  switch (target.kind) {
    case DatabaseTarget::Kind::Temporary:
      return Refuse(target.isUri ? u"the SQLite URI \"" + *database + u"\" names no database file"
                                 : u"the connection string names no database (Database is empty)");
    case DatabaseTarget::Kind::Invalid:
      return Refuse(u"SQLite cannot open \"" + *database + u"\": " + Ascii(target.error));
    case DatabaseTarget::Kind::Memory:
      driverName = target.isUri ? DriverUri(name, false) : name;
      break;
    case DatabaseTarget::Kind::File:
      if (std::u16string reason = CheckDatabaseFile(target.path); !reason.empty()) return Refuse(std::move(reason));
      m_file = target.path;
      driverName = target.isUri ? DriverUri(name, !target.hasMode) : FileUri(target.path);
      break;
  }

  // The database first, as the driver takes the first Database it finds;
  // the user's other attributes as written; never a new file; a lock is
  // waited for as long as the host said, unless the string says otherwise.
  bool timeoutGiven = false;
  if (const std::optional<std::u16string> timeout = FindAttribute(attributes, {u"Timeout"})) {
    if (const std::optional<long long> milliseconds = ParseMilliseconds(TrimBlanks(*timeout))) {
      timeoutGiven = true;
      m_busyMilliseconds = *milliseconds;
    }
  }
  text = u"Database=" + Ascii(driverName);
  for (const Segment& segment : Segments(source)) {
    if (segment.key.empty() || EqualsIgnoringAsciiCase(segment.key, u"Database") ||
        EqualsIgnoringAsciiCase(segment.key, u"NoCreat") ||
        (!timeoutGiven && EqualsIgnoringAsciiCase(segment.key, u"Timeout")))
      continue;
    text += u";" + segment.text;
  }
  text += u";NoCreat=1";
  if (!timeoutGiven) text += u";Timeout=" + Decimal(m_busyMilliseconds);
  return true;
}

void SqliteConnector::LimitLockWait() {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now());
  const long long wait = std::clamp<long long>(left.count(), 0, m_busyMilliseconds);
  ExecuteOnConnection(GetConnectionHandle(), u"PRAGMA busy_timeout = " + Decimal(wait));
}

bool SqliteConnector::RunChecked(const std::u16string& statement, const Checked& checked,
                                 std::vector<std::u16string>* firstColumn) {
  OdbcDiagnostic failure = ExecuteOnConnection(GetConnectionHandle(), statement, firstColumn);
  if (failure.IsEmpty()) return true;
  Disconnect();
  std::u16string explained;
  if (!checked.file.empty() && (failure.nativeError == kSqliteBusy || failure.nativeError == kSqliteLocked)) {
    explained = u"the database " + PathText(checked.file) + u" is locked by another process (waited " +
                Seconds(m_busyMilliseconds) + u" for it)";
  } else if (!checked.file.empty() && failure.nativeError == kSqliteReadOnly) {
    explained = ExplainReadOnly(checked.file);
  }
  if (!explained.empty()) return Refuse(checked.refusalPrefix + explained);
  if (!checked.context.empty()) failure.message += u" (" + checked.context + u")";
  return Report(std::move(failure));
}

bool SqliteConnector::EstablishConnection() {
  m_file.clear();
  const QmConnectOptions& options = GetConnectOptions();
  m_busyMilliseconds = static_cast<long long>(std::max(options.timeoutSeconds, 0)) * 1000;

  std::vector<Attachment> attachments;
  std::u16string text;
  bool connectionString = false;
  if (!options.filePath.empty()) {
    m_file = options.filePath;
  } else {
    const std::u16string source = TrimBlanks(GetSource());
    if (source.empty()) return Refuse(u"no database file given");
    connectionString = LooksLikeConnectionString(source);
    if (connectionString) {
      if (!PrepareConnectionString(source, text, attachments)) return false;
    } else {
      m_file = platform::Utf16ToUtf8(source);
    }
  }
  if (!connectionString) {
    if (std::u16string reason = CheckDatabaseFile(m_file); !reason.empty()) return Refuse(std::move(reason));
    text = u"Driver={SQLite3};Database=" + Ascii(FileUri(m_file)) + u";NoCreat=1;Timeout=" + Decimal(m_busyMilliseconds);
  }

  // The driver waits for a lock once while it connects and again at the
  // first statement; the whole connect step waits at most the timeout.
  m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_busyMilliseconds);
  CString connection(text);
  if (!Connect(connection)) return false;

  // A file that is not a database opens without complaint; reading its
  // catalogue is what fails.
  LimitLockWait();
  const Checked main{m_file, m_file.empty() ? std::u16string() : PathText(m_file), {}};
  if (!RunChecked(u"SELECT 1 AS probe FROM sqlite_master LIMIT 1", main)) return false;
  for (const Attachment& attachment : attachments) {
    const std::u16string attach = u"ATTACH DATABASE " + QuoteLiteral(Ascii(FileUri(attachment.path))) + u" AS " +
                                  QuoteIdentifier(attachment.name);
    const std::u16string probe =
        u"SELECT 1 AS probe FROM " + QuoteIdentifier(attachment.name) + u".sqlite_master LIMIT 1";
    const Checked checked{attachment.path,
                          u"attaching " + PathText(attachment.path) + u" as \"" + attachment.name + u"\"",
                          u"cannot attach \"" + attachment.name + u"\": "};
    LimitLockWait();
    if (!RunChecked(attach, checked) || !RunChecked(probe, checked)) return false;
  }
  // The catalogue statements wait for a lock as long as the timeout, each.
  ExecuteOnConnection(GetConnectionHandle(), u"PRAGMA busy_timeout = " + Decimal(m_busyMilliseconds));

  // Every database the scope names must be there: a misspelt name would
  // otherwise import nothing without a word.
  const std::vector<std::u16string> scope = ParseScope(GetScope());
  if (!scope.empty()) {
    std::vector<std::u16string> databases;
    if (!RunOrDisconnect(u"SELECT name AS schema_name FROM pragma_database_list", &databases)) return false;
    for (const std::u16string& name : scope) {
      const bool present = std::any_of(databases.begin(), databases.end(),
                                       [&](const std::u16string& database) { return EqualsIgnoringAsciiCase(database, name); });
      if (present) continue;
      std::u16string known;
      for (const std::u16string& database : databases) known += (known.empty() ? u"" : u", ") + database;
      Disconnect();
      return Report({std::u16string(kNoSuchSchemaState), 0,
                     u"no database named \"" + name + u"\" in this connection (databases: " + known + u")",
                     OdbcDiagnostic::Origin::Plugin});
    }
  }

  if (!m_file.empty()) {
    // The driver reports the URI it was handed; the model gets the path.
    const std::u16string name = PathText(Absolute(m_file));
    const std::size_t length = std::min<std::size_t>(name.size(), kBufferLength - 1);
    for (char16_t* target : {m_serverName, m_databaseName}) {
      std::copy_n(name.begin(), length, target);
      target[length] = u'\0';
    }
    if (FileSize(m_file) == 0 && options.notice) {
      options.notice(u"the database file " + PathText(m_file) +
                     u" is empty (0 bytes): SQLite reads it as an empty database, so the model holds no objects");
    }
  }
  return true;
}

}  // namespace qm::sqlite

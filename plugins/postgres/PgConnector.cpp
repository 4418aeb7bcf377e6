#include "PgConnector.h"

#include "PgCatalog.h"
#include "PgText.h"
#include "PgUrl.h"

#include <schemaimport/OdbcSupport.h>

#include <platform/Utf.h>
#include <platform/Win32.h>

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace qm::postgres {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// psqlODBC's connection attribute for batched fetching (its
// SQL_ATTR_PGOPT_USE_DECLAREFETCH): 1 makes every query of the connection
// that returns rows run through a server-side cursor, fetched Fetch rows at
// a time (the connection string's Fetch); 0 has the whole result sent at
// once. It can change between two statements.
constexpr SQLINTEGER kUseDeclareFetchAttribute = 65539;

// psqlODBC's keys and their abbreviations.
constexpr std::u16string_view kUseDeclareFetchKeys[] = {u"UseDeclareFetch", u"B6"};
constexpr std::u16string_view kFetchKeys[] = {u"Fetch", u"A7"};
constexpr std::u16string_view kCommLogKeys[] = {u"CommLog", u"B3"};

bool Has(const std::vector<ConnectionAttribute>& attributes, const std::u16string_view (&keys)[2]) {
  return HasAttribute(attributes, {keys[0], keys[1]});
}

// Whether the data source's configuration sets one of the keys.
bool DsnSets(const std::u16string& dsn, const std::u16string_view (&keys)[2],
             const PgConnector::DsnSetting& dsnSetting) {
  if (dsn.empty() || !dsnSetting) return false;
  for (std::u16string_view key : keys)
    if (!dsnSetting(dsn, std::u16string(key)).empty()) return true;
  return false;
}

void Append(std::u16string& text, std::u16string_view attribute) {
  // Trailing blanks and a trailing ';' are the user's; one separator.
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
  if (end > 0 && text[end - 1] != u';') text += u';';
  text += attribute;
}

// The files psqlODBC's communication log writes to that this process has
// open and that are still in their folder: open descriptors whose target
// is named psqlodbc_*.log.
std::set<std::string> OpenDriverLogs() {
  std::set<std::string> logs;
  DIR* directory = ::opendir("/proc/self/fd");
  if (directory == nullptr) return logs;
  while (const dirent* entry = ::readdir(directory)) {
    char target[4096];
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) continue;
    const std::string path(target, static_cast<std::size_t>(length));
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.starts_with("psqlodbc_") && name.ends_with(".log")) logs.insert(path);
  }
  ::closedir(directory);
  return logs;
}

// Whether a connection opened with this completed string logs its
// communication: the string's CommLog, else the data source's; with neither,
// the connector added CommLog=0.
bool CommunicationLogOff(const std::u16string& connectionString, const PgConnector::DsnSetting& dsnSetting) {
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(connectionString);
  if (const std::optional<std::u16string> value = FindAttribute(attributes, {kCommLogKeys[0], kCommLogKeys[1]}))
    return TrimBlanks(*value) == u"0";
  const std::u16string dsn = FindAttribute(attributes, {u"DSN"}).value_or(std::u16string());
  for (std::u16string_view key : kCommLogKeys) {
    const std::u16string value = dsn.empty() ? std::u16string() : dsnSetting(dsn, std::u16string(key));
    if (!value.empty()) return TrimBlanks(value) == u"0";
  }
  return true;
}

}  // namespace

std::u16string PgConnector::SessionStatement(int timeoutSeconds, const std::u16string& scopeFilter,
                                             bool userObjectsOnly) {
  // Every object made after the cluster was created has an OID from
  // FirstNormalObjectId (16384) up, wraparound included; those below are
  // initdb's, all in pg_catalog, information_schema and pg_toast, which the
  // default scope leaves out anyway. Bounded, the counts read a few index
  // entries instead of every row of pg_class, pg_proc and pg_type (pg_proc
  // alone has some 3,000 on an empty database). A scope that names schemas
  // may name pg_catalog, so there nothing is bounded.
  const auto user = [userObjectsOnly](std::u16string_view alias) {
    return userObjectsOnly ? std::u16string(alias) + u".oid >= 16384 AND " : std::u16string();
  };
  // The types counted are a superset of those the types statement reads
  // (every table has its composite type): none here means none there.
  return u"SELECT pg_catalog.current_setting('server_version_num') || ' ' || "
         u"(SELECT pg_catalog.concat_ws(' ', GREATEST(r.attributes, r.relations, p.arguments, p.routines), "
         u"r.sequences, r.tables, r.views, t.types, p.routines) FROM "
         u"(SELECT pg_catalog.count(*) AS relations, COALESCE(pg_catalog.sum(c.relnatts), 0) AS attributes, "
         u"pg_catalog.count(*) FILTER (WHERE c.relkind = 'S') AS sequences, "
         u"pg_catalog.count(*) FILTER (WHERE c.relkind IN ('r', 'p')) AS tables, "
         u"pg_catalog.count(*) FILTER (WHERE c.relkind IN ('v', 'm')) AS views "
         u"FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE " + user(u"c") +
         scopeFilter + u") r, "
         u"(SELECT pg_catalog.count(*) AS routines, COALESCE(pg_catalog.sum(p.pronargs), 0) AS arguments "
         u"FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace WHERE " + user(u"p") +
         scopeFilter + u") p, "
         u"(SELECT pg_catalog.count(*) AS types FROM pg_catalog.pg_type t JOIN pg_catalog.pg_namespace n "
         u"ON n.oid = t.typnamespace WHERE " + user(u"t") + scopeFilter + u" AND t.typtype IN ('c', 'd', 'e', 'r')) t) AS session, "
         u"pg_catalog.set_config('search_path', '', false) AS search_path, "
         u"pg_catalog.set_config('lock_timeout', '" + Decimal(timeoutSeconds) + u"s', false) AS lock_timeout, "
         u"pg_catalog.set_config('default_transaction_isolation', 'repeatable read', false) AS isolation, "
         u"pg_catalog.set_config('default_transaction_read_only', 'on', false) AS read_only";
}

PgConnector::~PgConnector() { Disconnect(); }

bool PgConnector::CountedNone(int statementId) const {
  if (!m_counted) return false;
  switch (statementId) {
    case kSequences:
      return m_counted->sequences == 0;
    case kTables:
      return m_counted->tables == 0;
    case kViews:
      return m_counted->views == 0;
    case kTypes:
      return m_counted->types == 0;
    case kRoutines:
      return m_counted->routines == 0;
    default:
      return false;
  }
}

std::u16string PgConnector::ReadDsnSetting(const std::u16string& dsn, const std::u16string& key) {
  // The configuration library keeps what it reads in a cache of its own.
  // It came into the process with this plug-in and would be unloaded with
  // it, leaving that memory unreachable; it stays loaded instead.
  static void* const keepLoaded = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  (void)keepLoaded;
  char value[256] = {};
  const std::string section = platform::Utf16ToUtf8(dsn);
  const std::string entry = platform::Utf16ToUtf8(key);
  const int length = SQLGetPrivateProfileString(section.c_str(), entry.c_str(), "", value, sizeof value, "odbc.ini");
  if (length <= 0) return {};
  return platform::Utf8ToUtf16(std::string_view(value, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof value - 1)));
}

std::u16string PgConnector::CompleteConnectionString(const std::u16string& source, const DsnSetting& dsnSetting) {
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(source);
  std::u16string text = source;
  const std::optional<std::u16string> dsn = FindAttribute(attributes, {u"DSN"});
  if (!dsn && !HasAttribute(attributes, {u"Driver", u"FileDSN"})) text = u"Driver={PostgreSQL Unicode};" + text;
  const std::u16string dsnName = dsn.value_or(std::u16string());
  if (!Has(attributes, kFetchKeys) && !DsnSets(dsnName, kFetchKeys, dsnSetting))
    Append(text, u"Fetch=" + Decimal(kFetchRows));
  // Debian registers the driver with its communication log on, which would
  // write a log file per import into /tmp and slow a large catalogue down.
  if (!Has(attributes, kCommLogKeys) && !DsnSets(dsnName, kCommLogKeys, dsnSetting))
    Append(text, u"CommLog=0");
  return text;
}

bool PgConnector::UserSetsBatches(const std::u16string& source, const DsnSetting& dsnSetting) {
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(source);
  const std::u16string dsn = FindAttribute(attributes, {u"DSN"}).value_or(std::u16string());
  return Has(attributes, kUseDeclareFetchKeys) || DsnSets(dsn, kUseDeclareFetchKeys, dsnSetting);
}

bool PgConnector::EstablishConnection() {
  m_serverVersion = 0;
  m_batched = false;
  m_counted.reset();
  const std::u16string& source = GetSource();
  if (std::all_of(source.begin(), source.end(), [](char16_t ch) { return ch == u' ' || ch == u'\t'; }))
    return Refuse(u"no connection string given");

  std::u16string completed = CompleteConnectionString(source, &PgConnector::ReadDsnSetting);
  CString connection(completed);
  const int timeout = std::max(GetConnectOptions().timeoutSeconds, 1);
  // libpq waits at least 2 s for a connection, whatever it is given.
  const int loginTimeout = std::max(timeout, 2);
  SetLoginTimeout(static_cast<unsigned int>(loginTimeout));
  const auto start = std::chrono::steady_clock::now();
  bool connected = Connect(connection);
  if (!connected && NeedsPassword(GetLastDiagnostic(), completed)) {
    // As psql: a server that wants a password the string does not give
    // gets one asked for on the host's terminal, and a second attempt.
    OdbcDiagnostic failure = GetLastDiagnostic();
    bool cancelled = false;
    if (!AskForPassword(completed, failure, cancelled)) return cancelled ? false : Report(std::move(failure));
    connection = CString(completed);
    connected = Connect(connection);
  }
  if (!connected) {
    // libpq says "timeout expired" (in the user's language): what the user
    // needs to know is what was waited for, and how long.
    const auto waited = std::chrono::steady_clock::now() - start;
    OdbcDiagnostic failure = GetLastDiagnostic();
    if (failure.sqlState.starts_with(u"08") &&
        waited >= std::chrono::seconds(loginTimeout) - std::chrono::milliseconds(250)) {
      failure.message = u"the server did not answer within " + Decimal(loginTimeout) + u" s (" + failure.message + u")";
      return Report(std::move(failure));
    }
    return false;
  }
  m_logOff = CommunicationLogOff(completed, &PgConnector::ReadDsnSetting);
  m_userSetsBatches = UserSetsBatches(completed, &PgConnector::ReadDsnSetting);

  // The session in one statement (one round trip): the server's version
  // and what the scope holds (SessionStatement), and the settings every catalogue
  // statement runs under. Names outside pg_catalog come out qualified, and
  // no object of the database can stand in for a catalogue function
  // (search_path); a statement that needs a lock another session holds (an
  // open ALTER TABLE, say) fails after the timeout instead of waiting for it
  // (lock_timeout); each statement sees one snapshot of the catalogue and
  // nothing can be written by accident (the transaction defaults). The
  // connection stays in autocommit mode: each statement is a transaction of
  // its own, with no message to the server to begin or end it.
  const std::vector<std::u16string> scope = ParseScope(GetScope());
  std::vector<std::u16string> session;
  if (!RunOrDisconnect(SessionStatement(timeout, ScopeFilter(u"n.nspname", scope), scope.empty()), &session)) return false;
  std::vector<std::int64_t> numbers;
  for (std::u16string_view rest = session.empty() ? std::u16string_view() : std::u16string_view(session.front());
       !rest.empty();) {
    const std::size_t space = rest.find(u' ');
    const std::optional<std::int64_t> number = ParseInt64(rest.substr(0, space));
    if (!number) break;
    numbers.push_back(*number);
    rest = space == std::u16string_view::npos ? std::u16string_view() : rest.substr(space + 1);
  }
  m_serverVersion = !numbers.empty() ? static_cast<int>(numbers[0]) : 0;
  if (m_serverVersion < kMinimumServerVersion) {
    std::vector<std::u16string> text;
    ExecuteOnConnection(GetConnectionHandle(), u"SELECT pg_catalog.current_setting('server_version')", &text);
    Disconnect();
    m_serverVersion = 0;
    return Refuse(u"PostgreSQL " + (text.empty() ? std::u16string(u"(unknown version)") : text.front()) +
                  u" is not supported: the import needs PostgreSQL 12 or later");
  }

  // psqlODBC names the database only when its Database key gave it: one
  // given to libpq directly (pqopt's dbname, for a name the key cannot
  // carry) or taken from libpq's defaults (PGDATABASE, the user's name) is
  // the server's to say.
  if (m_databaseName[0] == u'\0') {
    std::vector<std::u16string> name;
    if (!RunOrDisconnect(u"SELECT pg_catalog.current_database()", &name)) return false;
    if (!name.empty()) {
      const std::size_t length = std::min<std::size_t>(name.front().size(), kBufferLength - 1);
      std::copy_n(name.front().begin(), length, m_databaseName);
      m_databaseName[length] = u'\0';
    }
  }

  // A misspelt schema would otherwise import nothing without a word.
  if (!scope.empty()) {
    std::vector<std::u16string> present;
    if (!RunOrDisconnect(u"SELECT n.nspname AS schema_name FROM pg_catalog.pg_namespace n WHERE " +
                             ScopeFilter(u"n.nspname", scope),
                         &present))
      return false;
    std::vector<std::u16string> all;
    std::u16string missing;
    for (const std::u16string& name : scope) {
      if (std::find(present.begin(), present.end(), name) != present.end()) continue;
      // Listed without the server's own storage of toasted values and
      // sessions' temporary schemas, which nobody asks for by name.
      if (all.empty() && !RunOrDisconnect(u"SELECT nspname AS schema_name FROM pg_catalog.pg_namespace WHERE nspname "
                                          u"!~ '^pg_(toast|temp_[0-9]+|toast_temp_[0-9]+)$'",
                                          &all))
        return false;
      std::u16string entry = u"\"" + name + u"\"";
      // Names are stored as written: "Sales" and sales are two schemas.
      for (const std::u16string& candidate : all)
        if (FoldAscii(candidate) == FoldAscii(name)) entry += u" (there is \"" + candidate + u"\")";
      missing += (missing.empty() ? u"" : u", ") + entry;
    }
    if (!missing.empty()) {
      Disconnect();
      for (std::u16string& name : all) name = u"\"" + name + u"\"";
      return Report({std::u16string(kNoSuchSchemaState), 0,
                     u"no schema named " + missing + u" in database \"" + std::u16string(GetDatabaseName()) +
                         u"\" (its schemas: " + ListedSchemas(all) + u")",
                     OdbcDiagnostic::Origin::Plugin});
    }
  }

  // Batches from a server-side cursor for a catalogue large enough for a
  // result to be, unless the user chose (in the string or the data source).
  m_batched = numbers.size() > 1 && numbers[1] > kBatchedRows;
  if (numbers.size() == 7) m_counted = Counted{numbers[2], numbers[3], numbers[4], numbers[5], numbers[6]};
  if (!m_userSetsBatches) {
    const SQLRETURN rc = SQLSetConnectAttrW(static_cast<SQLHDBC>(GetConnectionHandle()), kUseDeclareFetchAttribute,
                                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_batched ? 1 : 0)), 0);
    if (!Succeeded(rc)) {
      OdbcDiagnostic failure = ReadOdbcDiagnostic(SQL_HANDLE_DBC, GetConnectionHandle(), u"SQLSetConnectAttrW");
      Disconnect();
      return Report(std::move(failure));
    }
  }
  return true;
}

void PgConnector::Disconnect() {
  const bool open = GetConnectionHandle() != nullptr;
  if (open) RollbackTransaction();
  const bool removeLog = open && m_logOff;
  const std::set<std::string> before = removeLog ? OpenDriverLogs() : std::set<std::string>();
  SchemaSourceConnectorI::Disconnect();
  m_logOff = false;
  if (!removeLog) return;
  // The driver keeps the file open and writes any later line to it; it is
  // only taken out of the folder.
  for (const std::string& log : OpenDriverLogs())
    if (before.count(log) == 0) ::unlink(log.c_str());
}

}  // namespace qm::postgres

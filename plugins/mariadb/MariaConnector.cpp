#include "MariaConnector.h"

#include "MariaCatalog.h"
#include "MariaText.h"

#include <schemaimport/OdbcSupport.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace qm::mariadb {
namespace {

// The driver's keys for the connection's character set.
constexpr std::u16string_view kCharsetKeys[] = {u"CHARSET", u"CHARACTERSET"};

void Append(std::u16string& text, std::u16string_view attribute) {
  // Trailing blanks and a trailing ';' are the user's; one separator.
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\t')) --end;
  if (end > 0 && text[end - 1] != u';') text += u';';
  text += attribute;
}

}  // namespace

bool MariaConnector::MeansConnectionLost(const OdbcDiagnostic& diagnostic) {
  if (diagnostic.origin != OdbcDiagnostic::Origin::Driver) return false;
  switch (diagnostic.nativeError) {
    case 1927:  // the server: connection was killed
    case 2006:  // the client library: server has gone away
    case 2013:  // lost connection during query
    case 2055:  // lost connection, with the system's error
    case 5013:  // a read from the server failed
    case 5014:  // a write to the server failed (a connection the server closed)
      return true;
    default:
      return diagnostic.sqlState.starts_with(u"08");
  }
}

std::u16string MariaConnector::CompleteConnectionString(const std::u16string& source) {
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(source);
  std::u16string text = source;
  if (!HasAttribute(attributes, {u"DSN", u"Driver", u"FileDSN"})) text = u"Driver={MariaDB Unicode};" + text;
  if (!HasAttribute(attributes, {kCharsetKeys[0], kCharsetKeys[1]})) Append(text, u"CHARSET=utf8mb4");
  return text;
}

int MariaConnector::ParseServerVersion(const std::u16string& version) {
  int parts[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int part = 0; part < 3; ++part) {
    const std::size_t start = pos;
    while (pos < version.size() && version[pos] >= u'0' && version[pos] <= u'9') {
      parts[part] = parts[part] * 10 + (version[pos] - u'0');
      if (parts[part] > 99999) return 0;
      ++pos;
    }
    if (pos == start) return 0;
    if (part < 2) {
      if (pos >= version.size() || version[pos] != u'.') return 0;
      ++pos;
    }
  }
  return parts[0] * 10000 + std::min(parts[1], 99) * 100 + std::min(parts[2], 99);
}

bool MariaConnector::EstablishConnection() {
  m_serverVersion = 0;
  m_procReadable = false;
  const std::u16string& source = GetSource();
  if (std::all_of(source.begin(), source.end(), [](char16_t ch) { return ch == u' ' || ch == u'\t'; }))
    return Refuse(u"no connection string given");

  CString connection(CompleteConnectionString(source));
  const int timeout = std::max(GetConnectOptions().timeoutSeconds, 1);
  SetLoginTimeout(static_cast<unsigned int>(timeout));
  const auto start = std::chrono::steady_clock::now();
  if (!Connect(connection)) {
    // The client library says "Can't connect ... (110)" or "Lost connection
    // ... at 'handshake'": what the user needs is what was waited for.
    const auto waited = std::chrono::steady_clock::now() - start;
    OdbcDiagnostic failure = GetLastDiagnostic();
    if (failure.origin == OdbcDiagnostic::Origin::Driver &&
        waited >= std::chrono::seconds(timeout) - std::chrono::milliseconds(250)) {
      failure.message = u"the server did not answer within " + Decimal(timeout) + u" s (" + failure.message + u")";
      return Report(std::move(failure));
    }
    return false;
  }

  std::vector<std::u16string> version;
  if (!RunOrDisconnect(u"SELECT VERSION() AS server_version", &version)) return false;
  const std::u16string versionText = version.empty() ? std::u16string(u"(unknown version)") : version.front();
  if (versionText.find(u"MariaDB") == std::u16string::npos) {
    Disconnect();
    return Refuse(u"the server is not MariaDB (version " + versionText +
                  u"): the import reads MariaDB's information_schema, 10.6 or later");
  }
  if (ParseServerVersion(versionText) < kMinimumServerVersion) {
    Disconnect();
    return Refuse(u"MariaDB " + versionText + u" is not supported: the import needs MariaDB 10.6 or later");
  }
  m_serverVersion = ParseServerVersion(versionText);

  // The driver reports a connection without a database as the database
  // "null" (SQL_DATABASE_NAME): the model then names none. Asked only
  // then, as a database may be named null.
  if (std::u16string_view(m_databaseName) == u"null") {
    std::vector<std::u16string> none;
    if (!RunOrDisconnect(u"SELECT DATABASE() IS NULL AS no_database", &none)) return false;
    if (!none.empty() && none.front() == u"1") m_databaseName[0] = u'\0';
  }

  // The statements are written for kSessionSqlMode, and the server prints
  // expressions (defaults, checks, generated columns) by it. The server's
  // own strictness comes with it: MariaDB works out the nullability and
  // default of a view's column anew in each session, and without the
  // global mode's STRICT_TRANS_TABLES or STRICT_ALL_TABLES it answers
  // otherwise than every other session of the server (NOT NULL with the
  // default '' for lcase() of a NOT NULL column); neither flag changes how
  // a statement is read or an expression printed. The expression itself
  // is read under the server's mode: no '' (EMPTY_STRING_IS_NULL), no
  // double quotes, no ||. A catalogue statement that meets a table another
  // session has locked (an ALTER TABLE running, LOCK TABLES) gives up
  // after the timeout. Nothing is written by accident.
  const std::u16string seconds = Decimal(timeout);
  if (!RunOrDisconnect(u"SET SESSION sql_mode = CONCAT_WS(',', '" + std::u16string(kSessionSqlMode) +
                       u"', CASE WHEN FIND_IN_SET('STRICT_TRANS_TABLES', @@GLOBAL.sql_mode) > 0 "
                       u"THEN 'STRICT_TRANS_TABLES' END, CASE WHEN FIND_IN_SET('STRICT_ALL_TABLES', @@GLOBAL.sql_mode) > 0 "
                       u"THEN 'STRICT_ALL_TABLES' END), SESSION lock_wait_timeout = " + seconds +
                       u", SESSION innodb_lock_wait_timeout = " + seconds))
    return false;
  if (!RunOrDisconnect(u"SET SESSION TRANSACTION READ ONLY")) return false;

  // A misspelt schema would otherwise import nothing without a word.
  const std::vector<std::u16string> scope = ParseScope(GetScope());
  if (!scope.empty()) {
    std::vector<std::u16string> present;
    if (!RunOrDisconnect(u"SELECT s.SCHEMA_NAME AS schema_name FROM information_schema.SCHEMATA s WHERE " +
                             ScopeFilter(u"s.SCHEMA_NAME", scope),
                         &present))
      return false;
    std::vector<std::u16string> all;
    std::u16string missing;
    for (const std::u16string& name : scope) {
      if (std::find(present.begin(), present.end(), name) != present.end()) continue;
      if (all.empty() &&
          !RunOrDisconnect(u"SELECT SCHEMA_NAME AS schema_name FROM information_schema.SCHEMATA", &all))
        return false;
      std::u16string entry = QuoteIdentifier(name);
      // Schema names are stored as written: Sales and sales are two.
      for (const std::u16string& candidate : all)
        if (FoldAscii(candidate) == FoldAscii(name)) entry += u" (there is " + QuoteIdentifier(candidate) + u")";
      missing += (missing.empty() ? u"" : u", ") + entry;
    }
    if (!missing.empty()) {
      Disconnect();
      return Refuse(u"no schema named " + missing + u" on the server");
    }
  }

  // mysql.proc keeps routine bodies as written; an account that may not
  // read it gets information_schema's copy.
  const OdbcDiagnostic proc =
      ExecuteOnConnection(GetConnectionHandle(), u"SELECT 1 AS readable FROM mysql.proc LIMIT 0");
  if (!proc.IsEmpty() && MeansConnectionLost(proc)) {
    Disconnect();
    return Report(proc);
  }
  m_procReadable = proc.IsEmpty();
  return true;
}

}  // namespace qm::mariadb

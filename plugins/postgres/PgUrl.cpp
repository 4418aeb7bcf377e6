#include "PgUrl.h"

#include <platform/ConnectionDialog.h>
#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace qm::postgres {

const char* const kUrlSchemes[] = {"postgresql", "postgres", nullptr};

namespace {

// libpq's connection parameters that reach it through pqopt (PostgreSQL 15
// and 16). The driver's own keys stand for host, port, dbname, user,
// password and sslmode.
constexpr std::string_view kLibpqParameters[] = {
    "hostaddr",         "passfile",          "channel_binding",
    "options",          "application_name",  "fallback_application_name", "keepalives",
    "keepalives_idle",  "keepalives_interval", "keepalives_count",       "tcp_user_timeout",
    "gssencmode",       "requiressl",        "sslcompression",           "sslcert",
    "sslkey",           "sslpassword",       "sslrootcert",              "sslcrl",
    "sslcrldir",        "sslsni",            "requirepeer",              "ssl_min_protocol_version",
    "ssl_max_protocol_version", "krbsrvname", "gsslib",                   "service",
    "target_session_attrs", "load_balance_hosts", "sslcertmode",        "require_auth"};

// Parameters the driver sets itself: another value would break it.
constexpr std::string_view kDriverOwned[] = {"client_encoding", "replication"};
// Parameters the host's options set through the driver.
constexpr std::string_view kHostOwned[] = {"connect_timeout"};

bool Listed(std::string_view key, const auto& list) {
  return std::find(std::begin(list), std::end(list), key) != std::end(list);
}

// A value in libpq's conninfo syntax: quoted, with \ and ' escaped.
std::string ConninfoValue(std::string_view value) {
  std::string quoted = "'";
  for (const char ch : value) {
    if (ch == '\\' || ch == '\'') quoted += '\\';
    quoted += ch;
  }
  return quoted + "'";
}

// Whether psqlODBC would misread the value under one of its own keys: a
// value the connection string must brace (a ';', a '{' first, blanks at
// either end) keeps its braces in Servername, Database and UID, so that a
// database "a;b" would be looked for as "{a;b}". Such a value goes to
// libpq through pqopt instead, in libpq's own quoting.
bool DriverMisreads(const std::string& value) {
  Utf8ConnectionAttribute attribute;
  attribute.key = "k";
  attribute.value = value;
  return FormatConnectionString(std::vector<Utf8ConnectionAttribute>{attribute}) != "k=" + value;
}

// The value of key in a libpq conninfo text (key = value pairs apart by
// blanks, a value quoted '...' or bare, \ escaping the next character),
// or nothing.
std::optional<std::u16string> ConninfoSetting(std::u16string_view text, std::u16string_view key) {
  std::size_t at = 0;
  const auto blank = [&] {
    return at < text.size() && (text[at] == u' ' || text[at] == u'\t' || text[at] == u'\n' || text[at] == u'\r');
  };
  while (at < text.size()) {
    while (blank()) ++at;
    const std::size_t start = at;
    while (at < text.size() && text[at] != u'=' && !blank()) ++at;
    const std::u16string_view name = text.substr(start, at - start);
    while (blank()) ++at;
    if (at >= text.size() || text[at] != u'=') return std::nullopt;  // not conninfo
    ++at;
    while (blank()) ++at;
    std::u16string value;
    const bool quoted = at < text.size() && text[at] == u'\'';
    if (quoted) ++at;
    for (; at < text.size(); ++at) {
      if (quoted ? text[at] == u'\'' : blank()) break;
      if (text[at] == u'\\' && at + 1 < text.size()) ++at;
      value += text[at];
    }
    if (quoted) ++at;
    if (name == key) return value;
  }
  return std::nullopt;
}

}  // namespace

QmUrlSource SourceFromUrl(const ConnectionUrl& url) {
  QmUrlSource source;
  auto refuse = [&](const std::string& reason) {
    source = QmUrlSource();
    source.error = platform::Utf8ToUtf16(reason);
    return source;
  };
  std::vector<Utf8ConnectionAttribute> attributes;
  auto add = [&](const char* key, const std::string& value) {
    Utf8ConnectionAttribute attribute;
    attribute.key = key;
    attribute.value = value;
    attributes.push_back(std::move(attribute));
  };
  add("Driver", "PostgreSQL Unicode");

  std::optional<std::string> host = url.host.empty() ? std::nullopt : std::optional(url.host);
  std::optional<std::string> port = url.port == 0 ? std::nullopt : std::optional(std::to_string(url.port));
  std::optional<std::string> database = url.Database().empty() ? std::nullopt : std::optional(url.Database());
  std::optional<std::string> user = url.user && !url.user->empty() ? url.user : std::nullopt;
  std::optional<std::string> password = url.password;
  std::optional<std::string> sslmode;
  std::string pqopt;
  // A part the URL names in its body and again as a parameter is an error:
  // libpq would take one of them without a word.
  struct Part {
    std::string_view key;
    std::optional<std::string>* value;
  };
  const Part parts[] = {{"host", &host},         {"port", &port},         {"dbname", &database},
                        {"user", &user},         {"password", &password}, {"sslmode", &sslmode}};
  for (const ConnectionUrlParameter& parameter : url.parameters) {
    const auto part = std::find_if(std::begin(parts), std::end(parts),
                                   [&](const Part& p) { return p.key == parameter.key; });
    if (part != std::end(parts)) {
      if (part->value->has_value())
        return refuse("the URL gives the " + std::string(parameter.key) + " twice (in its body and as ?" +
                      parameter.key + "=)");
      *part->value = parameter.value;
      continue;
    }
    if (Listed(parameter.key, kHostOwned))
      return refuse("the parameter \"" + parameter.key +
                    "\" is set from --timeout SECONDS (the driver hands libpq its login timeout as it)");
    if (Listed(parameter.key, kDriverOwned))
      return refuse("the parameter \"" + parameter.key + "\" is set by the ODBC driver itself and cannot be changed");
    if (!Listed(parameter.key, kLibpqParameters)) {
      std::string known = "host, port, dbname, user, password, sslmode";
      for (std::string_view key : kLibpqParameters) known += ", " + std::string(key);
      return refuse("unknown parameter \"" + parameter.key + "\" in the URL; PostgreSQL's are: " + known);
    }
    pqopt += (pqopt.empty() ? "" : " ") + parameter.key + "=" + ConninfoValue(parameter.value);
  }
  if (port) {
    const std::string& text = *port;
    const bool number = !text.empty() && text.size() <= 5 &&
                        std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) &&
                        std::atoi(text.c_str()) >= 1 && std::atoi(text.c_str()) <= 65535;
    if (!number) return refuse("the port \"" + text + "\" is not a number from 1 to 65535");
  }
  // A host, database or user the driver would misread reaches libpq
  // directly (psql reads the same URL; the connector asks the server for
  // the database's name, which the driver then cannot say).
  for (auto [key, value] : {std::pair{"host", &host}, std::pair{"dbname", &database}, std::pair{"user", &user}}) {
    if (!*value || !DriverMisreads(**value)) continue;
    pqopt += (pqopt.empty() ? "" : " ") + std::string(key) + "=" + ConninfoValue(**value);
    value->reset();
  }
  if (host) add("Servername", *host);
  if (port) add("Port", *port);
  if (database) add("Database", *database);
  if (user) add("UID", *user);
  if (password) add("PWD", *password);
  if (sslmode) add("SSLmode", *sslmode);
  if (!pqopt.empty()) add("pqopt", pqopt);
  // Braces for every value that needs them: a password may hold ';' or '}'.
  source.connectionString = platform::Utf8ToUtf16(FormatConnectionString(attributes));
  return source;
}

bool NeedsPassword(const OdbcDiagnostic& failure, const std::u16string& completed) {
  if (failure.message.find(u"no password supplied") == std::u16string::npos) return false;
  return !HasAttribute(ParseConnectionString(completed), {u"PWD", u"Password"});
}

bool AskForPassword(std::u16string& completed, OdbcDiagnostic& failure, bool& cancelled) {
  cancelled = false;
  const std::vector<ConnectionAttribute> attributes = ParseConnectionString(completed);
  std::u16string user = FindAttribute(attributes, {u"UID", u"Username", u"User"}).value_or(u"");
  if (user.empty()) user = ConninfoSetting(FindAttribute(attributes, {u"pqopt"}).value_or(u""), u"user").value_or(u"");
  if (user.empty()) {
    const char* fromEnvironment = std::getenv("PGUSER");
    user = platform::Utf8ToUtf16(fromEnvironment != nullptr ? fromEnvironment : "");
  }
  std::u16string password;
  const platform::PasswordPromptResult answer =
      platform::AskForPassword(user.empty() ? u"Password: " : u"Password for user " + user + u": ", password);
  if (answer == platform::PasswordPromptResult::Given) {
    std::vector<ConnectionAttribute> completedAttributes = attributes;
    ConnectionAttribute pwd;
    pwd.key = u"PWD";
    pwd.value = password;
    completedAttributes.push_back(std::move(pwd));
    completed = FormatConnectionString(completedAttributes);
    return true;
  }
  cancelled = answer == platform::PasswordPromptResult::Cancelled;
  if (!cancelled) {
    failure.message += u" (the server asks for a password and none was given, and there is no terminal to ask "
                       u"on: give it in the URL or connection string, in PGPASSWORD, or in the password file "
                       u"~/.pgpass or PGPASSFILE)";
  }
  return false;
}

}  // namespace qm::postgres

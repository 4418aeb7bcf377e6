#include <runner/OdbcSources.h>

#include <schemaimport/ConnectionString.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>

namespace runner {

namespace {

// An ODBC 3 environment for the lifetime of the object; null when none
// could be made.
class Environment {
 public:
  Environment() {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
      m_env = SQL_NULL_HENV;
      return;
    }
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  ~Environment() {
    if (m_env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, m_env);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  SQLHENV Handle() const { return m_env; }

 private:
  SQLHENV m_env = SQL_NULL_HENV;  // owned
};

void ReadDataSources(SQLHENV env, SQLUSMALLINT first, bool system, std::vector<OdbcDataSource>& sources) {
  SQLCHAR name[SQL_MAX_DSN_LENGTH * 4 + 1];
  SQLCHAR description[1024];
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT descriptionLength = 0;
  for (SQLUSMALLINT direction = first;; direction = SQL_FETCH_NEXT) {
    const SQLRETURN rc = SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                        sizeof description, &descriptionLength);
    if (!SQL_SUCCEEDED(rc)) break;
    sources.push_back({reinterpret_cast<const char*>(name), reinterpret_cast<const char*>(description), system});
  }
}

}  // namespace

std::vector<OdbcDriver> ListOdbcDrivers() {
  std::vector<OdbcDriver> drivers;
  const Environment environment;
  if (environment.Handle() == SQL_NULL_HENV) return drivers;
  SQLCHAR name[1024];
  SQLCHAR attributes[4096];
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT attributesLength = 0;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    const SQLRETURN rc = SQLDrivers(environment.Handle(), direction, name, sizeof name, &nameLength, attributes,
                                    sizeof attributes, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    OdbcDriver driver;
    driver.name = reinterpret_cast<const char*>(name);
    // The attributes are "key=value" texts, each ended by a NUL, the list
    // by a second one.
    for (const char* pair = reinterpret_cast<const char*>(attributes); *pair != '\0';
         pair += std::string_view(pair).size() + 1) {
      const std::string_view text(pair);
      if (text.size() > 7 && EqualsIgnoringAsciiCase(text.substr(0, 7), "Driver=")) driver.library = text.substr(7);
      if (pair + text.size() + 1 >= reinterpret_cast<const char*>(attributes) + sizeof attributes) break;
    }
    drivers.push_back(std::move(driver));
  }
  return drivers;
}

std::vector<OdbcDataSource> ListOdbcDataSources() {
  std::vector<OdbcDataSource> sources;
  const Environment environment;
  if (environment.Handle() == SQL_NULL_HENV) return sources;
  ReadDataSources(environment.Handle(), SQL_FETCH_FIRST_USER, false, sources);
  ReadDataSources(environment.Handle(), SQL_FETCH_FIRST_SYSTEM, true, sources);
  return sources;
}

std::optional<OdbcDataSource> FindOdbcDataSource(const std::string& name) {
  for (OdbcDataSource& source : ListOdbcDataSources())
    if (EqualsIgnoringAsciiCase(source.name, name)) return std::move(source);
  return std::nullopt;
}

std::string OdbcConfigurationFiles() {
  auto environment = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : std::string();
  };
  std::string user = environment("ODBCINI");
  if (user.empty()) user = environment("HOME").empty() ? std::string("~/.odbc.ini") : environment("HOME") + "/.odbc.ini";
  std::string folder = environment("ODBCSYSINI");
  if (folder.empty()) folder = "/etc";
  std::string drivers = environment("ODBCINSTINI");
  if (drivers.empty()) drivers = "odbcinst.ini";
  if (drivers.front() != '/') drivers = folder + "/" + drivers;
  return "user data sources: " + user + "; system: " + folder + "/odbc.ini; drivers: " + drivers;
}

}  // namespace runner

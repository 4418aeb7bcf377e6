// The MariaDB test server (QM_MARIA_CONNECT, QM_MARIA_CLIENT_CNF) through
// the mariadb client; values read hex on the wire.
#pragma once

#include "PgTestEnv.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

inline std::optional<std::string> MariaConnectionString() {
  const std::string value = EnvText("QM_MARIA_CONNECT");
  if (value.empty() || EnvText("QM_MARIA_CLIENT_CNF").empty()) return std::nullopt;
  return value;
}

// The session's sql_mode the import sets (the server prints expressions by
// it); catalogue queries run with it too.
inline constexpr const char* kMariaSessionSqlMode = "NO_ENGINE_SUBSTITUTION";

// A utf8mb4 database named for the process; dropped when it goes.
class MariaDatabase {
 public:
  explicit MariaDatabase(const std::string& tag);
  ~MariaDatabase();
  MariaDatabase(const MariaDatabase&) = delete;
  MariaDatabase& operator=(const MariaDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  std::string ConnectionString() const;

 private:
  std::string m_name;  // schema name, plain ASCII
};

// Runs the script in the database (none for "") to the first error:
// empty, or what the client printed.
std::string RunMariaSql(const std::string& database, const std::string& script);

// The values of the query's column v (NULL as ""), after `setup`, in the
// import's sql_mode, as `user` if given. A failure fails the test.
std::vector<std::string> MariaQueryColumn(const std::string& query, const std::string& setup = {},
                                          const std::string& user = {}, const std::string& password = {});
std::string MariaQueryValue(const std::string& query);

// The text as a literal in any sql_mode: _utf8mb4 X'...'.
std::string MariaLiteral(const std::string& text);
std::string MariaIdent(const std::string& name);

}  // namespace qm::test

#define QM_REQUIRE_MARIA()                                     \
  QM_REQUIRE_SERVER(::qm::test::MariaConnectionString() ? "" \
                                                         : "QM_MARIA_CONNECT is not set (scripts/mariadb start DIR exports it)")

// The MariaDB test server. scripts/test (or scripts/mariadb) starts a
// throw-away server and exports QM_MARIA_CONNECT, its ODBC connection
// string, and QM_MARIA_CLIENT_CNF, the mariadb client's option file for it
// (the tests' account). Without them, tests that need the server are
// skipped; in CI (CI=true) they fail instead. Here: databases of the tests'
// own, scripts run with the mariadb client, and catalogue queries read
// through it with every value hex on the wire, so that nothing between the
// server and a comparison can alter a byte.
#pragma once

#include "PgTestEnv.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// QM_MARIA_CONNECT (UTF-8), or nothing when it (or the client's option
// file) is unset or empty.
inline std::optional<std::string> MariaConnectionString() {
  const char* value = std::getenv("QM_MARIA_CONNECT");
  const char* client = std::getenv("QM_MARIA_CLIENT_CNF");
  if (value == nullptr || *value == '\0' || client == nullptr || *client == '\0') return std::nullopt;
  return std::string(value);
}

// The session's sql_mode the import sets (the server prints expressions by
// it); catalogue queries run with it too.
inline constexpr const char* kMariaSessionSqlMode = "NO_ENGINE_SUBSTITUTION";

// A database (schema) made for one test suite (utf8mb4) with a name unique
// to the process; dropped when the object goes.
class MariaDatabase {
 public:
  explicit MariaDatabase(const std::string& tag);
  ~MariaDatabase();
  MariaDatabase(const MariaDatabase&) = delete;
  MariaDatabase& operator=(const MariaDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // QM_MARIA_CONNECT (UTF-8) naming this database.
  std::string ConnectionString() const;

 private:
  std::string m_name;  // schema name, plain ASCII
};

// Runs the SQL script (UTF-8) with the mariadb client in the database (none
// for ""), stopping at the first error; DELIMITER works as in the client.
// Empty when it ran; otherwise what the client printed.
std::string RunMariaSql(const std::string& database, const std::string& script);

// The values of a query whose one column is named v, NULL as "", each read
// as UTF-8 bytes, after `setup`, with the import's sql_mode; as another
// account when user is given. Fails the calling test when the client does.
std::vector<std::string> MariaQueryColumn(const std::string& query, const std::string& setup = {},
                                          const std::string& user = {}, const std::string& password = {});
// The first value, or "" when there is none.
std::string MariaQueryValue(const std::string& query);

// The text as a MariaDB string literal, whatever the session's sql_mode
// (NO_BACKSLASH_ESCAPES, ANSI_QUOTES): a hex literal of its bytes,
// _utf8mb4 X'...'.
std::string MariaLiteral(const std::string& text);
// The name between backticks, backticks doubled.
std::string MariaIdent(const std::string& name);

}  // namespace qm::test

// Use at the top of a test body or SetUp: skips the test when no server is
// configured, or fails it in CI. Returns from the enclosing void function.
#define QM_REQUIRE_MARIA()                                                          \
  do {                                                                              \
    if (!::qm::test::MariaConnectionString()) {                                     \
      if (::qm::test::RunningInCi()) {                                              \
        GTEST_FAIL() << "QM_MARIA_CONNECT is not set in CI; run the tests through " \
                        "scripts/test, which starts MariaDB";                       \
      }                                                                             \
      GTEST_SKIP() << "QM_MARIA_CONNECT is not set (scripts/mariadb start DIR "     \
                      "exports it); skipping a test that needs MariaDB";            \
    }                                                                               \
  } while (false)

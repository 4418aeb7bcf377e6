// The PostgreSQL server of a test run. scripts/test (or scripts/pg) starts a
// throw-away server and exports QM_PG_CONNECT, its ODBC connection string.
// Without it, tests that need the server are skipped; in CI (CI=true) they
// fail instead, so that a missing server cannot pass as green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace qm::test {

// QM_PG_CONNECT (UTF-8), or nothing when it is unset or empty.
inline std::optional<std::string> PgConnectionString() {
  const char* value = std::getenv("QM_PG_CONNECT");
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// True when the environment says this is a CI run (CI=true or CI=1).
inline bool RunningInCi() {
  const char* value = std::getenv("CI");
  if (value == nullptr) return false;
  const std::string_view ci(value);
  return ci == "true" || ci == "TRUE" || ci == "1";
}

}  // namespace qm::test

// Use at the top of a test body or SetUp: skips the test when no server is
// configured, or fails it in CI. Returns from the enclosing void function.
#define QM_REQUIRE_PG()                                                          \
  do {                                                                           \
    if (!::qm::test::PgConnectionString()) {                                     \
      if (::qm::test::RunningInCi()) {                                           \
        GTEST_FAIL() << "QM_PG_CONNECT is not set in CI; run the tests through " \
                        "scripts/test, which starts PostgreSQL";                 \
      }                                                                          \
      GTEST_SKIP() << "QM_PG_CONNECT is not set (scripts/pg start DIR exports "  \
                      "it); skipping a test that needs PostgreSQL";              \
    }                                                                            \
  } while (false)

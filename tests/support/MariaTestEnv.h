// The MariaDB server of a test run. scripts/test (or scripts/mariadb) starts
// a throw-away server and exports QM_MARIA_CONNECT, its ODBC connection
// string, and QM_MARIA_CLIENT_CNF, the mariadb client's option file for it.
// Without them, tests that need the server are skipped; in CI (CI=true)
// they fail instead, so that a missing server cannot pass as green.
#pragma once

#include "PgTestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace qm::test {

// QM_MARIA_CONNECT (UTF-8), or nothing when it (or the client's option
// file) is unset or empty.
inline std::optional<std::string> MariaConnectionString() {
  const char* value = std::getenv("QM_MARIA_CONNECT");
  const char* client = std::getenv("QM_MARIA_CLIENT_CNF");
  if (value == nullptr || *value == '\0' || client == nullptr || *client == '\0') return std::nullopt;
  return std::string(value);
}

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

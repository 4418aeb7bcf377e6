// The PostgreSQL server of a test run (QM_PG_CONNECT, from scripts/test).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace qm::test {

inline std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

inline std::optional<std::string> PgConnectionString() {
  const std::string value = EnvText("QM_PG_CONNECT");
  return value.empty() ? std::nullopt : std::optional<std::string>(value);
}

inline bool RunningInCi() { return EnvText("CI") == "true" || EnvText("CI") == "TRUE" || EnvText("CI") == "1"; }

}  // namespace qm::test

// Skips the test when `why` (why its server is not there) is not empty;
// fails it in CI.
#define QM_REQUIRE_SERVER(why)                                                             \
  do {                                                                                     \
    const std::string qmWhy = (why);                                                       \
    if (!qmWhy.empty()) {                                                                  \
      if (::qm::test::RunningInCi()) GTEST_FAIL() << qmWhy << " (in CI: run scripts/test)"; \
      GTEST_SKIP() << qmWhy;                                                               \
    }                                                                                      \
  } while (false)
#define QM_REQUIRE_PG() \
  QM_REQUIRE_SERVER(::qm::test::PgConnectionString() ? "" : "QM_PG_CONNECT is not set (scripts/pg start DIR exports it)")

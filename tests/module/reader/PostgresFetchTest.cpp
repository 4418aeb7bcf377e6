// The fetch suite over psqlODBC, Unicode and ANSI. A server that ends the
// connection in the middle of a fetch is the hardening tests' to check.
#include "FetchSuite.h"

#include <gtest/gtest.h>

namespace qm::test::reader {
namespace {

const Backend kPgUnicode{"PostgresUnicode", Engine::Postgres, true, "QM_PG_CONNECT"};
const Backend kPgAnsi{"PostgresAnsi", Engine::Postgres, false, "QM_PG_CONNECT_ANSI"};

INSTANTIATE_TEST_SUITE_P(Postgres, FetchTest, ::testing::Values(kPgUnicode, kPgAnsi), BackendName);
INSTANTIATE_TEST_SUITE_P(Postgres, CatalogCallTest, ::testing::Values(kPgUnicode, kPgAnsi), BackendName);

}  // namespace
}  // namespace qm::test::reader

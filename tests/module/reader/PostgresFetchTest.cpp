// The fetch suite over psqlODBC (Unicode and ANSI), and a server that ends
// the connection in the middle of a fetch.
#include "FetchSuite.h"

#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <string>

namespace qm::test::reader {
namespace {

const Backend kPgUnicode{"PostgresUnicode", Engine::Postgres, true, "QM_PG_CONNECT"};
const Backend kPgAnsi{"PostgresAnsi", Engine::Postgres, false, "QM_PG_CONNECT_ANSI"};

INSTANTIATE_TEST_SUITE_P(Postgres, FetchTest, ::testing::Values(kPgUnicode, kPgAnsi), BackendName);

class PostgresTerminationTest : public FetchTest {};

INSTANTIATE_TEST_SUITE_P(Postgres, PostgresTerminationTest, ::testing::Values(kPgUnicode), BackendName);

TEST_P(PostgresTerminationTest, ServerEndingTheConnectionMidFetchEndsTheStatement) {
  // Rows come from a server-side cursor, 100 at a time, so the fault shows
  // at the next batch rather than having the whole result in memory.
  TestConnector fetching(CString::FromUtf8(*ConnectionString(";UseDeclareFetch=1;Fetch=100")));
  ASSERT_TRUE(fetching.EstablishConnection()) << Describe(fetching.GetLastDiagnostic());
  const long long pid = QueryInteger(fetching.GetConnectionHandle(), u"SELECT pg_backend_pid()");

  ActionLog log;  // outlives the reader that deletes the action
  TestReader reader;
  reader.SetConnection(&fetching);
  reader.SetModel(&m_model);
  reader.AddQueryStatement(1, 12, u"SELECT g AS n FROM generate_series(1, 100000) AS g");
  reader.SetStatementRowAction(1, new RecordingRowAction(&log));
  constexpr int kFaultRow = 250;
  log.onRow = [&](int row) {
    if (row != kFaultRow) return;
    // Waits (up to 10 s) until the backend is gone.
    const long long ended = QueryInteger(m_connector->GetConnectionHandle(),
                                         u"SELECT CASE WHEN pg_terminate_backend(" +
                                             CString::FromUtf8(std::to_string(pid)).str() +
                                             u", 10000) THEN 1 ELSE 0 END");
    EXPECT_EQ(ended, 1);
  };

  reader.ImportObjects(1);

  const int rows = static_cast<int>(log.rows.size());
  RecordProperty("rows_handed_on", rows);
  EXPECT_GE(rows, kFaultRow);
  EXPECT_LT(rows, 100000);
  // The rows handed on are the result's first rows, none lost or repeated.
  for (int i = 0; i < rows; ++i) ASSERT_EQ(log.rows[static_cast<std::size_t>(i)].GetInteger(u"n"), i + 1);
  EXPECT_EQ(reader.RecordCount(), rows);
  EXPECT_EQ(reader.ObjectCount(12), rows);
  EXPECT_EQ(log.preExecute, 1);
  EXPECT_EQ(log.postExecute, 1);
  ASSERT_EQ(reader.GetFailedStatements().size(), 1u);
  const auto& failure = reader.GetFailedStatements()[0];
  EXPECT_EQ(failure.statementId, 1);
  EXPECT_TRUE(failure.diagnostic.sqlState == u"57P01" || failure.diagnostic.sqlState == u"08S01")
      << Describe(failure.diagnostic);
  reader.ClearAll();
}

}  // namespace
}  // namespace qm::test::reader

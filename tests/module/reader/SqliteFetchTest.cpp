// The fetch suite over the SQLite3 ODBC driver, and the faults that driver
// will not produce on demand, injected at the driver manager's door.
#include "ReaderTestSupport.h"

#include <OdbcFaults.h>

#include <gtest/gtest.h>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {
namespace {

const Backend kSqlite{"Sqlite3", Engine::Sqlite, false, nullptr};

INSTANTIATE_TEST_SUITE_P(Sqlite, FetchTest, ::testing::Values(kSqlite), BackendName);
INSTANTIATE_TEST_SUITE_P(Sqlite, CatalogCallTest, ::testing::Values(kSqlite), BackendName);

class SqliteFaultTest : public FetchTest {
 protected:
  odbc::Disarm m_disarm;  // no fault outlives its test
};

INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteFaultTest, ::testing::Values(kSqlite), BackendName);

TEST_P(SqliteFaultTest, FailedStatementHandleAllocationSkipsTheStatement) {
  const int executedBefore = odbc::ExecuteCalls();
  odbc::InjectFault(odbc::Fault::StatementAllocation);
  Run(1, u"SELECT a AS a FROM nums");
  odbc::InjectFault(odbc::Fault::None);
  // Nothing was executed on a handle that does not exist, no action ran.
  EXPECT_EQ(odbc::ExecuteCalls(), executedBefore);
  EXPECT_EQ(m_log.calls(), 0);
  EXPECT_EQ(m_reader.ObjectCountEntries(), 0u);
  ASSERT_EQ(m_reader.GetFailedStatements().size(), 1u);
  EXPECT_EQ(m_reader.GetFailedStatements()[0].statementId, 1);
  EXPECT_FALSE(m_reader.GetFailedStatements()[0].diagnostic.message.empty());
  // The connection is untouched: the same statement runs once allocation works.
  m_reader.ImportObjects(1);
  EXPECT_EQ(m_log.rows.size(), 3u);
}

TEST_P(SqliteFaultTest, FetchFailingHalfWayEndsTheStatementKeepingEarlierRows) {
  Prepare(u"INSERT INTO nums VALUES (7, 8)");
  odbc::FailFetchFromCall(3);
  Run(2, u"SELECT a AS a FROM nums ORDER BY a");
  EXPECT_EQ(odbc::FetchCallsAfterFailure(), 0) << "the row loop went on after SQLFetch failed";
  ASSERT_EQ(m_log.rows.size(), 2u);
  EXPECT_EQ(m_log.rows[1].GetInteger(u"a"), 3);
  EXPECT_EQ(m_log.postExecute, 1);
  EXPECT_EQ(m_reader.RecordCount(), 2);
  EXPECT_EQ(m_reader.ObjectCount(12), 2);
  ASSERT_EQ(m_reader.GetFailedStatements().size(), 1u);
  EXPECT_EQ(m_reader.GetFailedStatements()[0].statementId, 2);
  // The driver manager has no record for a fault it did not see: the
  // module names the call, with no SQLSTATE of its own making.
  EXPECT_EQ(m_reader.GetFailedStatements()[0].diagnostic.origin, OdbcDiagnostic::Origin::Module);
  EXPECT_EQ(m_reader.GetFailedStatements()[0].diagnostic.sqlState, u"");
  EXPECT_NE(Utf8(m_reader.GetFailedStatements()[0].diagnostic.message).find("SQLFetch"), std::string::npos);
}

TEST_P(SqliteFaultTest, ValueReadFailingLeavesOnlyThatValueOut) {
  // Calls: row 1 a, b; row 2 a (fails), b; row 3 a, b.
  odbc::FailGetDataCall(3);
  Run(1, u"SELECT a AS a, b AS b FROM nums ORDER BY a");
  ASSERT_EQ(m_log.rows.size(), 3u);
  EXPECT_EQ(m_log.rows[0].GetInteger(u"a"), 1);
  EXPECT_EQ(m_log.rows[1].Get(u"a").vt, VT_EMPTY);
  EXPECT_EQ(m_log.rows[1].GetInteger(u"b"), 4);
  EXPECT_EQ(m_log.rows[2].GetInteger(u"a"), 5);
  EXPECT_TRUE(m_reader.GetFailedStatements().empty());

  // A long text whose second piece fails is left out, not cut.
  Prepare(u"CREATE TABLE longtexts(id integer, v text)");
  Prepare(u"INSERT INTO longtexts VALUES (1, " + Repeat(u"'x'", 10000) + u")");
  odbc::FailGetDataCall(3);  // id, first piece of v, second piece
  Run(2, u"SELECT id AS id, v AS v FROM longtexts");
  ASSERT_EQ(m_log.rows.size(), 4u);
  EXPECT_EQ(NamesOf(m_log.rows[3]), std::vector<std::u16string>{u"id"});
}

}  // namespace
}  // namespace qm::test::reader

// The read loop against real drivers: order, progress, the host's stop, and
// what a failed statement becomes as the reader decides.
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {
namespace {

using AfterFailure = SchemaSourceReaderI::AfterFailure;

struct FailureLine {
  int statementId;
  std::u16string name;
  OdbcDiagnostic::Origin origin;
  bool operator==(const FailureLine&) const = default;
};

std::vector<FailureLine> Lines(const TestReader& reader) {
  std::vector<FailureLine> lines;
  for (const QmFailedStatement& failure : reader.Failures())
    lines.push_back({failure.statementId, failure.name, failure.diagnostic.origin});
  return lines;
}

void PrintTo(const FailureLine& line, std::ostream* out) {
  *out << line.statementId << " " << Utf8(line.name) << " origin " << static_cast<int>(line.origin);
}

constexpr auto kDriver = OdbcDiagnostic::Origin::Driver;
constexpr auto kModule = OdbcDiagnostic::Origin::Module;

// Statements 1 to 4 under object types 21 to 24: 2 and 4 read a table
// that does not exist, 2 has a name, 4 has none.
void RegisterFour(TestReader& reader, ActionLog& log) {
  reader.AddQueryStatement(1, 21, u"SELECT a AS a FROM nums", u"numbers");
  reader.AddQueryStatement(2, 22, u"SELECT a AS a FROM no_such_table", u"missing things");
  reader.AddQueryStatement(3, 23, u"SELECT id AS id FROM texts", u"texts");
  reader.AddQueryStatement(4, 24, u"SELECT a AS a FROM no_such_table");
  for (int id : {1, 2, 3, 4}) reader.SetStatementRowAction(id, new RecordingRowAction(&log));
}

// Each case runs the list with the reader's answer for every failure of
// statement 2 before its third attempt (none: the base's), or with the
// host's request to stop raised while statement 3 runs.
TEST_P(FetchTest, ReadLoopDoesWhatTheReaderDecidesForAFailure) {
  struct Case {
    const char* what;
    std::vector<int> run;
    std::optional<AfterFailure> answer;
    std::vector<FailureLine> failures;    // reported
    int attemptsOfTwo;                    // runs of statement 2
    std::size_t rows;                     // handed to the row actions
    std::vector<int> ended;               // OnStatementEnded calls
    bool whole;                           // RunStatements' result
    Posted progress;
  };
  const Case cases[] = {
      // Each statement between its progress notices, failed ones included.
      {"base", {1, 2, 3, 4}, {}, {{2, u"missing things", kDriver}, {4, u"statement 4", kDriver}}, 1, 5,
       {1, 2, 3, 4}, true,
       {{21, 0}, {21, 3}, {22, 0}, {22, 0}, {23, 0}, {23, 2}, {24, 0}, {24, 0}}},
      {"report", {1, 2, 3}, AfterFailure::Report, {{2, u"missing things", kDriver}}, 1, 5, {1, 2, 3}, true,
       {{21, 0}, {21, 3}, {22, 0}, {22, 0}, {23, 0}, {23, 2}}},
      // Run again twice: the third attempt reads a table that exists.
      {"retry", {1, 2, 3}, AfterFailure::Retry, {}, 3, 8, {1, 2, 2, 2, 3}, true,
       {{21, 0}, {21, 3}, {22, 0}, {22, 3}, {23, 0}, {23, 2}}},
      // The reader read what it needed otherwise and reported it its way.
      {"handled", {1, 2, 3}, AfterFailure::Handled, {{2, u"read otherwise", kModule}}, 1, 5, {1, 2, 3}, true,
       {{21, 0}, {21, 3}, {22, 0}, {22, 0}, {23, 0}, {23, 2}}},
      // The connection is given up: statement 3 is not run, and says so;
      // the failed attempt is not ended (there is nothing to end it on).
      {"abandon", {1, 2, 3}, AfterFailure::Abandon, {{2, u"missing things", kDriver}, {3, u"texts", kModule}}, 1, 3,
       {1}, false, {{21, 0}, {21, 3}, {22, 0}, {22, 0}}},
      // Stopped: nothing after statement 3 runs, nothing is reported.
      {"stop", {1, 3, 2, 4}, {}, {}, 0, 5, {1, 3}, false, {{21, 0}, {21, 3}, {23, 0}, {23, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SessionWindow window;
    m_reader.ClearAll();
    m_reader.ResetCache();  // the counts of the previous case go
    m_reader.ClearFailedStatements();
    m_reader.ended.clear();
    m_log = ActionLog();
    RegisterFour(m_reader, m_log);
    int attempts = 0;
    m_reader.preprocess = [&](int id, CString& statement) {
      if (id == 2 && ++attempts >= 3) statement = CString(u"SELECT a AS a FROM nums");
      if (id == 3 && std::string(c.what) == "stop") window.Session().RaiseFlag();
    };
    m_reader.onFailed = nullptr;
    if (c.answer) {
      m_reader.onFailed = [&](int id, OdbcDiagnostic&, int attempt) {
        EXPECT_EQ(id, 2);
        EXPECT_EQ(attempt, attempts);
        if (c.answer == AfterFailure::Handled)
          m_reader.ReportFailure(id, OdbcDiagnostic::FromModule(u"x"), u"read otherwise");
        return *c.answer;
      };
    }
    EXPECT_EQ(m_reader.RunStatements(c.run), c.whole);
    EXPECT_EQ(Lines(m_reader), c.failures);
    EXPECT_EQ(attempts, c.attemptsOfTwo);
    EXPECT_EQ(m_log.rows.size(), c.rows);
    EXPECT_EQ(m_reader.ended, c.ended);
    EXPECT_EQ(window.Progress(), c.progress);
    if (!c.failures.empty() && c.failures[0].origin == kDriver) {
      EXPECT_EQ(m_reader.Failures()[0].diagnostic.sqlState.size(), 5u);
    }
    if (c.answer == AfterFailure::Abandon) {
      EXPECT_EQ(m_reader.Failures()[1].diagnostic.Describe(), u"not run: the connection to the server was lost");
      // Later lists of the same import are not run either.
      EXPECT_FALSE(m_reader.RunStatement(1));
      EXPECT_EQ(m_reader.Failures().size(), 3u);
    }
  }
  m_reader.preprocess = nullptr;
  m_reader.onFailed = nullptr;
}

// The base's own answer: a connection that is gone (here closed under the
// reader by a row action) gives up the rest of the list.
TEST_P(FetchTest, ReadLoopGivesUpTheRestWhenTheConnectionIsGone) {
  SessionWindow window;
  RegisterFour(m_reader, m_log);
  m_reader.AddQueryStatement(5, 25, u"SELECT id AS id FROM dates");
  struct Closing : RecordingRowAction {
    Closing(ActionLog* log, SchemaSourceConnectorI* connector) : RecordingRowAction(log), connector(connector) {}
    void PostExecute(GenericModel* model) override {
      RecordingRowAction::PostExecute(model);
      connector->Disconnect();
    }
    SchemaSourceConnectorI* connector;
  };
  m_reader.SetStatementRowAction(5, new Closing(&m_log, m_connector.get()));
  EXPECT_FALSE(m_reader.RunStatements({5, 1, 3}));
  EXPECT_EQ(Lines(m_reader), (std::vector<FailureLine>{{1, u"numbers", kModule}, {3, u"texts", kModule}}));
  EXPECT_NE(Utf8(m_reader.Failures()[0].diagnostic.message).find("no open connection"), std::string::npos);
  EXPECT_EQ(m_reader.Failures()[1].diagnostic.message, u"not run: the connection to the server was lost");
  // The next import starts afresh.
  m_reader.ClearFailedStatements();
  ASSERT_TRUE(m_connector->EstablishConnection()) << Describe(m_connector->GetLastDiagnostic());
  if (GetParam().engine == Engine::Postgres) Prepare(u"SET search_path TO " + m_schema);
  EXPECT_TRUE(m_reader.RunStatements({1}));
  EXPECT_TRUE(m_reader.Failures().empty());
}

}  // namespace
}  // namespace qm::test::reader

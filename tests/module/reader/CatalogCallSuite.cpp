// A statement that calls ODBC catalogue functions (CatalogCall.h), against
// the real drivers: one run of the row action, names not taken as patterns.
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test::reader {
namespace {

using Function = CatalogCall::Function;

std::vector<std::u16string> Column(const ActionLog& log, const char16_t* name) {
  std::vector<std::u16string> values;
  for (const CommonDataObject& row : log.rows) values.push_back(row.Text(name));
  return values;
}

TEST_P(CatalogCallTest, SeveralCallsAreOneRunOfTheRowActionThroughTheFetchLoop) {
  Register(Function::Columns, {Table(u"nums"), Table(u"texts"), Table(u"dates")});
  EXPECT_TRUE(m_reader.RunStatement(1));
  EXPECT_EQ(m_reader.FailureText(), "no failed statements");
  EXPECT_EQ(m_log.preExecute, 1);
  EXPECT_EQ(m_log.postExecute, 1);
  EXPECT_EQ(Column(m_log, u"TABLE_NAME"),
            (std::vector<std::u16string>{u"nums", u"nums", u"texts", u"texts", u"dates", u"dates"}));
  EXPECT_EQ(Column(m_log, u"COLUMN_NAME"), (std::vector<std::u16string>{u"a", u"b", u"id", u"v", u"id", u"d"}));
  ASSERT_EQ(m_log.rows.size(), 6u);
  EXPECT_EQ(m_log.rows[1].GetNumber(u"ORDINAL_POSITION"), 2);
  EXPECT_EQ(m_reader.ObjectCount(12), 6);
  EXPECT_EQ(m_reader.RecordCount(), 6);
}

TEST_P(CatalogCallTest, NamesMatchOnlyThemselvesNotAsPatterns) {
  Prepare(u"CREATE TABLE a_b(x integer)");
  Prepare(u"CREATE TABLE axb(y integer)");
  Prepare(u"CREATE TABLE \"a%\"(z integer)");
  struct Case {
    Function function;
    const char16_t* table;
    const char16_t* column;           // the result column read
    std::vector<std::u16string> rows;
  } cases[] = {
      {Function::Tables, u"a_b", u"TABLE_NAME", {u"a_b"}},
      {Function::Columns, u"a_b", u"COLUMN_NAME", {u"x"}},
      {Function::Columns, u"a%", u"COLUMN_NAME", {u"z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.table));
    m_reader.ClearAll();
    m_log = ActionLog();
    Register(c.function, {Table(c.table)});
    m_reader.RunStatement(1);
    EXPECT_EQ(m_reader.FailureText(), "no failed statements");
    EXPECT_EQ(Column(m_log, c.column), c.rows);
  }
}

TEST_P(CatalogCallTest, AFailedCallIsReportedOnceAndTheOtherCallsStillRun) {
  // SQLPrimaryKeys needs a table name: the driver refuses a call without.
  Register(Function::PrimaryKeys, {Table(u"nums"), CatalogCall::Arguments{}, CatalogCall::Arguments{}, Table(u"texts")});
  EXPECT_TRUE(m_reader.RunStatement(1));
  ASSERT_EQ(m_reader.GetFailedStatements().size(), 1u) << m_reader.FailureText();
  const OdbcDiagnostic& failure = m_reader.GetFailedStatements()[0].diagnostic;
  const std::string text = Utf8(failure.message);
  EXPECT_EQ(text.rfind("SQLPrimaryKeys: ", 0), 0u) << text;
  EXPECT_NE(text.find("(2 of 4 calls failed)"), std::string::npos) << text;
  EXPECT_EQ(failure.origin, OdbcDiagnostic::Origin::Driver) << text;
  EXPECT_EQ(m_reader.Failures()[0].name, u"the call");
  // The tables have no keys: the calls that ran gave an empty result each,
  // inside the one run of the action.
  EXPECT_EQ(m_log.preExecute, 1);
  EXPECT_EQ(m_log.postExecute, 1);
  EXPECT_TRUE(m_log.rows.empty());
}

TEST_P(CatalogCallTest, SqlTextUnderTheSameIdStaysSqlText) {
  m_reader.AddQueryStatement(1, 12, CString(u"SELECT a AS a FROM nums"), u"numbers");
  CatalogCall call;
  call.function = Function::Tables;
  m_reader.AddCatalogCall(1, 13, call, u"tables");
  EXPECT_EQ(m_reader.GetCatalogCall(1), nullptr);
  EXPECT_FALSE(m_reader.SetCatalogCallArguments(1, {Table(u"nums")}));
  m_reader.SetStatementRowAction(1, new RecordingRowAction(&m_log));
  EXPECT_TRUE(m_reader.RunStatement(1));
  EXPECT_EQ(m_log.rows.size(), 3u);
  EXPECT_EQ(m_reader.StatementName(1), u"numbers");
  // The object type follows the latest registration, as for SQL text.
  EXPECT_EQ(m_reader.ObjectCount(13), 3);
}

}  // namespace
}  // namespace qm::test::reader

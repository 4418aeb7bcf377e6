// The fetch loop against the SQLite3 ODBC driver: what every SQL type turns
// into, long and empty text, NULL, failed and empty statements, names. (The
// wide-text path of the PostgreSQL and MariaDB drivers is the family tests',
// compared with the catalogue; a server that ends the connection in the
// middle of a fetch is the hardening tests'.) The faults the driver will not
// produce on demand are injected at the driver manager's door.
#include "ReaderTestSupport.h"

#include <OdbcFaults.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {

void FetchTest::SetUp() {
  m_connector = std::make_unique<TestConnector>(CString::FromUtf8("Driver={SQLite3};Database=" + m_dir.Path("fetch.db")));
  ASSERT_TRUE(m_connector->EstablishConnection()) << Describe(m_connector->GetLastDiagnostic());
  m_reader.SetConnection(m_connector.get());
  m_reader.SetModel(&m_model);
  for (const char16_t* sql : {u"CREATE TABLE nums(a integer, b integer)", u"INSERT INTO nums VALUES (1, 2), (3, 4), (5, 6)",
                              u"CREATE TABLE texts(id integer, v text)", u"INSERT INTO texts VALUES (1, NULL), (2, '')",
                              u"CREATE TABLE dates(id integer, d date)",
                              u"INSERT INTO dates VALUES (1, '2024-01-02'), (2, NULL), (3, '2024-03-04')"})
    Prepare(sql);
}

void FetchTest::TearDown() {
  m_reader.ClearAll();
  if (m_connector) m_connector->Disconnect();
}

void FetchTest::Run(int statementId, const std::u16string& sql, bool withAction) {
  m_reader.AddQueryStatement(statementId, 12, CString(sql));
  if (withAction) m_reader.SetStatementRowAction(statementId, new RecordingRowAction(&m_log));
  m_reader.ImportObjects(statementId);
}

void FetchTest::Prepare(const std::u16string& sql) {
  const std::string error = Exec(m_connector->GetConnectionHandle(), sql);
  ASSERT_TRUE(error.empty()) << error;
}

// hex(zeroblob(n)) is n pairs of "00".
std::u16string FetchTest::Repeat(const std::u16string& unit, int n) const {
  return u"replace(hex(zeroblob(" + Number(n) + u")), '00', " + unit + u")";
}

namespace {

enum class Outcome { Integer, Text, NoEntry, Message };

struct Expectation {
  std::u16string column;     // result column name
  int sqlType;               // the type code the driver describes
  Outcome outcome;           // what the record receives
  std::int64_t integer = 0;  // Integer: the value, of which the record keeps the low 32 bits
  std::u16string text = {};  // Text: the value
};

// The driver takes the type from the declared column type.
const char16_t kTypesTable[] =
    u"CREATE TABLE types(t TEXT, vc VARCHAR(20), ch CHAR(5), i INTEGER, ti TINYINT, si SMALLINT, bi BIGINT, "
    u"bneg BIGINT, big BIGINT, b BOOLEAN, dc DECIMAL(10,2), num NUMERIC(10,2), dbl DOUBLE, d DATE, tm TIME, "
    u"ts TIMESTAMP, bl BLOB)";
const char16_t kTypesRow[] =
    u"INSERT INTO types VALUES ('hello', 'abc', 'ab', -5, -5, -5, 9000000000, -1, 3000000000, 1, "
    u"12.5, 12.5, 1.5, '2024-01-02', '03:04:05', '2024-01-02 03:04:05', x'0102')";
const char16_t kTypesQuery[] =
    u"SELECT t AS t, vc AS vc, ch AS ch, i AS i, ti AS ti, si AS si, bi AS bi, bneg AS bneg, "
    u"big AS big, b AS b, dc AS dc, num AS num, dbl AS dbl, d AS d, tm AS tm, ts AS ts, bl AS bl FROM {types}";

const std::vector<Expectation> kTypes = {
    {u"t", SQL_LONGVARCHAR, Outcome::Text, 0, u"hello"},
    {u"vc", SQL_VARCHAR, Outcome::Text, 0, u"abc"},
    {u"ch", SQL_VARCHAR, Outcome::Text, 0, u"ab"},  // CHAR(n) is described as varchar
    {u"i", SQL_INTEGER, Outcome::Integer, -5},
    {u"ti", SQL_TINYINT, Outcome::Integer, -5},
    {u"si", SQL_SMALLINT, Outcome::Integer, -5},
    {u"bi", SQL_BIGINT, Outcome::Integer, 9000000000LL},
    {u"bneg", SQL_BIGINT, Outcome::Integer, -1},
    {u"big", SQL_BIGINT, Outcome::Integer, 3000000000LL},
    {u"b", SQL_BIT, Outcome::Integer, 1},
    {u"dc", SQL_VARCHAR, Outcome::Text, 0, u"12.5"},
    {u"num", SQL_DOUBLE, Outcome::NoEntry},
    {u"dbl", SQL_DOUBLE, Outcome::NoEntry},
    {u"d", SQL_TYPE_DATE, Outcome::Message},
    {u"tm", SQL_TYPE_TIME, Outcome::Message},
    {u"ts", SQL_TYPE_TIMESTAMP, Outcome::NoEntry},
    {u"bl", SQL_BINARY, Outcome::NoEntry}};

std::u16string UnhandledMessage(const std::u16string& column, int type, const std::u16string& query) {
  return u"UnHandled Datatype:SchemaSourceReaderI::FetchAndProcessRecords()- Column(" + column + u"),Dataype(" +
         Number(type) + u"),Query(" + query + u") ";
}

std::u16string Text(const COleVariant& value) { return std::u16string(value.bstrVal, SysStringLen(value.bstrVal)); }

}  // namespace

// Rows of values, of NULLs, and of values again: an unhandled type shows a
// message once per value, naming the statement's text as registered (it is
// rewritten before it runs), and a NULL shows nothing.
TEST_F(FetchTest, EachSqlTypeConvertsAsTheConversionTableSays) {
  Prepare(kTypesTable);
  Prepare(kTypesRow);
  Prepare(u"INSERT INTO types(t) VALUES (NULL)");
  Prepare(kTypesRow);
  m_reader.preprocess = [](int, CString& statement) {
    std::u16string text = statement.str();
    text.replace(text.find(u"{types}"), 7, u"types ORDER BY rowid");
    statement = CString(text);
  };
  const std::u16string query = kTypesQuery;
  MessageCapture messages;
  Run(1, query);
  EXPECT_TRUE(m_reader.GetFailedStatements().empty()) << m_reader.FailureText();
  ASSERT_EQ(m_log.rows.size(), 3u);
  EXPECT_TRUE(NamesOf(m_log.rows[1]).empty());
  std::vector<std::u16string> expectedMessages;
  for (const std::size_t row : {0, 2}) {
    std::size_t entries = 0;
    for (const Expectation& e : kTypes) {
      SCOPED_TRACE(Utf8(e.column));
      const COleVariant value = m_log.rows[row].Get(e.column);
      switch (e.outcome) {
        case Outcome::Integer:
          ++entries;
          ASSERT_EQ(value.vt, VT_I4);
          EXPECT_EQ(static_cast<std::uint32_t>(value.lVal), static_cast<std::uint32_t>(e.integer));
          break;
        case Outcome::Text:
          ++entries;
          ASSERT_EQ(value.vt, VT_BSTR);
          EXPECT_EQ(Text(value), e.text);
          break;
        case Outcome::Message:
          expectedMessages.push_back(UnhandledMessage(e.column, e.sqlType, query));
          [[fallthrough]];
        case Outcome::NoEntry:
          EXPECT_EQ(value.vt, VT_EMPTY);
          break;
      }
    }
    EXPECT_EQ(NamesOf(m_log.rows[row]).size(), entries);
  }
  EXPECT_EQ(messages.texts, expectedMessages);
  EXPECT_EQ(m_log.models, std::vector<GenericModel*>(5, &m_model));  // pre, rows, post
  EXPECT_EQ(m_log.preExecute, 1);
  EXPECT_EQ(m_reader.ObjectCount(12), 3);
}

TEST_F(FetchTest, NullEmptyTextAndColumnNames) {
  Run(1, u"SELECT a AS x, b AS x FROM nums ORDER BY a");  // of one name, the first column with a value wins
  Run(2, u"SELECT v AS x, id AS x FROM texts ORDER BY id");
  std::u16string name = u"c";  // cut to 128 characters
  while (name.size() < 200) name += static_cast<char16_t>(u'a' + name.size() % 26);
  Run(3, u"SELECT a AS " + name + u" FROM nums WHERE a = 1");
  ASSERT_EQ(m_log.rows.size(), 6u);
  EXPECT_EQ(m_log.rows[0].GetInteger(u"x"), 1);
  EXPECT_EQ(m_log.rows[2].GetInteger(u"x"), 5);
  // NULL gives no entry, so the second column supplies x; empty text is an
  // empty string.
  EXPECT_EQ(m_log.rows[3].Get(u"x").vt, VT_I4);
  EXPECT_EQ(m_log.rows[3].GetInteger(u"x"), 1);
  const COleVariant empty = m_log.rows[4].Get(u"x");
  ASSERT_EQ(empty.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(empty.bstrVal), 0u);
  EXPECT_EQ(m_log.rows[4].Size(), 1u);
  EXPECT_EQ(NamesOf(m_log.rows[5]), std::vector<std::u16string>{name.substr(0, 128)});
  EXPECT_EQ(m_log.rows[5].GetInteger(name.substr(0, 128)), 1);
}

// Long text: lengths around the buffer's edges, and pieces ending inside a
// character (the SQLite3 driver, ANSI, gets no character beyond U+FFFF
// through the driver manager: the emoji is made by the server). Short text
// of ASCII characters only is taken as it is, other text decoded: ASCII
// texts of several lengths, and a character beyond ASCII at each place of a
// 17-character text.
TEST_F(FetchTest, TextArrivesWholeAsStored) {
  struct Stored {
    std::u16string unit;  // the repeated text
    std::u16string sql;   // the same as an SQL expression
    int repeat;
  };
  std::vector<Stored> texts = {
      {u"x", u"'x'", 10000},       {u"\u00e9", u"'\u00e9'", 10000}, {u"\U0001F600", u"char(128512)", 3000},
      {u"0123456789", u"'0123456789'", 1000}, {u"x", u"'x'", 1999},     {u"x", u"'x'", 2000},
      {u"x", u"'x'", 3999},        {u"x", u"'x'", 4000},              {u"\u00e9", u"'\u00e9'", 1999},
      {u"\u00e9", u"'\u00e9'", 2000}};
  const std::u16string letters = u"abcdefghijklmnopq";
  for (std::size_t length : {1, 7, 8, 9, 15, 16, 17}) texts.push_back({letters.substr(0, length), {}, 1});
  for (std::size_t at = 0; at < letters.size(); ++at) {
    texts.push_back({letters, {}, 1});
    texts.back().unit[at] = u'\u00e9';
  }
  Prepare(u"CREATE TABLE longtexts(id integer, v text)");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::u16string value = texts[i].sql.empty() ? u"'" + texts[i].unit + u"'" : Repeat(texts[i].sql, texts[i].repeat);
    Prepare(u"INSERT INTO longtexts VALUES (" + Number(i) + u", " + value + u")");
  }

  Run(1, u"SELECT id AS id, v AS v FROM longtexts ORDER BY id");
  EXPECT_TRUE(m_reader.GetFailedStatements().empty()) << m_reader.FailureText();
  ASSERT_EQ(m_log.rows.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "id " << i);
    std::u16string expected;
    for (int n = 0; n < texts[i].repeat; ++n) expected += texts[i].unit;
    EXPECT_EQ(m_log.rows[i].GetInteger(u"id"), static_cast<int>(i));
    const COleVariant value = m_log.rows[i].Get(u"v");
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(SysStringLen(value.bstrVal), expected.size());
    EXPECT_TRUE(Text(value) == expected) << "differs from the stored text";
  }
}

TEST_F(FetchTest, StatementsThatFailOrReturnNothingCallAndCountAsFarAsTheyGo) {
  Run(3, u"SELECT a AS a FROM no_such_table");
  // An id without text: nothing is sent, and that is no success either.
  m_reader.SetStatementRowAction(77, new RecordingRowAction(&m_log));
  m_reader.ImportObjects(77);
  Run(1, u"UPDATE nums SET a = a WHERE a < 0");  // affects no row: SQL_NO_DATA is no failure
  EXPECT_EQ(m_log.calls(), 0);
  EXPECT_EQ(m_reader.ObjectCountEntries(), 0u);
  ASSERT_EQ(m_reader.GetFailedStatements().size(), 2u) << m_reader.FailureText();
  const auto& failure = m_reader.GetFailedStatements()[0];
  EXPECT_EQ(failure.statementId, 3);
  EXPECT_EQ(failure.diagnostic.sqlState, u"HY000");
  EXPECT_NE(Utf8(failure.diagnostic.message).find("no_such_table"), std::string::npos) << Describe(failure.diagnostic);
  EXPECT_EQ(m_reader.GetFailedStatements()[1].statementId, 77);
  EXPECT_NE(Utf8(m_reader.GetFailedStatements()[1].diagnostic.message).find("77"), std::string::npos);

  // No row: PreExecute and PostExecute only, and a count of 0.
  Run(2, u"SELECT a AS a FROM nums WHERE a < 0");
  EXPECT_EQ(m_log.preExecute, 1);
  EXPECT_EQ(m_log.postExecute, 1);
  EXPECT_TRUE(m_log.rows.empty());
  EXPECT_EQ(m_reader.ObjectCount(12), 0);
  EXPECT_EQ(m_reader.RecordCount(), 0);
  // No row action, or a null one: still fetched and counted; a rewriting
  // step may supply the text of an id that has none.
  Run(4, u"SELECT a AS a FROM nums ORDER BY a", false);
  m_reader.preprocess = [](int statementId, CString& statement) {
    if (statementId == 5) statement = u"SELECT b AS b FROM nums WHERE b > 2 ORDER BY b";
  };
  m_reader.SetStatementRowAction(5, nullptr);
  m_reader.ImportObjects(5);
  EXPECT_EQ(m_reader.ObjectCount(12), 3);
  EXPECT_EQ(m_reader.RecordCount(), 2);
  EXPECT_EQ(m_reader.Record().GetInteger(u"b"), 6);
  EXPECT_EQ(m_log.calls(), 2);
  EXPECT_EQ(m_reader.GetFailedStatements().size(), 2u) << m_reader.FailureText();
}

TEST_F(FetchTest, RowActionChangingTheRecordDoesNotReachTheNextRow) {
  // The record is reused row after row; what a row action does to it must
  // not show in the next row.
  class Meddling : public RecordingRowAction {
   public:
    using RecordingRowAction::RecordingRowAction;
    void ProcessRow(GenericModel* model, CommonDataObject& record) override {
      RecordingRowAction::ProcessRow(model, record);
      if (++m_calls == 1) record.Set(u"extra", COleVariant(LONG{99}));
      if (m_calls == 2) {  // as many names as a row has, one of them foreign
        record.Reset();
        record.Set(u"a", COleVariant(LONG{-1}));
        record.Set(u"z", COleVariant(LONG{-2}));
      }
    }

   private:
    int m_calls = 0;
  };
  m_reader.AddQueryStatement(1, 12, u"SELECT a AS a, b AS b FROM nums ORDER BY a");
  m_reader.SetStatementRowAction(1, new Meddling(&m_log));
  m_reader.ImportObjects(1);
  ASSERT_EQ(m_log.rows.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    EXPECT_EQ(NamesOf(m_log.rows[i]), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(m_log.rows[i].GetInteger(u"a"), static_cast<int>(2 * i + 1));
    EXPECT_EQ(m_log.rows[i].GetInteger(u"b"), static_cast<int>(2 * i + 2));
  }
}

class SqliteFaultTest : public FetchTest {
 protected:
  odbc::Disarm m_disarm;  // no fault outlives its test
};

TEST_F(SqliteFaultTest, FailedStatementHandleAllocationSkipsTheStatement) {
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

TEST_F(SqliteFaultTest, FetchFailingHalfWayEndsTheStatementKeepingEarlierRows) {
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

TEST_F(SqliteFaultTest, ValueReadFailingLeavesOnlyThatValueOut) {
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

}  // namespace qm::test::reader

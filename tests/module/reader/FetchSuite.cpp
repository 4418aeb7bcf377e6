// The fetch loop against real drivers: every SQL type, long and empty text,
// NULL, failed and empty statements, names. Instantiated here over psqlODBC,
// Unicode and ANSI.
#include "ReaderTestSupport.h"

#include <PgTestEnv.h>

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {

void FetchTest::SetUp() {
  const Backend& backend = GetParam();
  std::string connection = "Driver={SQLite3};Database=" + m_dir.Path("fetch.db");
  if (backend.engine == Engine::Postgres) {
    QM_REQUIRE_PG();
    // scripts/pg exports both; derive the ANSI string when only the other is set.
    const char* value = std::getenv(backend.connectEnv);
    connection = value != nullptr && *value != '\0' ? value : *PgConnectionString();
    const std::string from = "{PostgreSQL Unicode}";
    if (const auto at = connection.find(from); !backend.wideText && at != std::string::npos)
      connection.replace(at, from.size(), "{PostgreSQL ANSI}");
  }
  m_connector = std::make_unique<TestConnector>(CString::FromUtf8(connection));
  ASSERT_TRUE(m_connector->EstablishConnection()) << Describe(m_connector->GetLastDiagnostic());
  m_reader.SetConnection(m_connector.get());
  m_reader.SetModel(&m_model);
  if (backend.engine == Engine::Postgres) {
    // A schema of our own, so that runs sharing the server do not meet.
    m_schema = u"qm_reader_" + Number(getpid());
    Prepare(u"DROP SCHEMA IF EXISTS " + m_schema + u" CASCADE");
    Prepare(u"CREATE SCHEMA " + m_schema);
    Prepare(u"SET search_path TO " + m_schema);
  }
  for (const char16_t* sql : {u"CREATE TABLE nums(a integer, b integer)", u"INSERT INTO nums VALUES (1, 2), (3, 4), (5, 6)",
                              u"CREATE TABLE texts(id integer, v text)", u"INSERT INTO texts VALUES (1, NULL), (2, '')",
                              u"CREATE TABLE dates(id integer, d date)",
                              u"INSERT INTO dates VALUES (1, '2024-01-02'), (2, NULL), (3, '2024-03-04')"})
    Prepare(sql);
}

void FetchTest::TearDown() {
  m_reader.ClearAll();
  if (m_connector && m_connector->GetConnectionHandle() != nullptr && !m_schema.empty())
    Exec(m_connector->GetConnectionHandle(), u"DROP SCHEMA IF EXISTS " + m_schema + u" CASCADE");
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

std::u16string FetchTest::Repeat(const std::u16string& unit, int n) const {
  if (GetParam().engine == Engine::Postgres) return u"repeat(" + unit + u", " + Number(n) + u")";
  // hex(zeroblob(n)) is n pairs of "00".
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

struct TypesCase {
  std::vector<std::u16string> setup;  // statements creating the data
  std::u16string query;               // the statement under test
  std::vector<Expectation> expected;  // one per result column, in order
};

TypesCase TypesFor(const Backend& backend) {
  using O = Outcome;
  if (backend.engine == Engine::Sqlite) {
    // The driver takes the type from the declared column type.
    return {{u"CREATE TABLE types(t TEXT, vc VARCHAR(20), ch CHAR(5), i INTEGER, ti TINYINT, si SMALLINT, "
             u"bi BIGINT, bneg BIGINT, big BIGINT, b BOOLEAN, dc DECIMAL(10,2), num NUMERIC(10,2), "
             u"dbl DOUBLE, d DATE, tm TIME, ts TIMESTAMP, bl BLOB)",
             u"INSERT INTO types VALUES ('hello', 'abc', 'ab', -5, -5, -5, 9000000000, -1, 3000000000, 1, "
             u"12.5, 12.5, 1.5, '2024-01-02', '03:04:05', '2024-01-02 03:04:05', x'0102')"},
            u"SELECT t AS t, vc AS vc, ch AS ch, i AS i, ti AS ti, si AS si, bi AS bi, bneg AS bneg, "
            u"big AS big, b AS b, dc AS dc, num AS num, dbl AS dbl, d AS d, tm AS tm, ts AS ts, bl AS bl FROM types",
            {{u"t", SQL_LONGVARCHAR, O::Text, 0, u"hello"},
             {u"vc", SQL_VARCHAR, O::Text, 0, u"abc"},
             {u"ch", SQL_VARCHAR, O::Text, 0, u"ab"},  // CHAR(n) is described as varchar
             {u"i", SQL_INTEGER, O::Integer, -5},
             {u"ti", SQL_TINYINT, O::Integer, -5},
             {u"si", SQL_SMALLINT, O::Integer, -5},
             {u"bi", SQL_BIGINT, O::Integer, 9000000000LL},
             {u"bneg", SQL_BIGINT, O::Integer, -1},
             {u"big", SQL_BIGINT, O::Integer, 3000000000LL},
             {u"b", SQL_BIT, O::Integer, 1},
             {u"dc", SQL_VARCHAR, O::Text, 0, u"12.5"},
             {u"num", SQL_DOUBLE, O::NoEntry},
             {u"dbl", SQL_DOUBLE, O::NoEntry},
             {u"d", SQL_TYPE_DATE, O::Message},
             {u"tm", SQL_TYPE_TIME, O::Message},
             {u"ts", SQL_TYPE_TIMESTAMP, O::NoEntry},
             {u"bl", SQL_BINARY, O::NoEntry}}};
  }
  const bool w = backend.wideText;
  return {{},
          u"SELECT CAST('hello' AS text) AS t, CAST('abc' AS varchar(20)) AS vc, CAST('ab' AS char(3)) AS ch, "
          u"CAST('pg_class' AS name) AS nm, CAST(-5 AS integer) AS i, CAST(-5 AS smallint) AS si, "
          u"CAST(9000000000 AS bigint) AS bi, CAST(-1 AS bigint) AS bneg, CAST(3000000000 AS oid) AS big, "
          u"true AS b, CAST(12 AS numeric) AS num, CAST(-12.7 AS numeric) AS numf, CAST(1.5 AS float8) AS dbl, "
          u"DATE '2024-01-02' AS d, TIME '03:04:05' AS tm, TIMESTAMP '2024-01-02 03:04:05' AS ts, "
          u"CAST('a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11' AS uuid) AS u, CAST('\\x0102' AS bytea) AS bl",
          {{u"t", w ? SQL_WLONGVARCHAR : SQL_LONGVARCHAR, O::Text, 0, u"hello"},
           {u"vc", w ? SQL_WVARCHAR : SQL_VARCHAR, O::Text, 0, u"abc"},
           {u"ch", w ? SQL_WCHAR : SQL_CHAR, O::Text, 0, u"ab "},
           {u"nm", w ? SQL_WVARCHAR : SQL_VARCHAR, O::Text, 0, u"pg_class"},
           {u"i", SQL_INTEGER, O::Integer, -5},
           {u"si", SQL_SMALLINT, O::Integer, -5},
           {u"bi", SQL_BIGINT, O::Integer, 9000000000LL},
           {u"bneg", SQL_BIGINT, O::Integer, -1},
           {u"big", SQL_INTEGER, O::Integer, 3000000000LL},  // an oid above 2^31
           {u"b", SQL_VARCHAR, O::Text, 0, u"1"},           // bool is delivered as char
           {u"num", SQL_NUMERIC, O::Integer, 12},
           {u"numf", SQL_NUMERIC, O::Integer, -12},  // the driver truncates the fraction
           {u"dbl", SQL_FLOAT, O::NoEntry},
           {u"d", SQL_TYPE_DATE, O::Message},
           {u"tm", SQL_TYPE_TIME, O::Message},
           {u"ts", SQL_TYPE_TIMESTAMP, O::NoEntry},
           {u"u", SQL_GUID, O::Message},
           {u"bl", SQL_LONGVARBINARY, O::NoEntry}}};
}

std::u16string UnhandledMessage(const std::u16string& column, int type, const std::u16string& query) {
  return u"UnHandled Datatype:SchemaSourceReaderI::FetchAndProcessRecords()- Column(" + column + u"),Dataype(" +
         Number(type) + u"),Query(" + query + u") ";
}

std::u16string Text(const COleVariant& value) { return std::u16string(value.bstrVal, SysStringLen(value.bstrVal)); }

}  // namespace

TEST_P(FetchTest, EachSqlTypeConvertsAsTheConversionTableSays) {
  const TypesCase types = TypesFor(GetParam());
  for (const auto& sql : types.setup) Prepare(sql);
  {  // the types the driver describes, through the reader's own description
    SQLHSTMT statement = SQL_NULL_HSTMT;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, m_connector->GetConnectionHandle(), &statement)));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLExecDirectW(
        statement, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(types.query.c_str())), SQL_NTS)));
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement, &count);
    ASSERT_EQ(static_cast<std::size_t>(count), types.expected.size());
    std::vector<ColumnInfo> columns(types.expected.size());
    m_reader.RetrieveColumnDetails(statement, columns.data());
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      EXPECT_EQ(columns[i].columnNumber, i + 1);
      EXPECT_EQ(std::u16string(columns[i].columnName), types.expected[i].column);
      EXPECT_EQ(columns[i].dataType, types.expected[i].sqlType) << Utf8(types.expected[i].column);
    }
  }
  MessageCapture messages;
  Run(1, types.query);
  EXPECT_TRUE(m_reader.GetFailedStatements().empty()) << m_reader.FailureText();
  ASSERT_EQ(m_log.rows.size(), 1u);
  std::vector<std::u16string> expectedMessages;
  for (const Expectation& e : types.expected) {
    SCOPED_TRACE(Utf8(e.column));
    const COleVariant value = m_log.rows[0].Get(e.column);
    switch (e.outcome) {
      case Outcome::Integer:
        ASSERT_EQ(value.vt, VT_I4);
        EXPECT_EQ(static_cast<std::uint32_t>(value.lVal), static_cast<std::uint32_t>(e.integer));
        if (e.integer >= INT32_MIN && e.integer <= INT32_MAX) {
          EXPECT_EQ(value.lVal, e.integer);
        }
        break;
      case Outcome::Text:
        ASSERT_EQ(value.vt, VT_BSTR);
        EXPECT_EQ(Text(value), e.text);
        break;
      case Outcome::Message:
        expectedMessages.push_back(UnhandledMessage(e.column, e.sqlType, types.query));
        [[fallthrough]];
      case Outcome::NoEntry:
        EXPECT_EQ(value.vt, VT_EMPTY);
        break;
    }
  }
  EXPECT_EQ(messages.texts, expectedMessages);
  EXPECT_EQ(m_log.models, (std::vector<GenericModel*>{&m_model, &m_model, &m_model}));  // pre, row, post
  EXPECT_EQ(m_log.preExecute, 1);
  EXPECT_EQ(m_reader.ObjectCount(12), 1);
}

TEST_P(FetchTest, NullEmptyTextAndColumnNames) {
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
  // PostgreSQL itself keeps the first 63 characters of an identifier.
  const std::size_t kept = GetParam().engine == Engine::Postgres ? 63 : 128;
  EXPECT_EQ(NamesOf(m_log.rows[5]), std::vector<std::u16string>{name.substr(0, kept)});
  EXPECT_EQ(m_log.rows[5].GetInteger(name.substr(0, kept)), 1);
}

TEST_P(FetchTest, LongTextArrivesWholeAcrossPieces) {
  // Lengths around the buffer's edges, and pieces ending inside a character.
  // The SQLite3 driver (ANSI) gets no character beyond U+FFFF through the
  // driver manager: the emoji is made by the server.
  const std::u16string emoji = (GetParam().engine == Engine::Postgres ? u"chr(" : u"char(") + Number(0x1F600) + u")";
  const struct {
    std::u16string unit;  // the repeated text
    std::u16string sql;   // the same as an SQL expression
    int repeat;
  } texts[] = {{u"x", u"'x'", 10000},      {u"\u00e9", u"'\u00e9'", 10000}, {u"\U0001F600", emoji, 3000},
               {u"0123456789", u"'0123456789'", 1000}, {u"x", u"'x'", 1999},   {u"x", u"'x'", 2000},
               {u"x", u"'x'", 3999},       {u"x", u"'x'", 4000},            {u"\u00e9", u"'\u00e9'", 1999},
               {u"\u00e9", u"'\u00e9'", 2000}};
  Prepare(u"CREATE TABLE longtexts(id integer, v text)");
  for (std::size_t i = 0; i < std::size(texts); ++i)
    Prepare(u"INSERT INTO longtexts VALUES (" + Number(i) + u", " + Repeat(texts[i].sql, texts[i].repeat) + u")");

  Run(1, u"SELECT id AS id, v AS v FROM longtexts ORDER BY id");
  EXPECT_TRUE(m_reader.GetFailedStatements().empty()) << m_reader.FailureText();
  ASSERT_EQ(m_log.rows.size(), std::size(texts));
  for (std::size_t i = 0; i < std::size(texts); ++i) {
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

TEST_P(FetchTest, ShortTextArrivesAsStoredWhereverItsFirstCharacterBeyondAsciiIs) {
  // Text of ASCII characters only is taken as it is, other text decoded:
  // ASCII texts of several lengths, and a character beyond ASCII at each
  // place of a 17-character text.
  const std::u16string letters = u"abcdefghijklmnopq";
  std::vector<std::u16string> texts;
  for (std::size_t length : {1, 7, 8, 9, 15, 16, 17}) texts.push_back(letters.substr(0, length));
  for (std::size_t at = 0; at < letters.size(); ++at) {
    texts.push_back(letters);
    texts.back()[at] = u'\u00e9';
  }
  Prepare(u"CREATE TABLE shorttexts(id integer, v text)");
  for (std::size_t i = 0; i < texts.size(); ++i)
    Prepare(u"INSERT INTO shorttexts VALUES (" + Number(i) + u", '" + texts[i] + u"')");

  Run(1, u"SELECT id AS id, v AS v FROM shorttexts ORDER BY id");
  EXPECT_TRUE(m_reader.GetFailedStatements().empty()) << m_reader.FailureText();
  ASSERT_EQ(m_log.rows.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "id " << i);
    const COleVariant value = m_log.rows[i].Get(u"v");
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_TRUE(Text(value) == texts[i]) << "differs from the stored text";
  }
}

TEST_P(FetchTest, UnhandledTypeShowsTheRegisteredTextOncePerValue) {
  // The statement is rewritten before it runs; the message names the text
  // as registered.
  m_reader.preprocess = [](int, CString& statement) {
    std::u16string text = statement.str();
    if (const auto at = text.find(u"{dates}"); at != std::u16string::npos) text.replace(at, 7, u"dates");
    statement = CString(text);
  };
  const std::u16string registered = u"SELECT id AS id, d AS d FROM {dates} ORDER BY id";
  MessageCapture messages;
  Run(4, registered);
  ASSERT_EQ(m_log.rows.size(), 3u);
  for (const CommonDataObject& row : m_log.rows) EXPECT_EQ(NamesOf(row), std::vector<std::u16string>{u"id"});
  // The NULL of row 2 shows nothing.
  const std::u16string expected = UnhandledMessage(u"d", SQL_TYPE_DATE, registered);
  EXPECT_EQ(messages.texts, (std::vector<std::u16string>{expected, expected}));
}

TEST_P(FetchTest, StatementsThatFailOrReturnNothingCallAndCountAsFarAsTheyGo) {
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
  EXPECT_EQ(failure.diagnostic.sqlState, GetParam().engine == Engine::Postgres ? u"42P01" : u"HY000");
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

TEST_P(FetchTest, RowActionChangingTheRecordDoesNotReachTheNextRow) {
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

TEST_P(FetchTest, RowActionRunningAStatementOfItsOwnLeavesTheNextRowsTheirNames) {
  // The reader has one record: a statement run from a row action refills it
  // with its own names, and the rows after it still carry the first
  // statement's names and values.
  class Nesting : public RecordingRowAction {
   public:
    Nesting(ActionLog* log, SchemaSourceReaderI& reader) : RecordingRowAction(log), m_reader(reader) {}
    void ProcessRow(GenericModel* model, CommonDataObject& record) override {
      RecordingRowAction::ProcessRow(model, record);
      if (++m_calls == 1) m_reader.ImportObjects(2);
    }

   private:
    SchemaSourceReaderI& m_reader;
    int m_calls = 0;
  };
  m_reader.AddQueryStatement(1, 12, u"SELECT a AS a, b AS b FROM nums ORDER BY a");
  m_reader.AddQueryStatement(2, 12, u"SELECT id AS id, v AS v FROM texts ORDER BY id");
  m_reader.SetStatementRowAction(1, new Nesting(&m_log, m_reader));
  m_reader.SetStatementRowAction(2, new RecordingRowAction(&m_log));
  m_reader.ImportObjects(1);
  ASSERT_EQ(m_log.rows.size(), 5u);  // the first row, the two of the other statement, the other two
  EXPECT_EQ(NamesOf(m_log.rows[1]), (std::vector<std::u16string>{u"id"}));  // v is NULL
  EXPECT_EQ(NamesOf(m_log.rows[2]), (std::vector<std::u16string>{u"id", u"v"}));
  for (std::size_t i : {0u, 3u, 4u}) {
    SCOPED_TRACE(testing::Message() << "row " << i);
    const int n = i == 0 ? 0 : static_cast<int>(i) - 2;
    EXPECT_EQ(NamesOf(m_log.rows[i]), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(m_log.rows[i].GetInteger(u"a"), 2 * n + 1);
    EXPECT_EQ(m_log.rows[i].GetInteger(u"b"), 2 * n + 2);
  }
}

#ifdef QM_FETCH_POSTGRES
const Backend kPgUnicode{"PostgresUnicode", Engine::Postgres, true, "QM_PG_CONNECT"};
const Backend kPgAnsi{"PostgresAnsi", Engine::Postgres, false, "QM_PG_CONNECT_ANSI"};

INSTANTIATE_TEST_SUITE_P(Postgres, FetchTest, ::testing::Values(kPgUnicode, kPgAnsi), BackendName);
INSTANTIATE_TEST_SUITE_P(Postgres, CatalogCallTest, ::testing::Values(kPgUnicode, kPgAnsi), BackendName);
#endif

}  // namespace qm::test::reader

// The scratch store: SQLite in memory, text as UTF-16.
#include <cobbleyard/SQLiteCache.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

// Every row of a one-column text query.
std::vector<std::u16string> Texts(SQLiteCache& cache, const CString& query) {
  std::vector<std::u16string> rows;
  SLRecordSet records = cache.ExecuteSQL(query);
  while (records.NextRecord()) rows.emplace_back(records.GetFieldValueString(0));
  return rows;
}

class SQLiteCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(cache.Open()) << cache.LastError().ToUtf8();
    cache.ExecuteDDL(u"create table t(name text16, n int)");
    ASSERT_TRUE(cache.LastError().IsEmpty()) << cache.LastError().ToUtf8();
  }

  SQLiteCache cache;
};

TEST_F(SQLiteCacheTest, RecordSetReadsTextIntsAndNullsAndKeepsTextUntilTheNextRow) {
  cache.Insert(u"insert into t values('Zoë 日本 😀', 10)");
  cache.Insert(u"insert into t values(null, null)");
  cache.Insert(u"insert into t values('', 5000000000)");
  EXPECT_EQ(Texts(cache, u"select n from t where name = 'Zoë 日本 😀' and length(name) = 8"),
            std::vector<std::u16string>{u"10"});
  SLRecordSet records = cache.ExecuteSQL(u"select name, n from t order by rowid");
  EXPECT_EQ(std::u16string(records.GetFieldValueString(0)), u"");  // no current row yet
  ASSERT_TRUE(records.NextRecord());
  const char16_t* name = records.GetFieldValueString(0);
  // Other reads of the same row must not move or change the text.
  EXPECT_EQ(records.GetFieldValueInt(1), 10);
  EXPECT_EQ(std::u16string(records.GetFieldValueString(1)), u"10");
  EXPECT_EQ(records.GetFieldValueInt(0), 0);
  EXPECT_EQ(std::u16string(records.GetFieldValueString(7)), u"");  // out of range
  EXPECT_EQ(records.GetFieldValueString(0), name);
  EXPECT_EQ(std::u16string(name), u"Zoë 日本 😀");
  ASSERT_TRUE(records.NextRecord());
  ASSERT_NE(records.GetFieldValueString(0), nullptr);
  EXPECT_EQ(std::u16string(records.GetFieldValueString(0)), u"");
  EXPECT_EQ(records.GetFieldValueInt(1), 0);
  ASSERT_TRUE(records.NextRecord());
  EXPECT_EQ(records.GetFieldValueInt(1), 2147483647);  // clamped, not cut to 32 bits
  EXPECT_FALSE(records.NextRecord());
  EXPECT_FALSE(records.NextRecord());  // stays at the end, does not start over
}

TEST_F(SQLiteCacheTest, FailuresLeaveAMessageAndNoRows) {
  SLRecordSet records = cache.ExecuteSQL(u"select * from no_such_table");
  EXPECT_NE(cache.LastError().ToUtf8().find("no_such_table"), std::string::npos) << cache.LastError().ToUtf8();
  EXPECT_FALSE(records.NextRecord());
  cache.Insert(u"insert into t values('x', 1)");
  EXPECT_TRUE(cache.LastError().IsEmpty());  // a success clears the message
  // A runtime error while stepping is the record set's to tell.
  SLRecordSet overflow = cache.ExecuteSQL(u"select abs(-9223372036854775807 - 1)");
  EXPECT_FALSE(overflow.NextRecord());
  EXPECT_FALSE(overflow.LastError().IsEmpty());
  SQLiteCache closed;
  closed.Insert(u"insert into t values('z', 2)");
  EXPECT_FALSE(closed.LastError().IsEmpty());
  EXPECT_FALSE(closed.ExecuteSQL(u"select 1").NextRecord());
}

TEST_F(SQLiteCacheTest, TextWithASecondStatementIsRefusedWhole) {
  // A value that closes its quote early must not smuggle in a statement.
  cache.Insert(u"insert into t values('a', 1); drop table t");
  EXPECT_FALSE(cache.LastError().IsEmpty());
  // Nor may text hide behind a NUL, where SQLite would stop reading.
  constexpr char16_t kHidden[] = u"insert into t values('c', 3);\0drop table t";
  cache.Insert(CString(std::u16string(kHidden, std::size(kHidden) - 1)));
  EXPECT_FALSE(cache.LastError().IsEmpty());
  // Trailing blanks, semicolons and comments are fine.
  cache.Insert(u"insert into t values('d', 4) ;  -- done\n");
  EXPECT_TRUE(cache.LastError().IsEmpty()) << cache.LastError().ToUtf8();
  EXPECT_EQ(Texts(cache, u"select name from t order by n"), std::vector<std::u16string>{u"d"});
  EXPECT_FALSE(cache.ExecuteSQL(u"select 1; select 2").NextRecord());
}

TEST(SQLiteCacheLifetimeTest, EachOpenIsAFreshStoreAndRecordSetsOutlivingItReadEmpty) {
  SLRecordSet survivor;
  {
    SQLiteCache cache;
    ASSERT_TRUE(cache.Open());
    cache.ExecuteDDL(u"create table t(x)");
    cache.Insert(u"insert into t values('one')");
    SLRecordSet closedUnder = cache.ExecuteSQL(u"select x from t");
    ASSERT_TRUE(cache.Open());  // on an open cache: starts over
    EXPECT_FALSE(closedUnder.NextRecord());
    EXPECT_TRUE(Texts(cache, u"select name from sqlite_master").empty());
    // Each new store keeps text as UTF-16, so it comes back unconverted.
    EXPECT_EQ(Texts(cache, u"pragma encoding"), std::vector<std::u16string>{u"UTF-16le"});
    cache.ExecuteDDL(u"create table t(x)");
    cache.Insert(u"insert into t values('two')");
    SQLiteCache other;  // two caches never share a store
    ASSERT_TRUE(other.Open());
    EXPECT_TRUE(Texts(other, u"select name from sqlite_master").empty());
    survivor = cache.ExecuteSQL(u"select x from t");
    ASSERT_TRUE(survivor.NextRecord());
    EXPECT_EQ(std::u16string(survivor.GetFieldValueString(0)), u"two");
  }  // the cache goes while the record set holds a row
  EXPECT_FALSE(survivor.NextRecord());
  EXPECT_EQ(std::u16string(survivor.GetFieldValueString(0)), u"");
  EXPECT_EQ(survivor.GetFieldValueInt(0), 0);
}

}  // namespace

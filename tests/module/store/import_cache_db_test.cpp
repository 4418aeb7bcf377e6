// ImportCacheDB on a real SQLite store (through Cobbleyard's SQLiteCache).
#include <schemaimport/ImportCacheDB.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

class ImportCacheDBTest : public ::testing::Test {
 protected:
  void SetUp() override { store.Create(); }
  void TearDown() override { store.Close(); }

  int Count(const char16_t* query) {
    SLRecordSet rows = store.ExecuteSQL(query);
    return rows.NextRecord() ? rows.GetFieldValueInt(0) : -1;
  }

  CString Clause(const CString& schema, const CString& type) {
    CString clause = u"left over";
    store.GetUDTTableClause(schema, type, clause);
    return clause;
  }

  ImportCacheDB& store = *ImportCacheDB::Instance();
};

TEST_F(ImportCacheDBTest, ClauseListsColumnsByColumnId) {
  store.InsertUDTTableColumn(u"dbo", u"Lines", u"label", u"nvarchar(40)", 1, 3);
  store.InsertUDTTableColumn(u"dbo", u"Lines", u"id", u"int", 0, 1);
  store.InsertUDTTableColumn(u"dbo", u"Lines", u"qty", u"decimal(10,2)", 0, 2);
  store.InsertUDTTableColumn(u"other", u"Lines", u"elsewhere", u"int", 1, 0);

  EXPECT_EQ(Clause(u"dbo", u"Lines"),
            CString(u"(id  int  NOT NULL,qty  decimal(10,2)  NOT NULL,label  nvarchar(40)  NULL)"));
  EXPECT_EQ(Clause(u"dbo", u"lines"), CString(u"()"));  // names compare exactly
  // The column insert created the type rows as well, once per type.
  EXPECT_EQ(Count(u"select count(*) from udt_table"), 2);
}

TEST_F(ImportCacheDBTest, TypesAreStoredOnceButColumnsEveryTime) {
  store.InsertUDT(u"dbo", u"T");
  store.InsertUDT(u"dbo", u"T");
  store.InsertUDTTableColumn(u"dbo", u"T", u"c", u"int", 0, 1);
  store.InsertUDTTableColumn(u"dbo", u"T", u"c", u"int", 0, 1);
  EXPECT_EQ(Count(u"select count(*) from udt_table"), 1);
  EXPECT_EQ(Clause(u"dbo", u"T"), CString(u"(c  int  NOT NULL,c  int  NOT NULL)"));
}

TEST_F(ImportCacheDBTest, UnknownTypeGivesEmptyBrackets) {
  store.InsertUDT(u"dbo", u"Empty");
  EXPECT_EQ(Clause(u"dbo", u"Empty"), CString(u"()"));
  EXPECT_EQ(Clause(u"dbo", u"Never"), CString(u"()"));
}

// Names come from the source's catalogue: quotes, statement fragments,
// format directives and non-ASCII text must arrive unchanged and must not
// change the statements they are placed in.
TEST_F(ImportCacheDBTest, HostileAndNonAsciiNamesRoundTripExactly) {
  const CString schema = u"O'Brien";
  const CString type = u"x'); drop table udt_table; --";
  const CString column1 = u"\u5217'\u540D %s %d";
  const CString column2 = u"Gr\u00FC\u00DFe \U0001F600 ''";
  const CString dataType = u"enum('a','b')";
  store.InsertUDTTableColumn(schema, type, column1, dataType, 1, 2);
  store.InsertUDTTableColumn(schema, type, column2, u"text", 0, 1);
  store.InsertUDT(schema, type);

  EXPECT_EQ(Clause(schema, type), u"(" + column2 + u"  text  NOT NULL," + column1 + u"  " + dataType + u"  NULL)");
  EXPECT_EQ(Count(u"select count(*) from udt_table"), 1);
  SLRecordSet rows = store.ExecuteSQL(u"select udt_schema_name, udt_name from udt_table");
  ASSERT_TRUE(rows.NextRecord());
  EXPECT_EQ(CString(rows.GetFieldValueString(0)), schema);
  EXPECT_EQ(CString(rows.GetFieldValueString(1)), type);
}

TEST_F(ImportCacheDBTest, PartitionValuesComeBackQuotedInOrder) {
  store.Insert_PartitionFunctionValue(7, 3, 56, u"30");
  store.Insert_PartitionFunctionValue(7, 1, 56, u"10");
  store.Insert_PartitionFunctionValue(7, 2, 167, u"20");  // the data type does not change the text
  store.Insert_PartitionFunctionValue(8, 1, 56, u"99");

  CString values;
  store.GetPartitionFunctionValues(7, values);
  EXPECT_EQ(values, CString(u"'10','20','30'"));

  CString prefixed = u"RANGE LEFT FOR VALUES ";
  store.GetPartitionFunctionValues(8, prefixed);
  EXPECT_EQ(prefixed, CString(u"RANGE LEFT FOR VALUES '99'"));
}

TEST_F(ImportCacheDBTest, PartitionValueForATakenOrderIsRefused) {
  store.Insert_PartitionFunctionValue(1, 1, 56, u"first");
  store.Insert_PartitionFunctionValue(1, 1, 56, u"second");
  CString values;
  store.GetPartitionFunctionValues(1, values);
  EXPECT_EQ(values, CString(u"'first'"));
}

TEST_F(ImportCacheDBTest, FunctionWithoutValuesLeavesOutputAsItWas) {
  CString empty;
  store.GetPartitionFunctionValues(42, empty);
  EXPECT_TRUE(empty.IsEmpty());
  CString kept = u"abc";
  store.GetPartitionFunctionValues(42, kept);
  EXPECT_EQ(kept, CString(u"abc"));
}

TEST_F(ImportCacheDBTest, HostileAndNonAsciiValuesRoundTripExactly) {
  const std::vector<CString> values = {u"O'Brien", u"x'); drop table pfv_table; --", u"2024-01-01",
                                       u"\u00E9t\u00E9 \U0001F600", u"''", u""};
  for (int i = 0; i < static_cast<int>(values.size()); ++i)
    store.Insert_PartitionFunctionValue(3, i + 1, 231, values[static_cast<std::size_t>(i)]);

  SLRecordSet rows = store.ExecuteSQL(u"select pf_value from pfv_table where pf_id=3 order by pf_value_order");
  for (const CString& expected : values) {
    ASSERT_TRUE(rows.NextRecord());
    EXPECT_EQ(CString(rows.GetFieldValueString(0)), expected);
  }
  EXPECT_FALSE(rows.NextRecord());

  CString list;
  store.GetPartitionFunctionValues(3, list);
  CString expected;
  for (const CString& v : values) expected += u"'" + v + u"',";
  expected.TrimRight(u",");
  EXPECT_EQ(list, expected);
}

TEST_F(ImportCacheDBTest, CloseAndCreateGiveAFreshStore) {
  store.InsertUDTTableColumn(u"dbo", u"T", u"c", u"int", 0, 1);
  store.Insert_PartitionFunctionValue(1, 1, 56, u"10");
  store.Close();
  store.Create();
  EXPECT_EQ(Clause(u"dbo", u"T"), CString(u"()"));
  CString values;
  store.GetPartitionFunctionValues(1, values);
  EXPECT_TRUE(values.IsEmpty());
  EXPECT_EQ(Count(u"select count(*) from udt_table"), 0);
  // The tables were created again, so the store accepts data as before.
  store.Insert_PartitionFunctionValue(1, 1, 56, u"11");
  store.GetPartitionFunctionValues(1, values);
  EXPECT_EQ(values, CString(u"'11'"));
}

TEST_F(ImportCacheDBTest, ResetClosesLikeClose) {
  store.InsertUDT(u"dbo", u"T");
  store.Reset();
  EXPECT_EQ(Count(u"select count(*) from udt_table"), -1);  // closed: no rows at all
}

TEST_F(ImportCacheDBTest, NoNumberIsASystemType) {
  for (int n : {0, 1, -1, 56, 231, INT_MIN, INT_MAX}) EXPECT_FALSE(store.IsSQSSystemTypeNumber(n)) << n;
}

}  // namespace

// ImportCacheDB on a real SQLite store: hostile text, and one import's store
// is never the next one's.
#include <schemaimport/ImportCacheDB.h>

#include <gtest/gtest.h>

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
  CString Values(int function, CString values = {}) {
    store.GetPartitionFunctionValues(function, values);
    return values;
  }

  ImportCacheDB& store = *ImportCacheDB::Instance();
};

// Names and values come from the source's catalogue: quotes, statement
// fragments, format directives and non-ASCII text must arrive unchanged and
// must not change the statements they are placed in.
TEST_F(ImportCacheDBTest, HostileAndNonAsciiTextRoundTripsExactly) {
  const CString schema = u"O'Brien";
  const CString type = u"x'); drop table udt_table; --";
  const CString column1 = u"\u5217'\u540D %s %d";
  const CString column2 = u"Gr\u00FC\u00DFe \U0001F600 ''";
  const CString dataType = u"enum('a','b')";
  store.InsertUDTTableColumn(schema, type, column1, dataType, 1, 2);
  store.InsertUDTTableColumn(schema, type, column2, u"text", 0, 1);
  store.InsertUDT(schema, type);
  EXPECT_EQ(Clause(schema, type), u"(" + column2 + u"  text  NOT NULL," + column1 + u"  " + dataType + u"  NULL)");
  SLRecordSet rows = store.ExecuteSQL(u"select udt_schema_name, udt_name from udt_table");
  ASSERT_TRUE(rows.NextRecord());
  EXPECT_EQ(CString(rows.GetFieldValueString(0)), schema);
  EXPECT_EQ(CString(rows.GetFieldValueString(1)), type);
  EXPECT_FALSE(rows.NextRecord());

  const std::vector<CString> values = {u"O'Brien", u"x'); drop table pfv_table; --", u"\u00E9t\u00E9 \U0001F600",
                                       u"''", u""};
  CString expected;
  for (std::size_t i = 0; i < values.size(); ++i) {
    store.Insert_PartitionFunctionValue(3, static_cast<int>(i) + 1, 231, values[i]);
    expected += (i == 0 ? u"'" : u",'") + values[i] + u"'";
  }
  EXPECT_EQ(Values(3), expected);
}

// Each Create after a Close is a fresh store, made when a statement first
// needs it, whichever statement that is; a Create with nothing run since
// changes nothing; Reset closes.
TEST_F(ImportCacheDBTest, CreateGivesAFreshStoreForWhicheverStatementComesFirstAndResetCloses) {
  store.Create();
  store.InsertUDTTableColumn(u"dbo", u"T", u"c", u"int", 0, 1);
  store.Insert_PartitionFunctionValue(1, 1, 56, u"10");
  EXPECT_EQ(Values(1), CString(u"'10'"));
  store.Close();
  store.Create();
  EXPECT_EQ(Clause(u"dbo", u"T"), CString(u"()"));
  store.Close();
  store.Create();
  EXPECT_TRUE(Values(1).IsEmpty());
  store.Insert_PartitionFunctionValue(1, 1, 56, u"11");
  EXPECT_EQ(Values(1), CString(u"'11'"));
  store.Close();
  store.Create();
  store.InsertUDT(u"s", u"T");
  EXPECT_EQ(Count(u"select count(*) from udt_table"), 1);
  store.Reset();
  EXPECT_EQ(Count(u"select count(*) from pfv_table"), -1);  // closed: no rows at all
}

}  // namespace

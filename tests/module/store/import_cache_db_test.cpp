// ImportCacheDB on a real SQLite store (through Cobbleyard's SQLiteCache):
// one import's store is never the next one's. (What the store gives back,
// composite types' attributes and partitions' values: the family tests'
// imports, compared with the catalogue.)
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

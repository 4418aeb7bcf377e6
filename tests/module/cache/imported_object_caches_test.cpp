// ImportedObjectCacheBase, ImportedObjectCache and ImportedIndexCache over a
// real Tillerhold model.
#include <schemaimport/ImportedObjectCaches.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Texts(const CStringArray& array) {
  std::vector<std::u16string> texts;
  for (const CString& s : array) texts.push_back(s.str());
  return texts;
}

class ObjectCacheTest : public ::testing::Test {
 protected:
  CMOObject* NewObject(int type = model::Table) { return &m_model.CreateObject(type); }

  GenericModel m_model;
};

// --- ImportedObjectCacheBase -------------------------------------------

TEST_F(ObjectCacheTest, AddKeepsFirstWhileIdsAndAttributesKeepLast) {
  ImportedObjectCacheBase cache;
  CMOObject* a = NewObject();
  CMOObject* b = NewObject();

  cache.Add(u"orders", a);
  cache.Add(u"orders", b);
  cache.AddByDBID(u"orders", a);
  cache.AddByDBID(u"orders", b);
  cache.AddAttribute(u"orders", a);
  cache.AddAttribute(u"orders", b);

  EXPECT_EQ(cache.FindObject(u"orders"), a);
  EXPECT_EQ(cache.FindObjectById(u"orders"), b);
  EXPECT_EQ(cache.FindAttribute(u"orders"), b);
  EXPECT_EQ(cache.GetObjectCount(), 1);
}

TEST_F(ObjectCacheTest, TablesAreIndependentAndOnlyNamesAreCounted) {
  ImportedObjectCacheBase cache;
  CMOObject* a = NewObject();
  CMOObject* b = NewObject();
  CMOObject* c = NewObject();

  cache.AddByDBID(u"k", b);
  cache.AddAttribute(u"k", c);
  EXPECT_EQ(cache.GetObjectCount(), 0);
  EXPECT_EQ(cache.FindObject(u"k"), nullptr);

  cache.Add(u"k", a);
  EXPECT_EQ(cache.FindObject(u"k"), a);
  EXPECT_EQ(cache.FindObjectById(u"k"), b);
  EXPECT_EQ(cache.FindAttribute(u"k"), c);
  EXPECT_EQ(cache.GetObjectCount(), 1);
}

TEST_F(ObjectCacheTest, FindersNeverCreateEntries) {
  ImportedObjectCacheBase cache;
  CMOObject* a = NewObject();

  EXPECT_EQ(cache.FindObject(u"t"), nullptr);
  EXPECT_EQ(cache.FindObjectById(u"t"), nullptr);
  EXPECT_EQ(cache.FindAttribute(u"t"), nullptr);
  EXPECT_EQ(cache.GetObjectCount(), 0);

  // Had the failed FindObject left a null entry, Add (first wins) would
  // drop this object.
  cache.Add(u"t", a);
  EXPECT_EQ(cache.FindObject(u"t"), a);
}

TEST_F(ObjectCacheTest, RecordedNullIsCountedAndNotReplaced) {
  ImportedObjectCacheBase cache;
  cache.Add(u"ghost", nullptr);
  cache.Add(u"ghost", NewObject());
  EXPECT_EQ(cache.FindObject(u"ghost"), nullptr);
  EXPECT_EQ(cache.GetObjectCount(), 1);
}

// Keys are compared exactly by UTF-16 code unit: letter case, a trailing
// blank, a prefix, the empty string, and characters above the BMP (a
// surrogate pair) next to private-use U+E000 are all different keys.
TEST_F(ObjectCacheTest, KeysAreExactUtf16CodeUnits) {
  const std::vector<std::u16string> keys = {
      u"",        u"Sales",     u"sales",      u"Sales ",          u"Sal",
      u"Salesx",  u"\U0001F600", u"\uE000",    u"\U0001F600\uE000", u"\uE000\U0001F600",
      u"\xFFFF",  u"Stra\u00DFe", u"Strasse",
  };
  ImportedObjectCacheBase cache;
  std::vector<CMOObject*> objects;
  for (const auto& key : keys) {
    objects.push_back(NewObject());
    cache.Add(CString(key), objects.back());
    cache.AddByDBID(CString(key), objects.back());
    cache.AddAttribute(CString(key), objects.back());
  }
  EXPECT_EQ(cache.GetObjectCount(), static_cast<int>(keys.size()));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "key #" << i);
    EXPECT_EQ(cache.FindObject(CString(keys[i])), objects[i]);
    EXPECT_EQ(cache.FindObjectById(CString(keys[i])), objects[i]);
    EXPECT_EQ(cache.FindAttribute(CString(keys[i])), objects[i]);
  }
  EXPECT_EQ(cache.FindObject(u"SALES"), nullptr);
  EXPECT_EQ(cache.FindObject(u" Sales"), nullptr);

  // The tables order keys as CString does: by code unit, so a surrogate
  // pair (D83D DE00) sorts before U+E000 although its code point is
  // higher, and a prefix sorts first.
  EXPECT_TRUE(CString(u"\U0001F600") < CString(u"\uE000"));
  EXPECT_TRUE(CString(u"Sal") < CString(u"Sales"));
  EXPECT_TRUE(CString(u"Sales") < CString(u"sales"));
}

// --- ImportedObjectCache -----------------------------------------------

class ImportedObjectCacheTest : public ObjectCacheTest {
 protected:
  void SetUp() override { ImportedObjectCache::Instance()->Reset(); }
  void TearDown() override { ImportedObjectCache::Instance()->Reset(); }
  ImportedObjectCache& cache = *ImportedObjectCache::Instance();
};

TEST_F(ImportedObjectCacheTest, FreshCacheHoldsNothing) {
  ImportedObjectCache fresh;
  EXPECT_EQ(fresh.GetMySQLSchema(), 0);
  EXPECT_TRUE(fresh.GetMySQLCollation().IsEmpty());
  EXPECT_TRUE(fresh.GetMySQLCharacterSet().IsEmpty());
  EXPECT_EQ(fresh.GetTableSpace(0), nullptr);
  EXPECT_EQ(fresh.GetMySQLTriggerFollows(u""), -1);
}

TEST_F(ImportedObjectCacheTest, TableSpacesKeepFirstAndNegativeIdsAreDistinct) {
  CMOObject* a = NewObject(model::TableSpace);
  CMOObject* b = NewObject(model::TableSpace);
  CMOObject* c = NewObject(model::TableSpace);

  EXPECT_EQ(cache.GetTableSpace(5), nullptr);
  cache.AddTableSpace(5, a);  // still recorded: the failed lookup left nothing
  cache.AddTableSpace(5, b);
  cache.AddTableSpace(-5, c);
  cache.AddTableSpace(INT64_MIN, b);

  EXPECT_EQ(cache.GetTableSpace(5), a);
  EXPECT_EQ(cache.GetTableSpace(-5), c);
  EXPECT_EQ(cache.GetTableSpace(INT64_MIN), b);
  EXPECT_EQ(cache.GetTableSpace(1), nullptr);
  EXPECT_EQ(cache.GetTableSpace(-1), nullptr);
}

TEST_F(ImportedObjectCacheTest, TriggerFollowsZeroAndMissingReadAsMinusOne) {
  cache.SetMySQLTriggerFollows(u"trg", 3);
  cache.SetMySQLTriggerFollows(u"trg", 7);
  cache.SetMySQLTriggerFollows(u"TRG", 2);
  cache.SetMySQLTriggerFollows(u"zero", 0);
  cache.SetMySQLTriggerFollows(u"neg", -5);

  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"trg"), 7);
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"TRG"), 2);
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"zero"), -1);
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"never"), -1);
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"neg"), -5);

  cache.SetMySQLTriggerFollows(u"trg", 0);  // back to "not set"
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"trg"), -1);
}

TEST_F(ImportedObjectCacheTest, ParametersKeepArrivalOrderAndAppend) {
  cache.AddParameter(u"R", u"a");
  cache.AddParameter(u"R", u"b");
  cache.AddParameter(u"r", u"other");
  cache.AddParameter(u"R", u"a");

  CStringArray parameters{u"x", u"y"};
  cache.GetParameters(u"R", parameters);
  EXPECT_EQ(Texts(parameters), (std::vector<std::u16string>{u"x", u"y", u"a", u"b", u"a"}));

  CStringArray untouched{u"x"};
  cache.GetParameters(u"missing", untouched);
  EXPECT_EQ(Texts(untouched), (std::vector<std::u16string>{u"x"}));
}

TEST_F(ImportedObjectCacheTest, ResetEmptiesEverythingForTheNextImport) {
  CMOObject* a = NewObject();
  cache.Add(u"n", a);
  cache.AddByDBID(u"1", a);
  cache.AddAttribute(u"k", a);
  cache.AddTableSpace(1, a);
  cache.SetMySQLSchema(4);
  cache.SetMySQLTriggerFollows(u"t", 9);
  cache.SetMySQLCollation(u"utf8mb4_bin");
  cache.SetMySQLCharacterSet(u"utf8mb4");
  cache.AddParameter(u"proc", u"p1");

  cache.Reset();

  EXPECT_EQ(cache.FindObject(u"n"), nullptr);
  EXPECT_EQ(cache.FindObjectById(u"1"), nullptr);
  EXPECT_EQ(cache.FindAttribute(u"k"), nullptr);
  EXPECT_EQ(cache.GetObjectCount(), 0);
  EXPECT_EQ(cache.GetTableSpace(1), nullptr);
  EXPECT_EQ(cache.GetMySQLSchema(), 0);
  EXPECT_EQ(cache.GetMySQLTriggerFollows(u"t"), -1);
  EXPECT_TRUE(cache.GetMySQLCollation().IsEmpty());
  EXPECT_TRUE(cache.GetMySQLCharacterSet().IsEmpty());
  // Regression: parameters of one import used to survive Reset and appear
  // in front of the next import's parameters of the same routine.
  cache.AddParameter(u"proc", u"p2");
  CStringArray parameters;
  cache.GetParameters(u"proc", parameters);
  EXPECT_EQ(Texts(parameters), (std::vector<std::u16string>{u"p2"}));
  // The model's objects are untouched.
  EXPECT_EQ(m_model.GetCMOObject(a->GetObjectId()), a);
}

// --- ImportedIndexCache ------------------------------------------------

class ImportedIndexCacheTest : public ObjectCacheTest {
 protected:
  void SetUp() override { ImportedIndexCache::Instance()->Reset(); }
  void TearDown() override { ImportedIndexCache::Instance()->Reset(); }

  static std::vector<int> IncludedColumns(const CMOObject* index) {
    const CMOProperty* property = index->GetProperty(model::IncludedColumns);
    return property ? property->GetObjectIdVectorValue() : std::vector<int>{};
  }

  ImportedIndexCache& cache = *ImportedIndexCache::Instance();
};

TEST_F(ImportedIndexCacheTest, IncludedColumnsReachModelInInsertionOrderWithDuplicates) {
  CMOObject* first = NewObject(model::Index);
  CMOObject* second = NewObject(model::Index);
  CMOObject* untouched = NewObject(model::Index);

  for (int id : {7, 3, 5, 3}) cache.AddIncludedColumn(first, id);
  cache.AddIncludedColumn(second, 11);
  cache.ProcessIncludedColumns();

  ASSERT_NE(first->GetProperty(180), nullptr);
  EXPECT_EQ(first->GetProperty(180)->GetValueKind(), CMOProperty::ValueKind::ObjectIdVector);
  EXPECT_EQ(IncludedColumns(first), (std::vector<int>{7, 3, 5, 3}));
  EXPECT_EQ(IncludedColumns(second), (std::vector<int>{11}));
  EXPECT_EQ(untouched->GetProperty(180), nullptr);
}

TEST_F(ImportedIndexCacheTest, EveryRunAttachesTheListsAgain) {
  CMOObject* index = NewObject(model::Index);
  cache.AddIncludedColumn(index, 1);
  cache.AddIncludedColumn(index, 2);
  cache.ProcessIncludedColumns();
  index->GetProperty(180)->SetObjectIdVectorValue({});

  cache.AddIncludedColumn(index, 3);
  cache.ProcessIncludedColumns();
  EXPECT_EQ(IncludedColumns(index), (std::vector<int>{1, 2, 3}));
}

TEST_F(ImportedIndexCacheTest, ResetForgetsListsAndBaseTables) {
  CMOObject* index = NewObject(model::Index);
  cache.Add(u"ix_orders", index);
  cache.AddIncludedColumn(index, 4);

  cache.Reset();
  cache.ProcessIncludedColumns();

  EXPECT_EQ(index->GetProperty(180), nullptr);
  EXPECT_EQ(cache.FindObject(u"ix_orders"), nullptr);
  EXPECT_EQ(cache.GetObjectCount(), 0);
}

TEST_F(ImportedIndexCacheTest, ResetThroughTheBaseReachesTheLists) {
  CMOObject* index = NewObject(model::Index);
  cache.AddIncludedColumn(index, 4);
  ImportedObjectCacheBase& base = cache;
  base.Reset();  // the reader framework resets through the base
  cache.ProcessIncludedColumns();
  EXPECT_EQ(index->GetProperty(180), nullptr);
}

}  // namespace

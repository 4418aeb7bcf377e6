// The imported-object caches, the keys cache and the schema lookup over a
// real Tillerhold model.
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ObjectIdLookup.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Texts(const CStringArray& array) {
  std::vector<std::u16string> texts;
  for (const CString& s : array) texts.push_back(s.str());
  return texts;
}

// Each test starts and ends with the process-wide caches empty.
class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAll(); }
  void TearDown() override { ResetAll(); }
  static void ResetAll() {
    ImportedObjectCache::Instance()->Reset();
    ImportedIndexCache::Instance()->Reset();
    ImportedKeysCache::Instance()->Reset();
    SchemaLookup::Instance()->Reset();
  }
  CMOObject* New(int type = model::Table) { return &m_model.CreateObject(type); }

  GenericModel m_model;
  ImportedObjectCache& objects = *ImportedObjectCache::Instance();
  ImportedIndexCache& indexes = *ImportedIndexCache::Instance();
  ImportedKeysCache& keys = *ImportedKeysCache::Instance();
  SchemaLookup& schemas = *SchemaLookup::Instance();
};

// Regression: a failed lookup used to leave a null entry, so that the
// first-wins Add that followed dropped its object.
TEST_F(CacheTest, FindersNeverCreateEntriesNamesKeepTheFirstObjectAndResetEmpties) {
  CMOObject* a = New();
  CMOObject* b = New();
  EXPECT_EQ(objects.FindObject(u"orders"), nullptr);
  EXPECT_EQ(objects.GetObjectCount(), 0);
  objects.Add(u"orders", a);
  objects.Add(u"orders", b);
  objects.Add(u"ghost", nullptr);  // a recorded null counts and is not replaced
  objects.Add(u"ghost", b);
  EXPECT_EQ(objects.FindObject(u"orders"), a);
  EXPECT_EQ(objects.FindObject(u"ghost"), nullptr);
  EXPECT_EQ(objects.GetObjectCount(), 2);
  // Keys are exact: case, a trailing blank, a prefix are other keys.
  for (const char16_t* other : {u"Orders", u"orders ", u"order", u""}) EXPECT_EQ(objects.FindObject(other), nullptr);
  objects.AddParameter(u"proc", u"p1");
  objects.AddParameter(u"proc", u"p0");
  CStringArray parameters{u"x"};  // appended to, in arrival order
  objects.GetParameters(u"proc", parameters);
  EXPECT_EQ(Texts(parameters), (std::vector<std::u16string>{u"x", u"p1", u"p0"}));

  objects.Reset();
  EXPECT_EQ(objects.FindObject(u"orders"), nullptr);
  EXPECT_EQ(objects.GetObjectCount(), 0);
  // Regression: parameters of one import used to survive Reset and appear
  // in front of the next import's parameters of the same routine.
  objects.AddParameter(u"proc", u"p2");
  parameters.RemoveAll();
  objects.GetParameters(u"proc", parameters);
  EXPECT_EQ(Texts(parameters), (std::vector<std::u16string>{u"p2"}));
  EXPECT_EQ(m_model.GetCMOObject(a->GetObjectId()), a);  // the model's objects are untouched
}

// Every pass over the included columns replaces the index's one list with
// the whole list so far: never a second property, a list doubled or leaked.
TEST_F(CacheTest, IncludedColumnsProcessedTwiceLeaveOneWholeList) {
  CMOObject* index = New(model::Index);
  indexes.AddIncludedColumn(index, 1);
  indexes.AddIncludedColumn(index, 2);
  indexes.ProcessIncludedColumns();
  index->GetProperty(model::IncludedColumns)->SetObjectIdVectorValue({});  // the model's copy, not the cache's
  indexes.AddIncludedColumn(index, 3);
  indexes.ProcessIncludedColumns();
  ASSERT_EQ(index->GetProperties().size(), 1u);
  EXPECT_EQ(index->GetProperty(model::IncludedColumns)->GetObjectIdVectorValue(), (std::vector<int>{1, 2, 3}));
}

TEST_F(CacheTest, KeysReverseSearchSeesTheLastSnapshotAndTheLowestAddress) {
  CMOObject* a = New(model::Key);
  CMOObject* b = New(model::Key);
  CMOObject* c = New(model::Key);
  keys.Set(a, u"s1");
  EXPECT_EQ(keys.FindMatchingKey(u"s1"), nullptr);  // no snapshot yet
  keys.InitReverseSearch();
  keys.Set(a, u"s2");  // replaces; the search sees it at the next snapshot
  EXPECT_EQ(keys.Get(a), CString(u"s2"));
  EXPECT_TRUE(keys.Get(b).IsEmpty());
  EXPECT_EQ(keys.FindMatchingKey(u"s1"), a);
  EXPECT_EQ(keys.FindMatchingKey(u"s2"), nullptr);

  // A shared signature finds the lowest address, whatever the order of Set.
  std::vector<CMOObject*> all{a, b, c};
  std::sort(all.begin(), all.end(), std::less<CMOObject*>());
  for (auto it = all.rbegin(); it != all.rend(); ++it) keys.Set(*it, u"public.orders(id)");
  keys.InitReverseSearch();
  keys.InitReverseSearch();  // a rebuild, not an addition
  EXPECT_EQ(keys.FindMatchingKey(u"public.orders(id)"), all[0]);
  EXPECT_EQ(keys.FindMatchingKey(u"s1"), nullptr);
  EXPECT_EQ(keys.FindMatchingKey(u"Public.orders(id)"), nullptr);  // exact match only
  keys.Set(all[0], u"elsewhere");
  keys.InitReverseSearch();
  EXPECT_EQ(keys.FindMatchingKey(u"public.orders(id)"), all[1]);

  keys.Reset();
  EXPECT_EQ(keys.FindMatchingKey(u"elsewhere"), nullptr);
  EXPECT_TRUE(keys.Get(a).IsEmpty());
}

class SchemaLookupTest : public CacheTest {
 protected:
  // A schema object under the root, named unless name is null.
  int AddSchema(const char16_t* name, int propertyId = model::Name, int parent = 1) {
    CMOObject& schema = m_model.CreateObject(model::Schema, parent);
    if (name != nullptr) {
      auto* property = new CMOProperty(propertyId);
      property->SetWStringValue(name);
      schema.SetProperty(property);
    }
    return schema.GetObjectId();
  }
};

TEST_F(SchemaLookupTest, InitRecordsNamedSchemasOfTheRootFirstListedWins) {
  const int first = AddSchema(u"sales");
  AddSchema(u"sales");
  const int upper = AddSchema(u"Sales");
  AddSchema(nullptr);                            // no name at all
  AddSchema(u"wrongprop", model::Comment);       // a text, but not the name
  AddSchema(u"nested", model::Name, New()->GetObjectId());  // not a child of the root
  schemas.Add(u"recorded_only", 42);             // not in the model; Init must not drop it
  schemas.Init(&m_model);
  const int later = AddSchema(u"hr");
  schemas.Init(&m_model);  // again: adds, keeps earlier entries

  EXPECT_EQ(schemas.FindObject(&m_model, u"sales"), first);
  EXPECT_EQ(schemas.FindObject(&m_model, u"Sales"), upper);
  EXPECT_EQ(schemas.FindObject(&m_model, u"hr"), later);
  EXPECT_EQ(schemas.FindObject(&m_model, u"recorded_only"), 42);
  for (const char16_t* absent : {u"SALES", u"wrongprop", u"", u"nested"})
    EXPECT_EQ(schemas.FindObject(&m_model, absent), 0);
}

}  // namespace

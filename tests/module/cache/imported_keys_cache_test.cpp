// ImportedKeysCache: signatures per key and the reverse search snapshot.
#include <schemaimport/ImportedKeysCache.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

class ImportedKeysCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { cache.Reset(); }
  void TearDown() override { cache.Reset(); }
  CMOObject* NewKey() { return &m_model.CreateObject(model::Key); }

  GenericModel m_model;
  ImportedKeysCache& cache = *ImportedKeysCache::Instance();
};

TEST_F(ImportedKeysCacheTest, SetReplacesAndGetOfUnknownKeyIsEmpty) {
  CMOObject* key = NewKey();
  cache.Set(key, u"public.orders(id)");
  cache.Set(key, u"public.orders(id,customer_id)");
  EXPECT_EQ(cache.Get(key), CString(u"public.orders(id,customer_id)"));
  EXPECT_TRUE(cache.Get(NewKey()).IsEmpty());
  EXPECT_TRUE(cache.Get(nullptr).IsEmpty());
  EXPECT_EQ(ImportedKeysCache::Instance(), &cache);
}

TEST_F(ImportedKeysCacheTest, ReverseSearchSeesOnlyTheLastSnapshot) {
  CMOObject* a = NewKey();
  CMOObject* b = NewKey();
  cache.Set(a, u"s1");
  EXPECT_EQ(cache.FindMatchingKey(u"s1"), nullptr);  // no snapshot yet

  cache.InitReverseSearch();
  cache.Set(b, u"s2");
  cache.Set(a, u"s3");
  EXPECT_EQ(cache.FindMatchingKey(u"s1"), a);  // old signature until the next snapshot
  EXPECT_EQ(cache.FindMatchingKey(u"s2"), nullptr);
  EXPECT_EQ(cache.FindMatchingKey(u"s3"), nullptr);

  cache.InitReverseSearch();
  cache.InitReverseSearch();  // a rebuild, not an addition
  EXPECT_EQ(cache.FindMatchingKey(u"s1"), nullptr);
  EXPECT_EQ(cache.FindMatchingKey(u"s2"), b);
  EXPECT_EQ(cache.FindMatchingKey(u"s3"), a);

  cache.Reset();
  EXPECT_EQ(cache.FindMatchingKey(u"s2"), nullptr);
  EXPECT_TRUE(cache.Get(b).IsEmpty());
}

TEST_F(ImportedKeysCacheTest, SignaturesMatchExactly) {
  CMOObject* lower = NewKey();
  CMOObject* upper = NewKey();
  CMOObject* longer = NewKey();
  CMOObject* astral = NewKey();
  CMOObject* privateUse = NewKey();
  cache.Set(lower, u"public.t(a)");
  cache.Set(upper, u"PUBLIC.t(a)");
  cache.Set(longer, u"public.t(a,b)");
  cache.Set(astral, u"s.\U0001F600(a)");
  cache.Set(privateUse, u"s.\uE000(a)");
  cache.InitReverseSearch();

  EXPECT_EQ(cache.FindMatchingKey(u"public.t(a)"), lower);
  EXPECT_EQ(cache.FindMatchingKey(u"PUBLIC.t(a)"), upper);
  EXPECT_EQ(cache.FindMatchingKey(u"public.t(a,b)"), longer);
  EXPECT_EQ(cache.FindMatchingKey(u"s.\U0001F600(a)"), astral);
  EXPECT_EQ(cache.FindMatchingKey(u"s.\uE000(a)"), privateUse);
  // Neighbours in the ordering are not matches.
  EXPECT_EQ(cache.FindMatchingKey(u"public.t("), nullptr);
  EXPECT_EQ(cache.FindMatchingKey(u"Public.t(a)"), nullptr);
  EXPECT_EQ(cache.FindMatchingKey(u"public.t(a) "), nullptr);
  EXPECT_EQ(cache.FindMatchingKey(u""), nullptr);
}

TEST_F(ImportedKeysCacheTest, SharedSignatureFindsLowestAddressWhateverTheSetOrder) {
  CMOObject* x = NewKey();
  CMOObject* y = NewKey();
  CMOObject* z = NewKey();
  CMOObject* lowest = x;
  for (CMOObject* k : {y, z})
    if (std::less<CMOObject*>()(k, lowest)) lowest = k;

  // Set the lowest last, so insertion order alone would not pick it.
  for (CMOObject* k : {x, y, z})
    if (k != lowest) cache.Set(k, u"public.orders(id)");
  cache.Set(lowest, u"public.orders(id)");
  cache.InitReverseSearch();
  EXPECT_EQ(cache.FindMatchingKey(u"public.orders(id)"), lowest);

  // Moving the lowest away hands the signature to the next lowest.
  cache.Set(lowest, u"elsewhere");
  cache.InitReverseSearch();
  CMOObject* next = nullptr;
  for (CMOObject* k : {x, y, z})
    if (k != lowest && (next == nullptr || std::less<CMOObject*>()(k, next))) next = k;
  EXPECT_EQ(cache.FindMatchingKey(u"public.orders(id)"), next);
  EXPECT_EQ(cache.FindMatchingKey(u"elsewhere"), lowest);
}

}  // namespace

// ObjectIdLookupBase and SchemaLookup against a real Tillerhold model.
#include <schemaimport/ObjectIdLookup.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class SchemaLookupTest : public ::testing::Test {
 protected:
  void SetUp() override { lookup.Reset(); }
  void TearDown() override { lookup.Reset(); }

  // A schema object under the root, named unless name is null.
  int AddSchema(const char16_t* name, int propertyId = model::Name) {
    CMOObject& schema = m_model.CreateObject(model::Schema);
    if (name != nullptr) {
      auto* property = new CMOProperty(propertyId);
      property->SetWStringValue(name);
      schema.SetProperty(property);
    }
    return schema.GetObjectId();
  }

  std::vector<int> SchemaIds() {
    std::vector<int> ids;
    m_model.GetCMOObject()->GetChildrenByType(ids, model::Schema);
    return ids;
  }

  GenericModel m_model;
  SchemaLookup& lookup = *SchemaLookup::Instance();
};

TEST_F(SchemaLookupTest, InitRecordsNamedSchemasFirstListedWins) {
  const int first = AddSchema(u"sales");
  const int second = AddSchema(u"sales");
  const int upper = AddSchema(u"Sales");
  AddSchema(nullptr);                      // no name at all
  AddSchema(u"wrongprop", model::Comment); // a text, but not property 1
  const int table = m_model.CreateObject(model::Table).GetObjectId();
  m_model.GetCMOObject(table)->SetProperty([] {
    auto* p = new CMOProperty(model::Name);
    p->SetWStringValue(u"notaschema");
    return p;
  }());
  // A schema that is not a child of the root is not listed by the model.
  CMOObject& nested = m_model.CreateObject(model::Schema, table);
  nested.SetProperty([] {
    auto* p = new CMOProperty(model::Name);
    p->SetWStringValue(u"nested");
    return p;
  }());

  lookup.Init(&m_model);

  EXPECT_EQ(lookup.FindObject(&m_model, u"sales"), first);
  EXPECT_NE(first, second);
  EXPECT_EQ(lookup.FindObject(&m_model, u"Sales"), upper);
  EXPECT_EQ(lookup.FindObject(&m_model, u"SALES"), 0);
  EXPECT_EQ(lookup.FindObject(&m_model, u"wrongprop"), 0);
  EXPECT_EQ(lookup.FindObject(&m_model, u""), 0);  // the unnamed schema added nothing
  EXPECT_EQ(lookup.FindObject(&m_model, u"notaschema"), 0);
  EXPECT_EQ(lookup.FindObject(&m_model, u"nested"), 0);
  EXPECT_EQ(lookup.FindObject(nullptr, u"sales"), first);  // the model argument is not used
}

TEST_F(SchemaLookupTest, InitAgainKeepsEarlierEntries) {
  const int dbo = AddSchema(u"dbo");
  lookup.Add(u"recorded_only", 42);  // not in the model; Init must not drop it
  lookup.Init(&m_model);
  const int laterDbo = AddSchema(u"dbo");
  const int hr = AddSchema(u"hr");
  lookup.Init(&m_model);
  EXPECT_NE(dbo, laterDbo);
  EXPECT_EQ(lookup.FindObject(&m_model, u"dbo"), dbo);
  EXPECT_EQ(lookup.FindObject(&m_model, u"hr"), hr);
  EXPECT_EQ(lookup.FindObject(&m_model, u"recorded_only"), 42);

  lookup.Reset();
  EXPECT_EQ(lookup.FindObject(&m_model, u"dbo"), 0);
  EXPECT_EQ(lookup.FindObject(&m_model, u"hr"), 0);
}

TEST_F(SchemaLookupTest, FindCreateCreatesExactlyOneNamedSchema) {
  const int existing = AddSchema(u"public");
  lookup.Init(&m_model);
  const int before = m_model.GetObjectCount();

  EXPECT_EQ(lookup.FindCreate(&m_model, u"public"), existing);
  EXPECT_EQ(m_model.GetObjectCount(), before);

  const std::u16string name = u"Gr\u00FC\u00DFe_\U0001F600";
  const int created = lookup.FindCreate(&m_model, name);
  EXPECT_EQ(m_model.GetObjectCount(), before + 1);
  const CMOObject* schema = m_model.GetCMOObject(created);
  ASSERT_NE(schema, nullptr);
  EXPECT_EQ(schema->GetObjectType(), model::Schema);
  EXPECT_EQ(schema->GetParentId(), m_model.GetCMOObject()->GetObjectId());
  ASSERT_NE(schema->GetProperty(model::Name), nullptr);
  EXPECT_EQ(schema->GetProperty(model::Name)->GetWStringValue(), name);
  EXPECT_EQ(SchemaIds(), (std::vector<int>{existing, created}));

  EXPECT_EQ(lookup.FindCreate(&m_model, name), created);
  EXPECT_EQ(m_model.GetObjectCount(), before + 1);

  // Case makes a different schema.
  const int upper = lookup.FindCreate(&m_model, u"PUBLIC");
  EXPECT_NE(upper, existing);
  EXPECT_EQ(m_model.GetObjectCount(), before + 2);
}

TEST_F(SchemaLookupTest, NameRecordedWithIdZeroCountsAsAbsent) {
  lookup.Add(u"zero", 0);
  const int first = lookup.FindCreate(&m_model, u"zero");
  const int second = lookup.FindCreate(&m_model, u"zero");
  EXPECT_NE(first, 0);
  EXPECT_NE(second, 0);
  EXPECT_NE(first, second);  // the 0 entry stays, so each call creates again
  EXPECT_EQ(lookup.FindObject(&m_model, u"zero"), 0);
}

TEST_F(SchemaLookupTest, AddKeepsFirstIdAndPrefixesAreDistinct) {
  lookup.Add(u"ab", 5);
  lookup.Add(u"ab", 6);
  lookup.Add(u"a", 7);
  lookup.Add(u"abc", 8);
  lookup.Add(u"\U0001F600", 9);
  lookup.Add(u"\uE000", 10);
  EXPECT_EQ(lookup.FindObject(nullptr, u"ab"), 5);
  EXPECT_EQ(lookup.FindObject(nullptr, u"a"), 7);
  EXPECT_EQ(lookup.FindObject(nullptr, u"abc"), 8);
  EXPECT_EQ(lookup.FindObject(nullptr, u"\U0001F600"), 9);
  EXPECT_EQ(lookup.FindObject(nullptr, u"\uE000"), 10);
}

TEST_F(SchemaLookupTest, WithoutAModelNothingIsCreated) {
  lookup.Init(nullptr);
  EXPECT_EQ(lookup.FindCreate(nullptr, u"x"), 0);
  EXPECT_EQ(lookup.FindObject(nullptr, u"x"), 0);
}

}  // namespace

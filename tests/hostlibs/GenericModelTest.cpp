// The model: ids, parents and children, and property ownership.
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

TEST(GenericModelTest, IdsFollowCreationAndChildrenKeepTheirOrder) {
  GenericModel model(7);
  CMOObject* root = model.GetCMOObject();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetObjectId(), 1);
  EXPECT_EQ(root->GetObjectType(), model::ObjectType::Model);
  CMOObject& first = model.CreateObject(model::Schema);
  const int space = model.CreateObject(model::TableSpace).GetObjectId();
  // References stay valid while the model grows.
  for (int i = 0; i < 10000; ++i) model.CreateObject(model::Table, first.GetObjectId());
  const int last = model.CreateObject(model::Schema).GetObjectId();
  EXPECT_EQ(first.GetObjectId(), 2);
  EXPECT_EQ(model.GetCMOObject(2), &first);
  EXPECT_EQ(first.GetChildIds().size(), 10000u);
  EXPECT_EQ(model.GetCMOObject(10003)->GetParentId(), 2);
  for (int id : {0, -1, last + 1}) EXPECT_EQ(model.GetCMOObject(id), nullptr) << id;

  // An unknown parent throws and uses up no id.
  for (int parent : {last + 1, 0, -3}) EXPECT_THROW(model.CreateObject(model::Table, parent), std::invalid_argument);
  EXPECT_EQ(model.CreateObject(model::Table, space).GetObjectId(), last + 1);

  EXPECT_EQ(root->GetChildIds(), (std::vector<int>{2, space, last}));
  std::vector<int> ids{42, 43, 44};  // stale contents must go
  root->GetChildrenByType(ids, model::Schema);
  EXPECT_EQ(ids, (std::vector<int>{2, last}));
  root->GetChildrenByType(ids, model::Table);
  EXPECT_TRUE(ids.empty());
}

// The replaced property's deletion, and the model's deleting the ones it
// holds, are checked by the sanitizer build (a leak or a double delete).
TEST(GenericModelTest, ReplacingAPropertyKeepsItsPlace) {
  GenericModel model;
  CMOObject& table = model.CreateObject(model::Table);
  EXPECT_TRUE(table.SetProperty(new CMOProperty(model::Name)));
  EXPECT_TRUE(table.SetProperty(new CMOProperty(model::Comment)));
  auto* name = new CMOProperty(model::Name);
  name->SetWStringValue(u"orders_2024");
  EXPECT_TRUE(table.SetProperty(name));
  // Attaching the held property again must neither delete nor duplicate it.
  EXPECT_TRUE(table.SetProperty(name));
  EXPECT_FALSE(table.SetProperty(nullptr));
  ASSERT_EQ(table.GetProperties().size(), 2u);
  EXPECT_EQ(table.GetProperties()[0].get(), name);  // in the place of the first name
  EXPECT_EQ(table.GetProperty(model::Name)->GetWStringValue(), u"orders_2024");
}

// Each setter replaces the value whatever kind it had; empty values, a value
// set from the property's own view and copies keep their own storage.
TEST(GenericModelTest, PropertyValuesReplaceEachOther) {
  CMOProperty p(model::Name);
  EXPECT_EQ(p.GetValueKind(), CMOProperty::ValueKind::None);
  p.SetWStringValue(u"a column name longer than any inline room");
  p.SetWStringValue(p.WStringRef().substr(2, 6));  // from its own text
  EXPECT_EQ(p.GetWStringValue(), u"column");
  p.SetObjectIdVectorValue({7, 3, 5});
  EXPECT_EQ(p.GetWStringValue(), u"");
  EXPECT_EQ(p.GetObjectIdVectorValue(), (std::vector<int>{7, 3, 5}));
  CMOProperty copy(p);
  p.SetIntegerValue(-5'000'000'000LL);
  EXPECT_EQ(p.GetIntegerValue(), -5'000'000'000LL);
  EXPECT_TRUE(p.GetObjectIdVectorValue().empty());
  EXPECT_EQ(copy.GetObjectIdVectorValue(), (std::vector<int>{7, 3, 5}));
  copy = p;
  EXPECT_EQ(copy.GetIntegerValue(), -5'000'000'000LL);
  for (auto* empty : {u"", u"x"}) {
    p.SetWStringValue(std::u16string(empty));
    EXPECT_EQ(p.GetValueKind(), CMOProperty::ValueKind::WString);
    EXPECT_EQ(p.GetWStringValue(), empty);
  }
  p.SetObjectIdVectorValue(std::vector<int>{});
  EXPECT_EQ(p.GetValueKind(), CMOProperty::ValueKind::ObjectIdVector);
  EXPECT_TRUE(p.ObjectIdsRef().empty());
  // Assigned over a text: the ids taken over, the text's block given back
  // (the sanitizer build sees a leak or a double free); a value assigned
  // to itself and an empty property assigned over a value.
  CMOProperty text(model::Comment);
  text.SetWStringValue(u"a comment longer than any inline room");
  CMOProperty ids(model::Name);
  ids.SetObjectIdVectorValue({1, 2});
  text = ids;
  EXPECT_EQ(text.GetPropertyId(), model::Name);
  EXPECT_EQ(text.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
  const CMOProperty& same = text;
  text = same;
  EXPECT_EQ(text.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
  text = CMOProperty(model::Name);
  EXPECT_EQ(text.GetValueKind(), CMOProperty::ValueKind::None);
  EXPECT_EQ(ids.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
}

}  // namespace

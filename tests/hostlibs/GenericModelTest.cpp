// The model: ids, parents and children, and property ownership.
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// A property that counts its own destruction, to check who deletes it.
class CountedProperty : public CMOProperty {
 public:
  CountedProperty(int id, int* deaths) : CMOProperty(id), m_deaths(deaths) {}
  ~CountedProperty() override { ++*m_deaths; }

 private:
  int* m_deaths;  // not owned
};

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

TEST(GenericModelTest, ReplacingAPropertyDeletesTheOldOneAndKeepsItsPlace) {
  int deaths = 0;
  {
    GenericModel model;
    CMOObject& table = model.CreateObject(model::Table);
    EXPECT_TRUE(table.SetProperty(new CountedProperty(model::Name, &deaths)));
    EXPECT_TRUE(table.SetProperty(new CountedProperty(model::Comment, &deaths)));
    auto* name = new CountedProperty(model::Name, &deaths);
    name->SetWStringValue(u"orders_2024");
    EXPECT_TRUE(table.SetProperty(name));
    EXPECT_EQ(deaths, 1);  // the first name, once
    // Attaching the held property again must neither delete nor duplicate it.
    EXPECT_TRUE(table.SetProperty(name));
    EXPECT_EQ(deaths, 1);
    EXPECT_FALSE(table.SetProperty(nullptr));
    ASSERT_EQ(table.GetProperties().size(), 2u);
    EXPECT_EQ(table.GetProperties()[0].get(), name);  // in the place of the first name
    EXPECT_EQ(table.GetProperty(model::Name)->GetWStringValue(), u"orders_2024");

    // A value of another kind replaces the old one, text included.
    name->SetObjectIdVectorValue({7, 3, 5});
    EXPECT_EQ(name->GetWStringValue(), u"");
    name->SetIntegerValue(-5'000'000'000LL);
    EXPECT_EQ(name->GetIntegerValue(), -5'000'000'000LL);
    EXPECT_TRUE(name->GetObjectIdVectorValue().empty());
  }
  EXPECT_EQ(deaths, 3);  // the model deleted the two it still held
}

}  // namespace

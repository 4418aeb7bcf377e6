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
  int* m_deaths;
};

TEST(GenericModelTest, RootIsOneAndIdsFollowInCreationOrder) {
  GenericModel model(7);
  CMOObject* root = model.GetCMOObject();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetObjectId(), 1);
  EXPECT_EQ(root->GetObjectType(), model::ObjectType::Model);
  EXPECT_EQ(model.GetCMOObject(1), root);
  CMOObject& schema = model.CreateObject(model::Schema);
  CMOObject& table = model.CreateObject(model::Table, schema.GetObjectId());
  EXPECT_EQ(schema.GetObjectId(), 2);
  EXPECT_EQ(schema.GetParentId(), 1);
  EXPECT_EQ(table.GetObjectId(), 3);
  EXPECT_EQ(table.GetParentId(), 2);
  EXPECT_EQ(model.GetCMOObject(3), &table);
  EXPECT_EQ(model.GetCMOObject(0), nullptr);
  EXPECT_EQ(model.GetCMOObject(-1), nullptr);
  EXPECT_EQ(model.GetCMOObject(4), nullptr);
}

TEST(GenericModelTest, ReferencesStayValidWhileTheModelGrows) {
  GenericModel model;
  CMOObject& first = model.CreateObject(model::Schema);
  for (int i = 0; i < 10000; ++i) model.CreateObject(model::Table, first.GetObjectId());
  EXPECT_EQ(first.GetObjectId(), 2);
  EXPECT_EQ(model.GetCMOObject(2), &first);
  EXPECT_EQ(first.GetChildIds().size(), 10000u);
  EXPECT_EQ(model.GetObjectCount(), 10002);
}

TEST(GenericModelTest, UnknownParentThrowsAndConsumesNoId) {
  GenericModel model;
  model.CreateObject(model::Schema);
  EXPECT_THROW(model.CreateObject(model::Table, 99), std::invalid_argument);
  EXPECT_THROW(model.CreateObject(model::Table, 0), std::invalid_argument);
  EXPECT_THROW(model.CreateObject(model::Table, -3), std::invalid_argument);
  EXPECT_EQ(model.GetObjectCount(), 2);
  // The failed calls left no trace: the next id follows on.
  EXPECT_EQ(model.CreateObject(model::Table, 2).GetObjectId(), 3);
}

TEST(GenericModelTest, ChildrenKeepCreationOrderAcrossTypes) {
  GenericModel model;
  const int a = model.CreateObject(model::Schema).GetObjectId();
  const int t = model.CreateObject(model::TableSpace).GetObjectId();
  const int b = model.CreateObject(model::Schema).GetObjectId();
  const int c = model.CreateObject(model::Table, a).GetObjectId();  // not a child of the root
  const int d = model.CreateObject(model::Schema).GetObjectId();

  EXPECT_EQ(model.GetCMOObject()->GetChildIds(), (std::vector<int>{a, t, b, d}));
  EXPECT_EQ(model.GetCMOObject(a)->GetChildIds(), (std::vector<int>{c}));

  std::vector<int> ids{42, 43, 44};  // stale contents must go
  model.GetCMOObject()->GetChildrenByType(ids, model::Schema);
  EXPECT_EQ(ids, (std::vector<int>{a, b, d}));
  model.GetCMOObject()->GetChildrenByType(ids, model::TableSpace);
  EXPECT_EQ(ids, (std::vector<int>{t}));
  model.GetCMOObject()->GetChildrenByType(ids, model::Table);
  EXPECT_TRUE(ids.empty());
}

TEST(GenericModelTest, ReplacingAPropertyDeletesTheOldOneAndKeepsItsPlace) {
  int deaths = 0;
  {
    GenericModel model;
    CMOObject& table = model.CreateObject(model::Table);
    auto* firstName = new CountedProperty(model::Name, &deaths);
    firstName->SetWStringValue(u"orders");
    EXPECT_TRUE(table.SetProperty(firstName));
    EXPECT_TRUE(table.SetProperty(new CountedProperty(model::Comment, &deaths)));
    EXPECT_TRUE(table.SetProperty(new CountedProperty(model::TableKind, &deaths)));

    auto* secondName = new CountedProperty(model::Name, &deaths);
    secondName->SetWStringValue(u"orders_2024");
    EXPECT_TRUE(table.SetProperty(secondName));
    EXPECT_EQ(deaths, 1);  // the first name, once
    EXPECT_EQ(table.GetProperty(model::Name), secondName);
    EXPECT_EQ(table.GetProperty(model::Name)->GetWStringValue(), u"orders_2024");

    const auto& properties = table.GetProperties();
    ASSERT_EQ(properties.size(), 3u);
    EXPECT_EQ(properties[0]->GetPropertyId(), model::Name);
    EXPECT_EQ(properties[1]->GetPropertyId(), model::Comment);
    EXPECT_EQ(properties[2]->GetPropertyId(), model::TableKind);

    // Attaching the held property again must neither delete nor duplicate it.
    EXPECT_TRUE(table.SetProperty(secondName));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(table.GetProperties().size(), 3u);
    EXPECT_EQ(table.GetProperty(model::Name)->GetWStringValue(), u"orders_2024");

    EXPECT_FALSE(table.SetProperty(nullptr));
    EXPECT_EQ(table.GetProperty(model::DataType), nullptr);
  }
  EXPECT_EQ(deaths, 4);  // the model deleted the three it still held
}

TEST(GenericModelTest, PropertyValueKindsReplaceEachOther) {
  CMOProperty property(model::KeyColumns);
  property.SetWStringValue(u"x");
  property.SetObjectIdVectorValue({7, 3, 5});
  EXPECT_EQ(property.GetObjectIdVectorValue(), (std::vector<int>{7, 3, 5}));
  EXPECT_EQ(property.GetWStringValue(), u"");  // the text is gone, not left behind
  property.SetIntegerValue(-5'000'000'000LL);
  EXPECT_EQ(property.GetIntegerValue(), -5'000'000'000LL);
  EXPECT_TRUE(property.GetObjectIdVectorValue().empty());
}

TEST(GenericModelTest, ActivityLogAndUndoTracing) {
  GenericModel model;
  EXPECT_TRUE(model.IsUndoTracingOn());
  model.SetUndoTracingOff();
  EXPECT_FALSE(model.IsUndoTracingOn());

  model.EndActivity();  // nothing open: no effect, no underflow
  EXPECT_EQ(model.GetOpenActivityCount(), 0);
  model.BeginActivity(u"Reverse Engineer From DB");
  model.BeginActivity(u"inner");
  EXPECT_EQ(model.GetOpenActivityCount(), 2);
  model.EndActivity();
  EXPECT_EQ(model.GetOpenActivityCount(), 1);
  EXPECT_EQ(model.GetActivityLog(), (std::vector<std::u16string>{u"Reverse Engineer From DB", u"inner"}));

  model.PurgeActivityLog();
  EXPECT_TRUE(model.GetActivityLog().empty());
  EXPECT_EQ(model.GetOpenActivityCount(), 1);  // purging closes nothing
  model.EndActivity();
  model.EndActivity();
  EXPECT_EQ(model.GetOpenActivityCount(), 0);

  model.SetUndoTracingOn();
  EXPECT_TRUE(model.IsUndoTracingOn());
}

}  // namespace

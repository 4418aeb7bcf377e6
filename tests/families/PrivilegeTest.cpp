// Owners and grants (--with-privileges), a role of hostile name among them:
// read as the catalogue has them only when asked, and written again by the
// sql format where the roles exist but hold nothing.
#include <ImportHost.h>
#include "Families.h"

#include <compare/ModelDiff.h>
#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test {
namespace {

std::string TextOf(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? platform::Utf16ToUtf8(property->GetWStringValue()) : "";
}

// The model's owners and grants as the catalogue's lines give them.
std::vector<std::string> ModelPrivilegeLines(const GenericModel& model) {
  std::vector<std::string> lines;
  auto path = [&](const CMOObject* step) {
    std::string text = TextOf(*step, model::Name);
    while ((step = model.GetCMOObject(step->GetParentId()))->GetParentId() != 0)
      text = TextOf(*step, model::Name) + "." + text;
    return text;
  };
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject& object = *model.GetCMOObject(id);
    const int type = object.GetObjectType();
    if (!TextOf(object, model::Owner).empty() && type != model::TableSpace)
      lines.push_back("owner " + path(&object) + " " + TextOf(object, model::Owner));
    if (type != model::Grant) continue;
    const std::string grantable = ", " + TextOf(object, model::GrantOption) + ", ";
    const std::string privileges = TextOf(object, model::Privileges) + ", ";
    for (std::size_t start = 0, end; (end = privileges.find(", ", start)) != std::string::npos; start = end + 2) {
      const std::string privilege = privileges.substr(start, end - start);
      lines.push_back("grant " + path(model.GetCMOObject(object.GetParentId())) + " " + TextOf(object, model::Name) +
                      " " + privilege + (grantable.find(", " + privilege + ", ") != std::string::npos ? " *" : ""));
    }
  }
  return lines;
}

class PrivilegeTest : public ::testing::TestWithParam<const TestBackend*> {};

TEST_P(PrivilegeTest, OwnersAndGrantsAreReadWhenAskedAndWrittenAgain) {
  const TestBackend& backend = *GetParam();
  QM_REQUIRE_BACKEND(backend);
  LoadedPlugin plugin(backend.PluginPath().c_str());
  ASSERT_TRUE(plugin.Loaded());
  const std::unique_ptr<BackendDatabase> database = backend.Create("privileges");
  ASSERT_EQ(database->Load(backend.PrivilegesScript(database->Name(), true)), "");
  const std::vector<std::string> catalogue = database->PrivilegeLines();
  ASSERT_GE(std::count_if(catalogue.begin(), catalogue.end(), [](const std::string& l) { return l.starts_with("grant "); }),
            4);

  GenericModel plain(plugin.Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(plugin.Api(), plain, database->Source(), database->Scope())));
  QmConnectOptions asked;
  asked.withPrivileges = true;
  GenericModel model(plugin.Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(plugin.Api(), model, database->Source(), database->Scope(), asked)));
  EXPECT_EQ(LineDifference(catalogue, ModelPrivilegeLines(model)), "");
  for (int id = 2; id <= plain.GetObjectCount(); ++id)
    EXPECT_NE(plain.GetCMOObject(id)->GetObjectType(), model::Grant) << "a grant read without being asked for";
  EXPECT_TRUE(compare::DiffModels(plain, model).Empty());

  const std::string sql = SqlOf(model, plugin.Api().sqlDialect);
  ASSERT_EQ(database->Load(backend.PrivilegesScript(database->Name(), false)), "");
  std::string error;
  const std::unique_ptr<BackendDatabase> copy = database->Remake(sql, &error);
  ASSERT_NE(copy, nullptr) << error << "\n" << sql;
  EXPECT_EQ(LineDifference(catalogue, copy->PrivilegeLines()), "") << sql;
}

INSTANTIATE_TEST_SUITE_P(
    Backends, PrivilegeTest,
    ::testing::ValuesIn(BackendsWith([](const TestBackend& b) { return !b.PrivilegesScript("", false).empty(); })),
    BackendName);

}  // namespace
}  // namespace qm::test

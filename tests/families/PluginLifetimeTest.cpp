// Every backend's plug-in: loading alone registers nothing, Configure
// registers its tools and unloading takes them out, so that the registry
// never hands out a tool that is gone; the model outlives the plug-in.
#include <ImportHost.h>
#include "Families.h"

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

class PluginLifetimeTest : public ::testing::TestWithParam<const TestBackend*> {};

TEST_P(PluginLifetimeTest, RegistersFromFirstUseWhileLoadedAndItsModelOutlivesIt) {
  const TestBackend& backend = *GetParam();
  ImportToolsProvider* tools = ImportToolsProvider::Instance();
  {
    LoadedPlugin plugin(backend.PluginPath().c_str());
    ASSERT_TRUE(plugin.Loaded());
    EXPECT_EQ(plugin.Api().head.abiVersion, QM_PLUGIN_ABI_VERSION);
    EXPECT_EQ(plugin.Api().name, backend.Name());
    EXPECT_EQ(plugin.Api().modelType, backend.ModelType());
    EXPECT_EQ(tools->GetConnector(backend.ModelType()), nullptr);
    plugin.Api().Configure(u"", u"");
    EXPECT_NE(tools->GetConnector(backend.ModelType()), nullptr);
    EXPECT_NE(tools->GetReader(backend.ModelType()), nullptr);
    if (!plugin.Unload()) GTEST_SKIP() << "another handle keeps the plug-in loaded in this process";
    EXPECT_EQ(tools->GetConnector(backend.ModelType()), nullptr);
    EXPECT_EQ(tools->GetReader(backend.ModelType()), nullptr);
  }
  QM_REQUIRE_BACKEND(backend);
  const std::unique_ptr<BackendDatabase> database = backend.Create("lifetime");
  ASSERT_EQ(database->Load("CREATE TABLE t (a INT);\n"), "");
  LoadedPlugin plugin(backend.PluginPath().c_str());
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(plugin.Api(), model, database->Source(), database->Scope())));
  ASSERT_TRUE(plugin.Unload());
  const std::vector<std::string> expected = database->CatalogueLines();
  EXPECT_EQ(LineDifference(expected, database->ModelLines(model)), "");
  EXPECT_EQ(Names(AllOfType(model, model::Table)), std::vector<std::string>{"t"});
}

INSTANTIATE_TEST_SUITE_P(Plugins, PluginLifetimeTest, ::testing::ValuesIn(Backends()), BackendName);

}  // namespace
}  // namespace qm::test

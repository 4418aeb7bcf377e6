// Real applications' MySQL schemas, as Debian packages ship them
// (tests/data/schemas/<app>/mariadb.sql; where each comes from is in the
// mariadb.md beside it): each is loaded into a schema of its own, imported,
// and compared object by object with what information_schema says about it:
// no difference.
#include <ImportHost.h>
#include <RealSchemas.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <ModelWords.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <TempDir.h>

#include <gtest/gtest.h>

namespace qm::test::mariadb {
namespace {

struct RealSchema {
  const char* app;       // folder under tests/data/schemas
  const char* mustHave;  // line kinds the schema must yield, so that a schema that loaded nothing fails
};

const RealSchema kSchemas[] = {
    {"pdns", "table fk key index"},
    {"roundcube", "table fk key index"},
    {"icinga2-ido", "table key index"},
    {"mediawiki", "table key index"},
    {"freeradius", "table index view routine body"},
    {"bacula", "table key index"},
    {"gammu", "table key index"},
};

class MariaRealSchemaTest : public ::testing::TestWithParam<RealSchema> {
 protected:
  static void SetUpTestSuite() {
    if (MariaConnectionString()) s_plugin = std::make_unique<LoadedPlugin>(QM_MARIADB_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
  }
  void SetUp() override {
    QM_REQUIRE_MARIA();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  inline static std::unique_ptr<LoadedPlugin> s_plugin;
};

TEST_P(MariaRealSchemaTest, ImportMatchesTheCatalogueObjectByObject) {
  const RealSchema& schema = GetParam();
  const std::string sql = RealSchemaSql(schema.app, "mariadb");
  ASSERT_GT(sql.size(), 1000u) << "no fixture for " << schema.app;
  MariaDatabase database("app_" + Identifier(schema.app));
  ASSERT_EQ(RunMariaSql(database.Name(), sql), "");

  GenericModel model(s_plugin->Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(s_plugin->Api(), model, database.ConnectionString(), database.Name())));
  const std::vector<std::string> expected = MariaCatalogueLines({database.Name()});
  EXPECT_EQ(LineDifference(expected, MariaModelLines(model)), "");
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(MissingKinds(expected, schema.mustHave), "") << "kinds the schema should have and does not";
}

INSTANTIATE_TEST_SUITE_P(Apps, MariaRealSchemaTest, ::testing::ValuesIn(kSchemas),
                         [](const ::testing::TestParamInfo<RealSchema>& info) { return Identifier(info.param.app); });

}  // namespace
}  // namespace qm::test::mariadb

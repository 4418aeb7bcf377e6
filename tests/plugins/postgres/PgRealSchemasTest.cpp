// Real applications' PostgreSQL schemas, as Debian packages ship them
// (tests/data/schemas/<app>/postgres.sql; where each comes from is in the
// postgres.md beside it): each is loaded into a database of its own,
// imported, and compared object by object with what pg_catalog says about
// it (tables, columns with defaults and identity, keys, foreign keys with
// their actions and deferral, checks, indexes, views and their columns,
// triggers with their events, sequences, routines): no difference.
#include <ImportHost.h>
#include <RealSchemas.h>
#include <ModelWords.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <TempDir.h>

#include <gtest/gtest.h>

namespace qm::test::postgres {
namespace {

struct RealSchema {
  const char* app;        // folder under tests/data/schemas
  const char* mustHave;   // line kinds the schema must yield, so that a schema that loaded nothing fails
};

const RealSchema kSchemas[] = {
    {"pdns", "table fk check index"},
    {"roundcube", "table fk index sequence"},
    {"icinga2-ido", "table index routine"},
    {"mediawiki", "table key index"},
    {"kamailio", "table key index"},
    {"davical", "table fk trigger view routine"},
    {"gammu", "table trigger routine"},
    {"freeradius", "table index"},
};

class PgRealSchemaTest : public ::testing::TestWithParam<RealSchema> {
 protected:
  static void SetUpTestSuite() {
    if (PgConnectionString()) s_plugin = std::make_unique<LoadedPlugin>(QM_POSTGRES_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  inline static std::unique_ptr<LoadedPlugin> s_plugin;
};

TEST_P(PgRealSchemaTest, ImportMatchesTheCatalogueObjectByObject) {
  const RealSchema& schema = GetParam();
  const std::string sql = RealSchemaSql(schema.app, "postgres");
  ASSERT_GT(sql.size(), 1000u) << "no fixture for " << schema.app;
  TestDatabase database("app_" + Identifier(schema.app));
  // psql -q still prints what a script SELECTs; only a failure counts.
  ASSERT_EQ(RunPsql(database.Name(), sql), "");

  GenericModel model(s_plugin->Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(s_plugin->Api(), model, database.ConnectionString())));
  const std::vector<std::string> expected = PgCatalogueLines(database.Name());
  EXPECT_EQ(LineDifference(expected, PgModelLines(model)), "");
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(MissingKinds(expected, schema.mustHave), "") << "kinds the schema should have and does not";
}

INSTANTIATE_TEST_SUITE_P(Apps, PgRealSchemaTest, ::testing::ValuesIn(kSchemas),
                         [](const ::testing::TestParamInfo<RealSchema>& info) { return Identifier(info.param.app); });

}  // namespace
}  // namespace qm::test::postgres

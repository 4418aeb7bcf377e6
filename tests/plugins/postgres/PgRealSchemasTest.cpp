// Real applications' PostgreSQL schemas, as Debian packages ship them
// (tests/data/schemas/<app>/postgres.sql; where each comes from is in the
// postgres.md beside it): each is loaded into a database of its own,
// imported, and compared object by object with what pg_catalog says about
// it (tables, columns with defaults and identity, keys, foreign keys with
// their actions and deferral, checks, indexes, views and their columns,
// triggers with their events, sequences, routines): no difference.
#include <ImportHost.h>
#include <ModelWords.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <sstream>

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

std::string ReadFixture(const std::string& app) {
  return ReadFile(std::string(QM_SCHEMA_DIR) + "/" + app + "/postgres.sql");
}

class PgRealSchemaTest : public ::testing::TestWithParam<RealSchema> {
 protected:
  static void SetUpTestSuite() {
    if (PgConnectionString()) s_plugin = new LoadedPlugin(QM_POSTGRES_PLUGIN);
  }
  static void TearDownTestSuite() {
    delete s_plugin;
    s_plugin = nullptr;
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static LoadedPlugin* s_plugin;
};

LoadedPlugin* PgRealSchemaTest::s_plugin = nullptr;

TEST_P(PgRealSchemaTest, ImportMatchesTheCatalogueObjectByObject) {
  const RealSchema& schema = GetParam();
  const std::string sql = ReadFixture(schema.app);
  ASSERT_GT(sql.size(), 1000u) << "no fixture for " << schema.app;
  std::string tag = schema.app;
  for (char& ch : tag)
    if (ch == '-') ch = '_';
  TestDatabase database("app_" + tag);
  // psql -q still prints what a script SELECTs; only a failure counts.
  ASSERT_EQ(RunPsql(database.Name(), sql), "");

  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, database.ConnectionString());
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": " << Utf8(failed.diagnostic.message);
  const std::vector<std::string> expected = PgCatalogueLines(database.Name());
  EXPECT_EQ(LineDifference(expected, PgModelLines(model)), "");
  EXPECT_EQ(StructuralFaults(model), std::vector<std::string>());
  EXPECT_EQ(VocabularyFaults(model), std::vector<std::string>());

  std::istringstream kinds(schema.mustHave);
  for (std::string kind; kinds >> kind;) {
    std::size_t count = 0;
    for (const std::string& line : expected) count += line.rfind(kind + " ", 0) == 0;
    EXPECT_GT(count, 0u) << schema.app << " has no " << kind;
  }
}

INSTANTIATE_TEST_SUITE_P(Apps, PgRealSchemaTest, ::testing::ValuesIn(kSchemas),
                         [](const ::testing::TestParamInfo<RealSchema>& info) {
                           std::string name = info.param.app;
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace qm::test::postgres

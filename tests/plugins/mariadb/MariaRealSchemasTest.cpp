// Real applications' MySQL schemas, as Debian packages ship them
// (tests/data/schemas/<app>/mariadb.sql; where each comes from is in the
// mariadb.md beside it): each is loaded into a schema of its own, imported,
// and compared object by object with what information_schema says about it:
// no difference.
#include <ImportHost.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <ModelWords.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <sstream>

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

std::string ReadFixture(const std::string& app) {
  return ReadFile(std::string(QM_SCHEMA_DIR) + "/" + app + "/mariadb.sql");
}

std::string Tag(std::string app) {
  for (char& ch : app)
    if (ch == '-') ch = '_';
  return app;
}

class MariaRealSchemaTest : public ::testing::TestWithParam<RealSchema> {
 protected:
  static void SetUpTestSuite() {
    if (MariaConnectionString()) s_plugin = new LoadedPlugin(QM_MARIADB_PLUGIN);
  }
  static void TearDownTestSuite() {
    delete s_plugin;
    s_plugin = nullptr;
  }
  void SetUp() override {
    QM_REQUIRE_MARIA();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static LoadedPlugin* s_plugin;
};

LoadedPlugin* MariaRealSchemaTest::s_plugin = nullptr;

TEST_P(MariaRealSchemaTest, ImportMatchesTheCatalogueObjectByObject) {
  const RealSchema& schema = GetParam();
  const std::string sql = ReadFixture(schema.app);
  ASSERT_GT(sql.size(), 1000u) << "no fixture for " << schema.app;
  MariaDatabase database("app_" + Tag(schema.app));
  ASSERT_EQ(RunMariaSql(database.Name(), sql), "");

  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, database.ConnectionString(), database.Name());
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": " << Utf8(failed.diagnostic.message);
  const std::vector<std::string> expected = MariaCatalogueLines({database.Name()});
  EXPECT_EQ(LineDifference(expected, MariaModelLines(model)), "");
  EXPECT_EQ(StructuralFaults(model), std::vector<std::string>());
  EXPECT_EQ(VocabularyFaults(model), std::vector<std::string>());

  std::istringstream kinds(schema.mustHave);
  for (std::string kind; kinds >> kind;) {
    std::size_t count = 0;
    for (const std::string& line : expected) count += line.rfind(kind + " ", 0) == 0;
    EXPECT_GT(count, 0u) << schema.app << " has no " << kind;
  }
}

INSTANTIATE_TEST_SUITE_P(Apps, MariaRealSchemaTest, ::testing::ValuesIn(kSchemas),
                         [](const ::testing::TestParamInfo<RealSchema>& info) { return Tag(info.param.app); });

}  // namespace
}  // namespace qm::test::mariadb

// Real applications' MySQL schemas, as Debian packages ship them
// (tests/data/schemas/<app>/mariadb.sql; where each comes from is in the
// mariadb.md beside it): each is loaded into a schema of its own, imported,
// and compared object by object with what information_schema says about it:
// no difference. Then quillmere-import reads one through the connection
// string's Driver alone and prints it as a tree.
#include <ImportHost.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <ModelWords.h>
#include <Subprocess.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <fstream>
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
  std::ifstream in(std::string(QM_SCHEMA_DIR) + "/" + app + "/mariadb.sql", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
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

// The command line picks the plug-in by the connection string's Driver and
// prints the schema as a tree: every table of the application with its
// columns, keys and foreign keys.
TEST(MariaCommandLineTest, ConnectByDriverPrintsTheTree) {
  QM_REQUIRE_MARIA();
  MariaDatabase database("app_cli");
  ASSERT_EQ(RunMariaSql(database.Name(), ReadFixture("roundcube")), "");
  const std::string connect = database.ConnectionString();
  ASSERT_EQ(connect.rfind("Driver={MariaDB Unicode};Server=127.0.0.1;", 0), 0u) << "the test server's string changed";
  const ProcessResult result =
      RunProcess(QM_IMPORT_EXE, {"--connect", connect, "--schema", database.Name(), "--format", "tree", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(result.err, "");
  const std::vector<std::string> tables = MariaQueryColumn(
      "SELECT TABLE_NAME AS v FROM information_schema.TABLES WHERE TABLE_SCHEMA = " + MariaLiteral(database.Name()));
  ASSERT_GT(tables.size(), 10u);
  for (const std::string& table : tables) EXPECT_NE(result.out.find(table), std::string::npos) << table;
  for (const char* part : {"users", "user_id", "email", "ON DELETE CASCADE", "primary key PRIMARY (user_id)"})
    EXPECT_NE(result.out.find(part), std::string::npos) << part << "\n" << result.out;
  const char* password = std::getenv("QM_MARIA_PASSWORD");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(result.out.find(password), std::string::npos);
}

}  // namespace
}  // namespace qm::test::mariadb

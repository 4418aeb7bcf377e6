// Real applications' SQLite schemas (tests/data/schemas/<app>/sqlite.sql,
// as Debian ships them), each loaded into a real file and imported through
// the real driver manager and SQLite3 ODBC driver: the model must say
// exactly what SQLite says about the file, object by object
// (SqliteCatalogue.h), with no statement failing.
#include <ImportHost.h>
#include <RealSchemas.h>
#include <ModelWords.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test::sqlite {
namespace {

// How many lines of the kind ("table", "foreign key", ...) hold the text.
std::size_t Count(const std::vector<std::string>& lines, const std::string& kind, const std::string& part = {}) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.compare(0, kind.size() + 3, kind + " | ") == 0 && line.find(part) != std::string::npos;
  }));
}

// What a schema is in the suite for, as catalogue lines: at least `count`
// lines of the kind hold the text.
struct Feature {
  const char* application;
  const char* kind;
  const char* part;
  std::size_t count;
};
const Feature kFeatures[] = {
    {"django", "foreign key", "| deferred 1", 12},  // every key of the contrib tables
    // SQLite names an unnamed check after its text, read as a name.
    {"django", "check", "django_admin_log | action_flag", 1},
    {"gammu", "check", " IN ", 5},
    {"gammu", "trigger", "CREATE TRIGGER", 4},
    {"freeradius", "view", "CREATE VIEW", 1},
    {"freeradius", "column", "radacct_with_reloads | ", 20},
    {"mediawiki", "table", "| virtual table |", 1},
    {"mediawiki", "column", "searchindex | ", 2},
    {"roundcube", "foreign key", "ON DELETE CASCADE", 12},
    {"bacula", "foreign key", "| deferred 0", 20},
    {"kamailio", "key", "| sqlite_autoindex_", 36},
};

class SqliteSchemaSuite : public ::testing::TestWithParam<std::string> {
 protected:
  static LoadedPlugin& Plugin() {
    static LoadedPlugin plugin(QM_SQLITE_PLUGIN);
    return plugin;
  }
};

TEST_P(SqliteSchemaSuite, ModelSaysWhatSqliteSays) {
  ASSERT_TRUE(Plugin().Loaded());
  TempDir dir;
  const std::string path = dir.Path(GetParam() + ".db");
  SqliteFile(path).Exec(RealSchemaSql(GetParam(), "sqlite"));
  const std::vector<std::string> expected = SqliteCatalogueLines(path);
  ASSERT_GE(Count(expected, "table"), 5u);
  ASSERT_GE(Count(expected, "column"), 20u);

  GenericModel model(Plugin().Api().modelType);
  const ImportOutcome outcome = RunImport(Plugin().Api(), model, path);
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(LineDifference(expected, SqliteModelLines(model, outcome.failed)), "");

  for (const Feature& feature : kFeatures) {
    if (GetParam() == feature.application) {
      EXPECT_GE(Count(expected, feature.kind, feature.part), feature.count) << feature.kind << " / " << feature.part;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Debian, SqliteSchemaSuite, ::testing::ValuesIn(RealSchemaApps("sqlite")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// The suite holds the schemas it was made with.
TEST(SqliteSchemaSuiteData, HoldsEveryApplication) {
  const std::vector<std::string> applications = RealSchemaApps("sqlite");
  for (const char* name : {"bacula", "django", "freeradius", "gammu", "kamailio", "mediawiki", "pdns", "roundcube"})
    EXPECT_NE(std::find(applications.begin(), applications.end(), name), applications.end()) << name;
}

}  // namespace
}  // namespace qm::test::sqlite

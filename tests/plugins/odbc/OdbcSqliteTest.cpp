// The generic plug-in over the SQLite3 ODBC driver, on a database the
// catalogue functions find nothing in. (What they report becomes the model:
// OdbcPostgresTest.cpp; its agreement with the SQLite plug-in on real
// schemas: tests/families/SchemaTest.cpp.)
#include <ModelComparison.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

namespace qm::test::odbc {
namespace {

LoadedPlugin& Generic() {
  static LoadedPlugin plugin(QM_ODBC_PLUGIN);
  return plugin;
}

TEST(OdbcSqliteTest, AnEmptyDatabaseIsSaidToHaveNothing) {
  ASSERT_TRUE(Generic().Loaded());
  TempDir dir;
  const std::string path = dir.Path("empty.db");
  SqliteFile(path).Exec("CREATE TABLE gone(x); DROP TABLE gone;");
  Notices notices;
  GenericModel model(Generic().Api().modelType);
  const ImportOutcome outcome = RunImport(Generic().Api(), model, "Driver={SQLite3};Database=" + path, "", notices.Options());
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{"the driver reported no tables or views"});
  EXPECT_TRUE(AllOfType(model, model::Table).empty());
}

}  // namespace
}  // namespace qm::test::odbc

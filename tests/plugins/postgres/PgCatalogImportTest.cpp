// PostgreSQL's own catalogue, information_schema and pg_catalog, named in
// the scope: thousands of routines and their arguments, system views with
// long definitions, types the driver has no plain mapping for. The import
// finishes without a failed statement and its counts match pg_catalog's.
#include "PgTestSupport.h"

#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <memory>

namespace qm::test::postgres {
namespace {

TEST(PgCatalogImport, SystemSchemasImportCompletelyAndMatchTheCatalogCounts) {
  QM_REQUIRE_PG();
  TestDatabase database("catalog");
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.Loaded());

  GenericModel model(plugin.Api().modelType);
  const ImportOutcome outcome =
      RunImport(plugin.Api(), model, database.ConnectionString(), "information_schema,pg_catalog");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": [" << Utf8(failed.diagnostic.sqlState) << "] "
                  << Utf8(failed.diagnostic.message);

  std::unique_ptr<PgConnection> pg = database.Connect();
  const std::string inScope = " n.nspname IN ('information_schema', 'pg_catalog') ";
  auto count = [&](const std::string& sql) { return std::stoll(pg->Scalar(sql)); };
  const long long tables = count(
      "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('r', 'p') AND" + inScope);
  const long long views = count(
      "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('v', 'm') AND" + inScope);
  const long long columns = count(
      "SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
      "JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped AND" + inScope);
  const long long routines = count(
      "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE" + inScope);
  const long long functions = count(
      "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
      "WHERE p.prokind = 'f' AND" + inScope);

  ASSERT_GT(routines, 2000);
  EXPECT_EQ(static_cast<long long>(AllOfType(model, model::Table).size()), tables);
  EXPECT_EQ(static_cast<long long>(AllOfType(model, model::View).size()), views);
  EXPECT_EQ(static_cast<long long>(AllOfType(model, model::Column).size()), columns);
  EXPECT_EQ(static_cast<long long>(AllOfType(model, model::Routine).size()), routines);
  long long modelFunctions = 0;
  for (CMOObject* routine : AllOfType(model, model::Routine))
    if (Text(*routine, model::RoutineKind) == "function") ++modelFunctions;
  EXPECT_EQ(modelFunctions, functions);

  // Shared catalogues live in pg_global: the tablespace link is there.
  CMOObject* catalog = Child(model, *model.GetCMOObject(), model::Schema, u"pg_catalog");
  ASSERT_NE(catalog, nullptr);
  CMOObject* databases = Child(model, *catalog, model::Table, u"pg_database");
  ASSERT_NE(databases, nullptr);
  EXPECT_EQ(NameList(model, Ids(*databases, model::TableSpaceRef)), "pg_global");
  // A system view's definition, compared whole.
  CMOObject* tablesView = Child(model, *catalog, model::View, u"pg_tables");
  ASSERT_NE(tablesView, nullptr);
  EXPECT_EQ(Text(*tablesView, model::Definition), pg->Scalar("SELECT pg_get_viewdef('pg_catalog.pg_tables'::regclass)"));
  // Every routine's argument list reads as the server writes it.
  std::vector<std::string> expected = pg->Column(
      "SELECT n.nspname || '.' || p.proname || '(' || pg_get_function_arguments(p.oid) || ')' "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE" + inScope);
  std::vector<std::string> actual;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema))
    for (CMOObject* routine : Children(model, *schema, model::Routine))
      actual.push_back(Name(*schema) + "." + Name(*routine) + "(" + Text(*routine, model::ParameterList) + ")");
  EXPECT_EQ(LineDifference(expected, actual), "");
}

}  // namespace
}  // namespace qm::test::postgres

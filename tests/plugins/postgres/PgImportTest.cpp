// The PostgreSQL plug-in importing the shop: what the catalogue's lines do
// not show, scopes, and faults from the real server (the statement hook
// only chooses the moment).
#include "PgConnector.h"
#include "PgText.h"

#include <ImportHost.h>
#include <ModelWords.h>
#include <OdbcFaults.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <TestBackend.h>

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::postgres {
namespace {

using Strings = std::vector<std::string>;

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

constexpr char kPostgres[] = "postgres";

class PgImportTest : public ShopSuite<kPostgres> {
 protected:
  static ImportOutcome Import(GenericModel& model, const std::string& scope = {}) {
    return RunImport(s_plugin->Api(), model, s_database->ConnectionString(), scope);
  }
  // The relation (table or view) of a schema, or null.
  static CMOObject* Relation(GenericModel& model, std::string_view schema, std::string_view name) {
    CMOObject* schemaObject = Child(model, *model.GetCMOObject(), model::Schema, schema);
    if (schemaObject == nullptr) return nullptr;
    if (CMOObject* table = Child(model, *schemaObject, model::Table, name)) return table;
    return Child(model, *schemaObject, model::View, name);
  }
};

// The host heard of each kind with its count. (Narrow text through the
// ANSI driver: tests/module/reader/FetchSuite.cpp.)
TEST_F(PgImportTest, ProgressCountsEveryKind) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), s_database->Name());
  EXPECT_FALSE(Text(*model.GetCMOObject(), model::ServerName).empty());
  std::map<int, long long> finished = ProgressCounts(outcome);  // object type -> the count posted last
  EXPECT_TRUE(outcome.finishedPosted);
  const int types[] = {model::TableSpace, model::Schema, model::UserType, model::Sequence, model::Table,
                       model::View, model::Column, model::Key, model::CheckConstraint, model::ForeignKey,
                       model::Index, model::Partition, model::Trigger, model::Routine, model::Parameter};
  for (int type : types) {
    EXPECT_EQ(finished[type], static_cast<long long>(AllOfType(model, type).size())) << model::ObjectTypeName(type);
    EXPECT_GT(finished[type], 0) << model::ObjectTypeName(type);
  }
  EXPECT_EQ(finished.size(), std::size(types));
}

TEST_F(PgImportTest, DetailsBeyondTheCatalogLines) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_EQ(Import(model).status, ImportStatusConnected);
  struct Fact {
    const char* relation;  // in schema shop; null: the object is a child of the schema
    int type;
    const char* name;
    int property;
    std::string value;  // as Value gives it
  };
  const Fact facts[] = {
      {nullptr, model::UserType, "posint", model::Nullable, "0"},
      {nullptr, model::UserType, "posint", model::DefaultValue, "1"},
      {nullptr, model::UserType, "posint", model::CheckExpression, "CHECK ((VALUE < 1000000)) CHECK ((VALUE > 0))"},
      // Several pieces of the transfer buffer, whatever the text's encoding.
      {nullptr, model::Routine, "f_long", model::SqlText, QueryValue(s_database->Name(), "SELECT pg_get_functiondef('shop.f_long'::regproc)")},
      // Partitions: the values of the bound (the clause is in the catalogue's
      // lines, as the partition table's bound).
      {"regions", model::Partition, "regions_north", model::PartitionBound, "'north','it''s','NULL'"},
      {"regions", model::Partition, "regions_rest", model::PartitionBound, "<absent>"},
      {"events", model::Partition, "events_2020", model::PartitionBound, "'2020-01-01','2021-01-01'"},
      {"events", model::Partition, "events_old", model::PartitionBound, "'MINVALUE','2020-01-01'"},
      {"buckets", model::Partition, "buckets_1", model::PartitionBound, "'modulus 2','remainder 1'"},
      {"buckets", model::Partition, "buckets_0", model::PartitionBound, "'modulus 2','remainder 0'"},
  };
  CMOObject* shop = Child(model, *model.GetCMOObject(), model::Schema, "shop");
  ASSERT_NE(shop, nullptr);
  for (const Fact& fact : facts) {
    SCOPED_TRACE(std::string(fact.name) + " / " + model::PropertyName(fact.property));
    CMOObject* parent = fact.relation != nullptr ? Relation(model, "shop", fact.relation) : shop;
    ASSERT_NE(parent, nullptr);
    CMOObject* object = Child(model, *parent, fact.type, fact.name);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Value(model, *object, fact.property), fact.value);
  }
  // The shop's own tablespace is in the catalogue's lines (SchemaTest);
  // the built-in ones are objects too.
  const Strings spaces = Names(Children(model, *model.GetCMOObject(), model::TableSpace));
  EXPECT_NE(std::find(spaces.begin(), spaces.end(), "pg_default"), spaces.end());
  EXPECT_NE(std::find(spaces.begin(), spaces.end(), "pg_global"), spaces.end());
}

TEST_F(PgImportTest, TheScopeNamesTheSchemasAndLinksOutsideItAreLeftOpen) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model, "quote's \"q\" ünï, Mixed Case");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  Strings schemas = Names(Children(model, *model.GetCMOObject(), model::Schema));
  std::sort(schemas.begin(), schemas.end());
  EXPECT_EQ(schemas, (Strings{"Mixed Case", "quote's \"q\" ünï"}));

  // The foreign key to shop.customer keeps its clause but no link.
  CMOObject* table = Relation(model, "Mixed Case", "Täble \"Q\"");
  ASSERT_NE(table, nullptr);
  const std::vector<CMOObject*> fks = Children(model, *table, model::ForeignKey);
  ASSERT_EQ(fks.size(), 1u);
  EXPECT_TRUE(Ids(*fks[0], model::ReferencedTable).empty());
  EXPECT_EQ(Text(*fks[0], model::Definition), "FOREIGN KEY (\"CamelCol\") REFERENCES shop.customer(id)");
  // A partition whose parent is outside the scope has its bound only.
  CMOObject* partition = Relation(model, "Mixed Case", "buckets_0");
  ASSERT_NE(partition, nullptr);
  EXPECT_TRUE(Ids(*partition, model::PartitionOf).empty());
  EXPECT_EQ(Text(*partition, model::PartitionBound), "FOR VALUES WITH (modulus 2, remainder 0)");
  EXPECT_TRUE(AllOfType(model, model::Partition).empty());

  const std::string tables = QueryValue(s_database->Name(),
      "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('r', 'p') AND n.nspname IN ('Mixed Case', 'quote''s \"q\" ünï')");
  EXPECT_EQ(std::to_string(AllOfType(model, model::Table).size()), tables);

  // A schema that is not there is refused by name, also one of other case or that would break out of a literal.
  const std::pair<const char*, std::u16string_view> refused[] = {
      {"PUBLIC", u"no schema named \"PUBLIC\" (there is \"public\")"},
      {"public,x') OR true --", u"no schema named \"x') OR true --\""},
  };
  for (const auto& [scope, expected] : refused) {
    GenericModel none(s_plugin->Api().modelType);
    const ImportOutcome outcome = Import(none, scope);
    EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
    EXPECT_EQ(outcome.connectError.origin, OdbcDiagnostic::Origin::Plugin);
    EXPECT_EQ(outcome.connectError.sqlState, kNoSuchSchemaState);
    EXPECT_TRUE(Contains(outcome.connectError.message, expected)) << Utf8(outcome.connectError.message);
    EXPECT_EQ(none.GetObjectCount(), 1);
  }
}

// The fetch delivers integer columns as 32-bit signed values; an oid of
// 2^31 or more comes back negative. Shifting the oids of the relations that
// statements return (consistently, in every statement) puts them there: the
// columns, keys, indexes and triggers must still find their tables.
TEST_F(PgImportTest, OidsAbove2To31StillLinkObjects) {
  const std::pair<std::u16string, std::u16string> shifts[] = {
      {u"c.oid AS table_oid", u"(c.oid::int8 + 3000000000)::oid AS table_oid"},
      {u"c.oid AS view_oid", u"(c.oid::int8 + 3000000000)::oid AS view_oid"},
      {u"c.oid AS sequence_oid", u"(c.oid::int8 + 3000000000)::oid AS sequence_oid"},
      {u"a.attrelid AS table_oid", u"(a.attrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"ad.adrelid AS table_oid", u"(ad.adrelid::int8 + 3000000000)::oid AS table_oid"},
      // The final check of which relations still exist.
      {u"'r' || c.oid", u"'r' || (c.oid::int8 + 3000000000)::oid"},
      {u"k.conrelid AS table_oid", u"(k.conrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"k.confrelid AS referenced_table_oid", u"(k.confrelid::int8 + 3000000000)::oid AS referenced_table_oid"},
      {u"i.indrelid AS table_oid", u"(i.indrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"t.tgrelid AS table_oid", u"(t.tgrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"c.oid AS partition_oid", u"(c.oid::int8 + 3000000000)::oid AS partition_oid"},
      {u"inh.inhparent AS parent_oid", u"(inh.inhparent::int8 + 3000000000)::oid AS parent_oid"},
  };
  int rewritten = 0;
  odbc::Install shift({.beforeExecute = [&](void*, const std::u16string& statement) -> std::optional<std::u16string> {
    std::u16string text = statement;
    for (const auto& [from, to] : shifts)
      for (std::size_t pos = text.find(from); pos != std::u16string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
        ++rewritten;
      }
    if (text == statement) return std::nullopt;
    return text;
  }});
  GenericModel shifted(s_plugin->Api().modelType);
  ASSERT_EQ(Import(shifted).status, ImportStatusConnected);
  EXPECT_GE(rewritten, 12);
  EXPECT_EQ(LineDifference(PgCatalogueLines(s_database->Name()), PgModelLines(shifted)), "");
}

TEST_F(PgImportTest, AStatementTheServerRefusesCostsOnlyItsOwnObjects) {
  // A write in place of the check constraints: the import's read-only
  // transaction refuses it.
  odbc::Install write({.beforeExecute = [](void*, const std::u16string& statement) -> std::optional<std::u16string> {
    if (!Contains(statement, u"k.contype = 'c'")) return std::nullopt;
    return u"CREATE TABLE public.written_by_import (x integer)";
  }});
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  ASSERT_EQ(outcome.failed.size(), 1u);
  EXPECT_EQ(outcome.failed[0].name, u"check constraints");
  EXPECT_EQ(outcome.failed[0].diagnostic.sqlState, u"25006");
  // The statements after it ran in a transaction that was not left
  // aborted: everything but the checks is there.
  Strings expected;
  for (const std::string& line : PgCatalogueLines(s_database->Name()))
    if (line.rfind("check ", 0) != 0) expected.push_back(line);
  EXPECT_TRUE(AllOfType(model, model::CheckConstraint).empty());
  EXPECT_EQ(LineDifference(expected, PgModelLines(model)), "");
  EXPECT_EQ(QueryValue(s_database->Name(), "SELECT count(*) FROM pg_class WHERE relname = 'written_by_import'"), "0");
}

// Each statement reads a snapshot of its own. Objects made after the
// tables were read: the table is not there, nor any of its columns (no
// column without its table); the function, read by a later statement, is
// there whole, with its parameter.
TEST_F(PgImportTest, ObjectsMadeDuringTheImportAreWholeOrAbsent) {
  std::string created;  // psql's complaint, or "" once the objects are made
  odbc::Install late({.afterExecute = [&](void*, const std::u16string& statement) {
    if (created.empty() && Contains(statement, u"c.relkind IN ('r', 'p') ORDER BY"))
      created = "made:" + RunPsql(s_database->Name(), "CREATE TABLE public.late_table (late_column integer DEFAULT 3);\n"
                                                      "CREATE FUNCTION public.late(x integer) RETURNS integer "
                                                      "LANGUAGE sql AS $f$ SELECT x $f$;\n");
  }});
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  RunPsql(s_database->Name(), "DROP FUNCTION public.late(integer);\nDROP TABLE public.late_table;\n");
  ASSERT_EQ(created, "made:");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(Relation(model, "public", "late_table"), nullptr);
  for (CMOObject* column : AllOfType(model, model::Column)) EXPECT_NE(Name(*column), "late_column") << "a column without its table";
  CMOObject* publicSchema = Child(model, *model.GetCMOObject(), model::Schema, "public");
  ASSERT_NE(publicSchema, nullptr);
  CMOObject* routine = Child(model, *publicSchema, model::Routine, "late");
  ASSERT_NE(routine, nullptr);
  EXPECT_EQ(Text(*routine, model::ParameterList), "x integer");
  EXPECT_EQ(Names(Children(model, *routine, model::Parameter)), Strings{"x"});
  EXPECT_EQ(StructuralFaults(model), Strings());
}

// Results come from a server-side cursor when the largest result in scope
// may be large, whole when it is small, as the user's UseDeclareFetch says
// if given (seen from the server during the columns' fetch); same model.
TEST(PgResultBatches, ALargeCatalogueComesInBatchesASmallOneWhole) {
  QM_REQUIRE_PG();
  TestDatabase database("batches");
  // Wide tables: more columns in all than the connector takes whole.
  const int tables = qm::postgres::PgConnector::kBatchedRows / 1600 + 1;
  ASSERT_EQ(RunPsql(database.Name(), "CREATE SCHEMA small;\nCREATE TABLE small.t (a integer PRIMARY KEY, b text);\n"
                                     "DO $$ BEGIN FOR i IN 1.." + std::to_string(tables) + " LOOP "
                                     "EXECUTE 'CREATE TABLE public.wide' || i || ' (' || (SELECT string_agg('c' || k "
                                     "|| ' integer', ', ') FROM generate_series(1, 1600) k) || ')'; END LOOP; END $$;\n"),
            "");
  LoadedPlugin plugin(QM_POSTGRES_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  struct Case {
    const char* scope;
    const char* extra;  // appended to the connection string
    bool batched;
  };
  const Case cases[] = {
      {"small", "", false},
      {"public", "", true},
      {"public", ";UseDeclareFetch=0", false},
      {"small", ";UseDeclareFetch=1", true},
  };
  std::map<std::string, Strings> models;  // scope -> model lines
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scope) + c.extra);
    void* columns = nullptr;
    std::string query;  // the session's latest query as the server had it during the first fetch
    odbc::Install watch({.afterExecute = [&](void* statement, const std::u16string& text) {
                           if (Contains(text, u"a.attname AS column_name")) columns = statement;
                         },
                         .beforeFetch = [&](void* statement) {
                           if (statement != columns || !query.empty()) return;
                           query = QueryValue(database.Name(),
                                              "SELECT lower(query) FROM pg_stat_activity WHERE datname = "
                                              "current_database() AND pid <> pg_backend_pid() AND backend_type = "
                                              "'client backend'");
                         }});
    GenericModel model(plugin.Api().modelType);
    const ImportOutcome outcome = RunImport(plugin.Api(), model, database.ConnectionString() + c.extra, c.scope);
    ASSERT_EQ(outcome.status, ImportStatusConnected);
    EXPECT_TRUE(outcome.failed.empty());
    ASSERT_FALSE(query.empty()) << "the columns were never fetched";
    // psqlODBC declares the cursor and fetches from it in batches.
    const bool cursor = query.find(" cursor with hold for select") != std::string::npos || query.starts_with("fetch ");
    EXPECT_EQ(cursor, c.batched) << query;
    const Strings lines = PgModelLines(model);
    const auto [known, added] = models.emplace(c.scope, lines);
    if (!added) {
      EXPECT_EQ(LineDifference(known->second, lines), "");
    }
  }
  EXPECT_EQ(std::count_if(models["public"].begin(), models["public"].end(),
                          [](const std::string& line) { return line.starts_with("column "); }),
            tables * 1600);
}

// A scope that holds nothing: only the statements that can find something
// are sent, and the model holds the schema all the same.
TEST_F(PgImportTest, AnEmptyScopeSendsOnlyTheStatementsThatCanFindSomething) {
  ASSERT_EQ(RunPsql(s_database->Name(), "CREATE SCHEMA IF NOT EXISTS nothing_here;\n"), "");
  odbc::ClearExecuted();
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model, "nothing_here");
  const std::vector<std::u16string> sent = odbc::Executed();
  RunPsql(s_database->Name(), "DROP SCHEMA nothing_here;\n");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  Strings starts;
  for (const std::u16string& text : sent) starts.push_back(Utf8(text.substr(0, text.find(u" AS "))));
  EXPECT_EQ(starts, (Strings{"SELECT pg_catalog.current_setting('server_version_num') || ' ' || (SELECT "
                             "pg_catalog.concat_ws(' ', GREATEST(r.attributes, r.relations, p.arguments, p.routines), "
                             "r.sequences, r.tables, r.views, t.types, p.routines) FROM (SELECT pg_catalog.count(*)",
                             "SELECT n.nspname", "SELECT t.oid", "SELECT n.oid"}));
  const std::vector<CMOObject*> schemas = AllOfType(model, model::Schema);
  ASSERT_EQ(schemas.size(), 1u);
  EXPECT_EQ(Name(*schemas[0]), "nothing_here");
  EXPECT_TRUE(AllOfType(model, model::Table).empty());
  // Every statement's progress is posted, sent or not.
  GenericModel whole(s_plugin->Api().modelType);
  const ImportOutcome full = Import(whole);
  const auto progress = [](const ImportOutcome& o) {
    return std::count_if(o.messages.begin(), o.messages.end(),
                         [](const MSG& message) { return message.message == WM_IMPORT_PROGRESS; });
  };
  EXPECT_EQ(progress(outcome), progress(full));
  EXPECT_GT(progress(full), 17);
}

// PostgreSQL's own catalogue in the scope (thousands of routines, long
// view definitions, types the driver cannot map): counts match pg_catalog's.
TEST_F(PgImportTest, SystemSchemasImportCompletelyAndMatchTheCatalogCounts) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model, "information_schema,pg_catalog");
  ASSERT_TRUE(ReadInFull(outcome));

  const auto scalar = [&](const std::string& query) { return QueryValue(s_database->Name(), query); };
  const std::string inScope = " n.nspname IN ('information_schema', 'pg_catalog')";
  const std::string relations = "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE";
  const std::string routines = "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE";
  long long modelFunctions = 0;
  for (CMOObject* routine : AllOfType(model, model::Routine)) modelFunctions += Text(*routine, model::RoutineKind) == "function";
  ASSERT_GT(std::stoll(scalar(routines + inScope)), 2000);
  EXPECT_EQ(std::to_string(AllOfType(model, model::Table).size()), scalar(relations + " c.relkind IN ('r', 'p') AND" + inScope));
  EXPECT_EQ(std::to_string(AllOfType(model, model::View).size()), scalar(relations + " c.relkind IN ('v', 'm') AND" + inScope));
  EXPECT_EQ(std::to_string(AllOfType(model, model::Column).size()),
            scalar("SELECT count(*) FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n "
                       "ON n.oid = c.relnamespace WHERE c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 "
                       "AND NOT a.attisdropped AND" + inScope));
  EXPECT_EQ(std::to_string(AllOfType(model, model::Routine).size()), scalar(routines + inScope));
  EXPECT_EQ(std::to_string(modelFunctions), scalar(routines + " p.prokind = 'f' AND" + inScope));

  // Shared catalogues live in the built-in tablespace pg_global.
  CMOObject* databases = Relation(model, "pg_catalog", "pg_database");
  ASSERT_NE(databases, nullptr);
  EXPECT_EQ(NameList(model, Ids(*databases, model::TableSpaceRef)), "pg_global");
  CMOObject* tablesView = Relation(model, "pg_catalog", "pg_tables");
  ASSERT_NE(tablesView, nullptr);
  EXPECT_EQ(Text(*tablesView, model::Definition), scalar("SELECT pg_get_viewdef('pg_catalog.pg_tables'::regclass)"));
  const Strings expected = QueryColumn(s_database->Name(),
      "SELECT n.nspname || '.' || p.proname || '(' || pg_get_function_arguments(p.oid) || ')' "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE" + inScope);
  Strings actual;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema))
    for (CMOObject* routine : Children(model, *schema, model::Routine))
      actual.push_back(Name(*schema) + "." + Name(*routine) + "(" + Text(*routine, model::ParameterList) + ")");
  EXPECT_EQ(LineDifference(expected, actual), "");
}

}  // namespace
}  // namespace qm::test::postgres

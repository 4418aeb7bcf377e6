// The PostgreSQL plug-in on a server other sessions use: DDL churn while
// imports run, and a role for which pg_attrdef is closed (a query failing
// inside the import's transaction, the plug-in's own and the driver's).
#include <ImportHost.h>
#include <OdbcFaults.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <Subprocess.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>

namespace qm::test::postgres {
namespace {

using Strings = std::vector<std::string>;

// The lines whose object is in the schema (the text after the kind word
// starts with "schema.", or is the schema itself).
Strings InSchema(const Strings& lines, const std::string& schema) {
  Strings kept;
  for (const std::string& line : lines) {
    const std::size_t space = line.find(' ');
    const std::string rest = line.substr(space + 1);
    if (rest.rfind(schema + ".", 0) == 0 || rest.rfind(schema + " ", 0) == 0) kept.push_back(line);
  }
  return kept;
}

// ---- Concurrent DDL.

// Objects no other session touches: every kind the churn also makes, with
// a view and a trigger function the churn does not use.
const char* const kStableSchema = R"sql(
CREATE SCHEMA stable;
CREATE FUNCTION stable.touch() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN RETURN NEW; END $f$;
CREATE TABLE stable.customer (id integer PRIMARY KEY, name text NOT NULL DEFAULT 'nobody',
  score numeric(8,2) CHECK (score >= 0), email text UNIQUE);
CREATE TABLE stable.orders (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  customer_id integer REFERENCES stable.customer (id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
  qty integer DEFAULT 1, total numeric GENERATED ALWAYS AS (qty * 2) STORED);
CREATE INDEX orders_qty ON stable.orders (qty) WHERE qty > 0;
CREATE TRIGGER orders_touch BEFORE UPDATE OF qty, customer_id ON stable.orders
  FOR EACH ROW EXECUTE FUNCTION stable.touch();
CREATE VIEW stable.big_orders AS SELECT id, customer_id, qty FROM stable.orders WHERE qty > 10;
CREATE SEQUENCE stable.counter START 5;
CREATE SCHEMA churn;
)sql";

// Rounds after which the churn drops what it made.
constexpr int kLifetime = 12;

// One round of a churn whose names start with `p`: table i and its view
// made whole in one transaction; every kLifetime rounds, older ones dropped
// one by one, in bursts as in a migration, so that a statement's attempts,
// run one right after the other, meet drops.
std::string ChurnRound(const std::string& p, int i) {
  const std::string n = p + std::to_string(i);
  const std::string t = "churn." + n;
  std::string sql =
      "BEGIN;\nCREATE TABLE " + t + " (id integer PRIMARY KEY, a integer NOT NULL DEFAULT 7 CHECK (a > 0), b text, "
      "ref integer" + (i > 1 ? " REFERENCES churn." + p + std::to_string(i - 1) + " (id) ON DELETE SET NULL" : std::string()) +
      ");\nCREATE INDEX " + n + "_b ON " + t + " (b);\n"
      "CREATE TRIGGER " + n + "_touch AFTER UPDATE OF a, b ON " + t + " FOR EACH ROW EXECUTE FUNCTION stable.touch();\n"
      "CREATE VIEW churn.v" + n + " AS SELECT id, a, b FROM " + t + " WHERE a > 1;\n";
  if (i > 1) sql += "ALTER TABLE churn." + p + std::to_string(i - 1) + " ADD COLUMN extra integer;\n";
  sql += "COMMIT;\n";
  if (i % kLifetime == 0 && i > kLifetime)
    for (int k = i - 2 * kLifetime + 1; k <= i - kLifetime; ++k) {
      const std::string old = p + std::to_string(k);
      sql += "DROP VIEW churn.v" + old + ";\nDROP TABLE churn." + old + " CASCADE;\n";
    }
  return sql;
}

// What is wrong with a churn table or view the model holds: it must be
// whole, as one of the states the churn left it in.
std::string ChurnObjectFault(GenericModel& model, CMOObject& relation, bool view) {
  const std::string name = Name(relation);
  Strings columns;
  for (CMOObject* column : Children(model, relation, model::Column)) {
    columns.push_back(Name(*column));
    if (Text(*column, model::DataType).empty()) return name + ": column without a type";
    if (Name(*column) == "a" && !view && Text(*column, model::DefaultValue) != "7") return name + ": a without its default";
  }
  if (view) {
    if (Text(relation, model::Definition).find("WHERE") == std::string::npos) return name + ": no definition";
    if (columns != Strings{"id", "a", "b"}) return name + ": columns " + ::testing::PrintToString(columns);
    return {};
  }
  if (columns != Strings{"id", "a", "b", "ref"} && columns != Strings{"id", "a", "b", "ref", "extra"})
    return name + ": columns " + ::testing::PrintToString(columns);
  if (Children(model, relation, model::Key).size() != 1) return name + ": no primary key";
  if (Children(model, relation, model::CheckConstraint).size() != 1) return name + ": no check";
  if (Children(model, relation, model::Index).size() != 1) return name + ": no index";
  const std::vector<CMOObject*> triggers = Children(model, relation, model::Trigger);
  if (triggers.size() != 1 || Text(*triggers[0], model::TriggerEvents) != "UPDATE OF a, b") return name + ": no trigger";
  return {};
}

class PgConcurrentDdlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = std::make_unique<TestDatabase>("churn");
    const std::string error = RunPsql(s_database->Name(), kStableSchema);
    if (!error.empty()) ADD_FAILURE() << error;
    s_plugin = std::make_unique<LoadedPlugin>(QM_POSTGRES_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
    s_database.reset();
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  inline static std::unique_ptr<TestDatabase> s_database;
  inline static std::unique_ptr<LoadedPlugin> s_plugin;
};

// 50 imports while three sessions churn: no statement fails, the untouched
// objects are as before the churn, every churn object is whole.
TEST_F(PgConcurrentDdlTest, ImportsDuringDdlChurnLoseNothingAndHoldNoHalfObjects) {
  GenericModel idle(s_plugin->Api().modelType);
  ASSERT_EQ(RunImport(s_plugin->Api(), idle, s_database->ConnectionString()).status, ImportStatusConnected);
  const Strings stable = InSchema(PgModelLines(idle), "stable");
  ASSERT_GT(stable.size(), 20u);

  constexpr int kImports = 50, kBatch = 50, kMostRounds = 4000;  // the bound, should the imports hang
  std::atomic<bool> importing{true};
  int rounds[3] = {};
  ProcessResult churns[3];
  std::vector<std::thread> churners;
  for (int c = 0; c < 3; ++c)
    churners.emplace_back([&, c] {
      churns[c].exitCode = 0;
      for (; importing && churns[c].exitCode == 0 && rounds[c] < kMostRounds; rounds[c] += kBatch) {
        ProcessOptions options;
        options.input = "\\set ON_ERROR_STOP 1\n";
        for (int i = rounds[c] + 1; i <= rounds[c] + kBatch; ++i)
          options.input += ChurnRound(std::string(1, "tuw"[c]), i);
        churns[c] = RunProcess("/usr/bin/psql", {"-X", "-q", "-d", s_database->Name(), "-f", "-"}, options);
      }
    });

  int withChurnObjects = 0;
  std::set<std::string> failures;
  for (int import = 1; import <= kImports; ++import) {
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString());
    for (const QmFailedStatement& failed : outcome.failed)
      failures.insert("import " + std::to_string(import) + ": " + Utf8(failed.name) + ": [" +
                      Utf8(failed.diagnostic.sqlState) + "] " + Utf8(failed.diagnostic.message));
    EXPECT_EQ(LineDifference(stable, InSchema(PgModelLines(model), "stable")), "") << "import " << import;
    EXPECT_EQ(StructuralFaults(model), Strings()) << "import " << import;
    CMOObject* churnSchema = Child(model, *model.GetCMOObject(), model::Schema, "churn");
    if (churnSchema == nullptr) {
      ADD_FAILURE() << "import " << import << ": no churn schema";
      continue;
    }
    for (CMOObject* table : Children(model, *churnSchema, model::Table)) {
      EXPECT_EQ(ChurnObjectFault(model, *table, false), "") << "import " << import;
      ++withChurnObjects;
    }
    for (CMOObject* view : Children(model, *churnSchema, model::View))
      EXPECT_EQ(ChurnObjectFault(model, *view, true), "") << "import " << import;
  }
  importing = false;
  for (int c = 0; c < 3; ++c) {
    churners[c].join();
    EXPECT_EQ(churns[c].exitCode, 0) << Printed(churns[c]);
    EXPECT_LT(rounds[c], kMostRounds) << "the churn ended before the imports";
  }
  EXPECT_EQ(failures, std::set<std::string>());
  EXPECT_GT(withChurnObjects, kImports);
}

// A statement that failed on an object gone since its snapshot runs again
// with the relations it reads locked, group by group (two a group here); a
// table of the last group is dropped while the first group is read.
TEST_F(PgConcurrentDdlTest, ARetryReadsGroupByGroupWithTheGroupsRelationsLocked) {
  const std::string database = s_database->Name();
  ASSERT_EQ(RunPsql(database, "CREATE SCHEMA grouped;\n"
                              "CREATE TABLE grouped.g1 (id integer PRIMARY KEY, a integer CHECK (a > 1));\n"
                              "CREATE TABLE grouped.g2 (id integer PRIMARY KEY REFERENCES grouped.g1, "
                              "b integer CHECK (b > 2));\n"
                              "CREATE VIEW grouped.v AS SELECT id, a FROM grouped.g1;\n"
                              "CREATE TABLE grouped.g3 (c integer CHECK (c > 3), d integer CHECK (d > 4));\n"
                              "CREATE MATERIALIZED VIEW grouped.m AS SELECT 1 AS x;\n"
                              "CREATE TABLE grouped.last_one (a integer CHECK (a > 0));\n"),
            "");
  int checkRuns = 0;
  Strings locks;  // per group: how many of its relations the import held locked, of how many tables and views
  std::string dropped;
  odbc::Install hook({.beforeExecute = [&](void*, const std::u16string& text) -> std::optional<std::u16string> {
    const std::string sql = Utf8(text);
    const std::size_t budget = sql.find("GREATEST("), end = sql.find(" || COALESCE(");
    const bool listing = sql.find("max_locks_per_transaction") != std::string::npos;
    if (listing && budget != std::string::npos && end != std::string::npos)
      return Utf16(sql.substr(0, budget) + "'2'" + sql.substr(end));
    if (sql.find("k.conbin") == std::string::npos) return std::nullopt;
    if (checkRuns++ == 0) return u"SELECT 1 FROM qm_dropped_meanwhile";  // 42P01, as a dropped table gives
    const std::size_t from = sql.find("c.oid = ANY (");
    if (from == std::string::npos) return std::nullopt;
    const std::string group = sql.substr(from + 13, sql.find("[]", from) + 2 - (from + 13));
    const std::string held = "SELECT count(*) FROM pg_locks WHERE locktype = 'relation' AND granted AND mode = "
                             "'AccessShareLock' AND pid <> pg_backend_pid() AND database = (SELECT oid FROM pg_database "
                             "WHERE datname = current_database()) AND relation = ANY (" + group + ")";
    const std::string lockable = "SELECT count(*) FROM pg_class WHERE relkind IN ('r', 'p', 'v') AND oid = ANY (" + group + ")";
    locks.push_back(QueryValue(database, held) + " of " + QueryValue(database, lockable));
    if (locks.size() == 1) dropped = RunPsql(database, "SET lock_timeout = '5s';\nDROP TABLE grouped.last_one;\n");
    return std::nullopt;
  }});
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString(), "grouped");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_EQ(outcome.failed.size(), 0u);
  EXPECT_EQ(dropped, "");
  // g1 g2 | v g3 | m last_one: a materialized view cannot be locked, and
  // last_one was gone before its group's turn.
  EXPECT_EQ(locks, (Strings{"2 of 2", "2 of 2", "0 of 0"}));
  const Strings expected = InSchema(PgCatalogueLines(database), "grouped");
  EXPECT_GT(expected.size(), 15u);
  EXPECT_EQ(LineDifference(expected, InSchema(PgModelLines(model), "grouped")), "");
}

// ---- The driver's own catalogue queries.

// pg_attrdef is closed to the role: the statement that reads it fails, it
// alone. psqlODBC's own silent query on pg_attrdef (for a date/time result
// column, which the hook adds to one statement) must not abort the
// transaction: that statement delivers all its rows, no later one fails.
TEST(PgHiddenQueryTest, AClosedCatalogueCostsOnlyTheStatementThatReadsIt) {
  QM_REQUIRE_PG();
  // Dropped after the database, with which pg_attrdef's privileges go.
  struct Role {
    std::string name = "qm_plain_" + std::to_string(::getpid());
    ~Role() { RunPsql("postgres", "DROP ROLE IF EXISTS " + name + ";\n"); }
  } role;
  TestDatabase database("hidden");
  // More column rows than the driver fetches in one batch (Fetch=20): a
  // transaction aborted after the first batch would cut the columns
  // statement short.
  std::string script = "CREATE ROLE " + role.name + " LOGIN PASSWORD 'plain';\n"
                       "CREATE TABLE public.stamps (id integer PRIMARY KEY, at timestamp DEFAULT now());\n"
                       "GRANT SELECT ON public.stamps TO " + role.name + ";\n";
  for (int i = 1; i <= 12; ++i) {
    const std::string t = "public.t" + std::to_string(i);
    script += "CREATE TABLE " + t + " (id integer PRIMARY KEY, a integer DEFAULT " + std::to_string(i) +
              " CHECK (a > 0), b text" + (i > 1 ? ", up integer REFERENCES public.t" + std::to_string(i - 1) + " (id)" : "") +
              ");\nCREATE INDEX t" + std::to_string(i) + "_b ON " + t + " (b);\n";
  }
  script += "CREATE VIEW public.v AS SELECT id, a FROM public.t1;\n"
            "REVOKE SELECT ON pg_catalog.pg_attrdef FROM PUBLIC;\n";
  ASSERT_EQ(RunPsql(database.Name(), script), "");
  LoadedPlugin plugin(QM_POSTGRES_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  int placed = 0;
  odbc::Install place({.beforeExecute = [&](void*, const std::u16string& text) -> std::optional<std::u16string> {
    const std::u16string from = u"pg_get_userbyid(c.relowner) AS owner_name, d.description AS comment FROM pg_class c";
    const std::size_t at = text.find(from);
    if (at == std::u16string::npos || text.find(u"c.relkind IN ('r', 'p')") == std::u16string::npos) return std::nullopt;
    ++placed;
    std::u16string rewritten = text;
    rewritten.replace(at, from.size(),
                      u"pg_get_userbyid(c.relowner) AS owner_name, d.description AS comment, s.at AS stamp "
                      u"FROM pg_class c LEFT JOIN public.stamps s ON false");
    return rewritten;
  }});
  GenericModel model(plugin.Api().modelType);
  const std::string source = WithAttribute(
      WithAttribute(WithAttribute(database.ConnectionString(), "Uid", role.name), "Pwd", "plain"), "Fetch", "20");
  const ImportOutcome outcome = RunImport(plugin.Api(), model, source);
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  EXPECT_EQ(placed, 1);
  Strings failed;
  for (const QmFailedStatement& failure : outcome.failed)
    failed.push_back(Utf8(failure.name) + ": " + Utf8(failure.diagnostic.message));
  ASSERT_EQ(failed.size(), 1u) << ::testing::PrintToString(failed);
  EXPECT_EQ(outcome.failed[0].name, u"column defaults");
  EXPECT_EQ(outcome.failed[0].diagnostic.sqlState, u"42501");
  EXPECT_NE(failed[0].find("permission denied for table pg_attrdef"), std::string::npos) << failed[0];
  // What pg_catalog says, less the defaults a role without pg_attrdef
  // cannot read.
  Strings expected;
  for (std::string line : PgCatalogueLines(database.Name())) {
    if (line.starts_with("column ")) {
      line = line.substr(0, line.find(" default=")) + " default=-" + line.substr(line.find(" gen="));
    }
    expected.push_back(line);
  }
  EXPECT_EQ(LineDifference(expected, PgModelLines(model)), "");
}

}  // namespace
}  // namespace qm::test::postgres

// What the host sees when things go wrong: a backend terminated in the
// middle of the import, a statement the server refuses, a stop asked for by
// the host, a wrong password, a scope naming a schema that is not there; and
// the plug-in's life in the process. Faults come from the real server
// (pg_terminate_backend, a read-only transaction refusing a write); the
// statement hook only chooses the moment.
#include "ExecuteHook.h"
#include "PgTestSupport.h"

#include <PgTestEnv.h>

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <memory>

namespace qm::test::postgres {
namespace {

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

// Fragments that tell the catalogue statements apart.
constexpr std::u16string_view kTablesStatement = u"c.relkind IN ('r', 'p') ORDER BY";
constexpr std::u16string_view kColumnsStatement = u"FROM pg_attribute a JOIN pg_class c";
constexpr std::u16string_view kChecksStatement = u"k.contype = 'c'";

class PgFailureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = new TestDatabase("failure");
    std::unique_ptr<PgConnection> pg = s_database->Connect();
    // Enough columns that the columns statement spans many batches.
    pg->Exec(
        "DO $$ BEGIN FOR i IN 1..80 LOOP "
        "EXECUTE format('CREATE TABLE public.t%s (id integer PRIMARY KEY, a integer CHECK (a > 0), b text, "
        "c integer REFERENCES public.t%s (id))', i, greatest(i - 1, 1)); END LOOP; END $$");
    pg->Exec("CREATE FUNCTION public.f(x integer) RETURNS integer LANGUAGE sql AS $f$ SELECT x $f$");
    s_plugin = new LoadedPlugin();
  }
  static void TearDownTestSuite() {
    delete s_plugin;
    s_plugin = nullptr;
    delete s_database;
    s_database = nullptr;
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static TestDatabase* s_database;
  static LoadedPlugin* s_plugin;
};

TestDatabase* PgFailureTest::s_database = nullptr;
LoadedPlugin* PgFailureTest::s_plugin = nullptr;

TEST_F(PgFailureTest, BackendTerminatedMidImportEndsWithTheFailedStatementsNamed) {
  PgConnection killer(*PgConnectionString());
  ASSERT_TRUE(killer.Connected());
  std::string terminated;
  hook::Install terminate(nullptr, [&](const std::u16string& statement) {
    if (!Contains(statement, kColumnsStatement) || !terminated.empty()) return;
    // The statement has started: its first batch is on the client. End the
    // importer's backend, waiting (up to 10 s) until it is gone.
    terminated = killer.Scalar(
        "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity "
        "WHERE datname = '" + s_database->Name() + "' AND pid <> pg_backend_pid()");
  });

  GenericModel model(s_plugin->Api().modelType);
  // Small batches: the columns arrive in many fetches.
  const ImportOutcome outcome =
      RunImport(s_plugin->Api(), model, s_database->ConnectionString() + ";Fetch=20", {}, std::chrono::seconds(60));
  ASSERT_TRUE(outcome.finished);
  EXPECT_EQ(terminated, "1");
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_EQ(outcome.messages.back().message, WM_IMPORT_FINISHED);

  ASSERT_GE(outcome.failed.size(), 2u);
  EXPECT_EQ(outcome.failed[0].name, u"columns");
  const std::u16string& state = outcome.failed[0].diagnostic.sqlState;
  EXPECT_TRUE(state == u"57P01" || state.starts_with(u"08")) << Utf8(state) << " " << Utf8(outcome.failed[0].diagnostic.message);
  EXPECT_FALSE(outcome.failed[0].diagnostic.message.empty());
  // Everything after the columns is reported as not run, by name.
  EXPECT_EQ(outcome.failed[1].name, u"keys");
  EXPECT_EQ(outcome.failed.back().name, u"parameters");
  for (std::size_t i = 1; i < outcome.failed.size(); ++i)
    EXPECT_TRUE(Contains(outcome.failed[i].diagnostic.message, u"not run")) << Utf8(outcome.failed[i].name);

  // The tables are there; the columns fetched before the end are kept.
  EXPECT_EQ(AllOfType(model, model::Table).size(), 80u);
  EXPECT_LT(AllOfType(model, model::Column).size(), 320u);
  EXPECT_TRUE(AllOfType(model, model::Key).empty());
}

TEST_F(PgFailureTest, AStatementTheServerRefusesCostsOnlyItsOwnObjects) {
  // A write in place of the check constraints: the import's read-only
  // transaction refuses it.
  hook::Install write([](const std::u16string& statement) -> std::optional<std::u16string> {
    if (!Contains(statement, kChecksStatement)) return std::nullopt;
    return u"CREATE TABLE public.written_by_import (x integer)";
  });
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString());
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  ASSERT_EQ(outcome.failed.size(), 1u);
  EXPECT_EQ(outcome.failed[0].name, u"check constraints");
  EXPECT_EQ(outcome.failed[0].diagnostic.sqlState, u"25006");

  // The statements after it ran in a transaction that was not left aborted.
  EXPECT_TRUE(AllOfType(model, model::CheckConstraint).empty());
  EXPECT_EQ(AllOfType(model, model::ForeignKey).size(), 80u);
  EXPECT_EQ(AllOfType(model, model::Routine).size(), 1u);
  std::unique_ptr<PgConnection> pg = s_database->Connect();
  EXPECT_EQ(pg->Scalar("SELECT count(*) FROM pg_class WHERE relname = 'written_by_import'"), "0");
}

TEST_F(PgFailureTest, AllStatementsSeeOneSnapshot) {
  std::unique_ptr<PgConnection> other = s_database->Connect();
  bool created = false;
  hook::Install late(nullptr, [&](const std::u16string& statement) {
    if (created || !Contains(statement, kTablesStatement)) return;
    created = true;
    other->Exec("CREATE FUNCTION public.late(x integer) RETURNS integer LANGUAGE sql AS $f$ SELECT x $f$");
    other->Exec("CREATE TABLE public.late_table (x integer)");
  });
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString());
  other->Exec("DROP FUNCTION public.late(integer)");
  other->Exec("DROP TABLE public.late_table");
  ASSERT_TRUE(created);
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  // Made after the import's first statement: not in its snapshot.
  std::vector<std::string> routines;
  for (CMOObject* routine : AllOfType(model, model::Routine)) routines.push_back(Name(*routine));
  EXPECT_EQ(routines, std::vector<std::string>{"f"});
}

TEST_F(PgFailureTest, RaisingTheFlagStopsBeforeTheNextStatement) {
  hook::Install stop([](const std::u16string& statement) -> std::optional<std::u16string> {
    if (Contains(statement, kTablesStatement))
      InterfaceProvider::Instance()->GetSchemaImportSessionState()->RaiseFlag();
    return std::nullopt;
  });
  hook::Clear();
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString());
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(AllOfType(model, model::Table).size(), 80u);
  EXPECT_TRUE(AllOfType(model, model::Column).empty());
  for (const std::u16string& statement : hook::Executed()) EXPECT_FALSE(Contains(statement, kColumnsStatement));
  EXPECT_EQ(outcome.messages.back().message, WM_IMPORT_FINISHED);
}

TEST_F(PgFailureTest, AWrongPasswordIsReportedWithTheServersReasonAndNotTheSecret) {
  const std::string secret = "not-the-password-3f9c";
  std::string connection = s_database->ConnectionString();
  std::string withSecret;
  std::size_t pos = 0;
  while (pos < connection.size()) {
    std::size_t end = connection.find(';', pos);
    if (end == std::string::npos) end = connection.size();
    const std::string part = connection.substr(pos, end - pos);
    if (part.rfind("Pwd=", 0) != 0) withSecret += part + ";";
    pos = end + 1;
  }
  withSecret += "Pwd=" + secret;

  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, withSecret);
  EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
  const OdbcDiagnostic error = s_plugin->Api().LastConnectError();
  EXPECT_EQ(error.sqlState, u"08001");
  EXPECT_TRUE(Contains(error.message, u"password authentication failed")) << Utf8(error.message);
  EXPECT_FALSE(Contains(error.message, Utf16(secret)));
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(model.GetObjectCount(), 1);
}

TEST_F(PgFailureTest, AScopeNamingNoSchemaIsRefusedByName) {
  struct Case {
    const char* scope;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {"PUBLIC", u"no schema named \"PUBLIC\" (there is \"public\")"},
      // A name that would break out of a spliced literal is just a name.
      {"public,x') OR true --", u"no schema named \"x') OR true --\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scope);
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome = RunImport(s_plugin->Api(), model, s_database->ConnectionString(), c.scope);
    EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
    const OdbcDiagnostic error = s_plugin->Api().LastConnectError();
    EXPECT_TRUE(error.sqlState.empty());
    EXPECT_TRUE(Contains(error.message, c.expected)) << Utf8(error.message);
    EXPECT_EQ(model.GetObjectCount(), 1);
  }
}

// The tools are registered while the library is loaded and taken out when
// it goes, so that the registry never hands out a tool that is gone.
TEST(PgPluginLifetime, RegistersAtLoadAndUnregistersAtUnload) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.Loaded());
  EXPECT_EQ(plugin.Api().abiVersion, QmPluginApi::kAbiVersion);
  EXPECT_STREQ(plugin.Api().name, "postgres");
  EXPECT_EQ(plugin.Api().modelType, 1002u);
  EXPECT_NE(ImportToolsProvider::Instance()->GetConnector(1002), nullptr);
  EXPECT_NE(ImportToolsProvider::Instance()->GetReader(1002), nullptr);
  if (!plugin.Unload()) GTEST_SKIP() << "another handle keeps the plug-in loaded in this process";
  EXPECT_EQ(ImportToolsProvider::Instance()->GetConnector(1002), nullptr);
  EXPECT_EQ(ImportToolsProvider::Instance()->GetReader(1002), nullptr);
}

}  // namespace
}  // namespace qm::test::postgres

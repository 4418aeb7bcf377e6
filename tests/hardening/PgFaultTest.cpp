// The importer's PostgreSQL backend ends during each phase of an import:
// while the connect step prepares the session, between two statements,
// while the server executes a statement, half-way through a fetch; and the
// server refuses the connection outright. Each time, in process, the import
// ends, the host learns what happened (session status, the connect error or
// the failed statements by name with the server's reason), the model holds
// only what was read in full plus the rows delivered before the end, with no
// dangling reference, every ODBC handle is freed, and the next import in the
// same process builds exactly the model an undisturbed one builds. Then
// quillmere-import meets the same fault (libqm_fault_preload.so in
// LD_PRELOAD): one line per failed statement and a summary, its exit code,
// the model it has written, and never the password. Memory: the sanitizer
// build's leak check runs at the end of each process.
#include "BackendTerminator.h"

#include <ImportHost.h>
#include <OdbcFaults.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <SilentListener.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <set>

namespace qm::test::hardening {
namespace {

using Strings = std::vector<std::string>;

// Small batches from a server-side cursor, which the plug-in would not ask
// for on a catalogue this small: the columns arrive over many round trips.
constexpr const char* kFetchSetting = ";UseDeclareFetch=1;Fetch=20";

bool ConnectionLost(const std::u16string& state) { return state == u"57P01" || state.starts_with(u"08"); }

class PgFaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = std::make_unique<TestDatabase>("fault");
    const std::string error = RunPsql(s_database->Name(), R"sql(
      CREATE TABLE public.locked (id integer PRIMARY KEY, note text);
      CREATE VIEW public.locked_view AS SELECT id, note FROM public.locked;
      DO $$ BEGIN FOR i IN 1..60 LOOP
        EXECUTE format('CREATE TABLE public.t%s (id integer PRIMARY KEY, a integer CHECK (a > 0), b text, '
                       'c integer REFERENCES public.t%s (id))', i, greatest(i - 1, 1));
        EXECUTE format('CREATE INDEX t%s_b ON public.t%s (b)', i, i);
      END LOOP; END $$;
      CREATE SEQUENCE public.counter;
      CREATE FUNCTION public.f(x integer) RETURNS integer LANGUAGE sql AS $f$ SELECT x $f$;
    )sql");
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
    // The lines of an undisturbed import, made by the suite's first test.
    if (s_baseline.empty()) {
      GenericModel model(s_plugin->Api().modelType);
      const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Source());
      ASSERT_EQ(outcome.status, ImportStatusConnected);
      ASSERT_TRUE(outcome.failed.empty());
      s_baseline = PgModelLines(model);
    }
    m_handles = odbc::LiveHandles();
    m_allocations = odbc::Allocations();
  }

  // After a fault: the handles are back where they were and the next
  // import builds the undisturbed model.
  void ExpectCleanAndNextImportWorks() {
    EXPECT_GT(odbc::Allocations(), m_allocations) << "the handle counts did not see the import";
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the import";
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome next = RunImport(s_plugin->Api(), model, Source());
    EXPECT_EQ(next.status, ImportStatusConnected);
    EXPECT_TRUE(next.failed.empty());
    EXPECT_EQ(LineDifference(s_baseline, PgModelLines(model)), "");
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the next import";
  }

  static std::string Source() { return s_database->ConnectionString() + kFetchSetting; }

  inline static std::unique_ptr<TestDatabase> s_database;
  inline static std::unique_ptr<LoadedPlugin> s_plugin;
  inline static Strings s_baseline;  // see SetUp
  std::array<int, 3> m_handles;      // live handles before the test
  int m_allocations = 0;             // handle allocations before the test
};

struct FaultCase {
  const char* label;
  Moment moment;
  const char* statement;           // a fragment of the statement the backend ends at
  int fetch;                       // DuringFetch: the SQLFetch call
  const char* failed;              // its name as the host is told; "" when the connect fails
  std::size_t failedCount;         // it and every statement after it
  std::set<std::string> complete;  // kinds of objects read in full before it; no others are there
};

const FaultCase kCases[] = {
    {"WhileTheSessionIsPrepared", Moment::BeforeExecute, "server_version_num", 0, "", 0, {}},
    {"BetweenStatements", Moment::BeforeExecute, "FROM pg_attribute a JOIN pg_class c", 0, "columns", 10,
     {"schema", "sequence", "table", "view"}},
    {"WhileTheServerExecutes", Moment::DuringExecute, "pg_get_viewdef(c.oid)", 0, "views", 11,
     {"schema", "sequence", "table"}},
    {"HalfWayThroughAFetch", Moment::DuringFetch, "FROM pg_attribute a JOIN pg_class c", 30, "columns", 10,
     {"schema", "sequence", "table", "view"}},
};

class PgBackendEndsTest : public PgFaultTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  // The lines of a model the fault cut short: what was read in full before
  // it is exactly as an undisturbed import has it, and nothing read at or
  // after it is there but, half-way through a fetch, a column for every row
  // the driver delivered.
  static void ExpectReadBeforeTheFault(const FaultCase& c, const Strings& lines, int rowsDelivered) {
    EXPECT_EQ(LineDifference(OfKinds(s_baseline, c.complete), OfKinds(lines, c.complete)), "");
    std::set<std::string> present = c.complete;
    if (c.moment == Moment::DuringFetch) {
      present.insert("column");
      EXPECT_GE(rowsDelivered, c.fetch - 1);
      EXPECT_EQ(OfKinds(lines, {"column"}).size(), static_cast<std::size_t>(rowsDelivered));
    }
    EXPECT_EQ(OfKinds(lines, present).size(), lines.size()) << "objects of a kind read at or after the fault";
  }
};

TEST_P(PgBackendEndsTest, ImportEndsWithTheLossReportedAndAConsistentModel) {
  const FaultCase& c = GetParam();
  const std::string fragment = c.statement;
  GenericModel model(s_plugin->Api().modelType);
  Arm({c.moment, std::u16string(fragment.begin(), fragment.end()), c.fetch, s_database->Name(), "public.locked"});
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Source());
  const Outcome fault = Disarm();
  ASSERT_TRUE(fault.fired) << "the import never reached the chosen moment";
  ASSERT_EQ(fault.error, "");
  EXPECT_EQ(fault.terminated, 1);
  EXPECT_EQ(StructuralFaults(model), Strings());
  if (c.failedCount == 0) {
    ExpectConnectFailed(outcome, model);
    EXPECT_TRUE(ConnectionLost(outcome.connectError.sqlState)) << Utf8(outcome.connectError.sqlState);
  } else {
    // The run connected and finished; the statement the backend ended in
    // failed with the server's reason, every later one is named as not run.
    EXPECT_EQ(outcome.status, ImportStatusConnected);
    EXPECT_TRUE(outcome.finishedPosted);
    ASSERT_EQ(outcome.failed.size(), c.failedCount);
    EXPECT_EQ(Utf8(outcome.failed[0].name), c.failed);
    EXPECT_TRUE(ConnectionLost(outcome.failed[0].diagnostic.sqlState)) << Utf8(outcome.failed[0].diagnostic.message);
    EXPECT_EQ(outcome.failed[0].diagnostic.origin, OdbcDiagnostic::Origin::Driver);
    // The module's words, with no SQLSTATE of its own making.
    for (std::size_t i = 1; i < outcome.failed.size(); ++i) {
      EXPECT_EQ(Utf8(outcome.failed[i].diagnostic.Describe()), "not run: the connection to the server was lost")
          << Utf8(outcome.failed[i].name);
      EXPECT_EQ(outcome.failed[i].diagnostic.origin, OdbcDiagnostic::Origin::Module);
    }
    EXPECT_EQ(outcome.failed.back().name, u"parameters");
    EXPECT_FALSE(Text(*model.GetCMOObject(), model::ServerName).empty());
    EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), s_database->Name());
    ExpectReadBeforeTheFault(c, PgModelLines(model), fault.rowsDelivered);
  }
  ExpectCleanAndNextImportWorks();
}

TEST_P(PgBackendEndsTest, HostSaysWhatHappenedAndExitsWithItsCode) {
  const FaultCase& c = GetParam();
  TempDir dir;
  ProcessOptions options;
  options.environment = {{"LD_PRELOAD", QM_FAULT_PRELOAD},
                         {"QM_FAULT_MOMENT", c.moment == Moment::BeforeExecute   ? "before-execute"
                                             : c.moment == Moment::DuringExecute ? "during-execute"
                                                                                 : "during-fetch"},
                         {"QM_FAULT_STATEMENT", c.statement},
                         {"QM_FAULT_FETCH", std::to_string(c.fetch)},
                         {"QM_FAULT_DATABASE", s_database->Name()},
                         {"QM_FAULT_LOCKED_TABLE", "public.locked"},
                         {"QM_FAULT_REPORT", dir.Path("report")}};
#if defined(__SANITIZE_ADDRESS__)
  // The preload library comes before the sanitizer's runtime in the list of
  // libraries; the runtime would refuse to start otherwise.
  const char* asan = std::getenv("ASAN_OPTIONS");
  options.environment["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
#endif
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--postgres", Source(), "--quiet"}, options);
  const std::string fault = ReadFile(dir.Path("report"));
  ASSERT_NE(fault.find("fired=1\nterminated=1\n"), std::string::npos) << fault << Printed(result);
  EXPECT_NE(fault.find("error=\n"), std::string::npos) << fault;
  const char* password = std::getenv("QM_PG_PASSWORD");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ((result.err + result.out).find(password), std::string::npos) << Printed(result);
  const Strings lines = Lines(result.err);
  if (c.failedCount == 0) {
    EXPECT_EQ(result.exitCode, 3) << Printed(result);
    ASSERT_EQ(lines.size(), 1u) << Printed(result);
    EXPECT_EQ(lines[0].rfind("error: could not connect: [", 0), 0u) << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    return;
  }
  EXPECT_EQ(result.exitCode, 5) << Printed(result);
  ASSERT_EQ(lines.size(), c.failedCount + 1) << Printed(result);
  EXPECT_EQ(lines[0].rfind(std::string("error: reading ") + c.failed + " failed: [", 0), 0u) << Printed(result);
  // In the module's words: no SQLSTATE in brackets that no driver gave.
  for (std::size_t i = 1; i + 1 < lines.size(); ++i)
    EXPECT_NE(lines[i].find(" failed: not run: the connection to the server was lost"), std::string::npos) << lines[i];
  EXPECT_EQ(lines.back(), "error: " + std::to_string(c.failedCount) + " statements failed; the model written is incomplete");
  // The model read before the end is written, whole.
  GenericModel model(0);
  ReadModelJson(result.out, model);
  ExpectReadBeforeTheFault(c, PgModelLines(model), std::atoi(fault.c_str() + fault.find("rowsDelivered=") + 14));
}

INSTANTIATE_TEST_SUITE_P(Moments, PgBackendEndsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.label; });

// A port with nothing listening (one the kernel just handed out and that is
// closed again) and a wrong password: the connect fails with the driver's
// reason, and the password is not in it.
TEST_F(PgFaultTest, RefusedConnectionsFailTheConnect) {
  const int port = UnusedLoopbackPort();
  ASSERT_NE(port, 0);
  const std::pair<std::string, std::string> cases[] = {
      {WithAttribute(Source(), "Port", std::to_string(port)), "refused"},
      {WithAttribute(Source(), "Pwd", "wrong-pw-4"), "password authentication failed"},
  };
  for (const auto& [source, reason] : cases) {
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome = RunImport(s_plugin->Api(), model, source);
    ExpectConnectFailed(outcome, model);
    const std::string message = Utf8(outcome.connectError.message);
    EXPECT_EQ(Utf8(outcome.connectError.sqlState), "08001") << message;
    EXPECT_EQ(outcome.connectError.origin, OdbcDiagnostic::Origin::Driver);
    EXPECT_NE(message.find(reason), std::string::npos) << message;
    EXPECT_EQ(message.find("wrong-pw-4"), std::string::npos) << message;
  }
  ExpectCleanAndNextImportWorks();
}

}  // namespace
}  // namespace qm::test::hardening

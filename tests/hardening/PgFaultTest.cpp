// The importer's PostgreSQL backend ends during each phase of an import:
// while the connect step prepares the session, between two statements,
// while the server executes a statement, half-way through a fetch; and
// the server refuses the connection outright. Each time the import ends,
// the host learns what happened (session status, the connect error or the
// failed statements by name with the server's reason), the model holds only
// what was read in full plus the rows delivered before the end, with no
// dangling reference, every ODBC handle is freed, and the next import in
// the same process builds exactly the model an undisturbed one builds.
// Memory: the sanitizer build's leak check runs at the end of each test
// process.
#include "BackendTerminator.h"
#include "HandleCount.h"
#include "ImportHost.h"
#include "PgServer.h"

#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <set>

namespace qm::test::hardening {
namespace {

// Fragments that tell the statements apart.
constexpr std::u16string_view kVersionStatement = u"server_version_num";  // the connect step's first
constexpr std::u16string_view kViewsStatement = u"pg_get_viewdef(c.oid) AS definition";
constexpr std::u16string_view kColumnsStatement = u"FROM pg_attribute a JOIN pg_class c";

// Small batches: the columns arrive over many round trips.
constexpr const char* kFetchSetting = ";Fetch=20";

bool ConnectionLostState(const std::u16string& state) { return state == u"57P01" || state.starts_with(u"08"); }

class PgFaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = new TestDatabase("fault");
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
    s_plugin = new LoadedPlugin(QM_POSTGRES_PLUGIN);
  }
  static void TearDownTestSuite() {
    delete s_baseline;
    s_baseline = nullptr;
    delete s_plugin;
    s_plugin = nullptr;
    delete s_database;
    s_database = nullptr;
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static std::u16string Source() { return Utf16(s_database->ConnectionString() + kFetchSetting); }

  // The model an undisturbed import builds, made by the suite's first call
  // and kept until the suite ends.
  static const GenericModel& BaselineModel() {
    if (s_baseline == nullptr) {
      s_baseline = new GenericModel(s_plugin->Api().modelType);
      const ImportOutcome outcome = RunImport(s_plugin->Api(), *s_baseline, Source());
      EXPECT_EQ(outcome.status, ImportStatusConnected);
      EXPECT_TRUE(outcome.failed.empty());
    }
    return *s_baseline;
  }
  static std::vector<std::string> Baseline(const std::set<int>& types = {}) {
    return Fingerprint(BaselineModel(), types);
  }

  // After a fault: the handles are back where they were and the next
  // import builds the undisturbed model.
  static void ExpectCleanAndNextImportWorks(const LiveHandles& before, int allocationsBefore) {
    EXPECT_GT(AllocationsSoFar(), allocationsBefore) << "the handle counters did not see the import";
    EXPECT_EQ(CountLiveHandles(), before) << "ODBC handles left allocated by the import";
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome next = RunImport(s_plugin->Api(), model, Source());
    EXPECT_EQ(next.status, ImportStatusConnected);
    EXPECT_TRUE(next.failed.empty()) << Utf8(next.failed.empty() ? u"" : next.failed[0].diagnostic.message);
    EXPECT_TRUE(next.finishedPosted);
    const std::vector<std::string> expected = Baseline();
    const std::vector<std::string> actual = Fingerprint(model);
    EXPECT_TRUE(actual == expected) << LineDifference(expected, actual);
    EXPECT_EQ(CountLiveHandles(), before) << "ODBC handles left allocated by the import after the fault";
  }

  static Plan PlanFor(Moment moment, std::u16string_view statement, int fetch = 0) {
    Plan plan;
    plan.moment = moment;
    plan.statement = std::u16string(statement);
    plan.fetch = fetch;
    plan.adminConnection = *PgConnectionString();
    plan.database = s_database->Name();
    plan.lockedTable = "public.locked";
    return plan;
  }

  static TestDatabase* s_database;
  static LoadedPlugin* s_plugin;
  static GenericModel* s_baseline;  // see BaselineModel
};

TestDatabase* PgFaultTest::s_database = nullptr;
GenericModel* PgFaultTest::s_baseline = nullptr;
LoadedPlugin* PgFaultTest::s_plugin = nullptr;

// ---- The backend ends after the import has started reading

struct MidImportCase {
  const char* label;
  Moment moment;
  std::u16string_view statement;  // the statement the backend ends at
  int fetch;                      // DuringFetch: the SQLFetch call
  std::u16string_view failed;     // its name as the host is told
  std::size_t failedCount;        // it and every statement after it
  std::set<int> complete;         // object types read in full before it
  std::set<int> absent;           // object types read only at or after it
};

const MidImportCase kMidImportCases[] = {
    {"BetweenStatements", Moment::BeforeExecute, kColumnsStatement, 0, u"columns", 9,
     {model::Schema, model::Sequence, model::Table, model::View},
     {model::Column, model::Key, model::CheckConstraint, model::ForeignKey, model::Index, model::Routine,
      model::Parameter}},
    {"WhileTheServerExecutes", Moment::DuringExecute, kViewsStatement, 0, u"views", 10,
     {model::Schema, model::Sequence, model::Table},
     {model::View, model::Column, model::Key, model::CheckConstraint, model::ForeignKey, model::Index,
      model::Routine, model::Parameter}},
    {"HalfWayThroughAFetch", Moment::DuringFetch, kColumnsStatement, 30, u"columns", 9,
     {model::Schema, model::Sequence, model::Table, model::View},
     {model::Key, model::CheckConstraint, model::ForeignKey, model::Index, model::Routine, model::Parameter}},
};

class PgMidImportFaultTest : public PgFaultTest, public ::testing::WithParamInterface<MidImportCase> {};

TEST_P(PgMidImportFaultTest, EndsWithTheLossReportedAndAConsistentModel) {
  const MidImportCase& c = GetParam();
  ASSERT_FALSE(Baseline().empty());
  const LiveHandles before = CountLiveHandles();
  const int allocationsBefore = AllocationsSoFar();

  GenericModel model(s_plugin->Api().modelType);
  Arm(PlanFor(c.moment, c.statement, c.fetch));
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Source());
  const Outcome fault = Disarm();
  ASSERT_TRUE(fault.fired) << "the import never reached the chosen moment";
  ASSERT_EQ(fault.error, "");
  EXPECT_EQ(fault.terminated, 1);

  // The host is told: the run connected and finished, the statement the
  // backend ended in failed with the server's reason, every later one is
  // named as not run.
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.finishedPosted);
  ASSERT_EQ(outcome.failed.size(), c.failedCount);
  EXPECT_EQ(outcome.failed[0].name, c.failed);
  EXPECT_TRUE(ConnectionLostState(outcome.failed[0].diagnostic.sqlState))
      << Utf8(outcome.failed[0].diagnostic.sqlState) << " " << Utf8(outcome.failed[0].diagnostic.message);
  EXPECT_FALSE(outcome.failed[0].diagnostic.message.empty());
  for (std::size_t i = 1; i < outcome.failed.size(); ++i)
    EXPECT_NE(outcome.failed[i].diagnostic.message.find(u"not run"), std::u16string::npos) << Utf8(outcome.failed[i].name);
  EXPECT_EQ(outcome.failed.back().name, u"parameters");

  // The model: sound, with every object read before the fault exactly as
  // an undisturbed import has it, and nothing of what was not read.
  EXPECT_EQ(StructuralFaults(model), std::vector<std::string>());
  EXPECT_FALSE(Text(*model.GetCMOObject(), model::ServerName).empty());
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), Utf16(s_database->Name()));
  const std::vector<std::string> expected = Baseline(c.complete);
  const std::vector<std::string> complete = Fingerprint(model, c.complete);
  EXPECT_FALSE(expected.empty());
  EXPECT_TRUE(complete == expected) << LineDifference(expected, complete);
  for (int type : c.absent) EXPECT_TRUE(AllOfType(model, type).empty()) << model::ObjectTypeName(type);
  if (c.moment == Moment::DuringFetch) {
    // Every row the driver delivered became a column; the rest did not.
    EXPECT_GE(fault.rowsDelivered, c.fetch - 1);
    EXPECT_EQ(static_cast<int>(AllOfType(model, model::Column).size()), fault.rowsDelivered);
  }

  ExpectCleanAndNextImportWorks(before, allocationsBefore);
}

INSTANTIATE_TEST_SUITE_P(Moments, PgMidImportFaultTest, ::testing::ValuesIn(kMidImportCases),
                         [](const ::testing::TestParamInfo<MidImportCase>& info) { return info.param.label; });

// ---- The connect step fails

void ExpectConnectFailure(const ImportOutcome& outcome, GenericModel& model) {
  EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
  EXPECT_FALSE(outcome.connectError.message.empty());
  EXPECT_TRUE(outcome.failed.empty()) << "statements reported for an import that never connected";
  EXPECT_TRUE(outcome.messages.empty()) << "progress or finish posted for an import that never connected";
  EXPECT_EQ(model.GetObjectCount(), 1);
}

TEST_F(PgFaultTest, BackendEndedWhileTheSessionIsPreparedFailsTheConnect) {
  ASSERT_FALSE(Baseline().empty());
  const LiveHandles before = CountLiveHandles();
  const int allocationsBefore = AllocationsSoFar();
  GenericModel model(s_plugin->Api().modelType);
  Arm(PlanFor(Moment::BeforeExecute, kVersionStatement));
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Source());
  const Outcome fault = Disarm();
  ASSERT_TRUE(fault.fired);
  ASSERT_EQ(fault.error, "");
  EXPECT_EQ(fault.terminated, 1);
  ExpectConnectFailure(outcome, model);
  EXPECT_TRUE(ConnectionLostState(outcome.connectError.sqlState)) << Utf8(outcome.connectError.sqlState);
  ExpectCleanAndNextImportWorks(before, allocationsBefore);
}

TEST_F(PgFaultTest, PortWithNothingListeningFailsTheConnect) {
  ASSERT_FALSE(Baseline().empty());
  // A port the kernel just handed out and that is closed again.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(probe, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ::close(probe);
  const std::string port = std::to_string(ntohs(address.sin_port));

  const LiveHandles before = CountLiveHandles();
  const int allocationsBefore = AllocationsSoFar();
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome =
      RunImport(s_plugin->Api(), model, Source() + Utf16(";Server=127.0.0.1;Port=" + port));
  ExpectConnectFailure(outcome, model);
  EXPECT_EQ(outcome.connectError.sqlState, u"08001") << Utf8(outcome.connectError.message);
  EXPECT_NE(outcome.connectError.message.find(u"refused"), std::u16string::npos) << Utf8(outcome.connectError.message);
  ExpectCleanAndNextImportWorks(before, allocationsBefore);
}

TEST_F(PgFaultTest, RoleThatMayNotConnectFailsTheConnect) {
  ASSERT_FALSE(Baseline().empty());
  const std::string role = "qm_hard_limited_" + std::to_string(::getpid());
  ASSERT_EQ(RunPsql(s_database->Name(), "CREATE ROLE " + role + " LOGIN PASSWORD 'limited-pw-0' CONNECTION LIMIT 0;"),
            "");
  struct DropRole {
    std::string role;
    ~DropRole() { RunPsql("postgres", "DROP ROLE IF EXISTS " + role + ";"); }
  } drop{role};

  const LiveHandles before = CountLiveHandles();
  const int allocationsBefore = AllocationsSoFar();
  GenericModel model(s_plugin->Api().modelType);
  const char* port = std::getenv("QM_PG_PORT");
  ASSERT_NE(port, nullptr) << "scripts/pg exports QM_PG_PORT";
  const std::string source = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::string(port) +
                             ";Database=" + s_database->Name() + ";Uid=" + role + ";Pwd=limited-pw-0";
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Utf16(source));
  ExpectConnectFailure(outcome, model);
  EXPECT_NE(outcome.connectError.message.find(u"too many connections"), std::u16string::npos)
      << Utf8(outcome.connectError.message);
  EXPECT_EQ(outcome.connectError.message.find(u"limited-pw-0"), std::u16string::npos);
  ExpectCleanAndNextImportWorks(before, allocationsBefore);
}

}  // namespace
}  // namespace qm::test::hardening

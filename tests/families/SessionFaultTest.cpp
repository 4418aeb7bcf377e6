// The importer's session ends (SessionKiller.h) at each moment of the
// import, or the server refuses the connection: in process and through
// quillmere-import (libqm_fault_preload.so in LD_PRELOAD), what was read
// before the end is kept whole, every handle is freed, the next import
// works, and the password is never shown.
#include <ImportHost.h>
#include <OdbcFaults.h>
#include <Subprocess.h>
#include <TempDir.h>
#include "Families.h"

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace qm::test {
namespace {

using Strings = std::vector<std::string>;

struct Case {
  const TestBackend* backend;
  FaultCase fault;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.backend->Name() << " " << c.fault.label; }

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const TestBackend* backend : Backends())
    for (const FaultCase& fault : backend->FaultCases()) cases.push_back({backend, fault});
  return cases;
}

// One database and plug-in per process, and the lines of an undisturbed
// import of it.
class SessionFault {
 protected:
  void Prepare(const TestBackend& backend) {
    m_backend = &backend;
    m_plugin = std::make_unique<LoadedPlugin>(backend.PluginPath().c_str());
    ASSERT_TRUE(m_plugin->Loaded());
    m_database = backend.Create("fault");
    ASSERT_EQ(m_database->Load(backend.FaultScript()), "");
    GenericModel model(m_plugin->Api().modelType);
    const ImportOutcome outcome = Import(model);
    ASSERT_EQ(outcome.status, ImportStatusConnected);
    ASSERT_TRUE(outcome.failed.empty());
    m_baseline = m_database->ModelLines(model);
    ASSERT_EQ(LineDifference(m_database->CatalogueLines(), m_baseline), "");
    m_handles = odbc::LiveHandles();
    m_allocations = odbc::Allocations();
  }

  ImportOutcome Import(GenericModel& model, const std::string& source = {}) {
    return RunImport(m_plugin->Api(), model, source.empty() ? m_backend->FaultSource(*m_database) : source,
                     m_database->Scope());
  }

  // After a fault: the handles are back where they were and the next
  // import builds the undisturbed model.
  void ExpectCleanAndNextImportWorks() {
    EXPECT_GT(odbc::Allocations(), m_allocations) << "the handle counts did not see the import";
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the import";
    GenericModel model(m_plugin->Api().modelType);
    const ImportOutcome next = Import(model);
    EXPECT_EQ(next.status, ImportStatusConnected);
    EXPECT_TRUE(next.failed.empty());
    EXPECT_EQ(LineDifference(m_baseline, m_database->ModelLines(model)), "");
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the next import";
  }

  // The lines of a model the fault cut short: what was read in full before
  // it is as an undisturbed import has it, the partial kinds are all there,
  // the fetched statement made a line per row delivered, and no other kind
  // is there.
  void ExpectReadBeforeTheFault(const FaultCase& c, const Strings& lines, int rowsDelivered) {
    EXPECT_EQ(LineDifference(OfKinds(m_baseline, c.complete), OfKinds(lines, c.complete)), "");
    EXPECT_EQ(OfKinds(lines, c.partial).size(), OfKinds(m_baseline, c.partial).size());
    std::size_t fetched = 0;
    if (c.moment == Moment::DuringFetch) {
      EXPECT_GE(rowsDelivered, c.fetch - 1);
      fetched = OfKinds(lines, {c.fetched}).size();
      EXPECT_EQ(fetched, static_cast<std::size_t>(rowsDelivered));
    }
    EXPECT_EQ(OfKinds(lines, c.complete).size() + OfKinds(lines, c.partial).size() + fetched, lines.size())
        << "objects of a kind read at or after the fault";
  }

  Plan PlanOf(const FaultCase& c) const {
    return {c.moment, std::u16string(c.statement, c.statement + std::char_traits<char>::length(c.statement)), c.fetch,
            m_backend->Sessions(*m_database)};
  }

  const TestBackend* m_backend = nullptr;
  std::unique_ptr<LoadedPlugin> m_plugin;
  std::unique_ptr<BackendDatabase> m_database;
  Strings m_baseline;
  std::array<int, 3> m_handles{};  // live handles before the test
  int m_allocations = 0;           // handle allocations before the test
};

class SessionEndsTest : public SessionFault, public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    QM_REQUIRE_BACKEND(*GetParam().backend);
    ASSERT_NO_FATAL_FAILURE(Prepare(*GetParam().backend));
  }
};

TEST_P(SessionEndsTest, ImportEndsWithTheLossReportedAndAConsistentModel) {
  const FaultCase& c = GetParam().fault;
  GenericModel model(m_plugin->Api().modelType);
  Arm(PlanOf(c));
  const ImportOutcome outcome = Import(model);
  const Outcome fault = Disarm();
  ASSERT_TRUE(fault.fired) << "the import never reached the chosen moment";
  ASSERT_EQ(fault.error, "");
  EXPECT_EQ(fault.ended, 1);
  EXPECT_EQ(StructuralFaults(model), Strings());
  if (c.failedCount == 0) {
    ExpectConnectFailed(outcome, model);
    EXPECT_TRUE(m_backend->LostConnection(outcome.connectError)) << Utf8(outcome.connectError.Describe());
  } else {
    // The run connected and finished; the statement the session ended in
    // failed with the server's reason, every later one is named as not run.
    EXPECT_EQ(outcome.status, ImportStatusConnected);
    EXPECT_TRUE(outcome.finishedPosted);
    ASSERT_EQ(outcome.failed.size(), c.failedCount);
    EXPECT_EQ(Utf8(outcome.failed[0].name), c.failed);
    EXPECT_TRUE(m_backend->LostConnection(outcome.failed[0].diagnostic)) << Utf8(outcome.failed[0].diagnostic.Describe());
    EXPECT_EQ(outcome.failed[0].diagnostic.origin, OdbcDiagnostic::Origin::Driver);
    // The module's words, with no SQLSTATE of its own making.
    for (std::size_t i = 1; i < outcome.failed.size(); ++i) {
      EXPECT_EQ(Utf8(outcome.failed[i].diagnostic.Describe()), "not run: the connection to the server was lost")
          << Utf8(outcome.failed[i].name);
      EXPECT_EQ(outcome.failed[i].diagnostic.origin, OdbcDiagnostic::Origin::Module);
    }
    EXPECT_EQ(outcome.failed.back().name, u"parameters");
    EXPECT_FALSE(Text(*model.GetCMOObject(), model::ServerName).empty());
    ExpectReadBeforeTheFault(c, m_database->ModelLines(model), fault.rowsDelivered);
  }
  ExpectCleanAndNextImportWorks();
}

TEST_P(SessionEndsTest, HostSaysWhatHappenedAndExitsWithItsCode) {
  const FaultCase& c = GetParam().fault;
  TempDir dir;
  ProcessOptions options;
  options.environment = Environment(PlanOf(c), dir.Path("report"));
  options.environment["LD_PRELOAD"] = QM_FAULT_PRELOAD;
#if defined(__SANITIZE_ADDRESS__)
  // The preload library comes before the sanitizer's runtime in the list of
  // libraries; the runtime would refuse to start otherwise.
  const char* asan = std::getenv("ASAN_OPTIONS");
  options.environment["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
#endif
  std::vector<std::string> args = m_database->CommandLine();
  args[1] = m_backend->FaultSource(*m_database);
  args.push_back("--quiet");
  const ProcessResult result = RunProcess(ImportProgram(), args, options);
  const Outcome fault = ReadReport(dir.Path("report"));
  ASSERT_TRUE(fault.fired) << Printed(result);
  EXPECT_EQ(fault.ended, 1) << Printed(result);
  EXPECT_EQ(fault.error, "");
  ASSERT_FALSE(m_backend->Password().empty());
  EXPECT_EQ((result.err + result.out).find(m_backend->Password()), std::string::npos) << Printed(result);
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
  ExpectReadBeforeTheFault(c, m_database->ModelLines(model), fault.rowsDelivered);
}

INSTANTIATE_TEST_SUITE_P(Moments, SessionEndsTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.backend->Name() + "_" + info.param.fault.label;
                         });

// A port with nothing listening (one the kernel just handed out and that is
// closed again) and a wrong password: the connect fails with the driver's
// reason, and the password is not in it.
class RefusedConnectionTest : public SessionFault, public ::testing::TestWithParam<const TestBackend*> {
 protected:
  void SetUp() override {
    QM_REQUIRE_BACKEND(*GetParam());
    ASSERT_NO_FATAL_FAILURE(Prepare(*GetParam()));
  }
};

TEST_P(RefusedConnectionTest, ConnectFailsWithTheDriversReason) {
  for (const RefusedConnection& refused : m_backend->Refusals(*m_database)) {
    SCOPED_TRACE(refused.reason);
    GenericModel model(m_plugin->Api().modelType);
    const ImportOutcome outcome = Import(model, refused.source);
    ExpectConnectFailed(outcome, model);
    const std::string message = Utf8(outcome.connectError.message);
    EXPECT_EQ(outcome.connectError.origin, OdbcDiagnostic::Origin::Driver);
    EXPECT_NE(message.find(refused.reason), std::string::npos) << message;
    EXPECT_EQ(message.find("wrong-pw-4"), std::string::npos) << message;
  }
  ExpectCleanAndNextImportWorks();
}

INSTANTIATE_TEST_SUITE_P(Servers, RefusedConnectionTest,
                         ::testing::ValuesIn(BackendsWith([](const TestBackend& b) { return !b.FaultCases().empty(); })),
                         BackendName);

}  // namespace
}  // namespace qm::test

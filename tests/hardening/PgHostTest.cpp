// quillmere-import when the PostgreSQL backend goes away: the real host
// runs as a subprocess with libqm_fault_preload.so in LD_PRELOAD, which
// ends its backend at a chosen moment (BackendTerminator.h). The host must
// say what happened in plain lines (which statement failed and why, which
// were not run), exit with the documented code, write the model it has
// and never print the password.
#include "ModelFile.h"
#include "PgServer.h"
#include "Subprocess.h"

#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qm::test::hardening {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Printed(const ProcessResult& result) {
  return "exit " + std::to_string(result.exitCode) + "\n--- stderr\n" + result.err + "--- stdout (" +
         std::to_string(result.out.size()) + " bytes)\n" + result.out.substr(0, 1000);
}

// The value of Pwd in QM_PG_CONNECT.
std::string Password(const std::string& connect) {
  const std::size_t at = connect.find("Pwd=");
  if (at == std::string::npos) return {};
  const std::size_t end = connect.find(';', at);
  return connect.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

class PgHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = new TestDatabase("host");
    const std::string error = RunPsql(s_database->Name(), R"sql(
      CREATE TABLE public.locked (id integer PRIMARY KEY, note text);
      CREATE VIEW public.locked_view AS SELECT id, note FROM public.locked;
      DO $$ BEGIN FOR i IN 1..30 LOOP
        EXECUTE format('CREATE TABLE public.t%s (id integer PRIMARY KEY, b text, '
                       'c integer REFERENCES public.t%s (id))', i, greatest(i - 1, 1));
      END LOOP; END $$;
    )sql");
    if (!error.empty()) ADD_FAILURE() << error;
  }
  static void TearDownTestSuite() {
    delete s_database;
    s_database = nullptr;
  }
  void SetUp() override { QM_REQUIRE_PG(); }

  static ProcessResult Run(const std::vector<std::string>& args, const ProcessOptions& options = {}) {
    ProcessResult result = RunProcess(QM_IMPORT_EXE, args, options);
    EXPECT_FALSE(result.timedOut) << Printed(result);
    EXPECT_LT(result.exitCode, 128) << "the host died of a signal\n" << Printed(result);
    return result;
  }

  static TestDatabase* s_database;
};

TestDatabase* PgHostTest::s_database = nullptr;

struct HostFaultCase {
  const char* label;
  const char* moment;     // QM_FAULT_MOMENT
  const char* statement;  // QM_FAULT_STATEMENT
  int fetch;              // QM_FAULT_FETCH
  int exitCode;           // 3: could not connect, 5: imported with errors
  const char* failed;     // the statement named first; empty for a failed connect
  int failedCount;        // statements reported as failed
};

const HostFaultCase kHostFaultCases[] = {
    {"WhileTheSessionIsPrepared", "before-execute", "server_version_num", 0, 3, "", 0},
    {"BetweenStatements", "before-execute", "FROM pg_attribute a JOIN pg_class c", 0, 5, "columns", 9},
    {"WhileTheServerExecutes", "during-execute", "pg_get_viewdef(c.oid) AS definition", 0, 5, "views", 10},
    {"HalfWayThroughAFetch", "during-fetch", "FROM pg_attribute a JOIN pg_class c", 30, 5, "columns", 9},
};

class PgHostFaultTest : public PgHostTest, public ::testing::WithParamInterface<HostFaultCase> {};

TEST_P(PgHostFaultTest, HostSaysWhatHappenedAndExitsWithItsCode) {
  const HostFaultCase& c = GetParam();
  std::string report = (std::filesystem::temp_directory_path() / "qm-fault-report.XXXXXX").string();
  const int reportFd = ::mkstemp(report.data());
  ASSERT_GE(reportFd, 0);
  ::close(reportFd);

  ProcessOptions options;
  options.environment["LD_PRELOAD"] = QM_FAULT_PRELOAD;
  options.environment["QM_FAULT_MOMENT"] = c.moment;
  options.environment["QM_FAULT_STATEMENT"] = c.statement;
  options.environment["QM_FAULT_FETCH"] = std::to_string(c.fetch);
  options.environment["QM_FAULT_ADMIN"] = *PgConnectionString();
  options.environment["QM_FAULT_DATABASE"] = s_database->Name();
  options.environment["QM_FAULT_LOCKED_TABLE"] = "public.locked";
  options.environment["QM_FAULT_REPORT"] = report;
#if defined(__SANITIZE_ADDRESS__)
  // The preload library comes before the sanitizer's runtime in the list
  // of libraries; the runtime would refuse to start otherwise.
  const char* asan = std::getenv("ASAN_OPTIONS");
  options.environment["ASAN_OPTIONS"] =
      std::string(asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "") + "verify_asan_link_order=0";
#endif
  const std::string connect = s_database->ConnectionString() + ";Fetch=20";
  const ProcessResult result = Run({"--postgres", connect, "--quiet"}, options);

  std::ifstream in(report);
  const std::string fault((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(report.c_str());
  ASSERT_NE(fault.find("fired=1"), std::string::npos) << fault << Printed(result);
  EXPECT_NE(fault.find("terminated=1"), std::string::npos) << fault;
  EXPECT_NE(fault.find("error=\n"), std::string::npos) << fault;

  EXPECT_EQ(result.exitCode, c.exitCode) << Printed(result);
  const std::string password = Password(*PgConnectionString());
  ASSERT_FALSE(password.empty());
  EXPECT_EQ(result.err.find(password), std::string::npos) << Printed(result);
  EXPECT_EQ(result.out.find(password), std::string::npos) << Printed(result);
  const std::vector<std::string> lines = Lines(result.err);

  if (c.exitCode == 3) {
    ASSERT_EQ(lines.size(), 1u) << Printed(result);
    EXPECT_EQ(lines[0].rfind("error: could not connect: [", 0), 0u) << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    return;
  }
  // One line per failed statement, then the summary.
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.failedCount) + 1) << Printed(result);
  EXPECT_EQ(lines[0].rfind(std::string("error: reading ") + c.failed + " failed: [", 0), 0u) << Printed(result);
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind("error: reading ", 0), 0u) << lines[i];
    EXPECT_NE(lines[i].find("not run: the connection to the server was lost"), std::string::npos) << lines[i];
  }
  EXPECT_EQ(lines.back(), "error: " + std::to_string(c.failedCount) +
                              " statements failed; the model written is incomplete");
  // The model read before the end is written, whole and parseable.
  const ModelFile model = ModelFile::Parse(result.out);
  EXPECT_EQ(model.OfType("table").size(), 31u);
  EXPECT_TRUE(model.OfType("key").empty());
}

INSTANTIATE_TEST_SUITE_P(Moments, PgHostFaultTest, ::testing::ValuesIn(kHostFaultCases),
                         [](const ::testing::TestParamInfo<HostFaultCase>& info) { return info.param.label; });

TEST_F(PgHostTest, RoleThatMayNotConnectIsOneLineAndExitThree) {
  const std::string role = "qm_hard_cli_limited_" + std::to_string(::getpid());
  ASSERT_EQ(RunPsql(s_database->Name(), "CREATE ROLE " + role + " LOGIN PASSWORD 'cli-limited-pw-7' CONNECTION LIMIT 0;"),
            "");
  struct DropRole {
    std::string role;
    ~DropRole() { RunPsql("postgres", "DROP ROLE IF EXISTS " + role + ";"); }
  } drop{role};
  const char* port = std::getenv("QM_PG_PORT");
  ASSERT_NE(port, nullptr);
  const ProcessResult result =
      Run({"--postgres", "Server=127.0.0.1;Port=" + std::string(port) + ";Database=" + s_database->Name() +
                             ";Uid=" + role + ";Pwd=cli-limited-pw-7"});
  EXPECT_EQ(result.exitCode, 3) << Printed(result);
  const std::vector<std::string> lines = Lines(result.err);
  ASSERT_EQ(lines.size(), 1u) << Printed(result);
  EXPECT_EQ(lines[0].rfind("error: could not connect: [", 0), 0u) << Printed(result);
  EXPECT_NE(lines[0].find("too many connections"), std::string::npos) << Printed(result);
  EXPECT_EQ(result.err.find("cli-limited-pw-7"), std::string::npos) << Printed(result);
  EXPECT_TRUE(result.out.empty());
}

}  // namespace
}  // namespace qm::test::hardening

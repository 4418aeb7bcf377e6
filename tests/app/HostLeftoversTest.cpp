// quillmere-import leaves nothing behind in the temporary folder, whatever
// ends it: not the bundled sample's folder when a signal ends the program
// while the sample is being written, not the log file psqlODBC opens when
// its driver is registered with its communication log on.
#include <PgTestEnv.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string Listing(const std::string& directory) {
  std::string names;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory))
    names += entry.path().string() + "\n";
  return names;
}

// SIGTERM or SIGHUP in the middle of writing the sample (the host sends it
// itself there, through a test-only switch, so that it lands inside a write
// every time): the program ends with 128 + the signal and the sample's
// folder is gone.
TEST(HostLeftoversTest, SignalWhileTheSampleIsWrittenLeavesNoFolder) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir tmp;
    ProcessOptions options;
    options.environment["TMPDIR"] = tmp.Path();
    options.environment["QM_TEST_SIGNAL_DURING_SAMPLE"] = std::to_string(signal);
    options.timeoutSeconds = 60;
    const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--quiet"}, options);
    EXPECT_EQ(result.exitCode, 128 + signal) << Printed(result);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(Listing(tmp.Path()), "");
  }
}

// The driver registered as Debian registers it, CommLog=1, with its log
// folder pointed at the test's (ODBCSYSINI names the folder of the driver
// registry the driver manager and psqlODBC read). An import leaves no log
// there; a connection string that asks for the log still gets it.
TEST(HostLeftoversTest, PostgresImportLeavesNoDriverLog) {
  QM_REQUIRE_PG();
  TempDir dir;
  fs::create_directory(dir.Path("registry"));
  fs::create_directory(dir.Path("logs"));
  WriteFile(dir.Path("registry/odbcinst.ini"), "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=1\nLogdir=" +
                                                   dir.Path("logs") + "\n");
  ProcessOptions options;
  options.environment["ODBCSYSINI"] = dir.Path("registry");
  options.timeoutSeconds = 120;
  const std::string connect = *PgConnectionString();

  for (const Strings& args : {Strings{"--postgres", connect, "--quiet"},
                              Strings{"--postgres", connect, "--schema", "no_such_schema", "--quiet"}}) {
    SCOPED_TRACE(args.size() == 3 ? "import" : "refused scope");
    const ProcessResult result = RunProcess(QM_IMPORT_EXE, args, options);
    EXPECT_EQ(result.exitCode, args.size() == 3 ? 0 : 2) << Printed(result);
    EXPECT_EQ(Listing(dir.Path("logs")), "");
  }

  // The log is where the driver writes it when a connection wants it.
  const ProcessResult logged = RunProcess(QM_IMPORT_EXE, {"--postgres", connect + ";CommLog=1", "--quiet"}, options);
  EXPECT_EQ(logged.exitCode, 0) << Printed(logged);
  EXPECT_NE(Listing(dir.Path("logs")).find("/psqlodbc_"), std::string::npos)
      << "the driver wrote no log where this test looks for it";
}

}  // namespace
}  // namespace qm::test

// quillmere-import where a driver would wait (a locked database, a silent
// server, a locked table): each wait ends after --timeout with a line that
// says what was waited for, and the first Ctrl-C ends the program even
// inside a driver call. The limits allowed are far below the drivers' own
// waits (100 s for a lock, 60 s for a login). And what the host leaves
// behind, whatever ends it: nothing.
#include "HostProcess.h"

#include <OdbcTestSupport.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <SilentListener.h>

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <signal.h>
#include <sys/types.h>

#include <thread>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Longer than any bounded wait here, far shorter than an unbounded one.
ProcessOptions Limited() {
  ProcessOptions options;
  options.timeoutSeconds = 45;
  return options;
}

// A connection string for psqlODBC to a server on this machine's port.
std::string PostgresAt(int port) {
  return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port) +
         ";Database=shop;Uid=clerk;Pwd=never-printed";
}

// A locked database and a silent server: one line after the timeout (whole seconds).
TEST(HostWaitTest, WaitsEndAfterTheTimeoutSayingSo) {
  TempDir dir;
  const std::string path = dir.Path("shop.db");
  SqliteFile holder(path);
  holder.Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY)");
  holder.Exec("BEGIN EXCLUSIVE; INSERT INTO orders VALUES (1);");  // held until the test ends
  const std::string locked = "error: could not connect: the database " + path +
                             " is locked by another process (waited 1 s for it)\n";
  SilentListener server;
  ASSERT_NE(server.Port(), 0);
  ExpectRuns(
      {
          {{"--sqlite", path, "--timeout", "1", "-o", dir.Path("model.json")}, 3, locked},
          {{"--connect", "Driver={SQLite3};Database=" + path, "--timeout", "1", "-o", dir.Path("model.json")}, 3,
           locked},
          // A Timeout the connection string gives is the user's, and wins.
          {{"--connect", "Driver={SQLite3};Database=" + path + ";Timeout=250", "--timeout", "1", "-o",
            dir.Path("model.json")},
           3,
           "error: could not connect: the database " + path + " is locked by another process (waited 0.25 s for it)\n"},
          {{"--timeout", "0", "--quiet"}, 2, "--timeout"},
          {{"--timeout", "1.5", "--quiet"}, 2, "--timeout"},
          {{"--timeout", "soon", "--quiet"}, 2, "--timeout"},
          {{"--timeout", "86401", "--quiet"}, 2, "--timeout"},
          {{"--timeout", "86400", "--quiet"}, 0, ""},
      },
      Limited());
  EXPECT_FALSE(fs::exists(dir.Path("model.json")));

  // (libpq waits 2 s at the least.)
  const ProcessResult silent = Host({"--postgres", PostgresAt(server.Port()), "--timeout", "2"}, Limited());
  EXPECT_EQ(silent.exitCode, 3) << Printed(silent);
  EXPECT_EQ(silent.err.rfind("error: could not connect: [08001] the server did not answer within 2 s (", 0), 0u)
      << Printed(silent);
  EXPECT_EQ(Lines(silent.err).size(), 1u) << Printed(silent);
  EXPECT_TRUE(server.WaitForConnections(1, 0ms)) << "the driver never reached the server";
}

// The first Ctrl-C a second into a lock's wait of a minute: exit 130,
// nothing written, no file left. (Inside a connect to a silent server:
// PasswordsOnTheCommandLineAreHiddenWhileTheImportRuns.)
TEST(HostWaitTest, FirstCtrlCEndsAnImportStuckInTheDriver) {
  TempDir dir;
  const std::string locked = dir.Path("locked.db");
  SqliteFile holder(locked);
  holder.Exec("CREATE TABLE t (a); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);");
  Pipe out, err;
  ChildProcess host(QM_IMPORT_EXE, {"--sqlite", locked, "--timeout", "60", "-o", dir.Path("model.json")}, {}, {-1,
                    out.fds[1], err.fds[1]});
  out.CloseWriteEnd();
  err.CloseWriteEnd();
  std::this_thread::sleep_for(1s);
  host.Signal(SIGINT);
  const int exitCode = host.Wait(10);
  const std::string errText = ReadToEnd(err.fds[0]);
  EXPECT_EQ(exitCode, 130) << errText;
  EXPECT_NE(errText.find("import cancelled; no model written"), std::string::npos) << errText;
  EXPECT_EQ(ReadToEnd(out.fds[0]), "");
  EXPECT_FALSE(fs::exists(dir.Path("model.json")));
}

// While the import waits on a server, its command line as every user reads
// it (/proc/PID/cmdline, ps) holds no password, however it was written; the
// first Ctrl-C ends the connect at once (130).
TEST(HostWaitTest, PasswordsOnTheCommandLineAreHiddenWhileTheImportRuns) {
  TempDir dir;
  SilentListener server;
  ASSERT_NE(server.Port(), 0);
  const std::string at = "127.0.0.1:" + std::to_string(server.Port()) + "/shop";
  const Strings sources[] = {
      {"postgresql://clerk:s3cr%3Bet%7D@" + at + "?sslmode=disable"},
      {"postgresql://clerk@" + at + "?password=s3cr%3Bet"},
      {"diff", "mariadb://clerk:s3cr%2Fet@" + at, "saved.json"},
      {"--connect", PostgresAt(server.Port()) + ";PWD={s3cr;et}}}"},
  };
  int started = 0;
  for (const Strings& source : sources) {
    ChildProcess host(QM_IMPORT_EXE, source, {}, {-1, -1, -1});
    ASSERT_TRUE(server.WaitForConnections(++started, 20s)) << source.back();
    std::string shown = ReadFile("/proc/" + std::to_string(host.Pid()) + "/cmdline");
    std::replace(shown.begin(), shown.end(), '\0', ' ');
    EXPECT_TRUE(shown.find("s3cr") == std::string::npos && shown.find("never-printed") == std::string::npos) << shown;
    EXPECT_NE(shown.find("127.0.0.1"), std::string::npos) << "the rest is kept: " << shown;
    std::this_thread::sleep_for(200ms);  // inside the driver's connect
    host.Signal(SIGINT);
    EXPECT_EQ(host.Wait(10), 130) << "the first Ctrl-C did not end the program";
  }
}

// A catalogue statement needing a table another session locked gives up
// after the timeout (lock_timeout), said so; the import goes on (exit 5).
TEST(HostWaitTest, TableLockedByAnotherSessionIsWaitedForOnlyUntilTheTimeout) {
  QM_REQUIRE_PG();
  TestDatabase database("locks");
  ASSERT_EQ(RunPsql(database.Name(), "CREATE TABLE orders (id int PRIMARY KEY, note text);"
                                     "CREATE INDEX orders_note ON orders (note);"
                                     "CREATE VIEW open_orders AS SELECT id FROM orders;"),
            "");
  TestConnector session;
  CString connect = CString::FromUtf8(database.ConnectionString());
  ASSERT_TRUE(session.Connect(connect)) << Describe(session.GetLastDiagnostic());
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetConnectAttrW(static_cast<SQLHDBC>(session.GetConnectionHandle()), SQL_ATTR_AUTOCOMMIT,
                                               reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)), 0)));
  ASSERT_EQ(Exec(session.GetConnectionHandle(), u"LOCK TABLE orders IN ACCESS EXCLUSIVE MODE"), "");

  const ProcessResult result =
      Host({"--postgres", database.ConnectionString(), "--schema", "public", "--timeout", "1"}, Limited());
  EXPECT_EQ(result.exitCode, 5) << Printed(result);
  EXPECT_NE(result.err.find("[55P03] "), std::string::npos) << Printed(result);
  EXPECT_NE(result.err.find("(a table is locked by another session; waited 1 s, see --timeout)"), std::string::npos)
      << Printed(result);
  SQLEndTran(SQL_HANDLE_DBC, static_cast<SQLHDBC>(session.GetConnectionHandle()), SQL_ROLLBACK);
}

// The sample's temporary database goes after a normal run, SIGPIPE, and
// SIGTERM or SIGHUP while it is written (sent by the host itself through a
// test-only switch, to land inside a write): exit 128 + the signal.
TEST(HostLeftoversTest, TheSamplesFolderGoesWhateverEndsTheProgram) {
  for (const int signal : {0, SIGPIPE, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir tmp;
    ProcessOptions options = Limited();
    options.environment["TMPDIR"] = tmp.Path();
    if (signal == SIGPIPE) options.closeStdout = true;
    if (signal == SIGTERM || signal == SIGHUP)
      options.environment["QM_TEST_SIGNAL_DURING_SAMPLE"] = std::to_string(signal);
    const ProcessResult result = Host({"--quiet", "--format", "tree"}, options);
    EXPECT_EQ(result.exitCode, signal == 0 ? 0 : 128 + signal) << Printed(result);
    EXPECT_EQ(result.out.empty(), signal != 0);
    EXPECT_TRUE(Snapshot(tmp.Path()).empty());
  }
}

// psqlODBC registered with CommLog=1 (as Debian does), its log folder the
// test's: an import leaves no log; a connection string asking for it gets it.
TEST(HostLeftoversTest, PostgresImportLeavesNoDriverLog) {
  QM_REQUIRE_PG();
  TempDir dir;
  fs::create_directory(dir.Path("registry"));
  fs::create_directory(dir.Path("logs"));
  WriteFile(dir.Path("registry/odbcinst.ini"), "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=1\nLogdir=" +
                                                   dir.Path("logs") + "\n");
  ProcessOptions options;
  options.environment["ODBCSYSINI"] = dir.Path("registry");
  const std::string connect = *PgConnectionString();
  ExpectRuns({{{"--postgres", connect, "--quiet"}, 0, ""}}, options);
  EXPECT_TRUE(Snapshot(dir.Path("logs")).empty());
  ExpectRuns({{{"--postgres", connect, "--schema", "no_such_schema", "--quiet"}, 2, ""}}, options);
  EXPECT_TRUE(Snapshot(dir.Path("logs")).empty());

  ExpectRuns({{{"--postgres", connect + ";CommLog=1", "--quiet"}, 0, ""}}, options);
  const auto logs = Snapshot(dir.Path("logs"));
  EXPECT_TRUE(!logs.empty() && logs.begin()->first.find("/psqlodbc_") != std::string::npos)
      << "the driver wrote no log where this test looks for it";
}

}  // namespace
}  // namespace qm::test

// quillmere-import where a driver would wait: a database another process
// has locked, a server that accepts the connection and never answers, a
// table another session has locked. Each wait ends after --timeout with a
// line that says what was waited for, and the first Ctrl-C ends the program
// at once even while the import is inside a driver call that does not
// return. The waits here are a second long; the limits the tests allow are
// far below what the driver would wait on its own (100 s for a lock, 60 s
// for a login), so a wait that is not bounded fails them. And what the
// host leaves behind, whatever ends it: nothing.
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

// A locked SQLite database and a server that never answers end in one line
// after the timeout, which must be a whole number of seconds.
TEST(HostWaitTest, WaitsEndAfterTheTimeoutSayingSo) {
  TempDir dir;
  const std::string path = dir.Path("shop.db");
  SqliteFile holder(path);
  holder.Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY)");
  // Another process's writer: an exclusive lock held until the test ends.
  holder.Exec("BEGIN EXCLUSIVE; INSERT INTO orders VALUES (1);");
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
          {{"--timeout", "-1", "--quiet"}, 2, "--timeout"},
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

// The first Ctrl-C, sent while the import's worker is inside a driver call
// that would not return for a minute: the program ends with 130, writes
// nothing and leaves no file.
TEST(HostWaitTest, FirstCtrlCEndsAnImportStuckInTheDriver) {
  TempDir dir;
  SilentListener server;
  ASSERT_NE(server.Port(), 0);
  const std::string locked = dir.Path("locked.db");
  SqliteFile holder(locked);
  holder.Exec("CREATE TABLE t (a); BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);");

  for (const Strings& source : {Strings{"--postgres", PostgresAt(server.Port())}, Strings{"--sqlite", locked}}) {
    SCOPED_TRACE(source[0]);
    Strings args = source;
    args.insert(args.end(), {"--timeout", "60", "-o", dir.Path("model.json")});
    Pipe out, err;
    ChildProcess host(QM_IMPORT_EXE, args, {}, -1, out.fds[1], err.fds[1]);
    out.CloseWriteEnd();
    err.CloseWriteEnd();
    // The worker is inside the driver: connecting (the server has the
    // connection) or waiting for the lock (a second into a 60 s wait).
    if (source[0] == "--postgres") {
      ASSERT_TRUE(server.WaitForConnections(1, 20s)) << "the import never reached the server";
      std::this_thread::sleep_for(200ms);
    } else {
      std::this_thread::sleep_for(1s);
    }
    host.Signal(SIGINT);
    const int exitCode = host.Wait(10);
    ASSERT_NE(exitCode, -1) << "the first Ctrl-C did not end the program";
    const std::string errText = ReadToEnd(err.fds[0]);
    EXPECT_EQ(exitCode, 130) << errText;
    EXPECT_NE(errText.find("import cancelled; no model written"), std::string::npos) << errText;
    EXPECT_EQ(ReadToEnd(out.fds[0]), "");
    EXPECT_FALSE(fs::exists(dir.Path("model.json")));
  }
}

// While the import waits on a server, what every user of the machine can
// read of its command line (/proc/PID/cmdline, ps) holds no password: not
// in a URL, a URL's parameter or a connection string, however written.
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
    ChildProcess host(QM_IMPORT_EXE, source, {}, -1, -1, -1);
    ASSERT_TRUE(server.WaitForConnections(++started, 20s)) << source.back();
    std::string shown = ReadFile("/proc/" + std::to_string(host.Pid()) + "/cmdline");
    std::replace(shown.begin(), shown.end(), '\0', ' ');
    EXPECT_TRUE(shown.find("s3cr") == std::string::npos && shown.find("never-printed") == std::string::npos) << shown;
    EXPECT_NE(shown.find("127.0.0.1"), std::string::npos) << "the rest is kept: " << shown;
    host.Signal(SIGINT);
    EXPECT_NE(host.Wait(10), -1);
  }
}

// A catalogue statement that needs a table another session holds locked
// gives up after the timeout (PostgreSQL's lock_timeout), and the host says
// what it waited for; the import goes on without it (exit 5).
TEST(HostWaitTest, TableLockedByAnotherSessionIsWaitedForOnlyUntilTheTimeout) {
  QM_REQUIRE_PG();
  TestDatabase database("locks");
  ASSERT_EQ(RunPsql(database.Name(), "CREATE TABLE orders (id int PRIMARY KEY, note text);"
                                     "CREATE INDEX orders_note ON orders (note);"
                                     "CREATE VIEW open_orders AS SELECT id FROM orders;"),
            "");
  // Another session, in the middle of an ALTER TABLE, say.
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

std::string Listing(const std::string& directory) {
  std::string names;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(directory))
    names += entry.path().string() + "\n";
  return names;
}

// The sample's temporary database goes away after a normal run, when a
// reader that went away ends the process (SIGPIPE), and when SIGTERM or
// SIGHUP comes in the middle of writing it (the host sends it itself there,
// through a test-only switch, so that it lands inside a write every time):
// the program ends with 128 + the signal.
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
  const std::string connect = *PgConnectionString();
  ExpectRuns({{{"--postgres", connect, "--quiet"}, 0, ""}}, options);
  EXPECT_EQ(Listing(dir.Path("logs")), "");
  ExpectRuns({{{"--postgres", connect, "--schema", "no_such_schema", "--quiet"}, 2, ""}}, options);
  EXPECT_EQ(Listing(dir.Path("logs")), "");

  // The log is where the driver writes it when a connection wants it.
  ExpectRuns({{{"--postgres", connect + ";CommLog=1", "--quiet"}, 0, ""}}, options);
  EXPECT_NE(Listing(dir.Path("logs")).find("/psqlodbc_"), std::string::npos)
      << "the driver wrote no log where this test looks for it";
}

}  // namespace
}  // namespace qm::test

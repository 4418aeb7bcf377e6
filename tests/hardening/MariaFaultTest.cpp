// The importer's MariaDB session is killed (KILL CONNECTION from another
// session, so the fault is the server's own) during each phase of an
// import: while the connect step prepares the session, between two
// statements, while the server executes a statement (it waits for a lock a
// third session holds), and half-way through the rows of a statement; and
// the server refuses the connection outright. Each time the import ends,
// the host learns what happened (session status, the connect error or the
// failed statements by name with the server's reason), the model holds only
// what was read in full, with no dangling reference, every ODBC handle is
// freed, and the next import in the same process builds exactly the model
// an undisturbed one builds. Memory: the sanitizer build's leak check runs
// at the end of the process.
//
// MariaDB's driver (3.1.15) reads a statement's whole result while the
// statement executes, so a session killed half-way through the fetch loses
// none of that statement's rows: the next statement is the one that fails.
#include <ImportHost.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <OdbcFaults.h>
#include <PgServer.h>
#include <SilentListener.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace qm::test::hardening {
namespace {

using Strings = std::vector<std::string>;

enum class Moment { BeforeExecute, DuringExecute, DuringFetch };

// Kills the importer's session (the one whose default database is the
// test's) at the chosen moment, from another session of the test's account.
class SessionKiller {
 public:
  SessionKiller(Moment moment, std::string fragment, int fetch, std::string database, std::string lockedTable)
      : m_moment(moment), m_fragment(std::move(fragment)), m_fetch(fetch), m_database(std::move(database)),
        m_lockedTable(std::move(lockedTable)) {
    odbc::Hooks hooks;
    hooks.beforeExecute = [this](void* statement, const std::u16string& text) -> std::optional<std::u16string> {
      if (text.find(std::u16string(m_fragment.begin(), m_fragment.end())) == std::u16string::npos) return std::nullopt;
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_armed.exchange(false)) {
        if (m_moment == Moment::BeforeExecute) Kill(false);
        if (m_moment == Moment::DuringExecute) StartLockAndKiller();
        if (m_moment == Moment::DuringFetch) {
          m_fetchHandle = statement;
          m_armed = true;
        }
      }
      return std::nullopt;
    };
    hooks.afterExecute = [this](void*, const std::u16string&) { Join(); };
    hooks.beforeFetch = [this](void* statement) {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_moment != Moment::DuringFetch || statement != m_fetchHandle || ++m_fetchCalls != m_fetch) return;
      m_armed = false;
      m_fetchHandle = nullptr;
      Kill(false);
    };
    m_install = std::make_unique<odbc::Install>(std::move(hooks));
  }
  ~SessionKiller() {
    m_install.reset();
    Join();
  }

  int Killed() const { return m_killed; }
  const std::string& Error() const { return m_error; }

 private:
  // The importer's session: its default database is the test's.
  std::string SessionId(bool waiting) const {
    return MariaQueryValue("SELECT CAST(ID AS CHAR) AS v FROM information_schema.PROCESSLIST WHERE DB = " +
                           MariaLiteral(m_database) + " AND ID <> CONNECTION_ID()" +
                           (waiting ? " AND STATE LIKE 'Waiting for table metadata lock%'" : ""));
  }

  // Kills the session and waits until the server has let it go.
  bool Kill(bool waiting) {
    const std::string id = SessionId(waiting);
    if (id.empty()) return false;
    const std::string error = RunMariaSql("", "KILL CONNECTION " + id + ";\n");
    if (!error.empty() && m_error.empty()) m_error = error;
    for (int i = 0; i < 200; ++i) {
      if (MariaQueryValue("SELECT COUNT(*) AS v FROM information_schema.PROCESSLIST WHERE ID = " + id +
                          " AND COMMAND <> 'Killed'") == "0")
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ++m_killed;
    return true;
  }

  // A third session takes the lock and keeps it; once the importer waits
  // for it, its session is killed, then the holder lets go.
  void StartLockAndKiller() {
    m_holder = std::thread([this] {
      RunMariaSql("", "LOCK TABLES " + m_lockedTable + " WRITE;\nSELECT SLEEP(20);\nUNLOCK TABLES;\n");
    });
    for (int i = 0; i < 400; ++i) {
      if (MariaQueryValue("SELECT COUNT(*) AS v FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(20)%'") ==
          "1")
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    m_killer = std::thread([this] {
      bool done = false;
      for (int i = 0; i < 1000 && !done; ++i) {
        done = Kill(true);
        if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      if (!done && m_error.empty()) m_error = "the importer never waited for the lock";
      RunMariaSql("", "KILL QUERY (SELECT ID FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(20)%');\n");
      const std::string holder =
          MariaQueryValue("SELECT CAST(ID AS CHAR) AS v FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(20)%'");
      if (!holder.empty()) RunMariaSql("", "KILL CONNECTION " + holder + ";\n");
    });
  }

  void Join() {
    for (std::thread* thread : {&m_killer, &m_holder})
      if (thread->joinable()) thread->join();
  }

  Moment m_moment;
  std::string m_fragment;      // a fragment of the statement that names it (ASCII)
  int m_fetch;                 // DuringFetch: the 1-based SQLFetch call before which the session is killed
  std::string m_database;      // the importer's default database
  std::string m_lockedTable;   // DuringExecute: the table the statement needs (qualified)
  std::atomic<bool> m_armed{true};
  std::mutex m_mutex;          // guards the fetch state and the kill
  void* m_fetchHandle = nullptr;
  int m_fetchCalls = 0;
  std::atomic<int> m_killed{0};
  std::string m_error;         // why the killing did not work; empty when it did
  std::thread m_holder;        // DuringExecute: the session holding the lock
  std::thread m_killer;        // DuringExecute: kills the waiting importer
  std::unique_ptr<odbc::Install> m_install;
};

class MariaFaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!MariaConnectionString()) return;
    s_database = std::make_unique<MariaDatabase>("fault");
    std::string script =
        "CREATE SEQUENCE counter;\nCREATE PROCEDURE p(IN x INT) SET @y = x;\n"
        "CREATE TABLE t0 (id INT PRIMARY KEY);\n";
    for (int i = 1; i <= 40; ++i) {
      const std::string t = "t" + std::to_string(i);
      script += "CREATE TABLE " + t + " (id INT PRIMARY KEY, a INT CHECK (a > 0), b VARCHAR(20), c INT, KEY " + t +
                "_b (b), CONSTRAINT " + t + "_c FOREIGN KEY (c) REFERENCES t" + std::to_string(i - 1) + " (id));\n";
    }
    script += "CREATE VIEW v AS SELECT id, b FROM t1;\n";
    const std::string error = RunMariaSql(s_database->Name(), script);
    if (!error.empty()) ADD_FAILURE() << error;
    s_plugin = std::make_unique<LoadedPlugin>(QM_MARIADB_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
    s_database.reset();
  }
  void SetUp() override {
    QM_REQUIRE_MARIA();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
    if (s_baseline.empty()) {
      GenericModel model(s_plugin->Api().modelType);
      const ImportOutcome outcome = Import(model);
      ASSERT_EQ(outcome.status, ImportStatusConnected);
      ASSERT_TRUE(outcome.failed.empty());
      s_baseline = MariaModelLines(model);
      ASSERT_EQ(LineDifference(MariaCatalogueLines({s_database->Name()}), s_baseline), "");
    }
    m_handles = odbc::LiveHandles();
    m_allocations = odbc::Allocations();
  }

  static ImportOutcome Import(GenericModel& model, const std::string& source = {}) {
    return RunImport(s_plugin->Api(), model, source.empty() ? s_database->ConnectionString() : source,
                     s_database->Name());
  }

  // After a fault: the handles are back where they were and the next
  // import builds the undisturbed model.
  void ExpectCleanAndNextImportWorks() {
    EXPECT_GT(odbc::Allocations(), m_allocations) << "the handle counts did not see the import";
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the import";
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome next = Import(model);
    EXPECT_EQ(next.status, ImportStatusConnected);
    EXPECT_TRUE(next.failed.empty());
    EXPECT_EQ(LineDifference(s_baseline, MariaModelLines(model)), "");
    EXPECT_EQ(odbc::LiveHandles(), m_handles) << "ODBC handles left allocated by the next import";
  }

  inline static std::unique_ptr<MariaDatabase> s_database;
  inline static std::unique_ptr<LoadedPlugin> s_plugin;
  inline static Strings s_baseline;  // the lines of an undisturbed import (SetUp)
  std::array<int, 3> m_handles;      // live handles before the test
  int m_allocations = 0;             // handle allocations before the test
};

struct FaultCase {
  const char* label;
  Moment moment;
  const char* statement;           // a fragment of the statement the session is killed at
  int fetch;                       // DuringFetch: the SQLFetch call
  const char* failed;              // the statement that fails, as the host is told; "" when the connect fails
  std::size_t failedCount;         // it and every statement after it
  std::set<std::string> complete;  // kinds of objects read in full before it
  std::set<std::string> partial;   // kinds of objects all there, without what later statements add; no others are there
};

const FaultCase kCases[] = {
    {"WhileTheSessionIsPrepared", Moment::BeforeExecute, "SET SESSION sql_mode", 0, "", 0, {}, {}},
    {"BetweenStatements", Moment::BeforeExecute, "FROM information_schema.COLUMNS c", 0, "columns", 10,
     {"schema", "table", "view", "sequence"}, {}},
    // The sequences are there without their values.
    {"WhileTheServerExecutes", Moment::DuringExecute, "start_value", 0, "sequence values", 11,
     {"schema", "table", "view"}, {"sequence"}},
    // Every column is there, without its position in the primary key.
    {"HalfWayThroughAFetch", Moment::DuringFetch, "FROM information_schema.COLUMNS c", 30, "keys", 9,
     {"schema", "table", "view", "sequence"}, {"column"}},
};

class MariaSessionKilledTest : public MariaFaultTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(MariaSessionKilledTest, ImportEndsWithTheLossReportedAndAConsistentModel) {
  const FaultCase& c = GetParam();
  GenericModel model(s_plugin->Api().modelType);
  ImportOutcome outcome;
  {
    SessionKiller killer(c.moment, c.statement, c.fetch, s_database->Name(),
                         MariaIdent(s_database->Name()) + ".counter");
    outcome = Import(model);
    ASSERT_EQ(killer.Error(), "");
    ASSERT_EQ(killer.Killed(), 1) << "the import never reached the chosen moment";
  }
  EXPECT_EQ(StructuralFaults(model), Strings());
  if (c.failedCount == 0) {
    ExpectConnectFailed(outcome, model);
  } else {
    EXPECT_EQ(outcome.status, ImportStatusConnected);
    EXPECT_TRUE(outcome.finishedPosted);
    ASSERT_EQ(outcome.failed.size(), c.failedCount);
    EXPECT_EQ(Utf8(outcome.failed[0].name), c.failed);
    const OdbcDiagnostic& first = outcome.failed[0].diagnostic;
    // The server's "killed" (1927), or the client library finding the
    // connection gone (2006, 2013, or a failed write or read: 5014, 5013).
    EXPECT_TRUE(first.nativeError == 1927 || first.nativeError == 2006 || first.nativeError == 2013 ||
                first.nativeError == 5013 || first.nativeError == 5014)
        << Utf8(first.sqlState) << " " << first.nativeError << " " << Utf8(first.message);
    for (std::size_t i = 1; i < outcome.failed.size(); ++i)
      EXPECT_NE(Utf8(outcome.failed[i].diagnostic.message).find("not run"), std::string::npos)
          << Utf8(outcome.failed[i].name);
    EXPECT_EQ(outcome.failed.back().name, u"parameters");
    const Strings lines = MariaModelLines(model);
    EXPECT_EQ(LineDifference(OfKinds(s_baseline, c.complete), OfKinds(lines, c.complete)), "");
    EXPECT_EQ(OfKinds(lines, c.partial).size(), OfKinds(s_baseline, c.partial).size());
    EXPECT_EQ(OfKinds(lines, c.complete).size() + OfKinds(lines, c.partial).size(), lines.size())
        << "objects of a kind read at or after the fault";
  }
  ExpectCleanAndNextImportWorks();
}

INSTANTIATE_TEST_SUITE_P(Moments, MariaSessionKilledTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.label; });

// A port with nothing listening and a wrong password: the connect fails
// with the driver's reason, and the password is not in it.
TEST_F(MariaFaultTest, RefusedConnectionsFailTheConnect) {
  const int port = UnusedLoopbackPort();
  ASSERT_NE(port, 0);
  const std::pair<std::string, std::string> cases[] = {
      {WithAttribute(s_database->ConnectionString(), "Port", std::to_string(port)), "Can't connect"},
      {WithAttribute(s_database->ConnectionString(), "Pwd", "wrong-pw-4"), "Access denied"},
  };
  for (const auto& [source, reason] : cases) {
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome = Import(model, source);
    ExpectConnectFailed(outcome, model);
    const std::string message = Utf8(outcome.connectError.message);
    EXPECT_NE(message.find(reason), std::string::npos) << message;
    EXPECT_EQ(message.find("wrong-pw-4"), std::string::npos) << message;
  }
  ExpectCleanAndNextImportWorks();
}

}  // namespace
}  // namespace qm::test::hardening

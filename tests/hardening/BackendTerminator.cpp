// Link-level stand-in: these definitions come before the driver manager's
// in symbol lookup (the test executable exports them; the preload library
// is first in the process), so the module's and the plug-ins' calls arrive
// here and go on to the real functions found with RTLD_NEXT. The sessions
// this file opens itself use the narrow entry points and a thread-local
// guard, so they never trigger a plan.
#include "BackendTerminator.h"

#define _WINDOWS_
#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

namespace qm::test::hardening {
namespace {

thread_local bool t_inside = false;  // this thread runs a session of ours: pass calls through

std::mutex g_mutex;             // guards everything below
Plan g_plan;                    // the armed plan; moment None when disarmed
Outcome g_outcome;              // what happened since Arm
SQLHSTMT g_fetchHandle = SQL_NULL_HSTMT;  // DuringFetch: the statement's handle once it ran
int g_fetchCalls = 0;           // DuringFetch: SQLFetch calls on that handle so far
std::string g_reportPath;       // QM_FAULT_REPORT: where the outcome is written when it changes

template <typename Function>
Function Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "BackendTerminator: %s not found in the driver manager\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Marks the calling thread as running one of our sessions while it lives.
class Inside {
 public:
  Inside() : m_previous(t_inside) { t_inside = true; }
  ~Inside() { t_inside = m_previous; }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;

 private:
  bool m_previous;  // the flag before, for nesting
};

// The connection string with its Database attribute replaced.
std::string WithDatabase(const std::string& connection, const std::string& database) {
  std::string result;
  std::size_t pos = 0;
  while (pos < connection.size()) {
    std::size_t end = connection.find(';', pos);
    if (end == std::string::npos) end = connection.size();
    const std::string part = connection.substr(pos, end - pos);
    std::string key = part.substr(0, part.find('='));
    for (char& ch : key) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    if (!part.empty() && key != "database") result += part + ";";
    pos = end + 1;
  }
  return result + "Database=" + database;
}

// One ODBC session of ours, through the narrow entry points.
class Session {
 public:
  explicit Session(const std::string& connection) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
    std::string text = connection;
    const SQLRETURN rc = SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr,
                                          0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
      error = "cannot connect: " + Diagnostic(SQL_HANDLE_DBC, m_dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
      m_dbc = SQL_NULL_HDBC;
    }
  }
  ~Session() {
    if (m_dbc != SQL_NULL_HDBC) {
      if (m_transaction) SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
      SQLDisconnect(m_dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, m_env);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Connected() const { return m_dbc != SQL_NULL_HDBC; }

  // Turns autocommit off: what runs next stays in a transaction until the
  // session goes (rolled back then).
  bool BeginTransaction() {
    if (!Succeeded(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)), 0))) {
      error = "cannot leave autocommit: " + Diagnostic(SQL_HANDLE_DBC, m_dbc);
      return false;
    }
    m_transaction = true;
    return true;
  }

  // Runs the statement; the first value of its first row, or nothing (and
  // error set) when it failed.
  std::optional<std::string> Run(const std::string& sql) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &statement))) {
      error = "no statement handle: " + Diagnostic(SQL_HANDLE_DBC, m_dbc);
      return std::nullopt;
    }
    std::string text = sql;
    std::optional<std::string> value;
    SQLRETURN rc = SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
      error = "statement failed: " + Diagnostic(SQL_HANDLE_STMT, statement) + " (" + sql + ")";
    } else {
      value = std::string();
      SQLSMALLINT columns = 0;
      SQLNumResultCols(statement, &columns);
      if (columns > 0 && Succeeded(SQLFetch(statement))) {
        char buffer[256] = {};
        SQLLEN indicator = 0;
        if (Succeeded(SQLGetData(statement, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator)) &&
            indicator != SQL_NULL_DATA)
          value = buffer;
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return value;
  }

  std::string error;  // the last failure, for the outcome

 private:
  static std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length)))
      return "(no diagnostic)";
    return "[" + std::string(reinterpret_cast<char*>(state)) + "] " + reinterpret_cast<char*>(message);
  }

  SQLHENV m_env = SQL_NULL_HENV;  // owned
  SQLHDBC m_dbc = SQL_NULL_HDBC;  // owned, connected; null when the connect failed
  bool m_transaction = false;     // autocommit is off
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) {
    quoted += ch;
    if (ch == '\'') quoted += '\'';
  }
  return quoted + "'";
}

// Ends the other client sessions of the database (only those waiting for
// a lock when waiting is set), each waited for until it is gone. The number
// ended, or -1 with error set.
int TerminateSessions(Session& admin, const std::string& database, bool waiting) {
  const std::optional<std::string> count = admin.Run(
      "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity "
      "WHERE datname = " + Quote(database) + " AND pid <> pg_backend_pid() AND backend_type = 'client backend'" +
      (waiting ? " AND wait_event_type = 'Lock'" : ""));
  return count ? std::atoi(count->c_str()) : -1;
}

// Writes the outcome where QM_FAULT_REPORT says; g_mutex held.
void Report() {
  if (g_reportPath.empty()) return;
  std::ofstream out(g_reportPath, std::ios::trunc);
  out << "fired=" << (g_outcome.fired ? 1 : 0) << "\nterminated=" << g_outcome.terminated
      << "\nrowsDelivered=" << g_outcome.rowsDelivered << "\nerror=" << g_outcome.error << "\n";
}

void Record(int terminated, const std::string& error) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_outcome.fired = true;
  if (terminated > 0) g_outcome.terminated += terminated;
  if (!error.empty() && g_outcome.error.empty()) g_outcome.error = error;
  Report();
}

// Ends the database's sessions now, from this thread.
void TerminateNow(const Plan& plan) {
  Inside inside;
  Session admin(plan.adminConnection);
  if (!admin.Connected()) {
    Record(0, admin.error);
    return;
  }
  const int ended = TerminateSessions(admin, plan.database, false);
  Record(ended, ended < 0 ? admin.error : std::string());
}

// Takes the plan if the statement is the one it names; it fires once.
std::optional<Plan> TakePlan(const std::u16string& statement) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_plan.moment == Moment::None || statement.find(g_plan.statement) == std::u16string::npos) return std::nullopt;
  Plan plan = g_plan;
  if (plan.moment != Moment::DuringFetch) g_plan.moment = Moment::None;
  return plan;
}

using ExecDirectW = SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER);
using Fetch = SQLRETURN (*)(SQLHSTMT);

// DuringExecute: holds the lock in a third session, lets the statement run
// into it and ends its backend while it waits.
SQLRETURN ExecuteIntoLock(const Plan& plan, ExecDirectW real, SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  std::optional<Session> holder;
  {
    Inside inside;
    holder.emplace(WithDatabase(plan.adminConnection, plan.database));
    // Never waits long itself: a lock it cannot get fails the plan instead.
    if (!holder->Connected() || !holder->BeginTransaction() || !holder->Run("SET LOCAL lock_timeout = '20s'") ||
        !holder->Run("LOCK TABLE " + plan.lockedTable + " IN ACCESS EXCLUSIVE MODE")) {
      Record(0, "the lock was not taken: " + holder->error);
      holder.reset();
      return real(statement, text, length);
    }
  }
  std::atomic<bool> done{false};
  std::thread ender([&] {
    Inside inside;
    Session admin(plan.adminConnection);
    std::string error = admin.error;
    int ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (admin.Connected() && !done.load() && std::chrono::steady_clock::now() < deadline) {
      ended = TerminateSessions(admin, plan.database, true);
      if (ended != 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended < 0) error = admin.error;
    if (ended == 0 && error.empty()) error = "no session of the database waited for the lock";
    Record(ended, ended > 0 ? std::string() : error);
    // Whatever happened, the statement must not wait for ever.
    holder.reset();
  });
  const SQLRETURN rc = real(statement, text, length);
  done.store(true);
  ender.join();
  return rc;
}

}  // namespace

void Arm(const Plan& plan) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_plan = plan;
  g_outcome = Outcome();
  g_fetchHandle = SQL_NULL_HSTMT;
  g_fetchCalls = 0;
}

Outcome Disarm() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_plan = Plan();
  g_fetchHandle = SQL_NULL_HSTMT;
  g_fetchCalls = 0;
  return g_outcome;
}

void ArmFromEnvironment() {
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  const std::string moment = env("QM_FAULT_MOMENT");
  if (moment.empty()) return;
  Plan plan;
  plan.moment = moment == "before-execute"   ? Moment::BeforeExecute
                : moment == "during-execute" ? Moment::DuringExecute
                : moment == "during-fetch"   ? Moment::DuringFetch
                                             : Moment::None;
  const std::string fragment = env("QM_FAULT_STATEMENT");
  plan.statement.assign(fragment.begin(), fragment.end());  // ASCII fragments
  plan.fetch = std::atoi(env("QM_FAULT_FETCH").c_str());
  plan.adminConnection = env("QM_FAULT_ADMIN");
  plan.database = env("QM_FAULT_DATABASE");
  plan.lockedTable = env("QM_FAULT_LOCKED_TABLE");
  Arm(plan);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_reportPath = env("QM_FAULT_REPORT");
  Report();
}

}  // namespace qm::test::hardening

using namespace qm::test::hardening;

extern "C" SQLRETURN SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  static const auto real = Real<ExecDirectW>("SQLExecDirectW");
  if (t_inside || text == nullptr) return real(statement, text, length);
  const auto* units = reinterpret_cast<const char16_t*>(text);
  const std::u16string sql =
      length == SQL_NTS ? std::u16string(units) : std::u16string(units, static_cast<std::size_t>(length));
  const std::optional<Plan> plan = TakePlan(sql);
  if (!plan) return real(statement, text, length);
  switch (plan->moment) {
    case Moment::BeforeExecute:
      TerminateNow(*plan);
      return real(statement, text, length);
    case Moment::DuringExecute:
      return ExecuteIntoLock(*plan, real, statement, text, length);
    case Moment::DuringFetch: {
      {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_fetchHandle = statement;
        g_fetchCalls = 0;
      }
      return real(statement, text, length);
    }
    case Moment::None:
      break;
  }
  return real(statement, text, length);
}

extern "C" SQLRETURN SQLFetch(SQLHSTMT statement) {
  static const auto real = Real<Fetch>("SQLFetch");
  if (t_inside) return real(statement);
  std::optional<Plan> plan;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_plan.moment == Moment::DuringFetch && statement == g_fetchHandle && ++g_fetchCalls == g_plan.fetch) {
      plan = g_plan;
      g_plan.moment = Moment::None;
    }
  }
  if (plan) TerminateNow(*plan);
  const SQLRETURN rc = real(statement);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (statement == g_fetchHandle) {
    // Rows the driver still holds arrive after the backend ended, too.
    if (Succeeded(rc)) {
      ++g_outcome.rowsDelivered;
    } else {
      g_fetchHandle = SQL_NULL_HSTMT;
    }
  }
  return rc;
}

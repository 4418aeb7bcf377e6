#include "BackendTerminator.h"

#include <OdbcFaults.h>
#include <Subprocess.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

namespace qm::test::hardening {
namespace {

constexpr const char* kHolder = "qm_fault_holder";  // application name of the session holding the lock

std::mutex g_mutex;                     // guards everything below but the threads
Plan g_plan;                            // the armed plan; moment None when disarmed or fired
Outcome g_outcome;                      // what happened since Arm
void* g_fetchHandle = nullptr;          // DuringFetch: the statement's handle once it ran
int g_fetchCalls = 0;                   // DuringFetch: SQLFetch calls on that handle so far
std::string g_reportPath;               // where the outcome is written when it changes; "" for nowhere
odbc::Install* g_install = nullptr;     // the hooks while armed; never destroyed in the preload library
std::thread g_holder;                   // DuringExecute: the session holding the lock (import thread only)
std::thread g_ender;                    // DuringExecute: ends the waiting session (import thread only)

// Runs SQL with psql in the database as the test server's superuser; the
// first line printed, or nothing with *error set.
std::optional<std::string> Psql(const std::string& database, const std::string& sql, std::string* error,
                                const std::string& application = "qm_fault") {
  ProcessOptions options;
  options.input = sql + ";\n";
  options.unset = {"LD_PRELOAD"};
  options.environment["PGAPPNAME"] = application;
  options.timeoutSeconds = 60;
  const ProcessResult result =
      RunProcess("/usr/bin/psql", {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database, "-f", "-"}, options);
  if (result.exitCode != 0) {
    if (error != nullptr) *error = "psql: " + Printed(result);
    return std::nullopt;
  }
  const std::vector<std::string> lines = Lines(result.out);
  return lines.empty() ? std::string() : lines[0];
}

// Writes the outcome where the report goes; g_mutex held.
void Report() {
  if (g_reportPath.empty()) return;
  std::ofstream out(g_reportPath, std::ios::trunc);
  out << "fired=" << (g_outcome.fired ? 1 : 0) << "\nterminated=" << g_outcome.terminated
      << "\nrowsDelivered=" << g_outcome.rowsDelivered << "\nerror=" << g_outcome.error << "\n";
}

void Record(int terminated, const std::string& error) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_outcome.fired = true;
  g_outcome.terminated += terminated;
  if (!error.empty() && g_outcome.error.empty()) g_outcome.error = error;
  Report();
}

// Ends the database's client sessions but ours (only those waiting for a
// lock when waiting is set), each waited for until it is gone; the number
// ended, or -1 with *error set.
int TerminateSessions(const std::string& database, bool waiting, std::string* error) {
  const std::optional<std::string> count = Psql(
      "postgres",
      "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity WHERE datname = '" +
          database + "' AND backend_type = 'client backend' AND application_name NOT LIKE 'qm\\_fault%'" +
          (waiting ? " AND wait_event_type = 'Lock'" : ""),
      error);
  return count ? std::atoi(count->c_str()) : -1;
}

void TerminateNow(const Plan& plan) {
  std::string error;
  const int ended = TerminateSessions(plan.database, false, &error);
  Record(ended > 0 ? ended : 0, error);
}

// DuringExecute: a third session takes the lock and keeps it; once it holds
// it, a thread ends the importer's session as soon as it waits for it, then
// the holder's.
void StartLockAndEnder(const Plan& plan) {
  g_holder = std::thread([plan] {
    Psql(plan.database, "BEGIN; LOCK TABLE " + plan.lockedTable + " IN ACCESS EXCLUSIVE MODE; SELECT pg_sleep(60)",
         nullptr, kHolder);
  });
  const std::string holding = "SELECT count(*) FROM pg_stat_activity WHERE application_name = '" +
                              std::string(kHolder) + "' AND query LIKE '%pg\\_sleep%' AND state = 'active'";
  std::string error;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Psql("postgres", holding, &error).value_or("0") != "1" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  g_ender = std::thread([plan] {
    std::string error;
    int ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ended == 0 && std::chrono::steady_clock::now() < deadline) {
      ended = TerminateSessions(plan.database, true, &error);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended <= 0 && error.empty()) error = "no session of the database waited for the lock";
    Record(ended > 0 ? ended : 0, ended > 0 ? std::string() : error);
    // Whatever happened, the statement must not wait for ever.
    Psql("postgres", "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                         std::string(kHolder) + "'", nullptr);
  });
}

void JoinThreads() {
  for (std::thread* thread : {&g_ender, &g_holder})
    if (thread->joinable()) thread->join();
}

odbc::Hooks Hooks() {
  odbc::Hooks hooks;
  hooks.beforeExecute = [](void* statement, const std::u16string& sql) -> std::optional<std::u16string> {
    std::unique_lock<std::mutex> lock(g_mutex);
    if (g_plan.moment == Moment::None || sql.find(g_plan.statement) == std::u16string::npos) return std::nullopt;
    const Plan plan = g_plan;
    if (plan.moment == Moment::DuringFetch) {
      g_fetchHandle = statement;
      g_fetchCalls = 0;
      return std::nullopt;
    }
    g_plan.moment = Moment::None;
    lock.unlock();
    if (plan.moment == Moment::BeforeExecute) TerminateNow(plan);
    if (plan.moment == Moment::DuringExecute) StartLockAndEnder(plan);
    return std::nullopt;
  };
  hooks.afterExecute = [](void*, const std::u16string&) { JoinThreads(); };
  hooks.beforeFetch = [](void* statement) {
    std::unique_lock<std::mutex> lock(g_mutex);
    if (g_plan.moment != Moment::DuringFetch || statement != g_fetchHandle || ++g_fetchCalls != g_plan.fetch) return;
    const Plan plan = g_plan;
    g_plan.moment = Moment::None;
    lock.unlock();
    TerminateNow(plan);
  };
  hooks.afterFetch = [](void* statement, bool row) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (statement != g_fetchHandle) return;
    // Rows the driver still holds arrive after the backend ended, too.
    if (row) ++g_outcome.rowsDelivered;
    else g_fetchHandle = nullptr;
    Report();
  };
  return hooks;
}

}  // namespace

void Arm(const Plan& plan) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_plan = plan;
    g_outcome = Outcome();
    g_fetchHandle = nullptr;
    g_fetchCalls = 0;
  }
  if (g_install == nullptr) g_install = new odbc::Install(Hooks());
}

Outcome Disarm() {
  delete g_install;
  g_install = nullptr;
  JoinThreads();
  std::lock_guard<std::mutex> lock(g_mutex);
  g_plan = Plan();
  g_fetchHandle = nullptr;
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
  plan.database = env("QM_FAULT_DATABASE");
  plan.lockedTable = env("QM_FAULT_LOCKED_TABLE");
  Arm(plan);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_reportPath = env("QM_FAULT_REPORT");
  Report();
}

}  // namespace qm::test::hardening

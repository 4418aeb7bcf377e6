#include "SessionKiller.h"

#include "OdbcFaults.h"
#include "Subprocess.h"
#include "TempDir.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

namespace qm::test {

// The plan and the outcome travel as JSON (the statement's fragment is ASCII).
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SessionControl, client, holder, end, endWaiting, hold, held, release)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Outcome, fired, ended, rowsDelivered, error)

namespace {

std::mutex g_mutex;                  // guards everything below but the threads
Plan g_plan;                         // the armed plan; moment None when disarmed or fired
Outcome g_outcome;                   // what happened since Arm
void* g_fetchHandle = nullptr;       // DuringFetch: the statement's handle once it ran
int g_fetchCalls = 0;                // DuringFetch: SQLFetch calls on that handle so far
std::string g_reportPath;            // where the outcome is written when it changes; "" for nowhere
odbc::Install* g_install = nullptr;  // the hooks while armed; never destroyed in the preload library
std::thread g_holder;                // DuringExecute: the session holding the lock (import thread only)
std::thread g_ender;                 // DuringExecute: ends the waiting session (import thread only)

// The first line the client prints for the SQL; nothing with *error set.
std::optional<std::string> Client(const std::vector<std::string>& client, const std::string& sql,
                                  std::string* error) {
  ProcessOptions options;
  options.input = sql + "\n";
  options.unset = {"LD_PRELOAD"};
  options.timeoutSeconds = 90;
  const ProcessResult result =
      RunProcess(client.at(0), std::vector<std::string>(client.begin() + 1, client.end()), options);
  if (result.exitCode != 0) {
    if (error != nullptr) *error = client[0] + ": " + Printed(result);
    return std::nullopt;
  }
  const std::vector<std::string> lines = Lines(result.out);
  return lines.empty() ? std::string() : lines[0];
}

// Writes the outcome where the report goes; g_mutex held.
void Report() {
  // A client's error may hold bytes that are not UTF-8: they are replaced.
  if (!g_reportPath.empty())
    WriteFile(g_reportPath, nlohmann::json(g_outcome).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Record(int ended, const std::string& error) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_outcome.fired = true;
  g_outcome.ended += ended;
  if (!error.empty() && g_outcome.error.empty()) g_outcome.error = error;
  Report();
}

int End(const SessionControl& control, const std::string& sql, std::string* error) {
  const std::optional<std::string> count = Client(control.client, sql, error);
  return count ? std::atoi(count->c_str()) : -1;
}

void EndNow(const Plan& plan) {
  std::string error;
  const int ended = End(plan.control, plan.control.end, &error);
  Record(ended > 0 ? ended : 0, error);
}

// DuringExecute: a third session holds the lock; a thread ends the importer's
// session once it waits for it, then the holder's.
void StartLockAndEnder(const Plan& plan) {
  g_holder = std::thread([plan] { Client(plan.control.holder, plan.control.hold, nullptr); });
  std::string error;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Client(plan.control.client, plan.control.held, &error).value_or("0") != "1" &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  g_ender = std::thread([plan] {
    std::string error;
    int ended = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ended <= 0 && std::chrono::steady_clock::now() < deadline) {
      ended = End(plan.control, plan.control.endWaiting, &error);
      if (ended <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended <= 0 && error.empty()) error = "no session of the database waited for the lock";
    Record(ended > 0 ? ended : 0, ended > 0 ? std::string() : error);
    // Whatever happened, the statement must not wait for ever.
    Client(plan.control.client, plan.control.release, nullptr);
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
    if (plan.moment == Moment::BeforeExecute) EndNow(plan);
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
    EndNow(plan);
  };
  hooks.afterFetch = [](void* statement, bool row) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (statement != g_fetchHandle) return;
    // Rows the driver still holds arrive after the session ended, too.
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

std::map<std::string, std::string> Environment(const Plan& plan, const std::string& report) {
  const nlohmann::json text = {{"moment", plan.moment},
                               {"statement", std::string(plan.statement.begin(), plan.statement.end())},
                               {"fetch", plan.fetch},
                               {"control", plan.control}};
  return {{"QM_FAULT_PLAN", text.dump()}, {"QM_FAULT_REPORT", report}};
}

void ArmFromEnvironment() {
  const char* text = std::getenv("QM_FAULT_PLAN");
  const nlohmann::json given = nlohmann::json::parse(text != nullptr ? text : "", nullptr, false);
  const Moment moment = given.is_object() ? given.value("moment", Moment::None) : Moment::None;
  if (moment == Moment::None) return;
  Plan plan{moment, {}, given.value("fetch", 0), given.value("control", SessionControl())};
  const std::string fragment = given.value("statement", "");
  plan.statement.assign(fragment.begin(), fragment.end());
  Arm(plan);
  std::lock_guard<std::mutex> lock(g_mutex);
  const char* report = std::getenv("QM_FAULT_REPORT");
  g_reportPath = report != nullptr ? report : "";
  Report();
}

Outcome ReadReport(const std::string& report) {
  const nlohmann::json text = nlohmann::json::parse(ReadFile(report), nullptr, false);
  return text.is_object() ? text.get<Outcome>() : Outcome();
}

}  // namespace qm::test

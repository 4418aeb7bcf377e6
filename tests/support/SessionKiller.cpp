#include "SessionKiller.h"

#include "OdbcFaults.h"
#include "Subprocess.h"
#include "TempDir.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace qm::test {
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
  if (g_reportPath.empty()) return;
  std::ofstream out(g_reportPath, std::ios::trunc);
  out << "fired=" << (g_outcome.fired ? 1 : 0) << "\nended=" << g_outcome.ended
      << "\nrowsDelivered=" << g_outcome.rowsDelivered << "\nerror=" << g_outcome.error << "\n";
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

// Argument lists travel as one variable, the arguments apart by 0x1f.
std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "\x1f") + part;
  return text;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, '\x1f');) parts.push_back(part);
  return parts;
}

const char* const kMoments[] = {"", "before-execute", "during-execute", "during-fetch"};
// The control's SQL, in the order QM_FAULT_SQL carries it.
std::string SessionControl::* const kSql[] = {&SessionControl::end, &SessionControl::endWaiting, &SessionControl::hold,
                                              &SessionControl::held, &SessionControl::release};

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
  std::vector<std::string> sql;
  for (std::string SessionControl::* field : kSql) sql.push_back(plan.control.*field);
  return {{"QM_FAULT_MOMENT", kMoments[static_cast<int>(plan.moment)]},
          {"QM_FAULT_STATEMENT", std::string(plan.statement.begin(), plan.statement.end())},
          {"QM_FAULT_FETCH", std::to_string(plan.fetch)},
          {"QM_FAULT_CLIENT", Joined(plan.control.client)},
          {"QM_FAULT_HOLDER", Joined(plan.control.holder)},
          {"QM_FAULT_SQL", Joined(sql)},
          {"QM_FAULT_REPORT", report}};
}

void ArmFromEnvironment() {
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value != nullptr ? value : "");
  };
  Plan plan;
  for (int i = 1; i < 4; ++i)
    if (env("QM_FAULT_MOMENT") == kMoments[i]) plan.moment = static_cast<Moment>(i);
  if (plan.moment == Moment::None) return;
  const std::string fragment = env("QM_FAULT_STATEMENT");
  plan.statement.assign(fragment.begin(), fragment.end());  // ASCII fragments
  plan.fetch = std::atoi(env("QM_FAULT_FETCH").c_str());
  plan.control.client = Split(env("QM_FAULT_CLIENT"));
  plan.control.holder = Split(env("QM_FAULT_HOLDER"));
  std::vector<std::string> sql = Split(env("QM_FAULT_SQL"));
  sql.resize(std::size(kSql));
  for (std::size_t i = 0; i < sql.size(); ++i) plan.control.*kSql[i] = sql[i];
  Arm(plan);
  std::lock_guard<std::mutex> lock(g_mutex);
  g_reportPath = env("QM_FAULT_REPORT");
  Report();
}

Outcome ReadReport(const std::string& report) {
  Outcome outcome;
  std::istringstream in(ReadFile(report));
  for (std::string line; std::getline(in, line);) {
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
    if (key == "fired") outcome.fired = value == "1";
    if (key == "ended") outcome.ended = std::atoi(value.c_str());
    if (key == "rowsDelivered") outcome.rowsDelivered = std::atoi(value.c_str());
    if (key == "error") outcome.error = value;
  }
  return outcome;
}

}  // namespace qm::test

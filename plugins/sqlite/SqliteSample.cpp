#include "SqliteSample.h"

#include <sqlite3.h>

#include <csignal>
#include <cstdlib>

extern const unsigned char kSampleSql[];
extern const unsigned long kSampleSqlSize;

namespace qm::sqlite {

namespace {

// Test-only: QM_TEST_SIGNAL_DURING_SAMPLE=N makes the build send the process
// signal N in the middle of its first write transaction, so tests can end
// the host while the sample is being written instead of racing it.
struct SignalDuringBuild {
  sqlite3* db = nullptr;  // the sample being built
  int signal = 0;         // the signal to send; 0: none
  int steps = 0;          // progress steps seen inside a write transaction
};

int OnBuildProgress(void* context) {
  auto* hook = static_cast<SignalDuringBuild*>(context);
  if (sqlite3_txn_state(hook->db, "main") == SQLITE_TXN_WRITE && ++hook->steps == 20) std::raise(hook->signal);
  return 0;
}

}  // namespace

std::string_view SampleScript() {
  return {reinterpret_cast<const char*>(kSampleSql), static_cast<std::size_t>(kSampleSqlSize)};
}

bool WriteSample(const std::string& path, std::string& error) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr);
  SignalDuringBuild hook;
  if (const char* value = std::getenv("QM_TEST_SIGNAL_DURING_SAMPLE"); value != nullptr && rc == SQLITE_OK) {
    hook.db = db;
    hook.signal = std::atoi(value);
    if (hook.signal > 0) sqlite3_progress_handler(db, 1, OnBuildProgress, &hook);
  }
  if (rc == SQLITE_OK) {
    const std::string script(SampleScript());
    char* message = nullptr;
    rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
      error = std::string("the bundled sample script failed: ") + (message != nullptr ? message : sqlite3_errstr(rc));
    }
    sqlite3_free(message);
  } else {
    error = "cannot create the sample database " + path + ": " + (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  }
  if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK) {
    error = "cannot close the sample database " + path;
    rc = SQLITE_ERROR;
  }
  return rc == SQLITE_OK;
}

}  // namespace qm::sqlite

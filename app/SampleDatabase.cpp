#include "SampleDatabase.h"

#include "Signals.h"

#include <sqlite3.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern const unsigned char kSampleSql[];
extern const unsigned long kSampleSqlSize;

namespace app {

namespace {

// Holds back the signals that end the process (they stay pending) while a
// path is made and registered, so that none is ever left unregistered.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, &m_previous);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t m_previous;  // the mask to put back
};

// Test-only: QM_TEST_SIGNAL_DURING_SAMPLE=N makes the build send the process
// signal N in the middle of its first write transaction, so tests can end
// the process while the sample is being written instead of racing it.
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

SampleDatabase::~SampleDatabase() { Remove(); }

bool SampleDatabase::Create(std::string& error) {
  Remove();
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qm-sample.XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  {
    const SignalsHeld held;
    if (::mkdtemp(buffer.data()) == nullptr) {
      error = "cannot create a temporary directory for the sample (" + pattern + "): " + std::strerror(errno);
      return false;
    }
    m_directory = buffer.data();
    signals::RegisterTemporaryDirectory(m_directory.c_str());
    m_path = m_directory + "/sample.db";
    signals::RegisterTemporaryFile(m_path.c_str());
  }

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    // The rollback journal stays in memory: a signal that ends the process
    // during the build finds only the files registered above to remove.
    rc = sqlite3_exec(db, "PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr);
  }
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
    error = "cannot create the sample database " + m_path + ": " +
            (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  }
  if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK) {
    error = "cannot close the sample database " + m_path;
    rc = SQLITE_ERROR;
  }
  if (rc != SQLITE_OK) {
    Remove();
    return false;
  }
  return true;
}

void SampleDatabase::Remove() {
  if (!m_path.empty()) {
    ::unlink(m_path.c_str());
    // Files the SQLite driver may leave beside the database.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) ::unlink((m_path + suffix).c_str());
    signals::ForgetTemporary(m_path.c_str());
    m_path.clear();
  }
  if (!m_directory.empty()) {
    ::rmdir(m_directory.c_str());
    signals::ForgetTemporary(m_directory.c_str());
    m_directory.clear();
  }
}

}  // namespace app

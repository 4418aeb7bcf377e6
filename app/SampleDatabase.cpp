#include "SampleDatabase.h"

#include "Signals.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern const unsigned char kSampleSql[];
extern const unsigned long kSampleSqlSize;

namespace app {

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
  if (::mkdtemp(buffer.data()) == nullptr) {
    error = "cannot create a temporary directory for the sample (" + pattern + "): " + std::strerror(errno);
    return false;
  }
  m_directory = buffer.data();
  signals::RegisterTemporaryDirectory(m_directory.c_str());
  m_path = m_directory + "/sample.db";
  signals::RegisterTemporaryFile(m_path.c_str());

  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
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

#include "SampleDatabase.h"

#include "Signals.h"

#include <schemaimport/PluginApi.h>

#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

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

}  // namespace

SampleDatabase::~SampleDatabase() { Remove(); }

bool SampleDatabase::Create(const QmPluginApi& plugin, std::string& error) {
  Remove();
  if (plugin.WriteSample == nullptr) {
    error = std::string("the plug-in ") + plugin.name + " has no sample database";
    return false;
  }
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
  if (!plugin.WriteSample(m_path, error)) {
    Remove();
    return false;
  }
  return true;
}

void SampleDatabase::Remove() {
  if (!m_path.empty()) {
    ::unlink(m_path.c_str());
    signals::ForgetTemporary(m_path.c_str());
    m_path.clear();
  }
  if (!m_directory.empty()) {
    // Whatever else the driver left beside the database (a journal) goes
    // with the folder.
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
    signals::ForgetTemporary(m_directory.c_str());
    m_directory.clear();
  }
}

}  // namespace app

#include "Recorder.h"

#include <cstdio>
#include <mutex>

namespace qmtest {

namespace {
struct State {
  std::mutex mutex;
  std::vector<std::string> events;
  int initResult = 1;
  bool echo = false;
};
// Never destroyed: modules may still record while the process exits.
State& TheState() {
  static auto* state = new State;
  return *state;
}
}  // namespace

void Record(const std::string& event) {
  std::lock_guard lock(TheState().mutex);
  TheState().events.push_back(event);
  if (TheState().echo) {
    const std::string line = event + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
}

void SetEcho(bool on) {
  std::lock_guard lock(TheState().mutex);
  TheState().echo = on;
}

std::vector<std::string> TakeRecords() {
  std::lock_guard lock(TheState().mutex);
  std::vector<std::string> taken;
  taken.swap(TheState().events);
  return taken;
}

void SetInitResult(int result) {
  std::lock_guard lock(TheState().mutex);
  TheState().initResult = result;
}

int InitResult() {
  std::lock_guard lock(TheState().mutex);
  return TheState().initResult;
}

}  // namespace qmtest

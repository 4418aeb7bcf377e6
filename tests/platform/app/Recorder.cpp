#include "Recorder.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace qmtest {

namespace {
std::atomic<bool> echo{false};
std::atomic<int> initResult{1};
std::mutex mutex;
// Never destroyed: modules may still record while the process exits.
auto* const events = new std::vector<std::string>;
}  // namespace

void Record(const std::string& event) {
  std::lock_guard lock(mutex);
  events->push_back(event);
  if (echo) std::fprintf(stderr, "%s\n", event.c_str());
}

std::vector<std::string> TakeRecords() {
  std::lock_guard lock(mutex);
  std::vector<std::string> taken;
  taken.swap(*events);
  return taken;
}

void SetEcho(bool on) { echo = on; }

void SetInitResult(int result) { initResult = result; }

int InitResult() { return initResult; }

}  // namespace qmtest

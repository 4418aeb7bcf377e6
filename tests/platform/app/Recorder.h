// Lifecycle recorder shared by platform_test and the test application
// modules it loads. A shared library of its own, so that events recorded
// while a module is being loaded or unloaded land in the same list the test
// reads. All functions are thread-safe.
#pragma once

#include <string>
#include <vector>

namespace qmtest {

// Appends one event.
void Record(const std::string& event);

// Returns the events recorded so far, oldest first, and clears the list.
std::vector<std::string> TakeRecords();

// When on, each event is also written to standard error as it happens, for
// a child process that records while it exits. Off until set.
void SetEcho(bool on);

// What the test application's InitInstance returns; TRUE until set.
void SetInitResult(int result);
int InitResult();

}  // namespace qmtest

// Lifecycle recorder shared by platform_test and the test application
// modules it loads: a shared library of its own, so that events recorded
// while a module is being loaded or unloaded land in the list the test reads.
#pragma once

#include <string>
#include <vector>

namespace qmtest {

// Appends one event; with echo on, also writes it to standard error as it
// happens, for a child process that records while it exits.
void Record(const std::string& event);

// The events recorded so far, oldest first; clears the list.
std::vector<std::string> TakeRecords();

// Off until set. Functions rather than shared variables: the test program
// would get copies of its own, apart from the library's.
void SetEcho(bool on);

// What the test application's InitInstance returns (a BOOL); 1 until set.
void SetInitResult(int result);
int InitResult();

}  // namespace qmtest

// Stands in front of the driver manager's SQLAllocHandle, SQLExecDirectW,
// SQLFetch and SQLGetData for the executable that links OdbcFaults.cpp.
// Every call goes on to the real driver manager unless a fault is armed, so
// the happy path runs for real; an armed fault produces what a real driver
// produces only rarely: a statement handle that cannot be allocated, a fetch
// or a value read that fails half-way.
//
// Single-threaded use only, as the reader itself.
#pragma once

namespace qm::test::reader::faults {

// SQLAllocHandle(SQL_HANDLE_STMT) fails with SQL_ERROR and no handle.
void FailStatementAllocation(bool fail);
// The n-th SQLFetch call from now (1-based) and every later one fail with
// SQL_ERROR; 0 disarms. SQLFetch calls made after the first failure are
// counted, and after 1000 of them SQL_NO_DATA is returned, so a loop that
// ignores the failure ends the test instead of hanging it.
void FailFetchFromCall(int n);
int FetchCallsAfterFailure();
// The n-th SQLGetData call from now (1-based) fails with SQL_ERROR; 0 disarms.
void FailGetDataCall(int n);
// SQLExecDirectW calls since the executable started.
int ExecuteCalls();

// Disarms every fault when it goes.
class Disarm {
 public:
  Disarm() = default;
  ~Disarm();
  Disarm(const Disarm&) = delete;
  Disarm& operator=(const Disarm&) = delete;
};

}  // namespace qm::test::reader::faults

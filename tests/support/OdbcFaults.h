// Stand-ins in front of some driver manager calls, for an executable that
// links qm_odbc_faults with ENABLE_EXPORTS (or LD_PRELOAD). Every call goes
// on to the real driver manager unless a fault is armed; hooks watch or
// rewrite statements.
//
// Faults and hooks are set while no import runs; calls come from any thread.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm::test::odbc {

enum class Fault {
  None,
  EnvironmentAllocation,  // SQLAllocHandle(ENV) fails with no handle made
  OdbcVersion,            // SQLSetEnvAttr(ODBC_VERSION) reaches the driver manager with a value it refuses
  ConnectionAllocation,   // SQLAllocHandle(DBC) fails without a diagnostic record
  StatementAllocation,    // SQLAllocHandle(STMT) fails without a diagnostic record
};

// Makes every later call of the chosen kind fail until InjectFault(None).
void InjectFault(Fault fault);
// The n-th SQLFetch from now (1-based) and every later one fail; 0 disarms.
// 1000 calls past the failure give SQL_NO_DATA, so a loop cannot hang.
void FailFetchFromCall(int n);
int FetchCallsAfterFailure();
// The n-th SQLGetData from now (1-based) fails; 0 disarms.
void FailGetDataCall(int n);

int ExecuteCalls();      // SQLExecDirectW calls since the executable started
int LiveEnvironments();  // environment handles allocated and not yet freed
int LiveConnections();   // connection handles allocated and not yet freed
int LiveStatements();    // statement handles allocated and not yet freed
int Allocations();       // handles of any kind allocated so far: proof the counts see the calls
// The live environment, connection and statement handles, in that order.
inline std::array<int, 3> LiveHandles() { return {LiveEnvironments(), LiveConnections(), LiveStatements()}; }

// Disarms every fault when it goes.
class Disarm {
 public:
  Disarm() = default;
  ~Disarm();
  Disarm(const Disarm&) = delete;
  Disarm& operator=(const Disarm&) = delete;
};

// Called around the real calls; `statement` is the SQLHSTMT. Any may be empty.
struct Hooks {
  // Before SQLExecDirectW with its text; a returned text runs instead.
  std::function<std::optional<std::u16string>(void* statement, const std::u16string& text)> beforeExecute{};
  std::function<void(void* statement, const std::u16string& text)> afterExecute{};
  std::function<void(void* statement)> beforeFetch{};
  // After SQLFetch: whether it delivered a row.
  std::function<void(void* statement, bool row)> afterFetch{};
};

// Installs the hooks until the guard goes.
class Install {
 public:
  explicit Install(Hooks hooks);
  ~Install();
  Install(const Install&) = delete;
  Install& operator=(const Install&) = delete;
};

// The texts handed to SQLExecDirectW since the last ClearExecuted, in order.
std::vector<std::u16string> Executed();
void ClearExecuted();

}  // namespace qm::test::odbc

// Stand-ins in front of some driver manager calls (an executable linking
// qm_odbc_faults with ENABLE_EXPORTS, or LD_PRELOAD): calls go on to the
// real ones unless a fault is armed; hooks watch or rewrite statements.
// Set while no import runs.
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

void InjectFault(Fault fault);
// The n-th SQLFetch from now and every later one fail (1000 calls past it
// give SQL_NO_DATA, so a loop cannot hang); 0 disarms.
void FailFetchFromCall(int n);
int FetchCallsAfterFailure();
// The n-th SQLGetData from now (1-based) fails; 0 disarms.
void FailGetDataCall(int n);

int ExecuteCalls();      // SQLExecDirectW calls since the executable started
int LiveEnvironments();  // environment handles allocated and not yet freed
int LiveConnections();   // connection handles allocated and not yet freed
int LiveStatements();    // statement handles allocated and not yet freed
int Allocations();       // handles of any kind allocated so far: proof the counts see the calls
inline std::array<int, 3> LiveHandles() { return {LiveEnvironments(), LiveConnections(), LiveStatements()}; }

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

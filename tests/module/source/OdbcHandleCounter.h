// Stands in front of the driver manager's handle calls (SQLAllocHandle,
// SQLFreeHandle, SQLSetEnvAttr) for the executable that links
// OdbcHandleCounter.cpp: every call goes on to the real driver manager, which
// lets a test count the environment and connection handles still allocated
// and make one chosen step of opening a connection fail, as a real driver
// manager can but will not on demand.
//
// Single-threaded use only, as the connector itself.
#pragma once

namespace qm::test::odbc {

enum class Fault {
  None,
  EnvironmentAllocation,  // SQLAllocHandle(ENV) fails with no handle made
  OdbcVersion,            // SQLSetEnvAttr reaches the driver manager with a value it refuses
  ConnectionAllocation,   // SQLAllocHandle(DBC) fails without a diagnostic record
};

// Environment and connection handles allocated and not yet freed.
int LiveEnvironments();
int LiveConnections();

// Makes every later call of the chosen kind fail until reset.
void InjectFault(Fault fault);

// Injects a fault for the life of the object.
class ScopedFault {
 public:
  explicit ScopedFault(Fault fault) { InjectFault(fault); }
  ~ScopedFault() { InjectFault(Fault::None); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace qm::test::odbc

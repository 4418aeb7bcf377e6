// Counts the ODBC handles allocated and not yet freed in this process.
// HandleCount.cpp defines SQLAllocHandle and SQLFreeHandle in front of the
// driver manager for the executable that links it (its symbols exported);
// every call goes on to the real driver manager.
//
// Thread safety: the counters are atomic; read them while no import runs
// for a stable value.
#pragma once

#include <ostream>

namespace qm::test::hardening {

struct LiveHandles {
  int environments = 0;  // SQL_HANDLE_ENV
  int connections = 0;   // SQL_HANDLE_DBC
  int statements = 0;    // SQL_HANDLE_STMT

  friend bool operator==(const LiveHandles&, const LiveHandles&) = default;
  friend std::ostream& operator<<(std::ostream& out, const LiveHandles& live) {
    return out << live.environments << " environments, " << live.connections << " connections, " << live.statements
               << " statements";
  }
};

LiveHandles CountLiveHandles();
// Handles of any kind allocated since the process started: proof that the
// counters see the calls at all.
int AllocationsSoFar();

}  // namespace qm::test::hardening

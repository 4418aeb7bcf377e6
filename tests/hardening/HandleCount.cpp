// Link-level stand-in: these definitions in the test executable come before
// the driver manager's in symbol lookup, so the module's and the plug-ins'
// calls arrive here and go on to the real functions found with RTLD_NEXT.
#include "HandleCount.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace qm::test::hardening {
namespace {

std::atomic<int> g_environments{0};  // live SQL_HANDLE_ENV handles
std::atomic<int> g_connections{0};   // live SQL_HANDLE_DBC handles
std::atomic<int> g_statements{0};    // live SQL_HANDLE_STMT handles
std::atomic<int> g_allocations{0};   // successful allocations of any kind

std::atomic<int>* CounterOf(SQLSMALLINT handleType) {
  switch (handleType) {
    case SQL_HANDLE_ENV:
      return &g_environments;
    case SQL_HANDLE_DBC:
      return &g_connections;
    case SQL_HANDLE_STMT:
      return &g_statements;
    default:
      return nullptr;
  }
}

template <typename Function>
Function Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "HandleCount: %s not found in the driver manager\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

LiveHandles CountLiveHandles() { return LiveHandles{g_environments.load(), g_connections.load(), g_statements.load()}; }

int AllocationsSoFar() { return g_allocations.load(); }

}  // namespace qm::test::hardening

using namespace qm::test::hardening;

extern "C" SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output) {
  static const auto real = Real<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>("SQLAllocHandle");
  const SQLRETURN rc = real(handleType, input, output);
  if (SQL_SUCCEEDED(rc)) {
    ++g_allocations;
    if (std::atomic<int>* counter = CounterOf(handleType)) ++*counter;
  }
  return rc;
}

extern "C" SQLRETURN SQLFreeHandle(SQLSMALLINT handleType, SQLHANDLE handle) {
  static const auto real = Real<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE)>("SQLFreeHandle");
  const SQLRETURN rc = real(handleType, handle);
  if (SQL_SUCCEEDED(rc)) {
    if (std::atomic<int>* counter = CounterOf(handleType)) --*counter;
  }
  return rc;
}

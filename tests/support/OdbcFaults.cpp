// These come before the driver manager's in symbol lookup; RTLD_NEXT finds those.
#include "OdbcFaults.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qm::test::odbc {
namespace {

std::atomic<Fault> g_fault{Fault::None};
std::atomic<int> g_fetchCallsUntilFailure{0};  // 0 = disarmed
std::atomic<bool> g_fetchFailing{false};       // the armed fetch failure has happened
std::atomic<int> g_fetchCallsAfterFailure{0};
std::atomic<int> g_getDataCallsUntilFailure{0};  // 0 = disarmed
std::atomic<int> g_executeCalls{0};
std::atomic<int> g_live[3] = {0, 0, 0};  // environments, connections, statements
std::atomic<int> g_allocations{0};
Hooks* g_hooks = nullptr;                // installed hooks, owned by the Install; null when none
std::mutex g_executedMutex;              // guards g_executed
std::vector<std::u16string> g_executed;  // since the last ClearExecuted

std::atomic<int>* LiveCount(SQLSMALLINT type) {
  if (type < SQL_HANDLE_ENV || type > SQL_HANDLE_STMT) return nullptr;
  return &g_live[type - SQL_HANDLE_ENV];
}

}  // namespace

void InjectFault(Fault fault) { g_fault = fault; }
void FailFetchFromCall(int n) {
  g_fetchCallsUntilFailure = n;
  g_fetchFailing = false;
  g_fetchCallsAfterFailure = 0;
}
int FetchCallsAfterFailure() { return g_fetchCallsAfterFailure; }
void FailGetDataCall(int n) { g_getDataCallsUntilFailure = n; }
int ExecuteCalls() { return g_executeCalls; }
int LiveEnvironments() { return g_live[0]; }
int LiveConnections() { return g_live[1]; }
int LiveStatements() { return g_live[2]; }
int Allocations() { return g_allocations; }

Disarm::~Disarm() {
  InjectFault(Fault::None);
  FailFetchFromCall(0);
  FailGetDataCall(0);
}

Install::Install(Hooks hooks) { g_hooks = new Hooks(std::move(hooks)); }
Install::~Install() {
  delete g_hooks;
  g_hooks = nullptr;
}

std::vector<std::u16string> Executed() {
  std::lock_guard<std::mutex> lock(g_executedMutex);
  return g_executed;
}

void ClearExecuted() {
  std::lock_guard<std::mutex> lock(g_executedMutex);
  g_executed.clear();
}

}  // namespace qm::test::odbc

namespace {

using namespace qm::test::odbc;

// The driver manager's definition of the function `self` stands in for.
template <typename Function>
Function Real(Function /*self*/, const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "OdbcFaults: %s not found in the driver manager\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

extern "C" SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  static const auto real = Real(&SQLAllocHandle, "SQLAllocHandle");
  const Fault fault = g_fault;
  if ((type == SQL_HANDLE_ENV && fault == Fault::EnvironmentAllocation) ||
      (type == SQL_HANDLE_DBC && fault == Fault::ConnectionAllocation) ||
      (type == SQL_HANDLE_STMT && fault == Fault::StatementAllocation)) {
    if (output != nullptr) *output = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
  const SQLRETURN rc = real(type, input, output);
  if (SQL_SUCCEEDED(rc)) {
    ++g_allocations;
    if (std::atomic<int>* live = LiveCount(type)) ++*live;
  }
  return rc;
}

extern "C" SQLRETURN SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  static const auto real = Real(&SQLFreeHandle, "SQLFreeHandle");
  const SQLRETURN rc = real(type, handle);
  if (SQL_SUCCEEDED(rc))
    if (std::atomic<int>* live = LiveCount(type)) --*live;
  return rc;
}

extern "C" SQLRETURN SQLSetEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  static const auto real = Real(&SQLSetEnvAttr, "SQLSetEnvAttr");
  // A version the driver manager refuses, with its own diagnostic.
  if (attribute == SQL_ATTR_ODBC_VERSION && g_fault == Fault::OdbcVersion)
    value = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(999));
  return real(environment, attribute, value, length);
}

extern "C" SQLRETURN SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  static const auto real = Real(&SQLExecDirectW, "SQLExecDirectW");
  ++g_executeCalls;
  const auto* units = reinterpret_cast<const char16_t*>(text);
  std::u16string sql;
  if (units != nullptr) sql = length == SQL_NTS ? std::u16string(units) : std::u16string(units, static_cast<std::size_t>(length));
  {
    std::lock_guard<std::mutex> lock(g_executedMutex);
    g_executed.push_back(sql);
  }
  std::optional<std::u16string> replacement;
  if (g_hooks != nullptr && g_hooks->beforeExecute) replacement = g_hooks->beforeExecute(statement, sql);
  const SQLRETURN rc = replacement ? real(statement, reinterpret_cast<SQLWCHAR*>(replacement->data()), SQL_NTS)
                                   : real(statement, text, length);
  if (g_hooks != nullptr && g_hooks->afterExecute) g_hooks->afterExecute(statement, sql);
  return rc;
}

extern "C" SQLRETURN SQLFetch(SQLHSTMT statement) {
  static const auto real = Real(&SQLFetch, "SQLFetch");
  if (g_fetchFailing) return ++g_fetchCallsAfterFailure >= 1000 ? SQL_NO_DATA : SQL_ERROR;
  if (g_fetchCallsUntilFailure > 0 && --g_fetchCallsUntilFailure == 0) {
    g_fetchFailing = true;
    return SQL_ERROR;
  }
  if (g_hooks != nullptr && g_hooks->beforeFetch) g_hooks->beforeFetch(statement);
  const SQLRETURN rc = real(statement);
  if (g_hooks != nullptr && g_hooks->afterFetch) g_hooks->afterFetch(statement, SQL_SUCCEEDED(rc));
  return rc;
}

extern "C" SQLRETURN SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                                SQLLEN bufferLength, SQLLEN* indicator) {
  static const auto real = Real(&SQLGetData, "SQLGetData");
  if (g_getDataCallsUntilFailure > 0 && --g_getDataCallsUntilFailure == 0) return SQL_ERROR;
  return real(statement, column, targetType, target, bufferLength, indicator);
}

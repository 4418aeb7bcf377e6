// Link-level stand-in: these definitions in the test executable come before
// the driver manager's in symbol lookup, so libschemaimport.so's calls
// arrive here and go on to the real functions found with RTLD_NEXT. The
// driver manager reaches the drivers through its own tables, not these names.
#include "OdbcFaults.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace qm::test::reader::faults {
namespace {

bool g_failStatementAllocation = false;
int g_fetchCallsUntilFailure = 0;   // 0 = disarmed
bool g_fetchFailing = false;
int g_fetchCallsAfterFailure = 0;
int g_getDataCallsUntilFailure = 0;  // 0 = disarmed
int g_executeCalls = 0;

template <typename Function>
Function Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "OdbcFaults: %s not found in the driver manager\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

void FailStatementAllocation(bool fail) { g_failStatementAllocation = fail; }

void FailFetchFromCall(int n) {
  g_fetchCallsUntilFailure = n;
  g_fetchFailing = false;
  g_fetchCallsAfterFailure = 0;
}

int FetchCallsAfterFailure() { return g_fetchCallsAfterFailure; }

void FailGetDataCall(int n) { g_getDataCallsUntilFailure = n; }

int ExecuteCalls() { return g_executeCalls; }

Disarm::~Disarm() {
  FailStatementAllocation(false);
  FailFetchFromCall(0);
  FailGetDataCall(0);
}

}  // namespace qm::test::reader::faults

using namespace qm::test::reader::faults;

extern "C" SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output) {
  static const auto real = Real<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>("SQLAllocHandle");
  if (handleType == SQL_HANDLE_STMT && g_failStatementAllocation) {
    if (output != nullptr) *output = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
  return real(handleType, input, output);
}

extern "C" SQLRETURN SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  static const auto real = Real<SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLExecDirectW");
  ++g_executeCalls;
  return real(statement, text, length);
}

extern "C" SQLRETURN SQLFetch(SQLHSTMT statement) {
  static const auto real = Real<SQLRETURN (*)(SQLHSTMT)>("SQLFetch");
  if (g_fetchFailing) {
    // A loop that does not stop on failure would spin here for ever.
    return ++g_fetchCallsAfterFailure >= 1000 ? SQL_NO_DATA : SQL_ERROR;
  }
  if (g_fetchCallsUntilFailure > 0 && --g_fetchCallsUntilFailure == 0) {
    g_fetchFailing = true;
    return SQL_ERROR;
  }
  return real(statement);
}

extern "C" SQLRETURN SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT targetType, SQLPOINTER target,
                                SQLLEN bufferLength, SQLLEN* indicator) {
  static const auto real =
      Real<SQLRETURN (*)(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*)>("SQLGetData");
  if (g_getDataCallsUntilFailure > 0 && --g_getDataCallsUntilFailure == 0) return SQL_ERROR;
  return real(statement, column, targetType, target, bufferLength, indicator);
}

// Link-level stand-in: these definitions in the test executable come before
// the driver manager's in symbol lookup, so the module's calls arrive here
// and are passed on to the real functions found with RTLD_NEXT. The drivers
// are reached by the driver manager through its own tables, not through
// these names.
#include "OdbcHandleCounter.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace qm::test::odbc {
namespace {

int g_liveEnvironments = 0;
int g_liveConnections = 0;
Fault g_fault = Fault::None;

template <typename Function>
Function Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "OdbcHandleCounter: %s not found in the driver manager\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

int LiveEnvironments() { return g_liveEnvironments; }
int LiveConnections() { return g_liveConnections; }
void InjectFault(Fault fault) { g_fault = fault; }

}  // namespace qm::test::odbc

using namespace qm::test::odbc;

extern "C" SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output) {
  static const auto real = Real<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>("SQLAllocHandle");
  if (handleType == SQL_HANDLE_ENV && g_fault == Fault::EnvironmentAllocation) {
    if (output != nullptr) *output = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
  if (handleType == SQL_HANDLE_DBC && g_fault == Fault::ConnectionAllocation) {
    if (output != nullptr) *output = SQL_NULL_HANDLE;
    return SQL_ERROR;
  }
  const SQLRETURN rc = real(handleType, input, output);
  if (SQL_SUCCEEDED(rc)) {
    if (handleType == SQL_HANDLE_ENV) ++g_liveEnvironments;
    if (handleType == SQL_HANDLE_DBC) ++g_liveConnections;
  }
  return rc;
}

extern "C" SQLRETURN SQLFreeHandle(SQLSMALLINT handleType, SQLHANDLE handle) {
  static const auto real = Real<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE)>("SQLFreeHandle");
  const SQLRETURN rc = real(handleType, handle);
  if (SQL_SUCCEEDED(rc)) {
    if (handleType == SQL_HANDLE_ENV) --g_liveEnvironments;
    if (handleType == SQL_HANDLE_DBC) --g_liveConnections;
  }
  return rc;
}

extern "C" SQLRETURN SQLSetEnvAttr(SQLHENV environment, SQLINTEGER attribute, SQLPOINTER value,
                                   SQLINTEGER length) {
  static const auto real = Real<SQLRETURN (*)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetEnvAttr");
  if (attribute == SQL_ATTR_ODBC_VERSION && g_fault == Fault::OdbcVersion) {
    // An ODBC version the driver manager does not know: it refuses it and
    // records its own diagnostic on the environment.
    value = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(999));
  }
  return real(environment, attribute, value, length);
}

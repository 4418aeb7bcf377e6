#include "OdbcTestSupport.h"

#include <platform/Utf.h>

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

namespace qm::test {
namespace {

std::string StatementError(SQLHSTMT statement) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[1024] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, statement, 1, state, &native, message, 1024, &length)))
    return "failed without a diagnostic";
  return Utf8(reinterpret_cast<const char16_t*>(state)) + " " + Utf8(reinterpret_cast<const char16_t*>(message));
}

// Runs sql on a new statement handle; then, if it succeeded, `more` on it.
// Returns the first error, or empty.
template <typename More>
std::string Run(void* connectionHandle, const std::u16string& sql, More more) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connectionHandle, &statement))) return "no statement handle";
  const SQLRETURN rc =
      SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(sql.c_str())), SQL_NTS);
  std::string error = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? more(statement) : StatementError(statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return error.empty() ? error : error + " in: " + Utf8(sql);
}

}  // namespace

std::string Exec(void* connectionHandle, const std::u16string& sql) {
  return Run(connectionHandle, sql, [](SQLHSTMT) { return std::string(); });
}

long long QueryInteger(void* connectionHandle, const std::u16string& sql) {
  long long value = 0;
  const std::string error = Run(connectionHandle, sql, [&](SQLHSTMT statement) -> std::string {
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLFetch(statement))) return "no row";
    if (!SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_SBIGINT, &value, sizeof value, &indicator)))
      return StatementError(statement);
    return {};
  });
  if (!error.empty()) throw std::runtime_error(error);
  return value;
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(std::string_view text) { return platform::Utf8ToUtf16(text); }

std::string Describe(const OdbcDiagnostic& d) {
  return Utf8(d.sqlState) + " (" + std::to_string(d.nativeError) + ") " + Utf8(d.message);
}

}  // namespace qm::test

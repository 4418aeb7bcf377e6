#include "OdbcTestSupport.h"

#include <platform/Utf.h>

#include <sql.h>
#include <sqlext.h>

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

}  // namespace

std::string Exec(void* connectionHandle, const std::u16string& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connectionHandle, &statement))) return "no statement handle";
  const SQLRETURN rc =
      SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(sql.c_str())), SQL_NTS);
  const std::string error = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? std::string() : StatementError(statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return error.empty() ? error : error + " in: " + Utf8(sql);
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(std::string_view text) { return platform::Utf8ToUtf16(text); }

std::string Describe(const OdbcDiagnostic& d) {
  return Utf8(d.sqlState) + " (" + std::to_string(d.nativeError) + ") " + Utf8(d.message);
}

}  // namespace qm::test

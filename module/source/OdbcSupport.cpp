#include <schemaimport/OdbcSupport.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <climits>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a 16-bit unit");

namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

bool IsTrailingBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

}  // namespace

OdbcDiagnostic ReadOdbcDiagnostic(short handleType, void* handle, const char16_t* failedCall, short returnCode) {
  OdbcDiagnostic diagnostic;
  if (handle != SQL_NULL_HANDLE) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::u16string message(512, u'\0');
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, 1, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      // The message was cut: ask again with room for all of it.
      message.assign(std::min<std::size_t>(static_cast<std::size_t>(length) + 1, SHRT_MAX), u'\0');
      rc = SQLGetDiagRecW(handleType, handle, 1, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (Succeeded(rc)) {
      const auto* stateText = reinterpret_cast<const char16_t*>(state);
      diagnostic.sqlState.assign(stateText, std::char_traits<char16_t>::length(stateText));
      diagnostic.nativeError = static_cast<int>(native);
      message.resize(std::char_traits<char16_t>::length(message.c_str()));
      while (!message.empty() && IsTrailingBlank(message.back())) message.pop_back();
      diagnostic.message = std::move(message);
      return diagnostic;
    }
  }
  // No driver said anything: the module says which call failed, without
  // an SQLSTATE of its own making.
  return OdbcDiagnostic::FromModule(std::u16string(failedCall) + (returnCode == SQL_INVALID_HANDLE
                                                                      ? u" failed: invalid handle"
                                                                      : u" failed without a diagnostic record"));
}

// The first diagnostic record a driver gave for a failed ODBC call, kept so
// that a host can tell the user why, e.g. a wrong password from an
// unreachable server.
#pragma once

#include <string>

struct OdbcDiagnostic {
  std::u16string sqlState;  // five characters, e.g. u"28P01"; empty when there is none
  int nativeError = 0;      // the driver's own error number
  std::u16string message;   // the driver's text

  bool IsEmpty() const { return sqlState.empty() && message.empty(); }
  void Clear() { sqlState.clear(); nativeError = 0; message.clear(); }
};

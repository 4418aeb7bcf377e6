#include "OdbcConnector.h"

#include <platform/CString.h>

#include <string>

namespace qm::odbc {

bool OdbcConnector::EstablishConnection() {
  if (GetSource().empty()) return Refuse(u"no connection string given");
  SetLoginTimeout(static_cast<unsigned int>(GetConnectOptions().timeoutSeconds));
  CString text(GetSource());
  return Connect(text);
}

}  // namespace qm::odbc

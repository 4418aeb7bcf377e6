// OdbcConnector: opens a data source of any ODBC driver for the generic
// plug-in.
//
// What the host configures (the base keeps it):
//   source  an ODBC connection string, handed to the driver as it is (the
//           driver manager's dialog completes it when the host has one).
//   scope   the schemas to import, comma-separated, names as the driver
//           reports them; for a driver with catalogs but no schemas, the
//           catalogs (OdbcSource.h). Empty: every schema the driver lists.
//   timeout (SetConnectOptions) ODBC's login timeout, for the drivers that
//           honour it.
//
// The plug-in keeps one connector for the process. Configure on the host's
// thread before an import; the import then uses it on its own thread.
#pragma once

#include <schemaimport/SchemaSourceConnectorI.h>

namespace qm::odbc {

class OdbcConnector : public SchemaSourceConnectorI {
 public:
  OdbcConnector() = default;

  // Refuses an empty source; otherwise connects with the string as given
  // (the driver's reason is kept when it refuses).
  bool EstablishConnection() override;
};

}  // namespace qm::odbc

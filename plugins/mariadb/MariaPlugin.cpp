// The plug-in's entry point: what it says of itself, and its table
// (QM_PLUGIN). A server names no file of this machine, so there is no
// InputFiles; there is no sample either.
#include "MariaCatalog.h"
#include "MariaConnector.h"
#include "MariaReader.h"
#include "MariaUrl.h"

#include <schemaimport/PluginTools.h>

namespace qm::mariadb {

// The driver's name as Debian's odbc-mariadb registers it, the names
// MariaDB's own packages register, and its library (one for wide and narrow
// calls; a Driver may name the file).
constexpr const char* kDrivers[] = {"MariaDB Unicode", "MariaDB ODBC 3.1 Driver", "MariaDB ODBC 3.2 Driver",
                                    "libmaodbc.so", nullptr};

constexpr QmPluginDescriptor kPlugin = {
    .name = "mariadb",
    .description = "MariaDB servers (10.6 or later), through MariaDB's ODBC driver",
    .drivers = kDrivers,
    .shortcut = {"mariadb", "STRING", "Import a MariaDB server's databases through the ODBC connection string STRING",
                 QmShortcutValue::ConnectionString},
    .modelType = kMariaDbModelType,
    .urlSchemes = kUrlSchemes,
    .sourceFromUrl = &SourceFromUrl,
    .sqlDialect = "mariadb",
    .driverPackage = "odbc-mariadb",
};

}  // namespace qm::mariadb

QM_PLUGIN(qm::mariadb::MariaConnector, qm::mariadb::MariaReader, qm::mariadb::kPlugin)

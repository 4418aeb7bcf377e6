// The plug-in's entry point: what it says of itself, and its table
// (QM_PLUGIN). It lists no driver: it serves every driver that no other
// plug-in lists (`fallback`), and any other when the host is asked to
// (quillmere-import --generic, or --plugin odbc).
#include "OdbcConnector.h"
#include "OdbcReader.h"

#include <schemaimport/PluginTools.h>

namespace qm::odbc {

constexpr const char* kDrivers[] = {nullptr};

constexpr QmPluginDescriptor kPlugin = {
    .name = "odbc",
    .description = "Any ODBC driver, through ODBC's own catalogue functions (tables, columns, keys, indexes, routines)",
    .drivers = kDrivers,
    .shortcut = {},
    .modelType = kOdbcModelType,
    .fallback = true,
    // Any database: its models are written in standard SQL, and no one
    // package brings the drivers it reads.
    .sqlDialect = "standard",
};

}  // namespace qm::odbc

QM_PLUGIN(qm::odbc::OdbcConnector, qm::odbc::OdbcReader, qm::odbc::kPlugin)

// The plug-in's entry point: what it says of itself, and its table
// (QM_PLUGIN). A server names no file of this machine, so there is no
// InputFiles; there is no sample either.
#include "PgCatalog.h"
#include "PgConnector.h"
#include "PgReader.h"
#include "PgUrl.h"

#include <schemaimport/PluginTools.h>

namespace qm::postgres {

// psqlODBC's driver names as Debian registers them, the name other
// distributions use, and its libraries (a Driver may name the file).
constexpr const char* kDrivers[] = {"PostgreSQL Unicode", "PostgreSQL ANSI", "PostgreSQL",
                                    "psqlodbcw.so",       "psqlodbca.so",    nullptr};

constexpr QmPluginDescriptor kPlugin = {
    .name = "postgres",
    .description = "PostgreSQL servers, through psqlODBC",
    .drivers = kDrivers,
    .shortcut = {"postgres", "STRING", "Import a PostgreSQL database through the ODBC connection string STRING",
                 QmShortcutValue::ConnectionString},
    .modelType = kPostgresModelType,
    .urlSchemes = kUrlSchemes,
    .sourceFromUrl = &SourceFromUrl,
    .sqlDialect = "postgresql",
    .driverPackage = "odbc-postgresql",
};

}  // namespace qm::postgres

QM_PLUGIN(qm::postgres::PgConnector, qm::postgres::PgReader, qm::postgres::kPlugin)

// The plug-in's entry point: what it says of itself, and its table
// (QM_PLUGIN).
#include "SqliteCatalog.h"
#include "SqliteConnector.h"
#include "SqliteInputFiles.h"
#include "SqliteReader.h"
#include "SqliteSample.h"
#include "SqliteUrl.h"

#include <schemaimport/PluginTools.h>

namespace qm::sqlite {

// The SQLite ODBC driver's name as odbcinst.ini registers it, and its
// library (a Driver may name the file).
constexpr const char* kDrivers[] = {"SQLite3", "libsqlite3odbc.so", nullptr};

constexpr QmPluginDescriptor kPlugin = {
    .name = "sqlite",
    .description = "SQLite database files, through the SQLite3 ODBC driver (read-only)",
    .drivers = kDrivers,
    .shortcut = {"sqlite", "PATH", "Import the SQLite database file PATH", QmShortcutValue::FilePath},
    .modelType = kSqliteModelType,
    .inputFiles = &SourceInputFiles,
    .writeSample = &WriteSample,
    .urlSchemes = kUrlSchemes,
    .sourceFromUrl = &SourceFromUrl,
    .sqlDialect = "sqlite",
    .driverPackage = "libsqliteodbc",
};

}  // namespace qm::sqlite

QM_PLUGIN(qm::sqlite::SqliteConnector, qm::sqlite::SqliteReader, qm::sqlite::kPlugin)

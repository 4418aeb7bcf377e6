// The plug-in's entry point and its tools' registration.
//
// Loading the library builds one connector and one reader and registers
// them in ImportToolsProvider under model type 1001; unloading it (dlclose,
// or the end of the process) takes them out of the registry again, if they
// are still the ones registered, and frees the reader's row actions. The
// host must not unload the plug-in while an import runs.
#include "SqliteCatalog.h"
#include "SqliteConnector.h"
#include "SqliteReader.h"

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/PluginApi.h>

namespace qm::sqlite {
namespace {

// The plug-in's tools for the life of the library.
struct SqlitePlugin {
  SqliteConnector connector;  // opens the configured database
  SqliteReader reader;        // reads its catalogue

  SqlitePlugin() {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->RegisterConnector(static_cast<int>(kSqliteModelType), &connector);
    tools->RegisterReader(static_cast<int>(kSqliteModelType), &reader);
  }
  ~SqlitePlugin() {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->UnregisterConnector(static_cast<int>(kSqliteModelType), &connector);
    tools->UnregisterReader(static_cast<int>(kSqliteModelType), &reader);
    reader.ClearAll();
  }
  SqlitePlugin(const SqlitePlugin&) = delete;
  SqlitePlugin& operator=(const SqlitePlugin&) = delete;
};

SqlitePlugin g_plugin;

void Configure(const std::u16string& source, const std::u16string& scope) { g_plugin.connector.Configure(source, scope); }

OdbcDiagnostic LastConnectError() { return g_plugin.connector.LastConnectError(); }

std::vector<QmFailedStatement> FailedStatements() {
  std::vector<QmFailedStatement> failed;
  for (const SchemaSourceReaderI::FailedStatement& statement : g_plugin.reader.GetFailedStatements())
    failed.push_back(QmFailedStatement{statement.statementId, StatementName(statement.statementId), statement.diagnostic});
  return failed;
}

const QmPluginApi kApi = {
    QmPluginApi::kAbiVersion, "sqlite", kSqliteModelType, &Configure, &LastConnectError, &FailedStatements,
};

}  // namespace
}  // namespace qm::sqlite

extern "C" __attribute__((visibility("default"))) const QmPluginApi* QmGetPluginApi() { return &qm::sqlite::kApi; }

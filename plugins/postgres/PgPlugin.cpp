// The plug-in's entry point and its tools' registration.
//
// Loading the library builds one connector and one reader and registers
// them in ImportToolsProvider under model type 1002; unloading it (dlclose,
// or the end of the process) takes them out of the registry again, if they
// are still the ones registered, and frees the reader's row actions. The
// host must not unload the plug-in while an import runs.
#include "PgCatalog.h"
#include "PgConnector.h"
#include "PgReader.h"

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/PluginApi.h>

namespace qm::postgres {
namespace {

// The plug-in's tools for the life of the library.
struct PgPlugin {
  PgConnector connector;  // opens the configured database
  PgReader reader;        // reads its catalogue

  PgPlugin() {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->RegisterConnector(static_cast<int>(kPostgresModelType), &connector);
    tools->RegisterReader(static_cast<int>(kPostgresModelType), &reader);
  }
  ~PgPlugin() {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->UnregisterConnector(static_cast<int>(kPostgresModelType), &connector);
    tools->UnregisterReader(static_cast<int>(kPostgresModelType), &reader);
    reader.ClearAll();
  }
  PgPlugin(const PgPlugin&) = delete;
  PgPlugin& operator=(const PgPlugin&) = delete;
};

PgPlugin g_plugin;

void Configure(const std::u16string& source, const std::u16string& scope) { g_plugin.connector.Configure(source, scope); }

OdbcDiagnostic LastConnectError() { return g_plugin.connector.LastConnectError(); }

std::vector<QmFailedStatement> FailedStatements() {
  // After a failed connect nothing ran: the reader's lists are an earlier
  // import's.
  if (!g_plugin.connector.LastConnectError().IsEmpty()) return {};
  return g_plugin.reader.Failures();
}

const QmPluginApi kApi = {
    QmPluginApi::kAbiVersion, "postgres", kPostgresModelType, &Configure, &LastConnectError, &FailedStatements,
};

}  // namespace
}  // namespace qm::postgres

extern "C" __attribute__((visibility("default"))) const QmPluginApi* QmGetPluginApi() { return &qm::postgres::kApi; }

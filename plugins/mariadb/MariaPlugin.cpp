// The plug-in's entry point: its tools, registered while the library is
// loaded (PluginTools), and the table hosts call.
#include "MariaCatalog.h"
#include "MariaConnector.h"
#include "MariaReader.h"

#include <schemaimport/PluginApi.h>
#include <schemaimport/PluginTools.h>

namespace qm::mariadb {
namespace {

PluginTools<MariaConnector, MariaReader> g_plugin(kMariaDbModelType);

void Configure(const std::u16string& source, const std::u16string& scope) { g_plugin.connector.Configure(source, scope); }

OdbcDiagnostic LastConnectError() { return g_plugin.connector.LastConnectError(); }

std::vector<QmFailedStatement> FailedStatements() { return g_plugin.FailedStatements(); }

void SetConnectOptions(const QmConnectOptions& options) { g_plugin.connector.SetConnectOptions(options); }

const QmPluginApi kApi = {
    QmPluginApi::kAbiVersion, "mariadb", kMariaDbModelType, &Configure, &LastConnectError, &FailedStatements, &SetConnectOptions,
};

}  // namespace
}  // namespace qm::mariadb

extern "C" __attribute__((visibility("default"))) const QmPluginApi* QmGetPluginApi() { return &qm::mariadb::kApi; }

// A plug-in's entry point in one line:
//
//   constexpr const char* kDrivers[] = {"SQLite3", nullptr};
//   constexpr QmPluginDescriptor kPlugin = {
//       .name = "sqlite", .description = "...", .drivers = kDrivers, .modelType = 1001};
//   QM_PLUGIN(SqliteConnector, SqliteReader, kPlugin)
//
// QM_PLUGIN defines QmGetPluginApi and the plug-in table (PluginApi.h): the
// head of this build, the descriptor's self-description, and operations
// that call only these on the plug-in's tools:
//   connector.Configure(source, scope)
//   connector.SetConnectOptions(options)
//   connector.LastConnectError()     an OdbcDiagnostic (or a reference to one)
//   reader.Failures()                a std::vector<QmFailedStatement>
// and the descriptor's inputFiles, writeSample, urlSchemes, sourceFromUrl, sqlDialect and driverPackage. The descriptor must be a
// constant of static storage in the plug-in; the connector and the reader
// need a default constructor. One QM_PLUGIN per library.
#pragma once

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/PluginApi.h>

#include <vector>

// PluginTools: the connector and reader of one database plug-in. Built on
// first use (the host's first Configure), it registers both in
// ImportToolsProvider under the plug-in's model type; destroyed when the
// library unloads (dlclose, or the end of the process), it takes them out
// again, if they are still the ones registered, and frees the reader's row
// actions. A library that is only loaded and looked at (a host listing its
// plug-ins) registers nothing. The host must not unload a plug-in while an
// import runs.
template <typename Connector, typename Reader>
class PluginTools {
 public:
  explicit PluginTools(unsigned int modelType) : m_modelType(static_cast<int>(modelType)) {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->RegisterConnector(m_modelType, &connector);
    tools->RegisterReader(m_modelType, &reader);
  }
  ~PluginTools() {
    ImportToolsProvider* tools = ImportToolsProvider::Instance();
    tools->UnregisterConnector(m_modelType, &connector);
    tools->UnregisterReader(m_modelType, &reader);
    reader.ClearAll();
  }
  PluginTools(const PluginTools&) = delete;
  PluginTools& operator=(const PluginTools&) = delete;

  // The failed statements of the last import. None after a failed connect:
  // the driver empties the reader's record at the start of every run, but a
  // reader may keep failures of its own (statements it did not run), which
  // would be an earlier import's.
  std::vector<QmFailedStatement> FailedStatements() const {
    if (!connector.LastConnectError().IsEmpty()) return {};
    return reader.Failures();
  }

  Connector connector;  // opens the configured source
  Reader reader;        // reads its catalogue

 private:
  int m_modelType;  // registry key of both tools
};

// The table QM_PLUGIN exports, for the plug-in's Connector, Reader and
// descriptor. Everything is static: one table per library.
template <typename Connector, typename Reader, const QmPluginDescriptor& kDescriptor>
class QmPluginEntry {
 private:
  // Built on the first call (on the host's thread, before an import) and
  // destroyed when the library unloads.
  static PluginTools<Connector, Reader>& Tools() {
    static PluginTools<Connector, Reader> tools(kDescriptor.modelType);
    return tools;
  }
  static void Configure(const std::u16string& source, const std::u16string& scope) {
    Tools().connector.Configure(source, scope);
  }
  static void SetConnectOptions(const QmConnectOptions& options) { Tools().connector.SetConnectOptions(options); }
  static OdbcDiagnostic LastConnectError() { return Tools().connector.LastConnectError(); }
  static std::vector<QmFailedStatement> FailedStatements() { return Tools().FailedStatements(); }
  static QmSourceFiles InputFiles(const std::u16string& source, const QmConnectOptions& options) {
    return kDescriptor.inputFiles != nullptr ? kDescriptor.inputFiles(source, options) : QmSourceFiles();
  }

 public:
  static inline const QmPluginApi kApi = {
      {QM_PLUGIN_MAGIC, QM_PLUGIN_ABI_VERSION, QM_PLUGIN_BUILD_STAMP},
      kDescriptor.name,
      kDescriptor.description,
      kDescriptor.drivers,
      kDescriptor.shortcut,
      kDescriptor.modelType,
      &Configure,
      &SetConnectOptions,
      &LastConnectError,
      &FailedStatements,
      &InputFiles,
      kDescriptor.writeSample,
      kDescriptor.fallback,
      kDescriptor.urlSchemes,
      kDescriptor.sourceFromUrl,
      kDescriptor.sqlDialect,
      kDescriptor.driverPackage,
  };
};

// The plug-in's entry point: QmGetPluginApi with C linkage, the one symbol
// the library exports, returning the head of its table.
#define QM_PLUGIN(Connector, Reader, descriptor)                                                       \
  extern "C" __attribute__((visibility("default"))) const QmPluginHead* QmGetPluginApi() {            \
    return &QmPluginEntry<Connector, Reader, descriptor>::kApi.head;                                   \
  }

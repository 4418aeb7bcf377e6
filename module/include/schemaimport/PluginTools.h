// PluginTools: the connector and reader of one database plug-in for the life
// of its library. Built when the library loads, it registers both in
// ImportToolsProvider under the plug-in's model type; destroyed when it
// unloads (dlclose, or the end of the process), it takes them out again, if
// they are still the ones registered, and frees the reader's row actions.
// The host must not unload a plug-in while an import runs.
//
// Reader must offer Failures(): the statements of its last import that
// failed, for QmPluginApi::FailedStatements.
#pragma once

#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/PluginApi.h>

#include <vector>

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

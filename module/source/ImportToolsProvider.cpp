#include <schemaimport/ImportToolsProvider.h>

namespace {

// Inserts only: the first tool registered for a model type stays.
template <typename Tool>
void RegisterFirst(std::map<int, Tool*>& table, int modelType, Tool* tool) {
  table.emplace(modelType, tool);
}

// Looks up without inserting, so that a failed lookup cannot shadow a
// later registration.
template <typename Tool>
Tool* FindTool(const std::map<int, Tool*>& table, int modelType) {
  const auto it = table.find(modelType);
  return it == table.end() ? nullptr : it->second;
}

// Removes the entry only while it still holds this tool, so a plug-in that
// unloads cannot take away another plug-in's registration.
template <typename Tool>
void UnregisterIfHeld(std::map<int, Tool*>& table, int modelType, Tool* tool) {
  const auto it = table.find(modelType);
  if (it != table.end() && it->second == tool) table.erase(it);
}

}  // namespace

ImportedObjectCreatorI::~ImportedObjectCreatorI() = default;

ImportToolsProvider* ImportToolsProvider::Instance() {
  static ImportToolsProvider instance;
  return &instance;
}

void ImportToolsProvider::RegisterConnector(int modelType, SchemaSourceConnectorI* connector) {
  RegisterFirst(m_connectors, modelType, connector);
}

void ImportToolsProvider::RegisterReader(int modelType, SchemaSourceReaderI* reader) {
  RegisterFirst(m_readers, modelType, reader);
}

void ImportToolsProvider::RegisterObjectCreator(int modelType, ImportedObjectCreatorI* creator) {
  RegisterFirst(m_objectCreators, modelType, creator);
}

SchemaSourceConnectorI* ImportToolsProvider::GetConnector(int modelType) const {
  return FindTool(m_connectors, modelType);
}

SchemaSourceReaderI* ImportToolsProvider::GetReader(int modelType) const {
  return FindTool(m_readers, modelType);
}

ImportedObjectCreatorI* ImportToolsProvider::GetObjectCreator(int modelType) const {
  return FindTool(m_objectCreators, modelType);
}

void ImportToolsProvider::UnregisterConnector(int modelType, SchemaSourceConnectorI* connector) {
  UnregisterIfHeld(m_connectors, modelType, connector);
}

void ImportToolsProvider::UnregisterReader(int modelType, SchemaSourceReaderI* reader) {
  UnregisterIfHeld(m_readers, modelType, reader);
}

void ImportToolsProvider::UnregisterObjectCreator(int modelType, ImportedObjectCreatorI* creator) {
  UnregisterIfHeld(m_objectCreators, modelType, creator);
}

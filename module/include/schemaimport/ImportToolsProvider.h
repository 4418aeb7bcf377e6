// ImportToolsProvider: the registry through which database plug-ins offer
// their tools to the module. Each plug-in registers, under its model type
// (the value GenericModel::GetModelType returns), the connector that opens
// the connection, the reader that turns the catalogue into model objects
// and an object creator. The import road looks the connector and the reader
// up by the model type of the model being filled.
//
// Ownership: the registry never owns a tool. The plug-in that registered a
// tool keeps it alive for as long as the registry can hand it out.
//
// Lifetime and threads: the one registry of the process is built on the
// first call of Instance (thread-safe) and destroyed when the module
// unloads. Registration and lookup take no lock; they must not run on two
// threads at once.
#pragma once

#include <schemaimport/Export.h>

#include <map>

class SchemaSourceConnectorI;
class SchemaSourceReaderI;

// A plug-in's creator of imported objects. The module only stores it for
// the plug-in's model type; plug-ins derive from it.
class QM_SCHEMAIMPORT_API ImportedObjectCreatorI {
 public:
  virtual ~ImportedObjectCreatorI();
};

class QM_SCHEMAIMPORT_API ImportToolsProvider {
 public:
  // The registry of the process; never null.
  static ImportToolsProvider* Instance();

  ImportToolsProvider() = default;

  // Each records the tool for the model type unless that type already has
  // one in the same table: the first registration for a type wins, and a
  // later one is neither stored nor deleted.
  void RegisterConnector(int modelType, SchemaSourceConnectorI* connector);
  void RegisterReader(int modelType, SchemaSourceReaderI* reader);
  void RegisterObjectCreator(int modelType, ImportedObjectCreatorI* creator);

  // Each removes the entry for the model type when it holds exactly this
  // tool; otherwise nothing changes. A plug-in calls them when it unloads,
  // so that the registry never hands out a tool that is gone and a reloaded
  // plug-in can register again.
  void UnregisterConnector(int modelType, SchemaSourceConnectorI* connector);
  void UnregisterReader(int modelType, SchemaSourceReaderI* reader);
  void UnregisterObjectCreator(int modelType, ImportedObjectCreatorI* creator);

  // The tool registered for the model type, or null when there is none.
  // A lookup never changes the registry, so a registration that follows a
  // failed lookup is still recorded.
  SchemaSourceConnectorI* GetConnector(int modelType) const;
  SchemaSourceReaderI* GetReader(int modelType) const;
  ImportedObjectCreatorI* GetObjectCreator(int modelType) const;

 private:
  std::map<int, SchemaSourceConnectorI*> m_connectors;        // model type -> connector; not owned
  std::map<int, SchemaSourceReaderI*> m_readers;              // model type -> reader; not owned
  std::map<int, ImportedObjectCreatorI*> m_objectCreators;    // model type -> object creator; not owned
};

// InterfaceProvider: the process-wide registry through which the host finds
// the schema-import module's interfaces and the module finds the host's.
//
// Lifetime: created on first use and destroyed at process exit. It owns the
// registered session state and import interface: Delete* destroys them
// through their virtual destructors, and so does the registry's own
// destructor for any still registered. The object explorer is the host's
// and is never deleted here. The destructor runs at process exit, after any
// dlclose: a library that registers objects must have them deleted before
// it is unloaded, or their destructors are gone by then.
//
// Thread safety: every operation may be called from any thread; the
// pointers handed out stay valid until the matching Delete* call or a
// registration that replaces them.
#pragma once

#include <gatehouse/Interfaces.h>

#include <mutex>

class InterfaceProvider {
 public:
  static InterfaceProvider* Instance();

  // Takes ownership. A second registration replaces the first, which is
  // deleted; registering the object already registered keeps it. Null
  // unregisters and deletes the current one, as Delete* does.
  void RegisterSchemaImportSessionState(ISchemaImportSessionState* state);
  void RegisterSchemaImportApi(ISchemaImport* api);

  // The registered object, or null.
  ISchemaImportSessionState* GetSchemaImportSessionState();
  ISchemaImport* GetSchemaImportApi();

  // Destroys the registered object, if any, and forgets it. The destructor
  // runs without the registry locked, so it may call the registry.
  void DeleteSchemaImportSessionState();
  void DeleteSchemaImportApi();

  // The host's object explorer, or null when the host set none. Not owned.
  IObjectExplorerInterface* GetObjectExplorerInterface();
  void SetObjectExplorerInterface(IObjectExplorerInterface* explorer);

  InterfaceProvider(const InterfaceProvider&) = delete;
  InterfaceProvider& operator=(const InterfaceProvider&) = delete;

 private:
  InterfaceProvider() = default;
  ~InterfaceProvider();

  std::mutex m_mutex;                                   // guards the three pointers
  ISchemaImportSessionState* m_sessionState = nullptr;  // owned
  ISchemaImport* m_schemaImport = nullptr;              // owned
  IObjectExplorerInterface* m_explorer = nullptr;       // the host's, not owned
};

// Where a host finds the import module and the plug-ins, and the dlopen
// handles it keeps while they are loaded.
//
// A host never links the module: it loads it with dlopen, so that its
// application object registers the import interface when it loads and its
// ExitInstance runs when it is unloaded (before the module's own statics
// go), as the desktop application's loader does.
#pragma once

#include <string>
#include <vector>

class ISchemaImport;
class ISchemaImportSessionState;

namespace runner {

// The folder the module is loaded from: $QM_LIB_DIR when it is set and not
// empty, otherwise the program's library folder as seen from the
// executable's (<folder of the executable>/../lib/quillmere: the layout of
// the build tree and of an installation alike), resolved.
std::string LibraryDirectory();

// The folders plug-ins are looked for in, in this order: plugins/ in the
// library folder, then each folder of $QM_PLUGIN_PATH (separated by ':'; empty
// entries are skipped, so the current folder is never searched unasked).
std::vector<std::string> PluginDirectories(const std::string& libraryDirectory);

// The import module's file in a library folder (by its SONAME).
std::string ModulePath(const std::string& directory);

// One library loaded with dlopen (RTLD_NOW | RTLD_LOCAL). Closing runs the
// library's unload code (for the module: its ExitInstance). The destructor
// closes it too; a host closes explicitly, in the order that matters:
// plug-ins first, then the module.
class LoadedLibrary {
 public:
  LoadedLibrary() = default;
  ~LoadedLibrary() { Close(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // Loads the library. On failure returns false and sets error to the
  // loader's reason; nothing stays loaded.
  bool Open(const std::string& path, std::string& error);
  // Unloads it; harmless when nothing is loaded.
  void Close();
  bool IsOpen() const { return m_handle != nullptr; }
  // The address of the symbol, or null when the library has none.
  void* Symbol(const char* name) const;
  // The dlopen handle; null when not loaded. Two libraries loaded from the
  // same file share one.
  void* Handle() const { return m_handle; }

 private:
  void* m_handle = nullptr;  // dlopen handle; null when not loaded
};

// The import module (libschemaimport.so), loaded from a folder.
class ImportModule {
 public:
  // Loads directory/libschemaimport.so and finds the interfaces it
  // registered. On failure returns false with a one-line reason in error
  // ("the import module could not be loaded: ...") and leaves nothing
  // loaded.
  bool Open(const std::string& directory, std::string& error);
  // Unloads it (its ExitInstance runs); the plug-ins must be gone first.
  void Close();
  bool IsOpen() const { return m_library.IsOpen(); }

  // What the module registered when it loaded; null when not open.
  ISchemaImport* Api() const { return m_api; }
  ISchemaImportSessionState* Session() const { return m_session; }

 private:
  LoadedLibrary m_library;                         // libschemaimport.so
  ISchemaImport* m_api = nullptr;                  // owned by the host's registry
  ISchemaImportSessionState* m_session = nullptr;  // owned by the host's registry
};

// Keeps the ODBC driver manager that the module and the plug-ins brought in
// loaded until the process ends, even after they are unloaded. unixODBC
// keeps process-wide caches (its configuration, the drivers' handles) that
// it never frees; unloading it with the last library that needs it would
// strand them. Does nothing when the driver manager is not loaded.
void KeepOdbcDriverManagerLoaded();

}  // namespace runner

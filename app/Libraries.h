// Where the host finds the import module and the database plug-ins, and the
// dlopen handles it keeps while they are loaded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct QmPluginApi;

namespace app {

// The directory the module and the plug-ins are loaded from: $QM_LIB_DIR
// when it is set and not empty, otherwise the library folder as seen from
// the executable's (<directory of the executable>/../lib: the layout of the
// build tree and of an installation alike).
std::string LibraryDirectory();

// The folders a plug-in is looked for in, in this order: the library
// directory, then each folder of $QM_PLUGIN_PATH (separated by ':'; empty
// entries are skipped, so the current directory is never searched unasked).
std::vector<std::string> PluginDirectories(const std::string& libraryDirectory);

// Whether name can be a plug-in's short name: letters, digits, '_' and '-'
// only, not empty (so it never names a path).
bool IsPluginName(std::string_view name);

// File name of a plug-in's library: "sqlite" -> "libqm_sqlite.so".
std::string PluginFileName(const std::string& pluginName);

// One library loaded with dlopen (RTLD_NOW | RTLD_LOCAL). Closing runs the
// library's unload code (for the module: its ExitInstance). The destructor
// closes it too, but the host closes explicitly, in the order that matters:
// plug-in first, then the module.
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

 private:
  void* m_handle = nullptr;  // dlopen handle; null when not loaded
};

// Keeps the ODBC driver manager that the module and the plug-ins brought in
// loaded until the process ends, even after they are unloaded. unixODBC
// keeps process-wide caches (its configuration, the drivers' handles) that
// it never frees; unloading it with the last library that needs it would
// strand them. Does nothing when the driver manager is not loaded.
void KeepOdbcDriverManagerLoaded();

// Loads the plug-in named pluginName from the first of the directories
// that holds its library, and fetches its API table. On failure returns
// null with a one-line reason in error (a missing file says so plainly,
// naming the file and the directories).
const QmPluginApi* LoadPlugin(LoadedLibrary& library, const std::vector<std::string>& directories,
                              const std::string& pluginName, std::string& error);

}  // namespace app

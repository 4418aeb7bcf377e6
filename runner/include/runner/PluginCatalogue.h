// The plug-ins a host finds by looking: every library named libqm_<name>.so
// in the plug-in folders (Libraries.h: the library folder, then
// $QM_PLUGIN_PATH), loaded and checked. The host chooses among them by what
// their tables say (PluginApi.h): a short name, the ODBC drivers served, a
// command-line shortcut, a sample database.
//
// Looking reads a library's dynamic symbols first: one that exports no
// QmGetPluginApi is never loaded, so no code of a library that is no
// plug-in runs. A plug-in is loaded and its table read, which registers
// nothing with the module (a plug-in's tools are registered on its first
// Configure), so every plug-in found may stay loaded while the host runs,
// and only the one configured takes part in the import. The module must be
// loaded first: plug-ins link it.
//
// Thread safety: the host's thread only; the tables found may be read from
// any thread while the catalogue holds them.
#pragma once

#include <runner/Libraries.h>

#include <schemaimport/PluginApi.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace runner {

// A plug-in whose table this host accepted.
struct FoundPlugin {
  std::string path;                 // the library file, as found
  const QmPluginApi* api = nullptr; // its table; valid while the catalogue holds the library
};

// A library in a plug-in folder that this host did not take, and why.
struct RefusedLibrary {
  std::string path;    // the library file, as found
  std::string reason;  // one line, e.g. "built for plug-in interface version 2; this host uses version 4"
};

// Why the table behind head cannot be used by this host; empty when it
// can. The head comes first (magic number, interface version, build stamp:
// a refusal names both stamps); only a head that matches this host's has
// the rest of the table read, and then only its C fields and pointers.
std::string CheckPluginTable(const QmPluginHead* head);

// Whether text may be a plug-in's short name: letters a-z, digits, '_' and
// '-', not empty (so that it never names a path).
bool IsPluginName(std::string_view text);

// Whether a connection string's Driver value names a driver the table
// lists: the whole name with ASCII case ignored, or, for a Driver given as
// the driver's library path, its file name.
bool ServesDriver(const QmPluginApi& api, std::string_view driver);

class PluginCatalogue {
 public:
  PluginCatalogue() = default;
  ~PluginCatalogue() { Close(); }
  PluginCatalogue(const PluginCatalogue&) = delete;
  PluginCatalogue& operator=(const PluginCatalogue&) = delete;

  // Looks at every file named libqm_*.so in each folder, in the order
  // given (within a folder, by name), and loads it as Load does. A folder
  // that cannot be read is skipped; a file met again (the same folder
  // listed twice) is looked at once.
  void Discover(const std::vector<std::string>& directories);

  // Loads the library at path and checks its table. Returns the plug-in
  // (valid while the catalogue holds it), or null with the reason recorded
  // in Refused() (and the library unloaded, or never loaded): a library
  // that exports no QmGetPluginApi, does not load, has a table this host
  // refuses (CheckPluginTable), or has the name of a plug-in found before
  // it.
  const FoundPlugin* Load(const std::string& path);

  // What was found, in the order looked at; what was refused, likewise.
  const std::deque<FoundPlugin>& Plugins() const { return m_plugins; }
  const std::vector<RefusedLibrary>& Refused() const { return m_refused; }
  // The folders Discover looked in.
  const std::vector<std::string>& Directories() const { return m_directories; }

  // The plug-in of that short name, or null.
  const FoundPlugin* FindByName(std::string_view name) const;
  // The first plug-in that serves the driver (ServesDriver), or null.
  const FoundPlugin* FindByDriver(std::string_view driver) const;
  // The first plug-in that reads any driver no plug-in lists
  // (QmPluginApi::fallback), or null.
  const FoundPlugin* FindFallback() const;
  // The plug-in that reads the driver's sources: the first that lists it
  // (FindByDriver), else the first fallback; null when there is neither.
  const FoundPlugin* FindForDriver(std::string_view driver) const;
  // The first plug-in that lists the URL scheme (ASCII case ignored), or
  // null.
  const FoundPlugin* FindByUrlScheme(std::string_view scheme) const;
  // Every URL scheme the plug-ins found serve, in the order found, once.
  std::vector<std::string> UrlSchemes() const;
  // The first plug-in that offers the command-line shortcut (the option
  // name without dashes), or null.
  const FoundPlugin* FindByShortcut(std::string_view option) const;
  // The first plug-in that has a sample database, or null.
  const FoundPlugin* FindWithSample() const;

  // Unloads every plug-in, in the reverse order of loading; the tables
  // found are gone. The host calls it before it unloads the module.
  void Close();

 private:
  std::vector<std::unique_ptr<LoadedLibrary>> m_libraries;  // the accepted plug-ins' libraries, in loading order
  std::deque<FoundPlugin> m_plugins;                        // accepted, in the order looked at (a deque: found ones never move)
  std::vector<RefusedLibrary> m_refused;                    // refused, in the order looked at
  std::vector<std::string> m_directories;                   // folders Discover looked in
};

}  // namespace runner

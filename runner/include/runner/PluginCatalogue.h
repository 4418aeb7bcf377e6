// The plug-ins a host finds by looking: every library named libqm_<name>.so
// in the plug-in folders (Libraries.h: plugins/ of the library folder, then
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
// What was found can be kept in an index file (DiscoverIndexed): each
// library's description or refusal, with what stat says of the file. A
// later look at the same files takes the descriptions from the index and
// loads a plug-in only when its table is asked for (Table), so a host that
// uses one plug-in loads one, however many are installed.
//
// Thread safety: the host's thread only (Table included); the tables found
// may be read from any thread while the catalogue holds them.
#pragma once

#include <runner/Libraries.h>

#include <schemaimport/PluginApi.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace runner {

// What a plug-in's table says of it, copied out of the table: what a host
// chooses by and shows, without calling into the plug-in.
struct PluginDescription {
  std::string name;                      // QmPluginApi::name
  std::string description;               // one line
  std::vector<std::string> drivers;      // ODBC drivers served, in the table's order
  bool fallback = false;                 // reads any driver no plug-in lists
  std::vector<std::string> urlSchemes;   // URL schemes served, in the table's order
  std::string shortcutOption;            // the shortcut option without dashes; empty when none
  std::string shortcutArgument;          // its argument's name
  std::string shortcutHelp;              // its help line
  QmShortcutValue shortcutValue = QmShortcutValue::ConnectionString;
  unsigned int modelType = 0;            // the model type of its connector and reader
  bool hasSample = false;                // WriteSample is there
  std::string sqlDialect;                // the SQL dialect of its models; empty: standard SQL
  std::string driverPackage;             // the package of its ODBC driver; empty when it names none

  bool operator==(const PluginDescription&) const = default;
};

// The description of an accepted table.
PluginDescription Describe(const QmPluginApi& api);

// A plug-in whose table this host accepted.
struct FoundPlugin {
  std::string path;                  // the library file, as found
  PluginDescription about;           // what its table says
  const QmPluginApi* api = nullptr;  // its table; valid while the catalogue holds the library. Null for a
                                     // plug-in described by the index until PluginCatalogue::Table loads it
};

// A library in a plug-in folder that this host did not take, and why.
struct RefusedLibrary {
  std::string path;    // the library file, as found
  std::string reason;  // one line, e.g. "built for plug-in interface version 2; this host uses version 5"
  bool lasting = true; // the file itself is the reason, so the refusal stands until it changes; false
                       // when the loader failed (a library it needs may be installed later)
};

// Where the host keeps the index of its plug-in folders:
// $XDG_CACHE_HOME/quillmere (or ~/.cache/quillmere) and a file per library
// folder. Empty when there is no home folder to keep it in.
std::string PluginIndexPath(const std::string& libraryDirectory);

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
// The same over a description's list of drivers.
bool ServesDriver(const std::vector<std::string>& drivers, std::string_view driver);

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

  // Discover, with an index kept at indexPath (PluginIndexPath). When the
  // index describes the same files (path, device, inode, size, change and
  // modification times), of the same folders, for this host's build, and
  // the watched files (the module) are unchanged too, the plug-ins and the
  // refusals are taken from it and nothing is loaded. Otherwise every
  // library is looked at as Discover does, and the index is written again,
  // unless a library could not be loaded (that may change with no file
  // here changing). An index that cannot be read, parsed or written is
  // left aside without a word, and so is one that another user could have
  // put there or changed: it is read only when it is a regular file of this
  // user's own that no one else may write, in a folder of the user's own
  // that no one else may write, and it is opened without waiting (a FIFO at
  // its name does not stop the look); the index is written only into such
  // a folder. Returns whether the index was used.
  bool DiscoverIndexed(const std::vector<std::string>& directories, const std::string& indexPath,
                       const std::vector<std::string>& watched = {});

  // The plug-in's table, loaded now if the plug-in was described by the
  // index. Null when it cannot be loaded or its table is not the one
  // described, with the reason in *error; the index is then removed, so
  // that the next run looks again.
  const QmPluginApi* Table(const FoundPlugin& plugin, std::string* error = nullptr) const;

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

  // Unloads every plug-in, in the reverse order of loading; what was found
  // and refused is forgotten, and the catalogue may look again. The host
  // calls it before it unloads the module.
  void Close();

 private:
  // The libraries, then their tables, may be loaded by Table on a const
  // catalogue: loading a described plug-in changes nothing it tells.
  mutable std::vector<std::unique_ptr<LoadedLibrary>> m_libraries;  // the accepted plug-ins' libraries, in loading order
  mutable std::deque<FoundPlugin> m_plugins;  // accepted, in the order looked at (a deque: found ones never move)
  std::vector<RefusedLibrary> m_refused;      // refused, in the order looked at
  std::vector<std::string> m_directories;     // folders Discover looked in
  std::string m_indexPath;                    // the index the descriptions came from; empty when none was used
};

}  // namespace runner

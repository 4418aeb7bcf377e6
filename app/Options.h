// The command line of quillmere-import.
//
// The options that name a database through one plug-in (--NAME PATH or
// --NAME STRING) are not the host's own: each is a shortcut a plug-in's
// table offers, added for the plug-ins found, so --help lists what this
// installation can read.
#pragma once

#include <writers/OutputFormats.h>

#include <set>
#include <string>
#include <vector>

namespace app {

// --timeout when it is not given, and its largest value (a day).
constexpr int kDefaultTimeoutSeconds = 15;
constexpr int kMaximumTimeoutSeconds = 86400;

// A command-line option a plug-in offers for its databases (its table's
// shortcut).
struct Shortcut {
  std::string option;    // option name without dashes
  std::string argument;  // the value's name in --help, e.g. "PATH"
  std::string help;      // one line
  std::string plugin;    // the plug-in's short name
  bool isPath = false;   // the value is a database file's path (any bytes), never a connection string
};

struct Options {
  // The source: a URL, --dsn, a plug-in's shortcut, --connect, or none of
  // them (the sample).
  const Shortcut* shortcut = nullptr;  // the shortcut given (one of those passed to ParseOptions); null: none
  std::string shortcutValue;     // its value
  std::string connectString;     // --connect STRING (full ODBC string); empty when not given
  bool connectGiven = false;     // --connect was on the command line
  std::string url;               // the URL argument (postgresql://..., sqlite:..., odbc://DSN); empty when not given
  std::string dsn;               // --dsn NAME: a data source of odbc.ini; empty when not given
  std::string plugin;            // --plugin NAME: the plug-in that reads --connect's source; empty: its Driver picks
  std::set<std::string> offeredShortcuts;  // the shortcuts on the command line, by option name (a plug-in's
                                           // option whose name the host or an earlier plug-in took is not)
  bool generic = false;          // --generic: the plug-in that serves any driver reads --connect's source
  bool listPlugins = false;      // --list-plugins: show the plug-ins found and end
  bool listDsns = false;         // --list-dsns: show unixODBC's data sources and end
  bool listDrivers = false;      // --list-drivers: show unixODBC's drivers and end
  std::string schemas;           // --schema as given: a scope list (schemaimport/ScopeList.h), checked; empty = all
  const writers::OutputFormat* format = &writers::DefaultOutputFormat();  // --format; never null
  writers::WriteOptions write;   // what the format reads beyond its name
  std::string output;            // -o FILE; empty or "-" = standard output
  bool prompt = false;           // --prompt: complete the connection string on the terminal
  bool quiet = false;            // --quiet: no progress and no summary
  int timeoutSeconds = kDefaultTimeoutSeconds;  // --timeout: wait for a server's answer or a lock, each time
  bool withPrivileges = false;   // --with-privileges: read owners and grants too
};

// Parses the command line, with an option for each of the shortcuts (kept
// alive by the caller while options is used). Returns -1 when the program
// should go on; otherwise the exit code to end with at once: 0 after --help
// or --version (printed on standard output), 2 after a usage error
// (printed on standard error, passwords masked). noPluginsBecause, when
// not empty, says why no plug-in could be looked for (the module did not
// load); a usage error then ends with it, since it is the likelier cause.
int ParseOptions(int argc, char** argv, const std::vector<Shortcut>& shortcuts, Options& options,
                 const std::string& noPluginsBecause = {});

// Overwrites with '*', in the process's own argument strings (what
// /proc/PID/cmdline and ps show to every user of the machine while the
// import runs), each password a URL or a connection string among
// argv[1..argc) holds, as MaskPasswords finds them; each string keeps its
// length and the rest of its text. The caller parses copies made before.
void HidePasswordsInArguments(int argc, char** argv);

}  // namespace app

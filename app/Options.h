// The command line of quillmere-import.
#pragma once

#include <writers/OutputFormats.h>

#include <string>

namespace app {

// --timeout when it is not given, and its largest value (a day).
constexpr int kDefaultTimeoutSeconds = 15;
constexpr int kMaximumTimeoutSeconds = 86400;

struct Options {
  std::string sqlitePath;        // --sqlite PATH; empty when not given
  std::string connectString;     // --connect STRING (full ODBC string); empty when not given
  std::string postgresString;    // --postgres STRING; empty when not given
  std::string plugin;            // --plugin NAME: the plug-in that reads --connect's source; empty: its Driver picks
  bool sqliteGiven = false;      // --sqlite was on the command line (even if empty)
  bool connectGiven = false;     // --connect was on the command line
  bool postgresGiven = false;    // --postgres was on the command line
  std::string schemas;           // --schema as given: a scope list (schemaimport/ScopeList.h), checked; empty = all
  const writers::OutputFormat* format = &writers::DefaultOutputFormat();  // --format; never null
  writers::WriteOptions write;   // what the format reads beyond its name
  std::string output;            // -o FILE; empty or "-" = standard output
  bool prompt = false;           // --prompt: complete the connection string on the terminal
  bool quiet = false;            // --quiet: no progress and no summary
  int timeoutSeconds = kDefaultTimeoutSeconds;  // --timeout: wait for a server's answer or a lock, each time
};

// Parses the command line. Returns -1 when the program should go on;
// otherwise the exit code to end with at once: 0 after --help or
// --version (printed on standard output), 2 after a usage error (printed on
// standard error, passwords masked).
int ParseOptions(int argc, char** argv, Options& options);

}  // namespace app

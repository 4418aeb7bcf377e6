// What to import: the plug-in and the text it is configured with, chosen
// from the command line and the plug-ins found, and the files the import
// will read (so that the model is never written over one of them).
//
// Nothing here names a plug-in: the choice is made by what the tables say
// (a shortcut's plug-in, a --plugin name, a Driver the table lists, a
// sample database).
#pragma once

#include "Options.h"

#include <runner/PluginCatalogue.h>

#include <string>
#include <string_view>

namespace app {

class Console;

struct Source {
  const runner::FoundPlugin* plugin = nullptr;  // the plug-in that reads it; held by the catalogue
  std::string text;       // a path or a connection string, as given; the sample's path once it is written
  bool isPath = false;    // text is a database file's path (any bytes), never a connection string
  bool sample = false;    // the sample database the plug-in brings
};

// The scheme of the host's own URLs: odbc://DSN, a data source of odbc.ini.
constexpr std::string_view kOdbcScheme = "odbc";

// Picks the plug-in and the text. Returns -1 to go on; otherwise prints why
// and returns the exit code: 2 for a usage error (a connection string whose
// Driver no plug-in serves, or that names none; a URL that does not parse,
// whose scheme no plug-in serves, or that its plug-in cannot use; a data
// source that does not exist), 3 when the ODBC driver the source needs is
// not installed, 4 when the plug-in named or needed was not found.
// Passwords in a connection string or URL are handed to the console to
// mask.
int ResolveSource(const Options& options, const runner::PluginCatalogue& catalogue, Console& console,
                  Source& source);

// The connect options the source is opened with (a path as a path, the
// timeout; no notice).
QmConnectOptions ConnectOptionsFor(const Source& source, int timeoutSeconds);

// What the import reads: the chosen plug-in's InputFiles for the source as
// configured or, when connectionString is not null, for that connection
// string (the connection form's). For a connection string the plug-in
// serving its Driver, when another, is asked too: another plug-in may read
// a file that one knows how to name. The sample reads nothing the user
// named.
QmSourceFiles SourceFiles(const Source& source, const runner::PluginCatalogue& catalogue,
                          const std::string* connectionString = nullptr);

}  // namespace app

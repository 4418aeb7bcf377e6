// Database names as SQLite reads them, and as they must reach the SQLite3
// ODBC driver.
//
// The driver hands the Database value of its connection string to
// sqlite3_open_v2 with URI names enabled, so what a value names is decided
// by SQLite's rules: a name starting "file:" (exactly so) is a URI, with
// percent-decoding of its path and parameters, case-sensitive parameter
// names and values, mode=memory and vfs=memdb for a database in memory; any
// other name is a file path, except ":memory:" (in memory) and the empty
// name (a private temporary database).
//
// unixODBC passes a wide connection string to this ANSI driver narrowed to
// the low byte of each UTF-16 unit, so nothing outside ASCII may reach it
// as it is: names travel percent-encoded.
//
// Text here is bytes (UTF-8 when it came as text; a path may be any bytes).
// All functions are pure and may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qm::sqlite {

// What opening a database name would open.
struct DatabaseTarget {
  enum class Kind {
    File,       // a database file: path
    Memory,     // a database in memory; no file is touched
    Temporary,  // the empty name: a private temporary database, gone when closed
    Invalid,    // SQLite would refuse the name: error
  };
  Kind kind = Kind::Invalid;
  std::string path;   // the file, decoded (relative names stay relative); for File
  std::string error;  // SQLite's reason, e.g. "invalid uri authority: host"; for Invalid
  bool isUri = false; // the name was a "file:" URI
  bool hasMode = false;  // the URI sets mode= (ro, rw, rwc)
};

// Reads a database name as sqlite3_open_v2 does with URI names enabled and
// the flags the plug-in has the driver use (read-write without create, so
// a URI's mode=rwc is not allowed).
DatabaseTarget ResolveDatabaseName(std::string_view name);

// A read-only URI for the file at path (made absolute against the current
// directory), every byte outside [A-Za-z0-9-._~/] percent-encoded.
std::string FileUri(std::string_view path);

// The URI with every byte the driver could not take as it is percent-encoded
// (non-ASCII, controls, blanks, ';', '{', '}'), which SQLite decodes again,
// "mode=ro" added when it sets no mode, and any "#fragment" (which SQLite
// ignores) dropped. For a name ResolveDatabaseName reads as a File URI.
std::string DriverUri(std::string_view uri, bool addReadOnly);

// The path as text, for the model and for messages: valid UTF-8 as it is,
// each byte of an invalid sequence as \xhh (text cannot hold the bytes).
// Control characters and line breaks stay; hosts show them escaped as they
// show all text, so that a message names the file as the tree does.
std::u16string PathText(std::string_view path);

}  // namespace qm::sqlite

// The files an SQLite import reads, as far as the source tells before
// anything is opened, so that a host never writes its output over one of
// them (QmPluginDescriptor::inputFiles).
//
// An SQLite database is read together with the files SQLite keeps beside
// it: the rollback journal ("-journal"), the write-ahead log ("-wal") and
// its index ("-shm"). Replacing one of those loses committed data or breaks
// the next open as surely as replacing the database itself, so each counts
// as read, beside the path as given and beside the path it resolves to.
//
// Paths are bytes (UTF-8 when they came as text). All functions are pure
// and may be called from any thread.
#pragma once

#include <schemaimport/PluginApi.h>

#include <string>
#include <vector>

namespace qm::sqlite {

// The database file at path (a path the host gives as a path) and SQLite's
// files beside it.
std::vector<QmInputFile> DatabaseInputFiles(const std::string& path);

// The files an SQLite ODBC connection string opens, each with SQLite's
// files beside it: the Database attribute (a path; for an SQLite URI,
// file:PATH, file:///PATH or file://localhost/PATH with %-escapes decoded,
// the file it names and, in case it is taken as a plain name, the text
// itself), and the path of every Attach=name=path. Nothing for an empty
// Database or ":memory:".
std::vector<QmInputFile> ConnectionInputFiles(const std::string& connectionString);

// The plug-in's inputFiles: options.filePath when it is set; else the
// source as the connector reads it, a connection string (one with a Driver
// or DSN) or a path. A connection string that names neither a database nor
// a data source (whose settings may name one) is unusable: the driver
// would make up a file name from the whole string.
QmSourceFiles SourceInputFiles(const std::u16string& source, const QmConnectOptions& options);

}  // namespace qm::sqlite

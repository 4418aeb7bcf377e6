// The files an import reads, as far as the command line can tell, so that
// the model is never written over one of them (OutputFile::FindOverwritten).
//
// An SQLite database is read together with the files SQLite keeps beside
// it: the rollback journal ("-journal"), the write-ahead log ("-wal") and
// its index ("-shm"). Replacing one of those loses committed data or breaks
// the next open as surely as replacing the database itself, so each counts
// as read, beside the path as given and beside the path it resolves to.
//
// A PostgreSQL source is a server: it names no file. Text is UTF-8 (file
// names are passed through as bytes).
#pragma once

#include <string>
#include <vector>

namespace app {

struct InputFile {
  std::string path;  // as the source names it, or beside it for SQLite's own files
  std::string what;  // for a message: "the database shop.db", "the write-ahead log of the database shop.db"
};

// The SQLite database file at path (--sqlite PATH) and SQLite's files
// beside it.
std::vector<InputFile> SqliteInputFiles(const std::string& path);

// The files an SQLite ODBC connection string opens, each with SQLite's
// files beside it: the Database attribute (a path; for an SQLite URI,
// file:PATH, file:///PATH or file://localhost/PATH with %-escapes decoded,
// the file it names and, in case it is taken as a plain name, the text
// itself), and the path of every Attach=name=path. Nothing for an empty
// Database or ":memory:".
std::vector<InputFile> SqliteConnectionInputFiles(const std::string& connectionString);

}  // namespace app

// What SQLite itself reports about a database file, read with libsqlite3,
// and the same facts read from an imported model, as lines to compare.
#pragma once

#include <schemaimport/PluginApi.h>
#include <tillerhold/GenericModel.h>

#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace qm::test {

// A database file opened (created when missing) with libsqlite3, or one in
// memory for ":memory:". Failures of Exec and Rows fail the calling test.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs the statements to the first failure; TryExec returns its message.
  void Exec(const std::string& sql);
  std::string TryExec(const std::string& sql);
  // Every row, every value as its UTF-8 bytes ("<null>" for NULL); TryRows
  // gives nothing and the message instead of failing the test.
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  std::optional<std::vector<std::vector<std::string>>> TryRows(const std::string& sql, std::string* error);
  // Replaces main with a copy of the file's; false when it cannot.
  bool CopyFrom(const std::string& path);

 private:
  ::sqlite3* m_db = nullptr;  // owned
};

// One line per fact SQLite reports about the file's main database, sorted:
// tables, columns (a rowid alias is not nullable), keys, foreign keys,
// checks, indexes made with CREATE INDEX, views, triggers, and "unreadable"
// for a view or virtual table whose columns SQLite cannot read. SQLite's
// own and hidden tables and columns are left out. The checks and deferral,
// which the pragmas do not report, are read from the program SQLite
// compiles for an INSERT (deferral "?" where that fails).
std::vector<std::string> SqliteCatalogueLines(const std::string& path);

// The same from a model; the failures name views it could not read.
std::vector<std::string> SqliteModelLines(GenericModel& model, const std::vector<QmFailedStatement>& failures = {});

}  // namespace qm::test

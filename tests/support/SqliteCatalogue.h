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

// A file opened (created when missing) with libsqlite3; Exec and Rows fail the test.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  void Exec(const std::string& sql);
  std::string TryExec(const std::string& sql);
  // Values as their UTF-8 bytes, "<null>" for NULL.
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  std::optional<std::vector<std::vector<std::string>>> TryRows(const std::string& sql, std::string* error);
  bool CopyFrom(const std::string& path);

 private:
  ::sqlite3* m_db = nullptr;  // owned
};

// One line per fact SQLite reports about the main database (not its own or
// hidden tables and columns), sorted. Checks and deferral, which no pragma
// reports, are read from the program it compiles for an INSERT.
std::vector<std::string> SqliteCatalogueLines(const std::string& path);

// The same from a model; `failures` name views it could not read.
std::vector<std::string> SqliteModelLines(GenericModel& model, const std::vector<QmFailedStatement>& failures = {});

}  // namespace qm::test

// What SQLite itself reports about a database file, read with libsqlite3,
// and the same facts read from an imported model, as lines to compare.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

struct sqlite3;

namespace qm::test {

// A database file opened (created when missing) with libsqlite3. Failures
// fail the calling test.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs the statements.
  void Exec(const std::string& sql);
  // Every row of the query, every value as its UTF-8 bytes ("<null>" for NULL).
  std::vector<std::vector<std::string>> Rows(const std::string& sql);

 private:
  ::sqlite3* m_db = nullptr;  // owned
};

// One line per table (with its CREATE text), column (with its position),
// primary key and unique constraint (with their columns), index made with
// CREATE INDEX (with its column names; expressions left out), foreign key
// (with its columns and the table it references, "<none>" when there is no
// such table), view (with its text) and trigger (with its relation and
// text) of the file's main database, sorted. Tables and columns SQLite
// keeps for itself or hides are left out.
std::vector<std::string> SqliteCatalogueLines(const std::string& path);

// The same lines from an imported model (all schemas).
std::vector<std::string> SqliteModelLines(GenericModel& model);

}  // namespace qm::test

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

// A database file opened (created when missing) with libsqlite3, or an
// empty database in memory for ":memory:". Failures of Exec and Rows fail
// the calling test.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs the statements, stopping at the first that fails; TryExec returns
  // SQLite's message then ("" when all ran) instead of failing the test.
  void Exec(const std::string& sql);
  std::string TryExec(const std::string& sql);
  // Every row of the query, every value as its UTF-8 bytes ("<null>" for NULL).
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  // The same, or nothing with SQLite's message in *error when the query
  // fails; the test does not fail.
  std::optional<std::vector<std::vector<std::string>>> TryRows(const std::string& sql, std::string* error);
  // Replaces this database's main with a copy of the file's (SQLite's
  // backup); false when it cannot.
  bool CopyFrom(const std::string& path);

 private:
  ::sqlite3* m_db = nullptr;  // owned
};

// One line per fact SQLite reports about the file's main database, sorted:
//   table        name, CREATE text, kind ("table", "virtual table"), STRICT, WITHOUT ROWID
//   column       of every table, view and virtual table: position, name, declared type, nullability
//                (a rowid alias is not nullable), default, primary-key position, generated kind
//   key          primary key and unique constraints with their columns
//   foreign key  columns, parent table ("<none>" when missing) and columns, actions, MATCH, and
//                whether it is deferred
//   check        the name SQLite gives it (its own, else its text)
//   index        made with CREATE INDEX: plain columns, unique, partial
//   view         CREATE text
//   trigger      relation, name, CREATE text
//   unreadable   a view or virtual table whose columns SQLite cannot read (its kind and name)
// Tables and columns SQLite keeps for itself or hides are left out. What
// the pragmas do not report (whether a foreign key is deferred, the
// checks) is read from the code SQLite compiles for an INSERT into each
// table, in a copy of the file in memory: SQLite's own reading of the
// CREATE texts, independent of the plug-in's. Where even that fails, the
// foreign key's deferral is "?", which no model gives.
std::vector<std::string> SqliteCatalogueLines(const std::string& path);

// The same lines from an imported model (all schemas); the failures the
// plug-in reported name the views and virtual tables it could not read.
std::vector<std::string> SqliteModelLines(GenericModel& model, const std::vector<QmFailedStatement>& failures = {});

}  // namespace qm::test

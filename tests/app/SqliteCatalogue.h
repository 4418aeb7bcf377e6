// What SQLite itself reports about a database's schema, read with
// libsqlite3 directly, to check an imported model against.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

struct SqliteTable {
  std::vector<std::string> columns;          // column names in table order
  std::vector<std::string> primaryKey;       // primary key columns in key order; empty when none
  int uniqueConstraints = 0;                 // UNIQUE constraints (not CREATE UNIQUE INDEX)
  std::multiset<std::string> foreignKeyTargets;  // referenced table of each foreign key
  std::set<std::string> indexes;             // indexes made with CREATE INDEX
};

struct SqliteCatalogue {
  std::map<std::string, SqliteTable> tables;  // user tables by name (sqlite_* left out)
  std::set<std::string> views;                // view names
  std::set<std::string> triggers;             // trigger names
};

// Reads the catalogue of the database file's main schema; fails the
// current test (and returns what it has) when SQLite reports an error.
SqliteCatalogue ReadSqliteCatalogue(const std::string& path);

// Runs the SQL script on a new database file at path; fails the test on
// an error.
void CreateSqliteDatabase(const std::string& path, const std::string& script);

}  // namespace qm::test

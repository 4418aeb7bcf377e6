// The PostgreSQL test server (see PgTestEnv.h): databases of the tests' own,
// scripts run with psql, and catalogue queries read through psql with every
// value hex on the wire, so that nothing between the server and a
// comparison can alter a byte. psql reaches the server through the PG*
// variables scripts/pg exports.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

// The connection string with the attribute (named in any letter case)
// replaced by key=value, or added.
std::string WithAttribute(const std::string& connectionString, const std::string& key, const std::string& value);

// A database made for one test suite (UTF-8, from template0) with a name
// unique to the process; dropped, its sessions forced off, when the object
// goes.
class TestDatabase {
 public:
  explicit TestDatabase(const std::string& tag);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // QM_PG_CONNECT (UTF-8) naming this database.
  std::string ConnectionString() const;

 private:
  std::string m_name;  // database name, plain ASCII
};

// Runs the SQL script (UTF-8) in the database with psql, stopping at the
// first error. Empty when it ran; otherwise what psql printed.
std::string RunPsql(const std::string& database, const std::string& script);

// The one-column query's values, NULL as "", run after `setup` with
// search_path emptied (as the import runs, so that the server prints names
// as the import sees them). Fails the calling test when psql does.
std::vector<std::string> QueryColumn(const std::string& database, const std::string& query,
                                     const std::string& setup = {});
// The first value, or "" when there is none.
std::string QueryValue(const std::string& database, const std::string& query);

// A client's output of values hex on the wire, one a line: "x" and the
// hex digits of the bytes, or "N" for NULL (read as "").
std::vector<std::string> HexValues(const std::string& output);

}  // namespace qm::test

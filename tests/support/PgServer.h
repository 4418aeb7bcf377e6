// The PostgreSQL test server (PgTestEnv.h) through psql; values read hex
// on the wire, so that no byte can change on the way.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

// The connection string with the attribute (any letter case) set.
std::string WithAttribute(const std::string& connectionString, const std::string& key, const std::string& value);

// The test server's own tablespace (the shop's tables and indexes use it),
// made in the server's folder where allowed, else "pg_default". Tests run
// side by side and every import lists the server's tablespaces, so it is
// made before the first database of a test's own and never dropped: two
// imports of one test always list the same ones.
const std::string& ServerTableSpace();

// A UTF-8 database named for the process; dropped (forced) when it goes.
class TestDatabase {
 public:
  explicit TestDatabase(const std::string& tag);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  std::string ConnectionString() const;

 private:
  std::string m_name;  // database name, plain ASCII
};

// Runs the script to the first error: empty, or what psql printed.
std::string RunPsql(const std::string& database, const std::string& script);

// The one-column query's values (NULL as ""), after `setup`, with
// search_path emptied as the import runs. A failure fails the test.
std::vector<std::string> QueryColumn(const std::string& database, const std::string& query,
                                     const std::string& setup = {});
std::string QueryValue(const std::string& database, const std::string& query);

// Lines of "x" and hex bytes, or "N" for NULL.
std::vector<std::string> HexValues(const std::string& output);

}  // namespace qm::test

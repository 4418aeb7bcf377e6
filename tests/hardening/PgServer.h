// The test server, reached with psql through the PG* variables scripts/pg
// exports: databases of the tests' own, scripts run in them, and catalogue
// queries whose text values come back byte for byte (hex on the wire, so
// that quotes, line breaks and any character survive the trip).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qm::test::hardening {

// Runs the SQL script (UTF-8) in the database, stopping at the first
// error. Empty when it ran; otherwise what psql printed.
std::string RunPsql(const std::string& database, const std::string& script);

// The rows of a query whose every column is wrapped in Hex(...), decoded;
// a NULL value comes back as nothing. Fails the calling test when psql does.
std::vector<std::vector<std::optional<std::string>>> QueryRows(const std::string& database, const std::string& query);
// The first column of every row (NULL as "").
std::vector<std::string> QueryColumn(const std::string& database, const std::string& query);

// SQL that turns the text expression into hex of its UTF-8 bytes (NULL
// stays NULL), for QueryRows.
std::string Hex(const std::string& expression);

// QM_PG_CONNECT with its Database attribute replaced.
std::string WithDatabase(const std::string& connectionString, const std::string& database);

// A database made for one test suite (UTF-8, from template0), with a name
// unique to the process; dropped, its sessions forced off, when the object
// goes.
class TestDatabase {
 public:
  explicit TestDatabase(const std::string& tag);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // The ODBC connection string for it (UTF-8).
  std::string ConnectionString() const;

 private:
  std::string m_name;  // database name, plain ASCII
};

}  // namespace qm::test::hardening

// The generic plug-in over MariaDB's ODBC driver against the test server:
// on real applications' MySQL schemas (tests/data/schemas/<app>/mariadb.sql)
// its model agrees with the MariaDB plug-in's, every difference explained
// by what the driver does not report.
#include "ModelComparison.h"

#include <ImportHost.h>
#include <RealSchemas.h>
#include <ModelWords.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>

#include <schemaimport/SchemaImport.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace qm::test::odbc {
namespace {

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The line with `from` at its end replaced by `to`; empty when it does not end so.
std::string EndSwapped(const std::string& line, const std::string& from, const std::string& to) {
  if (!line.ends_with(from)) return {};
  return line.substr(0, line.size() - from.size()) + to;
}

// "kind | table | a,b" with the columns sorted, to compare column sets.
std::string ColumnSet(const std::string& line, const std::string& kind) {
  const std::size_t last = line.rfind(" | ");
  if (last == std::string::npos) return {};
  std::vector<std::string> columns;
  std::stringstream in(line.substr(last + 3));
  for (std::string column; std::getline(in, column, ',');) columns.push_back(column);
  std::sort(columns.begin(), columns.end());
  std::string set = kind + line.substr(line.find(" | "), last - line.find(" | ")) + " |";
  for (const std::string& column : columns) set += " " + column;
  return set;
}

bool SameColumnSetIn(const std::vector<std::string>& lines, const std::string& line, const std::string& kind) {
  const std::string wanted = ColumnSet(line, kind);
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& other) { return other.starts_with(kind + " | ") && ColumnSet(other, kind) == wanted; });
}

// What MariaDB's driver reports otherwise; the generic plug-in's model
// differs there (plugins/odbc/README.md).
std::vector<KnownDifference> MariaDifferences(const std::vector<std::string>& dedicated,
                                              const std::vector<std::string>& generic) {
  const char* nullable =
      "SQLColumns reports a NOT NULL column that fills itself in when NULL is inserted (AUTO_INCREMENT, "
      "TIMESTAMP DEFAULT CURRENT_TIMESTAMP) as nullable";
  const char* order = "SQLPrimaryKeys gives a composite key's columns in table order, not the key's";
  const char* implicit =
      "SQLPrimaryKeys reports a table's first UNIQUE index over NOT NULL columns as its primary key when it "
      "declares none (the server's COLUMN_KEY = 'PRI')";
  return {
      {Side::Dedicated, "column", "| nullable 0", nullable,
       [&generic](const std::string& line) { return Holds(generic, EndSwapped(line, "| nullable 0", "| nullable 1")); }},
      {Side::Generic, "column", "| nullable 1", nullable,
       [&dedicated](const std::string& line) { return Holds(dedicated, EndSwapped(line, "| nullable 1", "| nullable 0")); }},
      {Side::Dedicated, "primary key", "", order,
       [&generic](const std::string& line) { return SameColumnSetIn(generic, line, "primary key"); }},
      {Side::Generic, "primary key", "", order,
       [&dedicated](const std::string& line) { return SameColumnSetIn(dedicated, line, "primary key"); }},
      {Side::Generic, "primary key", "", implicit,
       [&dedicated](const std::string& line) {
         return !SameColumnSetIn(dedicated, line, "primary key") &&
                SameColumnSetIn(dedicated, "unique" + line.substr(line.find(" | ")), "unique");
       }},
      {Side::Dedicated, "unique", "", implicit,
       [&generic](const std::string& line) {
         return SameColumnSetIn(generic, "primary key" + line.substr(line.find(" | ")), "primary key");
       }},
  };
}

const char* const kApplications[] = {"bacula", "freeradius", "gammu", "icinga2-ido", "mediawiki", "pdns", "roundcube"};

class OdbcMariaComparison : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { QM_REQUIRE_MARIA(); }
};

TEST_P(OdbcMariaComparison, AgreesWithTheMariaPlugin) {
  const std::string sql = RealSchemaSql(GetParam(), "mariadb");
  ASSERT_GT(sql.size(), 1000u);
  MariaDatabase database(Identifier(std::string("odbc_") + GetParam()));
  ASSERT_EQ(RunMariaSql(database.Name(), sql), "");

  GenericModel dedicated(Dedicated().Api().modelType);
  GenericModel generic(Generic().Api().modelType);
  ASSERT_TRUE(
      ImportWithBoth(database.ConnectionString(), database.ConnectionString(), database.Name(), dedicated, generic));

  const std::vector<std::string> expected = ComparableLines(dedicated);
  const std::vector<std::string> got = ComparableLines(generic);
  ASSERT_GT(expected.size(), 20u);
  EXPECT_EQ(UnexplainedDifferences(expected, got, MariaDifferences(expected, got)), "");
}

INSTANTIATE_TEST_SUITE_P(Debian, OdbcMariaComparison, ::testing::ValuesIn(kApplications),
                         [](const ::testing::TestParamInfo<const char*>& info) { return Identifier(info.param); });

}  // namespace
}  // namespace qm::test::odbc

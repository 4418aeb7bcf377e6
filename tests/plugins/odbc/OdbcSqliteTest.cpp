// The generic plug-in over the SQLite3 ODBC driver: what ODBC's catalogue
// functions report becomes the model, and on real applications' schemas
// (tests/data/schemas/<app>/sqlite.sql) the model agrees with the SQLite
// plug-in's, every difference explained by what the driver does not report.
#include "ModelComparison.h"

#include <ImportHost.h>
#include <RealSchemas.h>
#include <ModelWords.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace qm::test::odbc {
namespace {

constexpr const char* kShop = R"(
  CREATE TABLE authors(id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL DEFAULT 'anon', born DATE);
  CREATE TABLE books(isbn CHAR(13) NOT NULL, edition INTEGER NOT NULL,
                     author INTEGER REFERENCES authors(id) ON DELETE CASCADE ON UPDATE SET NULL,
                     price DECIMAL(8,2), PRIMARY KEY(isbn, edition));
  CREATE TABLE reviews(id INTEGER PRIMARY KEY, isbn CHAR(13), edition INTEGER, score INTEGER,
                       FOREIGN KEY(isbn, edition) REFERENCES books(isbn, edition) DEFERRABLE INITIALLY DEFERRED);
  CREATE UNIQUE INDEX reviews_once ON reviews(edition, isbn);
  CREATE INDEX books_by_price ON books(price DESC, author);
  CREATE VIEW cheap AS SELECT isbn FROM books WHERE price < 10;
)";

TEST(OdbcSqliteTest, ImportsWhatTheCatalogueFunctionsReport) {
  ASSERT_TRUE(Generic().Loaded());
  TempDir dir;
  const std::string path = dir.Path("shop.db");
  SqliteFile(path).Exec(kShop);
  GenericModel model(Generic().Api().modelType);
  const ImportOutcome outcome = RunImport(Generic().Api(), model, "Driver={SQLite3};Database=" + path);
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  const std::vector<std::string> expected = {
      "table | authors | table | ",
      "  column | 1 | id | INTEGER | nullable 1 | default <absent> | pk 1 | ",
      // The driver gives a text default without its quotes (ODBC wants them).
      "  column | 2 | name | VARCHAR(40) | nullable 0 | default anon | pk <absent> | ",
      "  column | 3 | born | DATE | nullable 1 | default <absent> | pk <absent> | ",
      "  key | pk_authors | PRIMARY KEY | id",
      // SQLStatistics lists the rowid as an index of its own.
      "  index | sqlite_autoindex_0 | unique 1 | id",
      "table | books | table | ",
      "  column | 1 | isbn | CHAR(13) | nullable 0 | default <absent> | pk 1 | ",
      "  column | 2 | edition | INTEGER | nullable 0 | default <absent> | pk 2 | ",
      "  column | 3 | author | INTEGER | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 4 | price | DECIMAL(8,2) | nullable 1 | default <absent> | pk <absent> | ",
      "  key | pk_books | PRIMARY KEY | isbn,edition",
      "  index | sqlite_autoindex_books_1 | unique 1 | isbn,edition",
      "  index | books_by_price | unique 0 | price,author",
      "  foreign key | author | authors | id | key pk_authors | CASCADE | SET NULL | deferrable 0 | deferred 0",
      "table | reviews | table | ",
      "  column | 1 | id | INTEGER | nullable 1 | default <absent> | pk 1 | ",
      "  column | 2 | isbn | CHAR(13) | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 3 | edition | INTEGER | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 4 | score | INTEGER | nullable 1 | default <absent> | pk <absent> | ",
      "  key | pk_reviews | PRIMARY KEY | id",
      "  index | sqlite_autoindex_0 | unique 1 | id",
      "  index | reviews_once | unique 1 | edition,isbn",
      // SQLForeignKeys says SQL_NOT_DEFERRABLE whatever the key declares.
      "  foreign key | isbn,edition | books | isbn,edition | key pk_books | NO ACTION | NO ACTION | deferrable 0 | deferred 0",
      "view | cheap | view | ",
      "  column | 1 | isbn | CHAR(13) | nullable 1 | default <absent> | pk <absent> | ",
  };
  EXPECT_EQ(LineDifference(expected, DetailLines(model)), "");
}

TEST(OdbcSqliteTest, AnEmptyDatabaseIsSaidToHaveNothing) {
  ASSERT_TRUE(Generic().Loaded());
  TempDir dir;
  const std::string path = dir.Path("empty.db");
  SqliteFile(path).Exec("CREATE TABLE gone(x); DROP TABLE gone;");
  Notices notices;
  GenericModel model(Generic().Api().modelType);
  const ImportOutcome outcome = RunImport(Generic().Api(), model, "Driver={SQLite3};Database=" + path, "", notices.Options());
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{"the driver reported no tables or views"});
  EXPECT_TRUE(AllOfType(model, model::Table).empty());
}

// ---- The comparison with the SQLite plug-in on real schemas.

// The columns of the dedicated model that are a table's rowid (its only
// primary-key column, declared INTEGER, in a table with a rowid), as the
// start of their comparable lines: "column | main.t | 1 | id | ".
std::set<std::string> RowidColumns(GenericModel& model) {
  std::set<std::string> starts;
  for (CMOObject* table : AllOfType(model, model::Table)) {
    if (Value(model, *table, model::WithoutRowid) == "1") continue;
    for (CMOObject* key : Children(model, *table, model::Key)) {
      const std::vector<int> columns = Ids(*key, model::KeyColumns);
      if (Text(*key, model::KeyType) != "PRIMARY KEY" || columns.size() != 1) continue;
      const CMOObject* column = model.GetCMOObject(columns[0]);
      std::string type = column != nullptr ? Text(*column, model::DataType) : "";
      for (char& ch : type) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (type == "INTEGER")
        starts.insert(Line({"column", "main." + Name(*table), Value(model, *column, model::Position), Name(*column), ""}));
    }
  }
  return starts;
}

// Whether the other side has a primary key of the same table with the same
// columns in another order.
bool SameKeyInOtherOrder(const std::string& line, const std::vector<std::string>& other) {
  auto parts = [](const std::string& text) {
    const std::size_t last = text.rfind(" | ");
    std::string columns = text.substr(last + 3);
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
      const std::size_t comma = columns.find(',', start);
      names.push_back(columns.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    std::sort(names.begin(), names.end());
    return std::make_pair(text.substr(0, last), names);
  };
  const auto own = parts(line);
  return std::any_of(other.begin(), other.end(), [&](const std::string& candidate) {
    return candidate.rfind("primary key | ", 0) == 0 && candidate != line && parts(candidate) == own;
  });
}

// What the SQLite3 driver does not report, or reports otherwise than SQLite
// holds it; the generic plug-in's model differs there (plugins/odbc/README.md).
std::vector<KnownDifference> SqliteDifferences(const std::vector<std::string>& dedicated,
                                               const std::vector<std::string>& generic,
                                               const std::set<std::string>& rowid) {
  auto isRowid = [rowid](const std::string& line) {
    return std::any_of(rowid.begin(), rowid.end(), [&](const std::string& start) { return line.rfind(start, 0) == 0; });
  };
  const char* rowidReason = "SQLColumns says NULLABLE for a rowid column (INTEGER PRIMARY KEY), which never holds NULL";
  const char* orderReason = "SQLPrimaryKeys numbers a composite key's columns (KEY_SEQ) in table order, not key order";
  return {
      {Side::Dedicated, "column", "| nullable 0", rowidReason, isRowid},
      {Side::Generic, "column", "| nullable 1", rowidReason, isRowid},
      {Side::Dedicated, "primary key", "", orderReason,
       [&generic](const std::string& line) { return SameKeyInOtherOrder(line, generic); }},
      {Side::Generic, "primary key", "", orderReason,
       [&dedicated](const std::string& line) { return SameKeyInOtherOrder(line, dedicated); }},
      {Side::Dedicated, "deferral", "| deferrable 1 |",
       "SQLForeignKeys says SQL_NOT_DEFERRABLE for every foreign key, DEFERRABLE ones included"},
      {Side::Generic, "deferral", "| deferrable 0 |",
       "SQLForeignKeys says SQL_NOT_DEFERRABLE for every foreign key, DEFERRABLE ones included"},
      {Side::Generic, "table", "| main.sqlite_sequence",
       "SQLTables lists SQLite's own sqlite_sequence (made for AUTOINCREMENT) as a TABLE, not a SYSTEM TABLE"},
      {Side::Generic, "column", "| main.sqlite_sequence |",
       "SQLTables lists SQLite's own sqlite_sequence (made for AUTOINCREMENT) as a TABLE, not a SYSTEM TABLE"},
  };
}

class OdbcSqliteComparison : public ::testing::TestWithParam<std::string> {};

TEST_P(OdbcSqliteComparison, AgreesWithTheSqlitePlugin) {
  TempDir dir;
  const std::string path = dir.Path(GetParam() + ".db");
  SqliteFile(path).Exec(RealSchemaSql(GetParam(), "sqlite"));
  GenericModel dedicated(Dedicated().Api().modelType);
  GenericModel generic(Generic().Api().modelType);
  ASSERT_TRUE(ImportWithBoth(path, "Driver={SQLite3};Database=" + path, "", dedicated, generic));

  // The driver names no schema; the generic plug-in calls the one schema
  // after the database (the file's path), the SQLite plug-in main.
  const std::vector<std::string> expected = ComparableLines(dedicated);
  const std::vector<std::string> actual = ComparableLines(generic, [&](const std::string& schema) {
    return schema == path ? std::string("main") : schema;
  });
  ASSERT_GT(expected.size(), 20u);
  EXPECT_EQ(UnexplainedDifferences(expected, actual, SqliteDifferences(expected, actual, RowidColumns(dedicated))), "");
}

INSTANTIATE_TEST_SUITE_P(Debian, OdbcSqliteComparison, ::testing::ValuesIn(RealSchemaApps("sqlite")),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace qm::test::odbc

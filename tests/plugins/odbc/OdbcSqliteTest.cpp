// The generic plug-in over the SQLite3 ODBC driver: what ODBC's catalogue
// functions report becomes the model. (Its agreement with the SQLite
// plug-in on real schemas: tests/families/SchemaTest.cpp.)
#include <ModelComparison.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

namespace qm::test::odbc {
namespace {

LoadedPlugin& Generic() {
  static LoadedPlugin plugin(QM_ODBC_PLUGIN);
  return plugin;
}

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

}  // namespace
}  // namespace qm::test::odbc

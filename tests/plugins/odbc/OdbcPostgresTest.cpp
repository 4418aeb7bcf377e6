// The generic plug-in over psqlODBC: what ODBC's catalogue functions report
// becomes the model. (Real schemas: tests/families/SchemaTest.cpp.)
#include <ModelComparison.h>
#include <PgServer.h>
#include <PgTestEnv.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test::odbc {
namespace {

LoadedPlugin& Generic() {
  static LoadedPlugin plugin(QM_ODBC_PLUGIN);
  return plugin;
}

constexpr const char* kShop = R"(
  CREATE SCHEMA shop;
  CREATE TABLE shop.authors(id serial PRIMARY KEY, name varchar(40) NOT NULL DEFAULT 'anon', born date);
  COMMENT ON TABLE shop.authors IS 'who writes';
  COMMENT ON COLUMN shop.authors.name IS 'pen name';
  CREATE TABLE shop.books(isbn char(13) NOT NULL, edition integer NOT NULL,
                          author integer REFERENCES shop.authors(id) ON DELETE CASCADE ON UPDATE SET NULL,
                          price numeric(8,2), PRIMARY KEY(isbn, edition));
  CREATE TABLE shop.reviews(id integer PRIMARY KEY, isbn char(13), edition integer, score integer,
                            CONSTRAINT reviews_book FOREIGN KEY(isbn, edition) REFERENCES shop.books
                              DEFERRABLE INITIALLY DEFERRED);
  CREATE UNIQUE INDEX reviews_once ON shop.reviews(edition, isbn);
  CREATE INDEX books_by_price ON shop.books(price DESC, author);
  CREATE VIEW shop.cheap AS SELECT isbn FROM shop.books WHERE price < 10;
  CREATE FUNCTION shop.price_of(p_isbn char, p_edition integer) RETURNS numeric LANGUAGE sql
    AS $$ SELECT price FROM shop.books WHERE isbn = p_isbn AND edition = p_edition $$;
  CREATE PROCEDURE shop.reprice(IN p_factor numeric, INOUT p_count integer) LANGUAGE plpgsql
    AS $$ BEGIN p_count := 0; END $$;
  CREATE SCHEMA other;
  CREATE TABLE other.elsewhere(x integer);
)";

class OdbcPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(Generic().Loaded());
  }
};

TEST_F(OdbcPostgresTest, ImportsWhatTheCatalogueFunctionsReport) {
  TestDatabase database("odbc_shop");
  ASSERT_EQ(RunPsql(database.Name(), kShop), "");
  GenericModel model(Generic().Api().modelType);
  const ImportOutcome outcome = RunImport(Generic().Api(), model, database.ConnectionString(), "shop");
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(Names(AllOfType(model, model::Schema)), std::vector<std::string>{"shop"});
  const std::vector<std::string> expected = {
      // psqlODBC gives no comment of a table (SQLTables) or column
      // (SQLColumns): REMARKS is empty.
      "table | authors | table | ",
      "  column | 1 | id | int4 | nullable 0 | default nextval('shop.authors_id_seq'::regclass) | pk 1 | ",
      "  column | 2 | name | varchar(40) | nullable 0 | default 'anon'::character varying | pk <absent> | ",
      "  column | 3 | born | date | nullable 1 | default <absent> | pk <absent> | ",
      "  key | authors_pkey | PRIMARY KEY | id",
      "  index | authors_pkey | unique 1 | id",
      "table | books | table | ",
      "  column | 1 | isbn | bpchar(13) | nullable 0 | default <absent> | pk 1 | ",
      "  column | 2 | edition | int4 | nullable 0 | default <absent> | pk 2 | ",
      "  column | 3 | author | int4 | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 4 | price | numeric(8,2) | nullable 1 | default <absent> | pk <absent> | ",
      "  key | books_pkey | PRIMARY KEY | isbn,edition",
      "  index | books_by_price | unique 0 | price,author",
      "  index | books_pkey | unique 1 | isbn,edition",
      "  foreign key | author | authors | id | key authors_pkey | CASCADE | SET NULL | deferrable 0 | deferred 0",
      "table | reviews | table | ",
      "  column | 1 | id | int4 | nullable 0 | default <absent> | pk 1 | ",
      "  column | 2 | isbn | bpchar(13) | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 3 | edition | int4 | nullable 1 | default <absent> | pk <absent> | ",
      "  column | 4 | score | int4 | nullable 1 | default <absent> | pk <absent> | ",
      "  key | reviews_pkey | PRIMARY KEY | id",
      "  index | reviews_once | unique 1 | edition,isbn",
      "  index | reviews_pkey | unique 1 | id",
      "  foreign key | isbn,edition | books | isbn,edition | key books_pkey | NO ACTION | NO ACTION | deferrable 1 | deferred 1",
      "view | cheap | view | ",
      "  column | 1 | isbn | bpchar(13) | nullable 1 | default <absent> | pk <absent> | ",
      "routine | price_of | function | returns numeric",
      // The same type is "bpchar" in SQLColumns, "char" in SQLProcedureColumns.
      "  parameter | 1 | p_isbn | IN | char",
      "  parameter | 2 | p_edition | IN | int4",
      // psqlODBC's SQLProcedures says SQL_PT_FUNCTION for a procedure too.
      "routine | reprice | function | returns <absent>",
      "  parameter | 1 | p_factor | IN | numeric",
      "  parameter | 2 | p_count | INOUT | int4",
  };
  EXPECT_EQ(LineDifference(expected, DetailLines(model)), "");
}

TEST_F(OdbcPostgresTest, ScopeSelectsSchemasAndASchemaOrDatabaseWithNothingIsSaidSo) {
  TestDatabase database("odbc_scope");
  ASSERT_EQ(RunPsql(database.Name(), kShop + std::string("CREATE SCHEMA \"a_b\"; CREATE SCHEMA axb; CREATE TABLE axb.t(x int);")), "");
  struct Case {
    const char* scope;
    std::vector<std::string> schemas;  // of the model afterwards, those with a table
    std::vector<std::string> notices;
  } cases[] = {
      // Every schema with a table, and none of PostgreSQL's own.
      {"", {"axb", "other", "shop"}, {}},
      {"other", {"other"}, {}},
      // An underscore is no wildcard: a_b is empty, axb is not read.
      {"a_b", {}, {"the driver reported no tables or views in the schemas the scope names"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scope);
    Notices notices;
    GenericModel model(Generic().Api().modelType);
    const ImportOutcome outcome =
        RunImport(Generic().Api(), model, database.ConnectionString(), c.scope, notices.Options());
    ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
    EXPECT_TRUE(outcome.failed.empty());
    std::vector<std::string> schemas;
    for (CMOObject* schema : AllOfType(model, model::Schema))
      if (!Children(model, *schema, model::Table).empty()) schemas.push_back(Name(*schema));
    std::sort(schemas.begin(), schemas.end());
    EXPECT_EQ(notices.Texts(), c.notices);
    EXPECT_EQ(schemas, c.schemas);
  }
  // A database with nothing in it is said to have nothing.
  TestDatabase empty("odbc_empty");
  Notices notices;
  GenericModel model(Generic().Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(Generic().Api(), model, empty.ConnectionString(), "", notices.Options())));
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{"the driver reported no tables or views"});
  EXPECT_TRUE(AllOfType(model, model::Table).empty());
}

}  // namespace
}  // namespace qm::test::odbc

// Reading CREATE TABLE / INDEX / TRIGGER texts, and the cache keys the row
// actions build: the edges a real catalogue rarely reaches. SQLite's own
// reading of the same tables is compared in SqliteImportTest and the schema
// suite; here, the rules one by one.
#include "SqliteSqlText.h"

#include <OdbcTestSupport.h>

#include <gtest/gtest.h>

namespace qm::test::sqlite {
namespace {

using namespace qm::sqlite;
using Terms = std::vector<std::u16string>;

// "name: expression" per check, "-" for no name.
std::vector<std::string> Checks(const TableText& table) {
  std::vector<std::string> out;
  for (const CheckText& check : table.checks)
    out.push_back((check.name.empty() ? std::string("-") : Utf8(check.name)) + ": " + Utf8(check.expression));
  return out;
}

// "table deferrable initiallyDeferred" per foreign key, e.g. "p 1 0".
std::vector<std::string> ForeignKeys(const TableText& table) {
  std::vector<std::string> out;
  for (const ForeignKeyText& fk : table.foreignKeys)
    out.push_back(Utf8(fk.referencedTable) + (fk.deferrable ? " 1" : " 0") + (fk.initiallyDeferred ? " 1" : " 0"));
  return out;
}

// "number name = expression" per generated column.
std::vector<std::string> Generated(const TableText& table) {
  std::vector<std::string> out;
  for (const GeneratedColumnText& column : table.generatedColumns)
    out.push_back(std::to_string(column.number) + " " + Utf8(column.name) + " = " + Utf8(column.expression));
  return out;
}

using Strings = std::vector<std::string>;

TEST(CreateTableText, ChecksKeepTheirTextAndTheNameSqliteGivesThem) {
  struct Case {
    const char16_t* sql;
    Strings checks;
  };
  const Case cases[] = {
      // Column and table checks in declaration order; the text between the
      // parentheses, comments and inner line breaks kept, outer blanks not.
      {u"CREATE TABLE t(a INT CHECK ( a > 0 ), b TEXT, CHECK (/* lim */ b <> ')'\n  AND a < 9), CHECK(length(b)<(3)))",
       {"-: a > 0", "-: /* lim */ b <> ')'\n  AND a < 9", "-: length(b)<(3)"}},
      // A name holds for every check after it in its column; the next column
      // starts without one.
      {u"CREATE TABLE t(a CONSTRAINT n1 NOT NULL CHECK (a > 0) CHECK (a < 10), b CHECK (b))",
       {"n1: a > 0", "n1: a < 10", "-: b"}},
      // Among table constraints a comma ends the name; without a comma it
      // holds. A name given in the last column reaches the first table check.
      {u"CREATE TABLE t(a CONSTRAINT q NOT NULL, CHECK (a > 1), CONSTRAINT [n 2] CHECK (a<5) CHECK(a<>3), CHECK (a))",
       {"q: a > 1", "n 2: a<5", "n 2: a<>3", "-: a"}},
      // Names in every quoting; a quoted word is never a keyword.
      {u"CREATE TABLE t(\"check\" INT CONSTRAINT \"c \"\"1\"\"\" CHECK (\"check\" > 0), CONSTRAINT `c2` CHECK (1), "
       u"CONSTRAINT 'c3' CHECK (2), CONSTRAINT [c4] CHECK (3))",
       {"c \"1\": \"check\" > 0", "c2: 1", "c3: 2", "c4: 3"}},
      // A column or type that merely contains the word, and defaults in
      // parentheses, are no checks.
      {u"CREATE TABLE radcheck(checked INT DEFAULT (check_me(1)), x VARCHAR(10) DEFAULT 'CHECK (x)')", {}},
  };
  for (const Case& c : cases) {
    const TableText table = ParseCreateTable(c.sql);
    ASSERT_TRUE(table.parsed) << Utf8(c.sql);
    EXPECT_EQ(Checks(table), c.checks) << Utf8(c.sql);
  }
}

TEST(CreateTableText, ForeignKeysReadTheirDeferralAsSqliteDoes) {
  struct Case {
    const char16_t* sql;
    Strings foreignKeys;
  };
  const Case cases[] = {
      {u"CREATE TABLE \"a\" (\"g\" integer NOT NULL REFERENCES \"auth_group\" (\"id\") DEFERRABLE INITIALLY DEFERRED, "
       u"h INT REFERENCES [p q], FOREIGN KEY (h) REFERENCES p(id) ON DELETE CASCADE deferrable initially immediate, "
       u"FOREIGN KEY (g) REFERENCES p MATCH FULL DEFERRABLE)",
       {"auth_group 1 1", "p q 0 0", "p 1 0", "p 1 0"}},
      // NOT DEFERRABLE is never deferred; a clause after other constraints,
      // even in a later column, applies to the latest foreign key.
      {u"CREATE TABLE c(a REFERENCES p NOT DEFERRABLE INITIALLY DEFERRED, b REFERENCES p NOT NULL DEFERRABLE INITIALLY "
       u"DEFERRED, c INT, d INT NOT DEFERRABLE)",
       {"p 0 0", "p 0 0"}},
      {u"CREATE TABLE c(a REFERENCES p, b INT DEFERRABLE INITIALLY DEFERRED)", {"p 1 1"}},
      // Names that merely contain the words are read all the same.
      {u"CREATE TABLE c(checked REFERENCES p DEFERRABLE, last_as REFERENCES q)", {"p 1 0", "q 0 0"}},
      // Words in quotes and comments are not clauses.
      {u"CREATE TABLE c(a REFERENCES p /* DEFERRABLE INITIALLY DEFERRED */ DEFAULT 'DEFERRABLE', "
       u"\"REFERENCES\" INT)",
       {"p 0 0"}},
  };
  for (const Case& c : cases) {
    const TableText table = ParseCreateTable(c.sql);
    ASSERT_TRUE(table.parsed) << Utf8(c.sql);
    EXPECT_EQ(ForeignKeys(table), c.foreignKeys) << Utf8(c.sql);
  }
}

TEST(CreateTableText, GeneratedColumnsTableOptionsAndKinds) {
  struct Case {
    const char16_t* sql;
    Strings generated;
    bool strict;
    bool withoutRowid;
    bool isVirtual;
  };
  const Case cases[] = {
      {u"CREATE TABLE t(a INT, b INT GENERATED ALWAYS AS ( a * (2 + a) ) STORED, c AS (a || ','), \"d e\" generated, "
       u"[f] INT AS(1) VIRTUAL, PRIMARY KEY (a))",
       {"1 b = a * (2 + a)", "2 c = a || ','", "4 f = 1"}, false, false, false},
      {u"create temp table if not exists main.\"t\" (k TEXT PRIMARY KEY, v ANY) Strict , WITHOUT rowid",
       {}, true, true, false},
      {u"CREATE TABLE t(k PRIMARY KEY) WITHOUT ROWID", {}, false, true, false},
      // Table names made of the option words are names only.
      {u"CREATE TABLE \"strict\"(\"without rowid\" INT, \"as\" AS (1))", {"1 as = 1"}, false, false, false},
      // A module's arguments are not columns.
      {u"CREATE VIRTUAL TABLE docs USING fts5(title, body, CHECK, tokenize = 'porter')", {}, false, false, true},
      {u"CREATE TABLE copy AS SELECT 1 AS a", {}, false, false, false},
      // MediaWiki's table-prefix comment stands where the name is.
      {u"CREATE TABLE /*_*/site_identifiers (\n  si_type BLOB NOT NULL, -- the type\n  PRIMARY KEY(si_type)\n)",
       {}, false, false, false},
  };
  for (const Case& c : cases) {
    const TableText table = ParseCreateTable(c.sql);
    ASSERT_TRUE(table.parsed) << Utf8(c.sql);
    EXPECT_EQ(Generated(table), c.generated) << Utf8(c.sql);
    EXPECT_EQ(table.strict, c.strict) << Utf8(c.sql);
    EXPECT_EQ(table.withoutRowid, c.withoutRowid) << Utf8(c.sql);
    EXPECT_EQ(table.isVirtual, c.isVirtual) << Utf8(c.sql);
  }
  // A text without the words that matter is not read: none of its foreign
  // keys is deferrable, it has no checks, generated columns or options.
  const TableText plain = ParseCreateTable(u"CREATE TABLE t(a INT REFERENCES p ON DELETE CASCADE, \"b\" TEXT)");
  EXPECT_TRUE(plain.parsed && plain.plain);
  EXPECT_TRUE(plain.foreignKeys.empty() && plain.checks.empty() && plain.generatedColumns.empty());
  EXPECT_FALSE(ParseCreateTable(u"CREATE TABLE t(a INT REFERENCES p DEFERRABLE)").plain);
  EXPECT_FALSE(ParseCreateTable(u"CREATE TABLE t(a INT) strict").plain);

  for (const char16_t* sql : {u"CREATE TABLE t(a INT AS (1), b", u"CREATE TABLE t(a CHECK (a > 0",
                              u"CREATE VIEW v AS SELECT 1", u"CREATE TABLE t(a REFERENCES, b CHECK (b))",
                              u"CREATE TABLE t(a REFERENCES p DEFERRABLE INITIALLY LATER)", u"CREATE TABLE", u""})
    EXPECT_FALSE(ParseCreateTable(sql).parsed) << Utf8(sql);
}

TEST(CreateIndexText, TermsSplitAtTopLevelCommasAndThePredicateFollows) {
  struct Case {
    const char16_t* sql;
    Terms terms;
    std::u16string predicate;
  };
  const Case cases[] = {
      {u"CREATE INDEX \"i (a, b)\" ON \"t(x)\" (substr(a, 1, 2) DESC, [we,ird] COLLATE NOCASE, 'lit,(' || b, `c``d` ASC)",
       {u"substr(a, 1, 2)", u"[we,ird]", u"'lit,(' || b", u"`c``d`"}, u""},
      {u"CREATE INDEX i ON t(a) -- the (b, c) comment\n  where a > 0 AND b <> ')'  ", {u"a"}, u"a > 0 AND b <> ')'"},
      {u"CREATE INDEX i ON t(/* first */ a + 1, /* x, y */ \"b\")", {u"a + 1", u"\"b\""}, u""},
  };
  for (const Case& c : cases) {
    const IndexText parsed = ParseCreateIndex(c.sql);
    ASSERT_TRUE(parsed.parsed) << Utf8(c.sql);
    EXPECT_EQ(parsed.terms, c.terms);
    EXPECT_EQ(parsed.predicate, c.predicate);
  }
  for (const char16_t* sql : {u"CREATE INDEX \"(\" ON t", u"CREATE INDEX i ON t(a, (b", u""})
    EXPECT_FALSE(ParseCreateIndex(sql).parsed) << Utf8(sql);
}

TEST(CreateTriggerText, ReadsTimingAndEvents) {
  struct Case {
    const char16_t* sql;
    const char16_t* timing;  // null: not parsed
    const char16_t* events;
  };
  const Case cases[] = {
      {u"create trigger t delete on x begin select 1; end", u"BEFORE", u"DELETE"},
      {u"CREATE TEMP TRIGGER IF NOT EXISTS main.\"after\" instead of update on v BEGIN SELECT 1; END", u"INSTEAD OF",
       u"UPDATE"},
      {u"CREATE TRIGGER after BEFORE UPDATE OF \"a b\", [c] ON x BEGIN SELECT 1; END", u"BEFORE", u"UPDATE OF \"a b\", [c]"},
      {u"CREATE TRIGGER \"t on\" /* on */ AFTER UPDATE OF a ON x FOR EACH ROW BEGIN SELECT 1; END", u"AFTER",
       u"UPDATE OF a"},
      {u"CREATE VIEW v AS SELECT 1", nullptr, nullptr},
      {u"CREATE TRIGGER t AFTER TRUNCATE ON x", nullptr, nullptr},
      {u"CREATE TRIGGER t AFTER UPDATE OF a", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    const TriggerText parsed = ParseCreateTrigger(c.sql);
    ASSERT_EQ(parsed.parsed, c.timing != nullptr) << Utf8(c.sql);
    if (!parsed.parsed) continue;
    EXPECT_EQ(parsed.timing, c.timing);
    EXPECT_EQ(parsed.events, c.events);
  }
}

TEST(CacheKeys, NamesWithDotsAndQuotesCannotRunIntoEachOther) {
  EXPECT_NE(ObjectKey(u"a", u"b.c"), ObjectKey(u"a.b", u"c"));
  EXPECT_NE(ObjectKey(u"a\".\"b", u"c"), ObjectKey(u"a", u"b\".\"c"));
  EXPECT_NE(ColumnKey(u"s", u"t", u"c"), ObjectKey(u"s", u"t.c"));
  EXPECT_NE(KeySignature(u"s", u"t", {u"a,b"}), KeySignature(u"s", u"t", {u"a", u"b"}));
  EXPECT_NE(KeySignature(u"s", u"t", {u"a\",\"b"}), KeySignature(u"s", u"t", {u"a", u"b"}));
}

}  // namespace
}  // namespace qm::test::sqlite

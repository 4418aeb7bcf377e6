// Reading CREATE TABLE / INDEX / TRIGGER texts, and the cache keys the row
// actions build: the edges a real catalogue rarely reaches, rule by rule.
#include "SqliteSqlText.h"

#include <OdbcTestSupport.h>

#include <gtest/gtest.h>

namespace qm::test::sqlite {
namespace {

using namespace qm::sqlite;
using Strings = std::vector<std::string>;

enum class Parser { Table, Index, Trigger };

// What the parser read, one line per fact ("unparsed" for a text it does not read).
Strings Read(Parser parser, std::u16string_view sql) {
  Strings out;
  if (parser == Parser::Index) {
    const IndexText index = ParseCreateIndex(sql);
    if (!index.parsed) return {"unparsed"};
    for (const std::u16string& term : index.terms) out.push_back("term " + Utf8(term));
    if (!index.predicate.empty()) out.push_back("where " + Utf8(index.predicate));
    return out;
  }
  if (parser == Parser::Trigger) {
    const TriggerText trigger = ParseCreateTrigger(sql);
    if (!trigger.parsed) return {"unparsed"};
    return {Utf8(trigger.timing) + " / " + Utf8(trigger.events)};
  }
  const TableText table = ParseCreateTable(sql);
  if (!table.parsed) return {"unparsed"};
  if (table.plain) out.push_back("plain");
  if (table.isVirtual) out.push_back("virtual");
  if (table.strict) out.push_back("strict");
  if (table.withoutRowid) out.push_back("without rowid");
  for (const CheckText& check : table.checks)
    out.push_back("check " + (check.name.empty() ? std::string("-") : Utf8(check.name)) + ": " + Utf8(check.expression));
  for (const ForeignKeyText& fk : table.foreignKeys)
    out.push_back("fk " + Utf8(fk.referencedTable) + (fk.deferrable ? " 1" : " 0") + (fk.initiallyDeferred ? " 1" : " 0"));
  for (const GeneratedColumnText& column : table.generatedColumns)
    out.push_back("gen " + std::to_string(column.number) + " " + Utf8(column.name) + " = " + Utf8(column.expression));
  return out;
}

TEST(CreateText, IsReadAsSqliteReadsIt) {
  struct Case {
    Parser parser;
    const char16_t* sql;
    Strings read;
  };
  const Parser table = Parser::Table, index = Parser::Index, trigger = Parser::Trigger;
  const Case cases[] = {
      // Column and table checks in declaration order; the text between the
      // parentheses, comments and inner line breaks kept, outer blanks not.
      {table, u"CREATE TABLE t(a INT CHECK ( a > 0 ), b TEXT, CHECK (/* lim */ b <> ')'\n  AND a < 9), CHECK(length(b)<(3)))",
       {"check -: a > 0", "check -: /* lim */ b <> ')'\n  AND a < 9", "check -: length(b)<(3)"}},
      // A name holds for every check after it in its column; the next column
      // starts without one.
      {table, u"CREATE TABLE t(a CONSTRAINT n1 NOT NULL CHECK (a > 0) CHECK (a < 10), b CHECK (b))",
       {"check n1: a > 0", "check n1: a < 10", "check -: b"}},
      // Among table constraints a comma ends the name; without a comma it
      // holds. A name given in the last column reaches the first table check.
      {table, u"CREATE TABLE t(a CONSTRAINT q NOT NULL, CHECK (a > 1), CONSTRAINT [n 2] CHECK (a<5) CHECK(a<>3), CHECK (a))",
       {"check q: a > 1", "check n 2: a<5", "check n 2: a<>3", "check -: a"}},
      // Names in every quoting; a quoted word is never a keyword.
      {table, u"CREATE TABLE t(\"check\" INT CONSTRAINT \"c \"\"1\"\"\" CHECK (\"check\" > 0), CONSTRAINT `c2` CHECK (1), "
       u"CONSTRAINT 'c3' CHECK (2), CONSTRAINT [c4] CHECK (3))",
       {"check c \"1\": \"check\" > 0", "check c2: 1", "check c3: 2", "check c4: 3"}},
      // A column or type that merely contains the word, and defaults in
      // parentheses, are no checks.
      {table, u"CREATE TABLE radcheck(checked INT DEFAULT (check_me(1)), x VARCHAR(10) DEFAULT 'CHECK (x)')", {}},
      {table, u"CREATE TABLE \"a\" (\"g\" integer NOT NULL REFERENCES \"auth_group\" (\"id\") DEFERRABLE INITIALLY DEFERRED, "
       u"h INT REFERENCES [p q], FOREIGN KEY (h) REFERENCES p(id) ON DELETE CASCADE deferrable initially immediate, "
       u"FOREIGN KEY (g) REFERENCES p MATCH FULL DEFERRABLE)",
       {"fk auth_group 1 1", "fk p q 0 0", "fk p 1 0", "fk p 1 0"}},
      // NOT DEFERRABLE is never deferred; a clause after other constraints,
      // even in a later column, applies to the latest foreign key.
      {table, u"CREATE TABLE c(a REFERENCES p NOT DEFERRABLE INITIALLY DEFERRED, b REFERENCES p NOT NULL DEFERRABLE "
       u"INITIALLY DEFERRED, c INT, d INT NOT DEFERRABLE)",
       {"fk p 0 0", "fk p 0 0"}},
      {table, u"CREATE TABLE c(a REFERENCES p, b INT DEFERRABLE INITIALLY DEFERRED)", {"fk p 1 1"}},
      // Names that merely contain the words are read all the same.
      {table, u"CREATE TABLE c(checked REFERENCES p DEFERRABLE, last_as REFERENCES q)", {"fk p 1 0", "fk q 0 0"}},
      // Words in quotes and comments are not clauses.
      {table, u"CREATE TABLE c(a REFERENCES p /* DEFERRABLE INITIALLY DEFERRED */ DEFAULT 'DEFERRABLE', \"REFERENCES\" INT)",
       {"fk p 0 0"}},
      {table, u"CREATE TABLE t(a INT, b INT GENERATED ALWAYS AS ( a * (2 + a) ) STORED, c AS (a || ','), \"d e\" generated, "
       u"[f] INT AS(1) VIRTUAL, PRIMARY KEY (a))",
       {"gen 1 b = a * (2 + a)", "gen 2 c = a || ','", "gen 4 f = 1"}},
      {table, u"create temp table if not exists main.\"t\" (k TEXT PRIMARY KEY, v ANY) Strict , WITHOUT rowid",
       {"strict", "without rowid"}},
      {table, u"CREATE TABLE t(k PRIMARY KEY) WITHOUT ROWID", {"without rowid"}},
      // Table names made of the option words are names only.
      {table, u"CREATE TABLE \"strict\"(\"without rowid\" INT, \"as\" AS (1))", {"gen 1 as = 1"}},
      // A module's arguments are not columns.
      {table, u"CREATE VIRTUAL TABLE docs USING fts5(title, body, CHECK, tokenize = 'porter')", {"virtual"}},
      {table, u"CREATE TABLE copy AS SELECT 1 AS a", {}},
      // MediaWiki's table-prefix comment stands where the name is.
      {table, u"CREATE TABLE /*_*/site_identifiers (\n  si_type BLOB NOT NULL, -- the type\n  PRIMARY KEY(si_type)\n)",
       {"plain"}},
      // A text without the words that matter is not read: none of its
      // foreign keys is deferrable, it has no checks, generated columns or
      // options.
      {table, u"CREATE TABLE t(a INT REFERENCES p ON DELETE CASCADE, \"b\" TEXT)", {"plain"}},
      {table, u"CREATE TABLE t(a INT REFERENCES p DEFERRABLE)", {"fk p 1 0"}},
      {table, u"CREATE TABLE t(a INT) strict", {"strict"}},
      {table, u"CREATE TABLE t(a INT AS (1), b", {"unparsed"}},
      {table, u"CREATE TABLE t(a CHECK (a > 0", {"unparsed"}},
      {table, u"CREATE VIEW v AS SELECT 1", {"unparsed"}},
      {table, u"CREATE TABLE t(a REFERENCES, b CHECK (b))", {"unparsed"}},
      {table, u"CREATE TABLE t(a REFERENCES p DEFERRABLE INITIALLY LATER)", {"unparsed"}},
      {table, u"CREATE TABLE", {"unparsed"}},
      {table, u"", {"unparsed"}},
      // Index terms split at top-level commas; the predicate follows.
      {index, u"CREATE INDEX \"i (a, b)\" ON \"t(x)\" (substr(a, 1, 2) DESC, [we,ird] COLLATE NOCASE, 'lit,(' || b, `c``d` ASC)",
       {"term substr(a, 1, 2)", "term [we,ird]", "term 'lit,(' || b", "term `c``d`"}},
      {index, u"CREATE INDEX i ON t(a) -- the (b, c) comment\n  where a > 0 AND b <> ')'  ",
       {"term a", "where a > 0 AND b <> ')'"}},
      {index, u"CREATE INDEX i ON t(/* first */ a + 1, /* x, y */ \"b\")", {"term a + 1", "term \"b\""}},
      {index, u"CREATE INDEX \"(\" ON t", {"unparsed"}},
      {index, u"CREATE INDEX i ON t(a, (b", {"unparsed"}},
      {index, u"", {"unparsed"}},
      {trigger, u"create trigger t delete on x begin select 1; end", {"BEFORE / DELETE"}},
      {trigger, u"CREATE TEMP TRIGGER IF NOT EXISTS main.\"after\" instead of update on v BEGIN SELECT 1; END",
       {"INSTEAD OF / UPDATE"}},
      {trigger, u"CREATE TRIGGER after BEFORE UPDATE OF \"a b\", [c] ON x BEGIN SELECT 1; END",
       {"BEFORE / UPDATE OF \"a b\", [c]"}},
      {trigger, u"CREATE TRIGGER \"t on\" /* on */ AFTER UPDATE OF a ON x FOR EACH ROW BEGIN SELECT 1; END",
       {"AFTER / UPDATE OF a"}},
      {trigger, u"CREATE VIEW v AS SELECT 1", {"unparsed"}},
      {trigger, u"CREATE TRIGGER t AFTER TRUNCATE ON x", {"unparsed"}},
      {trigger, u"CREATE TRIGGER t AFTER UPDATE OF a", {"unparsed"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.parser, c.sql), c.read) << Utf8(c.sql);
}

TEST(CacheKeys, NamesWithDotsAndQuotesCannotRunIntoEachOther) {
  EXPECT_NE(ObjectKey(u"a", u"b.c"), ObjectKey(u"a.b", u"c"));
  EXPECT_NE(ObjectKey(u"a\".\"b", u"c"), ObjectKey(u"a", u"b\".\"c"));
  EXPECT_NE(KeySignature(u"s", u"t", {u"a,b"}), KeySignature(u"s", u"t", {u"a", u"b"}));
  EXPECT_NE(KeySignature(u"s", u"t", {u"a\",\"b"}), KeySignature(u"s", u"t", {u"a", u"b"}));
}

}  // namespace
}  // namespace qm::test::sqlite

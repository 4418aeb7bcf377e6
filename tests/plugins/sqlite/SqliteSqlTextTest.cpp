// Reading CREATE INDEX / CREATE TRIGGER texts, and the cache keys the row
// actions build: the edges a real catalogue rarely reaches.
#include "SqliteSqlText.h"

#include <OdbcTestSupport.h>

#include <gtest/gtest.h>

namespace qm::test::sqlite {
namespace {

using namespace qm::sqlite;
using Terms = std::vector<std::u16string>;

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

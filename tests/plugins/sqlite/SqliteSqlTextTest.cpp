// Reading CREATE INDEX / CREATE TRIGGER texts, and the cache keys and key
// signatures the row actions build: the parts a real catalogue rarely
// pushes to their edges.
#include "PluginTestSupport.h"
#include "SqliteSqlText.h"

#include <gtest/gtest.h>

namespace qm::test::sqlite {
namespace {

using qm::sqlite::ColumnKey;
using qm::sqlite::KeySignature;
using qm::sqlite::ObjectKey;
using qm::sqlite::ParseCreateIndex;
using qm::sqlite::ParseCreateTrigger;

TEST(CreateIndexText, SplitsKeyTermsAtTopLevelCommasOnly) {
  const auto parsed = ParseCreateIndex(
      u"CREATE INDEX \"i (a, b)\" ON \"t(x)\" (substr(a, 1, 2) DESC, [we,ird] COLLATE NOCASE, "
      u"'lit,(' || b, `c``d` ASC)");
  ASSERT_TRUE(parsed.parsed);
  EXPECT_EQ(parsed.terms, (std::vector<std::u16string>{u"substr(a, 1, 2)", u"[we,ird]", u"'lit,(' || b", u"`c``d`"}));
  EXPECT_TRUE(parsed.predicate.empty());
}

TEST(CreateIndexText, TakesThePredicateAfterTheTermList) {
  const auto parsed = ParseCreateIndex(
      u"CREATE INDEX i ON t(a) -- the (b, c) comment\n  where a > 0 AND b <> ')'  ");
  ASSERT_TRUE(parsed.parsed);
  EXPECT_EQ(parsed.terms, std::vector<std::u16string>{u"a"});
  EXPECT_EQ(parsed.predicate, u"a > 0 AND b <> ')'");
}

TEST(CreateIndexText, CommentsBeforeATermAreNotPartOfIt) {
  const auto parsed = ParseCreateIndex(u"CREATE INDEX i ON t(/* first */ a + 1, /* x, y */ \"b\")");
  ASSERT_TRUE(parsed.parsed);
  EXPECT_EQ(parsed.terms, (std::vector<std::u16string>{u"a + 1", u"\"b\""}));
}

TEST(CreateIndexText, TextWithoutATermListIsNotParsed) {
  EXPECT_FALSE(ParseCreateIndex(u"CREATE INDEX \"(\" ON t").parsed);
  EXPECT_FALSE(ParseCreateIndex(u"CREATE INDEX i ON t(a, (b").parsed);
  EXPECT_FALSE(ParseCreateIndex(u"").parsed);
}

TEST(CreateTriggerText, ReadsTimingAndEvents) {
  struct Case {
    const char16_t* sql;
    const char16_t* timing;
    const char16_t* events;
  };
  const Case cases[] = {
      {u"CREATE TRIGGER t AFTER INSERT ON x BEGIN SELECT 1; END", u"AFTER", u"INSERT"},
      {u"create trigger t delete on x begin select 1; end", u"BEFORE", u"DELETE"},
      {u"CREATE TEMP TRIGGER IF NOT EXISTS main.\"after\" instead of update on v BEGIN SELECT 1; END", u"INSTEAD OF",
       u"UPDATE"},
      {u"CREATE TRIGGER after BEFORE UPDATE OF \"a b\", [c] ON x BEGIN SELECT 1; END", u"BEFORE",
       u"UPDATE OF \"a b\", [c]"},
      {u"CREATE TRIGGER \"t on\" /* on */ AFTER UPDATE OF a ON x FOR EACH ROW BEGIN SELECT 1; END", u"AFTER",
       u"UPDATE OF a"},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseCreateTrigger(c.sql);
    ASSERT_TRUE(parsed.parsed) << Utf8(c.sql);
    EXPECT_EQ(parsed.timing, c.timing);
    EXPECT_EQ(parsed.events, c.events);
  }
}

TEST(CreateTriggerText, OtherTextIsNotParsed) {
  EXPECT_FALSE(ParseCreateTrigger(u"CREATE VIEW v AS SELECT 1").parsed);
  EXPECT_FALSE(ParseCreateTrigger(u"CREATE TRIGGER t AFTER TRUNCATE ON x").parsed);
  EXPECT_FALSE(ParseCreateTrigger(u"CREATE TRIGGER t AFTER UPDATE OF a").parsed);
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

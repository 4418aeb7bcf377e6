// The tokenizer every reading of a CREATE text goes through: quotes of all
// four kinds, both comment forms, nesting, and texts that end too early.
#include "SqliteTokenizer.h"

#include <OdbcTestSupport.h>

#include <gtest/gtest.h>

namespace qm::test::sqlite {
namespace {

using namespace qm::sqlite;

// "kind:text" per token, e.g. {"W:CREATE", "I:\"a b\"", "P:("}.
std::vector<std::string> Tokens(std::u16string_view text) {
  std::vector<std::string> out;
  SqlTokenizer tokens(text);
  for (Token token = tokens.Next(); token.kind != TokenKind::End; token = tokens.Next()) {
    const char* kind = token.kind == TokenKind::Word         ? "W:"
                       : token.kind == TokenKind::Identifier ? "I:"
                       : token.kind == TokenKind::String     ? "S:"
                                                             : "P:";
    out.push_back(kind + Utf8(std::u16string(tokens.TextOf(token))));
  }
  return out;
}

using Strings = std::vector<std::string>;

TEST(SqlTokenizer, QuotesCommentsAndWordsAreSplitAsSqliteSplitsThem) {
  struct Case {
    const char16_t* text;
    Strings tokens;
  };
  const Case cases[] = {
      {u"a\"b c\"d", {"W:a", "I:\"b c\"", "W:d"}},
      // Doubled quotes stay inside; [..] has no escape and ends at the first ].
      {u"'it''s' \"x\"\"y\" `p``q` [r]]s]", {"S:'it''s'", "I:\"x\"\"y\"", "I:`p``q`", "I:[r]", "P:]", "W:s", "P:]"}},
      // Quote characters of another kind are plain inside a quote.
      {u"'a\"b`c[d' [e'f\"g]", {"S:'a\"b`c[d'", "I:[e'f\"g]"}},
      // Comment markers inside quotes are text; outside, comments vanish.
      {u"'--x' \"/*y*/\" -- gone ( , )\nz /* gone\n ) */ w", {"S:'--x'", "I:\"/*y*/\"", "W:z", "W:w"}},
      // '-' and '/' alone are punctuation; '$' and non-ASCII continue a word.
      {u"a-b/c $x ünï😀_1", {"W:a", "P:-", "W:b", "P:/", "W:c", "W:$x", "W:ünï😀_1"}},
      // Unterminated quotes and comments run to the end of the text.
      {u"x 'abc", {"W:x", "S:'abc"}},
      {u"x [abc", {"W:x", "I:[abc"}},
      {u"x /* abc", {"W:x"}},
      {u"x -- abc", {"W:x"}},
      {u" \t\r\n\v\f", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << Utf8(c.text);
}

TEST(SqlTokenizer, SkipToCloseFindsTheMatchingParenthesisThroughQuotesAndComments) {
  struct Case {
    const char16_t* text;  // starts with the '(' to match
    const char16_t* rest;  // the text after the matching ')'; null: none matches
  };
  const Case cases[] = {
      {u"(a, (b), ((c))) rest", u" rest"},
      {u"(')' || \")\" || [)] || `)`) rest", u" rest"},
      {u"(a /* ) */ -- )\n) rest", u" rest"},
      {u"(a, (b) rest", nullptr},
      {u"(a ')' rest", nullptr},
  };
  for (const Case& c : cases) {
    const std::u16string_view text = c.text;
    SqlTokenizer tokens(text);
    ASSERT_TRUE(tokens.IsPunct(tokens.Next(), u'('));
    const Token close = tokens.SkipToClose();
    if (c.rest == nullptr) {
      EXPECT_EQ(close.kind, TokenKind::End) << Utf8(c.text);
      EXPECT_EQ(tokens.Next().kind, TokenKind::End) << Utf8(c.text);
    } else {
      ASSERT_TRUE(tokens.IsPunct(close, u')')) << Utf8(c.text);
      EXPECT_EQ(Utf8(std::u16string(text.substr(close.end))), Utf8(c.rest));
    }
  }
}

TEST(SqlTokenizer, KeywordsMatchBareWordsInAnyAsciiCaseOnly) {
  SqlTokenizer tokens(u"check CHECK \"check\" checks İ");
  EXPECT_TRUE(tokens.IsKeyword(tokens.Next(), u"CHECK"));
  EXPECT_TRUE(tokens.IsKeyword(tokens.Next(), u"CHECK"));
  EXPECT_FALSE(tokens.IsKeyword(tokens.Next(), u"CHECK"));
  EXPECT_FALSE(tokens.IsKeyword(tokens.Next(), u"CHECK"));
  EXPECT_FALSE(tokens.IsKeyword(tokens.Next(), u"I"));
  // Peek does not consume; at the end, End again and again.
  EXPECT_EQ(tokens.Peek().kind, TokenKind::End);
  EXPECT_EQ(tokens.Next().kind, TokenKind::End);
}

TEST(SqlTokenizer, HasAnyWordFindsWholeWordsInAnyCase) {
  struct Case {
    const char16_t* text;
    bool found;
  };
  const Case cases[] = {
      {u"x Check(y)", true},   {u"(a)as(b)", true},     {u"checked, recheck", false},
      {u"last_name, class", false}, {u"a$as", false}, {u"ünas as", true},
      {u"'as'", true},  // quotes are not told apart: a false alarm costs only a full reading
      {u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(HasAnyWord(c.text, {u"CHECK", u"AS"}), c.found) << Utf8(c.text);
}

TEST(SqlTokenizer, DequoteGivesTheNameSqliteReads) {
  struct Case {
    const char16_t* quoted;
    const char16_t* name;
  };
  const Case cases[] = {
      {u"plain", u"plain"},   {u"\"a \"\"b\"\"\"", u"a \"b\""}, {u"`a``b`", u"a`b"},
      {u"'it''s'", u"it's"},  {u"[a \"b\"]", u"a \"b\""},       {u"[unclosed", u"unclosed"},
      {u"\"unclosed", u"unclosed"}, {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8(Dequote(c.quoted)), Utf8(c.name)) << Utf8(c.quoted);
}

}  // namespace
}  // namespace qm::test::sqlite

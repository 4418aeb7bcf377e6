// Expressions as the comparison reads them: PostgreSQL's re-wording of a
// cast array is equal, and every real change stays a change.
#include <compare/Expressions.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

namespace compare::test {
namespace {

struct Case {
  const char* what;
  const char* stored;    // as the server printed it first
  const char* reloaded;  // as another database printed it
  bool equal;            // the comparison must call them equal
};

const Case kCases[] = {
    {"IN list over varchar",
     "((v)::text = ANY ((ARRAY['a'::character varying, 'b'::character varying])::text[]))",
     "((v)::text = ANY (ARRAY[('a'::character varying)::text, ('b'::character varying)::text]))", true},
    {"NOT IN, a NULL element, a typed modifier",
     "((v)::text <> ALL ((ARRAY['a'::character varying(3), NULL::character varying(3)])::text[]))",
     "((v)::text <> ALL (ARRAY[('a'::character varying(3))::text, (NULL::character varying(3))::text]))", true},
    {"in a domain's CHECK and beside other terms",
     "CHECK ((((VALUE)::text = ANY ((ARRAY['x'::character varying])::text[])) AND (VALUE IS NOT NULL)))",
     "CHECK ((((VALUE)::text = ANY (ARRAY[('x'::character varying)::text])) AND (VALUE IS NOT NULL)))", true},
    {"a string that looks like the form is text",
     "(note = '(ARRAY[''a''])::text[]'::text)", "(note = 'ARRAY[(''a'')::text]'::text)", false},
    {"another element", "((v)::text = ANY ((ARRAY['a'::character varying, 'b'::character varying])::text[]))",
     "((v)::text = ANY (ARRAY[('a'::character varying)::text, ('c'::character varying)::text]))", false},
    {"one element more", "((v)::text = ANY ((ARRAY['a'::character varying])::text[]))",
     "((v)::text = ANY (ARRAY[('a'::character varying)::text, ('b'::character varying)::text]))", false},
    {"another type", "((v)::text = ANY ((ARRAY['a'::character varying])::text[]))",
     "((v)::text = ANY (ARRAY[('a'::character varying)::name]))", false},
    {"another operator", "((v)::text = ANY ((ARRAY['a'::character varying])::text[]))",
     "((v)::text <> ALL (ARRAY[('a'::character varying)::text]))", false},
    {"an unclosed quote is read as it is", "(ARRAY['a)::text[]", "ARRAY[('a)::text]", false},
    {"a two-dimensional cast is not the form", "(ARRAY[ARRAY[1], ARRAY[2]])::text[][]",
     "ARRAY[(ARRAY[1])::text[], (ARRAY[2])::text[]]", false},
};

class ExpressionsTest : public ::testing::TestWithParam<Case> {};

TEST_P(ExpressionsTest, ReWordedIsEqualAndChangedIsNot) {
  const Case& c = GetParam();
  const std::u16string stored = NormalExpression(platform::Utf8ToUtf16(c.stored));
  const std::u16string reloaded = NormalExpression(platform::Utf8ToUtf16(c.reloaded));
  EXPECT_EQ(stored == reloaded, c.equal) << platform::Utf16ToUtf8(stored) << "\n" << platform::Utf16ToUtf8(reloaded);
  // The normal form is a fixed point: reading it again changes nothing.
  EXPECT_EQ(NormalExpression(reloaded), reloaded);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpressionsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return "case" + std::to_string(info.index); });

// Only what the database prints from a parse tree is read as SQL: a body
// or a comment holding the same text is compared exactly.
TEST(ExpressionsTest, RoutineBodiesAndCommentsAreTextNotExpressions) {
  EXPECT_TRUE(IsExpressionProperty(model::CheckConstraint, model::CheckExpression));
  EXPECT_TRUE(IsExpressionProperty(model::View, model::Definition));
  EXPECT_FALSE(IsExpressionProperty(model::Routine, model::Definition));
  EXPECT_FALSE(IsExpressionProperty(model::Table, model::Comment));
}

}  // namespace
}  // namespace compare::test

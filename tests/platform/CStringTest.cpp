// CString and CStringArray.
#include "PrintCString.h"

#include <platform/CString.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

namespace {

TEST(CStringFormat, ReplacementTextIsNeverExpandedAgain) {
  CString s;
  const CString data(u"100% of %s and %d%%");
  s.Format(u"[%s] [%s]", data, u"%s%n%");
  EXPECT_EQ(s, u"[100% of %s and %d%%] [%s%n%]");
}

TEST(CStringFormat, NonBmpTextPassesThroughUnchanged) {
  CString s;
  const char16_t smile[] = {0xD83D, 0xDE00, 0};  // U+1F600
  s.Format(u"<%s>", smile);
  ASSERT_EQ(s.GetLength(), 4);
  EXPECT_EQ(s.GetAt(1), 0xD83D);
  EXPECT_EQ(s.GetAt(2), 0xDE00);
  EXPECT_EQ(s.ToUtf8(), "<\xF0\x9F\x98\x80>");
}

TEST(CStringFormat, Integers) {
  CString s;
  s.Format(u"%d|%d|%i|%ld|%d", INT_MIN, -7, 0, LLONG_MIN, INT_MAX);
  EXPECT_EQ(s, u"-2147483648|-7|0|-9223372036854775808|2147483647");
  s.Format(u"%u|%zu|%llu", 4294967295u, std::size_t{42}, ULLONG_MAX);
  EXPECT_EQ(s, u"4294967295|42|18446744073709551615");
  // The argument's own type decides how it prints, whichever directive.
  s.Format(u"%d|%u", ULLONG_MAX, -1);
  EXPECT_EQ(s, u"18446744073709551615|-1");
  s.Format(u"100%%%d%%", 5);
  EXPECT_EQ(s, u"100%5%");
}

TEST(CStringFormat, AcceptsEveryTextKind) {
  char16_t buffer[] = u"mutable";
  char16_t* mutableText = buffer;
  const char16_t* nullText = nullptr;
  const std::u16string standard = u"std";
  CString s;
  s.Format(u"%s %s %s %s %s %s", mutableText, buffer, standard, std::u16string_view(u"view"), nullText,
           CString(u"cs"));
  EXPECT_EQ(s, u"mutable mutable std view (null) cs");
  // Formatting into the string that is also an argument.
  s.Format(u"(%s)", s);
  EXPECT_EQ(s, u"(mutable mutable std view (null) cs)");
}

TEST(CStringFormat, MisuseThrowsAndLeavesTheStringUnchanged) {
  CString s(u"before");
  EXPECT_THROW(s.Format(u"%s"), std::invalid_argument);             // directive without argument
  EXPECT_THROW(s.Format(u"%d", u"text"), std::invalid_argument);    // wrong kind
  EXPECT_THROW(s.Format(u"%s", 5), std::invalid_argument);          // wrong kind
  EXPECT_THROW(s.Format(u"x", 5), std::invalid_argument);           // argument left over
  EXPECT_THROW(s.Format(u"%x", 5), std::invalid_argument);          // unsupported directive
  EXPECT_THROW(s.Format(u"%5d", 5), std::invalid_argument);         // width is not supported
  EXPECT_THROW(s.Format(u"ends with %"), std::invalid_argument);    // dangling percent
  EXPECT_THROW(s.Format(u"ends with %l", 1), std::invalid_argument);
  EXPECT_THROW(s.Format(nullptr), std::invalid_argument);
  EXPECT_EQ(s, u"before");
}

TEST(CStringCompare, OrdersByUtf16CodeUnitCaseSensitivePrefixFirst) {
  const char16_t smile[] = {0xD83D, 0xDE00, 0};  // U+1F600, a surrogate pair
  const char16_t privateUse[] = {0xE000, 0};     // U+E000
  std::map<CString, int> keys;
  keys[CString(privateUse)] = 1;
  keys[CString(smile)] = 2;
  keys[u"b"] = 3;
  keys[u"abc"] = 4;
  keys[u"ab"] = 5;
  keys[u"B"] = 6;
  keys[u"a"] = 7;
  keys[u""] = 8;
  std::vector<int> order;
  for (const auto& [key, value] : keys) order.push_back(value);
  // Code-point order would put U+E000 before U+1F600; UTF-16 order does not.
  EXPECT_EQ(order, (std::vector<int>{8, 6, 7, 5, 4, 3, 2, 1}));

  EXPECT_LT(CString(u"B"), CString(u"a"));
  EXPECT_LT(CString(u"ab"), CString(u"abc"));
  EXPECT_LT(CString(smile), CString(privateUse));
  EXPECT_EQ(CString(u"ab").Compare(u"abc"), -1);
  EXPECT_EQ(CString(u"b").Compare(u"B"), 1);
  EXPECT_EQ(CString(u"x").Compare(u"x"), 0);
  EXPECT_EQ(CString(u"").Compare(nullptr), 0);
  EXPECT_EQ(CString(smile).Compare(privateUse), -1);
}

TEST(CStringCompare, MixedOperandsCompareText) {
  const CString s(u"abc");
  const CString t(u"abd");
  // Identical text at different addresses: a pointer comparison would differ.
  const std::u16string copy = u"abc";
  EXPECT_TRUE(s == copy.c_str());
  EXPECT_TRUE(copy.c_str() == s);
  EXPECT_TRUE(s == u"abc");
  EXPECT_TRUE(u"abc" == s);
  EXPECT_TRUE(s != u"abd");
  EXPECT_TRUE(s == CString(copy));
  EXPECT_TRUE(s < t);
  EXPECT_TRUE(s < u"abd");
  EXPECT_TRUE(u"abb" < s);
  EXPECT_TRUE(s >= copy.c_str());
  EXPECT_FALSE(s == static_cast<const char16_t*>(nullptr));
  EXPECT_TRUE(CString() == static_cast<const char16_t*>(nullptr));
  // Embedded NULs are part of the text.
  const CString withNul(u"a\0b", 3);
  EXPECT_EQ(withNul.GetLength(), 3);
  EXPECT_FALSE(withNul == CString(u"a"));
}

TEST(CStringEdit, ConcatenateAndTrim) {
  CString s(u"ab");
  s += CString(u"c");
  s += u"d";
  s += u'e';
  s += static_cast<const char16_t*>(nullptr);
  EXPECT_EQ(s, u"abcde");
  EXPECT_EQ(s + u"f", u"abcdef");
  EXPECT_EQ(u"_" + s, u"_abcde");
  EXPECT_EQ(s + CString(u"!"), u"abcde!");
  EXPECT_EQ(s + u',', u"abcde,");
  EXPECT_EQ(u'[' + s, u"[abcde");
  EXPECT_EQ(s, u"abcde") << "operands are left alone";

  CString commas(u",,,");
  EXPECT_TRUE(commas.TrimRight(u",").IsEmpty());
  CString list(u"a, b,, ;");
  EXPECT_EQ(list.TrimRight(u", ;"), u"a, b");
  CString untouched(u"abc");
  EXPECT_EQ(untouched.TrimRight(u""), u"abc");
  EXPECT_EQ(untouched.TrimRight(static_cast<const char16_t*>(nullptr)), u"abc");
  CString dots(u"x..");
  EXPECT_EQ(dots.TrimRight(u'.'), u"x");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.GetString()[0], u'\0');
}

TEST(CStringUtf8, RoundTripsAndReplacesWhatCannotBeText) {
  const std::string text = "na\xC3\xAFve \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD";
  const CString s = CString::FromUtf8(text);
  EXPECT_EQ(s, u"na\u00EFve \u20AC \U0001F600 \uFFFD");
  EXPECT_EQ(s.ToUtf8(), text);

  EXPECT_EQ(CString::FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  const char16_t loneHigh[] = {u'x', 0xD800, u'y', 0};
  const char16_t loneLow[] = {0xDC00, 0};
  EXPECT_EQ(CString(loneHigh).ToUtf8(), "x\xEF\xBF\xBDy");
  EXPECT_EQ(CString(loneLow).ToUtf8(), "\xEF\xBF\xBD");
}

TEST(CStringArray, GrowAddAndBounds) {
  CStringArray a;
  a.SetAtGrow(3, u"d");
  ASSERT_EQ(a.GetSize(), 4);
  for (INT_PTR i = 0; i < 3; ++i) EXPECT_TRUE(a.GetAt(i).IsEmpty()) << i;
  EXPECT_EQ(a.GetAt(3), u"d");
  a.SetAtGrow(1, u"b");
  EXPECT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a[1], u"b");
  EXPECT_EQ(a.Add(u"e"), 4);
  EXPECT_EQ(a.GetAt(4), u"e");
  EXPECT_THROW(a.GetAt(5), std::out_of_range);
  EXPECT_THROW(a.GetAt(-1), std::out_of_range);
  EXPECT_THROW(a.SetAtGrow(-1, u"x"), std::out_of_range);
  a.RemoveAll();
  EXPECT_EQ(a.GetSize(), 0);
  EXPECT_EQ(a.Add(u"first"), 0);
}

}  // namespace

// CString: type-checked Format and ordering by UTF-16 code unit.
#include "PrintCString.h"

#include <platform/CString.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(CStringFormat, ArgumentsAreTypeCheckedAndNeverExpandedAgain) {
  CString s;
  s.Format(u"[%s] [%s]", CString(u"100% of %s and %d%%"), u"%s%n%");
  EXPECT_EQ(s, u"[100% of %s and %d%%] [%s%n%]");
  s.Format(u"%d|%i|%ld|%u|%zu|%llu|100%%", INT_MIN, 0, LLONG_MIN, 4294967295u, std::size_t{42}, ULLONG_MAX);
  EXPECT_EQ(s, u"-2147483648|0|-9223372036854775808|4294967295|42|18446744073709551615|100%");
  // The argument's own type decides how it prints, whichever directive.
  s.Format(u"%d|%u", ULLONG_MAX, -1);
  EXPECT_EQ(s, u"18446744073709551615|-1");
  char16_t buffer[] = u"mutable";
  const char16_t* nullText = nullptr;
  s.Format(u"%s %s %s %s", buffer, std::u16string(u"std"), std::u16string_view(u"view"), nullText);
  EXPECT_EQ(s, u"mutable std view (null)");
  s.Format(u"(%s)", s);  // into the string that is also an argument
  EXPECT_EQ(s, u"(mutable std view (null))");
}

TEST(CStringFormat, MisuseThrowsAndLeavesTheStringUnchanged) {
  CString s(u"before");
  EXPECT_THROW(s.Format(u"%s"), std::invalid_argument);           // directive without argument
  EXPECT_THROW(s.Format(u"%d", u"text"), std::invalid_argument);  // wrong kind
  EXPECT_THROW(s.Format(u"%s", 5), std::invalid_argument);        // wrong kind
  EXPECT_THROW(s.Format(u"x", 5), std::invalid_argument);         // argument left over
  EXPECT_THROW(s.Format(u"%x", 5), std::invalid_argument);        // unsupported directive
  EXPECT_THROW(s.Format(u"%5d", 5), std::invalid_argument);       // width is not supported
  EXPECT_THROW(s.Format(u"ends with %"), std::invalid_argument);  // dangling percent
  EXPECT_THROW(s.Format(u"ends with %l", 1), std::invalid_argument);
  EXPECT_THROW(s.Format(nullptr), std::invalid_argument);
  EXPECT_EQ(s, u"before");
}

TEST(CStringCompare, OrdersByUtf16CodeUnitAndComparesTextNotPointers) {
  const char16_t smile[] = {0xD83D, 0xDE00, 0};  // U+1F600, a surrogate pair
  const char16_t privateUse[] = {0xE000, 0};     // U+E000
  std::map<CString, int> keys;
  int n = 0;
  for (const char16_t* key : {privateUse, smile, u"b", u"abc", u"ab", u"B", u"a", u""}) keys[key] = n++;
  std::vector<int> order;
  for (const auto& [key, value] : keys) order.push_back(value);
  // Code-point order would put U+E000 before U+1F600; UTF-16 order does not.
  EXPECT_EQ(order, (std::vector<int>{7, 5, 6, 4, 3, 2, 1, 0}));
  EXPECT_EQ(CString(u"ab").Compare(u"abc"), -1);
  EXPECT_EQ(CString(u"b").Compare(u"B"), 1);
  EXPECT_EQ(CString(u"").Compare(nullptr), 0);

  // Identical text at different addresses: a pointer comparison would differ.
  const CString s(u"abc");
  const std::u16string copy = u"abc";
  EXPECT_TRUE(s == copy.c_str());
  EXPECT_TRUE(copy.c_str() == s);
  EXPECT_TRUE(s < u"abd");
  EXPECT_TRUE(u"abb" < s);
  EXPECT_FALSE(s == static_cast<const char16_t*>(nullptr));
  EXPECT_TRUE(CString() == static_cast<const char16_t*>(nullptr));
  EXPECT_FALSE(CString(u"a\0b", 3) == CString(u"a"));  // embedded NULs are part of the text
}

}  // namespace

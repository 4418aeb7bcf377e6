// CString: type-checked Format and ordering by UTF-16 code unit; COleVariant
// value semantics (double frees and leaks show under ASan).
#include <platform/COleVariant.h>
#include <platform/CString.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A CString as its UTF-8 text in failure messages.
inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.ToUtf8() << '"'; }

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

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
  EXPECT_THROW(s.Format(u"x", 5), std::invalid_argument);         // argument left over
  EXPECT_THROW(s.Format(u"%x", 5), std::invalid_argument);        // unsupported directive
  EXPECT_THROW(s.Format(u"%5d", 5), std::invalid_argument);       // width is not supported
  EXPECT_THROW(s.Format(u"ends with %"), std::invalid_argument);  // dangling percent
  EXPECT_THROW(s.Format(nullptr), std::invalid_argument);
  EXPECT_EQ(s, u"before");
}

TEST(CStringCompare, OrdersByUtf16CodeUnitAndComparesTextNotPointers) {
  // Code-point order would put U+E000 before U+1F600; UTF-16 order does not.
  EXPECT_EQ(CString(u"\U0001F600").Compare(u"\uE000"), -1);
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

std::u16string Text(const COleVariant& v) {
  EXPECT_EQ(v.vt, VT_BSTR);
  return v.vt == VT_BSTR ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : std::u16string();
}

// Copies are made all through the fetch loop and checked there under ASan;
// assigning a variant to itself is not.
TEST(COleVariant, SelfAssignmentKeepsTheValueAndMoveEmptiesTheSource) {
  COleVariant v(u"self");
  COleVariant& alias = v;
  v = alias;
  EXPECT_EQ(Text(v), u"self");
  v = std::move(alias);
  EXPECT_EQ(Text(v), u"self");
  const BSTR buffer = v.bstrVal;
  COleVariant target(LONG{7});
  target = std::move(v);
  EXPECT_EQ(target.bstrVal, buffer);
  EXPECT_EQ(v.vt, VT_EMPTY);  // NOLINT(bugprone-use-after-move): the moved-from state is the contract
}

TEST(COleVariant, EmbeddedNulsSurviveEveryPath) {
  const std::u16string withNul(u"a\0b\0", 4);
  const COleVariant fromCString(CString(withNul.data(), 4));
  const COleVariant fromView{std::u16string_view(withNul)};
  const COleVariant copied(fromCString);
  for (const COleVariant* v : {&fromCString, &fromView, &copied}) {
    EXPECT_EQ(Text(*v), withNul);
    EXPECT_EQ(v->bstrVal[4], u'\0') << "a BSTR is NUL-terminated too";
  }
  // A plain pointer stops at the first NUL; a null one gives empty text.
  EXPECT_EQ(Text(COleVariant(withNul.c_str())), u"a");
  EXPECT_EQ(Text(COleVariant(static_cast<const char16_t*>(nullptr))), u"");
}

// The fetch loop refills one variant with every row's text: a text that
// fits is written over the old one, a longer one gets a block of its own,
// and a text may come from the string it replaces.
TEST(COleVariant, SetTextRefillsTheStringWithEachTextWhole) {
  COleVariant v(LONG{7});
  v.SetText(u"first value");
  EXPECT_EQ(Text(v), u"first value");
  const BSTR block = v.bstrVal;
  v.SetText(u"short");
  EXPECT_EQ(Text(v), u"short");
  EXPECT_EQ(v.bstrVal, block) << "a text that fits stays in the string's block";
  EXPECT_EQ(v.bstrVal[5], u'\0');
  const std::u16string longer(300, u'x');
  v.SetText(longer);
  EXPECT_EQ(Text(v), longer);
  v.SetText(u"abcdefghij");
  v.SetText(std::u16string_view(v.bstrVal + 3, 4));
  EXPECT_EQ(Text(v), u"defg");
  const std::u16string withNul(u"a\0b", 3);
  v.SetText(withNul);
  EXPECT_EQ(Text(v), withNul);
  v.SetText(std::u16string_view());
  EXPECT_EQ(Text(v), u"");
  EXPECT_EQ(v.bstrVal[0], u'\0');

  BSTR raw = SysAllocString(u"abc");
  EXPECT_EQ(SysReAllocStringLen(&raw, nullptr, 2), 1);
  EXPECT_EQ(std::u16string(raw, SysStringLen(raw)), std::u16string(2, u'\0'));
  const std::u16string grown(100, u'y');
  SysReAllocStringLen(&raw, grown.data(), static_cast<UINT>(grown.size()));
  EXPECT_EQ(std::u16string(raw, SysStringLen(raw)), grown);
  EXPECT_EQ(raw[100], u'\0');
  SysFreeString(raw);
}

}  // namespace

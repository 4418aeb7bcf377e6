// COleVariant value semantics. Double frees and leaks show under ASan.
#include <platform/COleVariant.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

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

}  // namespace

// COleVariant value semantics. Double frees and leaks show under ASan.
#include <platform/COleVariant.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace {

std::u16string Text(const COleVariant& v) {
  EXPECT_EQ(v.vt, VT_BSTR);
  if (v.vt != VT_BSTR) return {};
  return std::u16string(v.bstrVal, SysStringLen(v.bstrVal));
}

TEST(COleVariant, CopiesOwnTheirText) {
  auto original = std::make_unique<COleVariant>(CString(u"catalog"));
  COleVariant copy(*original);
  COleVariant assigned;
  assigned = *original;
  EXPECT_NE(copy.bstrVal, original->bstrVal);
  original->bstrVal[0] = u'X';  // changing the original does not reach the copies
  EXPECT_EQ(Text(*original), u"Xatalog");
  original.reset();
  EXPECT_EQ(Text(copy), u"catalog");
  EXPECT_EQ(Text(assigned), u"catalog");
}

TEST(COleVariant, AssignmentSwitchesKinds) {
  COleVariant v(CString(u"text"));
  v = COleVariant(LONG{42});
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 42);
  const COleVariant text(u"again");
  v = text;
  EXPECT_EQ(Text(v), u"again");
  const COleVariant number(LONG{-5});
  v = number;
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, -5);
  v = COleVariant();
  EXPECT_EQ(v.vt, VT_EMPTY);
  v = text;
  v.Clear();
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(Text(text), u"again");
}

TEST(COleVariant, SelfAssignmentKeepsTheValue) {
  COleVariant v(u"self");
  COleVariant& alias = v;
  v = alias;
  EXPECT_EQ(Text(v), u"self");
  v = std::move(alias);
  EXPECT_EQ(Text(v), u"self");
}

TEST(COleVariant, MoveTakesTheTextAndEmptiesTheSource) {
  COleVariant source(u"moved");
  const BSTR buffer = source.bstrVal;
  COleVariant target(std::move(source));
  EXPECT_EQ(target.bstrVal, buffer);
  EXPECT_EQ(source.vt, VT_EMPTY);  // NOLINT(bugprone-use-after-move): the moved-from state is the contract
  COleVariant other(LONG{7});
  other = std::move(target);
  EXPECT_EQ(Text(other), u"moved");
  EXPECT_EQ(target.vt, VT_EMPTY);  // NOLINT(bugprone-use-after-move)
  COleVariant number(LONG{9});
  COleVariant movedNumber(std::move(number));
  EXPECT_EQ(movedNumber.vt, VT_I4);
  EXPECT_EQ(movedNumber.lVal, 9);
}

TEST(COleVariant, EmbeddedNulsSurviveEveryPath) {
  const std::u16string withNul(u"a\0b\0", 4);
  const COleVariant fromCString(CString(withNul.data(), 4));
  const COleVariant fromView{std::u16string_view(withNul)};
  const COleVariant fromStandard(withNul);
  const COleVariant copied(fromCString);
  for (const COleVariant* v : {&fromCString, &fromView, &fromStandard, &copied}) {
    EXPECT_EQ(SysStringLen(v->bstrVal), 4u);
    EXPECT_EQ(Text(*v), withNul);
    EXPECT_EQ(v->bstrVal[4], u'\0') << "a BSTR is NUL-terminated too";
  }
  // A plain pointer stops at the first NUL; a null one gives empty text.
  EXPECT_EQ(Text(COleVariant(withNul.c_str())), u"a");
  EXPECT_EQ(Text(COleVariant(static_cast<const char16_t*>(nullptr))), u"");
}

TEST(COleVariant, BstrAllocation) {
  const BSTR empty = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(SysStringLen(empty), 3u);
  EXPECT_EQ(std::u16string(empty, 3), std::u16string(3, u'\0'));
  SysFreeString(empty);
  SysFreeString(nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  const BSTR s = SysAllocString(u"abc");
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(std::u16string(s), u"abc");
  SysFreeString(s);
}

}  // namespace

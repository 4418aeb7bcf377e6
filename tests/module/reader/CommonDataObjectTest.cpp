// The record a row action reads: first value wins, code-unit order, deep
// copies, and integers read back from text.
#include <schemaimport/CommonDataObject.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Keys(const CommonDataObject& record) {
  std::vector<std::u16string> keys;
  for (auto it = record.Iterator(); it != record.End(); ++it) keys.push_back(it->first);
  return keys;
}

TEST(CommonDataObjectTest, SetKeepsTheFirstValueOfAName) {
  CommonDataObject record;
  record.Set(u"A", COleVariant(LONG{1}));
  record.Set(u"A", COleVariant(LONG{2}));
  record.Set(u"A", COleVariant(u"text"));
  const COleVariant stored(u"first");
  record.Set(u"T", stored);
  record.Set(u"T", COleVariant(u"second"));

  EXPECT_EQ(record.GetInteger(u"A"), 1);
  EXPECT_EQ(record.Get(u"A").vt, VT_I4);
  EXPECT_EQ(record.GetString(u"T"), CString(u"first"));
  EXPECT_EQ(record.Size(), 2u);
  // Names are case-sensitive: a is another name than A.
  record.Set(u"a", COleVariant(LONG{3}));
  EXPECT_EQ(record.GetInteger(u"a"), 3);
  EXPECT_EQ(record.GetInteger(u"A"), 1);
}

TEST(CommonDataObjectTest, MissingNamesReadAsEmptyZeroAndNothing) {
  CommonDataObject record;
  record.Set(u"present", COleVariant(LONG{7}));
  EXPECT_EQ(record.Get(u"absent").vt, VT_EMPTY);
  EXPECT_TRUE(record.GetString(u"absent").IsEmpty());
  EXPECT_EQ(record.GetInteger(u"absent"), 0);
  EXPECT_EQ(record.GetInteger(u"Present"), 0);
}

TEST(CommonDataObjectTest, GetStringGivesTextOnlyUpToItsFirstNul) {
  CommonDataObject record;
  record.Set(u"number", COleVariant(LONG{5}));
  record.Set(u"nul", COleVariant(std::u16string_view(u"ab\0cd", 5)));
  record.Set(u"empty", COleVariant(u""));
  EXPECT_TRUE(record.GetString(u"number").IsEmpty());
  EXPECT_EQ(record.GetInteger(u"number"), 5);
  EXPECT_EQ(record.GetString(u"nul"), CString(u"ab"));
  // The variant itself keeps the whole value.
  EXPECT_EQ(SysStringLen(record.Get(u"nul").bstrVal), 5u);
  EXPECT_EQ(record.Get(u"empty").vt, VT_BSTR);
  EXPECT_TRUE(record.GetString(u"empty").IsEmpty());
}

TEST(CommonDataObjectTest, GetIntegerReadsTheLeadingIntegerOfText) {
  CommonDataObject record;
  record.Set(u"plain", COleVariant(u"12"));
  record.Set(u"blanks", COleVariant(u" \t-42 rows"));
  record.Set(u"plus", COleVariant(u"+7x"));
  record.Set(u"letters", COleVariant(u"abc12"));
  record.Set(u"sign only", COleVariant(u"-"));
  record.Set(u"empty", COleVariant(u""));
  record.Set(u"decimal", COleVariant(u"12.9"));
  record.Set(u"oid", COleVariant(u"3000000000"));
  record.Set(u"min", COleVariant(u"-2147483648"));
  record.Set(u"long", COleVariant(u"9000000000"));
  record.Set(u"nothing", COleVariant());

  EXPECT_EQ(record.GetInteger(u"plain"), 12);
  EXPECT_EQ(record.GetInteger(u"blanks"), -42);
  EXPECT_EQ(record.GetInteger(u"plus"), 7);
  EXPECT_EQ(record.GetInteger(u"letters"), 0);
  EXPECT_EQ(record.GetInteger(u"sign only"), 0);
  EXPECT_EQ(record.GetInteger(u"empty"), 0);
  EXPECT_EQ(record.GetInteger(u"decimal"), 12);
  // Beyond 32 bits the low 32 bits are kept, as for integer columns, so an
  // unsigned catalogue id reads back to the same number.
  EXPECT_EQ(static_cast<std::uint32_t>(record.GetInteger(u"oid")), 3000000000u);
  EXPECT_EQ(record.GetInteger(u"min"), INT_MIN);
  EXPECT_EQ(record.GetInteger(u"long"), static_cast<int>(9000000000LL - 2 * 4294967296LL));
  EXPECT_EQ(record.GetInteger(u"nothing"), 0);
}

TEST(CommonDataObjectTest, IteratesInUtf16CodeUnitOrder) {
  CommonDataObject record;
  for (const char16_t* name : {u"b", u"B", u"a", u"abc", u"ab", u"\uE000", u"\U0001F600"})
    record.Set(name, COleVariant(LONG{1}));
  // A surrogate pair (D83D DE00) orders before U+E000 by code unit, though
  // its code point is higher; a prefix orders before the longer name.
  const std::vector<std::u16string> expected = {u"B", u"a", u"ab", u"abc", u"b", u"\U0001F600", u"\uE000"};
  EXPECT_EQ(Keys(record), expected);
}

TEST(CommonDataObjectTest, ResetEmptiesTheRecordForNewValues) {
  CommonDataObject record;
  record.Set(u"A", COleVariant(LONG{1}));
  record.Set(u"B", COleVariant(u"x"));
  record.Reset();
  EXPECT_TRUE(record.Iterator() == record.End());
  EXPECT_EQ(record.Get(u"A").vt, VT_EMPTY);
  record.Set(u"A", COleVariant(LONG{2}));
  EXPECT_EQ(record.GetInteger(u"A"), 2);
  EXPECT_EQ(record.Size(), 1u);
}

TEST(CommonDataObjectTest, RowAfterRowHoldsOnlyTheLatestRowInOrder) {
  // The reader refills one record for every row; entries of earlier rows
  // must neither linger nor lend their values or order to later ones.
  CommonDataObject record;
  record.Set(u"definition", COleVariant(u"CHECK (a > 0)"));
  record.Set(u"schema_name", COleVariant(u"public"));
  record.Set(u"id", COleVariant(LONG{1}));
  record.Reset();
  record.Set(u"zeta", COleVariant(LONG{5}));
  record.Set(u"alpha", COleVariant(u"first"));
  record.Set(u"alpha", COleVariant(u"second"));
  record.Set(u"mid", COleVariant());

  EXPECT_EQ(Keys(record), (std::vector<std::u16string>{u"alpha", u"mid", u"zeta"}));
  EXPECT_EQ(record.Get(u"zeta").vt, VT_I4);
  EXPECT_EQ(record.GetInteger(u"zeta"), 5);
  EXPECT_EQ(record.GetString(u"alpha"), CString(u"first"));
  EXPECT_EQ(record.Get(u"mid").vt, VT_EMPTY);
  EXPECT_EQ(record.Get(u"definition").vt, VT_EMPTY);
  EXPECT_EQ(record.Get(u"id").vt, VT_EMPTY);

  const CommonDataObject copy(record);
  record.Reset();
  EXPECT_EQ(Keys(copy), (std::vector<std::u16string>{u"alpha", u"mid", u"zeta"}));
  EXPECT_EQ(copy.GetString(u"alpha"), CString(u"first"));
}

TEST(CommonDataObjectTest, ReplaceHoldsExactlyTheGivenEntries) {
  const std::u16string a = u"a_name", b = u"b_name", c = u"c_name";
  CommonDataObject record;
  {
    std::vector<const std::u16string*> names = {&a, &b};
    std::vector<COleVariant> values = {COleVariant(u"one"), COleVariant(LONG{2})};
    record.Replace(names, values);
  }
  EXPECT_EQ(Keys(record), (std::vector<std::u16string>{a, b}));
  {
    // The same names: values replaced in place, the old text released.
    std::vector<const std::u16string*> names = {&a, &b};
    std::vector<COleVariant> values = {COleVariant(LONG{3}), COleVariant(u"four")};
    record.Replace(names, values);
  }
  EXPECT_EQ(record.Get(a).vt, VT_I4);
  EXPECT_EQ(record.GetInteger(a), 3);
  EXPECT_EQ(record.GetString(b), CString(u"four"));
  {
    // Other names, out of order and one repeated: as Reset and Set would.
    std::vector<const std::u16string*> names = {&c, &a, &c};
    std::vector<COleVariant> values = {COleVariant(LONG{5}), COleVariant(LONG{6}), COleVariant(LONG{7})};
    record.Replace(names, values);
  }
  EXPECT_EQ(Keys(record), (std::vector<std::u16string>{a, c}));
  EXPECT_EQ(record.GetInteger(c), 5);
  EXPECT_EQ(record.GetInteger(a), 6);
  {
    // Same count, one name differs.
    std::vector<const std::u16string*> names = {&a, &b};
    std::vector<COleVariant> values = {COleVariant(LONG{8}), COleVariant(LONG{9})};
    record.Replace(names, values);
  }
  EXPECT_EQ(Keys(record), (std::vector<std::u16string>{a, b}));
  EXPECT_EQ(record.GetInteger(b), 9);
  record.Replace({}, {});
  EXPECT_TRUE(record.Iterator() == record.End());
}

TEST(CommonDataObjectTest, CopiesAreDeepAndIndependent) {
  CommonDataObject source;
  source.Set(u"name", COleVariant(u"orders"));
  source.Set(u"id", COleVariant(LONG{9}));

  CommonDataObject copy(source);
  EXPECT_NE(copy.Get(u"name").bstrVal, nullptr);
  copy.Reset();
  EXPECT_EQ(source.GetString(u"name"), CString(u"orders"));
  EXPECT_EQ(source.GetInteger(u"id"), 9);

  CommonDataObject assigned;
  assigned.Set(u"stale", COleVariant(LONG{1}));
  assigned = source;
  EXPECT_EQ(assigned.Get(u"stale").vt, VT_EMPTY);
  source.Reset();
  EXPECT_EQ(assigned.GetString(u"name"), CString(u"orders"));
  EXPECT_EQ(assigned.GetInteger(u"id"), 9);

  CommonDataObject& self = assigned;
  assigned = self;
  EXPECT_EQ(assigned.GetString(u"name"), CString(u"orders"));
  EXPECT_EQ(assigned.Size(), 2u);
}

}  // namespace

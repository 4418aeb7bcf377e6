// The record a row action reads: integers from text, and lookups by view
// across the fetch loop's refills (Replace) of one record for every row.
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {
namespace {

using Names = std::vector<std::u16string>;

COleVariant Int(LONG value) { return COleVariant(value); }

TEST(CommonDataObjectTest, GetIntegerReadsTheLeadingIntegerOfText) {
  // Beyond 32 bits the low 32 bits are kept, as for integer columns, so an
  // unsigned catalogue id reads back to the same number.
  const struct {
    const char16_t* text;
    int expected;
  } cases[] = {{u" \t-42 rows", -42}, {u"+7x", 7},     {u"abc12", 0},       {u"-", 0},
               {u"12.9", 12},         {u"-2147483648", INT_MIN},
               {u"3000000000", static_cast<int>(3000000000u)},
               {u"9000000000", static_cast<int>(9000000000LL - 2 * 4294967296LL)}};
  for (const auto& c : cases) {
    CommonDataObject record;
    record.Set(u"v", COleVariant(c.text));
    EXPECT_EQ(record.GetInteger(u"v"), c.expected) << CString(c.text).ToUtf8();
  }
}

// Lookups by view try first the entry found for the last row: they must
// stay right when the rows' names, order or presence change.
TEST(CommonDataObjectTest, LookupsByViewFollowEveryRowsEntries) {
  const std::u16string a = u"schema_name", b = u"table_name", c = u"column_name";
  CommonDataObject record;
  auto row = [&](std::vector<const std::u16string*> names, std::vector<COleVariant> values) {
    record.Replace(names, values);
  };
  row({&c, &a, &b}, {COleVariant(u"id"), COleVariant(u"main"), COleVariant(std::u16string_view(u"orders\0x", 8))});
  EXPECT_EQ(record.GetText(u"schema_name"), u"main");
  EXPECT_EQ(record.GetText(u"table_name"), u"orders");  // up to the first NUL, as GetString
  EXPECT_EQ(record.GetText(u"column_name"), u"id");
  // The same names (ascending, as the fetch loop hands them), new values,
  // looked up in another order: the first lookup meets the entry
  // remembered for schema_name, a name of the same length.
  row({&c, &a, &b}, {COleVariant(u"name"), Int(7), COleVariant(u"items")});
  EXPECT_EQ(record.GetText(u"column_name"), u"name");
  EXPECT_EQ(record.GetText(u"schema_name"), u"");  // an integer is no text
  EXPECT_EQ(record.GetNumber(u"schema_name"), 7);
  EXPECT_EQ(record.Find(u"default_value"), nullptr);
  EXPECT_EQ(record.GetText(u"table_name"), u"items");
  // A row without one of the names.
  row({&c, &a}, {COleVariant(u"qty"), COleVariant(u"aux")});
  EXPECT_EQ(record.GetText(u"schema_name"), u"aux");
  EXPECT_EQ(record.Find(u"table_name"), nullptr);
  EXPECT_EQ(record.GetText(u"column_name"), u"qty");
  // The name back, then a row without another: the entry that went is not
  // found through what the lookups remembered.
  row({&c, &a, &b}, {COleVariant(u"sku"), COleVariant(u"aux"), COleVariant(u"stock")});
  EXPECT_EQ(record.GetText(u"table_name"), u"stock");
  row({&a, &b}, {COleVariant(u"main"), COleVariant(u"sales")});
  EXPECT_EQ(NamesOf(record), (Names{a, b}));
  EXPECT_EQ(record.Find(u"column_name"), nullptr);
  EXPECT_EQ(record.GetText(u"schema_name"), u"main");
  EXPECT_EQ(record.GetText(u"table_name"), u"sales");
  row({&c, &a, &b}, {COleVariant(u"qty"), COleVariant(u"aux"), COleVariant(u"stock")});
  // A lookup by a name in a reused buffer is matched by content.
  std::u16string name = u"schema_name";
  EXPECT_EQ(record.GetText(name), u"aux");
  name = u"column_name";
  EXPECT_EQ(record.GetText(name), u"qty");
  // After Reset the entries remembered for the row are gone.
  CommonDataObject fresh;
  std::vector<COleVariant> values{COleVariant(u"aux")};
  fresh.Replace(std::vector<const std::u16string*>{&a}, values);
  EXPECT_EQ(fresh.GetText(u"schema_name"), u"aux");
  values = {Int(3)};
  fresh.Replace(std::vector<const std::u16string*>{&a}, values);
  fresh.Reset();
  EXPECT_EQ(fresh.Find(u"schema_name"), nullptr);
  EXPECT_EQ(fresh.GetNumber(u"schema_name"), 0);
  // A copy looks up in its own entries.
  row({&a}, {COleVariant(u"one")});
  EXPECT_EQ(record.GetText(u"schema_name"), u"one");
  CommonDataObject copy(record);
  row({&a}, {COleVariant(u"two")});
  EXPECT_EQ(copy.GetText(u"schema_name"), u"one");
  EXPECT_EQ(record.GetText(u"schema_name"), u"two");
  row({}, {});  // a row of NULLs only
  EXPECT_TRUE(record.Iterator() == record.End());
}

}  // namespace
}  // namespace qm::test::reader

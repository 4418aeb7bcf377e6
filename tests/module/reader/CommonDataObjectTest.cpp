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

// The fetch loop's way: the names once per result, then row after row
// of values where VT_EMPTY (a NULL column) leaves the name out of the row.
TEST(CommonDataObjectTest, RowsOfOneResultShowOnlyTheirValuedNames) {
  const std::u16string a = u"column_name", b = u"default_value", c = u"type_name";
  CommonDataObject record;
  const std::uint64_t layout = record.SetRowNames(std::vector<const std::u16string*>{&a, &b, &c});
  EXPECT_EQ(record.Size(), 0u);
  EXPECT_TRUE(record.Iterator() == record.End());
  std::vector<COleVariant> row{COleVariant(u"id"), COleVariant(), COleVariant(u"int")};
  record.ReplaceRow(row);
  EXPECT_EQ(NamesOf(record), (Names{a, c}));
  EXPECT_EQ(record.Size(), 2u);
  EXPECT_EQ(record.Find(u"default_value"), nullptr);
  EXPECT_EQ(record.GetText(u"type_name"), u"int");
  row = {COleVariant(u"qty"), Int(0), COleVariant()};
  record.ReplaceRow(row);
  EXPECT_EQ(NamesOf(record), (Names{a, b}));
  // The lookups in the last row's order meet the names that went and came.
  EXPECT_EQ(record.Find(u"default_value")->vt, VT_I4);
  EXPECT_EQ(record.GetText(u"type_name"), u"");
  EXPECT_FALSE(record.Has(u"type_name"));
  EXPECT_EQ(record.Get(u"column_name").vt, VT_BSTR);
  EXPECT_EQ(record.GetString(u"column_name"), CString(u"qty"));
  EXPECT_EQ(record.RowLayout(), layout);
  // A copy holds the row's entries only, and is as it was after the next row.
  const CommonDataObject copy(record);
  row = {COleVariant(), COleVariant(), COleVariant()};
  record.ReplaceRow(row);
  EXPECT_EQ(record.Size(), 0u);
  EXPECT_TRUE(record.Iterator() == record.End());
  EXPECT_EQ(NamesOf(copy), (Names{a, b}));
  EXPECT_EQ(copy.GetNumber(u"default_value"), 0);
  EXPECT_EQ(copy.GetText(u"column_name"), u"qty");
  // A row kept for later: its values taken out under the places, the NULL
  // column's included, and given back to a record laid out from them.
  row = {COleVariant(u"qty"), COleVariant(), COleVariant(u"bigint")};
  record.ReplaceRow(row);
  std::vector<COleVariant> kept(record.Places());
  record.ReplaceRow(kept);
  EXPECT_EQ(record.Size(), 0u);
  ASSERT_EQ(record.Places(), 3u);
  std::vector<std::u16string> places;
  for (std::size_t place = 0; place < record.Places(); ++place) places.push_back(record.PlaceName(place));
  EXPECT_EQ(places, (Names{a, b, c}));
  EXPECT_EQ(kept[1].vt, VT_EMPTY);
  CommonDataObject later;
  later.SetRowNames(std::vector<const std::u16string*>{&places[0], &places[1], &places[2]});
  later.ReplaceRow(kept);
  EXPECT_EQ(NamesOf(later), (Names{a, c}));
  EXPECT_EQ(later.GetText(u"type_name"), u"bigint");
  // A name of its own added by a row action changes the places.
  record.Set(u"extra", Int(5));
  EXPECT_NE(record.RowLayout(), layout);
  EXPECT_EQ(NamesOf(record), (Names{u"extra"}));
}

}  // namespace
}  // namespace qm::test::reader

// The model's property ownership, its JSON writer's own edges, and which
// texts the vocabulary takes for the enum-like text properties.
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Deletions are the sanitizer build's to check (a leak or a double delete).
TEST(GenericModelTest, ReplacingAPropertyKeepsItsPlace) {
  GenericModel model;
  CMOObject& table = model.CreateObject(model::Table);
  EXPECT_TRUE(table.SetProperty(new CMOProperty(model::Name)));
  EXPECT_TRUE(table.SetProperty(new CMOProperty(model::Comment)));
  auto* name = new CMOProperty(model::Name);
  name->SetWStringValue(u"orders_2024");
  EXPECT_TRUE(table.SetProperty(name));
  // Attaching the held property again must neither delete nor duplicate it.
  EXPECT_TRUE(table.SetProperty(name));
  EXPECT_FALSE(table.SetProperty(nullptr));
  ASSERT_EQ(table.GetProperties().size(), 2u);
  EXPECT_EQ(table.GetProperties()[0].get(), name);  // in the place of the first name
  EXPECT_EQ(table.GetProperty(model::Name)->GetWStringValue(), u"orders_2024");
}

// Each setter replaces the value whatever kind it had; a value set from the
// property's own view and copies keep their own storage.
TEST(GenericModelTest, PropertyValuesReplaceEachOther) {
  CMOProperty p(model::Name);
  EXPECT_EQ(p.GetValueKind(), CMOProperty::ValueKind::None);
  p.SetWStringValue(u"a column name longer than any inline room");
  p.SetWStringValue(p.WStringRef().substr(2, 6));  // from its own text
  EXPECT_EQ(p.GetWStringValue(), u"column");
  p.SetObjectIdVectorValue({7, 3, 5});
  EXPECT_EQ(p.GetWStringValue(), u"");
  EXPECT_EQ(p.GetObjectIdVectorValue(), (std::vector<int>{7, 3, 5}));
  CMOProperty copy(p);
  p.SetIntegerValue(-5'000'000'000LL);
  EXPECT_EQ(p.GetIntegerValue(), -5'000'000'000LL);
  EXPECT_TRUE(p.GetObjectIdVectorValue().empty());
  EXPECT_EQ(copy.GetObjectIdVectorValue(), (std::vector<int>{7, 3, 5}));
  copy = p;
  EXPECT_EQ(copy.GetIntegerValue(), -5'000'000'000LL);
  // Ids assigned over a text, to itself, and an empty value over ids.
  CMOProperty text(model::Comment);
  text.SetWStringValue(u"a comment longer than any inline room");
  CMOProperty ids(model::Name);
  ids.SetObjectIdVectorValue({1, 2});
  text = ids;
  EXPECT_EQ(text.GetPropertyId(), model::Name);
  EXPECT_EQ(text.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
  const CMOProperty& same = text;
  text = same;
  EXPECT_EQ(text.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
  text = CMOProperty(model::Name);
  EXPECT_EQ(text.GetValueKind(), CMOProperty::ValueKind::None);
  EXPECT_EQ(ids.GetObjectIdVectorValue(), (std::vector<int>{1, 2}));
}

// (Each value kind's exact text is JsonReaderTest's to check.)
TEST(ModelJsonTest, TextIsValidJsonAndTheStreamGetsTheSameText) {
  GenericModel model{5};
  auto* broken = new CMOProperty(model::Name);
  broken->SetWStringValue(std::u16string(u"a") + char16_t(0xD800) + u"b");  // an unpaired surrogate
  model.CreateObject(model::Table).SetProperty(broken);
  // Enough objects that the writer hands the text on in several blocks.
  for (int i = 0; i < 3000; ++i) {
    auto* name = new CMOProperty(model::Name);
    name->SetWStringValue(u"s" + std::u16string(40, u'x'));
    model.CreateObject(model::Schema).SetProperty(name);
  }
  // Nested deeper than the levels whose texts the writer keeps.
  int parent = 1;
  for (int i = 0; i < 50; ++i) {
    CMOObject& nested = model.CreateObject(model::Schema, parent);
    auto* name = new CMOProperty(model::Name);
    std::u16string text(static_cast<std::size_t>(i) + 1, u'y');
    text[0] = u'n';
    name->SetWStringValue(text);
    nested.SetProperty(name);
    auto* ids = new CMOProperty(model::KeyColumns);
    ids->SetObjectIdVectorValue({parent, i});
    nested.SetProperty(ids);
    parent = nested.GetObjectId();
  }
  for (int indent : {-1, 2}) {
    std::ostringstream out;
    model::WriteJson(model, out, indent);
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.str(), model::WriteJson(model, indent));
    EXPECT_EQ(nlohmann::ordered_json::parse(out.str()).dump(indent), out.str()) << "indent " << indent;
  }
  const auto table = nlohmann::ordered_json::parse(model::WriteJson(model))["children"][0];
  EXPECT_EQ(table["properties"]["name"], "a\uFFFDb");
}

// Plain ASCII is copied four units at a time: a unit that needs more (an
// escape, UTF-8, a replaced lone surrogate) at every place of a block and
// of the tail after the last block, between plain units whose order shows.
TEST(ModelJsonTest, EveryUnitIsWrittenWhereverItStandsInTheText) {
  struct Case {
    std::u16string unit;   // what stands at the place
    std::string utf8;      // what the parsed text holds there
  };
  std::vector<Case> cases = {
      {u"\"", "\""}, {u"\\", "\\"}, {u"\u007f", "\x7f"}, {u"\u0080", "\xc2\x80"}, {u"\u00e9", "\xc3\xa9"},
      {u"\u2028", "\xe2\x80\xa8"}, {u"\u2029", "\xe2\x80\xa9"}, {u"\ufeff", "\xef\xbb\xbf"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::u16string(1, char16_t(0xD800)), "\xef\xbf\xbd"},  // lone surrogates: U+FFFD
      {std::u16string(1, char16_t(0xDC00)), "\xef\xbf\xbd"},
      {u"\u00e9\u2028", "\xc3\xa9\xe2\x80\xa8"},  // a run of non-ASCII
      {u"\"\\", "\"\\"},                          // two escapes in a row
  };
  for (char16_t c = 0; c < 0x20; ++c) cases.push_back({std::u16string(1, c), std::string(1, static_cast<char>(c))});
  const std::u16string plain = u"0123456789abcdefghij";
  for (const Case& c : cases) {
    for (std::size_t length = 0; length <= 11; ++length) {
      for (std::size_t at = 0; at <= length; ++at) {
        const std::u16string text = plain.substr(0, at) + c.unit + plain.substr(at, length - at);
        const std::string expected = std::string(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(at)) +
                                     c.utf8 +
                                     std::string(plain.begin() + static_cast<std::ptrdiff_t>(at),
                                                 plain.begin() + static_cast<std::ptrdiff_t>(length));
        GenericModel model;
        auto* name = new CMOProperty(model::Name);
        name->SetWStringValue(text);
        model.CreateObject(model::Table).SetProperty(name);
        const std::string json = model::WriteJson(model, -1);
        const auto parsed = nlohmann::ordered_json::parse(json);
        SCOPED_TRACE("case " + std::to_string(&c - cases.data()) + ", " + std::to_string(at) + " of " +
                     std::to_string(length));
        EXPECT_EQ(parsed["children"][0]["properties"]["name"], expected);
        EXPECT_EQ(parsed.dump(-1), json);  // escaped exactly as the JSON library escapes
      }
    }
  }
  // Plain text of every length up to two blocks and a tail, unchanged.
  for (std::size_t length = 0; length <= plain.size(); ++length) {
    GenericModel model;
    auto* name = new CMOProperty(model::Name);
    name->SetWStringValue(plain.substr(0, length));
    model.CreateObject(model::Table).SetProperty(name);
    EXPECT_EQ(nlohmann::ordered_json::parse(model::WriteJson(model, -1))["children"][0]["properties"]["name"],
              std::string(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(length)));
  }
}

TEST(ModelJsonTest, DeepChainIsWrittenWithoutRecursion) {
  // Far deeper than any stack would allow a recursive writer.
  constexpr int kDepth = 200000;
  GenericModel model;
  int parent = 1;
  for (int i = 0; i < kDepth; ++i) parent = model.CreateObject(model::Schema, parent).GetObjectId();
  const std::string text = model::WriteJson(model, -1);
  // The innermost object, then every ancestor closed in turn.
  std::string tail = "{\"id\":" + std::to_string(kDepth + 1) + ",\"type\":\"schema\",\"properties\":{},\"children\":[]}";
  for (int i = 0; i < kDepth; ++i) tail += "]}";
  EXPECT_TRUE(text.ends_with(tail));
  EXPECT_TRUE(text.starts_with("{\"id\":1,\"type\":\"model\",\"properties\":{},\"children\":[{\"id\":2,"));
}

// (That each listed word is taken is SoundModel's to check.)
TEST(ModelVocabularyTest, TakesTheListedWordsOnlyAsSpelt) {
  struct Case {
    int objectType;
    int propertyId;
    std::u16string_view value;
    bool allowed;
  };
  using namespace model;
  const Case cases[] = {
      {Table, TableKind, u"table", true},
      {Table, TableKind, u"TABLE", false},  // case matters
      {ForeignKey, OnUpdate, u"no action", false},
      {View, CheckOption, u"NONE", false},  // no check option: the property is left out
      {Column, KeyType, u"UNIQUE", false},  // an enum-like property where it takes no words
      // Free text: anything goes.
      {Table, Name, u"TABLE", true},
      {Column, DataType, u"", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsAllowedValue(c.objectType, c.propertyId, c.value), c.allowed)
        << PropertyName(c.propertyId) << " = \"" << std::string(c.value.begin(), c.value.end()) << "\"";
    const std::string utf8(c.value.begin(), c.value.end());
    EXPECT_EQ(IsAllowedValue(c.objectType, c.propertyId, std::string_view(utf8)), c.allowed) << utf8;
  }
}

TEST(ModelVocabularyTest, TriggerEventsAreEventWordsJoinedByOr) {
  const std::pair<std::u16string_view, bool> cases[] = {
      {u"INSERT", true},
      {u"INSERT OR DELETE OR UPDATE OR TRUNCATE", true},
      {u"UPDATE OF a, b", true},
      {u"INSERT OR UPDATE OF \"x OR y\", b OR TRUNCATE", true},  // the column list is the database's text
      {u"", false},
      {u"INSERT OR INSERT", false},
      {u"INSERT,DELETE", false},
      {u"UPDATE OF ", false},
      {u"INSERT OF a", false},  // only UPDATE names columns
  };
  for (const auto& [value, allowed] : cases)
    EXPECT_EQ(model::IsAllowedValue(model::Trigger, model::TriggerEvents, value), allowed)
        << std::string(value.begin(), value.end());
}

}  // namespace

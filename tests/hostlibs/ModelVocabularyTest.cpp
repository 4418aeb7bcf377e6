// Which texts the vocabulary takes for the enum-like text properties.
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace model {
namespace {

TEST(ModelVocabularyTest, TakesTheListedWordsOnlyAsSpelt) {
  struct Case {
    int objectType;
    int propertyId;
    std::u16string_view value;
    bool allowed;
  };
  const Case cases[] = {
      {Table, TableKind, u"table", true},
      {Table, TableKind, u"TABLE", false},  // case matters
      {Table, TableKind, u"view", false},   // a view's word, not a table's
      {View, TableKind, u"materialized view", true},
      {ForeignKey, OnUpdate, u"SET NULL", true},
      {ForeignKey, OnUpdate, u"no action", false},
      {ForeignKey, MatchType, u"NONE", false},
      {Key, IndexMethod, u"fulltext", true},
      {View, CheckOption, u"NONE", false},  // no check option: the property is left out
      {Trigger, TriggerTiming, u"INSTEAD OF", true},
      {Trigger, TriggerTiming, u"INSTEAD", false},
      {Column, Identity, u"BY DEFAULT", true},
      {Column, KeyType, u"UNIQUE", false},  // an enum-like property where it takes no words
      {Table, TableKind, u"", false},
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
      {u"DELETE OR INSERT", true},
      {u"UPDATE OF a, b", true},
      {u"INSERT OR UPDATE OF \"x OR y\", b OR TRUNCATE", true},  // the column list is the database's text
      {u"", false},
      {u"INSERT OR INSERT", false},
      {u"INSERT OR", false},
      {u"INSERT,DELETE", false},
      {u"insert", false},
      {u"UPDATE OF ", false},
      {u"INSERT OF a", false},  // only UPDATE names columns
      {u"SELECT", false},
  };
  for (const auto& [value, allowed] : cases)
    EXPECT_EQ(IsAllowedValue(Trigger, TriggerEvents, value), allowed) << std::string(value.begin(), value.end());
}

}  // namespace
}  // namespace model

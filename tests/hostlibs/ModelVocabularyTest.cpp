// The words of the enum-like text properties: what the vocabulary lists,
// and which texts it takes for them.
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace model {
namespace {

TEST(ModelVocabularyTest, EnumLikePropertiesListTheirWordsPerObjectType) {
  struct Case {
    int objectType;
    int propertyId;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {Table, TableKind, {"table", "partitioned table", "unlogged table", "virtual table", "system-versioned table"}},
      {Table, RowFormat, {"DYNAMIC", "COMPACT", "REDUNDANT", "COMPRESSED", "FIXED", "PAGE"}},
      {View, TableKind, {"view", "materialized view"}},
      {View, SecurityType, {"DEFINER", "INVOKER"}},
      {Routine, SecurityType, {"DEFINER", "INVOKER"}},
      {Key, IndexMethod, {"btree", "hash", "gist", "spgist", "gin", "brin", "fulltext", "spatial"}},
      {ForeignKey, OnDelete, {"NO ACTION", "RESTRICT", "CASCADE", "SET NULL", "SET DEFAULT"}},
      {ForeignKey, MatchType, {"SIMPLE", "FULL", "PARTIAL"}},
      {Trigger, TriggerEvents, {"INSERT", "DELETE", "UPDATE", "TRUNCATE"}},
      {Parameter, ParameterMode, {"IN", "OUT", "INOUT", "VARIADIC", "TABLE"}},
      // Not on that type, or not enum-like at all.
      {Column, TableKind, {}},
      {Column, SecurityType, {}},
      {Table, Engine, {}},  // free text: engines are the server's to add
      {Table, Name, {}},
      {Index, IndexColumns, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words;
    for (const char* word : AllowedValues(c.objectType, c.propertyId)) words.emplace_back(word);
    EXPECT_EQ(words, c.words) << PropertyName(c.propertyId) << " on " << ObjectTypeName(c.objectType);
  }
}

TEST(ModelVocabularyTest, EveryEnumLikePropertyHasANameAndWordsSomewhere) {
  int enumLike = 0;
  for (int id = 1; id <= 215; ++id) {
    if (!IsEnumLike(id)) continue;
    ++enumLike;
    EXPECT_NE(PropertyName(id), nullptr) << id;
    bool listed = false;
    for (int type = Model; type <= CheckConstraint; ++type) listed = listed || !AllowedValues(type, id).empty();
    EXPECT_TRUE(listed) << id;
  }
  EXPECT_EQ(enumLike, 16);
  EXPECT_STREQ(PropertyName(CheckOption), "checkOption");
}

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
      {Key, KeyType, u"PRIMARY KEY", true},
      {Key, KeyType, u"primary key", false},
      {ForeignKey, OnUpdate, u"SET NULL", true},
      {ForeignKey, OnUpdate, u"no action", false},
      {ForeignKey, MatchType, u"NONE", false},
      {Index, IndexMethod, u"btree", true},
      {Index, IndexMethod, u"BTREE", false},
      {Key, IndexMethod, u"fulltext", true},
      {Table, RowFormat, u"DYNAMIC", true},
      {Table, RowFormat, u"Dynamic", false},
      {View, CheckOption, u"NONE", false},  // no check option: the property is left out
      {Routine, SecurityType, u"INVOKER", true},
      {Trigger, TriggerTiming, u"INSTEAD OF", true},
      {Trigger, TriggerTiming, u"INSTEAD", false},
      {Routine, RoutineKind, u"window function", true},
      {Column, GeneratedKind, u"STORED", true},
      {Column, Identity, u"BY DEFAULT", true},
      {UserType, TypeKind, u"enum", true},
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

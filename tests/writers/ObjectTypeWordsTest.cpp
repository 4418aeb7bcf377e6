// Object types in words, as outlines and progress messages name them.
#include <writers/ObjectTypeWords.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

namespace writers {
namespace {

TEST(ObjectTypeWordsTest, NamesEveryTypeInWordsSingularAndPlural) {
  struct Case {
    int type;
    const char* one;
    const char* many;
  };
  const Case cases[] = {
      {model::Table, "table", "tables"},
      {model::ForeignKey, "foreign key", "foreign keys"},
      {model::Index, "index", "indexes"},
      {model::CheckConstraint, "check constraint", "check constraints"},
      {model::TableSpace, "table space", "table spaces"},
      {model::UserType, "user type", "user types"},
      {model::Schema, "schema", "schemas"},
      {999, "object of type 999", "objects of type 999"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ObjectTypeWords(c.type, false), c.one);
    EXPECT_EQ(ObjectTypeWords(c.type, true), c.many);
  }
}

}  // namespace
}  // namespace writers

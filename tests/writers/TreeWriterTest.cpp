// The tree format on models built in memory: names and texts that would
// act on a terminal shown escaped, and the table kinds an outline leaves
// out. (The outline of every kind of object: OutputFormatsTest's expected
// files.)
#include "ExpectedFile.h"
#include "TestModel.h"

#include <writers/TreeWriter.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;

std::string Tree(const GenericModel& model) {
  std::ostringstream out;
  TreeWriter().Write(model, out, WriteOptions{});
  return out.str();
}

// Names and texts holding line breaks, escape sequences, a direction
// override and invisible characters: each is shown escaped and such a name
// quoted, so no line is forged, nothing reaches the terminal as a command
// and nothing hides. Plain names of any script stay as they are.
TEST(TreeWriterTest, NamesAndTextsThatWouldActOnATerminalAreShownEscaped) {
  GenericModel model(1001);
  const int main = Add(model, Schema, 1, u"main").GetObjectId();
  CMOObject& forged = Add(model, Table, main, u"orders\n  table forged");
  SetText(Add(model, Column, forged.GetObjectId(), u"id"), DataType, u"INTEGER");
  CMOObject& title = Add(model, Column, forged.GetObjectId(), u"x\x1b]0;pwned\x07");
  SetText(title, DataType, u"TEXT");
  SetText(title, DefaultValue, u"'a\x1b[2Jb'");
  CMOObject& reversed = Add(model, Table, main, u"\u202Ecba");
  SetText(Add(model, Column, reversed.GetObjectId(), u"zero\u200Bwidth"), DataType, u"INTEGER");
  SetText(Add(model, Column, reversed.GetObjectId(), u"open\u00A0orders"), DataType, u"INTEGER");
  SetText(Add(model, Column, reversed.GetObjectId(), u"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b"), DataType,
          u"TEXT");
  CMOObject& index = Add(model, Index, reversed.GetObjectId(), u"ix");
  SetText(index, Predicate, u"path = 'C:\\new' AND x <> '\x1b[0m'");
  Add(model, View, main, u"v\uFEFF");
  Add(model, View, main, u"we\"ird");
  CMOObject& trigger = Add(model, Trigger, reversed.GetObjectId(), u"trg");
  SetText(trigger, TriggerEvents, u"INSERT\r\x1b[1A");

  qm::test::ExpectSameAsFile("writers/terminal.tree", Tree(model));
}

// An ordinary table is just "table"; other kinds are named, and so is a
// text that is not the vocabulary's word for an ordinary table.
TEST(TreeWriterTest, OnlyTablesThatAreNotOrdinaryShowTheirKind) {
  const std::pair<std::u16string, std::string> kinds[] = {
      {u"", "table t"},
      {u"table", "table t"},
      {u"unlogged table", "table t  (unlogged table)"},
      {u"partitioned table", "table t  (partitioned table)"},
      {u"virtual table", "table t  (virtual table)"},
      {u"TABLE", "table t  (TABLE)"},
  };
  for (const auto& [kind, line] : kinds) {
    GenericModel model(1001);
    CMOObject& table = Add(model, Table, Add(model, Schema, 1, u"main").GetObjectId(), u"t");
    if (!kind.empty()) SetText(table, TableKind, kind);
    EXPECT_EQ(Tree(model), "schema main\n  " + line + "\n");
  }
}

}  // namespace
}  // namespace writers::test

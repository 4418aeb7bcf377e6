// The tree format on models built in memory: the outline of every kind of
// object, names and texts that would act on a terminal shown escaped, and
// the table kinds an outline leaves out.
#include "TestModel.h"

#include <writers/TreeWriter.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace writers::test {
namespace {

using namespace model;

std::string Tree(const GenericModel& model) {
  std::ostringstream out;
  TreeWriter().Write(model, out, WriteOptions{});
  return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> lines = Lines(text);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Kinds in a fixed order, each in creation order; columns aligned, with
// what is not the default; keys, checks, indexes and foreign keys with
// their columns (a table of another schema named with its schema, a table
// known only through its key found through it, an unknown one shown as
// "?"); routines with their parameters; an unknown type in words.
TEST(TreeWriterTest, OutlinesEveryKindOfObject) {
  GenericModel model(1001);
  BuildShopModel(model);
  EXPECT_EQ(Tree(model),
            "database shop on db.example\n"
            "schema sales\n"
            "  user type mood\n"
            "  sequence order_seq  start 1000  increment 5\n"
            "  table customers\n"
            "    columns\n"
            "      id        INTEGER       NOT NULL  PK 1\n"
            "      \"e-mail\"  TEXT          NOT NULL  COLLATE NOCASE\n"
            "      note      VARCHAR(200)  DEFAULT 'none'\n"
            "    primary key pk_customers (id)\n"
            "    unique uq_email (\"e-mail\")\n"
            "    check ck_email (\"e-mail\" LIKE '%@%')\n"
            "    index ix_customers_note (note)  using hash  include (\"e-mail\")  where note IS NOT NULL AND note <> ''\n"
            "  table orders\n"
            "    columns\n"
            "      id           BIGINT         NOT NULL  IDENTITY ALWAYS  PK 1\n"
            "      customer_id  INTEGER\n"
            "      total        NUMERIC(10,2)  NOT NULL  DEFAULT 0 + 0\n"
            "      tax          NUMERIC(10,2)  GENERATED AS (total * 0.2)\n"
            "    primary key (id)\n"
            "    foreign key fk_orders_customer (customer_id) \u2192 customers (id)  ON DELETE CASCADE  DEFERRABLE "
            "INITIALLY DEFERRED\n"
            "    index ux_orders_total (customer_id, round(total))  unique\n"
            "    partition orders_2024\n"
            "    trigger trg_orders  BEFORE INSERT OR UPDATE\n"
            "  table events  (partitioned table)\n"
            "    columns\n"
            "      at  TIMESTAMP\n"
            "  view \"open orders\"\n"
            "  function order_total(p_id integer, p_tax boolean) returns numeric\n"
            "  procedure log_it()\n"
            "    parameter msg  text\n"
            "schema audit\n"
            "  table log\n"
            "    columns\n"
            "      ref  INTEGER\n"
            "    foreign key (ref) \u2192 sales.orders (id)\n"
            "    foreign key fk_by_key (ref) \u2192 sales.customers  ON DELETE SET NULL\n"
            "    foreign key fk_nowhere (ref) \u2192 ?  DEFERRABLE\n"
            "  object of type 999 thing  blob\n"
            "table space fast\n");
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

  const std::string tree = Tree(model);
  for (const std::string line : {
           "  table \"orders\\n  table forged\"",
           "      \"x\\x1b]0;pwned\\x07\"  TEXT     DEFAULT 'a\\x1b[2Jb'",
           "  table \"\\u202ecba\"",
           "      \"zero\\u200bwidth\"   INTEGER",
           "      \"open\\u00a0orders\"  INTEGER",
           "      \"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b\"     TEXT",
           "    index ix ()  where path = 'C:\\\\new' AND x <> '\\x1b[0m'",
           "    trigger trg  INSERT\\r\\x1b[1A",
           "  view \"v\\ufeff\"",
           "  view \"we\"\"ird\"",
       })
    EXPECT_TRUE(HasLine(tree, line)) << line << "\n" << tree;
  for (const std::string& line : Lines(tree)) EXPECT_NE(line.rfind("  table forged", 0), 0u) << "a forged line";
  EXPECT_EQ(std::count_if(tree.begin(), tree.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\n'; }),
            0)
      << "control characters in the tree";
  for (const char* invisible : {"\u202E", "\u200B", "\uFEFF", "\u00A0"})
    EXPECT_EQ(tree.find(invisible), std::string::npos) << tree;
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

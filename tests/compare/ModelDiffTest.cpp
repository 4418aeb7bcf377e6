// The differ on models built in memory: objects matched by kind, parent
// and name whatever their ids; references compared by what they name;
// overloaded routines, parameters and unnamed checks told apart; and the
// two printed forms, the one for people escaped as the tree format is.
#include <ExpectedFile.h>
#include <TestModel.h>

#include <compare/DiffOutput.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace compare::test {
namespace {

using namespace model;
using namespace writers::test;

std::string Text(const ModelDifference& difference) {
  std::ostringstream out;
  WriteDifferenceText(difference, out);
  return out.str();
}

std::string Json(const ModelDifference& difference) {
  std::ostringstream out;
  WriteDifferenceJson(difference, out);
  return out.str();
}

// A small schema: a table with two columns and a key on the first, made
// in the order given (so that two builds give the objects other ids).
void BuildOrders(GenericModel& model, bool columnsFirst, const std::u16string& keyColumn = u"id") {
  const int shop = Add(model, Schema, 1, u"shop").GetObjectId();
  if (!columnsFirst) Add(model, Sequence, shop, u"counter");
  CMOObject& orders = Add(model, Table, shop, u"orders");
  CMOObject& id = Add(model, Column, orders.GetObjectId(), u"id");
  SetText(id, DataType, u"integer");
  CMOObject& total = Add(model, Column, orders.GetObjectId(), u"total");
  SetText(total, DataType, u"numeric");
  CMOObject& key = Add(model, Key, orders.GetObjectId(), u"orders_pkey");
  SetText(key, KeyType, u"PRIMARY KEY");
  SetIds(key, KeyColumns, {keyColumn == u"id" ? id.GetObjectId() : total.GetObjectId()});
  if (columnsFirst) Add(model, Sequence, shop, u"counter");
}

TEST(ModelDiffTest, ObjectsAreMatchedByKindParentAndNameNotById) {
  GenericModel before, after;
  BuildOrders(before, true);
  BuildOrders(after, false);
  // Same objects, other ids; the root's names say where each was read.
  SetText(*before.GetCMOObject(), DatabaseName, u"prod");
  SetText(*after.GetCMOObject(), DatabaseName, u"test");
  const ModelDifference difference = DiffModels(before, after);
  EXPECT_TRUE(difference.Empty()) << Text(difference);
  EXPECT_EQ(Text(difference), "no differences\n");
}

TEST(ModelDiffTest, ChangesAdditionsAndRemovalsAreListed) {
  GenericModel before, after;
  BuildOrders(before, true);
  BuildOrders(after, true, u"total");
  CMOObject* total = after.GetCMOObject(5);
  SetText(*total, DataType, u"numeric(10,2)");
  SetInteger(*total, Nullable, 0);
  CMOObject& log = Add(after, Table, 2, u"log");
  SetText(log, TableKind, u"unlogged table");
  Add(after, Column, log.GetObjectId(), u"a");
  Add(after, Column, log.GetObjectId(), u"b");
  SetText(Add(before, View, 2, u"old view"), Definition, u"SELECT 1");

  const ModelDifference difference = DiffModels(before, after);
  qm::test::ExpectSameAsFile("compare/changes.txt", Text(difference));
  // -q: the summary alone, and nothing when the models agree.
  std::ostringstream summary;
  WriteDifferenceText(difference, summary, {.summaryOnly = true});
  EXPECT_EQ(summary.str(), "4 objects differ: 1 added, 1 removed, 2 changed\n");
  std::ostringstream none;
  WriteDifferenceText(DiffModels(after, after), none, {.summaryOnly = true});
  EXPECT_EQ(none.str(), "");
}

// Two routines of one name are two objects, told apart by their argument
// types; parameters by their position, as they may have no name; checks
// without a name by their expression; siblings still alike by their order.
void BuildOverloads(GenericModel& model, bool swapped) {
  const int shop = Add(model, Schema, 1, u"shop").GetObjectId();
  for (int i = 0; i < 2; ++i) {
    const bool text = (i == 0) != swapped;
    CMOObject& routine = Add(model, Routine, shop, u"f");
    SetText(routine, Language, text ? u"sql" : u"plpgsql");
    CMOObject& first = model.CreateObject(Parameter, routine.GetObjectId());
    SetText(first, DataType, text ? u"text" : u"integer");
    SetInteger(first, Position, 1);
    CMOObject& second = Add(model, Parameter, routine.GetObjectId(), swapped ? u"renamed" : u"flag");
    SetText(second, DataType, u"boolean");
    SetText(second, ParameterMode, u"out");  // not an argument: no part of the key
    SetInteger(second, Position, 2);
  }
  CMOObject& table = Add(model, Table, shop, u"t");
  SetText(model.CreateObject(CheckConstraint, table.GetObjectId()), CheckExpression, swapped ? u"b > 0" : u"a > 0");
  SetText(model.CreateObject(CheckConstraint, table.GetObjectId()), CheckExpression, swapped ? u"a > 0" : u"b > 0");
  Add(model, Index, table.GetObjectId(), u"dup");
  Add(model, Index, table.GetObjectId(), u"dup");
}

// References name objects by path: a foreign key to another schema's
// table, and one whose target the model does not hold.
void BuildReferences(GenericModel& model, bool toB) {
  const int a = Add(model, Schema, 1, u"a").GetObjectId();
  const int b = Add(model, Schema, 1, u"b").GetObjectId();
  const int t1 = Add(model, Table, a, u"t").GetObjectId();
  const int t2 = Add(model, Table, b, u"t").GetObjectId();
  SetIds(Add(model, ForeignKey, t1, u"fk"), ReferencedTable, {toB ? t2 : t1});
  SetIds(Add(model, ForeignKey, t1, u"dangling"), ReferencedTable, {999});
}

// Names and texts that would act on a terminal are shown as escapes; a
// long text is a line diff, never cut: its changed lines whole, two
// unchanged lines around each change, the others counted.
void BuildEscaped(GenericModel& model, bool fromB) {
  const int s = Add(model, Schema, 1, u"s\n~ table forged").GetObjectId();
  CMOObject& view = Add(model, View, s, u"v\x1b[2J");
  SetText(view, Definition, u"SELECT " + std::u16string(120, u'x') + u",\n b,\n c,\n d,\n e\n FROM " +
                                (fromB ? u"b" : u"a") + u"\n WHERE\x1b[2J 1\n");
}

TEST(ModelDiffTest, OverloadsReferencesAndEscapesAreAsExpected) {
  const std::pair<const char*, void (*)(GenericModel&, bool)> cases[] = {
      {"overloads", BuildOverloads}, {"references", BuildReferences}, {"escaped", BuildEscaped}};
  for (const auto& [file, build] : cases) {
    GenericModel before, after;
    build(before, false);
    build(after, true);
    qm::test::ExpectSameAsFile(std::string("compare/") + file + ".txt", Text(DiffModels(before, after)));
  }
}

// Added and removed objects come with their definition; what a
// constraint's text restates of its parts is said once; flags and the
// vocabulary's words read as words.
TEST(ModelDiffTest, DefinitionsAreShownAndNothingIsSaidTwice) {
  auto build = [](GenericModel& model, bool changed) {
    const int shop = Add(model, Schema, 1, u"shop").GetObjectId();
    CMOObject& users = Add(model, Table, shop, u"users");
    CMOObject& id = Add(model, Column, users.GetObjectId(), u"id");
    CMOObject& orders = Add(model, Table, shop, u"orders");
    SetText(orders, SqlText, changed ? u"CREATE TABLE orders (customer INTEGER, note TEXT)" : u"CREATE TABLE orders (customer INTEGER)");
    CMOObject& customer = Add(model, Column, orders.GetObjectId(), u"customer");
    if (changed) {
      CMOObject& note = Add(model, Column, orders.GetObjectId(), u"note");
      SetText(note, DataType, u"varchar(20)");
      SetInteger(note, Nullable, 1);
      SetText(note, DefaultValue, u"'none'::character varying");
    }
    CMOObject& fk = Add(model, ForeignKey, orders.GetObjectId(), u"orders_customer_fk");
    SetIds(fk, ForeignKeyColumns, {customer.GetObjectId()});
    SetIds(fk, ReferencedTable, {users.GetObjectId()});
    SetIds(fk, ReferencedColumns, {id.GetObjectId()});
    SetText(fk, OnDelete, changed ? u"CASCADE" : u"NO ACTION");
    SetInteger(fk, Deferrable, changed ? 1 : 0);
    SetText(fk, Definition, changed ? u"FOREIGN KEY (customer) REFERENCES users(id) ON DELETE CASCADE DEFERRABLE"
                                    : u"FOREIGN KEY (customer) REFERENCES users(id)");
    CMOObject& check = Add(model, CheckConstraint, orders.GetObjectId(), u"ck");
    SetText(check, CheckExpression, changed ? u"customer > 1" : u"customer > 0");
    SetText(check, Definition, changed ? u"CHECK (customer > 1)" : u"CHECK (customer > 0)");
    if (!changed) {
      CMOObject& gone = Add(model, ForeignKey, orders.GetObjectId(), u"gone");
      SetIds(gone, ForeignKeyColumns, {customer.GetObjectId()});
      SetIds(gone, ReferencedTable, {users.GetObjectId()});
      SetText(gone, OnUpdate, u"SET NULL");
      SetText(gone, Definition, u"FOREIGN KEY (customer) REFERENCES users ON UPDATE SET NULL");
    }
  };
  GenericModel before, after;
  build(before, false);
  build(after, true);
  const ModelDifference difference = DiffModels(before, after);
  qm::test::ExpectSameAsFile("compare/definitions.txt", Text(difference));
  // Programs get every property, the restated ones marked; the table,
  // changed only by its CREATE text, is neither listed nor counted.
  qm::test::ExpectSameAsFile("compare/definitions.json", Json(difference));
}

// Added objects with their path, properties and descendants counted by
// type; removed ones; nothing but the counts when the models agree.
TEST(ModelDiffTest, TheJsonForProgramsHasEveryChangeWithItsValues) {
  GenericModel before, after;
  BuildShopModel(before);
  BuildOrders(after, true);
  qm::test::ExpectSameAsFile("compare/shop.json", Json(DiffModels(before, after)));
  EXPECT_EQ(nlohmann::json::parse(Json(DiffModels(after, after))),
            nlohmann::json::parse(R"({"equal": true, "added": 0, "removed": 0, "changed": 0, "objects": []})"));
}

}  // namespace
}  // namespace compare::test

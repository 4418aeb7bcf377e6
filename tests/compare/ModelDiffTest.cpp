// The differ on models built in memory: matching, comparison and the two
// printed forms (the one for people escaped as the tree format is).
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

// A table with two columns and a key on one, made in the order given (so
// that two builds give the objects other ids).
void BuildOrders(GenericModel& model, bool columnsFirst, const std::u16string& keyColumn = u"id") {
  const int shop = Add(model, Schema, 1, u"shop").GetObjectId();
  if (!columnsFirst) Add(model, Sequence, shop, u"counter");
  const int orders = Add(model, Table, shop, u"orders").GetObjectId();
  const int id = AddColumn(model, orders, u"id", u"integer").GetObjectId();
  const int total = AddColumn(model, orders, u"total", u"numeric").GetObjectId();
  AddKey(model, orders, u"orders_pkey", u"PRIMARY KEY", {keyColumn == u"id" ? id : total});
  if (columnsFirst) Add(model, Sequence, shop, u"counter");
}

TEST(ModelDiffTest, ObjectsAreMatchedByKindParentAndNameNotById) {
  GenericModel before, after;
  BuildOrders(before, true);
  BuildOrders(after, false);
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

  qm::test::ExpectSameAsFile("compare/changes.txt", Text(DiffModels(before, after)));
}

// Overloads told apart by their argument types, parameters by position,
// unnamed checks by their expression, siblings still alike by their order.
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

// References by path: to another schema's table, and to none held.
void BuildReferences(GenericModel& model, bool toB) {
  const int a = Add(model, Schema, 1, u"a").GetObjectId();
  const int b = Add(model, Schema, 1, u"b").GetObjectId();
  const int t1 = Add(model, Table, a, u"t").GetObjectId();
  const int t2 = Add(model, Table, b, u"t").GetObjectId();
  SetIds(Add(model, ForeignKey, t1, u"fk"), ReferencedTable, {toB ? t2 : t1});
  SetIds(Add(model, ForeignKey, t1, u"dangling"), ReferencedTable, {999});
}

// Names and texts that would act on a terminal are shown as escapes; a
// long text is a line diff, never cut, two unchanged lines around a change.
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

// Added and removed objects with their definition; what a constraint's
// text restates of its parts said once; flags and words read as words.
TEST(ModelDiffTest, DefinitionsAreShownAndNothingIsSaidTwice) {
  auto build = [](GenericModel& model, bool changed) {
    const int shop = Add(model, Schema, 1, u"shop").GetObjectId();
    const int users = Add(model, Table, shop, u"users").GetObjectId();
    const int id = Add(model, Column, users, u"id").GetObjectId();
    CMOObject& orders = Add(model, Table, shop, u"orders");
    SetText(orders, SqlText, changed ? u"CREATE TABLE orders (customer INTEGER, note TEXT)" : u"CREATE TABLE orders (customer INTEGER)");
    const int customer = Add(model, Column, orders.GetObjectId(), u"customer").GetObjectId();
    if (changed) {
      CMOObject& note = AddColumn(model, orders.GetObjectId(), u"note", u"varchar(20)");
      SetInteger(note, Nullable, 1);
      SetText(note, DefaultValue, u"'none'::character varying");
    }
    CMOObject& fk = AddForeignKey(model, orders.GetObjectId(), u"orders_customer_fk", {customer}, users, {id});
    SetText(fk, OnDelete, changed ? u"CASCADE" : u"NO ACTION");
    SetInteger(fk, Deferrable, changed ? 1 : 0);
    SetText(fk, Definition, changed ? u"FOREIGN KEY (customer) REFERENCES users(id) ON DELETE CASCADE DEFERRABLE"
                                    : u"FOREIGN KEY (customer) REFERENCES users(id)");
    CMOObject& check = Add(model, CheckConstraint, orders.GetObjectId(), u"ck");
    SetText(check, CheckExpression, changed ? u"customer > 1" : u"customer > 0");
    SetText(check, Definition, changed ? u"CHECK (customer > 1)" : u"CHECK (customer > 0)");
    if (!changed) {
      CMOObject& gone = AddForeignKey(model, orders.GetObjectId(), u"gone", {customer}, users, {});
      SetText(gone, OnUpdate, u"SET NULL");
      SetText(gone, Definition, u"FOREIGN KEY (customer) REFERENCES users ON UPDATE SET NULL");
    }
  };
  GenericModel before, after;
  build(before, false);
  build(after, true);
  const ModelDifference difference = DiffModels(before, after);
  qm::test::ExpectSameAsFile("compare/definitions.txt", Text(difference));
  // Every property, the restated ones marked; a table changed only in its
  // CREATE text neither listed nor counted.
  qm::test::ExpectSameAsFile("compare/definitions.json", Json(difference));
}

// Added and removed objects with path, properties and descendants by type.
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

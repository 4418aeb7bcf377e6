#include "TestModel.h"

#include <tillerhold/ModelVocabulary.h>

namespace writers::test {

using namespace model;

CMOObject& Add(GenericModel& model, int type, int parentId, const std::u16string& name) {
  CMOObject& object = model.CreateObject(type, parentId);
  if (!name.empty()) SetText(object, Name, name);
  return object;
}

void SetText(CMOObject& object, int propertyId, const std::u16string& value) {
  auto* property = new CMOProperty(propertyId);
  property->SetWStringValue(value);
  object.SetProperty(property);
}

void SetInteger(CMOObject& object, int propertyId, long long value) {
  auto* property = new CMOProperty(propertyId);
  property->SetIntegerValue(value);
  object.SetProperty(property);
}

void SetIds(CMOObject& object, int propertyId, std::vector<int> ids) {
  auto* property = new CMOProperty(propertyId);
  property->SetObjectIdVectorValue(std::move(ids));
  object.SetProperty(property);
}

CMOObject& AddColumn(GenericModel& model, int tableId, const std::u16string& name, const std::u16string& type) {
  CMOObject& column = Add(model, Column, tableId, name);
  SetText(column, DataType, type);
  return column;
}

CMOObject& AddKey(GenericModel& model, int tableId, const std::u16string& name, const std::u16string& type,
                  std::vector<int> columns) {
  CMOObject& key = Add(model, Key, tableId, name);
  SetText(key, KeyType, type);
  SetIds(key, KeyColumns, std::move(columns));
  return key;
}

CMOObject& AddForeignKey(GenericModel& model, int tableId, const std::u16string& name, std::vector<int> columns,
                         int referencedTable, std::vector<int> referencedColumns) {
  CMOObject& foreignKey = Add(model, ForeignKey, tableId, name);
  if (!columns.empty()) SetIds(foreignKey, ForeignKeyColumns, std::move(columns));
  if (referencedTable != 0) SetIds(foreignKey, ReferencedTable, {referencedTable});
  if (!referencedColumns.empty()) SetIds(foreignKey, ReferencedColumns, std::move(referencedColumns));
  return foreignKey;
}

namespace {

CMOObject& ShopColumn(GenericModel& model, CMOObject& table, const std::u16string& name,
                      const std::u16string& type, bool nullable, int position) {
  CMOObject& column = AddColumn(model, table.GetObjectId(), name, type);
  SetInteger(column, Nullable, nullable ? 1 : 0);
  SetInteger(column, Position, position);
  return column;
}

}  // namespace

void BuildShopModel(GenericModel& model) {
  CMOObject& root = *model.GetCMOObject();
  SetText(root, ServerName, u"db.example");
  SetText(root, DatabaseName, u"shop");

  CMOObject& sales = Add(model, Schema, 1, u"sales");
  CMOObject& audit = Add(model, Schema, 1, u"audit");
  CMOObject& fast = Add(model, TableSpace, 1, u"fast");

  CMOObject& mood = Add(model, UserType, sales.GetObjectId(), u"mood");
  SetText(mood, TypeKind, u"enum");
  SetText(mood, EnumLabels, u"happy,sad");
  CMOObject& sequence = Add(model, Sequence, sales.GetObjectId(), u"order_seq");
  SetInteger(sequence, SequenceStart, 1000);
  SetText(sequence, SequenceIncrement, u"5");  // a number held as text counts as one

  CMOObject& customers = Add(model, Table, sales.GetObjectId(), u"customers");
  const int customersId = customers.GetObjectId();
  SetIds(customers, TableSpaceRef, {fast.GetObjectId()});
  CMOObject& customerId = ShopColumn(model, customers, u"id", u"INTEGER", false, 1);
  SetInteger(customerId, PrimaryKeyPosition, 1);
  CMOObject& email = ShopColumn(model, customers, u"e-mail", u"TEXT", false, 2);
  SetText(email, Collation, u"NOCASE");
  CMOObject& note = ShopColumn(model, customers, u"note", u"VARCHAR(200)", true, 3);
  SetText(note, DefaultValue, u"'none'");
  SetText(note, Comment, u"free text");
  const int primary =
      AddKey(model, customersId, u"pk_customers", u"PRIMARY KEY", {customerId.GetObjectId()}).GetObjectId();
  AddKey(model, customersId, u"uq_email", u"UNIQUE", {email.GetObjectId()});
  SetText(Add(model, CheckConstraint, customersId, u"ck_email"), CheckExpression, u"\"e-mail\" LIKE '%@%'");
  CMOObject& noteIndex = Add(model, Index, customersId, u"ix_customers_note");
  SetIds(noteIndex, IndexColumns, {note.GetObjectId()});
  SetText(noteIndex, IndexMethod, u"hash");
  SetIds(noteIndex, IncludedColumns, {email.GetObjectId()});
  SetText(noteIndex, Predicate, u"note IS NOT NULL\n  AND note <> ''");
  SetIds(noteIndex, TableSpaceRef, {fast.GetObjectId()});

  CMOObject& orders = Add(model, Table, sales.GetObjectId(), u"orders");
  const int ordersId = orders.GetObjectId();
  SetText(orders, TableKind, u"table");
  CMOObject& orderId = ShopColumn(model, orders, u"id", u"BIGINT", false, 1);
  SetInteger(orderId, PrimaryKeyPosition, 1);
  SetText(orderId, Identity, u"ALWAYS");
  const int customer = ShopColumn(model, orders, u"customer_id", u"INTEGER", true, 2).GetObjectId();
  CMOObject& total = ShopColumn(model, orders, u"total", u"NUMERIC(10,2)", false, 3);
  SetText(total, DefaultValue, u"0\n\t+ 0");
  SetText(ShopColumn(model, orders, u"tax", u"NUMERIC(10,2)", true, 4), GeneratedExpression, u"total * 0.2");
  AddKey(model, ordersId, u"", u"PRIMARY KEY", {orderId.GetObjectId()});
  CMOObject& toCustomer =
      AddForeignKey(model, ordersId, u"fk_orders_customer", {customer}, customersId, {customerId.GetObjectId()});
  SetText(toCustomer, OnDelete, u"CASCADE");
  SetText(toCustomer, OnUpdate, u"NO ACTION");
  SetInteger(toCustomer, Deferrable, 1);
  SetInteger(toCustomer, InitiallyDeferred, 1);
  CMOObject& byTotal = Add(model, Index, ordersId, u"ux_orders_total");
  SetIds(byTotal, IndexColumns, {customer});
  SetText(byTotal, Expressions, u"round(total)");
  SetInteger(byTotal, IsUnique, 1);
  SetText(byTotal, IndexMethod, u"btree");
  CMOObject& trigger = Add(model, Trigger, ordersId, u"trg_orders");
  SetText(trigger, TriggerTiming, u"BEFORE");
  SetText(trigger, TriggerEvents, u"INSERT OR UPDATE");
  SetText(Add(model, Partition, ordersId, u"orders_2024"), PartitionBound, u"FOR VALUES FROM (2024) TO (2025)");

  CMOObject& events = Add(model, Table, sales.GetObjectId(), u"events");
  SetText(events, TableKind, u"partitioned table");
  ShopColumn(model, events, u"at", u"TIMESTAMP", true, 1);

  CMOObject& view = Add(model, View, sales.GetObjectId(), u"open orders");
  SetText(view, TableKind, u"view");
  SetText(view, Definition, u"SELECT * FROM orders");
  CMOObject& function = Add(model, Routine, sales.GetObjectId(), u"order_total");
  SetText(function, RoutineKind, u"function");
  SetText(function, ParameterList, u"p_id integer,\n  p_tax boolean");
  SetText(function, ReturnType, u"numeric");
  CMOObject& procedure = Add(model, Routine, sales.GetObjectId(), u"log_it");
  SetText(procedure, RoutineKind, u"procedure");
  CMOObject& message = Add(model, Parameter, procedure.GetObjectId(), u"msg");
  SetText(message, DataType, u"text");
  SetText(message, ParameterMode, u"IN");

  const int log = Add(model, Table, audit.GetObjectId(), u"log").GetObjectId();
  const int ref = ShopColumn(model, *model.GetCMOObject(log), u"ref", u"INTEGER", true, 1).GetObjectId();
  AddForeignKey(model, log, u"", {ref}, ordersId, {orderId.GetObjectId()});
  CMOObject& byKey = AddForeignKey(model, log, u"fk_by_key", {ref}, 0, {});
  SetIds(byKey, ReferencedKey, {primary});
  SetText(byKey, OnDelete, u"SET NULL");
  SetInteger(AddForeignKey(model, log, u"fk_nowhere", {ref}, 0, {}), Deferrable, 1);
  CMOObject& thing = Add(model, 999, audit.GetObjectId(), u"thing");
  SetText(thing, DataType, u"blob");
  model.GetCMOObject(thing.GetObjectId())->SetProperty(new CMOProperty(Comment));  // a property without a value
}

}  // namespace writers::test

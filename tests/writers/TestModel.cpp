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

namespace {

CMOObject& AddColumn(GenericModel& model, CMOObject& table, const std::u16string& name, const std::u16string& type,
                     bool nullable, int position) {
  CMOObject& column = Add(model, Column, table.GetObjectId(), name);
  SetText(column, DataType, type);
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
  SetIds(customers, TableSpaceRef, {fast.GetObjectId()});
  CMOObject& customerId = AddColumn(model, customers, u"id", u"INTEGER", false, 1);
  SetInteger(customerId, PrimaryKeyPosition, 1);
  CMOObject& email = AddColumn(model, customers, u"e-mail", u"TEXT", false, 2);
  SetText(email, Collation, u"NOCASE");
  CMOObject& note = AddColumn(model, customers, u"note", u"VARCHAR(200)", true, 3);
  SetText(note, DefaultValue, u"'none'");
  SetText(note, Comment, u"free text");
  CMOObject& primary = Add(model, Key, customers.GetObjectId(), u"pk_customers");
  SetText(primary, KeyType, u"PRIMARY KEY");
  SetIds(primary, KeyColumns, {customerId.GetObjectId()});
  CMOObject& unique = Add(model, Key, customers.GetObjectId(), u"uq_email");
  SetText(unique, KeyType, u"UNIQUE");
  SetIds(unique, KeyColumns, {email.GetObjectId()});
  CMOObject& check = Add(model, CheckConstraint, customers.GetObjectId(), u"ck_email");
  SetText(check, CheckExpression, u"\"e-mail\" LIKE '%@%'");
  CMOObject& noteIndex = Add(model, Index, customers.GetObjectId(), u"ix_customers_note");
  SetIds(noteIndex, IndexColumns, {note.GetObjectId()});
  SetText(noteIndex, IndexMethod, u"hash");
  SetIds(noteIndex, IncludedColumns, {email.GetObjectId()});
  SetText(noteIndex, Predicate, u"note IS NOT NULL\n  AND note <> ''");

  CMOObject& orders = Add(model, Table, sales.GetObjectId(), u"orders");
  SetText(orders, TableKind, u"table");
  CMOObject& orderId = AddColumn(model, orders, u"id", u"BIGINT", false, 1);
  SetInteger(orderId, PrimaryKeyPosition, 1);
  SetText(orderId, Identity, u"ALWAYS");
  CMOObject& customer = AddColumn(model, orders, u"customer_id", u"INTEGER", true, 2);
  CMOObject& total = AddColumn(model, orders, u"total", u"NUMERIC(10,2)", false, 3);
  SetText(total, DefaultValue, u"0\n\t+ 0");
  CMOObject& tax = AddColumn(model, orders, u"tax", u"NUMERIC(10,2)", true, 4);
  SetText(tax, GeneratedExpression, u"total * 0.2");
  CMOObject& orderKey = Add(model, Key, orders.GetObjectId(), u"");
  SetText(orderKey, KeyType, u"PRIMARY KEY");
  SetIds(orderKey, KeyColumns, {orderId.GetObjectId()});
  CMOObject& toCustomer = Add(model, ForeignKey, orders.GetObjectId(), u"fk_orders_customer");
  SetIds(toCustomer, ForeignKeyColumns, {customer.GetObjectId()});
  SetIds(toCustomer, ReferencedTable, {customers.GetObjectId()});
  SetIds(toCustomer, ReferencedColumns, {customerId.GetObjectId()});
  SetText(toCustomer, OnDelete, u"CASCADE");
  SetText(toCustomer, OnUpdate, u"NO ACTION");
  SetInteger(toCustomer, Deferrable, 1);
  SetInteger(toCustomer, InitiallyDeferred, 1);
  CMOObject& byTotal = Add(model, Index, orders.GetObjectId(), u"ux_orders_total");
  SetIds(byTotal, IndexColumns, {customer.GetObjectId()});
  SetText(byTotal, Expressions, u"round(total)");
  SetInteger(byTotal, IsUnique, 1);
  SetText(byTotal, IndexMethod, u"btree");
  CMOObject& trigger = Add(model, Trigger, orders.GetObjectId(), u"trg_orders");
  SetText(trigger, TriggerTiming, u"BEFORE");
  SetText(trigger, TriggerEvents, u"INSERT OR UPDATE");
  CMOObject& partition = Add(model, Partition, orders.GetObjectId(), u"orders_2024");
  SetText(partition, PartitionBound, u"FOR VALUES FROM (2024) TO (2025)");

  CMOObject& events = Add(model, Table, sales.GetObjectId(), u"events");
  SetText(events, TableKind, u"partitioned table");
  AddColumn(model, events, u"at", u"TIMESTAMP", true, 1);

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

  CMOObject& log = Add(model, Table, audit.GetObjectId(), u"log");
  CMOObject& ref = AddColumn(model, log, u"ref", u"INTEGER", true, 1);
  CMOObject& toOrders = Add(model, ForeignKey, log.GetObjectId(), u"");
  SetIds(toOrders, ForeignKeyColumns, {ref.GetObjectId()});
  SetIds(toOrders, ReferencedTable, {orders.GetObjectId()});
  SetIds(toOrders, ReferencedColumns, {orderId.GetObjectId()});
  CMOObject& byKey = Add(model, ForeignKey, log.GetObjectId(), u"fk_by_key");
  SetIds(byKey, ForeignKeyColumns, {ref.GetObjectId()});
  SetIds(byKey, ReferencedKey, {primary.GetObjectId()});
  SetText(byKey, OnDelete, u"SET NULL");
  CMOObject& nowhere = Add(model, ForeignKey, log.GetObjectId(), u"fk_nowhere");
  SetIds(nowhere, ForeignKeyColumns, {ref.GetObjectId()});
  SetInteger(nowhere, Deferrable, 1);
  CMOObject& thing = Add(model, 999, audit.GetObjectId(), u"thing");
  SetText(thing, DataType, u"blob");
  model.GetCMOObject(thing.GetObjectId())->SetProperty(new CMOProperty(Comment));  // a property without a value
}

}  // namespace writers::test

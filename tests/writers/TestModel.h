// Models built by hand for the writers' tests, without a database: every
// object type of the vocabulary and one it does not know, every kind of
// property value, references within and across schemas.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace writers::test {

// A small shop in two schemas (sales, audit) with a table space, a user
// type, a sequence, tables with columns, keys, checks, indexes, foreign
// keys (one to another schema, one known only by its referenced key, one
// whose target is unknown), a partition, a view, a trigger, routines with
// and without a parameter list, and an object of an unknown type.
void BuildShopModel(GenericModel& model);

// Building blocks: an object of the type under the parent with a name,
// and properties of each value kind. The object owns what is set on it.
CMOObject& Add(GenericModel& model, int type, int parentId, const std::u16string& name);
void SetText(CMOObject& object, int propertyId, const std::u16string& value);
void SetInteger(CMOObject& object, int propertyId, long long value);
void SetIds(CMOObject& object, int propertyId, std::vector<int> ids);
// A column with its type; a key of the type on the columns; a foreign key
// from the columns to the table's columns (each id list set only when given).
CMOObject& AddColumn(GenericModel& model, int tableId, const std::u16string& name, const std::u16string& type);
CMOObject& AddKey(GenericModel& model, int tableId, const std::u16string& name, const std::u16string& type,
                  std::vector<int> columns);
CMOObject& AddForeignKey(GenericModel& model, int tableId, const std::u16string& name, std::vector<int> columns,
                         int referencedTable, std::vector<int> referencedColumns);

}  // namespace writers::test

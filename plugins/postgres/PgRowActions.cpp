#include "PgRowActions.h"

#include "PgCatalog.h"
#include "PgText.h"

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/ImportCacheDB.h>
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/ObjectIdLookup.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qm::postgres {
namespace {

// ---- Cache keys (see PgRowActions.h).

// A kind letter and the numbers' code units: at most five units, which a
// text keeps without a heap block of its own. Every kind has a fixed length,
// so no two different (kind, numbers) lists make the same key.
CString OidKey(char16_t kind, std::uint32_t oid) {
  return CString(std::u16string{kind, static_cast<char16_t>(oid >> 16), static_cast<char16_t>(oid & 0xFFFF)});
}
CString RelationKey(std::uint32_t oid) { return OidKey(u'r', oid); }
CString ColumnKey(std::uint32_t relation, int attnum) {
  const auto number = static_cast<std::uint32_t>(attnum);
  return CString(std::u16string{u'a', static_cast<char16_t>(relation >> 16), static_cast<char16_t>(relation & 0xFFFF),
                                static_cast<char16_t>(number >> 16), static_cast<char16_t>(number & 0xFFFF)});
}
CString TypeKey(std::uint32_t oid) { return OidKey(u't', oid); }
CString RoutineKey(std::uint32_t oid) { return OidKey(u'p', oid); }
CString IndexKey(std::uint32_t oid) { return OidKey(u'i', oid); }
CString BackingIndexKey(std::uint32_t indexOid) { return OidKey(u'x', indexOid); }

// A key's signature: its table and its columns as a set (a foreign key may
// list the referenced columns in another order than the key).
CString KeySignature(std::uint32_t relation, std::vector<int> attnums) {
  std::sort(attnums.begin(), attnums.end());
  std::u16string signature = Decimal(std::uint64_t{relation}) + u":";
  for (std::size_t i = 0; i < attnums.size(); ++i) {
    if (i > 0) signature += u',';
    signature += Decimal(attnums[i]);
  }
  return CString(std::move(signature));
}

CMOObject* FindRelation(std::uint32_t oid) { return ImportedObjectCache::Instance()->FindObjectById(RelationKey(oid)); }

CMOObject* FindColumn(std::uint32_t relation, int attnum) {
  return ImportedObjectCache::Instance()->FindObjectById(ColumnKey(relation, attnum));
}

// The column ids of the attnums; only when every column is known, since a
// partial list would pair columns wrongly.
std::vector<int> ColumnIds(std::uint32_t relation, const std::vector<int>& attnums, bool* complete = nullptr) {
  std::vector<int> ids;
  for (int attnum : attnums)
    if (CMOObject* column = FindColumn(relation, attnum)) ids.push_back(column->GetObjectId());
  const bool all = ids.size() == attnums.size();
  if (complete != nullptr) *complete = all;
  return all ? ids : std::vector<int>();
}

int SchemaId(GenericModel* model, const std::u16string& schema) { return SchemaLookup::Instance()->FindCreate(model, schema); }

// ---- Writing the model.

// A new named object under the schema the row names (schema_name), which
// the schema lookup makes when the model has none of that name.
CMOObject& CreateInSchema(GenericModel* model, int objectType, const CommonDataObject& record, const char16_t* nameColumn) {
  return CreateNamedObject(*model, objectType, SchemaId(model, record.Text(u"schema_name")), record.Text(nameColumn));
}

// Owner and comment, which most objects have.
void SetOwnerAndComment(CMOObject& object, const CommonDataObject& record) {
  SetTextPropertyFrom(object, model::Owner, record, u"owner_name");
  SetTextPropertyFrom(object, model::Comment, record, u"comment");
}

void SetTableSpace(CMOObject& object, const CommonDataObject& record) {
  // 0: the database's default tablespace, which is not named.
  const std::uint32_t oid = record.GetUnsigned(u"tablespace_oid");
  if (oid == 0) return;
  if (CMOObject* tableSpace = ImportedObjectCache::Instance()->GetTableSpace(oid))
    SetIdsProperty(object, model::TableSpaceRef, {tableSpace->GetObjectId()});
}

// Counts rows per table in a statement ordered by table (the n-th column of
// its table), and keeps the table found for them.
class PerTableCounter {
 public:
  void Reset() {
    m_table = 0;
    m_count = 0;
    m_object = nullptr;
  }
  int Next(std::uint32_t table) {
    Move(table);
    return ++m_count;
  }
  // The imported relation with the oid, or null: looked up once per table
  // while its rows follow each other.
  CMOObject* Relation(std::uint32_t table) {
    Move(table);
    if (m_object == nullptr) m_object = FindRelation(table);
    return m_object;
  }

 private:
  void Move(std::uint32_t table) {
    if (table == m_table) return;
    m_table = table;
    m_count = 0;
    m_object = nullptr;
  }

  std::uint32_t m_table = 0;      // oid of the table of the previous row
  int m_count = 0;                // rows of that table so far
  CMOObject* m_object = nullptr;  // that table once looked up (a miss is looked up again); the model's
};

// ---- Tablespaces: under the root, found by oid through AddTableSpace.

class TableSpacesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& tableSpace = model->CreateObject(model::TableSpace);
    SetTextProperty(tableSpace, model::Name, record.Text(u"tablespace_name"));
    SetOwnerAndComment(tableSpace, record);
    ImportedObjectCache::Instance()->AddTableSpace(record.GetUnsigned(u"tablespace_oid"), &tableSpace);
  }
};

// ---- Schemas: through the schema lookup, so that a schema already in the
// model is reused.

class SchemasAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* schema = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name")));
    if (schema == nullptr) return;
    SetOwnerAndComment(*schema, record);
  }
};

// ---- Types: enum labels as a literal list, a domain's base type,
// default, NOT NULL and constraints; a composite type's attribute list
// comes from the type attributes statement.

class TypesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& type = CreateInSchema(model, model::UserType, record, u"type_name");
    const std::u16string kind = record.Text(u"type_kind");
    SetTextProperty(type, model::TypeKind, kind);
    SetTextPropertyFrom(type, model::BaseType, record, u"base_type");
    SetTextPropertyFrom(type, model::DefaultValue, record, u"default_value");
    if (record.Has(u"not_null")) SetIntegerProperty(type, model::Nullable, record.GetNumber(u"not_null") != 0 ? 0 : 1);
    SetTextPropertyFrom(type, model::CheckExpression, record, u"check_expression");
    SetTextPropertyFrom(type, model::EnumLabels, record, u"enum_labels");
    // A composite type without attributes has no attribute rows.
    if (kind == u"composite") SetTextProperty(type, model::AttributeList, u"()");
    SetOwnerAndComment(type, record);
    ImportedObjectCache::Instance()->AddByDBID(TypeKey(record.GetUnsigned(u"type_oid")), &type);
  }
};

// Attributes go to the scratch store row by row; each type's list is read
// back as one clause once all rows are in.
class TypeAttributesAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_types.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    const std::uint32_t oid = record.GetUnsigned(u"type_oid");
    const CString schema(record.Text(u"schema_name"));
    const CString name(record.Text(u"type_name"));
    ImportCacheDB::Instance()->InsertUDTTableColumn(schema, name, CString(record.Text(u"attribute_name")),
                                                    CString(record.Text(u"data_type")),
                                                    record.GetNumber(u"not_null") != 0 ? 0 : 1,
                                                    record.GetNumber(u"attribute_number"));
    if (m_types.empty() || m_types.back().oid != oid) m_types.push_back(Pending{oid, schema, name});
  }

  void PostExecute(GenericModel*) override {
    for (const Pending& pending : m_types) {
      CMOObject* type = ImportedObjectCache::Instance()->FindObjectById(TypeKey(pending.oid));
      if (type == nullptr) continue;
      CString clause;
      ImportCacheDB::Instance()->GetUDTTableClause(pending.schema, pending.name, clause);
      SetTextProperty(*type, model::AttributeList, clause.str());
    }
    m_types.clear();
  }

 private:
  struct Pending {
    std::uint32_t oid;  // the type's oid
    CString schema;     // its schema's name
    CString name;       // its name
  };
  std::vector<Pending> m_types;  // types with attribute rows, in row order; emptied by PostExecute
};

// ---- Sequences: the 64-bit numbers arrive as text.

class SequencesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& sequence = CreateInSchema(model, model::Sequence, record, u"sequence_name");
    SetTextPropertyFrom(sequence, model::DataType, record, u"data_type");
    SetNumber(sequence, model::SequenceStart, record, u"start_value");
    SetNumber(sequence, model::SequenceIncrement, record, u"increment_by");
    SetNumber(sequence, model::SequenceMin, record, u"min_value");
    SetNumber(sequence, model::SequenceMax, record, u"max_value");
    SetFlagPropertyFrom(sequence, model::SequenceCycle, record, u"cycles");
    SetOwnerAndComment(sequence, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"sequence_oid")), &sequence);
  }

 private:
  static void SetNumber(CMOObject& object, int propertyId, const CommonDataObject& record, const char16_t* column) {
    if (const std::optional<std::int64_t> value = ParseInt64(record.Text(column)))
      SetIntegerProperty(object, propertyId, *value);
  }
};

// ---- Tables: kind, tablespace and partition key; partitions are tables
// too, linked to their parent by the partitions statement.

class TablesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& table = CreateInSchema(model, model::Table, record, u"table_name");
    const std::u16string kind = record.Text(u"table_kind");
    SetTextProperty(table, model::TableKind, kind == u"p"                            ? u"partitioned table"
                                     : record.Text(u"persistence") == u"u" ? u"unlogged table"
                                                                             : u"table");
    SetTableSpace(table, record);
    if (record.Has(u"partition_key"))
      SetTextProperty(table, model::Definition, u"PARTITION BY " + record.Text(u"partition_key"));
    SetOwnerAndComment(table, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"table_oid")), &table);
  }
};

class ViewsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    CMOObject& view = CreateInSchema(model, model::View, record, u"view_name");
    SetTextProperty(view, model::TableKind, record.Text(u"view_kind") == u"m" ? u"materialized view" : u"view");
    SetTextPropertyFrom(view, model::Definition, record, u"definition");
    SetTableSpace(view, record);
    SetOwnerAndComment(view, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"view_oid")), &view);
  }
};

// ---- Columns: under their table or view. Rows come in attnum order per
// table; Position counts the live columns from 1 (attnum keeps gaps where
// columns were dropped).

class ColumnsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_positions.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::uint32_t relation = record.GetUnsigned(u"table_oid");
    CMOObject* table = m_positions.Relation(relation);
    if (table == nullptr) return;
    CMOObject& column = CreateNamedObject(*model, model::Column, table->GetObjectId(), record.Text(u"column_name"));
    SetTextPropertyFrom(column, model::DataType, record, u"data_type");
    SetIntegerProperty(column, model::Nullable, record.GetNumber(u"not_null") != 0 ? 0 : 1);
    SetTextPropertyFrom(column, model::Identity, record, u"identity_kind");
    SetTextPropertyFrom(column, model::Collation, record, u"collation_name");
    SetTextPropertyFrom(column, model::Comment, record, u"comment");
    SetIntegerProperty(column, model::Position, m_positions.Next(relation));
    ImportedObjectCache::Instance()->AddByDBID(ColumnKey(relation, record.GetNumber(u"column_number")), &column);
  }

 private:
  PerTableCounter m_positions;  // the current table and the position of its next column
};

// A column's default or generation expression, on the column the columns
// statement made.
class ColumnDefaultsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* column = FindColumn(record.GetUnsigned(u"table_oid"), record.GetNumber(u"column_number"));
    if (column == nullptr) return;
    SetTextPropertyFrom(*column, model::DefaultValue, record, u"default_value");
    SetTextPropertyFrom(*column, model::GeneratedExpression, record, u"generated_expression");
  }
};

// The column a sequence belongs to, on the sequence.
class SequenceOwnersAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* sequence = FindRelation(record.GetUnsigned(u"sequence_oid"));
    CMOObject* column = FindColumn(record.GetUnsigned(u"table_oid"), record.GetNumber(u"column_number"));
    if (sequence != nullptr && column != nullptr) SetIdsProperty(*sequence, model::OwnedBy, {column->GetObjectId()});
  }
};

// A grantee's privileges on an object the import made, as a grant under it.
class PrivilegesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* object = nullptr;
    auto cache = ImportedObjectCache::Instance();
    if (record.Has(u"schema_name")) {
      object = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name")));
    } else if (record.Has(u"column_number")) {
      object = FindColumn(record.GetUnsigned(u"table_oid"), record.GetNumber(u"column_number"));
    } else if (record.Has(u"table_oid")) {
      object = FindRelation(record.GetUnsigned(u"table_oid"));
    } else if (record.Has(u"type_oid")) {
      object = cache->FindObjectById(TypeKey(record.GetUnsigned(u"type_oid")));
    } else if (record.Has(u"routine_oid")) {
      object = cache->FindObjectById(RoutineKey(record.GetUnsigned(u"routine_oid")));
    }
    if (object == nullptr) return;  // not imported (a table's row type, a type in no model object)
    CMOObject& grant = CreateNamedObject(*model, model::Grant, object->GetObjectId(), record.Text(u"grantee_name"));
    SetTextPropertyFrom(grant, model::Privileges, record, u"privileges");
    SetTextPropertyFrom(grant, model::GrantOption, record, u"grant_option");
  }
};

// The key (INCLUDE) and included columns of an index, from indkey and
// indnkeyatts; attnum 0 marks an expression.
struct IndexColumns {
  std::vector<int> key;       // attnums of plain key columns, in key order
  std::vector<int> included;  // attnums of INCLUDE columns, in order
};

IndexColumns SplitIndexColumns(const CommonDataObject& record) {
  IndexColumns columns;
  const std::vector<int> attnums = ParseIntegerList(record.Text(u"index_columns"));
  const int keyCount = record.GetNumber(u"key_count");
  for (std::size_t i = 0; i < attnums.size(); ++i) {
    if (attnums[i] <= 0) continue;
    (static_cast<int>(i) < keyCount ? columns.key : columns.included).push_back(attnums[i]);
  }
  return columns;
}

// ---- Keys: primary keys and unique constraints. The primary key's columns
// get their position in it; each key gets its signature, the primary key
// first, so that a foreign key finds the same key in every import when
// two keys share columns.

class KeysAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_signatures.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid");
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& key = CreateNamedObject(*model, model::Key, table->GetObjectId(), record.Text(u"constraint_name"));
    const std::u16string keyType = record.Text(u"key_type");
    SetTextProperty(key, model::KeyType, keyType);
    const std::vector<int> attnums = ParseIntegerList(record.Text(u"key_columns"));
    bool complete = false;
    std::vector<int> ids = ColumnIds(relation, attnums, &complete);
    if (keyType == u"PRIMARY KEY") {
      for (std::size_t i = 0; i < ids.size(); ++i)
        if (CMOObject* column = FindColumn(relation, attnums[i]))
          SetIntegerProperty(*column, model::PrimaryKeyPosition, static_cast<std::int64_t>(i) + 1);
    }
    SetIdsProperty(key, model::KeyColumns, std::move(ids));
    SetFlagPropertyFrom(key, model::Deferrable, record, u"is_deferrable");
    SetFlagPropertyFrom(key, model::InitiallyDeferred, record, u"initially_deferred");
    SetTextPropertyFrom(key, model::Definition, record, u"definition");
    SetTextPropertyFrom(key, model::Comment, record, u"comment");
    // A key's INCLUDE columns are its index's: property 180 like an index.
    for (int attnum : SplitIndexColumns(record).included)
      if (CMOObject* column = FindColumn(relation, attnum))
        ImportedIndexCache::Instance()->AddIncludedColumn(&key, column->GetObjectId());

    // A key with a column that was not imported could match a foreign key
    // it does not serve; it gets no signature.
    if (complete && !attnums.empty()) {
      CString signature = KeySignature(relation, attnums);
      if (m_signatures.insert(signature).second) ImportedKeysCache::Instance()->Set(&key, signature);
    }
    const std::uint32_t indexOid = record.GetUnsigned(u"index_oid");
    if (indexOid != 0) ImportedObjectCache::Instance()->AddAttribute(BackingIndexKey(indexOid), &key);
  }

  void PostExecute(GenericModel*) override {
    m_signatures.clear();
    ImportedKeysCache::Instance()->InitReverseSearch();
  }

 private:
  std::set<CString> m_signatures;  // signatures given in this statement; emptied by PostExecute
};

class CheckConstraintsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    CMOObject* table = FindRelation(record.GetUnsigned(u"table_oid"));
    if (table == nullptr) return;
    CMOObject& check =
        CreateNamedObject(*model, model::CheckConstraint, table->GetObjectId(), record.Text(u"constraint_name"));
    SetTextPropertyFrom(check, model::CheckExpression, record, u"check_expression");
    SetTextPropertyFrom(check, model::Definition, record, u"definition");
    SetTextPropertyFrom(check, model::Comment, record, u"comment");
  }
};

// ---- Foreign keys: the referenced key is found by the signature of the
// referenced columns; when two keys share those columns, the one whose
// index the foreign key depends on (conindid) is taken. A foreign key to a
// table outside the import keeps its definition only.

class ForeignKeysAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid");
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& foreignKey =
        CreateNamedObject(*model, model::ForeignKey, table->GetObjectId(), record.Text(u"constraint_name"));
    SetIdsProperty(foreignKey, model::ForeignKeyColumns,
                   ColumnIds(relation, ParseIntegerList(record.Text(u"key_columns"))));

    const std::uint32_t referenced = record.GetUnsigned(u"referenced_table_oid");
    if (CMOObject* referencedTable = FindRelation(referenced)) {
      SetIdsProperty(foreignKey, model::ReferencedTable, {referencedTable->GetObjectId()});
      const std::vector<int> attnums = ParseIntegerList(record.Text(u"referenced_columns"));
      std::vector<int> ids = ColumnIds(referenced, attnums);
      if (!ids.empty()) SetIdsProperty(foreignKey, model::ReferencedColumns, std::move(ids));
      CMOObject* key = ImportedKeysCache::Instance()->FindMatchingKey(KeySignature(referenced, attnums));
      CMOObject* backing = ImportedObjectCache::Instance()->FindAttribute(BackingIndexKey(record.GetUnsigned(u"index_oid")));
      if (key == nullptr || (backing != nullptr && backing != key)) key = backing;
      if (key != nullptr) SetIdsProperty(foreignKey, model::ReferencedKey, {key->GetObjectId()});
    }
    SetTextProperty(foreignKey, model::MatchType, record.Text(u"match_type"));
    SetTextProperty(foreignKey, model::OnDelete, record.Text(u"on_delete"));
    SetTextProperty(foreignKey, model::OnUpdate, record.Text(u"on_update"));
    SetFlagPropertyFrom(foreignKey, model::Deferrable, record, u"is_deferrable");
    SetFlagPropertyFrom(foreignKey, model::InitiallyDeferred, record, u"initially_deferred");
    SetTextPropertyFrom(foreignKey, model::Definition, record, u"definition");
    SetTextPropertyFrom(foreignKey, model::Comment, record, u"comment");
  }
};

// ---- Indexes: under their table or materialized view. Plain key columns
// become IndexColumns, expression terms Expressions (as the server prints
// them), INCLUDE columns property 180 through the index cache.

class IndexesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid");
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& index = CreateNamedObject(*model, model::Index, table->GetObjectId(), record.Text(u"index_name"));
    SetFlagPropertyFrom(index, model::IsUnique, record, u"is_unique");
    SetTextPropertyFrom(index, model::IndexMethod, record, u"index_method");
    const IndexColumns columns = SplitIndexColumns(record);
    std::vector<int> keyIds;
    for (int attnum : columns.key)
      if (CMOObject* column = FindColumn(relation, attnum)) keyIds.push_back(column->GetObjectId());
    SetIdsProperty(index, model::IndexColumns, std::move(keyIds));
    ImportedIndexCache* indexes = ImportedIndexCache::Instance();
    for (int attnum : columns.included)
      if (CMOObject* column = FindColumn(relation, attnum)) indexes->AddIncludedColumn(&index, column->GetObjectId());
    SetTextPropertyFrom(index, model::Expressions, record, u"expressions");
    SetTextPropertyFrom(index, model::Predicate, record, u"predicate");
    SetTextPropertyFrom(index, model::SqlText, record, u"definition");
    SetTableSpace(index, record);
    SetTextPropertyFrom(index, model::Comment, record, u"comment");
    indexes->AddByDBID(IndexKey(record.GetUnsigned(u"index_oid")), &index);
  }
};

// ---- Partitions: the partition (a table) gets its parent and its bound
// as PostgreSQL prints it; the parent gets a partition object with that
// clause as Definition and, as PartitionBound, the list of the bound's
// values (IN values; FROM then TO values; modulus and remainder), each
// between single quotes (MINVALUE, MAXVALUE and NULL too: the clause tells
// them from text). The values are parked in the scratch store row by row
// and read back per partition once all rows are in.

class PartitionsAction : public QueryResultRowActionI {
 public:
  // Value kinds stored with each value (the store keeps them as given).
  enum ValueKind : int { kListValue = 1, kLowerBound = 2, kUpperBound = 3, kHashValue = 4 };

  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::uint32_t oid = record.GetUnsigned(u"partition_oid");
    CMOObject* partitionTable = FindRelation(oid);
    CMOObject* parent = FindRelation(record.GetUnsigned(u"parent_oid"));
    const std::u16string bound = record.Text(u"partition_bound");
    if (partitionTable != nullptr) {
      if (parent != nullptr) SetIdsProperty(*partitionTable, model::PartitionOf, {parent->GetObjectId()});
      if (!bound.empty()) SetTextProperty(*partitionTable, model::PartitionBound, bound);
    }
    if (parent == nullptr) return;

    CMOObject& partition =
        CreateNamedObject(*model, model::Partition, parent->GetObjectId(), record.Text(u"partition_name"));
    if (!bound.empty()) SetTextProperty(partition, model::Definition, bound);

    // The store's function number is an int: the oid's bits.
    const int functionId = static_cast<int>(oid);
    const PartitionBound parsed = ParsePartitionBound(bound);
    int order = 0;
    const int firstKind = parsed.kind == PartitionBound::Kind::Range  ? kLowerBound
                          : parsed.kind == PartitionBound::Kind::Hash ? kHashValue
                                                                      : kListValue;
    ImportCacheDB* store = ImportCacheDB::Instance();
    for (const std::u16string& value : parsed.values)
      store->Insert_PartitionFunctionValue(functionId, order++, firstKind, CString(AsLiteralContent(value)));
    for (const std::u16string& value : parsed.upper)
      store->Insert_PartitionFunctionValue(functionId, order++, kUpperBound, CString(AsLiteralContent(value)));
    if (order > 0) m_pending.emplace_back(functionId, &partition);
  }

  void PostExecute(GenericModel*) override {
    for (const auto& [functionId, partition] : m_pending) {
      CString values;
      ImportCacheDB::Instance()->GetPartitionFunctionValues(functionId, values);
      SetTextProperty(*partition, model::PartitionBound, values.str());
    }
    m_pending.clear();
  }

 private:
  // The store puts each value between single quotes; with its quotes
  // doubled, a text value reads back as a valid SQL literal.
  static std::u16string AsLiteralContent(const std::u16string& value) {
    std::u16string content;
    for (char16_t ch : value) {
      if (ch == u'\'') content += ch;
      content += ch;
    }
    return content;
  }

  std::vector<std::pair<int, CMOObject*>> m_pending;  // (store function number, partition object); emptied by PostExecute
};

class TriggersAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition")) return;  // dropped since the snapshot
    CMOObject* table = FindRelation(record.GetUnsigned(u"table_oid"));
    if (table == nullptr) return;
    CMOObject& trigger = CreateNamedObject(*model, model::Trigger, table->GetObjectId(), record.Text(u"trigger_name"));
    SetTextPropertyFrom(trigger, model::TriggerTiming, record, u"timing");
    SetTextPropertyFrom(trigger, model::TriggerEvents, record, u"events");
    SetTextPropertyFrom(trigger, model::Definition, record, u"definition");
    SetTextPropertyFrom(trigger, model::Comment, record, u"comment");
  }
};

// ---- Routines: the body as Definition, the CREATE text as SqlText. The
// parameter list is written by the parameters statement; a routine without
// arguments keeps the empty list set here.

class RoutinesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& routine = CreateInSchema(model, model::Routine, record, u"routine_name");
    SetTextProperty(routine, model::RoutineKind, record.Text(u"routine_kind"));
    SetTextPropertyFrom(routine, model::ReturnType, record, u"return_type");
    SetTextPropertyFrom(routine, model::Language, record, u"language_name");
    SetTextPropertyFrom(routine, model::Definition, record, u"body");
    SetTextPropertyFrom(routine, model::SqlText, record, u"sql_text");
    SetTextProperty(routine, model::ParameterList, std::u16string());
    SetOwnerAndComment(routine, record);
    ImportedObjectCache::Instance()->AddByDBID(RoutineKey(record.GetUnsigned(u"routine_oid")), &routine);
  }
};

// One parameter object per argument, under its routine; each argument's
// text goes to the routine's parameter list in the object cache, and the
// lists are joined into ParameterList once all rows are in. The list reads
// as PostgreSQL writes it (pg_get_function_arguments): the mode unless IN,
// the name quoted as needed, the type, the default; TABLE columns belong
// to the result, not to the list.

class ParametersAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_routines.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::uint32_t routineOid = record.GetUnsigned(u"routine_oid");
    const CString routineKey = RoutineKey(routineOid);
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(routineKey);
    if (routine == nullptr) return;
    CMOObject& parameter = model->CreateObject(model::Parameter, routine->GetObjectId());
    const std::u16string name = record.Text(u"parameter_name");
    const std::u16string mode = ModeName(record.Text(u"parameter_mode"));
    const std::u16string type = record.Text(u"data_type");
    if (!name.empty()) SetTextProperty(parameter, model::Name, name);
    SetTextProperty(parameter, model::ParameterMode, mode);
    SetTextProperty(parameter, model::DataType, type);
    SetIntegerProperty(parameter, model::Position, record.GetNumber(u"parameter_position"));
    SetTextPropertyFrom(parameter, model::DefaultValue, record, u"default_value");

    if (mode == u"TABLE") return;
    // A procedure's IN is written out: DROP PROCEDURE reads a bare
    // argument list differently.
    const bool procedure = record.GetNumber(u"is_procedure") != 0;
    std::u16string text;
    if (mode != u"IN" || procedure) text += mode + u' ';
    if (record.Has(u"parameter_sql_name")) text += record.Text(u"parameter_sql_name") + u' ';
    text += type;
    if (record.Has(u"default_value")) text += u" DEFAULT " + record.Text(u"default_value");
    ImportedObjectCache::Instance()->AddParameter(routineKey, CString(std::move(text)));
    if (m_routines.empty() || m_routines.back().oid != routineOid)
      m_routines.push_back(Pending{routineOid, routine, record.Has(u"direct_arguments") ? record.GetNumber(u"direct_arguments") : -1});
  }

  void PostExecute(GenericModel*) override {
    for (const Pending& pending : m_routines) {
      CStringArray parameters;
      ImportedObjectCache::Instance()->GetParameters(RoutineKey(pending.oid), parameters);
      SetTextProperty(*pending.routine, model::ParameterList, JoinArguments(parameters, pending.directArguments));
    }
    m_routines.clear();
  }

 private:
  // The arguments joined by ", "; for an ordered-set aggregate "ORDER BY"
  // stands before its first aggregated argument, and a variadic last
  // argument that is direct only is written again as the aggregated one
  // (rank(VARIADIC "any" ORDER BY VARIADIC "any")), as the server writes it.
  static std::u16string JoinArguments(const CStringArray& arguments, int directArguments) {
    std::u16string list;
    const int count = static_cast<int>(arguments.GetSize());
    for (int i = 0; i < count; ++i) {
      if (i == directArguments) {
        list += i > 0 ? u" ORDER BY " : u"ORDER BY ";
      } else if (i > 0) {
        list += u", ";
      }
      list += arguments.GetAt(i).str();
    }
    if (directArguments > 0 && directArguments == count) list += u" ORDER BY " + arguments.GetAt(count - 1).str();
    return list;
  }

  static std::u16string ModeName(const std::u16string& code) {
    if (code == u"o") return u"OUT";
    if (code == u"b") return u"INOUT";
    if (code == u"v") return u"VARIADIC";
    if (code == u"t") return u"TABLE";
    return u"IN";
  }

  struct Pending {
    std::uint32_t oid;    // the routine's oid
    CMOObject* routine;   // its model object
    int directArguments;  // arguments before ORDER BY of an ordered-set aggregate; -1 for any other routine
  };
  std::vector<Pending> m_routines;  // routines with rows, in row order; emptied by PostExecute
};

}  // namespace

QueryResultRowActionI* CreateRowAction(int statementId) {
  QueryResultRowActionI* action = nullptr;
  switch (statementId) {
    case kTableSpaces: action = new TableSpacesAction(); break;
    case kSchemas: action = new SchemasAction(); break;
    case kTypes: action = new TypesAction(); break;
    case kTypeAttributes: action = new TypeAttributesAction(); break;
    case kSequences: action = new SequencesAction(); break;
    case kTables: action = new TablesAction(); break;
    case kViews: action = new ViewsAction(); break;
    case kColumns: action = new ColumnsAction(); break;
    case kColumnDefaults: action = new ColumnDefaultsAction(); break;
    case kKeys: action = new KeysAction(); break;
    case kCheckConstraints: action = new CheckConstraintsAction(); break;
    case kForeignKeys: action = new ForeignKeysAction(); break;
    case kIndexes: action = new IndexesAction(); break;
    case kPartitions: action = new PartitionsAction(); break;
    case kTriggers: action = new TriggersAction(); break;
    case kRoutines: action = new RoutinesAction(); break;
    case kParameters: action = new ParametersAction(); break;
    case kSequenceOwners: action = new SequenceOwnersAction(); break;
    case kPrivileges: action = new PrivilegesAction(); break;
    default: return nullptr;
  }
  action->SetObjectType(StatementObjectType(statementId));
  return action;
}

}  // namespace qm::postgres

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
#include <string_view>
#include <utility>
#include <vector>

namespace qm::postgres {

// Column names are written as u"..."sv: a view whose length the compiler
// knows, where a plain literal would be measured unit by unit on every
// lookup of every row.
using namespace std::string_view_literals;

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
CMOObject& CreateInSchema(GenericModel* model, int objectType, const CommonDataObject& record,
                          std::u16string_view nameColumn) {
  return CreateNamedObject(*model, objectType, SchemaId(model, record.Text(u"schema_name"sv)), record.Text(nameColumn));
}

// Owner and comment, which most objects have.
void SetOwnerAndComment(CMOObject& object, const CommonDataObject& record) {
  SetTextPropertyFrom(object, model::Owner, record, u"owner_name"sv);
  SetTextPropertyFrom(object, model::Comment, record, u"comment"sv);
}

void SetTableSpace(CMOObject& object, const CommonDataObject& record) {
  // 0: the database's default tablespace, which is not named.
  const std::uint32_t oid = record.GetUnsigned(u"tablespace_oid"sv);
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
    SetTextProperty(tableSpace, model::Name, record.Text(u"tablespace_name"sv));
    SetOwnerAndComment(tableSpace, record);
    ImportedObjectCache::Instance()->AddTableSpace(record.GetUnsigned(u"tablespace_oid"sv), &tableSpace);
  }
};

// ---- Schemas: through the schema lookup, so that a schema already in the
// model is reused.

class SchemasAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* schema = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name"sv)));
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
    CMOObject& type = CreateInSchema(model, model::UserType, record, u"type_name"sv);
    const std::u16string kind = record.Text(u"type_kind"sv);
    SetTextProperty(type, model::TypeKind, kind);
    SetTextPropertyFrom(type, model::BaseType, record, u"base_type"sv);
    SetTextPropertyFrom(type, model::DefaultValue, record, u"default_value"sv);
    if (record.Has(u"not_null"sv))
      SetIntegerProperty(type, model::Nullable, record.GetNumber(u"not_null"sv) != 0 ? 0 : 1);
    SetTextPropertyFrom(type, model::CheckExpression, record, u"check_expression"sv);
    SetTextPropertyFrom(type, model::EnumLabels, record, u"enum_labels"sv);
    // A composite type without attributes has no attribute rows.
    if (kind == u"composite") SetTextProperty(type, model::AttributeList, u"()");
    SetOwnerAndComment(type, record);
    ImportedObjectCache::Instance()->AddByDBID(TypeKey(record.GetUnsigned(u"type_oid"sv)), &type);
  }
};

// Attributes go to the scratch store row by row; each type's list is read
// back as one clause once all rows are in.
class TypeAttributesAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_types.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    const std::uint32_t oid = record.GetUnsigned(u"type_oid"sv);
    const CString schema(record.Text(u"schema_name"sv));
    const CString name(record.Text(u"type_name"sv));
    ImportCacheDB::Instance()->InsertUDTTableColumn(schema, name, CString(record.Text(u"attribute_name"sv)),
                                                    CString(record.Text(u"data_type"sv)),
                                                    record.GetNumber(u"not_null"sv) != 0 ? 0 : 1,
                                                    record.GetNumber(u"attribute_number"sv));
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
    CMOObject& sequence = CreateInSchema(model, model::Sequence, record, u"sequence_name"sv);
    SetTextPropertyFrom(sequence, model::DataType, record, u"data_type"sv);
    SetNumber(sequence, model::SequenceStart, record, u"start_value"sv);
    SetNumber(sequence, model::SequenceIncrement, record, u"increment_by"sv);
    SetNumber(sequence, model::SequenceMin, record, u"min_value"sv);
    SetNumber(sequence, model::SequenceMax, record, u"max_value"sv);
    SetFlagPropertyFrom(sequence, model::SequenceCycle, record, u"cycles"sv);
    SetOwnerAndComment(sequence, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"sequence_oid"sv)), &sequence);
  }

 private:
  static void SetNumber(CMOObject& object, int propertyId, const CommonDataObject& record, std::u16string_view column) {
    if (const std::optional<std::int64_t> value = ParseInt64(record.Text(column)))
      SetIntegerProperty(object, propertyId, *value);
  }
};

// ---- Tables: kind, tablespace and partition key; partitions are tables
// too, linked to their parent by the partitions statement.

class TablesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& table = CreateInSchema(model, model::Table, record, u"table_name"sv);
    const std::u16string kind = record.Text(u"table_kind"sv);
    SetTextProperty(table, model::TableKind, kind == u"p"                            ? u"partitioned table"
                                     : record.Text(u"persistence"sv) == u"u" ? u"unlogged table"
                                                                             : u"table");
    SetTableSpace(table, record);
    if (record.Has(u"partition_key"sv))
      SetTextProperty(table, model::Definition, u"PARTITION BY " + record.Text(u"partition_key"sv));
    SetOwnerAndComment(table, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"table_oid"sv)), &table);
  }
};

class ViewsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    CMOObject& view = CreateInSchema(model, model::View, record, u"view_name"sv);
    SetTextProperty(view, model::TableKind, record.Text(u"view_kind"sv) == u"m" ? u"materialized view" : u"view");
    SetTextPropertyFrom(view, model::Definition, record, u"definition"sv);
    SetTableSpace(view, record);
    SetOwnerAndComment(view, record);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.GetUnsigned(u"view_oid"sv)), &view);
  }
};

// ---- Columns: under their table or view. Rows come in attnum order per
// table; Position counts the live columns from 1 (attnum keeps gaps where
// columns were dropped).

class ColumnsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_positions.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::uint32_t relation = record.GetUnsigned(u"table_oid"sv);
    CMOObject* table = m_positions.Relation(relation);
    if (table == nullptr) return;
    CMOObject& column = CreateNamedObject(*model, model::Column, table->GetObjectId(), record.Text(u"column_name"sv));
    SetTextPropertyFrom(column, model::DataType, record, u"data_type"sv);
    SetIntegerProperty(column, model::Nullable, record.GetNumber(u"not_null"sv) != 0 ? 0 : 1);
    SetTextPropertyFrom(column, model::Identity, record, u"identity_kind"sv);
    SetTextPropertyFrom(column, model::Collation, record, u"collation_name"sv);
    SetTextPropertyFrom(column, model::Comment, record, u"comment"sv);
    SetIntegerProperty(column, model::Position, m_positions.Next(relation));
    ImportedObjectCache::Instance()->AddByDBID(ColumnKey(relation, record.GetNumber(u"column_number"sv)), &column);
  }

 private:
  PerTableCounter m_positions;  // the current table and the position of its next column
};

// A column's default or generation expression, on the column the columns
// statement made.
class ColumnDefaultsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* column = FindColumn(record.GetUnsigned(u"table_oid"sv), record.GetNumber(u"column_number"sv));
    if (column == nullptr) return;
    SetTextPropertyFrom(*column, model::DefaultValue, record, u"default_value"sv);
    SetTextPropertyFrom(*column, model::GeneratedExpression, record, u"generated_expression"sv);
  }
};

// The column a sequence belongs to, on the sequence.
class SequenceOwnersAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* sequence = FindRelation(record.GetUnsigned(u"sequence_oid"sv));
    CMOObject* column = FindColumn(record.GetUnsigned(u"table_oid"sv), record.GetNumber(u"column_number"sv));
    if (sequence != nullptr && column != nullptr) SetIdsProperty(*sequence, model::OwnedBy, {column->GetObjectId()});
  }
};

// A grantee's privileges on an object the import made, as a grant under it.
class PrivilegesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* object = nullptr;
    auto cache = ImportedObjectCache::Instance();
    if (record.Has(u"schema_name"sv)) {
      object = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name"sv)));
    } else if (record.Has(u"column_number"sv)) {
      object = FindColumn(record.GetUnsigned(u"table_oid"sv), record.GetNumber(u"column_number"sv));
    } else if (record.Has(u"table_oid"sv)) {
      object = FindRelation(record.GetUnsigned(u"table_oid"sv));
    } else if (record.Has(u"type_oid"sv)) {
      object = cache->FindObjectById(TypeKey(record.GetUnsigned(u"type_oid"sv)));
    } else if (record.Has(u"routine_oid"sv)) {
      object = cache->FindObjectById(RoutineKey(record.GetUnsigned(u"routine_oid"sv)));
    }
    if (object == nullptr) return;  // not imported (a table's row type, a type in no model object)
    CMOObject& grant = CreateNamedObject(*model, model::Grant, object->GetObjectId(), record.Text(u"grantee_name"sv));
    SetTextPropertyFrom(grant, model::Privileges, record, u"privileges"sv);
    SetTextPropertyFrom(grant, model::GrantOption, record, u"grant_option"sv);
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
  const std::vector<int> attnums = ParseIntegerList(record.Text(u"index_columns"sv));
  const int keyCount = record.GetNumber(u"key_count"sv);
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
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid"sv);
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& key = CreateNamedObject(*model, model::Key, table->GetObjectId(), record.Text(u"constraint_name"sv));
    const std::u16string keyType = record.Text(u"key_type"sv);
    SetTextProperty(key, model::KeyType, keyType);
    const std::vector<int> attnums = ParseIntegerList(record.Text(u"key_columns"sv));
    bool complete = false;
    std::vector<int> ids = ColumnIds(relation, attnums, &complete);
    if (keyType == u"PRIMARY KEY") {
      for (std::size_t i = 0; i < ids.size(); ++i)
        if (CMOObject* column = FindColumn(relation, attnums[i]))
          SetIntegerProperty(*column, model::PrimaryKeyPosition, static_cast<std::int64_t>(i) + 1);
    }
    SetIdsProperty(key, model::KeyColumns, std::move(ids));
    SetFlagPropertyFrom(key, model::Deferrable, record, u"is_deferrable"sv);
    SetFlagPropertyFrom(key, model::InitiallyDeferred, record, u"initially_deferred"sv);
    SetTextPropertyFrom(key, model::Definition, record, u"definition"sv);
    SetTextPropertyFrom(key, model::Comment, record, u"comment"sv);
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
    const std::uint32_t indexOid = record.GetUnsigned(u"index_oid"sv);
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
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    CMOObject* table = FindRelation(record.GetUnsigned(u"table_oid"sv));
    if (table == nullptr) return;
    CMOObject& check =
        CreateNamedObject(*model, model::CheckConstraint, table->GetObjectId(), record.Text(u"constraint_name"sv));
    SetTextPropertyFrom(check, model::CheckExpression, record, u"check_expression"sv);
    SetTextPropertyFrom(check, model::Definition, record, u"definition"sv);
    SetTextPropertyFrom(check, model::Comment, record, u"comment"sv);
  }
};

// ---- Foreign keys: the referenced key is found by the signature of the
// referenced columns; when two keys share those columns, the one whose
// index the foreign key depends on (conindid) is taken. A foreign key to a
// table outside the import keeps its definition only.

class ForeignKeysAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid"sv);
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& foreignKey =
        CreateNamedObject(*model, model::ForeignKey, table->GetObjectId(), record.Text(u"constraint_name"sv));
    SetIdsProperty(foreignKey, model::ForeignKeyColumns,
                   ColumnIds(relation, ParseIntegerList(record.Text(u"key_columns"sv))));

    const std::uint32_t referenced = record.GetUnsigned(u"referenced_table_oid"sv);
    if (CMOObject* referencedTable = FindRelation(referenced)) {
      SetIdsProperty(foreignKey, model::ReferencedTable, {referencedTable->GetObjectId()});
      const std::vector<int> attnums = ParseIntegerList(record.Text(u"referenced_columns"sv));
      std::vector<int> ids = ColumnIds(referenced, attnums);
      if (!ids.empty()) SetIdsProperty(foreignKey, model::ReferencedColumns, std::move(ids));
      CMOObject* key = ImportedKeysCache::Instance()->FindMatchingKey(KeySignature(referenced, attnums));
      CMOObject* backing =
          ImportedObjectCache::Instance()->FindAttribute(BackingIndexKey(record.GetUnsigned(u"index_oid"sv)));
      if (key == nullptr || (backing != nullptr && backing != key)) key = backing;
      if (key != nullptr) SetIdsProperty(foreignKey, model::ReferencedKey, {key->GetObjectId()});
    }
    SetTextProperty(foreignKey, model::MatchType, record.Text(u"match_type"sv));
    SetTextProperty(foreignKey, model::OnDelete, record.Text(u"on_delete"sv));
    SetTextProperty(foreignKey, model::OnUpdate, record.Text(u"on_update"sv));
    SetFlagPropertyFrom(foreignKey, model::Deferrable, record, u"is_deferrable"sv);
    SetFlagPropertyFrom(foreignKey, model::InitiallyDeferred, record, u"initially_deferred"sv);
    SetTextPropertyFrom(foreignKey, model::Definition, record, u"definition"sv);
    SetTextPropertyFrom(foreignKey, model::Comment, record, u"comment"sv);
  }
};

// ---- Indexes: under their table or materialized view. Plain key columns
// become IndexColumns, expression terms Expressions (as the server prints
// them), INCLUDE columns property 180 through the index cache.

class IndexesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    const std::uint32_t relation = record.GetUnsigned(u"table_oid"sv);
    CMOObject* table = FindRelation(relation);
    if (table == nullptr) return;
    CMOObject& index = CreateNamedObject(*model, model::Index, table->GetObjectId(), record.Text(u"index_name"sv));
    SetFlagPropertyFrom(index, model::IsUnique, record, u"is_unique"sv);
    SetTextPropertyFrom(index, model::IndexMethod, record, u"index_method"sv);
    const IndexColumns columns = SplitIndexColumns(record);
    std::vector<int> keyIds;
    for (int attnum : columns.key)
      if (CMOObject* column = FindColumn(relation, attnum)) keyIds.push_back(column->GetObjectId());
    SetIdsProperty(index, model::IndexColumns, std::move(keyIds));
    ImportedIndexCache* indexes = ImportedIndexCache::Instance();
    for (int attnum : columns.included)
      if (CMOObject* column = FindColumn(relation, attnum)) indexes->AddIncludedColumn(&index, column->GetObjectId());
    SetTextPropertyFrom(index, model::Expressions, record, u"expressions"sv);
    SetTextPropertyFrom(index, model::Predicate, record, u"predicate"sv);
    SetTextPropertyFrom(index, model::SqlText, record, u"definition"sv);
    SetTableSpace(index, record);
    SetTextPropertyFrom(index, model::Comment, record, u"comment"sv);
    indexes->AddByDBID(IndexKey(record.GetUnsigned(u"index_oid"sv)), &index);
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
    const std::uint32_t oid = record.GetUnsigned(u"partition_oid"sv);
    CMOObject* partitionTable = FindRelation(oid);
    CMOObject* parent = FindRelation(record.GetUnsigned(u"parent_oid"sv));
    const std::u16string bound = record.Text(u"partition_bound"sv);
    if (partitionTable != nullptr) {
      if (parent != nullptr) SetIdsProperty(*partitionTable, model::PartitionOf, {parent->GetObjectId()});
      if (!bound.empty()) SetTextProperty(*partitionTable, model::PartitionBound, bound);
    }
    if (parent == nullptr) return;

    CMOObject& partition =
        CreateNamedObject(*model, model::Partition, parent->GetObjectId(), record.Text(u"partition_name"sv));
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
    if (!record.Has(u"definition"sv)) return;  // dropped since the snapshot
    CMOObject* table = FindRelation(record.GetUnsigned(u"table_oid"sv));
    if (table == nullptr) return;
    CMOObject& trigger =
        CreateNamedObject(*model, model::Trigger, table->GetObjectId(), record.Text(u"trigger_name"sv));
    SetTextPropertyFrom(trigger, model::TriggerTiming, record, u"timing"sv);
    SetTextPropertyFrom(trigger, model::TriggerEvents, record, u"events"sv);
    SetTextPropertyFrom(trigger, model::Definition, record, u"definition"sv);
    SetTextPropertyFrom(trigger, model::Comment, record, u"comment"sv);
  }
};

// ---- Routines: the body as Definition, the CREATE text as SqlText. The
// parameter list is written by the parameters statement; a routine without
// arguments keeps the empty list set here.

class RoutinesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& routine = CreateInSchema(model, model::Routine, record, u"routine_name"sv);
    SetTextProperty(routine, model::RoutineKind, record.Text(u"routine_kind"sv));
    SetTextPropertyFrom(routine, model::ReturnType, record, u"return_type"sv);
    SetTextPropertyFrom(routine, model::Language, record, u"language_name"sv);
    SetTextPropertyFrom(routine, model::Definition, record, u"body"sv);
    SetTextPropertyFrom(routine, model::SqlText, record, u"sql_text"sv);
    SetTextProperty(routine, model::ParameterList, std::u16string());
    SetOwnerAndComment(routine, record);
    ImportedObjectCache::Instance()->AddByDBID(RoutineKey(record.GetUnsigned(u"routine_oid"sv)), &routine);
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
    const std::uint32_t routineOid = record.GetUnsigned(u"routine_oid"sv);
    const CString routineKey = RoutineKey(routineOid);
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(routineKey);
    if (routine == nullptr) return;
    CMOObject& parameter = model->CreateObject(model::Parameter, routine->GetObjectId());
    const std::u16string name = record.Text(u"parameter_name"sv);
    const std::u16string mode = ModeName(record.Text(u"parameter_mode"sv));
    const std::u16string type = record.Text(u"data_type"sv);
    if (!name.empty()) SetTextProperty(parameter, model::Name, name);
    SetTextProperty(parameter, model::ParameterMode, mode);
    SetTextProperty(parameter, model::DataType, type);
    SetIntegerProperty(parameter, model::Position, record.GetNumber(u"parameter_position"sv));
    SetTextPropertyFrom(parameter, model::DefaultValue, record, u"default_value"sv);

    if (mode == u"TABLE") return;
    // A procedure's IN is written out: DROP PROCEDURE reads a bare
    // argument list differently.
    const bool procedure = record.GetNumber(u"is_procedure"sv) != 0;
    std::u16string text;
    if (mode != u"IN" || procedure) text += mode + u' ';
    if (record.Has(u"parameter_sql_name"sv)) text += record.Text(u"parameter_sql_name"sv) + u' ';
    text += type;
    if (record.Has(u"default_value"sv)) text += u" DEFAULT " + record.Text(u"default_value"sv);
    ImportedObjectCache::Instance()->AddParameter(routineKey, CString(std::move(text)));
    if (m_routines.empty() || m_routines.back().oid != routineOid)
      m_routines.push_back(Pending{routineOid, routine,
                                   record.Has(u"direct_arguments"sv) ? record.GetNumber(u"direct_arguments"sv) : -1});
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

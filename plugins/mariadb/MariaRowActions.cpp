#include "MariaRowActions.h"

#include "MariaText.h"

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/ImportCacheDB.h>
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/ObjectIdLookup.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qm::mariadb {
namespace {

// ---- Cache keys (see MariaRowActions.h).

CString RelationKey(std::u16string_view schema, std::u16string_view table) {
  return CString(CacheKey(u'r', {schema, table}));
}
CString KeyNameKey(std::u16string_view schema, std::u16string_view table, std::u16string_view key) {
  return CString(CacheKey(u'k', {schema, table, key}));
}
CString RoutineKey(std::u16string_view schema, std::u16string_view type, std::u16string_view name) {
  return CString(CacheKey(u'p', {schema, type, name}));
}

// A key's signature: its table (by the relation's object id) and its
// columns as a set (a foreign key may list the referenced columns in
// another order than the key), by their names with ASCII letters folded.
CString KeySignature(const CMOObject& relation, std::vector<std::u16string> columns) {
  for (std::u16string& column : columns) column = FoldAscii(column);
  std::sort(columns.begin(), columns.end());
  std::u16string signature = u"r" + Decimal(relation.GetObjectId());
  for (const std::u16string& column : columns) signature += CacheKey(u'|', {column});
  return CString(std::move(signature));
}

CMOObject* FindRelation(std::u16string_view schema, std::u16string_view table) {
  return ImportedObjectCache::Instance()->FindObjectById(RelationKey(schema, table));
}

// The column of the relation by its name as written in a key, a foreign
// key or a grant, with ASCII letters compared without case as MariaDB
// compares column names (a relation never has two such columns); null when
// not imported. The relation's own children in the model answer this: a
// cache entry per column would repeat the relation for every column, and
// only the keys, foreign keys and grants statements ask.
CMOObject* FindColumn(GenericModel& model, const CMOObject& relation, std::u16string_view column) {
  return FindColumnIgnoringAsciiCase(model, &relation, column);
}

CMOObject* FindColumnOf(GenericModel& model, std::u16string_view schema, std::u16string_view table,
                        std::u16string_view column) {
  const CMOObject* relation = FindRelation(schema, table);
  return relation != nullptr ? FindColumn(model, *relation, column) : nullptr;
}

int SchemaId(GenericModel* model, const std::u16string& schema) { return SchemaLookup::Instance()->FindCreate(model, schema); }

// ---- Writing the model.

// The column's text when it is neither NULL nor empty (information_schema
// writes '' for "no comment").
void SetNonEmptyFrom(CMOObject& object, int propertyId, const CommonDataObject& record, const char16_t* column) {
  std::u16string value = record.Text(column);
  if (!value.empty()) SetTextProperty(object, propertyId, std::move(value));
}

// The column's text as the vocabulary's word for the property on this
// object (model::AllowedValues): the listed word it spells, ASCII case
// ignored ("Dynamic" is the row format DYNAMIC, "BTREE" the method btree).
// Nothing when the column is NULL or spells no listed word: a view's check
// option NONE is said by leaving the property out.
void SetWordFrom(CMOObject& object, int propertyId, const CommonDataObject& record, std::u16string_view column) {
  if (!record.Has(column)) return;
  const std::u16string_view value = record.GetText(column);
  for (const char* word : model::AllowedValues(object.GetObjectType(), propertyId)) {
    const std::u16string listed(word, word + std::char_traits<char>::length(word));
    if (EqualsIgnoringAsciiCase(value, listed)) return SetTextProperty(object, propertyId, listed);
  }
}

std::u16string Lower(std::u16string text) {
  for (char16_t& ch : text)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
  return text;
}

// A new named object under the schema the row names (schema_name), which
// the schema lookup makes when the model has none of that name.
CMOObject& CreateInSchema(GenericModel* model, int objectType, const CommonDataObject& record, const char16_t* nameColumn) {
  return CreateNamedObject(*model, objectType, SchemaId(model, record.Text(u"schema_name")), record.Text(nameColumn));
}

// ---- Schemas: through the schema lookup, so that a schema already in the
// model is reused.

class SchemasAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* schema = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name")));
    if (schema == nullptr) return;
    SetTextPropertyFrom(*schema, model::CharacterSet, record, u"character_set");
    SetTextPropertyFrom(*schema, model::Collation, record, u"collation_name");
    SetNonEmptyFrom(*schema, model::Comment, record, u"comment");
  }
};

// ---- Tables: engine, row format, default collation; TableKind "table",
// "partitioned table" or "system-versioned table".

class TablesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& table = CreateInSchema(model, model::Table, record, u"table_name");
    const bool partitioned = (u" " + record.Text(u"create_options") + u" ").find(u" partitioned ") != std::u16string::npos;
    SetTextProperty(table, model::TableKind,
                    partitioned                                           ? u"partitioned table"
                    : record.Text(u"table_type") == u"SYSTEM VERSIONED" ? u"system-versioned table"
                                                                         : u"table");
    SetTextPropertyFrom(table, model::Engine, record, u"engine");
    SetWordFrom(table, model::RowFormat, record, u"row_format");
    SetTextPropertyFrom(table, model::Collation, record, u"collation_name");
    SetNonEmptyFrom(table, model::Comment, record, u"comment");
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.Text(u"schema_name"), record.Text(u"table_name")),
                                               &table);
  }
};

class ViewsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& view = CreateInSchema(model, model::View, record, u"view_name");
    SetTextProperty(view, model::TableKind, u"view");
    SetTextPropertyFrom(view, model::Definition, record, u"definition");
    SetWordFrom(view, model::CheckOption, record, u"check_option");
    SetWordFrom(view, model::SecurityType, record, u"security_type");
    SetTextPropertyFrom(view, model::Owner, record, u"definer");
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.Text(u"schema_name"), record.Text(u"view_name")),
                                               &view);
  }
};

// ---- Sequences: the objects, and the list the values statement is made
// from; the values (64-bit numbers as text) come with that statement.

class SequencesAction : public QueryResultRowActionI {
 public:
  explicit SequencesAction(std::vector<SequenceName>* sequences) : m_sequences(sequences) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& sequence = CreateInSchema(model, model::Sequence, record, u"sequence_name");
    SetNonEmptyFrom(sequence, model::Comment, record, u"comment");
    SequenceName name{record.Text(u"schema_name"), record.Text(u"sequence_name")};
    ImportedObjectCache::Instance()->AddByDBID(CString(CacheKey(u's', {name.schema, name.name})), &sequence);
    if (m_sequences != nullptr) m_sequences->push_back(std::move(name));
  }

 private:
  std::vector<SequenceName>* m_sequences;  // the reader's list; not owned
};

class SequenceValuesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* sequence = ImportedObjectCache::Instance()->FindObjectById(
        CString(CacheKey(u's', {record.Text(u"schema_name"), record.Text(u"sequence_name")})));
    if (sequence == nullptr) return;
    SetNumber(*sequence, model::SequenceStart, record, u"start_value");
    SetNumber(*sequence, model::SequenceIncrement, record, u"increment_by");
    SetNumber(*sequence, model::SequenceMin, record, u"min_value");
    SetNumber(*sequence, model::SequenceMax, record, u"max_value");
    SetIntegerProperty(*sequence, model::SequenceCycle, record.GetNumber(u"cycles") != 0 ? 1 : 0);
  }

 private:
  static void SetNumber(CMOObject& object, int propertyId, const CommonDataObject& record, const char16_t* column) {
    if (const std::optional<std::int64_t> value = ParseInt64(record.Text(column)))
      SetIntegerProperty(object, propertyId, *value);
  }
};

// ---- Columns: under their table or view, in ordinal order.

class ColumnsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string table = record.Text(u"table_name");
    if (schema != m_schema || table != m_table) {
      m_schema = schema;
      m_table = table;
      m_relation = FindRelation(schema, table);
    }
    if (m_relation == nullptr) return;
    const std::u16string name = record.Text(u"column_name");
    CMOObject& column = CreateNamedObject(*model, model::Column, m_relation->GetObjectId(), name);
    SetIntegerProperty(column, model::Position, record.GetNumber(u"position"));
    SetTextPropertyFrom(column, model::DataType, record, u"data_type");
    SetIntegerProperty(column, model::Nullable, record.Text(u"is_nullable") == u"YES" ? 1 : 0);
    const bool generated = record.Text(u"is_generated") == u"ALWAYS";
    // A generated column has no default; the catalogue says NULL for it.
    if (!generated) SetTextPropertyFrom(column, model::DefaultValue, record, u"default_value");
    const Extra extra = ReadExtra(record.Text(u"extra"));
    if (generated) {
      SetTextPropertyFrom(column, model::GeneratedExpression, record, u"generation_expression");
      if (!extra.generatedKind.empty()) SetTextProperty(column, model::GeneratedKind, extra.generatedKind);
    }
    if (extra.autoIncrement) SetIntegerProperty(column, model::AutoIncrement, 1);
    if (extra.invisible) SetIntegerProperty(column, model::Invisible, 1);
    if (!extra.onUpdate.empty()) SetTextProperty(column, model::UpdateExpression, extra.onUpdate);
    SetTextPropertyFrom(column, model::CharacterSet, record, u"character_set");
    SetTextPropertyFrom(column, model::Collation, record, u"collation_name");
    SetNonEmptyFrom(column, model::Comment, record, u"comment");
  }

  void PostExecute(GenericModel*) override {
    m_schema.clear();
    m_table.clear();
    m_relation = nullptr;
  }

 private:
  // What COLUMNS.EXTRA says, a list of blank-separated words:
  // auto_increment, INVISIBLE, VIRTUAL GENERATED / STORED GENERATED, and
  // "on update <expression>" (the expression last).
  struct Extra {
    bool autoIncrement = false;
    bool invisible = false;
    std::u16string generatedKind;  // "VIRTUAL" or "STORED"; empty for a column that is not generated
    std::u16string onUpdate;       // the ON UPDATE expression; empty for none
  };
  static Extra ReadExtra(std::u16string text) {
    Extra extra;
    auto take = [&](std::u16string_view word) {
      const std::size_t pos = text.find(word);
      if (pos == std::u16string::npos) return false;
      text.erase(pos, word.size());
      return true;
    };
    if (take(u"VIRTUAL GENERATED")) extra.generatedKind = u"VIRTUAL";
    if (take(u"STORED GENERATED")) extra.generatedKind = u"STORED";
    extra.autoIncrement = take(u"auto_increment");
    extra.invisible = take(u"INVISIBLE");
    const std::size_t onUpdate = text.find(u"on update ");
    if (onUpdate != std::u16string::npos) {
      std::u16string expression = text.substr(onUpdate + 10);
      while (!expression.empty() && expression.back() == u' ') expression.pop_back();
      extra.onUpdate = std::move(expression);
    }
    return extra;
  }

  std::u16string m_schema;          // schema of the previous row
  std::u16string m_table;           // table of the previous row
  CMOObject* m_relation = nullptr;  // that table (or view) once looked up; the model's
};

// ---- Keys and indexes: one row per column of an index of
// information_schema.STATISTICS. The object is made at its first row; its
// columns, prefix lengths and descending parts are written when its rows
// end.

class IndexRowsAction : public QueryResultRowActionI {
 public:
  explicit IndexRowsAction(bool keys) : m_keys(keys) {}

  void PreExecute(GenericModel*) override {
    m_current = Pending();
    m_signatures.clear();
  }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string table = record.Text(u"table_name");
    const std::u16string name = record.Text(m_keys ? u"key_name" : u"index_name");
    if (m_current.object == nullptr || schema != m_current.schema || table != m_current.table || name != m_current.name) {
      Finish();
      Start(model, schema, table, name, record);
    }
    if (m_current.object == nullptr) return;
    const std::u16string columnName = record.Text(u"column_name");
    m_current.columnNames.push_back(columnName);
    CMOObject* column = FindColumn(*model, *m_current.relation, columnName);
    if (column == nullptr) {
      m_current.complete = false;
      return;
    }
    m_current.columnIds.push_back(column->GetObjectId());
    const int prefix = record.Has(u"prefix_length") ? record.GetNumber(u"prefix_length") : 0;
    m_current.prefixes.push_back(prefix);
    if (record.Text(u"column_order") == u"D") m_current.descending.push_back(column->GetObjectId());
    if (m_keys && name == u"PRIMARY")
      SetIntegerProperty(*column, model::PrimaryKeyPosition, static_cast<std::int64_t>(m_current.columnIds.size()));
  }

  void PostExecute(GenericModel*) override {
    Finish();
    m_current = Pending();
    m_signatures.clear();
    if (m_keys) ImportedKeysCache::Instance()->InitReverseSearch();
  }

 private:
  struct Pending {
    std::u16string schema, table, name;    // the index the rows belong to
    CMOObject* relation = nullptr;         // its table; null when not imported
    CMOObject* object = nullptr;           // its model object; null when its table was not imported
    std::vector<std::u16string> columnNames;  // its columns as named in its rows
    std::vector<int> columnIds;            // the ids of those that were imported
    std::vector<int> prefixes;             // per imported column: the prefix length, 0 for all of it
    std::vector<int> descending;           // ids of the descending columns
    bool complete = true;                  // every column was found
  };

  void Start(GenericModel* model, const std::u16string& schema, const std::u16string& table, const std::u16string& name,
             const CommonDataObject& record) {
    m_current = Pending();
    m_current.schema = schema;
    m_current.table = table;
    m_current.name = name;
    CMOObject* relation = FindRelation(schema, table);
    if (relation == nullptr) return;
    m_current.relation = relation;
    CMOObject& object =
        CreateNamedObject(*model, m_keys ? model::Key : model::Index, relation->GetObjectId(), name);
    if (m_keys) {
      SetTextProperty(object, model::KeyType, name == u"PRIMARY" ? u"PRIMARY KEY" : u"UNIQUE");
      SetIntegerProperty(object, model::Deferrable, 0);
      SetIntegerProperty(object, model::InitiallyDeferred, 0);
      ImportedObjectCache::Instance()->AddAttribute(KeyNameKey(schema, table, name), &object);
    } else {
      SetIntegerProperty(object, model::IsUnique, 0);
      ImportedIndexCache::Instance()->AddByDBID(CString(CacheKey(u'i', {schema, table, name})), &object);
    }
    SetWordFrom(object, model::IndexMethod, record, u"index_type");
    if (record.Text(u"ignored") == u"YES") SetIntegerProperty(object, model::Invisible, 1);
    SetNonEmptyFrom(object, model::Comment, record, u"comment");
    m_current.object = &object;
  }

  void Finish() {
    if (m_current.object == nullptr) return;
    CMOObject& object = *m_current.object;
    SetIdsProperty(object, m_keys ? model::KeyColumns : model::IndexColumns, m_current.columnIds);
    if (std::any_of(m_current.prefixes.begin(), m_current.prefixes.end(), [](int length) { return length != 0; })) {
      std::u16string lengths;
      for (std::size_t i = 0; i < m_current.prefixes.size(); ++i)
        lengths += (i > 0 ? u"," : u"") + Decimal(m_current.prefixes[i]);
      SetTextProperty(object, model::PrefixLengths, std::move(lengths));
    }
    if (!m_current.descending.empty()) SetIdsProperty(object, model::DescendingColumns, m_current.descending);
    // A key with a column that was not imported could match a foreign key
    // it does not serve: it gets no signature. The primary key comes first,
    // so that it is the one found when two keys share their columns.
    if (m_keys && m_current.complete && !m_current.columnNames.empty()) {
      CString signature = KeySignature(*m_current.relation, m_current.columnNames);
      if (m_signatures.insert(signature).second) ImportedKeysCache::Instance()->Set(&object, signature);
    }
    m_current.object = nullptr;
  }

  bool m_keys;                      // primary and unique keys; otherwise indexes
  Pending m_current;                // the index whose rows arrive
  // Signatures given in this statement; emptied by PostExecute.
  struct SignatureHash {
    std::size_t operator()(const CString& text) const { return std::hash<std::u16string_view>{}(text.view()); }
  };
  std::unordered_set<CString, SignatureHash> m_signatures;
};

class CheckConstraintsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* table = FindRelation(record.Text(u"schema_name"), record.Text(u"table_name"));
    if (table == nullptr) return;
    CMOObject& check =
        CreateNamedObject(*model, model::CheckConstraint, table->GetObjectId(), record.Text(u"constraint_name"));
    const std::u16string expression = record.Text(u"check_expression");
    SetTextProperty(check, model::CheckExpression, expression);
    SetTextProperty(check, model::Definition, u"CHECK (" + expression + u")");
  }
};

// ---- Foreign keys: one row per column. The referenced key is the one the
// catalogue names (an index of the referenced table) when it is a key,
// else the key with the referenced columns. A foreign key to a table
// outside the import keeps its definition, which names it.

class ForeignKeysAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_current = Pending(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string table = record.Text(u"table_name");
    const std::u16string name = record.Text(u"constraint_name");
    if (!m_current.started || schema != m_current.schema || table != m_current.table || name != m_current.name) {
      Finish(*model);
      Start(model, schema, table, name, record);
    }
    m_current.columns.push_back(record.Text(u"column_name"));
    m_current.referencedColumns.push_back(record.Text(u"referenced_column"));
  }

  void PostExecute(GenericModel* model) override {
    Finish(*model);
    m_current = Pending();
  }

 private:
  struct Pending {
    bool started = false;
    std::u16string schema, table, name;                  // the foreign key the rows belong to
    std::u16string referencedSchema, referencedTable;    // the table it references
    std::u16string referencedKey;                        // the index the catalogue names
    std::u16string onDelete, onUpdate;                   // its actions
    CMOObject* relation = nullptr;                       // its table; null when not imported
    CMOObject* object = nullptr;                         // its model object; null when its table was not imported
    std::vector<std::u16string> columns;                 // its columns, in order
    std::vector<std::u16string> referencedColumns;       // the referenced columns, in the same order
  };

  void Start(GenericModel* model, const std::u16string& schema, const std::u16string& table, const std::u16string& name,
             const CommonDataObject& record) {
    m_current = Pending();
    m_current.started = true;
    m_current.schema = schema;
    m_current.table = table;
    m_current.name = name;
    m_current.referencedSchema = record.Text(u"referenced_schema");
    m_current.referencedTable = record.Text(u"referenced_table");
    m_current.referencedKey = record.Text(u"referenced_key");
    m_current.onDelete = record.Text(u"on_delete");
    m_current.onUpdate = record.Text(u"on_update");
    CMOObject* relation = FindRelation(schema, table);
    if (relation == nullptr) return;
    m_current.relation = relation;
    CMOObject& foreignKey = CreateNamedObject(*model, model::ForeignKey, relation->GetObjectId(), name);
    const std::u16string match = record.Text(u"match_option");
    SetTextProperty(foreignKey, model::MatchType, match == u"FULL" || match == u"PARTIAL" ? match : u"SIMPLE");
    SetTextProperty(foreignKey, model::OnDelete, m_current.onDelete);
    SetTextProperty(foreignKey, model::OnUpdate, m_current.onUpdate);
    SetIntegerProperty(foreignKey, model::Deferrable, 0);
    SetIntegerProperty(foreignKey, model::InitiallyDeferred, 0);
    m_current.object = &foreignKey;
  }

  // The ids of the named columns; only when every one is known, since a
  // partial list would pair columns wrongly.
  static std::vector<int> ColumnIds(GenericModel& model, const CMOObject& relation,
                                    const std::vector<std::u16string>& names) {
    std::vector<int> ids;
    for (const std::u16string& name : names)
      if (CMOObject* column = FindColumn(model, relation, name)) ids.push_back(column->GetObjectId());
    return ids.size() == names.size() ? ids : std::vector<int>();
  }

  static std::u16string Columns(const std::vector<std::u16string>& names) {
    std::u16string list;
    for (std::size_t i = 0; i < names.size(); ++i) list += (i > 0 ? u", " : u"") + QuoteIdentifier(names[i]);
    return list;
  }

  void Finish(GenericModel& model) {
    if (m_current.object == nullptr) return;
    CMOObject& foreignKey = *m_current.object;
    const Pending& fk = m_current;
    SetIdsProperty(foreignKey, model::ForeignKeyColumns, ColumnIds(model, *fk.relation, fk.columns));
    if (CMOObject* referenced = FindRelation(fk.referencedSchema, fk.referencedTable)) {
      SetIdsProperty(foreignKey, model::ReferencedTable, {referenced->GetObjectId()});
      std::vector<int> ids = ColumnIds(model, *referenced, fk.referencedColumns);
      if (!ids.empty()) SetIdsProperty(foreignKey, model::ReferencedColumns, std::move(ids));
      CMOObject* key = ImportedObjectCache::Instance()->FindAttribute(
          KeyNameKey(fk.referencedSchema, fk.referencedTable, fk.referencedKey));
      if (key == nullptr)
        key = ImportedKeysCache::Instance()->FindMatchingKey(
            KeySignature(*referenced, fk.referencedColumns));
      if (key != nullptr) SetIdsProperty(foreignKey, model::ReferencedKey, {key->GetObjectId()});
    }
    SetTextProperty(foreignKey, model::Definition,
                    u"FOREIGN KEY (" + Columns(fk.columns) + u") REFERENCES " + QuoteIdentifier(fk.referencedSchema) +
                        u"." + QuoteIdentifier(fk.referencedTable) + u" (" + Columns(fk.referencedColumns) +
                        u") ON DELETE " + fk.onDelete + u" ON UPDATE " + fk.onUpdate);
    m_current.object = nullptr;
  }

  Pending m_current;  // the foreign key whose rows arrive
};

// ---- Partitions: the table gets its partitioning clause as Definition;
// each partition its bound clause as Definition and, as PartitionBound,
// the bound's values each between single quotes (MAXVALUE and NULL too:
// the clause tells them from text), parked in the scratch store and read
// back once all rows are in. Subpartitions are part of their partition's
// clause on the table and make no objects of their own.

class PartitionsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override {
    m_pending.clear();
    m_table = nullptr;
    m_partition = nullptr;
    m_nextFunction = 1;
  }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string tableName = record.Text(u"table_name");
    const std::u16string name = record.Text(u"partition_name");
    if (schema != m_schema || tableName != m_tableName) {
      m_schema = schema;
      m_tableName = tableName;
      m_partitionName.clear();
      m_partition = nullptr;
      m_table = FindRelation(schema, tableName);
      if (m_table != nullptr) {
        std::u16string clause = u"PARTITION BY " + record.Text(u"partition_method") + u" (" +
                                record.Text(u"partition_expression") + u")";
        if (record.Has(u"subpartition_method"))
          clause += u" SUBPARTITION BY " + record.Text(u"subpartition_method") + u" (" +
                    record.Text(u"subpartition_expression") + u")";
        SetTextProperty(*m_table, model::Definition, std::move(clause));
      }
    } else if (name == m_partitionName) {
      return;  // a further subpartition of the same partition
    }
    m_partitionName = name;
    if (m_table == nullptr) return;
    CMOObject& partition = CreateNamedObject(*model, model::Partition, m_table->GetObjectId(), name);
    const std::u16string description = record.Text(u"partition_description");
    const std::u16string bound = PartitionBoundClause(record.Text(u"partition_method"), description);
    if (!bound.empty()) SetTextProperty(partition, model::Definition, bound);
    SetNonEmptyFrom(partition, model::Comment, record, u"comment");
    // A default partition has no values of its own.
    const std::vector<std::u16string> values =
        bound == u"DEFAULT" ? std::vector<std::u16string>() : PartitionValues(description);
    if (values.empty()) return;
    const int functionId = m_nextFunction++;
    ImportCacheDB* store = ImportCacheDB::Instance();
    int order = 0;
    for (const std::u16string& value : values)
      store->Insert_PartitionFunctionValue(functionId, order++, 1, CString(AsLiteralContent(value)));
    m_pending.emplace_back(functionId, &partition);
  }

  void PostExecute(GenericModel*) override {
    for (const auto& [functionId, partition] : m_pending) {
      CString values;
      ImportCacheDB::Instance()->GetPartitionFunctionValues(functionId, values);
      SetTextProperty(*partition, model::PartitionBound, values.str());
    }
    m_pending.clear();
    m_schema.clear();
    m_tableName.clear();
    m_table = nullptr;
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

  std::u16string m_schema, m_tableName;  // the table of the previous row
  CMOObject* m_table = nullptr;          // that table once looked up; the model's
  std::u16string m_partitionName;        // the partition of the previous row
  CMOObject* m_partition = nullptr;      // its object
  int m_nextFunction = 1;                // the store's number for the next partition's values
  std::vector<std::pair<int, CMOObject*>> m_pending;  // (store number, partition object); emptied by PostExecute
};

class TriggersAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* table = FindRelation(record.Text(u"schema_name"), record.Text(u"table_name"));
    if (table == nullptr) return;
    CMOObject& trigger = CreateNamedObject(*model, model::Trigger, table->GetObjectId(), record.Text(u"trigger_name"));
    SetTextPropertyFrom(trigger, model::TriggerTiming, record, u"timing");
    SetTextPropertyFrom(trigger, model::TriggerEvents, record, u"event");
    SetIntegerProperty(trigger, model::TriggerOrder, record.GetNumber(u"action_order"));
    SetTextPropertyFrom(trigger, model::Definition, record, u"definition");
    SetTextPropertyFrom(trigger, model::Owner, record, u"definer");
    SetTextPropertyFrom(trigger, model::SqlMode, record, u"sql_mode");
  }
};

// ---- Routines: the body as Definition (information_schema's, replaced by
// mysql.proc's where that is read), kind "function" or "procedure", the
// return type of a function. The parameter list is written by the
// parameters statement; a routine without parameters keeps the empty list
// set here.

class RoutinesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& routine = CreateInSchema(model, model::Routine, record, u"routine_name");
    const std::u16string type = record.Text(u"routine_type");
    SetWordFrom(routine, model::RoutineKind, record, u"routine_type");
    SetTextPropertyFrom(routine, model::ReturnType, record, u"return_type");
    SetTextProperty(routine, model::Language, Lower(record.Text(u"language_name")));
    SetTextPropertyFrom(routine, model::Definition, record, u"body");
    SetWordFrom(routine, model::SecurityType, record, u"security_type");
    SetTextPropertyFrom(routine, model::Owner, record, u"definer");
    SetTextPropertyFrom(routine, model::SqlMode, record, u"sql_mode");
    SetNonEmptyFrom(routine, model::Comment, record, u"comment");
    SetTextProperty(routine, model::ParameterList, std::u16string());
    ImportedObjectCache::Instance()->AddByDBID(
        RoutineKey(record.Text(u"schema_name"), type, record.Text(u"routine_name")), &routine);
  }
};

class RoutineBodiesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(
        RoutineKey(record.Text(u"schema_name"), record.Text(u"routine_type"), record.Text(u"routine_name")));
    if (routine != nullptr && record.Has(u"body")) SetTextProperty(*routine, model::Definition, record.Text(u"body"));
  }
};

// One parameter object per parameter, under its routine; each parameter's
// text goes to the routine's parameter list in the object cache, and the
// lists are joined into ParameterList once all rows are in. The list reads
// as MariaDB writes it: a procedure's parameters with their mode, a
// function's without; names quoted with backticks.

class ParametersAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_routines.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string type = record.Text(u"routine_type");
    const CString routineKey = RoutineKey(record.Text(u"schema_name"), type, record.Text(u"routine_name"));
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(routineKey);
    if (routine == nullptr) return;
    CMOObject& parameter = model->CreateObject(model::Parameter, routine->GetObjectId());
    const std::u16string name = record.Text(u"parameter_name");
    const std::u16string mode = record.Has(u"parameter_mode") ? record.Text(u"parameter_mode") : u"IN";
    const std::u16string dataType = record.Text(u"data_type");
    SetTextProperty(parameter, model::Name, name);
    SetTextProperty(parameter, model::ParameterMode, mode);
    SetTextProperty(parameter, model::DataType, dataType);
    SetIntegerProperty(parameter, model::Position, record.GetNumber(u"parameter_position"));

    std::u16string text = type == u"PROCEDURE" ? mode + u' ' : std::u16string();
    text += QuoteIdentifier(name) + u' ' + dataType;
    ImportedObjectCache::Instance()->AddParameter(routineKey, CString(std::move(text)));
    if (m_routines.empty() || m_routines.back().first != routineKey) m_routines.emplace_back(routineKey, routine);
  }

  void PostExecute(GenericModel*) override {
    for (const auto& [key, routine] : m_routines) {
      CStringArray parameters;
      ImportedObjectCache::Instance()->GetParameters(key, parameters);
      std::u16string list;
      for (int i = 0; i < static_cast<int>(parameters.GetSize()); ++i)
        list += (i > 0 ? u", " : u"") + parameters.GetAt(i).str();
      SetTextProperty(*routine, model::ParameterList, std::move(list));
    }
    m_routines.clear();
  }

 private:
  std::vector<std::pair<CString, CMOObject*>> m_routines;  // routines with rows, in row order; emptied by PostExecute
};

// ---- Grants: one per object and grantee, the rows of a pair following
// each other. The grantee is "user@host" ('user'@'host' in SQL), a role
// ('role'@'') its bare name.

class PrivilegesAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_grant = nullptr; }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string table = record.Text(u"table_name");
    const std::u16string column = record.Text(u"column_name");
    const std::u16string grantee = Grantee(record.Text(u"grantee"));
    const std::u16string privilege = record.Text(u"privilege_type");
    if (grantee.empty() || privilege.empty()) return;
    const std::u16string key = CacheKey(u'g', {schema, table, column, grantee});
    if (key != m_key) {
      m_key = key;
      m_grant = nullptr;
      CMOObject* object = !record.Has(u"table_name") ? model->GetCMOObject(SchemaId(model, schema))
                          : !record.Has(u"column_name") ? FindRelation(schema, table)
                          : FindColumnOf(*model, schema, table, column);
      if (object == nullptr) return;  // not imported
      m_grant = &CreateNamedObject(*model, model::Grant, object->GetObjectId(), grantee);
    }
    if (m_grant == nullptr) return;
    Append(*m_grant, model::Privileges, privilege);
    if (record.Text(u"is_grantable") == u"YES") Append(*m_grant, model::GrantOption, privilege);
  }

 private:
  // 'user'@'host' as information_schema writes it: the host is what
  // follows the last "'@'".
  static std::u16string Grantee(const std::u16string& text) {
    const std::size_t at = text.rfind(u"'@'");
    if (text.size() < 5 || text.front() != u'\'' || text.back() != u'\'' || at == std::u16string::npos) return {};
    const std::u16string user = text.substr(1, at - 1);
    const std::u16string host = text.substr(at + 3, text.size() - at - 4);
    return host.empty() ? user : user + u"@" + host;
  }

  static void Append(CMOObject& grant, int propertyId, const std::u16string& privilege) {
    const CMOProperty* property = grant.GetProperty(propertyId);
    SetTextProperty(grant, propertyId,
                    property == nullptr ? privilege : property->GetWStringValue() + u", " + privilege);
  }

  std::u16string m_key;          // the object and grantee of the rows now read
  CMOObject* m_grant = nullptr;  // their grant, the model's; null when the object was not imported
};

}  // namespace

QueryResultRowActionI* CreateRowAction(int statementId, std::vector<SequenceName>* sequences) {
  QueryResultRowActionI* action = nullptr;
  switch (statementId) {
    case kSchemas: action = new SchemasAction(); break;
    case kPrivileges: action = new PrivilegesAction(); break;
    case kTables: action = new TablesAction(); break;
    case kViews: action = new ViewsAction(); break;
    case kSequences: action = new SequencesAction(sequences); break;
    case kSequenceValues: action = new SequenceValuesAction(); break;
    case kColumns: action = new ColumnsAction(); break;
    case kKeys: action = new IndexRowsAction(true); break;
    case kCheckConstraints: action = new CheckConstraintsAction(); break;
    case kForeignKeys: action = new ForeignKeysAction(); break;
    case kIndexes: action = new IndexRowsAction(false); break;
    case kPartitions: action = new PartitionsAction(); break;
    case kTriggers: action = new TriggersAction(); break;
    case kRoutines: action = new RoutinesAction(); break;
    case kRoutineBodies: action = new RoutineBodiesAction(); break;
    case kParameters: action = new ParametersAction(); break;
    default: return nullptr;
  }
  action->SetObjectType(StatementObjectType(statementId));
  return action;
}

}  // namespace qm::mariadb

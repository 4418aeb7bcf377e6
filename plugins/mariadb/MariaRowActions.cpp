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
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qm::mariadb {
namespace {

// Column names as views of known length: a view made from a pointer counts
// its characters on every row.
using namespace std::string_view_literals;

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

// Whether two texts are the same, unit for unit: what a row action asks of
// every row to tell whether it still belongs to the object the previous
// rows made (a comparison by memcmp, not unit by unit).
bool SameText(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0);
}

// A value of the row (CommonDataObject::Find's, not null) as GetText reads
// it: the text up to its first NUL; empty for a value that is not text.
std::u16string_view TextOf(const COleVariant& value) {
  const bool text = value.vt == platform::win::VT_BSTR && value.bstrVal != nullptr;
  return text ? std::u16string_view(value.bstrVal) : std::u16string_view();
}

// SetTextPropertyFrom for a value already found: nothing for a NULL
// column (null).
void SetTextOf(CMOObject& object, int propertyId, const COleVariant* value) {
  if (value != nullptr) SetTextProperty(object, propertyId, TextOf(*value));
}

// The column's text when it is neither NULL nor empty (information_schema
// writes '' for "no comment").
void SetNonEmptyFrom(CMOObject& object, int propertyId, const CommonDataObject& record, std::u16string_view column) {
  const std::u16string_view value = record.GetText(column);
  if (!value.empty()) SetTextProperty(object, propertyId, value);
}

// Whether the text spells the ASCII word, ASCII letters compared without case.
bool SpellsIgnoringAsciiCase(std::u16string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char16_t a = text[i];
    char16_t b = static_cast<unsigned char>(word[i]);
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
    if (a != b) return false;
  }
  return true;
}

// The column's text as the vocabulary's word for the property on this
// object (model::AllowedValues): the listed word it spells, ASCII case
// ignored ("Dynamic" is the row format DYNAMIC, "BTREE" the method btree).
// Nothing when the column is NULL or spells no listed word: a view's check
// option NONE is said by leaving the property out.
void SetWordFrom(CMOObject& object, int propertyId, const CommonDataObject& record, std::u16string_view column) {
  const COleVariant* found = record.Find(column);
  if (found == nullptr) return;
  const std::u16string_view value = TextOf(*found);
  for (const char* word : model::AllowedValues(object.GetObjectType(), propertyId)) {
    const std::string_view listed(word);
    if (SpellsIgnoringAsciiCase(value, listed))
      return SetTextProperty(object, propertyId, std::u16string(listed.begin(), listed.end()));
  }
}

std::u16string Lower(std::u16string text) {
  for (char16_t& ch : text)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
  return text;
}

// A new named object under the schema the row names (schema_name), which
// the schema lookup makes when the model has none of that name.
CMOObject& CreateInSchema(GenericModel* model, int objectType, const CommonDataObject& record, std::u16string_view nameColumn) {
  return CreateNamedObject(*model, objectType, SchemaId(model, record.Text(u"schema_name"sv)), record.Text(nameColumn));
}

// ---- Schemas: through the schema lookup, so that a schema already in the
// model is reused.

class SchemasAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* schema = model->GetCMOObject(SchemaId(model, record.Text(u"schema_name"sv)));
    if (schema == nullptr) return;
    SetTextPropertyFrom(*schema, model::CharacterSet, record, u"character_set"sv);
    SetTextPropertyFrom(*schema, model::Collation, record, u"collation_name"sv);
    SetNonEmptyFrom(*schema, model::Comment, record, u"comment"sv);
  }
};

// ---- Tables: engine, row format, default collation; TableKind "table",
// "partitioned table" or "system-versioned table".

class TablesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& table = CreateInSchema(model, model::Table, record, u"table_name"sv);
    const bool partitioned = (u" " + record.Text(u"create_options"sv) + u" ").find(u" partitioned ") != std::u16string::npos;
    SetTextProperty(table, model::TableKind,
                    partitioned                                           ? u"partitioned table"
                    : record.Text(u"table_type"sv) == u"SYSTEM VERSIONED"sv ? u"system-versioned table"
                                                                         : u"table");
    SetTextPropertyFrom(table, model::Engine, record, u"engine"sv);
    SetWordFrom(table, model::RowFormat, record, u"row_format"sv);
    SetTextPropertyFrom(table, model::Collation, record, u"collation_name"sv);
    SetNonEmptyFrom(table, model::Comment, record, u"comment"sv);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.Text(u"schema_name"sv), record.Text(u"table_name"sv)),
                                               &table);
  }
};

class ViewsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& view = CreateInSchema(model, model::View, record, u"view_name"sv);
    SetTextProperty(view, model::TableKind, u"view");
    SetTextPropertyFrom(view, model::Definition, record, u"definition"sv);
    SetWordFrom(view, model::CheckOption, record, u"check_option"sv);
    SetWordFrom(view, model::SecurityType, record, u"security_type"sv);
    SetTextPropertyFrom(view, model::Owner, record, u"definer"sv);
    ImportedObjectCache::Instance()->AddByDBID(RelationKey(record.Text(u"schema_name"sv), record.Text(u"view_name"sv)),
                                               &view);
  }
};

// ---- Sequences: the objects, and the list the values statement is made
// from; the values (64-bit numbers as text) come with that statement.

class SequencesAction : public QueryResultRowActionI {
 public:
  explicit SequencesAction(std::vector<SequenceName>* sequences) : m_sequences(sequences) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& sequence = CreateInSchema(model, model::Sequence, record, u"sequence_name"sv);
    SetNonEmptyFrom(sequence, model::Comment, record, u"comment"sv);
    SequenceName name{record.Text(u"schema_name"sv), record.Text(u"sequence_name"sv)};
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
        CString(CacheKey(u's', {record.Text(u"schema_name"sv), record.Text(u"sequence_name"sv)})));
    if (sequence == nullptr) return;
    SetNumber(*sequence, model::SequenceStart, record, u"start_value"sv);
    SetNumber(*sequence, model::SequenceIncrement, record, u"increment_by"sv);
    SetNumber(*sequence, model::SequenceMin, record, u"min_value"sv);
    SetNumber(*sequence, model::SequenceMax, record, u"max_value"sv);
    SetIntegerProperty(*sequence, model::SequenceCycle, record.GetNumber(u"cycles"sv) != 0 ? 1 : 0);
  }

 private:
  static void SetNumber(CMOObject& object, int propertyId, const CommonDataObject& record, std::u16string_view column) {
    if (const std::optional<std::int64_t> value = ParseInt64(record.Text(column)))
      SetIntegerProperty(object, propertyId, *value);
  }
};

// ---- Columns: under their table or view, in ordinal order.

class ColumnsAction : public QueryResultRowActionI {
 public:
  // Reads the row's columns in the same order on every row (the record
  // answers a repeated order from its memo) and sets texts from views of
  // the row: a catalogue has ten columns or so per table.
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string_view schema = record.GetText(u"schema_name"sv);
    const std::u16string_view table = record.GetText(u"table_name"sv);
    if (!m_looked || !SameText(table, m_table) || !SameText(schema, m_schema)) {
      m_schema = schema;
      m_table = table;
      m_relation = FindRelation(schema, table);
      m_looked = true;
    }
    const std::u16string_view name = record.GetText(u"column_name"sv);
    if (m_relation == nullptr) return;
    CMOObject& column = CreateNamedObject(*model, model::Column, m_relation->GetObjectId(), name);
    SetIntegerProperty(column, model::Position, record.GetNumber(u"position"sv));
    SetTextPropertyFrom(column, model::DataType, record, u"data_type"sv);
    SetIntegerProperty(column, model::Nullable, record.GetText(u"is_nullable"sv) == u"YES"sv ? 1 : 0);
    const bool generated = record.GetText(u"is_generated"sv) == u"ALWAYS"sv;
    // A generated column has no default; the catalogue says NULL for it.
    const COleVariant* defaultValue = record.Find(u"default_value"sv);
    if (!generated) SetTextOf(column, model::DefaultValue, defaultValue);
    const Extra extra = ReadExtra(record.GetText(u"extra"sv));
    const COleVariant* expression = record.Find(u"generation_expression"sv);
    if (generated) {
      SetTextOf(column, model::GeneratedExpression, expression);
      if (!extra.generatedKind.empty()) SetTextProperty(column, model::GeneratedKind, extra.generatedKind);
    }
    if (extra.autoIncrement) SetIntegerProperty(column, model::AutoIncrement, 1);
    if (extra.invisible) SetIntegerProperty(column, model::Invisible, 1);
    if (!extra.onUpdate.empty()) SetTextProperty(column, model::UpdateExpression, extra.onUpdate);
    SetTextPropertyFrom(column, model::CharacterSet, record, u"character_set"sv);
    SetTextPropertyFrom(column, model::Collation, record, u"collation_name"sv);
    const std::u16string_view comment = record.GetText(u"comment"sv);
    if (!comment.empty()) SetTextProperty(column, model::Comment, comment);
  }

  void PostExecute(GenericModel*) override {
    m_schema.clear();
    m_table.clear();
    m_relation = nullptr;
    m_looked = false;
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
  static Extra ReadExtra(std::u16string_view said) {
    Extra extra;
    if (said.empty()) return extra;  // most columns
    std::u16string text(said);
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
  bool m_looked = false;            // whether m_relation answers for m_schema, m_table
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

  // A row's own values are read before those of the index's first row
  // only, so that every row reads the record in the same order (its memo).
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string_view schema = record.GetText(u"schema_name"sv);
    const std::u16string_view table = record.GetText(u"table_name"sv);
    const std::u16string_view name = record.GetText(m_keys ? u"key_name"sv : u"index_name"sv);
    const std::u16string_view columnName = record.GetText(u"column_name"sv);
    const int prefix = record.Has(u"prefix_length"sv) ? record.GetNumber(u"prefix_length"sv) : 0;
    const bool descending = record.GetText(u"column_order"sv) == u"D"sv;
    if (m_current.object == nullptr || !SameText(name, m_current.name) || !SameText(table, m_current.table) ||
        !SameText(schema, m_current.schema)) {
      Finish();
      Start(model, schema, table, name, record);
    }
    if (m_current.object == nullptr) return;
    m_current.columnNames.emplace_back(columnName);
    CMOObject* column = FindColumn(*model, *m_current.relation, columnName);
    if (column == nullptr) {
      m_current.complete = false;
      return;
    }
    m_current.columnIds.push_back(column->GetObjectId());
    m_current.prefixes.push_back(prefix);
    if (descending) m_current.descending.push_back(column->GetObjectId());
    if (m_keys && name == u"PRIMARY"sv)
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

  void Start(GenericModel* model, std::u16string_view schema, std::u16string_view table, std::u16string_view name,
             const CommonDataObject& record) {
    m_current = Pending();
    m_current.schema = schema;
    m_current.table = table;
    m_current.name = name;
    CMOObject* relation = FindRelation(schema, table);
    if (relation == nullptr) return;
    m_current.relation = relation;
    CMOObject& object = CreateNamedObject(*model, m_keys ? model::Key : model::Index, relation->GetObjectId(), name);
    if (m_keys) {
      SetTextProperty(object, model::KeyType, name == u"PRIMARY"sv ? u"PRIMARY KEY" : u"UNIQUE");
      SetIntegerProperty(object, model::Deferrable, 0);
      SetIntegerProperty(object, model::InitiallyDeferred, 0);
      ImportedObjectCache::Instance()->AddAttribute(KeyNameKey(schema, table, name), &object);
    } else {
      SetIntegerProperty(object, model::IsUnique, 0);
      ImportedIndexCache::Instance()->AddByDBID(CString(CacheKey(u'i', {schema, table, name})), &object);
    }
    SetWordFrom(object, model::IndexMethod, record, u"index_type"sv);
    if (record.GetText(u"ignored"sv) == u"YES"sv) SetIntegerProperty(object, model::Invisible, 1);
    SetNonEmptyFrom(object, model::Comment, record, u"comment"sv);
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
    CMOObject* table = FindRelation(record.Text(u"schema_name"sv), record.Text(u"table_name"sv));
    if (table == nullptr) return;
    CMOObject& check =
        CreateNamedObject(*model, model::CheckConstraint, table->GetObjectId(), record.Text(u"constraint_name"sv));
    const std::u16string expression = record.Text(u"check_expression"sv);
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
    const std::u16string_view schema = record.GetText(u"schema_name"sv);
    const std::u16string_view table = record.GetText(u"table_name"sv);
    const std::u16string_view name = record.GetText(u"constraint_name"sv);
    // Before what the first row of a foreign key reads: every row reads
    // the record in the same order (its memo).
    const std::u16string_view column = record.GetText(u"column_name"sv);
    const std::u16string_view referencedColumn = record.GetText(u"referenced_column"sv);
    if (!m_current.started || !SameText(name, m_current.name) || !SameText(table, m_current.table) ||
        !SameText(schema, m_current.schema)) {
      Finish(*model);
      Start(model, schema, table, name, record);
    }
    m_current.columns.emplace_back(column);
    m_current.referencedColumns.emplace_back(referencedColumn);
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

  void Start(GenericModel* model, std::u16string_view schema, std::u16string_view table, std::u16string_view name,
             const CommonDataObject& record) {
    m_current = Pending();
    m_current.started = true;
    m_current.schema = schema;
    m_current.table = table;
    m_current.name = name;
    m_current.referencedSchema = record.Text(u"referenced_schema"sv);
    m_current.referencedTable = record.Text(u"referenced_table"sv);
    m_current.referencedKey = record.Text(u"referenced_key"sv);
    m_current.onDelete = record.Text(u"on_delete"sv);
    m_current.onUpdate = record.Text(u"on_update"sv);
    CMOObject* relation = FindRelation(schema, table);
    if (relation == nullptr) return;
    m_current.relation = relation;
    CMOObject& foreignKey = CreateNamedObject(*model, model::ForeignKey, relation->GetObjectId(), name);
    const std::u16string_view match = record.GetText(u"match_option"sv);
    SetTextProperty(foreignKey, model::MatchType, match == u"FULL"sv || match == u"PARTIAL"sv ? match : u"SIMPLE"sv);
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
    const std::u16string schema = record.Text(u"schema_name"sv);
    const std::u16string tableName = record.Text(u"table_name"sv);
    const std::u16string name = record.Text(u"partition_name"sv);
    if (schema != m_schema || tableName != m_tableName) {
      m_schema = schema;
      m_tableName = tableName;
      m_partitionName.clear();
      m_partition = nullptr;
      m_table = FindRelation(schema, tableName);
      if (m_table != nullptr) {
        std::u16string clause = u"PARTITION BY " + record.Text(u"partition_method"sv) + u" (" +
                                record.Text(u"partition_expression"sv) + u")";
        if (record.Has(u"subpartition_method"sv))
          clause += u" SUBPARTITION BY " + record.Text(u"subpartition_method"sv) + u" (" +
                    record.Text(u"subpartition_expression"sv) + u")";
        SetTextProperty(*m_table, model::Definition, std::move(clause));
      }
    } else if (name == m_partitionName) {
      return;  // a further subpartition of the same partition
    }
    m_partitionName = name;
    if (m_table == nullptr) return;
    CMOObject& partition = CreateNamedObject(*model, model::Partition, m_table->GetObjectId(), name);
    const std::u16string description = record.Text(u"partition_description"sv);
    const std::u16string bound = PartitionBoundClause(record.Text(u"partition_method"sv), description);
    if (!bound.empty()) SetTextProperty(partition, model::Definition, bound);
    SetNonEmptyFrom(partition, model::Comment, record, u"comment"sv);
    // A default partition has no values of its own.
    const std::vector<std::u16string> values =
        bound == u"DEFAULT"sv ? std::vector<std::u16string>() : PartitionValues(description);
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
    CMOObject* table = FindRelation(record.Text(u"schema_name"sv), record.Text(u"table_name"sv));
    if (table == nullptr) return;
    CMOObject& trigger = CreateNamedObject(*model, model::Trigger, table->GetObjectId(), record.Text(u"trigger_name"sv));
    SetTextPropertyFrom(trigger, model::TriggerTiming, record, u"timing"sv);
    SetTextPropertyFrom(trigger, model::TriggerEvents, record, u"event"sv);
    SetIntegerProperty(trigger, model::TriggerOrder, record.GetNumber(u"action_order"sv));
    SetTextPropertyFrom(trigger, model::Definition, record, u"definition"sv);
    SetTextPropertyFrom(trigger, model::Owner, record, u"definer"sv);
    SetTextPropertyFrom(trigger, model::SqlMode, record, u"sql_mode"sv);
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
    CMOObject& routine = CreateInSchema(model, model::Routine, record, u"routine_name"sv);
    const std::u16string type = record.Text(u"routine_type"sv);
    SetWordFrom(routine, model::RoutineKind, record, u"routine_type"sv);
    SetTextPropertyFrom(routine, model::ReturnType, record, u"return_type"sv);
    SetTextProperty(routine, model::Language, Lower(record.Text(u"language_name"sv)));
    SetTextPropertyFrom(routine, model::Definition, record, u"body"sv);
    SetWordFrom(routine, model::SecurityType, record, u"security_type"sv);
    SetTextPropertyFrom(routine, model::Owner, record, u"definer"sv);
    SetTextPropertyFrom(routine, model::SqlMode, record, u"sql_mode"sv);
    SetNonEmptyFrom(routine, model::Comment, record, u"comment"sv);
    SetTextProperty(routine, model::ParameterList, std::u16string());
    ImportedObjectCache::Instance()->AddByDBID(
        RoutineKey(record.Text(u"schema_name"sv), type, record.Text(u"routine_name"sv)), &routine);
  }
};

class RoutineBodiesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(
        RoutineKey(record.Text(u"schema_name"sv), record.Text(u"routine_type"sv), record.Text(u"routine_name"sv)));
    if (routine != nullptr && record.Has(u"body"sv)) SetTextProperty(*routine, model::Definition, record.Text(u"body"sv));
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
    const std::u16string type = record.Text(u"routine_type"sv);
    const CString routineKey = RoutineKey(record.Text(u"schema_name"sv), type, record.Text(u"routine_name"sv));
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(routineKey);
    if (routine == nullptr) return;
    CMOObject& parameter = model->CreateObject(model::Parameter, routine->GetObjectId());
    const std::u16string name = record.Text(u"parameter_name"sv);
    const std::u16string mode = record.Has(u"parameter_mode"sv) ? record.Text(u"parameter_mode"sv) : u"IN";
    const std::u16string dataType = record.Text(u"data_type"sv);
    SetTextProperty(parameter, model::Name, name);
    SetTextProperty(parameter, model::ParameterMode, mode);
    SetTextProperty(parameter, model::DataType, dataType);
    SetIntegerProperty(parameter, model::Position, record.GetNumber(u"parameter_position"sv));

    std::u16string text = type == u"PROCEDURE"sv ? mode + u' ' : std::u16string();
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
    const std::u16string schema = record.Text(u"schema_name"sv);
    const std::u16string table = record.Text(u"table_name"sv);
    const std::u16string column = record.Text(u"column_name"sv);
    const std::u16string grantee = Grantee(record.Text(u"grantee"sv));
    const std::u16string privilege = record.Text(u"privilege_type"sv);
    if (grantee.empty() || privilege.empty()) return;
    const std::u16string key = CacheKey(u'g', {schema, table, column, grantee});
    if (key != m_key) {
      m_key = key;
      m_grant = nullptr;
      CMOObject* object = !record.Has(u"table_name"sv) ? model->GetCMOObject(SchemaId(model, schema))
                          : !record.Has(u"column_name"sv) ? FindRelation(schema, table)
                          : FindColumnOf(*model, schema, table, column);
      if (object == nullptr) return;  // not imported
      m_grant = &CreateNamedObject(*model, model::Grant, object->GetObjectId(), grantee);
    }
    if (m_grant == nullptr) return;
    Append(*m_grant, model::Privileges, privilege);
    if (record.Text(u"is_grantable"sv) == u"YES"sv) Append(*m_grant, model::GrantOption, privilege);
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

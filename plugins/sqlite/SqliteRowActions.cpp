#include "SqliteRowActions.h"

#include "SqliteSqlText.h"

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/ObjectIdLookup.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace qm::sqlite {
namespace {

std::u16string Decimal(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// ---- Writing the model.

int SchemaId(GenericModel* model, const std::u16string& schema) { return SchemaLookup::Instance()->FindCreate(model, schema); }

CMOObject* FindTable(std::u16string_view schema, std::u16string_view table) {
  return ImportedObjectCache::Instance()->FindObject(CString(ObjectKey(schema, table)));
}

// A table's columns are found among its children
// (FindColumnIgnoringAsciiCase), as SQLite compares identifiers: a cache
// entry per column would repeat every column's schema and table name.
CMOObject* FindColumn(GenericModel& model, const CMOObject* table, std::u16string_view column) {
  return FindColumnIgnoringAsciiCase(model, table, column);
}

std::u16string KeyId(const std::u16string& schema, const std::u16string& table, const std::u16string& indexName) {
  return u"key " + ObjectKey(schema, table) + u'.' + QuoteIdentifier(FoldAscii(indexName));
}

std::u16string ForeignKeyId(const std::u16string& schema, const std::u16string& table, int id) {
  return u"fk " + ObjectKey(schema, table) + u'.' + Decimal(id);
}

// "a", "b" -> ("a", "b")
std::u16string QuotedList(const std::vector<std::u16string>& names) {
  std::u16string list = u"(";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += u", ";
    list += QuoteIdentifier(names[i]);
  }
  list += u')';
  return list;
}

// The table of the current row. Every statement delivers a table's rows
// one after the other, so the table's key is built and looked up once per
// table rather than once per row. Also counts the rows of the table: the
// n-th column or foreign key of its table.
class CurrentTable {
 public:
  // Forget the previous table: at the start of a statement, since the
  // caches are emptied between imports.
  void Reset() {
    m_valid = false;
    m_rows = 0;
  }
  // Makes (schema, name) the current table; false when it was already.
  bool Move(std::u16string_view schema, std::u16string_view name) {
    if (m_valid && schema == m_schema && name == m_name) return false;
    m_schema.assign(schema);
    m_name.assign(name);
    m_table = FindTable(schema, name);
    m_valid = true;
    m_rows = 0;
    return true;
  }
  // The table imported under that name, or null when there is none.
  CMOObject* Table() const { return m_table; }
  const std::u16string& Schema() const { return m_schema; }
  const std::u16string& Name() const { return m_name; }
  // 1 for the table's first row counted, then 2, ...
  int NextRow() { return ++m_rows; }

 private:
  bool m_valid = false;          // false: no current table
  std::u16string m_schema;       // database of the current table, as delivered
  std::u16string m_name;         // its name, as delivered
  CMOObject* m_table = nullptr;  // the imported table; null when none; the model's
  int m_rows = 0;                // rows counted for it
};

// ---- Databases: one schema object per database.

class DatabasesAction : public QueryResultRowActionI {
 public:
  explicit DatabasesAction(ImportScope* scope) : m_scope(scope) {}

  void PreExecute(GenericModel*) override { m_scope->databases.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (!record.Has(u"schema_name")) return;
    std::u16string name = record.Text(u"schema_name");
    const std::vector<std::u16string>& wanted = m_scope->wanted;
    if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), FoldAscii(name)) == wanted.end()) return;
    SchemaId(model, name);
    m_scope->databases.push_back(DatabaseName{record.GetNumber(u"schema_seq"), std::move(name)});
  }

 private:
  ImportScope* m_scope;  // the reader's; not owned
};

// ---- Tables and views: under their schema, cached by ObjectKey. A
// table's CREATE text is read once, here: its kind and options go on the
// table, what later statements need (foreign keys' deferral, generated
// columns' expressions, checks) into the scope.

class TablesAction : public QueryResultRowActionI {
 public:
  explicit TablesAction(ImportScope* scope) : m_scope(scope) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string_view name = record.GetText(u"table_name");
    CMOObject& table = CreateNamedObject(*model, model::Table, SchemaId(model, schema), std::u16string(name));
    const std::u16string sql = record.Text(u"sql_text");
    if (!sql.empty()) SetTextProperty(table, model::SqlText, sql);
    ImportedObjectCache::Instance()->Add(CString(ObjectKey(schema, name)), &table);

    TableText declared = ParseCreateTable(sql);
    if (!declared.parsed) {
      // Kept, so that later actions know they cannot tell.
      m_scope->declared.emplace(table.GetObjectId(), std::move(declared));
      return;
    }
    SetTextProperty(table, model::TableKind, declared.isVirtual ? u"virtual table" : u"table");
    if (declared.isVirtual) {
      m_scope->virtualTables.push_back(RelationName{DatabaseName{record.GetNumber(u"schema_seq"), schema},
                                                    std::u16string(name), record.GetNumber(u"object_seq")});
      return;
    }
    SetIntegerProperty(table, model::Strict, declared.strict ? 1 : 0);
    SetIntegerProperty(table, model::WithoutRowid, declared.withoutRowid ? 1 : 0);
    if (!declared.plain) m_scope->declared.emplace(table.GetObjectId(), std::move(declared));
  }

 private:
  ImportScope* m_scope;  // the reader's; not owned
};

class ViewsAction : public QueryResultRowActionI {
 public:
  explicit ViewsAction(ImportScope* scope) : m_scope(scope) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    std::u16string name = record.Text(u"view_name");
    CMOObject& view = CreateNamedObject(*model, model::View, SchemaId(model, schema), name);
    SetTextPropertyFrom(view, model::Definition, record, u"sql_text");
    // Views share the tables' name space: a trigger may sit on either.
    ImportedObjectCache::Instance()->Add(CString(ObjectKey(schema, name)), &view);
    m_scope->views.push_back(
        RelationName{DatabaseName{record.GetNumber(u"schema_seq"), schema}, std::move(name), record.GetNumber(u"object_seq")});
  }

 private:
  ImportScope* m_scope;  // the reader's; not owned
};

// What the table's CREATE text declares (parsed false: the text could not
// be read), or null for a plain text (TableText::plain) or no table.
const TableText* Declared(const ImportScope& scope, const CMOObject* table) {
  if (table == nullptr) return nullptr;
  const auto found = scope.declared.find(table->GetObjectId());
  return found != scope.declared.end() ? &found->second : nullptr;
}

// ---- Columns: under their table or view, found again there (FindColumn). Rows come
// in column order per table; Position counts the columns imported, from 1.
// A generated column gets its kind from SQLite and its expression from the
// table's CREATE text (by column number, the name checked).
//
// An INTEGER PRIMARY KEY of a table with a rowid is the rowid and never
// NULL, though SQLite reports it without NOT NULL. It is one only when it is
// the table's sole key column, which shows only once the table's rows are
// all seen: a column that could be one is made not null at once, and goes
// back to what SQLite reported when another key column turns up.
class ColumnsAction : public QueryResultRowActionI {
 public:
  // rowidAlias: whether the statement's tables have a rowid (stored tables;
  // the columns of a virtual table or view are taken as reported).
  ColumnsAction(bool rowidAlias, const ImportScope* scope) : m_rowidAlias(rowidAlias), m_scope(scope) {}

  void PreExecute(GenericModel*) override { m_table.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    if (m_table.Move(record.GetText(u"schema_name"), record.GetText(u"table_name"))) {
      m_rowidColumn = nullptr;
      m_compositeKey = false;
    }
    CMOObject* table = m_table.Table();
    if (table == nullptr) return;
    const std::u16string_view name = record.GetText(u"column_name");
    CMOObject& column = CreateNamedObject(*model, model::Column, table->GetObjectId(), std::u16string(name));
    const std::u16string_view dataType = record.GetText(u"data_type");
    if (!dataType.empty()) SetTextProperty(column, model::DataType, std::u16string(dataType));
    const int nullable = record.GetNumber(u"not_null") != 0 ? 0 : 1;
    const int pkPosition = record.GetNumber(u"pk_position");
    if (pkPosition > 1) {
      m_compositeKey = true;
      if (m_rowidColumn != nullptr) SetIntegerProperty(*m_rowidColumn, model::Nullable, m_rowidColumnNullable);
      m_rowidColumn = nullptr;
    }
    if (m_rowidAlias && pkPosition == 1 && !m_compositeKey && FoldAscii(dataType) == u"integer") {
      m_rowidColumn = &column;
      m_rowidColumnNullable = nullable;
      SetIntegerProperty(column, model::Nullable, 0);
    } else {
      SetIntegerProperty(column, model::Nullable, nullable);
    }
    SetTextPropertyFrom(column, model::DefaultValue, record, u"default_value");
    const int hidden = record.GetNumber(u"hidden_kind");
    if (hidden == 2 || hidden == 3) {
      SetTextProperty(column, model::GeneratedKind, hidden == 3 ? u"STORED" : u"VIRTUAL");
      if (const TableText* declared = Declared(*m_scope, table)) {
        const int number = record.GetNumber(u"column_index");
        for (const GeneratedColumnText& text : declared->generatedColumns)
          if (text.number == number && EqualsIgnoringAsciiCase(text.name, name))
            SetTextProperty(column, model::GeneratedExpression, text.expression);
      }
    }
    SetIntegerProperty(column, model::Position, m_table.NextRow());
    if (pkPosition > 0) SetIntegerProperty(column, model::PrimaryKeyPosition, pkPosition);
  }

 private:
  const bool m_rowidAlias;              // the tables have a rowid
  const ImportScope* m_scope;           // the reader's; not owned
  CurrentTable m_table;                 // the table of the previous row, its key, its columns so far
  CMOObject* m_rowidColumn = nullptr;   // the current table's INTEGER PRIMARY KEY so far; the model's
  int m_rowidColumnNullable = 1;        // Nullable as SQLite reported it for that column
  bool m_compositeKey = false;          // the current table has a second key column
};

// ---- Keys: the primary key ("pk_<table>") and the unique constraints
// (named after the index SQLite keeps for them).

class KeysAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_table.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    m_table.Move(record.GetText(u"schema_name"), record.GetText(u"table_name"));
    CMOObject* table = m_table.Table();
    if (table == nullptr) return;
    const std::u16string& schema = m_table.Schema();
    const std::u16string& tableName = m_table.Name();
    const bool primary = record.GetNumber(u"key_kind") == 0;
    const std::u16string indexName = primary ? std::u16string() : record.Text(u"index_name");
    CMOObject& key = CreateNamedObject(*model, model::Key, table->GetObjectId(), primary ? u"pk_" + tableName : indexName);
    SetTextProperty(key, model::KeyType, primary ? u"PRIMARY KEY" : u"UNIQUE");
    ImportedObjectCache::Instance()->AddByDBID(CString(KeyId(schema, tableName, indexName)), &key);
  }

 private:
  CurrentTable m_table;  // the table of the previous row
};

class KeyColumnsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string tableName = record.Text(u"table_name");
    const std::u16string keyId = KeyId(schema, tableName, record.Text(u"index_name"));
    CMOObject* key = ImportedObjectCache::Instance()->FindObjectById(CString(keyId));
    if (key == nullptr) return;
    Pending& pending = m_pending[keyId];
    if (pending.key == nullptr) pending.arrival = static_cast<int>(m_pending.size());
    pending.key = key;
    pending.schema = schema;
    pending.table = tableName;
    pending.columns.emplace_back(record.GetNumber(u"column_seq"), record.Text(u"column_name"));
  }

  void PostExecute(GenericModel* model) override {
    // In the order the rows came: a table's primary key before its unique
    // constraints. A key on the same columns as an earlier one gets no
    // signature, so a foreign key finds the same key in every import (the
    // cache would otherwise choose by address), and the primary key first,
    // as SQLite does.
    std::vector<Pending*> ordered;
    for (auto& [keyId, pending] : m_pending) ordered.push_back(&pending);
    std::sort(ordered.begin(), ordered.end(), [](const Pending* a, const Pending* b) { return a->arrival < b->arrival; });
    std::set<std::u16string> given;
    ImportedKeysCache* signatures = ImportedKeysCache::Instance();
    for (Pending* entry : ordered) {
      Pending& pending = *entry;
      std::stable_sort(pending.columns.begin(), pending.columns.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      std::vector<int> ids;
      std::vector<std::u16string> names;
      const CMOObject* table = FindTable(pending.schema, pending.table);
      for (const auto& [seq, name] : pending.columns) {
        names.push_back(name);
        if (CMOObject* column = FindColumn(*model, table, name)) ids.push_back(column->GetObjectId());
      }
      const bool complete = ids.size() == names.size();
      SetIdsProperty(*pending.key, model::KeyColumns, std::move(ids));
      // A key with a column that was not imported could match a foreign key
      // it does not serve; it gets no signature.
      if (!complete) continue;
      std::u16string signature = KeySignature(pending.schema, pending.table, names);
      if (given.insert(signature).second) signatures->Set(pending.key, CString(std::move(signature)));
    }
    m_pending.clear();
    signatures->InitReverseSearch();
  }

 private:
  struct Pending {
    int arrival = 0;                                      // order of its first row among the keys
    CMOObject* key = nullptr;                             // the key object; the model's
    std::u16string schema;                                // its database
    std::u16string table;                                 // its table's name
    std::vector<std::pair<int, std::u16string>> columns;  // (position in the key, column name)
  };
  std::map<std::u16string, Pending> m_pending;  // KeyId -> columns seen; emptied by PostExecute
};

// ---- Foreign keys: "fk_<table>_<n>", n counting the table's foreign keys
// in declaration order (SQLite keeps no constraint names). Whether one is
// deferred SQLite reports nowhere but in the table's CREATE text: the n-th
// foreign key declared there, when it names the same parent table.

class ForeignKeysAction : public QueryResultRowActionI {
 public:
  explicit ForeignKeysAction(const ImportScope* scope) : m_scope(scope) {}

  void PreExecute(GenericModel*) override { m_table.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    m_table.Move(record.GetText(u"schema_name"), record.GetText(u"table_name"));
    CMOObject* table = m_table.Table();
    if (table == nullptr) return;
    const std::u16string& schema = m_table.Schema();
    const std::u16string& tableName = m_table.Name();
    const int declared = m_table.NextRow();
    const std::u16string name = u"fk_" + tableName + u'_' + Decimal(declared);
    CMOObject& foreignKey = CreateNamedObject(*model, model::ForeignKey, table->GetObjectId(), name);
    // SQLite resolves the parent table in the child's database only.
    if (CMOObject* referenced = FindTable(schema, record.GetText(u"referenced_table")))
      SetIdsProperty(foreignKey, model::ReferencedTable, {referenced->GetObjectId()});
    SetTextProperty(foreignKey, model::OnDelete, record.Text(u"on_delete"));
    SetTextProperty(foreignKey, model::OnUpdate, record.Text(u"on_update"));
    // SQLite parses MATCH but applies none: every foreign key behaves as
    // MATCH SIMPLE, which its catalogue reports as "NONE".
    const std::u16string match = record.Text(u"match_type");
    SetTextProperty(foreignKey, model::MatchType, match == u"NONE" ? std::u16string(u"SIMPLE") : match);
    // No text kept: a plain one, whose foreign keys are all immediate.
    const TableText* text = Declared(*m_scope, table);
    const ForeignKeyText* declaredKey = nullptr;
    const auto index = static_cast<std::size_t>(declared - 1);
    if (text != nullptr && text->parsed && index < text->foreignKeys.size() &&
        EqualsIgnoringAsciiCase(text->foreignKeys[index].referencedTable, record.GetText(u"referenced_table")))
      declaredKey = &text->foreignKeys[index];
    if (text == nullptr || declaredKey != nullptr) {
      SetIntegerProperty(foreignKey, model::Deferrable, declaredKey != nullptr && declaredKey->deferrable ? 1 : 0);
      SetIntegerProperty(foreignKey, model::InitiallyDeferred,
                         declaredKey != nullptr && declaredKey->initiallyDeferred ? 1 : 0);
    }
    ImportedObjectCache::Instance()->AddByDBID(
        CString(ForeignKeyId(schema, tableName, record.GetNumber(u"fk_id"))), &foreignKey);
  }

 private:
  const ImportScope* m_scope;  // the reader's; not owned
  CurrentTable m_table;        // the table of the previous row, its foreign keys so far
};

// The column pairs; in PostExecute the referenced columns and key. A
// foreign key whose parent columns are no declared key (SQLite accepts
// that) keeps its referenced table and columns and gets no ReferencedKey.
// Without parent columns it references the parent's primary key.
class ForeignKeyColumnsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string tableName = record.Text(u"table_name");
    const std::u16string id = ForeignKeyId(schema, tableName, record.GetNumber(u"fk_id"));
    CMOObject* foreignKey = ImportedObjectCache::Instance()->FindObjectById(CString(id));
    if (foreignKey == nullptr) return;
    Pending& pending = m_pending[id];
    pending.foreignKey = foreignKey;
    pending.schema = schema;
    pending.table = tableName;
    pending.referencedTable = record.Text(u"referenced_table");
    Pair pair;
    pair.seq = record.GetNumber(u"column_seq");
    pair.from = record.Text(u"from_column");
    if (record.Has(u"to_column")) pair.to = record.Text(u"to_column");
    pending.pairs.push_back(std::move(pair));
  }

  void PostExecute(GenericModel* model) override {
    for (auto& [id, pending] : m_pending) Complete(*model, pending);
    m_pending.clear();
  }

 private:
  struct Pair {
    int seq = 0;                       // position in the foreign key
    std::u16string from;               // child column
    std::optional<std::u16string> to;  // parent column; none when the parent's primary key is meant
  };
  struct Pending {
    CMOObject* foreignKey = nullptr;  // the foreign key object; the model's
    std::u16string schema;            // its database
    std::u16string table;             // the child table's name
    std::u16string referencedTable;   // the parent table's name as written
    std::vector<Pair> pairs;          // column pairs seen
  };

  static void Complete(GenericModel& model, Pending& pending) {
    std::stable_sort(pending.pairs.begin(), pending.pairs.end(),
                     [](const Pair& a, const Pair& b) { return a.seq < b.seq; });
    CMOObject& foreignKey = *pending.foreignKey;

    std::vector<int> childIds;
    std::vector<std::u16string> childNames;
    const CMOObject* child = FindTable(pending.schema, pending.table);
    for (const Pair& pair : pending.pairs) {
      childNames.push_back(pair.from);
      if (CMOObject* column = FindColumn(model, child, pair.from))
        childIds.push_back(column->GetObjectId());
    }
    SetIdsProperty(foreignKey, model::ForeignKeyColumns, std::move(childIds));

    const bool explicitParent =
        std::all_of(pending.pairs.begin(), pending.pairs.end(), [](const Pair& pair) { return pair.to.has_value(); });
    std::vector<int> parentIds;
    CMOObject* referencedKey = nullptr;
    if (explicitParent) {
      std::vector<std::u16string> parentNames;
      const CMOObject* parent = FindTable(pending.schema, pending.referencedTable);
      for (const Pair& pair : pending.pairs) {
        parentNames.push_back(*pair.to);
        if (CMOObject* column = FindColumn(model, parent, *pair.to))
          parentIds.push_back(column->GetObjectId());
      }
      referencedKey = ImportedKeysCache::Instance()->FindMatchingKey(
          CString(KeySignature(pending.schema, pending.referencedTable, parentNames)));
    } else {
      referencedKey = ImportedObjectCache::Instance()->FindObjectById(
          CString(KeyId(pending.schema, pending.referencedTable, std::u16string())));
      if (referencedKey != nullptr)
        if (const CMOProperty* columns = referencedKey->GetProperty(model::KeyColumns))
          parentIds = columns->GetObjectIdVectorValue();
    }
    // Only a complete list: a partial one would pair columns wrongly.
    if (!parentIds.empty() && parentIds.size() == pending.pairs.size())
      SetIdsProperty(foreignKey, model::ReferencedColumns, std::move(parentIds));
    if (referencedKey != nullptr) SetIdsProperty(foreignKey, model::ReferencedKey, {referencedKey->GetObjectId()});

    // The clause as SQLite understood it; it also keeps a reference to a
    // table that does not exist, which no id can.
    std::u16string definition = u"FOREIGN KEY " + QuotedList(childNames) + u" REFERENCES " +
                                QuoteIdentifier(pending.referencedTable);
    if (explicitParent) {
      std::vector<std::u16string> parentNames;
      for (const Pair& pair : pending.pairs) parentNames.push_back(*pair.to);
      definition += u' ' + QuotedList(parentNames);
    }
    const std::u16string onDelete = NameOrEmpty(foreignKey, model::OnDelete);
    const std::u16string onUpdate = NameOrEmpty(foreignKey, model::OnUpdate);
    const std::u16string match = NameOrEmpty(foreignKey, model::MatchType);
    if (!onDelete.empty() && onDelete != u"NO ACTION") definition += u" ON DELETE " + onDelete;
    if (!onUpdate.empty() && onUpdate != u"NO ACTION") definition += u" ON UPDATE " + onUpdate;
    if (!match.empty() && match != u"SIMPLE") definition += u" MATCH " + match;
    if (IntegerOrZero(foreignKey, model::Deferrable) != 0)
      definition += IntegerOrZero(foreignKey, model::InitiallyDeferred) != 0 ? u" DEFERRABLE INITIALLY DEFERRED"
                                                                               : u" DEFERRABLE";
    SetTextProperty(foreignKey, model::Definition, std::move(definition));
  }

  static std::int64_t IntegerOrZero(const CMOObject& object, int propertyId) {
    const CMOProperty* property = object.GetProperty(propertyId);
    return property != nullptr ? property->GetIntegerValue() : 0;
  }

  static std::u16string NameOrEmpty(const CMOObject& object, int propertyId) {
    const CMOProperty* property = object.GetProperty(propertyId);
    return property != nullptr ? property->GetWStringValue() : std::u16string();
  }

  std::map<std::u16string, Pending> m_pending;  // ForeignKeyId -> pairs seen; emptied by PostExecute
};

// ---- Indexes made with CREATE INDEX, under their table, cached in
// ImportedIndexCache by ObjectKey(schema, index).

class IndexesAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_table.Reset(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    m_table.Move(record.GetText(u"schema_name"), record.GetText(u"table_name"));
    CMOObject* table = m_table.Table();
    if (table == nullptr) return;
    const std::u16string& schema = m_table.Schema();
    const std::u16string name = record.Text(u"index_name");
    CMOObject& index = CreateNamedObject(*model, model::Index, table->GetObjectId(), name);
    SetFlagPropertyFrom(index, model::IsUnique, record, u"is_unique");
    const std::u16string sql = record.Text(u"sql_text");
    if (!sql.empty()) SetTextProperty(index, model::SqlText, sql);
    if (record.GetNumber(u"is_partial") != 0) {
      const IndexText parsed = ParseCreateIndex(sql);
      if (!parsed.predicate.empty()) SetTextProperty(index, model::Predicate, parsed.predicate);
    }
    ImportedIndexCache::Instance()->Add(CString(ObjectKey(schema, name)), &index);
  }

 private:
  CurrentTable m_table;  // the table of the previous row
};

// Key terms: plain columns become IndexColumns (in key order); expression
// terms, taken from the index's CREATE text, become Expressions, joined by
// ", " in key order.
class IndexColumnsAction : public QueryResultRowActionI {
 public:
  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string indexKey = ObjectKey(schema, record.Text(u"index_name"));
    CMOObject* index = ImportedIndexCache::Instance()->FindObject(CString(indexKey));
    if (index == nullptr) return;
    Pending& pending = m_pending[indexKey];
    pending.index = index;
    pending.schema = schema;
    pending.table = record.Text(u"table_name");
    Term term;
    term.seq = record.GetNumber(u"column_seq");
    term.columnId = record.GetNumber(u"column_id");
    term.name = record.Text(u"column_name");
    pending.terms.push_back(std::move(term));
  }

  void PostExecute(GenericModel* model) override {
    for (auto& [key, pending] : m_pending) Complete(*model, pending);
    m_pending.clear();
  }

 private:
  struct Term {
    int seq = 0;          // position among the key terms, from 0
    int columnId = 0;     // table column number; -2 an expression, -1 the rowid
    std::u16string name;  // column name; empty for an expression
  };
  struct Pending {
    CMOObject* index = nullptr;  // the index object; the model's
    std::u16string schema;       // its database
    std::u16string table;        // its table's name
    std::vector<Term> terms;     // key terms seen
  };

  static void Complete(GenericModel& model, Pending& pending) {
    std::stable_sort(pending.terms.begin(), pending.terms.end(),
                     [](const Term& a, const Term& b) { return a.seq < b.seq; });
    const CMOObject* table = FindTable(pending.schema, pending.table);
    std::vector<int> ids;
    std::u16string expressions;
    std::optional<IndexText> parsed;
    for (const Term& term : pending.terms) {
      if (term.columnId >= 0) {
        if (CMOObject* column = FindColumn(model, table, term.name)) ids.push_back(column->GetObjectId());
        continue;
      }
      if (!parsed) {
        const CMOProperty* sql = pending.index->GetProperty(model::SqlText);
        parsed = ParseCreateIndex(sql != nullptr ? sql->GetWStringValue() : std::u16string());
      }
      std::u16string expression;
      if (parsed->parsed && term.seq >= 0 && static_cast<std::size_t>(term.seq) < parsed->terms.size())
        expression = parsed->terms[static_cast<std::size_t>(term.seq)];
      else if (term.columnId == -1)
        expression = u"rowid";
      if (expression.empty()) continue;
      if (!expressions.empty()) expressions += u", ";
      expressions += expression;
    }
    SetIdsProperty(*pending.index, model::IndexColumns, std::move(ids));
    if (!expressions.empty()) SetTextProperty(*pending.index, model::Expressions, std::move(expressions));
  }

  std::map<std::u16string, Pending> m_pending;  // index key -> terms seen; emptied by PostExecute
};

// ---- Triggers: under their table or view. A TEMP trigger may sit on a
// table of another database: then the databases are searched in order, as
// SQLite resolves the name. A trigger whose table is not found stays
// under its schema.

class TriggersAction : public QueryResultRowActionI {
 public:
  explicit TriggersAction(const ImportScope* scope) : m_scope(scope) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = record.Text(u"schema_name");
    const std::u16string tableName = record.Text(u"table_name");
    CMOObject* table = FindTable(schema, tableName);
    for (auto it = m_scope->databases.begin(); table == nullptr && it != m_scope->databases.end(); ++it)
      table = FindTable(it->name, tableName);
    const int parentId = table != nullptr ? table->GetObjectId() : SchemaId(model, schema);

    CMOObject& trigger = CreateNamedObject(*model, model::Trigger, parentId, record.Text(u"trigger_name"));
    const std::u16string sql = record.Text(u"sql_text");
    if (!sql.empty()) SetTextProperty(trigger, model::Definition, sql);
    const TriggerText parsed = ParseCreateTrigger(sql);
    if (parsed.parsed) {
      SetTextProperty(trigger, model::TriggerTiming, parsed.timing);
      SetTextProperty(trigger, model::TriggerEvents, parsed.events);
    }
  }

 private:
  const ImportScope* m_scope;  // the reader's; not owned
};

}  // namespace

QueryResultRowActionI* CreateRowAction(int statementId, ImportScope* scope) {
  QueryResultRowActionI* action = nullptr;
  switch (statementId) {
    case kDatabases: action = new DatabasesAction(scope); break;
    case kTables: action = new TablesAction(scope); break;
    case kColumns: action = new ColumnsAction(true, scope); break;
    case kVirtualTableColumns:
    case kViewColumns: action = new ColumnsAction(false, scope); break;
    case kKeys: action = new KeysAction(); break;
    case kKeyColumns: action = new KeyColumnsAction(); break;
    case kForeignKeys: action = new ForeignKeysAction(scope); break;
    case kForeignKeyColumns: action = new ForeignKeyColumnsAction(); break;
    case kIndexes: action = new IndexesAction(); break;
    case kIndexColumns: action = new IndexColumnsAction(); break;
    case kViews: action = new ViewsAction(scope); break;
    case kTriggers: action = new TriggersAction(scope); break;
    default: return nullptr;
  }
  action->SetObjectType(StatementObjectType(statementId));
  return action;
}

void CreateCheckConstraints(GenericModel& model, const ImportScope& scope) {
  for (const auto& [tableId, declared] : scope.declared) {
    for (const CheckText& check : declared.checks) {
      CMOObject& object = model.CreateObject(model::CheckConstraint, tableId);
      if (!check.name.empty()) SetTextProperty(object, model::Name, check.name);
      SetTextProperty(object, model::CheckExpression, check.expression);
      SetTextProperty(object, model::Definition, u"CHECK (" + check.expression + u")");
    }
  }
}

}  // namespace qm::sqlite

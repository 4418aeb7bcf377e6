// ModelIndex: one pass over a model that files its objects where the
// documentation and diagram writers look for them: the schemas with their
// tables, views and routines, each table with its columns, keys, foreign
// keys (both ways), checks, indexes and triggers. Building it is linear in
// the model; every list keeps the model's creation order.
//
// Its helpers read the values the plug-ins write as text with a fixed
// meaning (a key's type, a table's kind) through ModelValues.h, where their
// spelling (letter case) is decided.
//
// The index holds plain pointers into the model, which must outlive it and
// stay unchanged while it is used.
#pragma once

#include <tillerhold/GenericModel.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace writers {

// Property values as the writers read them.
// A text property as the database gave it; empty when absent or not text.
std::u16string RawText(const CMOObject& object, int propertyId);
// An integer property; a text that holds a whole number counts too.
std::optional<long long> IntegerValue(const CMOObject& object, int propertyId);
// An id-list property; empty when absent.
std::vector<int> IdList(const CMOObject& object, int propertyId);

// A key (model::Key) that is the table's primary key rather than a unique
// constraint.
bool IsPrimaryKey(const CMOObject& key);
// A table kind (model::TableKind) that names an ordinary table, or no kind:
// such a table needs no word of its own.
bool IsOrdinaryTableKind(std::u16string_view kind);
// A table kind that says no more than the object's type: an ordinary
// table's (above) or a plain view's ("view").
bool IsPlainKind(std::u16string_view kind);
// A foreign-key action (ON DELETE / ON UPDATE) that is the default, NO
// ACTION, or none given: left out where actions are listed.
bool IsDefaultAction(std::u16string_view action);
// An index method that is the default (b-tree), or none given.
bool IsDefaultIndexMethod(std::u16string_view method);

// One name of the database as a part of a file name, an anchor or a
// diagram id: the name itself where it is only lower-case ASCII letters,
// digits and '_' (and no device name of Windows), otherwise those letters
// of it (upper case lowered, the rest as '_', at most 40) then '~' and 8
// hexadecimal digits of a hash of the exact name. Always lower case, so
// that two names never meet on a file system that ignores case; the same
// name always gives the same part.
std::string NamePart(std::u16string_view name);

class ModelIndex {
 public:
  struct SchemaEntry {
    const CMOObject* schema = nullptr;         // null: objects outside any schema
    std::vector<const CMOObject*> tables;      // model::Table
    std::vector<const CMOObject*> views;       // model::View
    std::vector<const CMOObject*> routines;    // model::Routine
    std::vector<const CMOObject*> sequences;   // model::Sequence
    std::vector<const CMOObject*> userTypes;   // model::UserType
  };

  struct TableEntry {
    std::vector<const CMOObject*> columns;       // in creation order (the table's column order)
    std::vector<const CMOObject*> keys;          // primary key and unique constraints
    std::vector<const CMOObject*> foreignKeys;   // this table's own
    std::vector<const CMOObject*> referencedBy;  // other tables' (or its own) foreign keys onto it
    std::vector<const CMOObject*> checks;
    std::vector<const CMOObject*> indexes;
    std::vector<const CMOObject*> triggers;
    std::vector<const CMOObject*> partitions;
  };

  explicit ModelIndex(const GenericModel& model);

  const GenericModel& Model() const { return m_model; }
  const CMOObject* Object(int id) const { return m_model.GetCMOObject(id); }

  // The schemas in creation order; an entry without a schema comes first
  // when the model has tables, views or routines outside any schema.
  const std::vector<SchemaEntry>& Schemas() const { return m_schemas; }
  // Every table (not the views), in the order of Schemas().
  const std::vector<const CMOObject*>& Tables() const { return m_tables; }

  // What belongs to a table or view (views have columns and triggers too);
  // an empty entry for any other id.
  const TableEntry& Entry(int tableId) const;

  // The schema object above an object, or 0 when there is none.
  int SchemaOf(int objectId) const;
  // The table or view an object belongs to (itself for one), or 0.
  int TableOf(int objectId) const;

  // The table a foreign key refers to: its referenced table, else the
  // table of its referenced key; 0 when neither is known.
  int ReferencedTableOf(const CMOObject& foreignKey) const;

  // The stable name of a schema, table, view or routine: its schema's
  // NamePart, '.', its own ("main.orders"; without a schema its own alone).
  // It names the object's page, anchor and diagram id, so adding or
  // removing other objects never changes it. Unique among the schemas,
  // tables and views, and among the routines (whose pages and anchors say
  // so: "routine-main.f"), letter case ignored: where two objects would
  // share one (overloads, a hash that meets another), each gets '~' and a
  // hash of its kind, names and parameters, then a number if that meets
  // too. Empty for other objects.
  const std::string& Stem(int objectId) const;

  // A schema entry as the documentation names it: the schema's name
  // ("(no schema)" for the entry without one), and its anchor (its stem,
  // "~none").
  std::string SchemaName(const SchemaEntry& schema) const;
  const std::string& SchemaAnchor(const SchemaEntry& schema) const;

  // The objects a documentation folder has a page for: each schema's
  // tables, views and routines, in the order of Schemas().
  const std::vector<const CMOObject*>& Pages() const { return m_pages; }
  // The folder a page of the object is in: "tables", "views" or
  // "routines".
  static const char* FolderOf(const CMOObject& object);
  // The path of the object's page in the folder: "tables/main.orders"
  // and the extension (".html").
  std::string PagePath(const CMOObject& object, std::string_view extension) const;

  // A table's or view's column marks: part of the primary key, part of a
  // foreign key.
  bool IsPrimaryKeyColumn(const CMOObject& column) const;
  bool IsForeignKeyColumn(const CMOObject& column) const;

 private:
  void MakeStems();

  const GenericModel& m_model;
  std::vector<SchemaEntry> m_schemas;
  std::vector<const CMOObject*> m_tables;
  std::vector<int> m_schemaOf;        // by object id: schema id above it, 0 for none
  std::vector<int> m_tableOf;         // by object id: table or view it belongs to, 0 for none
  std::vector<int> m_entryOf;         // by object id: index into m_entries + 1, 0 for none
  std::vector<TableEntry> m_entries;  // one per table or view
  std::vector<char> m_primaryColumn;  // by object id: 1 for a column of a primary key
  std::vector<char> m_foreignColumn;  // by object id: 1 for a column of a foreign key
  std::vector<std::string> m_stem;    // by object id: Stem(), empty for other objects
  std::vector<const CMOObject*> m_pages;
};

}  // namespace writers

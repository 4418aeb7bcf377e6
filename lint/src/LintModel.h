// The model as the rules read it: one linear pass files every table with
// its columns, keys, indexes and foreign keys, and lists the views,
// routines and other named objects; the property readers the rules share.
//
// Holds plain pointers into the model, which must outlive it unchanged.
#pragma once

#include <tillerhold/GenericModel.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lint {

// ---- Properties.

// The text, or empty when absent or not text.
std::u16string Text(const CMOObject& object, int propertyId);
// The integer; a text holding a decimal number counts too.
std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId);
// An id list; empty when absent.
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::u16string NameOf(const CMOObject& object);
// ASCII case and blanks at either end of `value` ignored.
bool SameWord(std::u16string_view value, std::u16string_view word);
// Whether the text holds the word, ASCII case ignored.
bool ContainsWord(std::u16string_view text, std::u16string_view word);
std::u16string LowerAscii(std::u16string_view text);

// Whether the column may hold NULL: its Nullable property is 1 (absent:
// not known, taken as no).
bool IsNullable(const CMOObject& column);

// A key or index as the index rules compare them.
struct Access {
  const CMOObject* object = nullptr;  // a model::Key or model::Index
  bool primary = false;               // a primary key
  bool unique = false;                // a primary or unique key, or a unique index
  std::vector<int> columns;           // the plain columns, in order
  std::u16string method;              // lower case; "btree" when none is given
  std::u16string expressions;         // expression terms as the model holds them
  std::u16string predicate;           // a partial index's condition
  std::vector<int> descending;        // columns kept in descending order
  std::u16string prefixLengths;       // per column, "0" for whole columns (MariaDB)
  std::vector<int> included;          // non-key columns
  // The prefix length of the i-th column, 0 for the whole column.
  long long PrefixLength(std::size_t i) const;
};

struct TableFacts {
  const CMOObject* table = nullptr;
  const CMOObject* schema = nullptr;           // null: outside any schema
  bool partition = false;                       // a partition of another table (model::PartitionOf)
  bool virtualTable = false;                    // SQLite's virtual tables
  std::vector<const CMOObject*> columns;        // in creation order
  std::vector<const CMOObject*> foreignKeys;
  std::vector<Access> accesses;                 // keys, then indexes, in creation order
};

class LintModel {
 public:
  // madeByDatabase: objects the database made along with others, which no
  // rule looks at.
  LintModel(const GenericModel& model, const std::function<bool(const CMOObject&)>& madeByDatabase);

  const GenericModel& Model() const { return m_model; }
  const CMOObject* Object(int id) const { return id > 0 ? m_model.GetCMOObject(id) : nullptr; }

  // Every table, in creation order.
  const std::vector<TableFacts>& Tables() const { return m_tables; }
  // The facts of the table with this id, or null (a view, another object).
  const TableFacts* FactsOf(int tableId) const;
  // Views with their columns; routines; every other object a name belongs
  // to (schemas, sequences, user types, triggers, checks), in creation order.
  const std::vector<const CMOObject*>& Views() const { return m_views; }
  const std::vector<const CMOObject*>& Routines() const { return m_routines; }
  const std::vector<const CMOObject*>& OtherNamed() const { return m_otherNamed; }
  // Number of column children of a view.
  std::size_t ViewColumnCount(const CMOObject& view) const;

  // The table a foreign key references: its referenced table, else that of
  // its referenced key; null when the model holds neither.
  const CMOObject* ReferencedTable(const CMOObject& foreignKey) const;
  // The referenced columns: its own list, or its referenced key's columns.
  std::vector<int> ReferencedColumns(const CMOObject& foreignKey) const;

  // The schema above an object (null when none), and its names from the
  // schema down.
  const CMOObject* SchemaOf(const CMOObject& object) const;
  std::vector<std::u16string> PathOf(const CMOObject& object) const;

 private:
  const GenericModel& m_model;
  std::vector<TableFacts> m_tables;
  std::vector<int> m_factsOf;                 // by object id: index into m_tables + 1, 0 for none
  std::vector<const CMOObject*> m_views;
  std::vector<const CMOObject*> m_routines;
  std::vector<const CMOObject*> m_otherNamed;
  std::vector<std::size_t> m_viewColumns;     // by object id: column children of a view
};

}  // namespace lint

// The script the sql format writes: one statement group per object,
// ordered so that every object comes after what it needs.
//
// SqlModel is what the dialects read the model through (objects by id,
// partitions, what the database makes by itself). Script collects the
// statements: each has a phase (the order the script follows where nothing
// else decides: types and sequences, tables, keys, foreign keys, indexes,
// views, routines, triggers) and the statements it must follow, some given
// by the dialect or by the model (a key follows its table, a foreign key
// the key it references, a partitioned table's key the keys of its
// partitions), the others found in its text (a view follows the views,
// tables, types and routines whose names it mentions). Write puts them in
// that order: a statement as early as its phase and what it follows allow,
// ties in the model's order. Where statements follow each other in a
// circle, the earliest by phase and model order is written first.
//
// Time is linear in the model and its texts (and n log n in the statements
// for the order). One Script per written model; not shared between threads.
#pragma once

#include "SqlProof.h"
#include "SqlTokens.h"

#include <tillerhold/CMOObject.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class GenericModel;

namespace writers::sql {

class SqlDialect;

enum Phase : int {
  kSchemas = 0,
  kTypes,        // user-defined types and sequences
  kTables,
  kKeys,         // primary keys, unique and check constraints added to a table
  kForeignKeys,
  kIndexes,
  kViews,
  kRoutines,
  kTriggers,
  kPhaseCount,
};

// The model as the dialects read it.
class SqlModel {
 public:
  explicit SqlModel(const GenericModel& model);

  const GenericModel& Model() const { return m_model; }
  // The object with the id, or null.
  const CMOObject* Object(int id) const;
  const CMOObject* Parent(const CMOObject& object) const { return Object(object.GetParentId()); }
  // The object's children of the type, in creation order.
  std::vector<const CMOObject*> Children(const CMOObject& object, int type) const;
  // The schema the object is in (itself for a schema), or null.
  const CMOObject* SchemaOf(const CMOObject& object) const;
  // The object the first id of the property names, or null.
  const CMOObject* Referenced(const CMOObject& object, int propertyId) const;

  // The table a partition belongs to (model::PartitionOf), or null.
  const CMOObject* PartitionParent(const CMOObject& table) const;
  // A partitioned table's partitions, in creation order.
  const std::vector<const CMOObject*>& Partitions(const CMOObject& table) const;
  // Whether the object (a check or trigger of a partition) is one the
  // database copies to a partition from its parent, which has one of the
  // same type and name: it is made with the parent's, not on its own.
  bool InheritedFromParent(const CMOObject& object) const;

  // Objects the database makes by itself along with others (a column's
  // identity sequence, a virtual table's shadow tables): not written.
  void Omit(int id) { m_omitted.insert(id); }
  bool Omitted(int id) const { return m_omitted.count(id) > 0; }
  // A column's identity sequence, found by the dialect; null when none.
  void SetIdentitySequence(int columnId, const CMOObject* sequence) { m_identitySequences[columnId] = sequence; }
  const CMOObject* IdentitySequence(int columnId) const;

 private:
  const GenericModel& m_model;
  std::unordered_map<int, std::vector<const CMOObject*>> m_partitions;         // partitioned table id -> partitions
  std::unordered_set<int> m_omitted;                                           // ids not written
  std::unordered_map<int, const CMOObject*> m_identitySequences;               // column id -> its sequence
};

class Script {
 public:
  Script(const SqlModel& model, const SqlDialect& dialect);

  const SqlModel& Model() const { return m_model; }

  // Adds a statement group (complete statements, each ending with ";" and
  // a line break, or "--" comment lines) for the object in the phase and
  // returns its number. `creates`: whether other statements refer to the
  // object by its name (tables, views, types, sequences, routines), so
  // that they follow it.
  int Add(Phase phase, const CMOObject& object, std::u16string text, bool creates = false);
  // The statement `statement` follows `before`.
  void Follow(int statement, int before);
  // The statement groups made for the object, in the order added.
  const std::vector<int>& StatementsOf(int objectId) const;
  // A statement group's text.
  const std::u16string& Text(int statement) const { return m_statements[static_cast<std::size_t>(statement)].text; }

  // A text of the model left out (SqlDialect::Proven): a line
  // "-- not written: ..." for the object in the phase, naming the text,
  // why it is refused and, where the script makes the object another way,
  // `instead`; the text itself follows on that line, escaped
  // (writers/VisibleText.h), so that nothing of it can end the comment.
  // Without `instead` the object is left out.
  void Refuse(Phase phase, const CMOObject& object, const RefusedText& refused, std::u16string_view instead = {});
  // Owners' and grants' statements, written after the script's end in a
  // section of their own: they name roles the database loading the script
  // may lack, and a failure there must leave the schema above complete.
  void AddPrivileges(std::u16string text) { m_privileges += text; }
  // A text of the model left out of that section, as Refuse says it.
  void RefusePrivileges(const CMOObject& object, const RefusedText& refused);

  // One line per Refuse, for the host (UTF-8, without the text): what is
  // not written and why.
  const std::vector<std::string>& LeftOut() const { return m_leftOut; }

  // Adds the dependencies the model gives and those the texts show, and
  // writes the header, the statements in order, and the footer.
  void Write(std::ostream& out, std::u16string_view header, std::u16string_view begin, std::u16string_view end);

 private:
  struct Statement {
    Phase phase;
    int objectId;              // the object it is for
    std::u16string text;       // its statements
    std::vector<int> follows;  // statements that must come first
    std::u16string creates;    // the match key of the schema and name it creates; empty for none
  };

  // The line for the host and the comment line of a text left out.
  std::string RefusedLine(const CMOObject& object, const RefusedText& refused, std::u16string_view instead);

  void AddModelDependencies();
  void AddTextDependencies();
  std::vector<int> Order() const;

  const SqlModel& m_model;
  const SqlDialect& m_dialect;
  std::vector<Statement> m_statements;                         // in the order added
  std::unordered_map<int, std::vector<int>> m_byObject;        // object id -> its statements
  std::unordered_map<std::u16string, std::vector<int>> m_names;  // match key of schema and name -> statements creating it
  std::unordered_map<std::u16string, std::vector<int>> m_bareNames;  // match key of the name alone -> the same
  std::vector<std::string> m_leftOut;                          // Refuse's lines for the host, in order
  std::u16string m_privileges;                                 // the section after the end; empty for none
};

}  // namespace writers::sql

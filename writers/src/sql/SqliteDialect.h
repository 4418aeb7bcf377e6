// The sql format's SQLite: the CREATE statements SQLite keeps (tables,
// indexes, views, triggers) are written as the model holds them, with the
// database's name put before the object's for a database other than main;
// a table without its text is built from the properties, its keys, checks
// and foreign keys inside CREATE TABLE (SQLite adds none later). Names are
// quoted where SQLite needs it: not a plain identifier (letters of any
// script, digits, '_', '$'), or one of its keywords. Virtual tables' shadow
// tables are made by their module and not written; nor are types,
// sequences and routines, which SQLite does not have.
#pragma once

#include "SqlDialect.h"

namespace writers::sql {

class SqliteDialect : public SqlDialect {
 public:
  std::u16string_view Product() const override { return u"SQLite"; }
  TokenRules Tokens() const override { return {.backtickNames = true, .bracketNames = true}; }

  bool NeedsQuotes(std::u16string_view name) const override;
  std::u16string MatchKey(std::u16string_view name, bool quoted) const override;
  std::u16string QualifiedName(const SqlModel& model, const CMOObject& object) const override;
  bool BareNamesReferToObjects() const override { return true; }
  std::vector<ClientRules> Clients() const override { return {Sqlite3()}; }

  void Prepare(SqlModel& model) const override;

  void WriteSchema(Script& script, const SqlModel& model, const CMOObject& schema) const override;
  void WriteType(Script& script, const SqlModel& model, const CMOObject& type) const override;
  void WriteSequence(Script& script, const SqlModel& model, const CMOObject& sequence) const override;
  void WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const override;
  void WriteKey(Script& script, const SqlModel& model, const CMOObject& key) const override;
  void WriteForeignKey(Script& script, const SqlModel& model, const CMOObject& foreignKey) const override;
  void WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const override;
  void WriteView(Script& script, const SqlModel& model, const CMOObject& view) const override;
  void WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const override;
  void WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const override;

 protected:
  std::u16string DefaultClause(std::u16string_view value) const override;
  bool UnquotedTextDefaults() const override { return false; }
  std::u16string ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const override;
  bool KeepsConstraintNames() const override { return false; }
  std::u16string CommentOn(std::u16string_view, std::u16string_view, const CMOObject&) const override { return {}; }
  std::vector<const CMOObject*> KeysInOrder(const SqlModel& model, const CMOObject& table) const override;

 private:
  // A CREATE statement SQLite keeps, for the object's database: as it is
  // in main, with the database's name before the object's name otherwise.
  std::u16string ForDatabase(const SqlModel& model, const CMOObject& object, const std::u16string& text) const;
  // Whether the object is in the database main (or in none).
  bool InMain(const SqlModel& model, const CMOObject& object) const;
  // A CREATE statement SQLite keeps in the property of the object: the
  // text when it proves to be one statement, CREATE, any of `modifiers`,
  // `kind`; otherwise throws RefusedText.
  std::u16string Stored(const CMOObject& object, int propertyId, std::u16string_view kind,
                               std::initializer_list<std::u16string_view> modifiers = {u"TEMP", u"TEMPORARY"}) const;
};

}  // namespace writers::sql

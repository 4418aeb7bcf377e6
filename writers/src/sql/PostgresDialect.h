// The sql format's PostgreSQL: names quoted as quote_ident quotes them,
// schema-qualified everywhere (the script empties search_path, as the
// import did, so the server's own texts in the model read the same); the
// server's texts where the model keeps them (constraint definitions,
// CREATE INDEX / FUNCTION / TRIGGER, view queries), the rest built from
// the properties: types, sequences (an identity column's own sequence
// inside its column), tables with their columns and checks, partitions as
// PARTITION OF their parent, comments. Tablespaces are expected to exist:
// CREATE TABLESPACE names a folder of the server and cannot run in a
// transaction.
#pragma once

#include "SqlDialect.h"

namespace writers::sql {

// A composite type's attribute list as the import writes it, as entries
// CREATE TYPE takes: "name type".
std::vector<std::u16string> CompositeAttributes(std::u16string_view list, const TokenRules& rules);

class PostgresDialect : public SqlDialect {
 public:
  std::u16string_view Product() const override { return u"PostgreSQL"; }
  TokenRules Tokens() const override { return Psql().tokens; }
  std::vector<ClientRules> Clients() const override { return {Psql()}; }

  bool NeedsQuotes(std::u16string_view name) const override;
  std::u16string MatchKey(std::u16string_view name, bool quoted) const override;

  void Prepare(SqlModel& model) const override;
  std::u16string Begin() const override;

  void WriteSchema(Script& script, const SqlModel& model, const CMOObject& schema) const override;
  void WriteTableSpace(Script& script, const SqlModel& model, const CMOObject& tableSpace) const override;
  void WriteType(Script& script, const SqlModel& model, const CMOObject& type) const override;
  void WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const override;
  void WriteKey(Script& script, const SqlModel& model, const CMOObject& key) const override;
  void WriteCheck(Script& script, const SqlModel& model, const CMOObject& check) const override;
  void WriteForeignKey(Script& script, const SqlModel& model, const CMOObject& foreignKey) const override;
  void WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const override;
  void WriteView(Script& script, const SqlModel& model, const CMOObject& view) const override;
  void WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const override;
  void WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const override;
  void Finish(Script& script, const SqlModel& model) const override;
  bool HasPrivileges() const override { return true; }
  std::u16string Privileges(const SqlModel& model, const CMOObject& object) const override;
  std::u16string RoutineDropName(const SqlModel& model, const CMOObject& routine) const override {
    return RoutineSignature(model, routine);
  }
  std::u16string ConstraintClause(const SqlModel& model, const CMOObject& constraint) const override {
    return ConstraintText(model, constraint);
  }

 protected:
  std::u16string ColumnDefinition(const SqlModel& model, const CMOObject& column) const override;
  std::u16string IndexMethodClause(const CMOObject& index) const override;
  bool UnquotedTextDefaults() const override { return false; }

 private:
  // Comments on the table or view and on its columns.
  std::u16string RelationComments(const SqlModel& model, const CMOObject& relation, std::u16string_view kind) const;
  // "CONSTRAINT name <definition>", the server's text where there is one.
  std::u16string ConstraintText(const SqlModel& model, const CMOObject& constraint) const;
  // "shop.f(integer, text)": how COMMENT ON names a routine.
  std::u16string RoutineSignature(const SqlModel& model, const CMOObject& routine) const;
  std::u16string TableSpaceClause(const SqlModel& model, const CMOObject& object) const;
  // The server's CREATE text in the property: proven to be one statement
  // that creates one of `kinds`, else RefusedText.
  std::u16string ServerStatement(const CMOObject& object, int propertyId,
                                        std::initializer_list<std::u16string_view> kinds) const;
};

}  // namespace writers::sql

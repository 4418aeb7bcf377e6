// The sql format's MariaDB: a script for the mariadb client, which runs it
// statement by statement (MariaDB's DDL commits by itself: no transaction).
// It sets the session as the MariaDB plug-in read the catalogue (the
// server printed the model's defaults, checks, generated columns and view
// queries under that sql_mode), and turns foreign key checks off, so that
// a table may name one made later.
//
// Names are quoted with backquotes where MariaDB needs it (not a plain
// ASCII identifier, or one of its reserved words) and always qualified by
// their schema: the script makes every schema (CREATE DATABASE) and uses
// none. A table is one CREATE TABLE with its columns, keys, indexes and
// checks, its options (engine, row format, collation, comment, system
// versioning) and its partitions; foreign keys follow all tables. Comments
// are COMMENT clauses. Views, routines and triggers are built from the
// properties, with the bodies as the model holds them; a routine's or
// trigger's body runs under the sql_mode it was made with (model::SqlMode),
// between DELIMITER lines the client reads. Triggers of one table are made
// in the order they fire. Not written: user-defined types (MariaDB has
// none), definers (the objects belong to whoever runs the script).
#pragma once

#include "SqlDialect.h"

namespace writers::sql {

class MariaDbDialect : public SqlDialect {
 public:
  // `rerunnable`: the dialect of migration plans, which make every object
  // only where it is missing (CREATE ... IF NOT EXISTS, ADD ... IF NOT
  // EXISTS) or replace it (CREATE OR REPLACE).
  constexpr explicit MariaDbDialect(bool rerunnable = false) : m_rerunnable(rerunnable) {}
  const SqlDialect& ForPlans() const override;

  std::u16string_view Product() const override { return u"MariaDB"; }
  TokenRules Tokens() const override { return MariaDbClient(true, false).tokens; }
  std::vector<ClientRules> Clients() const override { return {MariaDbClient(true, false)}; }

  bool NeedsQuotes(std::u16string_view name) const override;
  std::u16string Quote(std::u16string_view name) const override;
  // A string literal as the script's session reads it (backslashes
  // escaped).
  std::u16string Literal(std::u16string_view text) const override;
  // MariaDB compares the names of columns, indexes and routines without
  // regard to letter case, those of databases and tables by the server's
  // lower_case_table_names: matched with ASCII case folded, a reference
  // follows every object it may mean.
  std::u16string MatchKey(std::u16string_view name, bool quoted) const override;

  std::u16string Begin() const override;
  std::u16string End() const override;

  void WriteSchema(Script& script, const SqlModel& model, const CMOObject& schema) const override;
  void WriteType(Script& script, const SqlModel& model, const CMOObject& type) const override;
  void WriteSequence(Script& script, const SqlModel& model, const CMOObject& sequence) const override;
  void WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const override;
  // Keys, indexes and checks are part of their table's CREATE TABLE.
  void WriteKey(Script&, const SqlModel&, const CMOObject&) const override {}
  void WriteCheck(Script&, const SqlModel&, const CMOObject&) const override {}
  void WriteIndex(Script&, const SqlModel&, const CMOObject&) const override {}
  void WriteView(Script& script, const SqlModel& model, const CMOObject& view) const override;
  void WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const override;
  void WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const override;
  // A key, index or check as ALTER TABLE ... ADD takes it (for a plan:
  // only where it is missing, but for a primary key, which has no such
  // form).
  std::u16string ConstraintClause(const SqlModel& model, const CMOObject& constraint) const override;
  bool HasPrivileges() const override { return true; }
  std::u16string Privileges(const SqlModel& model, const CMOObject& object) const override;

  // The sql_mode the script's session runs in, between the statements
  // that set another for a body.
  static constexpr std::u16string_view kSessionSqlMode = u"NO_ENGINE_SUBSTITUTION";

 protected:
  std::u16string ColumnDefinition(const SqlModel& model, const CMOObject& column) const override;
  std::u16string DefaultClause(std::u16string_view value) const override;
  std::u16string ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const override;
  std::u16string CommentOn(std::u16string_view, std::u16string_view, const CMOObject&) const override { return {}; }
  const std::vector<std::u16string_view>& ReservedWords() const override;
  bool UnquotedTextDefaults() const override { return false; }

 private:
  bool m_rerunnable;  // a plan's dialect (ForPlans)
  // In a plan: "IF NOT EXISTS " after the kind of what CREATE or ADD
  // makes, and CREATE OR REPLACE for what is replaced whole.
  std::u16string IfMissing() const { return m_rerunnable ? u"IF NOT EXISTS " : u""; }
  std::u16string Create() const { return m_rerunnable ? u"CREATE OR REPLACE" : u"CREATE"; }
  // A string literal as a session in `sqlMode` reads it. A carriage
  // return is written as \r where the mode reads backslashes: the client
  // drops one before a line break.
  std::u16string LiteralIn(std::u16string_view text, std::u16string_view sqlMode) const;
  // The property's text proven to be one `kind` as a session in the
  // object's sql_mode reads it (model::SqlMode; the script's own where it
  // has none); else RefusedText.
  void ProveInMode(const CMOObject& object, int propertyId, std::u16string_view text, TextKind kind) const;
  // " COMMENT '...'" when the object has a comment, read in `sqlMode`.
  std::u16string CommentClause(const CMOObject& object, std::u16string_view sqlMode = kSessionSqlMode) const;
  // A key's or index's line inside CREATE TABLE.
  std::u16string IndexLine(const SqlModel& model, const CMOObject& index, std::u16string_view ifMissing = {}) const;
  // The table options after the column list, and its partitions.
  std::u16string TableOptions(const SqlModel& model, const CMOObject& table) const;
  std::u16string Partitions(const SqlModel& model, const CMOObject& table) const;
  // CREATE text of a body (routine or trigger) in its sql_mode, between
  // DELIMITER lines, the session's mode set back after it.
  std::u16string WithBody(const CMOObject& object, const std::u16string& create) const;
};

}  // namespace writers::sql

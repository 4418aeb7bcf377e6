// SqlDialect: how the sql format writes a model for one database product.
//
// The base class writes standard SQL, and is what a model of an unknown
// source is written in: names in double quotes where the standard needs
// them, CREATE TABLE with columns and checks, keys and foreign keys added
// with ALTER TABLE, CREATE INDEX / VIEW, and a comment for what it cannot
// write (types, sequences, routines and triggers have no portable form).
// A product's dialect overrides what differs: its reserved words and
// quoting, the texts its database keeps (a stored CREATE statement is
// written as it is), its own clauses. Each Write* adds the object's
// statements to the script (SqlScript.h) in their phase, or a comment
// saying why the object is not written; none of them throws.
//
// The host picks the dialect by its short name, the one the plug-in that
// made the model declares (WriteOptions::sqlDialect); the table in
// SqlDialects.cpp maps names to dialects.
//
// Thread safety: dialects are constant objects without state; a write's
// state lives in its SqlModel and Script.
#pragma once

#include "SqlProof.h"
#include "SqlScript.h"
#include "SqlTokens.h"

#include <string>
#include <string_view>
#include <vector>

class GenericModel;

namespace writers::sql {

class SqlDialect {
 public:
  virtual ~SqlDialect() = default;

  // The product's name for the script's first line ("PostgreSQL").
  virtual std::u16string_view Product() const { return u"standard SQL"; }
  virtual TokenRules Tokens() const { return {}; }

  // ---- Names and literals.

  // The name as a statement writes it: as it is when the database reads
  // it back unchanged without quotes, else quoted.
  std::u16string Name(std::u16string_view name) const;
  // The object's name qualified by its schema where the dialect needs it.
  virtual std::u16string QualifiedName(const SqlModel& model, const CMOObject& object) const;
  // Whether the name must be quoted: not a plain identifier of the
  // dialect, or one of its reserved words.
  virtual bool NeedsQuotes(std::u16string_view name) const;
  virtual std::u16string Quote(std::u16string_view name) const;
  // A string literal.
  virtual std::u16string Literal(std::u16string_view text) const;
  // The key under which the database finds a name written `quoted` or
  // not: what two references to one object have in common.
  virtual std::u16string MatchKey(std::u16string_view name, bool quoted) const;
  // Whether a name without schema in a statement's text refers to a
  // table or view of any schema (as in SQLite), so that the statement
  // follows it.
  virtual bool BareNamesReferToObjects() const { return false; }

  // ---- Texts of the model (SqlProof.h).

  // The clients that load the script, with the tokens they and the server
  // read it by. Standard SQL: psql and sqlite3, as the README loads it.
  virtual std::vector<ClientRules> Clients() const;
  // Why the text is not one `kind` for every client; empty when it is.
  std::u16string Refusal(std::u16string_view text, TextKind kind) const;
  // "table main.orders" for the script's comments and the host's messages;
  // names shown visibly (a name cannot end the comment line).
  std::u16string Describe(const SqlModel& model, const CMOObject& object) const;

  // ---- The script.

  // Called once before anything is written: what the database makes by
  // itself is marked in the model (SqlModel::Omit).
  virtual void Prepare(SqlModel&) const {}
  // Statements before and after all others (session settings, a
  // transaction around the whole); empty for none.
  virtual std::u16string Begin() const { return u"BEGIN;\n"; }
  virtual std::u16string End() const { return u"COMMIT;\n"; }

  virtual void WriteSchema(Script& script, const SqlModel& model, const CMOObject& schema) const;
  virtual void WriteTableSpace(Script& script, const SqlModel& model, const CMOObject& tableSpace) const;
  virtual void WriteType(Script& script, const SqlModel& model, const CMOObject& type) const;
  virtual void WriteSequence(Script& script, const SqlModel& model, const CMOObject& sequence) const;
  virtual void WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const;
  // Keys, checks and foreign keys written inside CREATE TABLE are not
  // written again: the table's writer gives them no statement of their own.
  virtual void WriteKey(Script& script, const SqlModel& model, const CMOObject& key) const;
  virtual void WriteCheck(Script& script, const SqlModel& model, const CMOObject& check) const;
  virtual void WriteForeignKey(Script& script, const SqlModel& model, const CMOObject& foreignKey) const;
  virtual void WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const;
  virtual void WriteView(Script& script, const SqlModel& model, const CMOObject& view) const;
  virtual void WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const;
  virtual void WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const;
  // Statements that link objects once all are written (a sequence to the
  // column it belongs to); called after every Write* above.
  virtual void Finish(Script&, const SqlModel&) const {}

  // ---- Owners and grants, in a section after the script's end.

  // Whether the product has owners and grants the import may read: the
  // script says so when the model holds none (model::PrivilegesRead).
  virtual bool HasPrivileges() const { return false; }
  // The statements that give the object its owner and its grants (and a
  // column's grants), for a model that holds them; empty for none. Throws
  // RefusedText for a text that cannot be written.
  virtual std::u16string Privileges(const SqlModel&, const CMOObject&) const { return {}; }

  // An object of a type the sql format does not know (a partition object,
  // which its partition table stands for, is written by nothing).
  virtual void WriteOther(Script& script, const SqlModel& model, const CMOObject& object) const;

  // ---- Parts a migration plan (compare/MigrationPlan.h) states changes
  // with; each reads the model's texts through Proven, as the writers do.

  // The dialect a plan writes what it makes in: where the database runs a
  // plan statement by statement, one whose statements make an object only
  // where it is missing (or replace it), so that the plan run again after
  // a failure finishes what the failed run began. Itself by default.
  virtual const SqlDialect& ForPlans() const { return *this; }

  // One column's definition, as ADD COLUMN takes it.
  std::u16string ColumnClause(const SqlModel& model, const CMOObject& column) const {
    return ColumnDefinition(model, column);
  }
  // The object's default, as SET DEFAULT takes it.
  std::u16string DefaultOf(const CMOObject& object) const { return Default(object); }
  // The property's text when it proves to be one `kind`; else RefusedText.
  std::u16string ProvenText(const CMOObject& object, int propertyId, TextKind kind) const {
    return Proven(object, propertyId, kind);
  }
  // A key, check or foreign key as ALTER TABLE ... ADD takes it.
  virtual std::u16string ConstraintClause(const SqlModel& model, const CMOObject& constraint) const;
  // How DROP names the routine: its qualified name, and where the dialect
  // tells overloads apart, its argument types.
  virtual std::u16string RoutineDropName(const SqlModel& model, const CMOObject& routine) const {
    return QualifiedName(model, routine);
  }
  // "COMMENT ON <kind> <name> IS ...;" (IS NULL without a comment), where
  // the dialect has the statement; empty otherwise.
  std::u16string CommentStatement(std::u16string_view kind, std::u16string_view name, const CMOObject& object) const;

 protected:
  // ---- Parts the writers above share, for the dialects to reuse.

  // "-- <what> is not written: <why>" with names shown visibly (a name
  // cannot end the comment line), as a statement of its own.
  void NotWritten(Script& script, Phase phase, const CMOObject& object, std::u16string_view why) const;
  // The property's text when it proves to be one `kind` (Refusal);
  // otherwise throws RefusedText.
  std::u16string Proven(const CMOObject& object, int propertyId, TextKind kind) const;
  // Throws RefusedText, as for the object's property, when the text the
  // dialect made of it does not prove to be one `kind`.
  void Prove(const CMOObject& object, int propertyId, std::u16string_view text, TextKind kind) const;
  // Whether the source may report a text default without its quotes (ODBC
  // drivers may, the SQLite3 driver does): a default that is no
  // expression is then written as the string it is.
  virtual bool UnquotedTextDefaults() const { return true; }
  // "(a, b)": the names of the objects, each quoted as needed.
  std::u16string NameList(const SqlModel& model, const std::vector<int>& ids) const;
  // The table's columns in their order (model::Position; creation order
  // where equal).
  static std::vector<const CMOObject*> ColumnsInOrder(const SqlModel& model, const CMOObject& table);
  // The table's keys in the order CREATE TABLE writes them.
  virtual std::vector<const CMOObject*> KeysInOrder(const SqlModel& model, const CMOObject& table) const;
  // The CREATE TABLE statement from the table's properties and children.
  // `inlineConstraints`: keys and foreign keys go inside it too (checks
  // always do, unless the dialect writes them on their own).
  std::u16string CreateTable(const SqlModel& model, const CMOObject& table, bool inlineConstraints) const;
  // One column's definition inside CREATE TABLE.
  virtual std::u16string ColumnDefinition(const SqlModel& model, const CMOObject& column) const;
  // A default value after DEFAULT, as the model holds it.
  virtual std::u16string DefaultClause(std::u16string_view value) const;
  // The object's default (model::DefaultValue) after DEFAULT: DefaultClause
  // of the proven expression, or the text as a literal where the source
  // may report a text without its quotes.
  std::u16string Default(const CMOObject& object) const;
  // "PRIMARY KEY (a, b)" / "UNIQUE (a)" from the key's properties, with
  // "CONSTRAINT name" before it where the dialect keeps names.
  virtual std::u16string KeyClause(const SqlModel& model, const CMOObject& key) const;
  std::u16string CheckClause(const CMOObject& check) const;
  // "FOREIGN KEY (a) REFERENCES t (b) ..." from the properties; empty when
  // the referenced table is unknown and the model keeps no definition.
  virtual std::u16string ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const;
  // The table a foreign key references: model::ReferencedTable, or the
  // table of its referenced key; null when the model holds neither.
  const CMOObject* ReferencedTable(const SqlModel& model, const CMOObject& foreignKey) const;
  // The referenced columns' ids: model::ReferencedColumns, or for a
  // foreign key known only by its referenced key, that key's columns.
  std::vector<int> ReferencedColumns(const SqlModel& model, const CMOObject& foreignKey) const;
  // Whether the database kept the constraint's name (SQLite names none:
  // the model's names for its keys are made up by the import).
  virtual bool KeepsConstraintNames() const { return true; }
  // "CREATE [UNIQUE] INDEX name ON table [USING method] (columns,
  // expressions) [WHERE ...]".
  std::u16string CreateIndex(const SqlModel& model, const CMOObject& index) const;
  // " USING hash" for the index's method (model::IndexMethod) where the
  // dialect names one there; empty otherwise.
  virtual std::u16string IndexMethodClause(const CMOObject&) const { return {}; }
  // "COMMENT ON <kind> <name> IS '...';" when the object has a comment, and
  // the dialect has the statement; empty otherwise.
  virtual std::u16string CommentOn(std::u16string_view kind, std::u16string_view name, const CMOObject& object) const;
  // The grant's privileges (model::Privileges, or model::GrantOption when
  // `grantable`) as "SELECT, UPDATE": upper-case keywords only, else
  // RefusedText; empty when it has none. A column's grant names its column
  // after each privilege: `column` is " (name)", empty for other objects.
  std::u16string PrivilegeList(const CMOObject& grant, bool grantable, std::u16string_view column = {}) const;
  // The words the dialect must quote, in upper case, sorted.
  virtual const std::vector<std::u16string_view>& ReservedWords() const;
};

// The dialect of this short name ("sqlite", "postgresql", "mariadb",
// "standard"; empty is "standard"), or null; its short name; every short
// name, "standard" last. The objects are static.
const SqlDialect* DialectNamed(std::string_view name);
std::string_view DialectName(const SqlDialect& dialect);
std::vector<std::string_view> DialectNames();

}  // namespace writers::sql

// Single statements about a model's objects in the model's SQL dialect, for
// code beyond the sql format that proposes a change to a schema (the
// linter's fixes): names quoted and qualified as the sql format writes
// them, and the few statements a fix needs.
//
// Each statement is one line ending in ';'. A statement the dialect has no
// form for (SQLite cannot add a primary key to a table that exists) is
// empty. Names are the model's, quoted where the dialect needs it; the one
// text of the model a statement takes (a column type) is used only when
// it holds nothing but words, quoted names, numbers and ( ) , . [ ].
//
// The object keeps a reference to the model, which must outlive it and
// stay unchanged. Thread safety: const member functions only; one object
// may be read from several threads.
#pragma once

#include <tillerhold/GenericModel.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace writers {

namespace sql {
class SqlDialect;
class SqlModel;
}  // namespace sql

class SqlStatements {
 public:
  // In the dialect of that name, the one the plug-in that read the model
  // declares; empty: standard SQL. Throws std::invalid_argument for a name
  // that is none of DialectNames().
  explicit SqlStatements(const GenericModel& model, std::string_view dialect = {});
  ~SqlStatements();
  SqlStatements(const SqlStatements&) = delete;
  SqlStatements& operator=(const SqlStatements&) = delete;

  // "sqlite", "postgresql", "mariadb", then "standard".
  static std::vector<std::string_view> DialectNames();
  // The short name of the dialect in use.
  std::string_view Dialect() const;

  // Whether the name must be quoted in a statement: not a plain identifier
  // of the dialect, one of its reserved words, or (standard SQL,
  // PostgreSQL) a name that a bare spelling would fold to another case.
  // In standard SQL, which folds to upper case, a name in lower case
  // counts as plain.
  bool NeedsQuotes(std::u16string_view name) const;
  // The name as a statement writes it: quoted where needed.
  std::u16string Name(std::u16string_view name) const;
  // The object's name qualified by its schema where the dialect writes it.
  std::u16string QualifiedName(const CMOObject& object) const;
  // Whether the database made the object by itself along with another (a
  // virtual table's shadow tables, an identity column's sequence).
  bool MadeByDatabase(const CMOObject& object) const;

  // CREATE INDEX name ON table (columns).
  std::u16string CreateIndex(const CMOObject& table, std::u16string_view indexName, const std::vector<int>& columns) const;
  // Drops an index, or the unique key (constraint) an index stands for;
  // empty for a primary key and where the dialect cannot (SQLite's keys).
  std::u16string DropIndex(const CMOObject& indexOrKey) const;
  // ALTER TABLE ... ADD PRIMARY KEY (columns); empty for SQLite.
  std::u16string AddPrimaryKey(const CMOObject& table, const std::vector<int>& columns) const;
  // The column made NOT NULL; PostgreSQL only (MariaDB restates the whole
  // column, SQLite rebuilds the table): empty elsewhere.
  std::u16string SetNotNull(const CMOObject& column) const;
  // The column's type changed; PostgreSQL only, as SetNotNull; empty too
  // when the type text holds anything but what a type name is made of.
  std::u16string SetColumnType(const CMOObject& column, std::u16string_view type) const;
  // The foreign key made DEFERRABLE (INITIALLY IMMEDIATE); PostgreSQL only.
  std::u16string MakeDeferrable(const CMOObject& foreignKey) const;

 private:
  const sql::SqlDialect* m_dialect;     // static
  std::unique_ptr<sql::SqlModel> m_sql;  // the model as the dialects read it, prepared
};

}  // namespace writers

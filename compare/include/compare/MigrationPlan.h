// The script that changes a database shaped like one model into one shaped
// like another: what `quillmere-import diff OLD NEW --format sql` writes,
// from the object matching of ObjectMatch.h, in the dialect of the
// databases' kind, every text of the models proven as the sql format
// proves it (writers' SqlProof).
//
// What a plan holds, in order: the renames the user named (a rename is
// not seen in two states), the drops (foreign keys onto what changes,
// views that read what changes, in the order their dependencies allow,
// then indexes, constraints, columns, tables, sequences, schemas), the
// changes of columns that stay, and last the creates, ordered as the sql
// format orders a whole schema (a foreign key after its key, a view after
// what it reads).
//
//   PostgreSQL: one transaction; columns added, dropped, retyped (USING a
//   cast), made (not) null, their defaults and comments; keys, checks,
//   foreign keys, indexes and triggers dropped and made again when they
//   change; views and materialized views dropped and made again around
//   changes of what they read; sequences made, dropped, altered; schemas.
//   SQLite: a changed table is rebuilt (the old one renamed aside, the new
//   one made from the new model's text, the rows copied, the old one
//   dropped, its indexes and triggers made again), with foreign_keys off
//   and legacy_alter_table on (no other table's text is rewritten) and
//   foreign_key_check after.
//   MariaDB: statement by statement (its DDL commits by itself), every
//   step one that does nothing where an earlier run did it (IF EXISTS, IF
//   NOT EXISTS, CREATE OR REPLACE), so that the same plan run again after
//   a failure half way finishes it; a changed column is one MODIFY of its
//   whole definition, new columns are placed where NEW has them and moved
//   ones moved; options of schemas and tables altered; a table's triggers
//   made again in their order when one changes; routines replaced.
//
// PostgreSQL also: routines replaced, or dropped and made again when
// their arguments, result or kind change; enum values added (before the
// transaction), composite attributes and domains altered; partitions
// detached and attached. A column it cannot move is left where it is, and
// `notes` says so.
//
// What the planner cannot state (a table option, a column's identity or
// generation, an enum value removed or moved, composite attributes
// reordered; on MariaDB a changed partitioning, a table's system
// versioning, a routine that changes kind; another dialect) is not written around: the plan lists it in
// `unplanned` and holds no script. Steps that can lose data are listed in
// `dataLoss`; without allowDataLoss the plan then holds no script either,
// with it each such step is preceded by a comment saying what it loses.
//
// Time is linear in the two models (n log n for the order).
// Thread safety: plain functions without state.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class GenericModel;

namespace compare {

// --rename schema.table=new (a table) or schema.table.column=new (a
// column): what the old model calls `from` is the object the new model
// calls `to`.
struct Rename {
  std::u16string schema;
  std::u16string table;
  std::u16string column;  // empty for a table
  std::u16string to;
};

// The text of --rename read; throws std::invalid_argument saying why.
Rename ReadRename(const std::string& text);

struct PlanOptions {
  std::string dialect;  // "postgresql", "sqlite", "mariadb" (others are refused)
  bool allowDataLoss = false;
  std::vector<Rename> renames;
};

struct MigrationPlan {
  std::string script;                   // UTF-8; empty when refused or when the models agree
  std::vector<std::string> dataLoss;    // each step that can lose data, one line (UTF-8, names visible)
  std::vector<std::string> unplanned;   // each difference the planner cannot state, naming the object
  std::vector<std::string> notes;       // what the plan leaves different on purpose (PostgreSQL's column order)
  bool empty = false;                   // the models agree: nothing to do
};

// Thrown for a rename that names no object of the old model, or whose new
// name the old model already holds.
struct PlanError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The plan from `before` to `after`. The renames are made in `before`
// (the objects take their new names) before the models are matched.
MigrationPlan PlanMigration(GenericModel& before, const GenericModel& after, const PlanOptions& options);

}  // namespace compare

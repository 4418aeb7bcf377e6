// The catalogue statements of the MariaDB reader: their ids, what each
// reads, the object type each counts, and their text for a scope.
//
// Each statement reads one kind of object for the whole server (every
// schema in scope) at once from information_schema; later statements find
// what earlier ones created in the import's caches, so the number of
// statements does not grow with the number of schemas or tables. Two
// statements are made from what the import found: the values of the
// sequences (one SELECT per sequence, joined with UNION ALL, since the
// server of this version shows them only in the sequences themselves), and
// the routine bodies from mysql.proc, which keeps them as written where
// information_schema has a copy in three-byte UTF-8 (a character outside
// the Basic Multilingual Plane reads '?' there); that one runs only when
// the account may read mysql.proc.
//
// Result columns carry lower-case aliases (the record's keys); names and
// texts are text, counts and positions integers, 64-bit numbers text.
#pragma once

#include <string>
#include <vector>

namespace qm::mariadb {

// The model type the plug-in's tools are registered under.
constexpr unsigned int kMariaDbModelType = 1003;

// The oldest server the statements are written for (major * 10000 + minor
// * 100 + patch): STATISTICS.IGNORED came with 10.6.
constexpr int kMinimumServerVersion = 100600;

// Statement ids. StatementIds() gives the order an import runs them in.
enum StatementId : int {
  kSchemas = 1,           // one row per schema in scope
  kTables = 2,            // base tables (system-versioned ones included)
  kViews = 3,             // one row per view
  kSequences = 4,         // one row per sequence (its name)
  kSequenceValues = 5,    // start, increment, bounds and cycle of every sequence found (made by the import)
  kColumns = 6,           // one row per column of a table or view
  kKeys = 7,              // one row per column of a primary key or unique key
  kCheckConstraints = 8,  // table and column checks
  kForeignKeys = 9,       // one row per column of a foreign key
  kIndexes = 10,          // one row per column of an index that is not unique
  kPartitions = 11,       // one row per partition (or subpartition)
  kTriggers = 12,         // one row per trigger
  kRoutines = 13,         // stored procedures and functions
  kRoutineBodies = 14,    // their bodies as written, from mysql.proc (when readable)
  kParameters = 15,       // one row per routine parameter, in order
  kPrivileges = 16,       // one row per privilege granted on a schema, table or column (only when asked)
};

// Every statement, in the order ReadObjects runs them.
const std::vector<int>& StatementIds();

// What the statement reads, for the host ("tables", "foreign keys", ...);
// "statement <id>" for an id the reader does not know.
std::u16string StatementName(int statementId);

// The model object type the statement counts (progress), or 0.
int StatementObjectType(int statementId);

// The statement's text for the schemas of the scope (empty: every schema but
// MariaDB's own); names reach the server only as hex literals. Empty for an
// unknown id and for kSequenceValues (see SequenceValuesText).
std::u16string StatementText(int statementId, const std::vector<std::u16string>& scope);

// One sequence of the import: its schema and name.
struct SequenceName {
  std::u16string schema;
  std::u16string name;
};

// The statement reading the values of these sequences; empty for none.
std::u16string SequenceValuesText(const std::vector<SequenceName>& sequences);

}  // namespace qm::mariadb

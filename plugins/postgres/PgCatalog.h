// The catalogue statements of the PostgreSQL reader: their ids, what each
// reads, the object type each counts, and their text for a scope.
//
// Each statement reads one kind of object for the whole database (all
// schemas in scope) at once; later statements find what earlier ones
// created in the import's caches, so the number of statements does not grow
// with the number of tables or schemas.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm::postgres {

// The model type the plug-in's tools are registered under.
constexpr unsigned int kPostgresModelType = 1002;

// The oldest server the statements are written for: generated columns
// (attgenerated) and procedures (prokind) are read unconditionally.
constexpr int kMinimumServerVersion = 120000;

// Statement ids. StatementIds() gives the order an import runs them in.
enum StatementId : int {
  kTableSpaces = 1,      // one row per tablespace of the cluster
  kSchemas = 2,          // one row per schema in scope
  kTypes = 3,            // enum, domain, range and composite types
  kTypeAttributes = 4,   // one row per attribute of a composite type
  kSequences = 5,        // one row per sequence
  kTables = 6,           // ordinary and partitioned tables (partitions included)
  kViews = 7,            // views and materialized views
  kColumns = 8,          // one row per column of a table, view or materialized view
  kColumnDefaults = 17,  // one row per column default or generation expression (runs after kColumns)
  kKeys = 9,             // primary keys and unique constraints
  kCheckConstraints = 10,  // check constraints of tables
  kForeignKeys = 11,     // one row per foreign key
  kIndexes = 12,         // indexes that do not back a key
  kPartitions = 13,      // one row per partition: its parent and bound
  kTriggers = 14,        // user triggers
  kRoutines = 15,        // functions, procedures, aggregates, window functions
  kParameters = 16,      // one row per routine argument
  kSequenceOwners = 18,  // one row per sequence that belongs to a column (serial, OWNED BY)
  kPrivileges = 19,      // one row per object (column included) and grantee: the privileges granted;
                         // run only when the host asks for privileges
};

// Every statement, in the order ReadObjects runs them.
const std::vector<int>& StatementIds();

// What the statement reads, for the host ("tables", "foreign keys", ...);
// "statement <id>" for an id the reader does not know.
std::u16string StatementName(int statementId);

// The model object type the statement counts (progress), or 0.
int StatementObjectType(int statementId);

// The statements that read the objects every row of this statement
// belongs to (the relations of a column, the routines of a parameter):
// when they find none, this statement has nothing to add to the model.
// Empty for a statement that reads objects of its own.
const std::vector<int>& OwnerStatements(int statementId);

// The statement's text with `scopeFilter` (see ScopeFilter in PgText.h, on
// the column n.nspname) as its schema filter, for a server of the given
// version (server_version_num; 0 means the newest). Empty for an unknown id.
std::u16string StatementText(int statementId, const std::u16string& scopeFilter, int serverVersion);

// Whether every row of the statement belongs to a table, view or
// materialized view of the scope that its text joins as `c` (columns,
// keys, indexes, triggers, ...): such a statement can be limited to some
// relations (RelationFilter).
bool ReadsRelations(int statementId);

// The tables, views and materialized views in scope (the filter on
// n.nspname): one row, one text: the number of relations one transaction
// of the import may lock, then the relations' oids in ascending order, all
// separated by blanks. The number is a quarter of the server's shared lock
// table (max_locks_per_transaction for each connection and prepared
// transaction it allows), and at least max_locks_per_transaction.
std::u16string RelationsInScopeText(const std::u16string& scopeFilter);

// A condition that holds for the rows of a ReadsRelations statement whose
// relation is one of these; added to its schema filter.
std::u16string RelationFilter(std::span<const std::uint32_t> relations);

// A statement (a DO block) that takes ACCESS SHARE locks on those of these
// relations that are tables and views and still exist, in oid order, until
// the transaction ends: no other session can then drop or alter them, nor
// their constraints, indexes or triggers. Waiting for a lock ends with
// lock_timeout. A relation it cannot lock (gone meanwhile, a materialized
// view, or one the role may not read) is passed over.
std::u16string LockRelationsText(std::span<const std::uint32_t> relations);

// The objects an import asks about once all statements have run, to leave
// out those dropped while it ran: schemas, tables, views, sequences, types
// and routines in scope, one text per object, its kind letter ('n' schema,
// 'r' relation, 't' type, 'p' routine) followed by its oid in decimal.
std::u16string LiveObjectsText(const std::u16string& scopeFilter);

}  // namespace qm::postgres

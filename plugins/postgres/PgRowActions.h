// The row actions of the PostgreSQL reader: one per catalogue statement
// (see PgCatalog.h), each turning the statement's rows into model objects.
//
// Objects are found again by their oid. A key is a kind letter followed by
// its numbers, each as two UTF-16 code units (high half, low half), so that
// it fits a text's inline storage:
//   ImportedObjectCache  AddTableSpace  tablespace oid                   the tablespace
//                        AddByDBID      'r' oid                          table, view, materialized view, sequence
//                                       'a' table oid, attnum            column
//                                       't' oid                          user type
//                                       'p' oid                          routine
//                        AddAttribute   'x' index oid                    the key the index backs
//                        AddParameter   'p' oid -> parameter text        the routine's parameter list
//   ImportedIndexCache   AddByDBID      'i' oid                          index
//                        AddIncludedColumn                               INCLUDE columns of indexes and keys
//   ImportedKeysCache    Set            table oid + ":" + sorted key attnums   primary key or unique constraint
//   ImportCacheDB        InsertUDTTableColumn  (schema, type) attributes  composite type attribute lists
//                        Insert_PartitionFunctionValue  partition oid     a partition's bound values
// and SchemaLookup::FindCreate gives every schema its model object.
//
// Model shape: tablespaces under the root; schemas under the root; types,
// sequences, tables, views and routines under their schema; columns, keys,
// check constraints, foreign keys, indexes, triggers and partitions under
// their table (or view); parameters under their routine.
//
// A constraint, index, trigger or view whose definition comes back NULL was
// dropped after the statement's snapshot was taken: its row makes nothing.
//
// Actions are created by PgReader::RegisterQueryStatements and owned by the
// reader (which hands them the rows once the statements have run, see
// PgReader.h); they run on the import's thread only.
#pragma once

#include <schemaimport/QueryResultActions.h>

namespace qm::postgres {

// A new row action for the statement, or null for an id without one.
QueryResultRowActionI* CreateRowAction(int statementId);

}  // namespace qm::postgres

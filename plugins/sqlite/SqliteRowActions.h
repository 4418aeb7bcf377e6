// The row actions of the SQLite reader: one per catalogue statement (see
// SqliteCatalog.h), each turning the statement's rows into model objects.
//
// What later statements need is kept in the module's caches, under the keys
// of SqliteSqlText.h (case-folded, quoted):
//   ImportedObjectCache  Add       ObjectKey(schema, table or view)   the table or view
//                        AddByDBID "key " + ObjectKey(schema, table) + "." + quoted folded index name
//                                  (the empty name for the primary key)        the key
//                        AddByDBID "fk " + ObjectKey(schema, table) + "." + foreign key id   the foreign key
//   ImportedIndexCache   Add       ObjectKey(schema, index)           the index
//   ImportedKeysCache    Set       KeySignature(schema, table, columns)  every key with all its columns
// and SchemaLookup::FindCreate gives every database its schema object.
// Columns are found again among their table's children in the model.
//
// The column lists of keys, foreign keys and indexes arrive one row per
// column; their actions collect them and write the lists in PostExecute.
// The key-columns action ends with ImportedKeysCache::InitReverseSearch, so
// the foreign-key-columns action finds referenced keys by signature.
//
// Actions are created by SqliteReader::RegisterQueryStatements and owned by
// the reader; they run on the import's thread only.
#pragma once

#include "SqliteCatalog.h"

#include <schemaimport/QueryResultActions.h>

#include <vector>

namespace qm::sqlite {

// A new row action for the statement, or null for an id without one. The
// databases action fills scope->databases (emptied first) with the
// databases the import reads, those in scope->wanted when that is not
// empty; the triggers action looks there for the table of a trigger kept in
// another database. `scope` must outlive the action.
QueryResultRowActionI* CreateRowAction(int statementId, ImportScope* scope);

// Creates the check constraints that the tables' CREATE texts declare
// (scope.declared), under their tables: tables in the order they were
// imported, each table's checks in declaration order. A check gets its name
// only where the text gives one; CheckExpression is the expression as
// written, Definition "CHECK (<expression>)".
void CreateCheckConstraints(GenericModel& model, const ImportScope& scope);

}  // namespace qm::sqlite

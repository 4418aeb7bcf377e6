// The row actions of the MariaDB reader: one per catalogue statement (see
// MariaCatalog.h), each turning the statement's rows into model objects.
//
// MariaDB's catalogue names objects, it has no ids: objects are found again
// by their names, as CacheKey (MariaText.h) joins them:
//   ImportedObjectCache  AddByDBID     'r' schema, table           table or view
//                                      's' schema, sequence        sequence
//                                      'p' schema, type, routine   routine
//                        AddAttribute  'k' schema, table, key      primary or unique key, by its index's name
//                        AddParameter  'p' key -> parameter text   the routine's parameter list
//   ImportedIndexCache   AddByDBID     'i' schema, table, index    index
//   ImportedKeysCache    Set           'r' relation's object id + sorted folded column names   primary or unique key
//   ImportCacheDB        Insert_PartitionFunctionValue  a number per partition  its bound's values
// and SchemaLookup::FindCreate gives every schema its model object.
// Columns are found again among their relation's children in the model, by
// their names with ASCII letters compared without case (MariaDB compares
// column names so).
//
// Model shape: schemas under the root; tables, views, sequences and
// routines under their schema; columns, keys, check constraints, foreign
// keys, indexes, partitions and triggers under their table (columns under
// views too); parameters under their routine. Texts are as MariaDB reports
// them; flags that are off (auto_increment, invisible) are left out.
//
// Rows that arrive one per key column (keys, foreign keys, indexes) are
// collected per object, which is made at its first row, and finished when
// the next object's rows start or the statement ends.
//
// Actions are created by MariaReader::RegisterQueryStatements and owned by
// the reader; they run on the import's thread only.
#pragma once

#include "MariaCatalog.h"

#include <schemaimport/QueryResultActions.h>

#include <vector>

namespace qm::mariadb {

// A new row action for the statement, or null for an id without one. The
// sequences action appends every sequence it makes to `sequences` (the
// reader's, which outlives the action).
QueryResultRowActionI* CreateRowAction(int statementId, std::vector<SequenceName>* sequences);

}  // namespace qm::mariadb

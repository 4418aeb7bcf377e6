// The catalogue statements of the SQLite reader: their ids, what each reads,
// and their text for a given list of databases.
//
// Every statement except the database list covers all tables of a database
// at once (sqlite_master joined with the table-valued pragma functions); for
// several databases the per-database statements are chained with UNION ALL
// into one statement, so an import runs the same thirteen statements however
// many tables and databases there are. The two that read the columns of
// views and of virtual tables also have a form for a chosen few
// (ObjectStatementText): SQLite cannot read some of them (a view over a
// dropped table or a function registered at run time, a virtual table of a
// module the connection lacks), and such a one fails the whole statement.
#pragma once

#include "SqliteSqlText.h"

#include <map>
#include <string>
#include <vector>

namespace qm::sqlite {

// The model type the plug-in's tools are registered under.
constexpr unsigned int kSqliteModelType = 1001;

// Statement ids, in the order an import runs them. Later statements find
// what earlier ones created in the import's caches.
enum StatementId : int {
  kDatabases = 1,            // main, attached databases, temp when it holds objects
  kTables = 2,               // one row per table
  kColumns = 3,              // one row per column of a stored table
  kVirtualTableColumns = 4,  // one row per column of a virtual table
  kKeys = 5,                 // one row per primary key or unique constraint
  kKeyColumns = 6,           // one row per key column
  kForeignKeys = 7,          // one row per foreign key
  kForeignKeyColumns = 8,    // one row per foreign-key column pair
  kIndexes = 9,              // one row per index made with CREATE INDEX
  kIndexColumns = 10,        // one row per key term of such an index
  kViews = 11,               // one row per view
  kViewColumns = 12,         // one row per column of a view
  kTriggers = 13,            // one row per trigger
};

// The statements ReadObjects runs, in order (the database list runs first,
// in GetAvailableObjects).
const std::vector<int>& ReadStatementIds();

// What the statement reads, for the host ("tables", "foreign keys", ...);
// "statement <id>" for an id the reader does not know.
std::u16string StatementName(int statementId);

// The model object type the statement counts (progress), or 0.
int StatementObjectType(int statementId);

// One database of the connection, as the database list reported it.
struct DatabaseName {
  int seq;               // position in the connection's database list
  std::u16string name;   // "main", "temp" or the name it was attached under
};

// A view or table by its database and name, as the catalogue gave them.
struct RelationName {
  DatabaseName database;  // its database
  std::u16string name;    // its name
  int rowid = 0;          // its row in the database's sqlite_master
};

// What the row actions of one import share. Filled as the statements run;
// the reader empties it when the import's reading ends.
struct ImportScope {
  std::vector<std::u16string> wanted;  // case-folded names the scope text asks for; empty: every database
  std::vector<DatabaseName> databases; // the databases read, filled by the database list's row action
  // Model object id of a table -> what its CREATE text declares, for every
  // table whose text is not plain (TableText::plain) and is no virtual
  // table's (the tables' row action reads each text once; later actions
  // look here).
  std::map<int, TableText> declared;
  std::vector<RelationName> views;          // every view imported, in catalogue order
  std::vector<RelationName> virtualTables;  // every virtual table imported, in catalogue order

  // Forgets everything but `wanted`.
  void ClearRead() {
    databases.clear();
    declared.clear();
    views.clear();
    virtualTables.clear();
  }
};

// The statement's text for the databases (in the given order); for an
// empty list, the text for "main" alone. The database list statement
// ignores the list. Empty for an unknown id.
std::u16string StatementText(int statementId, const std::vector<DatabaseName>& databases);

// Whether the statement has a form for some views or virtual tables.
bool HasObjectForm(int statementId);
// That form: the statement's rows for those relations, all of one database
// (the first's), which it finds by their rowids (the driver cannot pass
// every name in statement text). Empty for a statement without one or no
// relations.
std::u16string ObjectStatementText(int statementId, const std::vector<const RelationName*>& relations);

}  // namespace qm::sqlite

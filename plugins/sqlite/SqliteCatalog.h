// The catalogue statements of the SQLite reader: their ids, what each reads,
// and their text for a given list of databases.
//
// Every statement except the database list covers all tables of a database
// at once (sqlite_master joined with the table-valued pragma functions); for
// several databases the per-database statements are chained with UNION ALL
// into one statement, so an import runs the same twelve statements however
// many tables and databases there are.
#pragma once

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
  kTriggers = 12,            // one row per trigger
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

// What the row actions of one import share: the databases it reads.
struct ImportScope {
  std::vector<std::u16string> wanted;  // case-folded names the scope text asks for; empty: every database
  std::vector<DatabaseName> databases; // the databases read, filled by the database list's row action
};

// The statement's text for the databases (in the given order); for an
// empty list, the text for "main" alone. The database list statement
// ignores the list. Empty for an unknown id.
std::u16string StatementText(int statementId, const std::vector<DatabaseName>& databases);

}  // namespace qm::sqlite

#include "SqliteCatalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>

namespace qm::test {

namespace {

// Runs the query and calls row for every result row.
void Query(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db) << "\n" << sql;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
  EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db) << "\n" << sql;
  sqlite3_finalize(statement);
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text == nullptr ? std::string() : reinterpret_cast<const char*>(text);
}

}  // namespace

SqliteCatalogue ReadSqliteCatalogue(const std::string& path) {
  SqliteCatalogue catalogue;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
    return catalogue;
  }
  Query(db,
        "SELECT m.name, c.name, c.pk FROM sqlite_schema AS m JOIN pragma_table_xinfo(m.name) AS c "
        "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND c.hidden <> 1 "
        "ORDER BY m.rowid, c.cid",
        [&](sqlite3_stmt* row) {
          SqliteTable& table = catalogue.tables[ColumnText(row, 0)];
          table.columns.push_back(ColumnText(row, 1));
          const int pk = sqlite3_column_int(row, 2);
          if (pk > 0) {
            if (table.primaryKey.size() < static_cast<std::size_t>(pk)) table.primaryKey.resize(static_cast<std::size_t>(pk));
            table.primaryKey[static_cast<std::size_t>(pk - 1)] = ColumnText(row, 1);
          }
        });
  Query(db,
        "SELECT m.name, il.origin, il.name FROM sqlite_schema AS m JOIN pragma_index_list(m.name) AS il "
        "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
        [&](sqlite3_stmt* row) {
          SqliteTable& table = catalogue.tables[ColumnText(row, 0)];
          const std::string origin = ColumnText(row, 1);
          if (origin == "u") ++table.uniqueConstraints;
          if (origin == "c") table.indexes.insert(ColumnText(row, 2));
        });
  Query(db,
        "SELECT m.name, f.\"table\" FROM sqlite_schema AS m JOIN pragma_foreign_key_list(m.name) AS f "
        "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND f.seq = 0",
        [&](sqlite3_stmt* row) { catalogue.tables[ColumnText(row, 0)].foreignKeyTargets.insert(ColumnText(row, 1)); });
  Query(db, "SELECT type, name FROM sqlite_schema WHERE type IN ('view', 'trigger')", [&](sqlite3_stmt* row) {
    (ColumnText(row, 0) == "view" ? catalogue.views : catalogue.triggers).insert(ColumnText(row, 1));
  });
  sqlite3_close(db);
  return catalogue;
}

void CreateSqliteDatabase(const std::string& path, const std::string& script) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  char* message = nullptr;
  const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(rc, SQLITE_OK) << (message != nullptr ? message : "");
  sqlite3_free(message);
  ASSERT_EQ(sqlite3_close(db), SQLITE_OK);
}

}  // namespace qm::test

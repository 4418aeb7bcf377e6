#include "SqliteCatalogue.h"

#include "ImportHost.h"

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>

namespace qm::test {

SqliteFile::SqliteFile(const std::string& path) {
  if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
}

SqliteFile::~SqliteFile() { sqlite3_close(m_db); }

void SqliteFile::Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << "sqlite3_exec failed: " << (error != nullptr ? error : "?") << "\n" << sql.substr(0, 300);
    sqlite3_free(error);
  }
}

std::vector<std::vector<std::string>> SqliteFile::Rows(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot prepare: " << sqlite3_errmsg(m_db) << "\n" << sql;
    return rows;
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
      row.emplace_back(text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, c)))
                                       : "<null>");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  return rows;
}

namespace {

std::string Literal(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
  return quoted + "'";
}

std::string Bracketed(const std::vector<std::vector<std::string>>& rows) {
  std::string text;
  for (const auto& row : rows) text += "[" + row[0] + "]";
  return text;
}

std::string Bracketed(const GenericModel& model, const std::vector<int>& ids) {
  std::string text;
  for (int id : ids) text += "[" + (model.GetCMOObject(id) != nullptr ? Name(*model.GetCMOObject(id)) : "#") + "]";
  return text;
}

// The relation SQLite finds for a name as written (ASCII letters in any
// case), as SQL on the expression; NULL when there is none.
std::string Resolved(const std::string& name) {
  return "(SELECT r.name FROM sqlite_master AS r WHERE r.type IN ('table', 'view') AND lower(r.name) = lower(" + name +
         "))";
}

}  // namespace

std::vector<std::string> SqliteCatalogueLines(const std::string& path) {
  SqliteFile db(path);
  std::vector<std::string> lines;
  const std::string userTable = "m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  for (const auto& row : db.Rows("SELECT m.name, m.sql FROM sqlite_master AS m WHERE " + userTable))
    lines.push_back(Line({"table", row[0], row[1]}));
  for (const auto& row : db.Rows("SELECT m.name, row_number() OVER (PARTITION BY m.name ORDER BY c.cid), c.name "
                                 "FROM sqlite_master AS m JOIN pragma_table_xinfo(m.name) AS c WHERE " + userTable +
                                 " AND c.hidden <> 1"))
    lines.push_back(Line({"column", row[0], row[1], row[2]}));
  for (const auto& table : db.Rows("SELECT m.name FROM sqlite_master AS m WHERE " + userTable)) {
    const std::string& name = table[0];
    const std::string key =
        Bracketed(db.Rows("SELECT name FROM pragma_table_info(" + Literal(name) + ") WHERE pk > 0 ORDER BY pk"));
    if (!key.empty()) lines.push_back(Line({"key", name, "pk_" + name, key}));
    for (const auto& index :
         db.Rows("SELECT name, origin FROM pragma_index_list(" + Literal(name) + ") WHERE origin IN ('u', 'c')"))
      lines.push_back(Line({index[1] == "u" ? "key" : "index", name, index[0],
                            Bracketed(db.Rows("SELECT name FROM pragma_index_info(" + Literal(index[0]) +
                                              ") WHERE name IS NOT NULL ORDER BY seqno"))}));
    std::map<std::string, std::pair<std::string, std::string>> foreignKeys;  // id -> (columns, referenced table)
    for (const auto& row : db.Rows("SELECT id, \"from\", coalesce(" + Resolved("f.\"table\"") +
                                   ", '<none>') FROM pragma_foreign_key_list(" + Literal(name) + ") AS f ORDER BY id, seq")) {
      foreignKeys[row[0]].first += "[" + row[1] + "]";
      foreignKeys[row[0]].second = row[2];
    }
    for (const auto& [id, fk] : foreignKeys) lines.push_back(Line({"foreign key", name, fk.first, fk.second}));
  }
  for (const auto& row : db.Rows("SELECT name, sql FROM sqlite_master WHERE type = 'view'"))
    lines.push_back(Line({"view", row[0], row[1]}));
  for (const auto& row : db.Rows("SELECT " + Resolved("m.tbl_name") + ", m.name, m.sql FROM sqlite_master AS m "
                                 "WHERE m.type = 'trigger'"))
    lines.push_back(Line({"trigger", row[0], row[1], row[2]}));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> SqliteModelLines(GenericModel& model) {
  std::vector<std::string> lines;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    auto relation = [&](CMOObject& relation) {
      const std::string r = Name(relation);
      int position = 0;
      for (CMOObject* column : Children(model, relation, model::Column))
        lines.push_back(Line({"column", r, std::to_string(++position), Name(*column)}));
      for (CMOObject* trigger : Children(model, relation, model::Trigger))
        lines.push_back(Line({"trigger", r, Name(*trigger), Text(*trigger, model::Definition)}));
      return r;
    };
    for (CMOObject* table : Children(model, *schema, model::Table)) {
      const std::string t = relation(*table);
      lines.push_back(Line({"table", t, Text(*table, model::SqlText)}));
      for (CMOObject* key : Children(model, *table, model::Key))
        lines.push_back(Line({"key", t, Name(*key), Bracketed(model, Ids(*key, model::KeyColumns))}));
      for (CMOObject* index : Children(model, *table, model::Index))
        lines.push_back(Line({"index", t, Name(*index), Bracketed(model, Ids(*index, model::IndexColumns))}));
      for (CMOObject* fk : Children(model, *table, model::ForeignKey)) {
        const std::vector<int> referenced = Ids(*fk, model::ReferencedTable);
        const CMOObject* target = referenced.size() == 1 ? model.GetCMOObject(referenced[0]) : nullptr;
        lines.push_back(Line({"foreign key", t, Bracketed(model, Ids(*fk, model::ForeignKeyColumns)),
                              target != nullptr ? Name(*target) : "<none>"}));
      }
    }
    for (CMOObject* view : Children(model, *schema, model::View))
      lines.push_back(Line({"view", relation(*view), Text(*view, model::Definition)}));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace qm::test

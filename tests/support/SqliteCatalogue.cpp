#include "SqliteCatalogue.h"

#include "HostileNames.h"
#include "ImportHost.h"

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <map>

namespace qm::test {

SqliteFile::SqliteFile(const std::string& path) {
  if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
}

SqliteFile::~SqliteFile() { sqlite3_close(m_db); }

void SqliteFile::Exec(const std::string& sql) {
  const std::string error = TryExec(sql);
  if (!error.empty()) ADD_FAILURE() << "sqlite3_exec failed: " << error << "\n" << sql.substr(0, 300);
}

std::string SqliteFile::TryExec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return "";
  const std::string message = error != nullptr ? error : sqlite3_errmsg(m_db);
  sqlite3_free(error);
  return message;
}

std::vector<std::vector<std::string>> SqliteFile::Rows(const std::string& sql) {
  std::string error;
  std::optional<std::vector<std::vector<std::string>>> rows = TryRows(sql, &error);
  if (!rows) {
    ADD_FAILURE() << "query failed: " << error << "\n" << sql;
    return {};
  }
  return std::move(*rows);
}

std::optional<std::vector<std::vector<std::string>>> SqliteFile::TryRows(const std::string& sql, std::string* error) {
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(m_db);
    return std::nullopt;
  }
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
      row.emplace_back(text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, c)))
                                       : "<null>");
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) *error = sqlite3_errmsg(m_db);
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE) return std::nullopt;
  return rows;
}

bool SqliteFile::CopyFrom(const std::string& path) {
  sqlite3* source = nullptr;
  bool copied = false;
  if (sqlite3_open_v2(path.c_str(), &source, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    if (sqlite3_backup* backup = sqlite3_backup_init(m_db, "main", source, "main")) {
      copied = sqlite3_backup_step(backup, -1) == SQLITE_DONE;
      copied = sqlite3_backup_finish(backup) == SQLITE_OK && copied;
    }
  }
  sqlite3_close(source);
  return copied;
}

namespace {

using Rows = std::vector<std::vector<std::string>>;

using hardening::QuoteIdent;
using hardening::QuoteText;

std::string Bracketed(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "[" + name + "]";
  return text;
}

// "[a][b]" from the first value of each row.
std::string Bracketed(const Rows& rows) {
  std::string text;
  for (const auto& row : rows) text += "[" + row[0] + "]";
  return text;
}

std::string Bracketed(const GenericModel& model, const std::vector<int>& ids) {
  std::vector<std::string> names;
  for (int id : ids) names.push_back(model.GetCMOObject(id) != nullptr ? Name(*model.GetCMOObject(id)) : "#");
  return Bracketed(names);
}

// Read as SQLite reads a name, as it names an unnamed check: CHECK ('a' <> b) is "a".
std::string Dequoted(const std::string& text) {
  if (text.empty() || (text[0] != '"' && text[0] != '\'' && text[0] != '`' && text[0] != '[')) return text;
  const char close = text[0] == '[' ? ']' : text[0];
  std::string name;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] != close) {
      name += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == close) {
      name += close;
      ++i;
    } else {
      break;
    }
  }
  return name;
}

std::string Column(const std::string& relation, int position, const std::vector<std::string>& info, bool rowidAlias,
                   bool generatedAllowed) {
  const std::string nullable = rowidAlias || info[3] != "0" ? "0" : "1";
  const std::string generated = !generatedAllowed ? "" : info[6] == "2" ? "VIRTUAL" : info[6] == "3" ? "STORED" : "";
  return Line({"column", relation, std::to_string(position), info[1], info[2], nullable,
               info[4] == "<null>" ? "<none>" : info[4], info[5], generated});
}

struct ForeignKeyRows {
  std::vector<std::string> from;  // child columns
  std::vector<std::string> to;    // parent columns, "<null>" for the parent's primary key
  std::string table;              // parent table as written
  std::string onUpdate, onDelete, match;
};

std::map<int, ForeignKeyRows> ForeignKeys(SqliteFile& db, const std::string& table) {
  std::map<int, ForeignKeyRows> keys;
  for (const auto& row : db.Rows("SELECT id, \"from\", \"to\", \"table\", on_update, on_delete, \"match\" "
                                 "FROM pragma_foreign_key_list(" + QuoteText(table) + ") ORDER BY id, seq")) {
    ForeignKeyRows& key = keys[std::stoi(row[0])];
    key.from.push_back(row[1]);
    key.to.push_back(row[2]);
    key.table = row[3];
    key.onUpdate = row[4];
    key.onDelete = row[5];
    // SQLite says "NONE" and treats every key as MATCH SIMPLE.
    key.match = row[6] == "NONE" ? "SIMPLE" : row[6];
  }
  return keys;
}

std::optional<Rows> ColumnsOf(SqliteFile& db, const std::string& relation, std::string* error) {
  return db.TryRows("SELECT cid, name, type, \"notnull\", dflt_value, pk, hidden FROM pragma_table_xinfo(" +
                    QuoteText(relation) + ") ORDER BY cid", error);
}

// The table or view SQLite finds for a name (ASCII letters in any case).
std::optional<std::string> Resolve(SqliteFile& db, const std::string& name, const char* types = "'table', 'view'") {
  const Rows rows = db.Rows(std::string("SELECT name FROM sqlite_master WHERE type IN (") + types +
                            ") AND lower(name) = lower(" + QuoteText(name) + ")");
  if (rows.empty()) return std::nullopt;
  return rows[0][0];
}

// What the pragmas leave out, from the program SQLite compiles for an INSERT
// into each table of a copy in memory: a check halts with its name (P5 3);
// each foreign key, in pragma order, halts at once (P5 4: immediate) or
// counts for later with P1 telling deferral (FkCounter, P2 +1). Triggers and
// views are dropped, missing parents made up: they only stop compiling.
class CompiledReading {
 public:
  explicit CompiledReading(const std::string& path) : m_copy(":memory:") {
    m_ready = m_copy.CopyFrom(path);
    if (!m_ready) return;
    m_copy.Exec("PRAGMA legacy_alter_table = ON; PRAGMA foreign_keys = OFF;");
    for (const auto& row : m_copy.Rows("SELECT type, name FROM sqlite_master WHERE type IN ('trigger', 'view') ORDER BY type = 'view'"))
      m_copy.Exec("DROP " + std::string(row[0] == "view" ? "VIEW " : "TRIGGER ") + QuoteIdent(row[1]));
  }

  // The checks' names; "?" and the message when the INSERT does not compile.
  std::vector<std::string> Checks(const std::string& table) {
    if (!m_ready) return {"? no copy"};
    m_copy.Exec("PRAGMA foreign_keys = OFF");
    std::string error;
    const auto program = m_copy.TryRows(InsertProgram(table), &error);
    if (!program) return {"? " + error};
    std::vector<std::string> names;
    for (const auto& op : *program)
      if (op[1] == "Halt" && op[6] == "3") names.push_back(op[5]);
    return names;
  }

  // "1" or "0" per foreign key, or all "?" when the program does not tell.
  std::vector<std::string> Deferred(const std::string& table, std::size_t count) {
    std::vector<std::string> unknown(count, "?");
    if (!m_ready || count == 0) return unknown;
    std::string error;
    m_copy.Exec("PRAGMA foreign_keys = ON");
    auto program = m_copy.TryRows(InsertProgram(table), &error);
    if (!program) {
      m_copy.Exec("PRAGMA foreign_keys = OFF");
      MakeUpParents(table);
      m_copy.Exec("PRAGMA foreign_keys = ON");
      program = m_copy.TryRows(InsertProgram(table), &error);
    }
    m_copy.Exec("PRAGMA foreign_keys = OFF");
    if (!program) return unknown;
    std::vector<std::string> deferred;
    for (const auto& op : *program) {
      if (op[1] == "Halt" && op[6] == "4") deferred.push_back("0");
      if (op[1] == "FkCounter" && op[3] == "1") deferred.push_back(op[2] == "0" ? "0" : "1");
    }
    return deferred.size() == count ? deferred : unknown;
  }

 private:
  static std::string InsertProgram(const std::string& table) {
    return "EXPLAIN INSERT INTO main." + QuoteIdent(table) + " DEFAULT VALUES";
  }

  // Every foreign key gets a parent (made, or columns added) with a unique index.
  void MakeUpParents(const std::string& table) {
    for (const auto& [id, key] : ForeignKeys(m_copy, table)) {
      const bool implicit = std::all_of(key.to.begin(), key.to.end(), [](const std::string& to) { return to == "<null>"; });
      std::vector<std::string> columns;
      for (std::size_t i = 0; i < key.to.size(); ++i)
        columns.push_back(implicit ? "c" + std::to_string(i + 1) : key.to[i]);
      std::string list;
      for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + QuoteIdent(column);
      const std::optional<std::string> parent = Resolve(m_copy, key.table, "'table'");
      if (!parent) {
        m_copy.Exec("CREATE TABLE " + QuoteIdent(key.table) + " (" + list + ", " +
                    (implicit ? "PRIMARY KEY (" : "UNIQUE (") + list + "))");
        continue;
      }
      if (implicit) continue;
      for (const std::string& column : columns) {
        if (m_copy.Rows("SELECT 1 FROM pragma_table_xinfo(" + QuoteText(*parent) + ") WHERE lower(name) = lower(" +
                        QuoteText(column) + ")")
                .empty())
          m_copy.Exec("ALTER TABLE " + QuoteIdent(*parent) + " ADD COLUMN " + QuoteIdent(column));
      }
      m_copy.Exec("DELETE FROM " + QuoteIdent(*parent) + "; CREATE UNIQUE INDEX " +
                  QuoteIdent("probe " + std::to_string(++m_made)) + " ON " + QuoteIdent(*parent) + " (" + list + ")");
    }
  }

  SqliteFile m_copy;    // the copy in memory
  bool m_ready = false; // the copy was made
  int m_made = 0;       // indexes made up so far
};

}  // namespace

std::vector<std::string> SqliteCatalogueLines(const std::string& path) {
  SqliteFile db(path);
  CompiledReading compiled(path);
  std::vector<std::string> lines;

  // Views first: a view's columns show only whether SQLite can read it.
  for (const auto& view : db.Rows("SELECT name, sql FROM sqlite_master WHERE type = 'view'")) {
    lines.push_back(Line({"view", view[0], view[1]}));
    std::string error;
    const auto columns = ColumnsOf(db, view[0], &error);
    if (!columns) {
      lines.push_back(Line({"unreadable", "view", view[0]}));
      continue;
    }
    int position = 0;
    for (const auto& column : *columns) lines.push_back(Column(view[0], ++position, column, false, false));
  }

  const Rows tables = db.Rows(
      "SELECT t.name, t.type, t.wr, t.\"strict\", m.sql FROM pragma_table_list AS t "
      "JOIN sqlite_master AS m ON m.type = 'table' AND m.name = t.name "
      "WHERE t.schema = 'main' AND t.type IN ('table', 'virtual', 'shadow') AND t.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
  for (const auto& table : tables) {
    const std::string& name = table[0];
    const bool isVirtual = table[1] == "virtual";
    lines.push_back(isVirtual ? Line({"table", name, table[4], "virtual table", "-", "-"})
                              : Line({"table", name, table[4], "table", table[3], table[2]}));

    std::string error;
    const auto columns = ColumnsOf(db, name, &error);
    if (!columns) {
      lines.push_back(Line({"unreadable", isVirtual ? "virtual table" : "table", name}));
      continue;
    }
    // A rowid alias: the sole key column, INTEGER, with a rowid and no key index.
    const auto keyCount = std::count_if(columns->begin(), columns->end(), [](const auto& c) { return c[5] != "0"; });
    const bool hasPkIndex =
        !db.Rows("SELECT 1 FROM pragma_index_list(" + QuoteText(name) + ") WHERE origin = 'pk'").empty();
    int position = 0;
    for (const auto& column : *columns) {
      if (column[6] == "1") continue;  // hidden column of a virtual table
      const bool alias = !isVirtual && table[2] == "0" && keyCount == 1 && column[5] == "1" && !hasPkIndex &&
                         ::strcasecmp(column[2].c_str(), "integer") == 0;
      lines.push_back(Column(name, ++position, column, alias, !isVirtual));
    }
    if (isVirtual) continue;

    const std::string key =
        Bracketed(db.Rows("SELECT name FROM pragma_table_info(" + QuoteText(name) + ") WHERE pk > 0 ORDER BY pk"));
    if (!key.empty()) lines.push_back(Line({"key", name, "pk_" + name, key}));
    for (const auto& index : db.Rows("SELECT name, origin, \"unique\", partial FROM pragma_index_list(" +
                                     QuoteText(name) + ") WHERE origin IN ('u', 'c')")) {
      const std::string columnsOf = Bracketed(db.Rows("SELECT name FROM pragma_index_info(" + QuoteText(index[0]) +
                                                      ") WHERE name IS NOT NULL ORDER BY seqno"));
      lines.push_back(index[1] == "u" ? Line({"key", name, index[0], columnsOf})
                                      : Line({"index", name, index[0], columnsOf, "unique " + index[2],
                                              "partial " + index[3]}));
    }

    for (const std::string& check : compiled.Checks(name)) lines.push_back(Line({"check", name, check}));

    const std::map<int, ForeignKeyRows> foreignKeys = ForeignKeys(db, name);
    const std::vector<std::string> deferred = compiled.Deferred(name, foreignKeys.size());
    std::size_t n = 0;
    for (const auto& [id, fk] : foreignKeys) {
      const std::optional<std::string> parent = Resolve(db, fk.table);
      // The parent's columns as named (any case) or its key's; none unless all are found.
      std::vector<std::string> parentColumns;
      if (parent) {
        const bool implicit = std::all_of(fk.to.begin(), fk.to.end(), [](const std::string& to) { return to == "<null>"; });
        const Rows parentInfo = db.Rows("SELECT name FROM pragma_table_xinfo(" + QuoteText(*parent) + ")" +
                                        (implicit ? " WHERE pk > 0 ORDER BY pk" : ""));
        if (implicit) {
          for (const auto& column : parentInfo) parentColumns.push_back(column[0]);
        } else {
          for (const std::string& to : fk.to)
            for (const auto& column : parentInfo)
              if (::strcasecmp(column[0].c_str(), to.c_str()) == 0) {
                parentColumns.push_back(column[0]);
                break;
              }
        }
        if (parentColumns.size() != fk.from.size()) parentColumns.clear();
      }
      lines.push_back(Line({"foreign key", name, Bracketed(fk.from), parent.value_or("<none>"), Bracketed(parentColumns),
                            "ON DELETE " + fk.onDelete, "ON UPDATE " + fk.onUpdate, "MATCH " + fk.match,
                            "deferred " + deferred[n++]}));
    }
  }
  for (const auto& row : db.Rows("SELECT coalesce((SELECT r.name FROM sqlite_master AS r WHERE r.type IN "
                                 "('table', 'view') AND lower(r.name) = lower(m.tbl_name)), '<none>'), m.name, m.sql "
                                 "FROM sqlite_master AS m WHERE m.type = 'trigger'"))
    lines.push_back(Line({"trigger", row[0], row[1], row[2]}));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> SqliteModelLines(GenericModel& model, const std::vector<QmFailedStatement>& failures) {
  std::vector<std::string> lines;
  const auto integer = [&](const CMOObject& object, int property, const char* absent) {
    return object.GetProperty(property) != nullptr ? Value(model, object, property) : std::string(absent);
  };
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    auto relation = [&](CMOObject& relation) {
      const std::string r = Name(relation);
      for (CMOObject* column : Children(model, relation, model::Column)) {
        lines.push_back(Line({"column", r, Value(model, *column, model::Position), Name(*column),
                              Text(*column, model::DataType), Value(model, *column, model::Nullable),
                              column->GetProperty(model::DefaultValue) != nullptr ? Text(*column, model::DefaultValue)
                                                                                   : "<none>",
                              integer(*column, model::PrimaryKeyPosition, "0"), Text(*column, model::GeneratedKind)}));
      }
      for (CMOObject* trigger : Children(model, relation, model::Trigger))
        lines.push_back(Line({"trigger", r, Name(*trigger), Text(*trigger, model::Definition)}));
      return r;
    };
    for (CMOObject* table : Children(model, *schema, model::Table)) {
      const std::string t = relation(*table);
      lines.push_back(Line({"table", t, Text(*table, model::SqlText), Text(*table, model::TableKind),
                            integer(*table, model::Strict, "-"), integer(*table, model::WithoutRowid, "-")}));
      for (CMOObject* key : Children(model, *table, model::Key))
        lines.push_back(Line({"key", t, Name(*key), Bracketed(model, Ids(*key, model::KeyColumns))}));
      for (CMOObject* index : Children(model, *table, model::Index))
        lines.push_back(Line({"index", t, Name(*index), Bracketed(model, Ids(*index, model::IndexColumns)),
                              "unique " + Value(model, *index, model::IsUnique),
                              std::string("partial ") + (Text(*index, model::Predicate).empty() ? "0" : "1")}));
      for (CMOObject* check : Children(model, *table, model::CheckConstraint)) {
        const std::string name = Name(*check);
        lines.push_back(Line({"check", t, name.empty() ? Dequoted(Text(*check, model::CheckExpression)) : name}));
      }
      for (CMOObject* fk : Children(model, *table, model::ForeignKey)) {
        const std::vector<int> referenced = Ids(*fk, model::ReferencedTable);
        const CMOObject* target = referenced.size() == 1 ? model.GetCMOObject(referenced[0]) : nullptr;
        lines.push_back(Line({"foreign key", t, Bracketed(model, Ids(*fk, model::ForeignKeyColumns)),
                              target != nullptr ? Name(*target) : "<none>",
                              Bracketed(model, Ids(*fk, model::ReferencedColumns)),
                              "ON DELETE " + Text(*fk, model::OnDelete), "ON UPDATE " + Text(*fk, model::OnUpdate),
                              "MATCH " + Text(*fk, model::MatchType),
                              "deferred " + Value(model, *fk, model::InitiallyDeferred)}));
      }
    }
    for (CMOObject* view : Children(model, *schema, model::View))
      lines.push_back(Line({"view", relation(*view), Text(*view, model::Definition)}));
  }
  // "columns of view "main"."v"": the plug-in's name for what it could not read.
  for (const QmFailedStatement& failure : failures) {
    const std::string name = Utf8(failure.name);
    for (const std::string kind : {"view", "virtual table"}) {
      const std::string prefix = "columns of " + kind + " ";
      if (name.compare(0, prefix.size(), prefix) != 0) continue;
      // Past the quoted schema and the dot: the quoted relation name.
      std::size_t at = prefix.size() + 1;
      while (at < name.size() && !(name[at] == '"' && (at + 1 >= name.size() || name[at + 1] != '"'))) at += name[at] == '"' ? 2 : 1;
      lines.push_back(Line({"unreadable", kind, Dequoted(name.substr(at + 2))}));
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace qm::test

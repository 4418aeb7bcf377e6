// An SQLite catalogue full of hostile identifiers (see HostileNames.h),
// 2,000-character names, an empty name (SQLite allows ""), a view whose
// definition is 100,000 characters, all in a file whose directory name is
// hostile too. The database is written and read back with libsqlite3 (the
// driver manager cannot pass characters above U+FFFF in statement text to
// the SQLite3 driver, but the import only reads them as data); the import,
// in process and through quillmere-import, must hand over every name and
// text exactly as SQLite reports it.
#include "HostileNames.h"
#include "ImportHost.h"
#include "ModelFile.h"
#include "Subprocess.h"

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;

// The names for SQLite: the hostile ones (SQLite compares names ignoring
// ASCII case, so "mixed" would clash with "Mixed"), the empty name, a name
// that the pattern for SQLite's own tables must not catch, and two of
// 2,000 characters.
std::vector<std::string> SqliteNames() {
  std::vector<std::string> names;
  for (const std::string& name : HostileNames())
    if (name != "mixed") names.push_back(name);
  names.push_back("");
  names.push_back("sqliteXtable");
  names.push_back(std::string(2000, 'N'));
  names.push_back(MixedText(2000));
  return names;
}

// The long view: its CREATE text is exactly 100,000 characters.
std::string LongViewSql() {
  const std::string prefix = "CREATE VIEW \"long view\" AS SELECT '";
  const std::string suffix = "' AS t";
  static const char* const kCycle[] = {"a", "é", "✓", "😀", "\"", "\\", "%", "\n", "s"};
  std::string sql = prefix;
  for (std::size_t i = 0; i < 100000 - prefix.size() - suffix.size(); ++i) sql += kCycle[i % 9];
  return sql + suffix;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out += "\\n";
    else if (ch == '\r') out += "\\r";
    else if (ch == '\t') out += "\\t";
    else if (ch == '\\') out += "\\\\";
    else out += ch;
  }
  return out;
}

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : " | ") + Escape(field);
  return line;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "[" + name + "]";
  return text;
}

// A database file through libsqlite3.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path) {
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) ADD_FAILURE() << "cannot open " << path;
  }
  ~SqliteFile() { sqlite3_close(m_db); }
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      ADD_FAILURE() << "sqlite3_exec failed: " << (error != nullptr ? error : "?") << "\n" << sql.substr(0, 300);
      sqlite3_free(error);
    }
  }

  // Every row, every value as its UTF-8 bytes.
  std::vector<std::vector<std::string>> Rows(const std::string& sql) {
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

 private:
  sqlite3* m_db = nullptr;  // owned
};

void CreateHostileDatabase(const std::string& path) {
  SqliteFile db(path);
  std::string sql = "BEGIN;\n";
  for (const std::string& n : SqliteNames()) {
    const std::string t = QuoteIdent(n);
    sql += "CREATE TABLE " + t + " (" + t + " INTEGER PRIMARY KEY, " + QuoteIdent("other " + n) + " TEXT UNIQUE);\n";
    sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + QuoteIdent("other " + n) + ");\n";
    sql += "CREATE VIEW " + QuoteIdent("v " + n) + " AS SELECT " + t + " AS " + t + " FROM " + t + ";\n";
    sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " BEGIN SELECT " + QuoteText(n) +
           "; END;\n";
    sql += "CREATE TABLE " + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " INTEGER REFERENCES " + t + " (" +
           t + "));\n";
  }
  sql += LongViewSql() + ";\nCOMMIT;\n";
  db.Exec(sql);
}

// What SQLite reports, as lines in the shape ModelLines writes.
std::vector<std::string> CatalogueLines(const std::string& path) {
  SqliteFile db(path);
  std::vector<std::string> lines;
  const std::string tables = "FROM sqlite_master AS m WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  for (const auto& row : db.Rows("SELECT m.name, m.sql " + tables)) lines.push_back(Line({"table", row[0], row[1]}));
  for (const auto& row : db.Rows("SELECT m.name, c.cid + 1, c.name FROM sqlite_master AS m "
                                 "JOIN pragma_table_xinfo(m.name) AS c WHERE m.type = 'table' "
                                 "AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"))
    lines.push_back(Line({"column", row[0], row[1], row[2]}));
  for (const auto& table : db.Rows("SELECT m.name " + tables)) {
    const std::string name = table[0];
    std::vector<std::string> key;
    for (const auto& row : db.Rows("SELECT name FROM pragma_table_info(" + QuoteText(name) + ") WHERE pk > 0 ORDER BY pk"))
      key.push_back(row[0]);
    if (!key.empty()) lines.push_back(Line({"key", name, "pk_" + name, Join(key)}));
    for (const auto& index : db.Rows("SELECT name, origin FROM pragma_index_list(" + QuoteText(name) +
                                     ") WHERE origin IN ('u', 'c')")) {
      std::vector<std::string> columns;
      for (const auto& row : db.Rows("SELECT name FROM pragma_index_info(" + QuoteText(index[0]) + ") ORDER BY seqno"))
        columns.push_back(row[0]);
      lines.push_back(Line({index[1] == "u" ? "key" : "index", name, index[0], Join(columns)}));
    }
    for (const auto& row : db.Rows("SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(" + QuoteText(name) +
                                   ") ORDER BY id, seq"))
      lines.push_back(Line({"foreign key", name, row[0], "[" + row[1] + "]", "[" + row[2] + "]"}));
  }
  for (const auto& row : db.Rows("SELECT name, sql FROM sqlite_master WHERE type = 'view'"))
    lines.push_back(Line({"view", row[0], row[1]}));
  for (const auto& row : db.Rows("SELECT tbl_name, name, sql FROM sqlite_master WHERE type = 'trigger'"))
    lines.push_back(Line({"trigger", row[0], row[1], row[2]}));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string NamesOf(GenericModel& model, const std::vector<int>& ids) {
  std::vector<std::string> names;
  for (int id : ids) {
    const CMOObject* object = model.GetCMOObject(id);
    names.push_back(object != nullptr ? Utf8(Name(*object)) : "<missing>");
  }
  return Join(names);
}

// The model, as lines in the shape CatalogueLines writes.
std::vector<std::string> ModelLines(GenericModel& model) {
  std::vector<std::string> lines;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    auto columns = [&](CMOObject& relation) {
      const std::string r = Utf8(Name(relation));
      int position = 0;
      for (CMOObject* column : Children(model, relation, model::Column))
        lines.push_back(Line({"column", r, std::to_string(++position), Utf8(Name(*column))}));
      for (CMOObject* trigger : Children(model, relation, model::Trigger))
        lines.push_back(Line({"trigger", r, Utf8(Name(*trigger)), Utf8(Text(*trigger, model::Definition))}));
      return r;
    };
    for (CMOObject* table : Children(model, *schema, model::Table)) {
      const std::string t = columns(*table);
      lines.push_back(Line({"table", t, Utf8(Text(*table, model::SqlText))}));
      for (CMOObject* key : Children(model, *table, model::Key))
        lines.push_back(Line({"key", t, Utf8(Name(*key)), NamesOf(model, Ids(*key, model::KeyColumns))}));
      for (CMOObject* index : Children(model, *table, model::Index))
        lines.push_back(Line({"index", t, Utf8(Name(*index)), NamesOf(model, Ids(*index, model::IndexColumns))}));
      for (CMOObject* foreignKey : Children(model, *table, model::ForeignKey)) {
        const std::vector<int> referenced = Ids(*foreignKey, model::ReferencedTable);
        const CMOObject* target = referenced.size() == 1 ? model.GetCMOObject(referenced[0]) : nullptr;
        lines.push_back(Line({"foreign key", t, target != nullptr ? Utf8(Name(*target)) : "<none>",
                              NamesOf(model, Ids(*foreignKey, model::ForeignKeyColumns)),
                              NamesOf(model, Ids(*foreignKey, model::ReferencedColumns))}));
      }
    }
    for (CMOObject* view : Children(model, *schema, model::View)) {
      const std::string v = columns(*view);
      lines.push_back(Line({"view", v, Utf8(Text(*view, model::Definition))}));
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class SqliteHostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qm-hard-sqlite-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    // The directory's name is hostile too: it reaches the driver inside a URI.
    const fs::path directory = m_root / "dir ;%?#\n😀 'q\" {x}} \\";
    fs::create_directory(directory);
    m_path = (directory / "hostile.db").string();
    CreateHostileDatabase(m_path);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
  }

  fs::path m_root;     // the test's directory
  std::string m_path;  // the database file
};

TEST_F(SqliteHostileTest, EveryNameAndTextArrivesAsSqliteHasIt) {
  const std::vector<std::string> catalogue = CatalogueLines(m_path);
  ASSERT_GT(catalogue.size(), 10 * SqliteNames().size());
  const std::string longView = LongViewSql();
  ASSERT_NE(std::find(catalogue.begin(), catalogue.end(), Line({"view", "long view", longView})), catalogue.end());
  ASSERT_NE(std::find(catalogue.begin(), catalogue.end(), Line({"column", "", "1", ""})), catalogue.end())
      << "SQLite keeps the empty names";

  LoadedPlugin plugin(QM_SQLITE_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  const ImportOutcome outcome = RunImport(plugin.Api(), model, Utf16(m_path));
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": " << Utf8(failed.diagnostic.message);
  EXPECT_EQ(StructuralFaults(model), std::vector<std::string>());
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), Utf16(m_path));
  const std::vector<std::string> imported = ModelLines(model);
  EXPECT_TRUE(imported == catalogue) << LineDifference(catalogue, imported);
}

// The host writes the same names into its JSON, and the file it read is
// left as it was.
TEST_F(SqliteHostileTest, HostWritesTheNamesIntoItsModel) {
  const fs::file_time_type modified = fs::last_write_time(m_path);
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--sqlite", m_path, "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const ModelFile model = ModelFile::Parse(result.out);

  std::vector<std::string> tables;
  for (const ModelObject* table : model.OfType("table")) tables.push_back(ModelFile::Text(*table, "name"));
  std::vector<std::string> expected;
  for (const std::string& n : SqliteNames()) {
    expected.push_back(n);
    expected.push_back("fk " + n);
  }
  std::sort(tables.begin(), tables.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_TRUE(tables == expected) << tables.size() << " tables, " << expected.size() << " expected";
  std::vector<std::string> definitions;
  for (const ModelObject* view : model.OfType("view"))
    if (ModelFile::Text(*view, "name") == "long view") definitions.push_back(ModelFile::Text(*view, "definition"));
  EXPECT_TRUE(definitions == std::vector<std::string>{LongViewSql()})
      << definitions.size() << " long views; length " << (definitions.empty() ? 0 : definitions[0].size());
  EXPECT_EQ(fs::last_write_time(m_path), modified);
}

}  // namespace
}  // namespace qm::test::hardening

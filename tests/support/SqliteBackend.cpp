// SQLite: a file of the test's own, written with libsqlite3 (the driver
// manager cannot pass characters above U+FFFF to the SQLite3 driver).
#include "TestBackend.h"

#include "HostileNames.h"
#include "SqliteCatalogue.h"
#include "SqliteShopSchema.h"
#include "TempDir.h"

#include <tillerhold/ModelVocabulary.h>

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace qm::test {
namespace {

using hardening::QuoteIdent;
using hardening::QuoteText;
using odbc::KnownDifference;
using odbc::Side;

class SqliteDatabase : public BackendDatabase {
 public:
  SqliteDatabase(const std::string& tag, bool hostile) {
    // A folder whose name a URI or a connection string would misread.
    m_folder = m_dir.Path(hostile ? "dir ;%?#\n😀 'q\" {x}} \\" : "db");
    std::filesystem::create_directory(m_folder);
    m_path = m_folder + "/" + (hostile ? "hostile ü;}%41?.db" : tag + ".db");
  }

  std::string Name() const override { return m_path; }
  std::string Load(const std::string& script) override { return SqliteFile(m_path).TryExec(script); }
  std::string Source() const override { return m_path; }
  std::string ConnectionString() const override { return "Driver={SQLite3};Database=" + m_path; }
  std::vector<std::string> CommandLine() const override { return {"--sqlite", m_path}; }
  std::vector<std::string> CatalogueLines() const override { return SqliteCatalogueLines(m_path); }
  std::vector<std::string> ModelLines(GenericModel& model, const std::vector<QmFailedStatement>& failed) const override {
    return SqliteModelLines(model, failed);
  }
  std::unique_ptr<BackendDatabase> Remake(const std::string& script, std::string* error) override {
    auto copy = std::make_unique<SqliteDatabase>("copy", false);
    *error = copy->Load(script);
    return error->empty() ? std::move(copy) : nullptr;
  }
  // Opened read-only: no journal or other file appears, nothing changes.
  std::string Footprint() const override {
    std::string text;
    for (const auto& [name, bytes] : Snapshot(m_folder)) text += name + " " + std::to_string(std::hash<std::string>()(bytes)) + "\n";
    return text + std::to_string(std::filesystem::last_write_time(m_path).time_since_epoch().count());
  }

 private:
  TempDir m_dir;
  std::string m_folder;  // the file's folder
  std::string m_path;    // the file
};

// The starts of the rowid columns' comparable lines: "column | main.t | 1 | id | ".
std::set<std::string> RowidColumns(GenericModel& model) {
  std::set<std::string> starts;
  for (CMOObject* table : AllOfType(model, model::Table)) {
    if (Value(model, *table, model::WithoutRowid) == "1") continue;
    for (CMOObject* key : Children(model, *table, model::Key)) {
      const std::vector<int> columns = Ids(*key, model::KeyColumns);
      if (Text(*key, model::KeyType) != "PRIMARY KEY" || columns.size() != 1) continue;
      const CMOObject* column = model.GetCMOObject(columns[0]);
      if (column != nullptr && ::strcasecmp(Text(*column, model::DataType).c_str(), "INTEGER") == 0)
        starts.insert(Line({"column", "main." + Name(*table), Value(model, *column, model::Position), Name(*column), ""}));
    }
  }
  return starts;
}

class Sqlite : public TestBackend {
 public:
  std::string Name() const override { return "sqlite"; }
  std::string PluginPath() const override { return QM_SQLITE_PLUGIN; }
  unsigned ModelType() const override { return 1001; }
  std::unique_ptr<BackendDatabase> Create(const std::string& tag, bool hostile) const override {
    return std::make_unique<SqliteDatabase>(tag, hostile);
  }

  // The driver reports the file as both names.
  std::pair<std::string, std::string> ReportedNames(const BackendDatabase& database) const override {
    return {database.Source(), database.Source()};
  }
  std::string LongConnectionString(const BackendDatabase& database) const override {
    const std::string folder = database.Source().substr(0, database.Source().rfind('/') + 1);
    return "Driver={SQLite3};Database=" + folder + std::string(200, 'n') + ".db";
  }
  bool WideNames() const override { return false; }

  std::vector<std::string> Schemas() const override {
    std::vector<std::string> schemas = TestBackend::Schemas();
    schemas.push_back("sample");
    return schemas;
  }

  // Every kind of object under each hostile name (not "mixed", SQLite's
  // "Mixed"), "", one like SQLite's own, 2,000 characters; a long view.
  std::string Script(const std::string& schema, const BackendDatabase& database) const override {
    if (schema == "shop") return sqlite::SqliteShopScript();
    if (schema == "sample") return ReadFile(QM_SAMPLE_SQL);
    if (schema != "hostile") return TestBackend::Script(schema, database);
    std::vector<std::string> names;
    for (const std::string& name : hardening::HostileNames())
      if (name != "mixed") names.push_back(name);
    for (const std::string& name : {std::string(), std::string("sqliteXtable"), std::string(2000, 'N'),
                                    hardening::MixedText(2000)})
      names.push_back(name);
    std::string sql = "BEGIN;\n";
    for (const std::string& n : names) {
      const std::string t = QuoteIdent(n);
      const std::string other = QuoteIdent("other " + n);
      sql += "CREATE TABLE " + t + " (" + t + " INTEGER PRIMARY KEY, " + other + " TEXT UNIQUE DEFAULT " +
             QuoteText(n) + " CONSTRAINT " + QuoteIdent("ck " + n) + " CHECK (" + other + " <> " + QuoteText(n + "!") +
             "), " + QuoteIdent("gen " + n) + " TEXT GENERATED ALWAYS AS (" + other + " || 'x') VIRTUAL);\n";
      sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + other + " DESC, lower(" + other +
             ")) WHERE " + t + " > 0;\n";
      sql += "CREATE VIEW " + QuoteIdent("v " + n) + " AS SELECT " + t + " AS " + t + " FROM " + t + ";\n";
      sql += "CREATE VIEW " + QuoteIdent("vv " + n) + " AS SELECT * FROM " + QuoteIdent("v " + n) + ";\n";
      sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " BEGIN SELECT " + QuoteText(n) +
             "; END;\n";
      sql += "CREATE TABLE " + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " INTEGER REFERENCES " + t +
             " (" + t + ") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED, " + QuoteIdent("k " + n) +
             " TEXT, PRIMARY KEY (" + QuoteIdent("k " + n) + ", " + QuoteIdent("ref " + n) + ")) WITHOUT ROWID;\n";
    }
    const std::string prefix = "CREATE VIEW \"long view\" AS SELECT '";
    std::string text = hardening::MixedText(100000 - prefix.size() - 6);
    std::replace(text.begin(), text.end(), '\'', 's');
    return sql + prefix + text + "' AS t;\nCOMMIT;\n";
  }

  std::vector<Feature> Features() const override {
    return {
        {"django", "foreign key", "| deferred 1", 12},  // every key of the contrib tables
        // SQLite names an unnamed check after its text, read as a name.
        {"django", "check", "django_admin_log | action_flag", 1},
        {"gammu", "check", " IN ", 5},
        {"gammu", "trigger", "CREATE TRIGGER", 4},
        {"freeradius", "view", "CREATE VIEW", 1},
        {"freeradius", "column", "radacct_with_reloads | ", 20},
        {"mediawiki", "table", "| virtual table |", 1},
        {"mediawiki", "column", "searchindex | ", 2},
        {"roundcube", "foreign key", "ON DELETE CASCADE", 12},
        {"bacula", "foreign key", "| deferred 0", 20},
        {"kamailio", "key", "| sqlite_autoindex_", 36},
        {"pdns", "table", "", 5},
        {"hostile", "view", "| long view | CREATE VIEW", 1},
        {"hostile", "table", "| sqliteXtable |", 1},
        {"hostile", "foreign key", "| deferred 1", 16},
        {"shop", "table", "| virtual table |", 1},
        {"shop", "check", "", 4},
        {"shop", "trigger", "", 3},
        {"sample", "trigger", "", 1},
    };
  }

  // What the SQLite3 driver reports otherwise (plugins/odbc/README.md).
  std::vector<KnownDifference> GenericDifferences(GenericModel& dedicated, const std::vector<std::string>& ours,
                                                  const std::vector<std::string>& generic) const override {
    auto isRowid = [rowid = RowidColumns(dedicated)](const std::string& line) {
      return std::any_of(rowid.begin(), rowid.end(), [&](const std::string& start) { return line.starts_with(start); });
    };
    const char* rowidReason = "SQLColumns says NULLABLE for a rowid column (INTEGER PRIMARY KEY), which never holds NULL";
    const char* orderReason = "SQLPrimaryKeys numbers a composite key's columns (KEY_SEQ) in table order, not key order";
    const char* deferral = "SQLForeignKeys says SQL_NOT_DEFERRABLE for every foreign key, DEFERRABLE ones included";
    const char* sequence = "SQLTables lists SQLite's own sqlite_sequence (made for AUTOINCREMENT) as a TABLE";
    return {
        {Side::Dedicated, "column", "| nullable 0", rowidReason, isRowid},
        {Side::Generic, "column", "| nullable 1", rowidReason, isRowid},
        {Side::Dedicated, "primary key", "", orderReason,
         [&generic](const std::string& l) { return odbc::SameColumnSetIn(generic, l, "primary key"); }},
        {Side::Generic, "primary key", "", orderReason,
         [&ours](const std::string& l) { return odbc::SameColumnSetIn(ours, l, "primary key"); }},
        {Side::Dedicated, "deferral", "| deferrable 1 |", deferral},
        {Side::Generic, "deferral", "| deferrable 0 |", deferral},
        {Side::Generic, "table", "| main.sqlite_sequence", sequence},
        {Side::Generic, "column", "| main.sqlite_sequence |", sequence},
    };
  }
  // The generic plug-in names the schema after the file, the SQLite plug-in main.
  std::string GenericSchemaName(const std::string& schema, const BackendDatabase& database) const override {
    return schema == database.Source() ? "main" : schema;
  }

  // SQLite's own list: every keyword is quoted, in any letter case.
  bool ListsKeywords() const override { return true; }
  std::vector<std::pair<std::string, bool>> Keywords() const override {
    std::vector<std::pair<std::string, bool>> words;
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
      const char* word = nullptr;
      int length = 0;
      if (sqlite3_keyword_name(i, &word, &length) != SQLITE_OK) continue;
      std::string text(word, static_cast<std::size_t>(length));
      words.emplace_back(text, true);
      for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      words.emplace_back(text, true);
    }
    return words;
  }

  // A virtual table is only its text, a foreign key to no table only its clause.
  std::function<bool(const CMOObject&, int)> FromProperties() const override {
    return [](const CMOObject& object, int propertyId) {
      const int type = object.GetObjectType();
      const CMOProperty* kind = object.GetProperty(model::TableKind);
      const bool isVirtual = kind != nullptr && kind->GetWStringValue().find(u"virtual") != std::u16string::npos;
      return (propertyId == model::SqlText && ((type == model::Table && !isVirtual) || type == model::Index)) ||
             (propertyId == model::Definition && type == model::ForeignKey &&
              object.GetProperty(model::ReferencedTable) != nullptr);
    };
  }
};

}  // namespace

const TestBackend& SqliteBackend() {
  static const Sqlite backend;
  return backend;
}

}  // namespace qm::test

#include "PluginTestSupport.h"

#include <gatehouse/InterfaceProvider.h>
#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>

namespace qm::test::sqlite {

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(std::string_view text) { return platform::Utf8ToUtf16(text); }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qm-sqlite-plugin-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::Path(std::string_view name) const { return name.empty() ? m_path : m_path + "/" + std::string(name); }

SqliteFile::SqliteFile(const std::string& path) {
  if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
  }
}

SqliteFile::~SqliteFile() { sqlite3_close(m_db); }

void SqliteFile::Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << "sqlite3_exec failed: " << (error != nullptr ? error : "?") << "\n" << sql;
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
      const unsigned char* text = sqlite3_column_text(statement, c);
      row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  return rows;
}

long long SqliteFile::Scalar(const std::string& sql) {
  const auto rows = Rows(sql);
  if (rows.empty() || rows[0].empty()) {
    ADD_FAILURE() << "no value from: " << sql;
    return -1;
  }
  return std::stoll(rows[0][0]);
}

void CreateShopDatabase(const std::string& path) {
  SqliteFile db(path);
  db.Exec(R"sql(
    CREATE TABLE parent(id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE, a INT, b INT, UNIQUE (a, b));
    CREATE TABLE "we""ird 'tab" (
      "col ""q""" TEXT DEFAULT 'x''y',
      "ünï" INTEGER,
      "😀 emoji" REAL,
      PRIMARY KEY ("ünï", "col ""q"""));
    CREATE TABLE child(
      cid INTEGER PRIMARY KEY,
      pid INTEGER REFERENCES Parent(ID) ON DELETE CASCADE,
      pa INT, pb INT, note TEXT,
      g INT GENERATED ALWAYS AS (pa + pb) VIRTUAL,
      implicit_parent INT REFERENCES parent,
      FOREIGN KEY (pb, pa) REFERENCES parent(b, a) ON UPDATE SET NULL,
      FOREIGN KEY (note) REFERENCES parent(code),
      FOREIGN KEY (pa) REFERENCES parent(a),
      FOREIGN KEY (note) REFERENCES missing_table(x));
    CREATE TABLE wr(k TEXT PRIMARY KEY, v) WITHOUT ROWID;
    CREATE TABLE "order items" (
      "ünïcode ✓" TEXT,
      qty INT NOT NULL DEFAULT 1,
      FOREIGN KEY ("ünïcode ✓") REFERENCES "we""ird 'tab"("col ""q"""));
    CREATE TABLE dup(a INTEGER PRIMARY KEY, UNIQUE (a));
    CREATE TABLE dup_ref(x INT REFERENCES dup(a));
    CREATE INDEX ix_child_note ON child(note COLLATE NOCASE DESC, lower(note), pa) WHERE note IS NOT NULL AND pa > 0;
    CREATE UNIQUE INDEX "ix ""q"" (x)" ON "we""ird 'tab"("😀 emoji");
    CREATE INDEX "ix, comma" ON child(/* first */ pa + 1, "pb");
    CREATE VIRTUAL TABLE docs USING fts5(title, body);
    CREATE VIEW v_child AS SELECT cid, note FROM child;
    CREATE VIEW "vue ünï 😀" AS SELECT 1 AS one;
    CREATE TRIGGER trg_child AFTER UPDATE OF note, pa ON child BEGIN SELECT 1; END;
    CREATE TRIGGER trg_v INSTEAD OF INSERT ON v_child BEGIN SELECT 2; END;
    CREATE TRIGGER trg_def DELETE ON Child BEGIN SELECT 3; END;
    INSERT INTO parent VALUES (1, 'a', 1, 2);
  )sql");
}

LoadedPlugin::LoadedPlugin() {
  m_handle = dlopen(QM_SQLITE_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    ADD_FAILURE() << "cannot load " << QM_SQLITE_PLUGIN << ": " << dlerror();
    return;
  }
  auto entry = reinterpret_cast<QmGetPluginApiFn>(dlsym(m_handle, QM_PLUGIN_ENTRY_NAME));
  if (entry == nullptr) {
    ADD_FAILURE() << QM_PLUGIN_ENTRY_NAME << " is not exported";
    return;
  }
  m_api = entry();
}

LoadedPlugin::~LoadedPlugin() { Unload(); }

void LoadedPlugin::Unload() {
  m_api = nullptr;
  if (m_handle != nullptr) dlclose(m_handle);
  m_handle = nullptr;
}

namespace {

// Gives the session its host window when the import starts, as a host's
// object explorer does.
class WindowExplorer : public IObjectExplorerInterface {
 public:
  explicit WindowExplorer(HWND window) : m_window(window) {}
  void OnImportStarting() override {
    if (ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState())
      session->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override {}

 private:
  HWND m_window;  // the test's window; not owned
};

}  // namespace

ImportOutcome RunImport(GenericModel& model) {
  ImportOutcome outcome;
  InterfaceProvider* provider = InterfaceProvider::Instance();
  ISchemaImport* api = provider->GetSchemaImportApi();
  ISchemaImportSessionState* session = provider->GetSchemaImportSessionState();
  if (api == nullptr || session == nullptr) {
    ADD_FAILURE() << "the module registered no import interface or session";
    return outcome;
  }
  HWND window = platform::CreateMessageWindow();
  WindowExplorer explorer(window);
  provider->SetObjectExplorerInterface(&explorer);
  api->ReverseEngineerFromDB(&model);
  provider->SetObjectExplorerInterface(nullptr);
  outcome.status = session->GetStatus();
  while (std::optional<MSG> message = platform::PeekMessage(window)) outcome.messages.push_back(*message);
  platform::DestroyMessageWindow(window);
  return outcome;
}

std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type) {
  std::vector<int> ids;
  parent.GetChildrenByType(ids, type);
  std::vector<CMOObject*> children;
  for (int id : ids)
    if (CMOObject* child = model.GetCMOObject(id)) children.push_back(child);
  return children;
}

CMOObject* Child(GenericModel& target, const CMOObject& parent, int type, std::u16string_view name) {
  for (CMOObject* child : Children(target, parent, type))
    if (Text(*child, model::Name) == name) return child;
  return nullptr;
}

std::u16string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetWStringValue() : std::u16string();
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetObjectIdVectorValue() : std::vector<int>();
}

std::int64_t Integer(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetIntegerValue() : -1;
}

bool Has(const CMOObject& object, int propertyId) { return object.GetProperty(propertyId) != nullptr; }

std::vector<std::u16string> NamesOf(GenericModel& target, const std::vector<int>& ids) {
  std::vector<std::u16string> names;
  for (int id : ids) {
    const CMOObject* object = target.GetCMOObject(id);
    names.push_back(object != nullptr ? Text(*object, model::Name) : u"<no object " + Utf16(std::to_string(id)) + u">");
  }
  return names;
}

}  // namespace qm::test::sqlite

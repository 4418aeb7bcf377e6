// The SQLite plug-in loaded as a host loads it, importing real files
// through the module, the driver manager and the SQLite3 ODBC driver: a
// refused source, whole imports checked against what SQLite itself
// reports about the same file, the details a catalogue comparison does not
// show, attached databases, scopes, a stop asked for by the host, views
// and virtual tables SQLite cannot read, and the plug-in's registration
// while it is loaded.
#include <ImportHost.h>
#include <ModelWords.h>
#include <OdbcFaults.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::sqlite {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

// Keys, foreign keys of every kind SQLite allows (deferred ones too),
// checks, generated columns, a STRICT and a WITHOUT ROWID table, partial and
// expression indexes, a virtual table, views, triggers, and names with
// quotes, blanks, non-ASCII letters and emoji.
void CreateShopDatabase(const std::string& path) {
  SqliteFile(path).Exec(R"sql(
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
    CREATE TABLE pair(x INTEGER, y TEXT, PRIMARY KEY (x, y));
    CREATE TABLE dup_ref(x INT REFERENCES dup(a));
    CREATE TABLE checked(
      id INTEGER PRIMARY KEY,
      qty INT CONSTRAINT qty_range CHECK (qty > 0) CHECK ( qty < 1000 ),
      code TEXT CHECK (code <> ')' /* no bracket */),
      parent_id INT REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED,
      other_id INT REFERENCES parent DEFERRABLE,
      total INT GENERATED ALWAYS AS (qty * 2) STORED,
      label TEXT AS (upper(code)),
      CHECK ('x' <> code),
      CONSTRAINT "both ""set""" CHECK (qty IS NOT NULL AND
        code IS NOT NULL),
      FOREIGN KEY (code) REFERENCES parent(code) NOT DEFERRABLE INITIALLY DEFERRED) STRICT;
    CREATE TABLE strict_wr(k TEXT PRIMARY KEY, v ANY) STRICT, WITHOUT ROWID;
    CREATE INDEX ix_child_note ON child(note COLLATE NOCASE DESC, lower(note), pa) WHERE note IS NOT NULL AND pa > 0;
    CREATE UNIQUE INDEX "ix ""q"" (x)" ON "we""ird 'tab"("😀 emoji");
    CREATE INDEX "ix, comma" ON child(/* first */ pa + 1, "pb");
    CREATE VIRTUAL TABLE docs USING fts5(title, body);
    CREATE VIEW v_child AS SELECT cid, note AS "the note", pa + 1, g FROM child;
    CREATE VIEW "vue ünï 😀" AS SELECT 1 AS one;
    CREATE TRIGGER trg_child AFTER UPDATE OF note, pa ON child BEGIN SELECT 1; END;
    CREATE TRIGGER trg_v INSTEAD OF INSERT ON v_child BEGIN SELECT 2; END;
    CREATE TRIGGER trg_def DELETE ON Child BEGIN SELECT 3; END;
    INSERT INTO parent VALUES (1, 'a', 1, 2);
  )sql");
}

// The catalogue statements an import ran: every one of them names its
// database in a schema_name column.
long CatalogueStatements() {
  const auto executed = odbc::Executed();
  return std::count_if(executed.begin(), executed.end(),
                       [](const std::u16string& sql) { return Contains(sql, u"AS schema_name"); });
}

class SqlitePluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_plugin.Loaded());
    m_path = m_dir.Path("shop.db");
    CreateShopDatabase(m_path);
    odbc::ClearExecuted();
  }

  ImportOutcome Import(GenericModel& model, const std::string& source, const std::string& scope = {}) {
    return RunImport(m_plugin.Api(), model, source, scope);
  }
  // Imports the shop database; its schema "main", or null (failing the test).
  CMOObject* ImportShop(GenericModel& model) {
    const ImportOutcome outcome = Import(model, m_path);
    EXPECT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
    CMOObject* main = Child(model, *model.GetCMOObject(), model::Schema, "main");
    EXPECT_NE(main, nullptr);
    return main;
  }

  TempDir m_dir;
  LoadedPlugin m_plugin{QM_SQLITE_PLUGIN};
  std::string m_path;  // the shop database
};

// What the connector refuses, and how, is in tests/hardening/HostInputTest.cpp
// (through the host, which prints it); here, that a refusal reaches the
// host before any progress, and that the next connect clears it. A
// relative path is taken from the working directory.
TEST_F(SqlitePluginTest, RefusalIsClearedByTheNextConnect) {
  GenericModel refusedModel(m_plugin.Api().modelType);
  const ImportOutcome refused = Import(refusedModel, " ");
  EXPECT_EQ(refused.status, ImportStatusConnectFailed);
  EXPECT_EQ(Utf8(refused.connectError.Describe()), "no database file given");
  EXPECT_EQ(refused.connectError.origin, OdbcDiagnostic::Origin::Plugin);
  EXPECT_TRUE(refused.messages.empty()) << "a completion posted for a run that never connected";
  EXPECT_EQ(refusedModel.GetObjectCount(), 1);

  const fs::path previous = fs::current_path();
  fs::current_path(m_dir.Path());
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome relative = Import(model, "shop.db");
  fs::current_path(previous);
  EXPECT_EQ(relative.status, ImportStatusConnected) << Utf8(relative.connectError.message);
  EXPECT_TRUE(relative.connectError.IsEmpty());
}

TEST_F(SqlitePluginTest, ImportsEveryObjectSqliteReports) {
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome = Import(model, m_path);
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), m_path);
  EXPECT_EQ(Text(*model.GetCMOObject(), model::ServerName), m_path);
  EXPECT_EQ(Names(Children(model, *model.GetCMOObject(), model::Schema)), Strings{"main"});
  const Strings expected = SqliteCatalogueLines(m_path);
  ASSERT_GT(expected.size(), 70u);
  const Strings actual = SqliteModelLines(model);
  EXPECT_TRUE(actual == expected) << LineDifference(expected, actual);
  EXPECT_EQ(VocabularyFaults(model), Strings());

  // The host heard of every object type with its count, then of the end.
  EXPECT_TRUE(outcome.finishedPosted);
  const auto posted = [&](int type, std::size_t count) {
    return std::any_of(outcome.messages.begin(), outcome.messages.end(), [&](const MSG& m) {
      return m.message == WM_IMPORT_PROGRESS && m.wParam == static_cast<WPARAM>(type) &&
             m.lParam == static_cast<LPARAM>(count);
    });
  };
  EXPECT_TRUE(posted(model::Table, 0));
  EXPECT_TRUE(posted(model::Table, AllOfType(model, model::Table).size()));
  EXPECT_TRUE(posted(model::View, AllOfType(model, model::View).size()));

  // Nothing of one import stays behind for the next.
  GenericModel second(m_plugin.Api().modelType);
  ASSERT_NE(ImportShop(second), nullptr);
  EXPECT_EQ(model::WriteJson(model), model::WriteJson(second));
}

TEST_F(SqlitePluginTest, ObjectsKeepTheDetailsSqliteKnows) {
  GenericModel model(m_plugin.Api().modelType);
  CMOObject* main = ImportShop(model);
  ASSERT_NE(main, nullptr);
  const char* const weird = "we\"ird 'tab";
  struct Fact {
    const char* relation;  // table or view
    int type;              // of the object below it
    std::string name;      // of the object below it
    int property;
    std::string value;     // as Value gives it
  };
  const Fact facts[] = {
      {weird, model::Column, "col \"q\"", model::DataType, "TEXT"},
      {weird, model::Column, "col \"q\"", model::DefaultValue, "'x''y'"},
      {weird, model::Column, "col \"q\"", model::PrimaryKeyPosition, "2"},
      {weird, model::Column, "ünï", model::PrimaryKeyPosition, "1"},
      {weird, model::Column, "😀 emoji", model::PrimaryKeyPosition, "<absent>"},
      {weird, model::Key, "pk_we\"ird 'tab", model::KeyType, "PRIMARY KEY"},
      {"order items", model::Column, "qty", model::Nullable, "0"},
      {"order items", model::Column, "qty", model::DefaultValue, "1"},
      {"order items", model::Column, "ünïcode ✓", model::Nullable, "1"},
      {"order items", model::Column, "ünïcode ✓", model::DefaultValue, "<absent>"},
      // The rowid alias is never NULL, though SQLite does not say NOT NULL.
      {"parent", model::Column, "id", model::Nullable, "0"},
      {"parent", model::Column, "a", model::Nullable, "1"},
      // An INTEGER column that is not the only key column is no rowid, whether
      // the other key column comes before it or after it.
      {weird, model::Column, "ünï", model::Nullable, "1"},
      {"pair", model::Column, "x", model::Nullable, "1"},
      {"parent", model::Key, "pk_parent", model::KeyType, "PRIMARY KEY"},
      {"parent", model::Key, "sqlite_autoindex_parent_1", model::KeyType, "UNIQUE"},
      // REFERENCES Parent(ID): names resolve as SQLite resolves them.
      {"child", model::ForeignKey, "fk_child_1", model::ReferencedColumns, "id"},
      {"child", model::ForeignKey, "fk_child_1", model::ReferencedKey, "pk_parent"},
      {"child", model::ForeignKey, "fk_child_1", model::OnDelete, "CASCADE"},
      {"child", model::ForeignKey, "fk_child_1", model::OnUpdate, "NO ACTION"},
      // REFERENCES parent, without columns: the primary key.
      {"child", model::ForeignKey, "fk_child_2", model::ReferencedColumns, "id"},
      {"child", model::ForeignKey, "fk_child_2", model::ReferencedKey, "pk_parent"},
      {"child", model::ForeignKey, "fk_child_2", model::Definition,
       "FOREIGN KEY (\"implicit_parent\") REFERENCES \"parent\""},
      // (pb, pa) -> (b, a): the unique key on (a, b), columns paired as written.
      {"child", model::ForeignKey, "fk_child_3", model::ReferencedColumns, "b,a"},
      {"child", model::ForeignKey, "fk_child_3", model::ReferencedKey, "sqlite_autoindex_parent_2"},
      {"child", model::ForeignKey, "fk_child_3", model::OnUpdate, "SET NULL"},
      {"child", model::ForeignKey, "fk_child_4", model::ReferencedKey, "sqlite_autoindex_parent_1"},
      // A column that is no key (SQLite accepts it): table and column, no key.
      {"child", model::ForeignKey, "fk_child_5", model::ReferencedColumns, "a"},
      {"child", model::ForeignKey, "fk_child_5", model::ReferencedKey, "<absent>"},
      // A table that does not exist: only the clause keeps the reference.
      {"child", model::ForeignKey, "fk_child_6", model::ReferencedColumns, "<absent>"},
      {"child", model::ForeignKey, "fk_child_6", model::ReferencedKey, "<absent>"},
      {"child", model::ForeignKey, "fk_child_6", model::Definition,
       "FOREIGN KEY (\"note\") REFERENCES \"missing_table\" (\"x\")"},
      // A unique constraint on the primary key's columns: the primary key
      // is the one referenced, in every import.
      {"dup_ref", model::ForeignKey, "fk_dup_ref_1", model::ReferencedKey, "pk_dup"},
      // Part of a composite primary key is no key either.
      {"order items", model::ForeignKey, "fk_order items_1", model::ReferencedColumns, "col \"q\""},
      {"order items", model::ForeignKey, "fk_order items_1", model::ReferencedKey, "<absent>"},
      {"child", model::Index, "ix_child_note", model::IsUnique, "0"},
      {"child", model::Index, "ix_child_note", model::Expressions, "lower(note)"},
      {"child", model::Index, "ix_child_note", model::Predicate, "note IS NOT NULL AND pa > 0"},
      {"child", model::Index, "ix, comma", model::Expressions, "pa + 1"},
      {"child", model::Index, "ix, comma", model::Predicate, "<absent>"},
      {weird, model::Index, "ix \"q\" (x)", model::IsUnique, "1"},
      {weird, model::Index, "ix \"q\" (x)", model::Expressions, "<absent>"},
      {"child", model::Trigger, "trg_child", model::TriggerTiming, "AFTER"},
      {"child", model::Trigger, "trg_child", model::TriggerEvents, "UPDATE OF note, pa"},
      // ON Child: the table as SQLite finds it, whatever the case written.
      {"child", model::Trigger, "trg_def", model::TriggerTiming, "BEFORE"},
      {"child", model::Trigger, "trg_def", model::TriggerEvents, "DELETE"},
      {"v_child", model::Trigger, "trg_v", model::TriggerTiming, "INSTEAD OF"},
      {"v_child", model::Trigger, "trg_v", model::TriggerEvents, "INSERT"},
      {"child", model::Index, "ix_child_note", model::SqlText,
       SqliteFile(m_path).Rows("SELECT sql FROM sqlite_master WHERE name = 'ix_child_note'").at(0).at(0)},
      // Deferral, which only the CREATE text says; the clause shows it too.
      {"checked", model::ForeignKey, "fk_checked_1", model::Deferrable, "1"},
      {"checked", model::ForeignKey, "fk_checked_1", model::InitiallyDeferred, "1"},
      {"checked", model::ForeignKey, "fk_checked_1", model::Definition,
       "FOREIGN KEY (\"parent_id\") REFERENCES \"parent\" (\"id\") DEFERRABLE INITIALLY DEFERRED"},
      {"checked", model::ForeignKey, "fk_checked_2", model::Deferrable, "1"},
      {"checked", model::ForeignKey, "fk_checked_2", model::InitiallyDeferred, "0"},
      {"checked", model::ForeignKey, "fk_checked_2", model::Definition,
       "FOREIGN KEY (\"other_id\") REFERENCES \"parent\" DEFERRABLE"},
      {"checked", model::ForeignKey, "fk_checked_3", model::Deferrable, "0"},
      {"checked", model::ForeignKey, "fk_checked_3", model::InitiallyDeferred, "0"},
      {"child", model::ForeignKey, "fk_child_1", model::Deferrable, "0"},
      {"child", model::ForeignKey, "fk_child_1", model::InitiallyDeferred, "0"},
      // Generated columns: kind from SQLite, expression as written.
      {"checked", model::Column, "total", model::GeneratedExpression, "qty * 2"},
      {"checked", model::Column, "total", model::GeneratedKind, "STORED"},
      {"checked", model::Column, "label", model::GeneratedExpression, "upper(code)"},
      {"checked", model::Column, "label", model::GeneratedKind, "VIRTUAL"},
      {"child", model::Column, "g", model::GeneratedExpression, "pa + pb"},
      {"child", model::Column, "g", model::DefaultValue, "<absent>"},
      {"child", model::Column, "pa", model::GeneratedExpression, "<absent>"},
      {"child", model::Column, "pa", model::GeneratedKind, "<absent>"},
      // View columns as SQLite names and types them.
      {"v_child", model::Column, "the note", model::DataType, "TEXT"},
      {"v_child", model::Column, "the note", model::Position, "2"},
      {"v_child", model::Column, "pa + 1", model::DataType, "<absent>"},
      {"v_child", model::Column, "pa + 1", model::Nullable, "1"},
  };
  for (const Fact& fact : facts) {
    SCOPED_TRACE(std::string(fact.relation) + " / " + fact.name + " / " + model::PropertyName(fact.property));
    CMOObject* relation = Child(model, *main, model::Table, fact.relation);
    if (relation == nullptr) relation = Child(model, *main, model::View, fact.relation);
    ASSERT_NE(relation, nullptr);
    CMOObject* object = Child(model, *relation, fact.type, fact.name);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Value(model, *object, fact.property), fact.value);
  }

  // Tables: kind and options.
  struct TableFact {
    const char* table;
    const char* kind;
    const char* strict;
    const char* withoutRowid;
  };
  for (const TableFact& fact : {TableFact{"checked", "table", "1", "0"}, TableFact{"strict_wr", "table", "1", "1"},
                                TableFact{"wr", "table", "0", "1"}, TableFact{"parent", "table", "0", "0"},
                                TableFact{"docs", "virtual table", "<absent>", "<absent>"}}) {
    SCOPED_TRACE(fact.table);
    CMOObject* table = Child(model, *main, model::Table, fact.table);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Value(model, *table, model::TableKind), fact.kind);
    EXPECT_EQ(Value(model, *table, model::Strict), fact.strict);
    EXPECT_EQ(Value(model, *table, model::WithoutRowid), fact.withoutRowid);
  }

  // Checks, column and table ones in declaration order: the expression as
  // written between the parentheses, the name only where one is given.
  CMOObject* checked = Child(model, *main, model::Table, "checked");
  ASSERT_NE(checked, nullptr);
  Strings checks;
  for (CMOObject* check : Children(model, *checked, model::CheckConstraint))
    checks.push_back(Value(model, *check, model::Name) + ": " + Text(*check, model::CheckExpression) + " / " +
                     Text(*check, model::Definition));
  EXPECT_EQ(checks, (Strings{"qty_range: qty > 0 / CHECK (qty > 0)", "qty_range: qty < 1000 / CHECK (qty < 1000)",
                             "<absent>: code <> ')' /* no bracket */ / CHECK (code <> ')' /* no bracket */)",
                             "<absent>: 'x' <> code / CHECK ('x' <> code)",
                             "both \"set\": qty IS NOT NULL AND\n        code IS NOT NULL / "
                             "CHECK (qty IS NOT NULL AND\n        code IS NOT NULL)"}));
  EXPECT_TRUE(Children(model, *Child(model, *main, model::Table, "parent"), model::CheckConstraint).empty());
}

TEST_F(SqlitePluginTest, AttachedDatabasesBecomeSchemasReadByTheSameStatements) {
  GenericModel alone(m_plugin.Api().modelType);
  CMOObject* aloneMain = ImportShop(alone);
  ASSERT_NE(aloneMain, nullptr);
  EXPECT_EQ(CatalogueStatements(), 13);

  // An attached file with more tables, under a name that needs quoting, at
  // a path holding ';' and '}'.
  const std::string auxPath = m_dir.Path("aux;1}.db");
  {
    SqliteFile aux(auxPath);
    aux.Exec("CREATE TABLE parent(id INTEGER PRIMARY KEY, label TEXT);"
             "CREATE TABLE child2(id INTEGER PRIMARY KEY, parent_id INT REFERENCES parent(id));");
    for (int i = 0; i < 30; ++i) aux.Exec("CREATE TABLE extra" + std::to_string(i) + "(x INT, y TEXT);");
  }
  std::string bracedPath;
  for (char ch : auxPath) bracedPath += ch == '}' ? std::string("}}") : std::string(1, ch);
  odbc::ClearExecuted();
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome =
      Import(model, "Driver={SQLite3};Database=" + m_path + ";Attach={aux \"ü\"=" + bracedPath + "}");
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(CatalogueStatements(), 13);
  const auto executed = odbc::Executed();
  EXPECT_TRUE(std::any_of(executed.begin(), executed.end(), [](const std::u16string& sql) {
    return Contains(sql, u"UNION ALL") && Contains(sql, u"\"aux \"\"ü\"\"\".sqlite_master");
  }));

  ASSERT_EQ(Names(Children(model, *model.GetCMOObject(), model::Schema)), (Strings{"main", "aux \"ü\""}));
  CMOObject* main = Child(model, *model.GetCMOObject(), model::Schema, "main");
  CMOObject* aux = Child(model, *model.GetCMOObject(), model::Schema, "aux \"ü\"");
  EXPECT_EQ(Names(Children(model, *main, model::Table)), Names(Children(alone, *aloneMain, model::Table)));
  EXPECT_EQ(Children(model, *aux, model::Table).size(), 32u);
  // The attached "parent" is its own table: the foreign key in aux refers
  // to it, not to main's table of the same name.
  CMOObject* auxParent = Child(model, *aux, model::Table, "parent");
  CMOObject* child2 = Child(model, *aux, model::Table, "child2");
  ASSERT_TRUE(auxParent != nullptr && child2 != nullptr);
  const auto fks = Children(model, *child2, model::ForeignKey);
  const auto auxKeys = Children(model, *auxParent, model::Key);
  ASSERT_EQ(fks.size(), 1u);
  ASSERT_EQ(auxKeys.size(), 1u);
  EXPECT_EQ(Ids(*fks[0], model::ReferencedTable), std::vector<int>{auxParent->GetObjectId()});
  EXPECT_EQ(Ids(*fks[0], model::ReferencedKey), std::vector<int>{auxKeys[0]->GetObjectId()});
  EXPECT_EQ(Names(Children(model, *auxParent, model::Column)), (Strings{"id", "label"}));
}

TEST_F(SqlitePluginTest, ScopeLimitsTheImportToTheNamedDatabases) {
  SqliteFile(m_dir.Path("aux.db")).Exec("CREATE TABLE only_in_aux(x INT);");
  GenericModel model(m_plugin.Api().modelType);
  // Names compare as SQLite compares them: ASCII letters in any case.
  const ImportOutcome outcome =
      Import(model, "Driver={SQLite3};Database=" + m_path + ";Attach=Aux=" + m_dir.Path("aux.db"), " AUX ");
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  const auto schemas = Children(model, *model.GetCMOObject(), model::Schema);
  ASSERT_EQ(Names(schemas), Strings{"Aux"});
  EXPECT_EQ(Names(Children(model, *schemas[0], model::Table)), Strings{"only_in_aux"});
}

TEST_F(SqlitePluginTest, RaisedFlagStopsReadingBeforeTheNextStatement) {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  ASSERT_NE(session, nullptr);
  // The host raises the flag while the tables statement runs.
  const std::u16string tablesStatement = u"m.name AS table_name, m.sql AS sql_text";
  odbc::Install raiseDuringTables({.beforeExecute = [&](void*, const std::u16string& sql) {
    if (Contains(sql, tablesStatement)) session->RaiseFlag();
    return std::optional<std::u16string>();
  }});
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome = Import(model, m_path);
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  CMOObject* main = Child(model, *model.GetCMOObject(), model::Schema, "main");
  ASSERT_NE(main, nullptr);
  // The run still ends normally for the host, having reported only what it read.
  EXPECT_TRUE(outcome.finishedPosted);
  for (const MSG& message : outcome.messages)
    EXPECT_TRUE(message.message != WM_IMPORT_PROGRESS || message.wParam == static_cast<WPARAM>(model::Schema) ||
                message.wParam == static_cast<WPARAM>(model::Table))
        << message.wParam;

  // The tables statement finished; nothing ran after it.
  const auto executed = odbc::Executed();
  ASSERT_FALSE(executed.empty());
  EXPECT_TRUE(Contains(executed.back(), tablesStatement));
  EXPECT_EQ(Children(model, *main, model::Table).size(),
            SqliteFile(m_path).Rows("SELECT name FROM sqlite_master WHERE type = 'table' "
                                    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'").size());
  EXPECT_TRUE(AllOfType(model, model::Column).empty());
  EXPECT_TRUE(AllOfType(model, model::View).empty());
}

TEST_F(SqlitePluginTest, ViewsAndVirtualTablesSqliteCannotReadFailAloneUnderTheirNames) {
  // Views SQLite cannot compile (a table dropped since, a function the
  // application registers at run time) between readable ones, and a virtual
  // table whose module this connection does not have next to readable ones:
  // reading the columns of any of them fails in the driver.
  SqliteFile(m_path).Exec("CREATE TABLE gone(x INT); CREATE VIEW v_gone AS SELECT x FROM gone; DROP TABLE gone;"
                          "CREATE VIEW \"v app\" AS SELECT app_score(cid) AS score FROM child;"
                          "CREATE VIEW v_late AS SELECT code FROM parent;"
                          "CREATE VIRTUAL TABLE docs2 USING fts4(subject);"
                          "PRAGMA writable_schema = ON;"
                          "INSERT INTO sqlite_master VALUES ('table', 'vt', 'vt', 0, "
                          "'CREATE VIRTUAL TABLE vt USING nosuchmod(a, b)');");
  GenericModel model(m_plugin.Api().modelType);
  CMOObject* main = ImportShop(model);
  ASSERT_NE(main, nullptr);

  // One failure each, named after it, with SQLite's reason; the failure of
  // the statement for all of them is not among them.
  const std::vector<QmFailedStatement> failed = m_plugin.Api().FailedStatements();
  Strings failures;
  for (const QmFailedStatement& failure : failed) failures.push_back(Utf8(failure.name));
  EXPECT_EQ(failures, (Strings{"columns of virtual table \"main\".\"vt\"", "columns of view \"main\".\"v_gone\"",
                               "columns of view \"main\".\"v app\""}));
  ASSERT_EQ(failed.size(), 3u);
  EXPECT_TRUE(Contains(failed[0].diagnostic.message, u"no such module: nosuchmod")) << Utf8(failed[0].diagnostic.message);
  EXPECT_TRUE(Contains(failed[1].diagnostic.message, u"no such table: main.gone")) << Utf8(failed[1].diagnostic.message);
  EXPECT_TRUE(Contains(failed[2].diagnostic.message, u"no such function: app_score")) << Utf8(failed[2].diagnostic.message);

  // They are imported with their definitions and without columns; every
  // other view and virtual table has its columns, and the whole model is
  // what SQLite reports.
  for (const char* name : {"v_gone", "v app"}) {
    CMOObject* view = Child(model, *main, model::View, name);
    ASSERT_NE(view, nullptr) << name;
    EXPECT_NE(Text(*view, model::Definition).find("CREATE VIEW"), std::string::npos) << name;
    EXPECT_TRUE(Children(model, *view, model::Column).empty()) << name;
  }
  EXPECT_EQ(Names(Children(model, *Child(model, *main, model::View, "v_late"), model::Column)), Strings{"code"});
  EXPECT_EQ(Names(Children(model, *Child(model, *main, model::View, "v_child"), model::Column)),
            (Strings{"cid", "the note", "pa + 1", "g"}));
  EXPECT_EQ(Names(Children(model, *Child(model, *main, model::Table, "docs"), model::Column)), (Strings{"title", "body"}));
  EXPECT_EQ(Names(Children(model, *Child(model, *main, model::Table, "docs2"), model::Column)), Strings{"subject"});
  EXPECT_TRUE(Children(model, *Child(model, *main, model::Table, "vt"), model::Column).empty());
  EXPECT_EQ(LineDifference(SqliteCatalogueLines(m_path), SqliteModelLines(model, failed)), "");

  // An import that cannot connect runs no statement: the failure above is
  // an earlier import's and must not be reported as this one's.
  GenericModel refused(m_plugin.Api().modelType);
  EXPECT_EQ(Import(refused, m_dir.Path("missing.db")).status, ImportStatusConnectFailed);
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());

  // The next import starts without the old failures.
  SqliteFile(m_path).Exec("PRAGMA writable_schema = ON; DELETE FROM sqlite_master WHERE name = 'vt';");
  SqliteFile(m_path).Exec("DROP VIEW v_gone; DROP VIEW \"v app\";");
  GenericModel again(m_plugin.Api().modelType);
  ASSERT_NE(ImportShop(again), nullptr);
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());
}

// Many views and few SQLite cannot read, in two databases: the views are
// read again in halves, not one statement per view, and each database's
// bad view is named with its database.
TEST_F(SqlitePluginTest, UnreadableViewsAreFoundInHalvesAcrossDatabases) {
  {
    SqliteFile file(m_path);
    std::string sql = "CREATE TABLE gone(x INT);";
    for (int i = 0; i < 64; ++i) {
      sql += "CREATE VIEW v" + std::to_string(i) + " AS SELECT " + (i == 37 ? "x FROM gone" : "id, code FROM parent") + ";";
    }
    file.Exec(sql + "DROP TABLE gone;");
  }
  SqliteFile(m_dir.Path("aux.db"))
      .Exec("CREATE TABLE t(a INT); CREATE VIEW w1 AS SELECT a FROM t; CREATE VIEW w2 AS SELECT late(a) FROM t;"
            "CREATE VIEW w3 AS SELECT a, a FROM t;");
  odbc::ClearExecuted();
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome =
      Import(model, "Driver={SQLite3};Database=" + m_path + ";Attach=aux=" + m_dir.Path("aux.db"));
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  Strings failures;
  for (const QmFailedStatement& failure : outcome.failed) failures.push_back(Utf8(failure.name));
  EXPECT_EQ(failures, (Strings{"columns of view \"main\".\"v37\"", "columns of view \"aux\".\"w2\""}));

  const auto executed = odbc::Executed();
  const auto parts = std::count_if(executed.begin(), executed.end(),
                                   [](const std::u16string& sql) { return Contains(sql, u"AND m.rowid IN ("); });
  EXPECT_GT(parts, 2);
  EXPECT_LE(parts, 20) << "views read one by one";

  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    for (CMOObject* view : Children(model, *schema, model::View)) {
      const std::string name = Name(*view);
      const std::size_t columns = Children(model, *view, model::Column).size();
      if (name == "v37" || name == "w2") {
        EXPECT_EQ(columns, 0u) << name;
      } else if (name == "w1") {
        EXPECT_EQ(columns, 1u) << name;
      } else if (name[0] == 'v' && name[1] != '_' && name[1] != 'u') {  // v0 ... v63
        EXPECT_EQ(columns, 2u) << name;
      } else {
        EXPECT_GT(columns, 0u) << name;  // the shop's own views
      }
    }
  }
}

// Loading alone (as a host does to list its plug-ins) registers nothing;
// the first Configure registers the tools, unloading takes them out.
TEST(SqlitePluginLoad, RegistersItsToolsFromFirstUseWhileLoadedOnly) {
  ImportToolsProvider* tools = ImportToolsProvider::Instance();
  {
    LoadedPlugin plugin(QM_SQLITE_PLUGIN);
    ASSERT_TRUE(plugin.Loaded());
    EXPECT_EQ(plugin.Api().head.abiVersion, QM_PLUGIN_ABI_VERSION);
    EXPECT_EQ(plugin.Api().modelType, 1001u);
    EXPECT_STREQ(plugin.Api().name, "sqlite");
    EXPECT_EQ(tools->GetConnector(1001), nullptr);
    plugin.Api().Configure(u"", u"");
    EXPECT_NE(tools->GetConnector(1001), nullptr);
    EXPECT_NE(tools->GetReader(1001), nullptr);
    plugin.Unload();
    EXPECT_EQ(tools->GetConnector(1001), nullptr);
    EXPECT_EQ(tools->GetReader(1001), nullptr);
  }
  // Loaded again, it imports again.
  TempDir dir;
  SqliteFile(dir.Path("one.db")).Exec("CREATE TABLE t(a INT);");
  LoadedPlugin plugin(QM_SQLITE_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  ASSERT_EQ(RunImport(plugin.Api(), model, dir.Path("one.db")).status, ImportStatusConnected);

  // The model outlives the plug-in that filled it: the objects and
  // properties it made are the model's, not the library's.
  plugin.Unload();
  EXPECT_EQ(Names(AllOfType(model, model::Table)), Strings{"t"});
}

}  // namespace
}  // namespace qm::test::sqlite

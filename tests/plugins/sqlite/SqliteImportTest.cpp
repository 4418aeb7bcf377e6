// The SQLite plug-in importing real files through the driver manager:
// what the catalogue's lines do not show, attached databases, scopes, and
// views SQLite cannot read. (A stop: tests/module/reader/ReadLoopSuite.cpp.)
#include <ImportHost.h>
#include <ModelWords.h>
#include <OdbcFaults.h>
#include <SqliteCatalogue.h>
#include <SqliteShopSchema.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace qm::test::sqlite {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

void CreateShopDatabase(const std::string& path) { SqliteFile(path).Exec(SqliteShopScript()); }

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

// A refusal reaches the host before any progress and the next connect
// clears it; a relative path is taken from the working directory.
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

// What the lines of SqliteCatalogue.h and the round trip of
// tests/families/SchemaTest.cpp leave out (they hold generated columns,
// deferral, checks and partial indexes' predicates).
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
      {weird, model::Key, "pk_we\"ird 'tab", model::KeyType, "PRIMARY KEY"},
      {"parent", model::Key, "pk_parent", model::KeyType, "PRIMARY KEY"},
      {"parent", model::Key, "sqlite_autoindex_parent_1", model::KeyType, "UNIQUE"},
      // The key each foreign key references: REFERENCES Parent(ID) resolved
      // as SQLite resolves names.
      {"child", model::ForeignKey, "fk_child_1", model::ReferencedKey, "pk_parent"},
      // REFERENCES parent, without columns: the primary key.
      {"child", model::ForeignKey, "fk_child_2", model::ReferencedKey, "pk_parent"},
      {"child", model::ForeignKey, "fk_child_2", model::Definition,
       "FOREIGN KEY (\"implicit_parent\") REFERENCES \"parent\""},
      // (pb, pa) -> (b, a): the unique key on (a, b), columns paired as written.
      {"child", model::ForeignKey, "fk_child_3", model::ReferencedKey, "sqlite_autoindex_parent_2"},
      {"child", model::ForeignKey, "fk_child_4", model::ReferencedKey, "sqlite_autoindex_parent_1"},
      // A column that is no key (SQLite accepts it): table and column, no key.
      {"child", model::ForeignKey, "fk_child_5", model::ReferencedKey, "<absent>"},
      // A table that does not exist: only the clause keeps the reference.
      {"child", model::ForeignKey, "fk_child_6", model::ReferencedKey, "<absent>"},
      {"child", model::ForeignKey, "fk_child_6", model::Definition,
       "FOREIGN KEY (\"note\") REFERENCES \"missing_table\" (\"x\")"},
      // A unique constraint on the primary key's columns: the primary key
      // is the one referenced, in every import.
      {"dup_ref", model::ForeignKey, "fk_dup_ref_1", model::ReferencedKey, "pk_dup"},
      // Part of a composite primary key is no key either.
      {"order items", model::ForeignKey, "fk_order items_1", model::ReferencedKey, "<absent>"},
      {"child", model::Index, "ix_child_note", model::Expressions, "lower(note)"},
      {"child", model::Index, "ix, comma", model::Expressions, "pa + 1"},
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
      // Deferral, which only the CREATE text says, in the clause.
      {"checked", model::ForeignKey, "fk_checked_1", model::Definition,
       "FOREIGN KEY (\"parent_id\") REFERENCES \"parent\" (\"id\") DEFERRABLE INITIALLY DEFERRED"},
      {"checked", model::ForeignKey, "fk_checked_2", model::Definition,
       "FOREIGN KEY (\"other_id\") REFERENCES \"parent\" DEFERRABLE"},
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

  // A scope names databases as SQLite compares names: ASCII letters in any case.
  GenericModel scoped(m_plugin.Api().modelType);
  ASSERT_EQ(Import(scoped, "Driver={SQLite3};Database=" + m_path + ";Attach={aux \"ü\"=" + bracedPath + "}", " AUX \"ü\" ")
                .status, ImportStatusConnected);
  const auto schemas = Children(scoped, *scoped.GetCMOObject(), model::Schema);
  ASSERT_EQ(Names(schemas), Strings{"aux \"ü\""});
  EXPECT_EQ(Children(scoped, *schemas[0], model::Table).size(), 32u);
}

TEST_F(SqlitePluginTest, ViewsAndVirtualTablesSqliteCannotReadFailAloneUnderTheirNames) {
  // Views SQLite cannot compile and a virtual table of a module this
  // connection does not have, between readable ones.
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

  // The unreadable ones are kept with their definitions, without columns.
  EXPECT_EQ(LineDifference(SqliteCatalogueLines(m_path), SqliteModelLines(model, failed)), "");

  // An import that cannot connect runs no statement: the failure above is
  // an earlier import's and must not be reported as this one's.
  GenericModel refused(m_plugin.Api().modelType);
  EXPECT_EQ(Import(refused, m_dir.Path("missing.db")).status, ImportStatusConnectFailed);
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

}  // namespace
}  // namespace qm::test::sqlite

// Whole imports of real SQLite files through the module, the plug-in, the
// driver manager and the SQLite3 ODBC driver, checked against what SQLite
// itself reports about the same file.
#include "ExecuteHook.h"
#include "PluginTestSupport.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test::sqlite {
namespace {

using Names = std::vector<std::u16string>;

// An SQL string literal for the comparison queries.
std::string Literal(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) {
    quoted += ch;
    if (ch == '\'') quoted += '\'';
  }
  return quoted + "'";
}

Names NamesOfObjects(const std::vector<CMOObject*>& objects) {
  Names names;
  for (const CMOObject* object : objects) names.push_back(Text(*object, model::Name));
  return names;
}

Names Column0(const std::vector<std::vector<std::string>>& rows) {
  Names names;
  for (const auto& row : rows) names.push_back(Utf16(row.at(0)));
  return names;
}

bool Contains(const std::u16string& text, std::u16string_view part) { return text.find(part) != std::u16string::npos; }

// The catalogue statements an import ran: every one of them names its
// database in a schema_name column.
int CatalogueStatements() {
  const auto& executed = hook::Executed();
  return static_cast<int>(
      std::count_if(executed.begin(), executed.end(), [](const std::u16string& sql) { return Contains(sql, u"AS schema_name"); }));
}

class SqliteImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_plugin.Loaded());
    m_path = m_dir.Path("shop.db");
    CreateShopDatabase(m_path);
    hook::Clear();
  }

  ImportOutcome Import(GenericModel& model, const std::u16string& source, const std::u16string& scope = u"") {
    m_plugin.Api().Configure(source, scope);
    return RunImport(model);
  }

  // The one schema of that name under the root; fails the test when absent.
  CMOObject* Schema(GenericModel& model, std::u16string_view name) {
    CMOObject* schema = Child(model, *model.GetCMOObject(), model::Schema, name);
    EXPECT_NE(schema, nullptr) << "no schema " << Utf8(name);
    return schema;
  }

  TempDir m_dir;
  LoadedPlugin m_plugin;
  std::string m_path;  // the shop database
};

TEST_F(SqliteImportTest, ImportsEveryObjectSqliteReports) {
  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome = Import(model, Utf16(m_path));
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(m_plugin.Api().LastConnectError().message);
  EXPECT_TRUE(m_plugin.Api().LastConnectError().IsEmpty());
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), Utf16(m_path));
  EXPECT_EQ(Text(*model.GetCMOObject(), model::ServerName), Utf16(m_path));

  ASSERT_EQ(NamesOfObjects(Children(model, *model.GetCMOObject(), model::Schema)), Names{u"main"});
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);

  SqliteFile db(m_path);
  const auto tables = Children(model, *main, model::Table);
  ASSERT_EQ(NamesOfObjects(tables),
            Column0(db.Rows("SELECT name FROM sqlite_master WHERE type = 'table' "
                            "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid")));
  int triggers = 0;
  for (CMOObject* table : tables) {
    const std::string name = Literal(Utf8(Text(*table, model::Name)));
    SCOPED_TRACE(name);
    EXPECT_EQ(Text(*table, model::SqlText), Utf16(db.Rows("SELECT sql FROM sqlite_master WHERE name = " + name)[0][0]));
    EXPECT_EQ(NamesOfObjects(Children(model, *table, model::Column)),
              Column0(db.Rows("SELECT name FROM pragma_table_xinfo(" + name + ") WHERE hidden <> 1 ORDER BY cid")));
    const long long keys = db.Scalar("SELECT count(*) FROM pragma_table_info(" + name + ") WHERE pk = 1") +
                           db.Scalar("SELECT count(*) FROM pragma_index_list(" + name + ") WHERE origin = 'u'");
    EXPECT_EQ(static_cast<long long>(Children(model, *table, model::Key).size()), keys);
    EXPECT_EQ(static_cast<long long>(Children(model, *table, model::ForeignKey).size()),
              db.Scalar("SELECT count(DISTINCT id) FROM pragma_foreign_key_list(" + name + ")"));
    Names indexes = NamesOfObjects(Children(model, *table, model::Index));
    Names expected = Column0(db.Rows("SELECT name FROM pragma_index_list(" + name + ") WHERE origin = 'c'"));
    std::sort(indexes.begin(), indexes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(indexes, expected);
    triggers += static_cast<int>(Children(model, *table, model::Trigger).size());
  }

  const auto views = Children(model, *main, model::View);
  ASSERT_EQ(NamesOfObjects(views), Column0(db.Rows("SELECT name FROM sqlite_master WHERE type = 'view' ORDER BY rowid")));
  for (CMOObject* view : views) {
    triggers += static_cast<int>(Children(model, *view, model::Trigger).size());
    EXPECT_EQ(Text(*view, model::Definition),
              Utf16(db.Rows("SELECT sql FROM sqlite_master WHERE name = " + Literal(Utf8(Text(*view, model::Name))))[0][0]));
  }
  EXPECT_EQ(triggers, db.Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"));

  // The host heard of every object type with its count, then of the end.
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_EQ(outcome.messages.back().message, WM_IMPORT_FINISHED);
  const auto posted = [&](int type, LPARAM count) {
    return std::any_of(outcome.messages.begin(), outcome.messages.end(), [&](const MSG& m) {
      return m.message == WM_IMPORT_PROGRESS && m.wParam == static_cast<WPARAM>(type) && m.lParam == count;
    });
  };
  EXPECT_TRUE(posted(model::Table, 0));
  EXPECT_TRUE(posted(model::Table, static_cast<LPARAM>(tables.size())));
  EXPECT_TRUE(posted(model::View, static_cast<LPARAM>(views.size())));
}

TEST_F(SqliteImportTest, ColumnsAndKeysKeepNamesAndDetails) {
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, Utf16(m_path)).status, ImportStatusConnected);
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);

  CMOObject* weird = Child(model, *main, model::Table, u"we\"ird 'tab");
  ASSERT_NE(weird, nullptr);
  const auto columns = Children(model, *weird, model::Column);
  ASSERT_EQ(NamesOfObjects(columns), (Names{u"col \"q\"", u"ünï", u"😀 emoji"}));
  EXPECT_EQ(Text(*columns[0], model::DataType), u"TEXT");
  EXPECT_EQ(Text(*columns[0], model::DefaultValue), u"'x''y'");
  EXPECT_EQ(Integer(*columns[0], model::PrimaryKeyPosition), 2);
  EXPECT_EQ(Integer(*columns[1], model::PrimaryKeyPosition), 1);
  EXPECT_FALSE(Has(*columns[2], model::PrimaryKeyPosition));
  EXPECT_EQ(Integer(*columns[2], model::Position), 3);
  const auto weirdKeys = Children(model, *weird, model::Key);
  ASSERT_EQ(weirdKeys.size(), 1u);
  EXPECT_EQ(Text(*weirdKeys[0], model::Name), u"pk_we\"ird 'tab");
  EXPECT_EQ(Text(*weirdKeys[0], model::KeyType), u"PRIMARY KEY");
  EXPECT_EQ(NamesOf(model, Ids(*weirdKeys[0], model::KeyColumns)), (Names{u"ünï", u"col \"q\""}));

  CMOObject* items = Child(model, *main, model::Table, u"order items");
  ASSERT_NE(items, nullptr);
  CMOObject* qty = Child(model, *items, model::Column, u"qty");
  ASSERT_NE(qty, nullptr);
  EXPECT_EQ(Integer(*qty, model::Nullable), 0);
  EXPECT_EQ(Text(*qty, model::DefaultValue), u"1");
  EXPECT_EQ(Integer(*qty, model::Position), 2);
  CMOObject* unicode = Child(model, *items, model::Column, u"ünïcode ✓");
  ASSERT_NE(unicode, nullptr);
  EXPECT_EQ(Integer(*unicode, model::Nullable), 1);
  EXPECT_FALSE(Has(*unicode, model::DefaultValue));

  CMOObject* parent = Child(model, *main, model::Table, u"parent");
  ASSERT_NE(parent, nullptr);
  const auto keys = Children(model, *parent, model::Key);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(Text(*keys[0], model::KeyType), u"PRIMARY KEY");
  EXPECT_EQ(NamesOf(model, Ids(*keys[0], model::KeyColumns)), Names{u"id"});
  EXPECT_EQ(Text(*keys[1], model::KeyType), u"UNIQUE");
  EXPECT_EQ(NamesOf(model, Ids(*keys[1], model::KeyColumns)), Names{u"code"});
  EXPECT_EQ(NamesOf(model, Ids(*keys[2], model::KeyColumns)), (Names{u"a", u"b"}));
  // The rowid alias is never NULL, though SQLite does not say NOT NULL.
  EXPECT_EQ(Integer(*Child(model, *parent, model::Column, u"id"), model::Nullable), 0);
  EXPECT_EQ(Integer(*Child(model, *parent, model::Column, u"a"), model::Nullable), 1);
  // Unique constraints are named after the index SQLite keeps for them.
  EXPECT_EQ(Text(*keys[1], model::Name), u"sqlite_autoindex_parent_1");
  // Those indexes are the keys: no index object stands for them.
  EXPECT_TRUE(Children(model, *parent, model::Index).empty());

  CMOObject* child = Child(model, *main, model::Table, u"child");
  ASSERT_NE(child, nullptr);
  CMOObject* generated = Child(model, *child, model::Column, u"g");
  ASSERT_NE(generated, nullptr);
  EXPECT_EQ(Integer(*generated, model::Position), 6);

  CMOObject* withoutRowid = Child(model, *main, model::Table, u"wr");
  ASSERT_NE(withoutRowid, nullptr);
  ASSERT_EQ(Children(model, *withoutRowid, model::Key).size(), 1u);
  EXPECT_EQ(NamesOf(model, Ids(*Children(model, *withoutRowid, model::Key)[0], model::KeyColumns)), Names{u"k"});

  // A virtual table's own columns, without the module's hidden ones.
  CMOObject* docs = Child(model, *main, model::Table, u"docs");
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(NamesOfObjects(Children(model, *docs, model::Column)), (Names{u"title", u"body"}));
}

TEST_F(SqliteImportTest, ForeignKeysFindTheirReferencedKeysOrKeepTheirColumns) {
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, Utf16(m_path)).status, ImportStatusConnected);
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);
  CMOObject* parent = Child(model, *main, model::Table, u"parent");
  CMOObject* child = Child(model, *main, model::Table, u"child");
  ASSERT_TRUE(parent != nullptr && child != nullptr);
  const auto keys = Children(model, *parent, model::Key);
  ASSERT_EQ(keys.size(), 3u);
  const int primaryKey = keys[0]->GetObjectId();
  const int uniqueCode = keys[1]->GetObjectId();
  const int uniqueAB = keys[2]->GetObjectId();
  const std::vector<int> parentTable = {parent->GetObjectId()};

  const auto fks = Children(model, *child, model::ForeignKey);
  ASSERT_EQ(NamesOfObjects(fks),
            (Names{u"fk_child_1", u"fk_child_2", u"fk_child_3", u"fk_child_4", u"fk_child_5", u"fk_child_6"}));

  // REFERENCES Parent(ID): names resolve as SQLite resolves them, ignoring case.
  EXPECT_EQ(NamesOf(model, Ids(*fks[0], model::ForeignKeyColumns)), Names{u"pid"});
  EXPECT_EQ(Ids(*fks[0], model::ReferencedTable), parentTable);
  EXPECT_EQ(NamesOf(model, Ids(*fks[0], model::ReferencedColumns)), Names{u"id"});
  EXPECT_EQ(Ids(*fks[0], model::ReferencedKey), std::vector<int>{primaryKey});
  EXPECT_EQ(Text(*fks[0], model::OnDelete), u"CASCADE");
  EXPECT_EQ(Text(*fks[0], model::OnUpdate), u"NO ACTION");

  // REFERENCES parent, without columns: the primary key.
  EXPECT_EQ(Ids(*fks[1], model::ReferencedKey), std::vector<int>{primaryKey});
  EXPECT_EQ(NamesOf(model, Ids(*fks[1], model::ReferencedColumns)), Names{u"id"});
  EXPECT_EQ(Text(*fks[1], model::Definition), u"FOREIGN KEY (\"implicit_parent\") REFERENCES \"parent\"");

  // (pb, pa) -> (b, a): the unique key on (a, b), columns paired as written.
  EXPECT_EQ(NamesOf(model, Ids(*fks[2], model::ForeignKeyColumns)), (Names{u"pb", u"pa"}));
  EXPECT_EQ(NamesOf(model, Ids(*fks[2], model::ReferencedColumns)), (Names{u"b", u"a"}));
  EXPECT_EQ(Ids(*fks[2], model::ReferencedKey), std::vector<int>{uniqueAB});
  EXPECT_EQ(Text(*fks[2], model::OnUpdate), u"SET NULL");

  EXPECT_EQ(Ids(*fks[3], model::ReferencedKey), std::vector<int>{uniqueCode});

  // A column that is no key (SQLite accepts it): table and column, no key.
  EXPECT_EQ(Ids(*fks[4], model::ReferencedTable), parentTable);
  EXPECT_EQ(NamesOf(model, Ids(*fks[4], model::ReferencedColumns)), Names{u"a"});
  EXPECT_FALSE(Has(*fks[4], model::ReferencedKey));

  // A table that does not exist: only the clause keeps the reference.
  EXPECT_FALSE(Has(*fks[5], model::ReferencedTable));
  EXPECT_FALSE(Has(*fks[5], model::ReferencedColumns));
  EXPECT_FALSE(Has(*fks[5], model::ReferencedKey));
  EXPECT_EQ(Text(*fks[5], model::Definition), u"FOREIGN KEY (\"note\") REFERENCES \"missing_table\" (\"x\")");

  // A unique constraint on the primary key's columns: the primary key is
  // the one referenced, in every import.
  CMOObject* dup = Child(model, *main, model::Table, u"dup");
  CMOObject* dupRef = Child(model, *main, model::Table, u"dup_ref");
  ASSERT_TRUE(dup != nullptr && dupRef != nullptr);
  const auto dupKeys = Children(model, *dup, model::Key);
  ASSERT_EQ(dupKeys.size(), 2u);
  ASSERT_EQ(Text(*dupKeys[0], model::KeyType), u"PRIMARY KEY");
  ASSERT_EQ(Children(model, *dupRef, model::ForeignKey).size(), 1u);
  EXPECT_EQ(Ids(*Children(model, *dupRef, model::ForeignKey)[0], model::ReferencedKey),
            std::vector<int>{dupKeys[0]->GetObjectId()});

  // Part of a composite primary key is no key either.
  CMOObject* items = Child(model, *main, model::Table, u"order items");
  CMOObject* weird = Child(model, *main, model::Table, u"we\"ird 'tab");
  ASSERT_TRUE(items != nullptr && weird != nullptr);
  const auto itemFks = Children(model, *items, model::ForeignKey);
  ASSERT_EQ(itemFks.size(), 1u);
  EXPECT_EQ(Ids(*itemFks[0], model::ReferencedTable), std::vector<int>{weird->GetObjectId()});
  EXPECT_EQ(NamesOf(model, Ids(*itemFks[0], model::ReferencedColumns)), Names{u"col \"q\""});
  EXPECT_FALSE(Has(*itemFks[0], model::ReferencedKey));
}

TEST_F(SqliteImportTest, IndexesKeepColumnsPredicateAndExpressions) {
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, Utf16(m_path)).status, ImportStatusConnected);
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);
  CMOObject* child = Child(model, *main, model::Table, u"child");
  CMOObject* weird = Child(model, *main, model::Table, u"we\"ird 'tab");
  ASSERT_TRUE(child != nullptr && weird != nullptr);
  SqliteFile db(m_path);

  CMOObject* partial = Child(model, *child, model::Index, u"ix_child_note");
  ASSERT_NE(partial, nullptr);
  EXPECT_EQ(Integer(*partial, model::IsUnique), 0);
  EXPECT_EQ(NamesOf(model, Ids(*partial, model::IndexColumns)), (Names{u"note", u"pa"}));
  EXPECT_EQ(Text(*partial, model::Expressions), u"lower(note)");
  EXPECT_EQ(Text(*partial, model::Predicate), u"note IS NOT NULL AND pa > 0");
  EXPECT_EQ(Text(*partial, model::SqlText), Utf16(db.Rows("SELECT sql FROM sqlite_master WHERE name = 'ix_child_note'")[0][0]));

  CMOObject* comma = Child(model, *child, model::Index, u"ix, comma");
  ASSERT_NE(comma, nullptr);
  EXPECT_EQ(Text(*comma, model::Expressions), u"pa + 1");
  EXPECT_EQ(NamesOf(model, Ids(*comma, model::IndexColumns)), Names{u"pb"});
  EXPECT_FALSE(Has(*comma, model::Predicate));

  CMOObject* unique = Child(model, *weird, model::Index, u"ix \"q\" (x)");
  ASSERT_NE(unique, nullptr);
  EXPECT_EQ(Integer(*unique, model::IsUnique), 1);
  EXPECT_EQ(NamesOf(model, Ids(*unique, model::IndexColumns)), Names{u"😀 emoji"});
  EXPECT_FALSE(Has(*unique, model::Expressions));
}

TEST_F(SqliteImportTest, ViewsAndTriggersKeepTheirTextTimingAndTable) {
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, Utf16(m_path)).status, ImportStatusConnected);
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);
  SqliteFile db(m_path);

  EXPECT_EQ(NamesOfObjects(Children(model, *main, model::View)), (Names{u"v_child", u"vue ünï 😀"}));
  CMOObject* view = Child(model, *main, model::View, u"v_child");
  CMOObject* child = Child(model, *main, model::Table, u"child");
  ASSERT_TRUE(view != nullptr && child != nullptr);

  const auto childTriggers = Children(model, *child, model::Trigger);
  ASSERT_EQ(NamesOfObjects(childTriggers), (Names{u"trg_child", u"trg_def"}));
  EXPECT_EQ(Text(*childTriggers[0], model::TriggerTiming), u"AFTER");
  EXPECT_EQ(Text(*childTriggers[0], model::TriggerEvents), u"UPDATE OF note, pa");
  EXPECT_EQ(Text(*childTriggers[0], model::Definition),
            Utf16(db.Rows("SELECT sql FROM sqlite_master WHERE name = 'trg_child'")[0][0]));
  // ON Child: the table as SQLite finds it, whatever the case written.
  EXPECT_EQ(Text(*childTriggers[1], model::TriggerTiming), u"BEFORE");
  EXPECT_EQ(Text(*childTriggers[1], model::TriggerEvents), u"DELETE");

  const auto viewTriggers = Children(model, *view, model::Trigger);
  ASSERT_EQ(viewTriggers.size(), 1u);
  EXPECT_EQ(Text(*viewTriggers[0], model::TriggerTiming), u"INSTEAD OF");
  EXPECT_EQ(Text(*viewTriggers[0], model::TriggerEvents), u"INSERT");
}

TEST_F(SqliteImportTest, SecondImportGivesTheSameModel) {
  GenericModel first(m_plugin.Api().modelType);
  GenericModel second(m_plugin.Api().modelType);
  ASSERT_EQ(Import(first, Utf16(m_path)).status, ImportStatusConnected);
  ASSERT_EQ(Import(second, Utf16(m_path)).status, ImportStatusConnected);
  EXPECT_GT(first.GetObjectCount(), 50);
  EXPECT_EQ(model::WriteJson(first), model::WriteJson(second));
}

TEST_F(SqliteImportTest, AttachedDatabasesBecomeSchemasReadByTheSameStatements) {
  // The main database alone first: the number of catalogue statements.
  GenericModel alone(m_plugin.Api().modelType);
  ASSERT_EQ(Import(alone, Utf16(m_path)).status, ImportStatusConnected);
  const int statementsAlone = CatalogueStatements();
  EXPECT_EQ(statementsAlone, 12);

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
  const std::u16string source =
      Utf16("Driver={SQLite3};Database=" + m_path + ";Attach={aux \"ü\"=" + bracedPath + "}");

  hook::Clear();
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, source).status, ImportStatusConnected) << Utf8(m_plugin.Api().LastConnectError().message);
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());
  EXPECT_EQ(CatalogueStatements(), statementsAlone);
  EXPECT_TRUE(std::any_of(hook::Executed().begin(), hook::Executed().end(), [](const std::u16string& sql) {
    return Contains(sql, u"UNION ALL") && Contains(sql, u"\"aux \"\"ü\"\"\".sqlite_master");
  }));

  ASSERT_EQ(NamesOfObjects(Children(model, *model.GetCMOObject(), model::Schema)), (Names{u"main", u"aux \"ü\""}));
  CMOObject* main = Schema(model, u"main");
  CMOObject* aux = Schema(model, u"aux \"ü\"");
  ASSERT_TRUE(main != nullptr && aux != nullptr);
  EXPECT_EQ(Children(model, *aux, model::Table).size(), 32u);
  CMOObject* aloneMain = Schema(alone, u"main");
  ASSERT_NE(aloneMain, nullptr);
  EXPECT_EQ(NamesOfObjects(Children(model, *main, model::Table)), NamesOfObjects(Children(alone, *aloneMain, model::Table)));

  // The attached "parent" is its own table: the foreign key in aux refers
  // to it, not to main's table of the same name.
  CMOObject* auxParent = Child(model, *aux, model::Table, u"parent");
  CMOObject* child2 = Child(model, *aux, model::Table, u"child2");
  ASSERT_TRUE(auxParent != nullptr && child2 != nullptr);
  const auto fks = Children(model, *child2, model::ForeignKey);
  ASSERT_EQ(fks.size(), 1u);
  EXPECT_EQ(Ids(*fks[0], model::ReferencedTable), std::vector<int>{auxParent->GetObjectId()});
  const auto auxKeys = Children(model, *auxParent, model::Key);
  ASSERT_EQ(auxKeys.size(), 1u);
  EXPECT_EQ(Ids(*fks[0], model::ReferencedKey), std::vector<int>{auxKeys[0]->GetObjectId()});
  EXPECT_EQ(NamesOfObjects(Children(model, *auxParent, model::Column)), (Names{u"id", u"label"}));
}

TEST_F(SqliteImportTest, ScopeLimitsTheImportToTheNamedDatabases) {
  const std::string auxPath = m_dir.Path("aux.db");
  SqliteFile(auxPath).Exec("CREATE TABLE only_in_aux(x INT);");
  const std::u16string source = Utf16("Driver={SQLite3};Database=" + m_path + ";Attach=Aux=" + auxPath);

  GenericModel model(m_plugin.Api().modelType);
  // Names compare as SQLite compares them: ASCII letters in any case.
  ASSERT_EQ(Import(model, source, u" AUX ").status, ImportStatusConnected)
      << Utf8(m_plugin.Api().LastConnectError().message);
  ASSERT_EQ(NamesOfObjects(Children(model, *model.GetCMOObject(), model::Schema)), Names{u"Aux"});
  EXPECT_EQ(NamesOfObjects(Children(model, *Schema(model, u"Aux"), model::Table)), Names{u"only_in_aux"});
}

TEST_F(SqliteImportTest, RaisedFlagStopsReadingBeforeTheNextStatement) {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  ASSERT_NE(session, nullptr);
  // The host raises the flag while the tables statement runs.
  hook::Install raiseDuringTables([session](const std::u16string& sql) -> std::optional<std::u16string> {
    if (Contains(sql, u"m.name AS table_name, m.sql AS sql_text")) session->RaiseFlag();
    return std::nullopt;
  });

  GenericModel model(m_plugin.Api().modelType);
  const ImportOutcome outcome = Import(model, Utf16(m_path));
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());

  // The tables statement finished; nothing ran after it.
  ASSERT_FALSE(hook::Executed().empty());
  EXPECT_TRUE(Contains(hook::Executed().back(), u"m.name AS table_name, m.sql AS sql_text"));
  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);
  const auto tables = Children(model, *main, model::Table);
  EXPECT_EQ(static_cast<long long>(tables.size()), SqliteFile(m_path).Scalar("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                     "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"));
  for (CMOObject* table : tables) EXPECT_TRUE(Children(model, *table, model::Column).empty());
  EXPECT_TRUE(Children(model, *main, model::View).empty());

  // The run still ends normally for the host.
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_EQ(outcome.messages.back().message, WM_IMPORT_FINISHED);
  for (const MSG& message : outcome.messages) {
    if (message.message != WM_IMPORT_PROGRESS) continue;
    EXPECT_TRUE(message.wParam == static_cast<WPARAM>(model::Schema) || message.wParam == static_cast<WPARAM>(model::Table))
        << message.wParam;
  }
}

TEST_F(SqliteImportTest, StatementThatFailsIsNamedAndTheOthersStillImport) {
  // A virtual table whose module this connection does not have: reading
  // its columns fails in the driver ("no such module").
  {
    SqliteFile db(m_path);
    db.Exec("PRAGMA writable_schema = ON;"
            "INSERT INTO sqlite_master VALUES ('table', 'vt', 'vt', 0, 'CREATE VIRTUAL TABLE vt USING nosuchmod(a, b)');"
            "PRAGMA writable_schema = OFF;");
  }
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(Import(model, Utf16(m_path)).status, ImportStatusConnected);

  const std::vector<QmFailedStatement> failed = m_plugin.Api().FailedStatements();
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].name, u"virtual table columns");
  EXPECT_TRUE(Contains(failed[0].diagnostic.message, u"no such module: nosuchmod")) << Utf8(failed[0].diagnostic.message);

  CMOObject* main = Schema(model, u"main");
  ASSERT_NE(main, nullptr);
  CMOObject* vt = Child(model, *main, model::Table, u"vt");
  ASSERT_NE(vt, nullptr);
  EXPECT_TRUE(Children(model, *vt, model::Column).empty());
  CMOObject* parent = Child(model, *main, model::Table, u"parent");
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(Children(model, *parent, model::Column).size(), 4u);
  EXPECT_EQ(Children(model, *main, model::View).size(), 2u);

  // The next import starts without the old failure.
  SqliteFile(m_path).Exec("PRAGMA writable_schema = ON; DELETE FROM sqlite_master WHERE name = 'vt';");
  GenericModel again(m_plugin.Api().modelType);
  ASSERT_EQ(Import(again, Utf16(m_path)).status, ImportStatusConnected);
  EXPECT_TRUE(m_plugin.Api().FailedStatements().empty());
}

TEST(SqlitePluginLoad, RegistersItsToolsWhileLoadedOnly) {
  ImportToolsProvider* tools = ImportToolsProvider::Instance();
  {
    LoadedPlugin plugin;
    ASSERT_TRUE(plugin.Loaded());
    EXPECT_EQ(plugin.Api().abiVersion, QmPluginApi::kAbiVersion);
    EXPECT_EQ(plugin.Api().modelType, 1001u);
    EXPECT_STREQ(plugin.Api().name, "sqlite");
    EXPECT_NE(tools->GetConnector(1001), nullptr);
    EXPECT_NE(tools->GetReader(1001), nullptr);
    plugin.Unload();
    EXPECT_EQ(tools->GetConnector(1001), nullptr);
    EXPECT_EQ(tools->GetReader(1001), nullptr);
  }
  // Loaded again, it imports again.
  TempDir dir;
  SqliteFile(dir.Path("one.db")).Exec("CREATE TABLE t(a INT);");
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.Loaded());
  plugin.Api().Configure(Utf16(dir.Path("one.db")), u"");
  GenericModel model(plugin.Api().modelType);
  ASSERT_EQ(RunImport(model).status, ImportStatusConnected);

  // The model outlives the plug-in that filled it: the objects and
  // properties it made are the model's, not the library's.
  plugin.Unload();
  CMOObject* main = Child(model, *model.GetCMOObject(), model::Schema, u"main");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(NamesOfObjects(Children(model, *main, model::Table)), Names{u"t"});
}

}  // namespace
}  // namespace qm::test::sqlite

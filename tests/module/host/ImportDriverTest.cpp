// The import road as a host drives it, with a real model and the SQLite3
// driver: the run's steps, its end after every kind of run, what it leaves.
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <gatehouse/InterfaceProvider.h>
#include <platform/Win32.h>
#include <schemaimport/ImportCacheDB.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ObjectIdLookup.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

using namespace std::chrono_literals;
using Steps = std::vector<std::string>;

ISchemaImportSessionState* Session() { return InterfaceProvider::Instance()->GetSchemaImportSessionState(); }
ISchemaImport* Api() { return InterfaceProvider::Instance()->GetSchemaImportApi(); }

// "empty", or which of the run's caches still hold something.
std::string CacheState() {
  std::string left;
  if (SchemaLookup::Instance()->FindObject(nullptr, u"main") != 0) left += " lookup";
  if (ImportedObjectCache::Instance()->GetObjectCount() != 0) left += " objects";
  if (ImportCacheDB::Instance()->ExecuteSQL(u"SELECT 1").NextRecord()) left += " store";
  return left.empty() ? "empty" : "holds" + left;
}

// A connector on a real SQLite file, or one that refuses, or throws.
class TestConnector : public SchemaSourceConnectorI {
 public:
  explicit TestConnector(std::u16string text, Steps* steps = nullptr) : connectionString(std::move(text)), m_steps(steps) {}

  bool EstablishConnection() override {
    ++establishCalls;
    if (m_steps) m_steps->push_back("connect");
    if (connectionString.empty()) return false;
    CString text(connectionString);
    const bool connected = Connect(text);
    if (throwAfterConnect) throw std::runtime_error("the connect step broke down after connecting");
    return connected;
  }
  void Disconnect() override {
    ++disconnectCalls;
    if (m_steps) m_steps->push_back("disconnect, caches " + CacheState());
    SchemaSourceConnectorI::Disconnect();
  }

  std::u16string connectionString;  // empty: refuses
  bool throwAfterConnect = false;
  int establishCalls = 0;
  int disconnectCalls = 0;

 private:
  Steps* m_steps;  // where the steps are written; not owned, may be null
};

// One table per row under schema "main"; the row named throwAt makes the
// model library throw (a column under a parent it does not have).
class TableAction : public QueryResultRowActionI {
 public:
  explicit TableAction(const std::u16string* throwAt) : m_throwAt(throwAt) {}
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const int schema = SchemaLookup::Instance()->FindCreate(model, u"main");
    CMOObject& table = model->CreateObject(model::Table, schema);
    auto* name = new CMOProperty(model::Name);
    name->SetWStringValue(record.GetString(u"name").str());
    table.SetProperty(name);
    ImportedObjectCache::Instance()->Add(record.GetString(u"name"), &table);
    if (record.GetString(u"name").str() == *m_throwAt) model->CreateObject(model::Column, 1 << 30);
  }

 private:
  const std::u16string* m_throwAt;  // the reader's; not owned
};

// Statement 1 reads the tables, statement 2 a table that is not there.
class TestReader : public SchemaSourceReaderI {
 public:
  explicit TestReader(Steps* steps) : m_steps(steps) {}
  ~TestReader() { ClearAll(); }

  void RegisterQueryStatements() override {
    m_steps->push_back("register");
    AddQueryStatement(1, model::Table, u"SELECT name AS name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    SetStatementRowAction(1, new TableAction(&throwAt));
    AddQueryStatement(2, model::Column, u"SELECT name FROM no_such_table");
  }
  void GetAvailableObjects() override { m_steps->push_back("first step, caches " + CacheState()); }
  void ReadObjects() override {
    m_steps->push_back("read");
    ImportCacheDB::Instance()->InsertUDT(u"s", u"t");
    ImportObjects(1);
    if (failingStatement) ImportObjects(2);
  }

  std::u16string throwAt;         // the table whose row throws; empty: none
  bool failingStatement = false;  // the read step also runs statement 2

 private:
  Steps* m_steps;  // not owned
};

// The host's object explorer: sets the window when the import starts.
class TestExplorer : public IObjectExplorerInterface {
 public:
  TestExplorer(HWND window, Steps* steps) : m_window(window), m_steps(steps) {}
  void OnImportStarting() override {
    m_steps->push_back("starting");
    Session()->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override { m_steps->push_back("finished, caches " + CacheState()); }

 private:
  HWND m_window;
  Steps* m_steps;  // not owned
};

std::vector<UINT> Drain(HWND window) {
  std::vector<UINT> messages;
  while (auto msg = platform::PeekMessage(window)) messages.push_back(msg->message);
  return messages;
}

class ImportDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    m_window = platform::CreateMessageWindow();
    qm::test::SqliteFile(m_path).Exec(
        "CREATE TABLE customers (id INTEGER PRIMARY KEY); CREATE TABLE orders (id INTEGER PRIMARY KEY);"
        "CREATE TABLE products (id INTEGER PRIMARY KEY);");
  }
  void TearDown() override {
    InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
    ImportToolsProvider::Instance()->UnregisterConnector(m_modelType, m_connector);
    ImportToolsProvider::Instance()->UnregisterReader(m_modelType, m_reader);
    platform::DestroyMessageWindow(m_window);
  }

  void Register(TestConnector* connector, TestReader* reader = nullptr) {
    m_connector = connector;
    m_reader = reader;
    ImportToolsProvider::Instance()->RegisterConnector(m_modelType, connector);
    if (reader) ImportToolsProvider::Instance()->RegisterReader(m_modelType, reader);
  }
  std::u16string ConnectionString() const { return u"Driver={SQLite3};Database=" + CString::FromUtf8(m_path).str(); }

  qm::test::TempDir m_dir;
  const std::string m_path = m_dir.Path("source.db");
  const int m_modelType = 5000 + ++s_tests;  // registrations of two tests never meet
  HWND m_window = nullptr;
  TestConnector* m_connector = nullptr;
  TestReader* m_reader = nullptr;
  static inline int s_tests = 0;
};

TEST_F(ImportDriverTest, FailedConnectClosesTheBracketAndTouchesNothing) {
  TestConnector refusing(u"");
  for (bool registered : {false, true}) {
    SCOPED_TRACE(registered ? "connector refuses" : "no connector for the type");
    if (registered) Register(&refusing);
    Steps steps;
    TestExplorer explorer(m_window, &steps);
    InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);
    GenericModel model(static_cast<unsigned>(m_modelType));

    Api()->ReverseEngineerFromDB(&model);

    EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
    EXPECT_TRUE(Drain(m_window).empty());
    EXPECT_EQ(steps, (Steps{"starting", "finished, caches empty"}));
    EXPECT_EQ(model.GetObjectCount(), 1);
    EXPECT_EQ(model.GetCMOObject()->GetProperty(model::ServerName), nullptr);
    // The bracket closes whatever the outcome.
    EXPECT_TRUE(model.IsUndoTracingOn());
    EXPECT_EQ(model.GetOpenActivityCount(), 0);
    EXPECT_EQ(model.GetActivityLog(), std::vector<std::u16string>{u"Reverse Engineer From DB"});
  }
  EXPECT_EQ(refusing.establishCalls, 1);
  EXPECT_EQ(refusing.disconnectCalls, 0);
}

// A run broken off by an exception (row action, connect step) reaches the
// host with everything closed; with the lookup left filled, the next import
// would put its tables under the broken run's schema id.
TEST_F(ImportDriverTest, RunBrokenOffByAnExceptionEndsCleanlyAndTheNextImportIsAsTheFirst) {
  Steps steps;
  TestConnector connector(ConnectionString(), &steps);
  TestReader reader(&steps);
  Register(&connector, &reader);
  TestExplorer explorer(m_window, &steps);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);

  Steps normal = {"starting", "connect", "register", "first step, caches holds store", "read",
                  "disconnect, caches holds lookup objects store", "finished, caches empty"};
  GenericModel first(static_cast<unsigned>(m_modelType));
  Api()->ReverseEngineerFromDB(&first);
  EXPECT_EQ(steps, normal);
  ASSERT_EQ(Session()->GetStatus(), ImportStatusConnected);
  EXPECT_EQ(Drain(m_window), std::vector<UINT>{WM_IMPORT_FINISHED});
  ASSERT_EQ(first.GetObjectCount(), 5);  // root, schema, three tables
  const std::string firstModel = model::WriteJson(first);
  normal.erase(normal.begin() + 2);

  struct Case {
    const char* where;
    bool throwAfterConnect;
    std::u16string throwAt;
    std::string exception;       // the start of what the host catches
    Steps steps;                 // from "connect" on
    std::vector<UINT> messages;  // posted to the host window
  };
  const Case cases[] = {
      {"row action", false, u"orders", "GenericModel::CreateObject: no parent object with id",
       {"connect", "first step, caches holds store", "read", "disconnect, caches holds lookup objects store",
        "finished, caches empty"},
       {WM_IMPORT_FINISHED}},
      {"connect step", true, u"", "the connect step broke down",
       {"connect", "disconnect, caches empty", "finished, caches empty"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    connector.throwAfterConnect = c.throwAfterConnect;
    reader.throwAt = c.throwAt;
    steps.clear();
    const int disconnects = connector.disconnectCalls;
    GenericModel broken(static_cast<unsigned>(m_modelType));

    std::string caught = "nothing";
    try {
      Api()->ReverseEngineerFromDB(&broken);
    } catch (const std::exception& e) {
      caught = e.what();
    }

    EXPECT_EQ(caught.rfind(c.exception, 0), 0u) << caught;
    EXPECT_EQ(Session()->GetStatus(), ImportStatusFailed);
    EXPECT_EQ(Steps(steps.begin() + 1, steps.end()), c.steps);
    EXPECT_EQ(connector.disconnectCalls, disconnects + 1);
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    EXPECT_EQ(Drain(m_window), c.messages);
    EXPECT_TRUE(broken.IsUndoTracingOn());
    EXPECT_EQ(broken.GetOpenActivityCount(), 0);

    connector.throwAfterConnect = false;
    reader.throwAt.clear();
    steps.clear();
    GenericModel next(static_cast<unsigned>(m_modelType));
    Api()->ReverseEngineerFromDB(&next);
    EXPECT_EQ(steps, normal);
    EXPECT_EQ(Session()->GetStatus(), ImportStatusConnected);
    EXPECT_EQ(model::WriteJson(next), firstModel);
    EXPECT_EQ(Drain(m_window), std::vector<UINT>{WM_IMPORT_FINISHED});
  }
}

// No model: nothing runs and the host's status stays. What a run reports
// (failed statements, the connect diagnostic) is the latest run's only.
TEST_F(ImportDriverTest, WhatARunReportsIsTheLatestRunsOnly) {
  Steps steps;
  TestConnector connector(ConnectionString());
  TestReader reader(&steps);
  reader.failingStatement = true;
  Register(&connector, &reader);
  Session()->Reset();
  Session()->SetStatus(7);
  EXPECT_FALSE(BuildSchemaFromSQLDB());
  EXPECT_EQ(Session()->GetStatus(), 7);
  EXPECT_EQ(connector.establishCalls, 0);

  GenericModel model(static_cast<unsigned>(m_modelType));
  Session()->SetModel(&model);
  Session()->SetNotifyWindow(m_window);
  EXPECT_TRUE(BuildSchemaFromSQLDB());
  ASSERT_EQ(reader.GetFailedStatements().size(), 1u);
  EXPECT_EQ(reader.GetFailedStatements()[0].statementId, 2);

  connector.connectionString = u"DSN=quillmere_no_such_dsn";
  GenericModel again(static_cast<unsigned>(m_modelType));
  Session()->SetModel(&again);
  EXPECT_FALSE(BuildSchemaFromSQLDB());
  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
  EXPECT_TRUE(reader.GetFailedStatements().empty());
  EXPECT_EQ(connector.LastConnectError().origin, OdbcDiagnostic::Origin::Driver);
  EXPECT_EQ(connector.LastConnectError().sqlState, u"IM002");

  connector.connectionString.clear();  // fails without calling Connect
  EXPECT_FALSE(BuildSchemaFromSQLDB());
  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
  EXPECT_TRUE(connector.LastConnectError().IsEmpty()) << CString(connector.LastConnectError().Describe()).ToUtf8();
}

// A window the host sets late, from its own thread, is waited for once.
// A connector without a reader still writes the data source's names.
TEST_F(ImportDriverTest, WindowSetDuringTheLateWaitReceivesTheMessage) {
  TestConnector connector(ConnectionString());
  Register(&connector);
  GenericModel model(static_cast<unsigned>(m_modelType));
  Session()->Reset();
  Session()->SetModel(&model);

  std::thread host([this] {
    std::this_thread::sleep_for(1s);
    Session()->SetNotifyWindow(m_window);
  });
  EXPECT_TRUE(BuildSchemaFromSQLDB());
  host.join();

  EXPECT_EQ(Drain(m_window), std::vector<UINT>{WM_IMPORT_FINISHED});
  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnected);
  EXPECT_EQ(connector.disconnectCalls, 1);
  // The SQLite3 driver reports the file path for both names.
  const std::u16string path = CString::FromUtf8(m_path).str();
  CMOObject* root = model.GetCMOObject();
  ASSERT_NE(root->GetProperty(model::ServerName), nullptr);
  ASSERT_NE(root->GetProperty(model::DatabaseName), nullptr);
  EXPECT_EQ(root->GetProperty(model::ServerName)->GetWStringValue(), path);
  EXPECT_EQ(root->GetProperty(model::DatabaseName)->GetWStringValue(), path);
}

}  // namespace

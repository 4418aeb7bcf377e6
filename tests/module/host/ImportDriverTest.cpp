// The import road as a host drives it: ReverseEngineerFromDB and
// BuildSchemaFromSQLDB with a real model, the module's registered session
// and entry point, and connectors on the real SQLite3 ODBC driver.
#include <cobbleyard/SQLiteCache.h>
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
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ISchemaImportSessionState* Session() { return InterfaceProvider::Instance()->GetSchemaImportSessionState(); }

// A connector on a real SQLite database file, or one that refuses.
class TestConnector : public SchemaSourceConnectorI {
 public:
  explicit TestConnector(std::u16string connectionString) : m_connectionString(std::move(connectionString)) {}

  bool EstablishConnection() override {
    ++establishCalls;
    if (m_connectionString.empty()) return false;
    CString text(m_connectionString);
    return Connect(text);
  }
  void Disconnect() override {
    ++disconnectCalls;
    SchemaSourceConnectorI::Disconnect();
  }

  int establishCalls = 0;
  int disconnectCalls = 0;

 private:
  std::u16string m_connectionString;
};

// Creates a table object per row of sqlite_master.
class TableAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject& table = model->CreateObject(model::Table);
    auto* name = new CMOProperty(model::Name);
    name->SetWStringValue(record.GetString(u"name").str());
    table.SetProperty(name);
  }
};

// Records the steps the driver takes and what the caches held when the
// read step began, then leaves traces in every cache for the next run.
class TestReader : public SchemaSourceReaderI {
 public:
  void RegisterQueryStatements() override {
    ++registrations;
    AddQueryStatement(1, model::Table, u"SELECT name AS name FROM sqlite_master WHERE type = 'table'");
    SetStatementRowAction(1, new TableAction);
  }
  void GetAvailableObjects() override { steps.push_back("first"); }
  void ReadObjects() override {
    steps.push_back("read");
    ImportCacheDB* store = ImportCacheDB::Instance();
    CString clause;
    store->GetUDTTableClause(u"s", u"t", clause);
    leftoverUdtClause = clause.str();
    leftoverObject = ImportedObjectCache::Instance()->FindObject(u"marker") != nullptr;
    leftoverSchemaId = SchemaLookup::Instance()->FindObject(m_model, u"from another model");

    ImportObjects(1);
    store->InsertUDTTableColumn(u"s", u"t", u"c", u"int", 0, 1);
    ImportedObjectCache::Instance()->Add(u"marker", m_model->GetCMOObject());
    SchemaLookup::Instance()->FindCreate(m_model, u"from another model");
  }

  ~TestReader() { ClearAll(); }

  int registrations = 0;
  std::vector<std::string> steps;
  std::u16string leftoverUdtClause;
  bool leftoverObject = false;
  int leftoverSchemaId = -1;
};

// The host's object explorer: sets the window when the import starts, as a
// host does, and counts the calls.
class TestExplorer : public IObjectExplorerInterface {
 public:
  explicit TestExplorer(HWND window) : m_window(window) {}
  void OnImportStarting() override {
    ++starting;
    if (m_window != nullptr) Session()->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override { ++finished; }
  int starting = 0;
  int finished = 0;

 private:
  HWND m_window;
};

std::vector<MSG> Drain(HWND window) {
  std::vector<MSG> messages;
  while (auto msg = platform::PeekMessage(window)) messages.push_back(*msg);
  return messages;
}

class ImportDriverTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::string(std::setlocale(LC_ALL, "")) == "C") std::setlocale(LC_ALL, "C.UTF-8");
  }

  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("qm-driver-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
    m_window = platform::CreateMessageWindow();
    // Each test uses its own model type, so registrations never meet.
    m_modelType = 5000 + (++s_counter);
  }

  void TearDown() override {
    InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
    for (auto& [connector, reader] : m_registered) {
      ImportToolsProvider::Instance()->UnregisterConnector(m_modelType, connector);
      ImportToolsProvider::Instance()->UnregisterReader(m_modelType, reader);
    }
    platform::DestroyMessageWindow(m_window);
    fs::remove_all(m_dir);
  }

  // A real database with one table.
  std::u16string MakeDatabase(const std::string& name) {
    const fs::path file = m_dir / name;
    SQLiteCache unused;  // keeps the cache library linked for the store
    const std::string ddl = "sqlite3 '" + file.string() + "' 'CREATE TABLE orders(id INTEGER PRIMARY KEY);'";
    EXPECT_EQ(std::system(ddl.c_str()), 0);
    return u"Driver={SQLite3};Database=" + CString::FromUtf8(file.string()).str() + u";NoCreat=1";
  }

  void Register(TestConnector* connector, TestReader* reader) {
    if (connector) ImportToolsProvider::Instance()->RegisterConnector(m_modelType, connector);
    if (reader) ImportToolsProvider::Instance()->RegisterReader(m_modelType, reader);
    m_registered.emplace_back(connector, reader);
  }

  static inline int s_counter = 0;
  fs::path m_dir;
  HWND m_window = nullptr;
  int m_modelType = 0;
  std::vector<std::pair<TestConnector*, TestReader*>> m_registered;
};

TEST_F(ImportDriverTest, WithoutAModelInTheSessionNothingRuns) {
  Session()->Reset();
  Session()->SetStatus(7);  // a value the driver never writes
  EXPECT_FALSE(BuildSchemaFromSQLDB());
  EXPECT_EQ(Session()->GetStatus(), 7);
}

TEST_F(ImportDriverTest, NoConnectorFailsTheConnectAndPostsNothing) {
  GenericModel model(static_cast<unsigned>(m_modelType));
  TestExplorer explorer(m_window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);

  InterfaceProvider::Instance()->GetSchemaImportApi()->ReverseEngineerFromDB(&model);

  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
  EXPECT_TRUE(Drain(m_window).empty());
  EXPECT_EQ(explorer.starting, 1);
  EXPECT_EQ(explorer.finished, 1);
  // The bracket closes whatever the outcome.
  EXPECT_TRUE(model.IsUndoTracingOn());
  EXPECT_EQ(model.GetOpenActivityCount(), 0);
  ASSERT_EQ(model.GetActivityLog().size(), 1u);
  EXPECT_EQ(model.GetActivityLog()[0], u"Reverse Engineer From DB");
}

TEST_F(ImportDriverTest, FailedConnectNeitherDisconnectsNorTouchesTheModel) {
  TestConnector connector(u"");  // refuses
  TestReader reader;
  Register(&connector, &reader);
  GenericModel model(static_cast<unsigned>(m_modelType));
  model.SetUndoTracingOn();
  TestExplorer explorer(m_window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);

  InterfaceProvider::Instance()->GetSchemaImportApi()->ReverseEngineerFromDB(&model);

  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
  EXPECT_EQ(connector.establishCalls, 1);
  EXPECT_EQ(connector.disconnectCalls, 0);
  EXPECT_TRUE(reader.steps.empty());
  EXPECT_EQ(model.GetCMOObject()->GetProperty(model::ServerName), nullptr);
  EXPECT_TRUE(Drain(m_window).empty());
  EXPECT_TRUE(model.IsUndoTracingOn());
  EXPECT_EQ(model.GetOpenActivityCount(), 0);
}

TEST_F(ImportDriverTest, ConnectorWithoutReaderStillWritesNamesAndFinishes) {
  TestConnector connector(MakeDatabase("plain.db"));
  Register(&connector, nullptr);
  GenericModel model(static_cast<unsigned>(m_modelType));
  Session()->Reset();
  Session()->SetModel(&model);
  Session()->SetNotifyWindow(m_window);

  EXPECT_TRUE(BuildSchemaFromSQLDB());

  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnected);
  EXPECT_EQ(connector.disconnectCalls, 1);
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
  CMOObject* root = model.GetCMOObject();
  ASSERT_NE(root->GetProperty(model::ServerName), nullptr);
  ASSERT_NE(root->GetProperty(model::DatabaseName), nullptr);
  // The SQLite3 driver reports the file path for both names.
  const std::u16string path = (m_dir / "plain.db").u16string();
  EXPECT_EQ(root->GetProperty(model::ServerName)->GetWStringValue(), path);
  EXPECT_EQ(root->GetProperty(model::DatabaseName)->GetWStringValue(), path);
  const auto messages = Drain(m_window);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, WM_IMPORT_FINISHED);
  EXPECT_EQ(messages[0].message, 1035u);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(messages[0].lParam, 0);
}

TEST_F(ImportDriverTest, ReaderStepsRunInOrderAndTheCachesAreClosedAfterwards) {
  TestConnector connector(MakeDatabase("steps.db"));
  TestReader reader;
  Register(&connector, &reader);
  GenericModel model(static_cast<unsigned>(m_modelType));
  TestExplorer explorer(m_window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);

  InterfaceProvider::Instance()->GetSchemaImportApi()->ReverseEngineerFromDB(&model);

  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnected);
  EXPECT_EQ((reader.steps), (std::vector<std::string>{"first", "read"}));
  std::vector<int> tables;
  model.GetCMOObject()->GetChildrenByType(tables, model::Table);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(model.GetCMOObject(tables[0])->GetProperty(model::Name)->GetWStringValue(), u"orders");
  // The run's end emptied the caches and the lookup and closed the store.
  EXPECT_EQ(ImportedObjectCache::Instance()->FindObject(u"marker"), nullptr);
  EXPECT_EQ(SchemaLookup::Instance()->FindObject(&model, u"from another model"), 0);
  SLRecordSet rows = ImportCacheDB::Instance()->ExecuteSQL(u"select udt_name from udt_table");
  EXPECT_FALSE(rows.NextRecord());
  // The window was set when the import started: one message, no wait.
  const auto messages = Drain(m_window);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, WM_IMPORT_FINISHED);
}

TEST_F(ImportDriverTest, TwoImportsInARowShareNothing) {
  TestConnector connector(MakeDatabase("twice.db"));
  TestReader reader;
  Register(&connector, &reader);
  TestExplorer explorer(m_window);
  InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);

  GenericModel first(static_cast<unsigned>(m_modelType));
  InterfaceProvider::Instance()->GetSchemaImportApi()->ReverseEngineerFromDB(&first);
  GenericModel second(static_cast<unsigned>(m_modelType));
  InterfaceProvider::Instance()->GetSchemaImportApi()->ReverseEngineerFromDB(&second);

  EXPECT_EQ(reader.registrations, 1);  // statements registered once, reused
  EXPECT_EQ(connector.establishCalls, 2);
  EXPECT_EQ(connector.disconnectCalls, 2);
  // What the first run left in the store, the object cache and the lookup
  // was gone when the second read step began.
  EXPECT_EQ(reader.leftoverUdtClause, u"()");
  EXPECT_FALSE(reader.leftoverObject);
  EXPECT_EQ(reader.leftoverSchemaId, 0);
  std::vector<int> tables;
  second.GetCMOObject()->GetChildrenByType(tables, model::Table);
  EXPECT_EQ(tables.size(), 1u);
  EXPECT_EQ(Drain(m_window).size(), 2u);
}

TEST_F(ImportDriverTest, WindowSetDuringTheLateWaitReceivesTheMessage) {
  TestConnector connector(MakeDatabase("late.db"));
  Register(&connector, nullptr);
  GenericModel model(static_cast<unsigned>(m_modelType));
  Session()->Reset();
  Session()->SetModel(&model);

  // The host sets its window only after the run is over its read step.
  std::thread host([this] {
    std::this_thread::sleep_for(1s);
    Session()->SetNotifyWindow(m_window);
  });
  EXPECT_TRUE(BuildSchemaFromSQLDB());
  host.join();

  const auto messages = Drain(m_window);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, WM_IMPORT_FINISHED);
}

TEST_F(ImportDriverTest, WithoutAWindowTheRunWaitsOnceAndPostsNothing) {
  TestConnector connector(MakeDatabase("nowindow.db"));
  Register(&connector, nullptr);
  GenericModel model(static_cast<unsigned>(m_modelType));
  Session()->Reset();
  Session()->SetModel(&model);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(BuildSchemaFromSQLDB());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(Drain(m_window).empty());
  EXPECT_EQ(Session()->GetStatus(), ImportStatusConnected);
}

}  // namespace

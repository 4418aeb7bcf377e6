// The import road as a host drives it: ReverseEngineerFromDB and
// BuildSchemaFromSQLDB with a real model, the module's registered session
// and entry point, and connectors on the real SQLite3 ODBC driver. Whole
// imports through the plug-ins (the reader's steps, the caches emptied
// between imports) are tests/plugins' to check.
#include <TempDir.h>

#include <gatehouse/InterfaceProvider.h>
#include <platform/Win32.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

ISchemaImportSessionState* Session() { return InterfaceProvider::Instance()->GetSchemaImportSessionState(); }
ISchemaImport* Api() { return InterfaceProvider::Instance()->GetSchemaImportApi(); }

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

  int establishCalls = 0;   // EstablishConnection calls
  int disconnectCalls = 0;  // Disconnect calls

 private:
  std::u16string m_connectionString;  // empty: refuses
};

// The host's object explorer: sets the window when the import starts, as a
// host does, and counts the calls.
class TestExplorer : public IObjectExplorerInterface {
 public:
  explicit TestExplorer(HWND window) : m_window(window) {}
  void OnImportStarting() override {
    ++starting;
    Session()->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override { ++finished; }
  int starting = 0;  // OnImportStarting calls
  int finished = 0;  // OnImportFinished calls

 private:
  HWND m_window;  // handed to the session when the import starts
};

std::vector<UINT> Drain(HWND window) {
  std::vector<UINT> messages;
  while (auto msg = platform::PeekMessage(window)) messages.push_back(msg->message);
  return messages;
}

class ImportDriverTest : public testing::Test {
 protected:
  void SetUp() override { m_window = platform::CreateMessageWindow(); }
  void TearDown() override {
    InterfaceProvider::Instance()->SetObjectExplorerInterface(nullptr);
    ImportToolsProvider::Instance()->UnregisterConnector(m_modelType, m_connector);
    platform::DestroyMessageWindow(m_window);
  }

  void Register(TestConnector* connector) {
    m_connector = connector;
    ImportToolsProvider::Instance()->RegisterConnector(m_modelType, connector);
  }

  qm::test::TempDir m_dir;
  const std::string m_path = m_dir.Path("source.db");
  // Each test uses its own model type, so registrations never meet.
  const int m_modelType = 5000 + ++s_tests;
  HWND m_window = nullptr;
  TestConnector* m_connector = nullptr;  // registered for m_modelType, or null
  static inline int s_tests = 0;
};

TEST_F(ImportDriverTest, FailedConnectClosesTheBracketAndTouchesNothing) {
  TestConnector refusing(u"");
  for (bool registered : {false, true}) {
    SCOPED_TRACE(registered ? "connector refuses" : "no connector for the type");
    if (registered) Register(&refusing);
    TestExplorer explorer(m_window);
    InterfaceProvider::Instance()->SetObjectExplorerInterface(&explorer);
    GenericModel model(static_cast<unsigned>(m_modelType));

    Api()->ReverseEngineerFromDB(&model);

    EXPECT_EQ(Session()->GetStatus(), ImportStatusConnectFailed);
    EXPECT_TRUE(Drain(m_window).empty());
    EXPECT_EQ(explorer.starting, 1);
    EXPECT_EQ(explorer.finished, 1);
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

// The host sets its window on its own thread only after the run is over
// its read step: the run waits for it once, then posts to it. A connector
// without a reader still writes the names the data source reports.
TEST_F(ImportDriverTest, WindowSetDuringTheLateWaitReceivesTheMessage) {
  TestConnector connector(u"Driver={SQLite3};Database=" + CString::FromUtf8(m_path).str());
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

// Helpers of the reader tests; each executable instantiates FetchTest with
// the backends it can reach.
#pragma once

#include <OdbcTestSupport.h>
#include <TempDir.h>

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaImport.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <gatehouse/InterfaceProvider.h>
#include <platform/MessageBox.h>
#include <platform/Win32.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace qm::test::reader {

// What a RecordingRowAction saw; outlives the action the reader deletes.
struct ActionLog {
  int preExecute = 0;                  // PreExecute calls
  int postExecute = 0;                 // PostExecute calls
  int destroyed = 0;                   // destructor calls
  std::vector<CommonDataObject> rows;  // a copy of every record handed to ProcessRow
  std::vector<GenericModel*> models;   // the model of every call, in call order
  int calls() const { return preExecute + postExecute + static_cast<int>(rows.size()); }
};

class RecordingRowAction : public QueryResultRowActionI {
 public:
  explicit RecordingRowAction(ActionLog* log) : m_log(log) {}
  ~RecordingRowAction() override { ++m_log->destroyed; }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    m_log->models.push_back(model);
    m_log->rows.push_back(record);
  }
  void PreExecute(GenericModel* model) override {
    m_log->models.push_back(model);
    ++m_log->preExecute;
  }
  void PostExecute(GenericModel* model) override {
    m_log->models.push_back(model);
    ++m_log->postExecute;
  }

 private:
  ActionLog* m_log;  // not owned
};

// A reader whose set-up, rewriting and read-loop decisions the test supplies.
class TestReader : public SchemaSourceReaderI {
 public:
  ~TestReader() { ClearAll(); }

  using SchemaSourceReaderI::ReportFailure;
  using SchemaSourceReaderI::RunStatement;
  using SchemaSourceReaderI::RunStatements;

  AfterFailure OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) override {
    if (onFailed) return onFailed(statementId, failure, attempt);
    return SchemaSourceReaderI::OnStatementFailed(statementId, failure, attempt);
  }
  void OnStatementEnded(int statementId) override { ended.push_back(statementId); }

  void ReadObjects() override {}
  void RegisterQueryStatements() override {
    ++registrations;
    if (registration) registration(*this);
  }
  void PreProcessQueryStatement(int statementId, CString& statement) override {
    if (preprocess) preprocess(statementId, statement);
  }

  // The count of an object type; -1 when the type has no entry.
  int ObjectCount(int objectType) const {
    const auto it = m_objectCounts.find(objectType);
    return it == m_objectCounts.end() ? -1 : it->second;
  }
  std::size_t ObjectCountEntries() const { return m_objectCounts.size(); }
  int RecordCount() const { return m_recordCount; }
  const CommonDataObject& Record() const { return m_record; }
  std::string FailureText() const {
    std::string text;
    for (const auto& f : GetFailedStatements())
      text += "statement " + std::to_string(f.statementId) + ": " + Describe(f.diagnostic) + "\n";
    return text.empty() ? "no failed statements" : text;
  }

  int registrations = 0;                          // RegisterQueryStatements calls
  std::function<void(TestReader&)> registration;  // what the set-up step does; may be empty
  std::function<void(int, CString&)> preprocess;  // statement rewriting; may be empty
  // The read loop's question after a failure; empty: the base's answer.
  std::function<AfterFailure(int, OdbcDiagnostic&, int)> onFailed;
  std::vector<int> ended;                         // OnStatementEnded calls, in order
};

using Posted = std::vector<std::pair<platform::win::WPARAM, platform::win::LPARAM>>;

// The session's window while alive, its flag lowered before and after.
class SessionWindow {
 public:
  SessionWindow() : m_session(InterfaceProvider::Instance()->GetSchemaImportSessionState()) {
    m_session->Reset();
    m_session->SetNotifyWindow(m_window);
  }
  ~SessionWindow() {
    m_session->Reset();
    platform::DestroyMessageWindow(m_window);
  }
  SessionWindow(const SessionWindow&) = delete;
  SessionWindow& operator=(const SessionWindow&) = delete;

  ISchemaImportSessionState& Session() { return *m_session; }
  // The progress posted since the last call: (object type, count).
  Posted Progress() {
    Posted posted;
    while (auto message = platform::PeekMessage(m_window)) {
      EXPECT_EQ(message->message, WM_IMPORT_PROGRESS);
      posted.emplace_back(message->wParam, message->lParam);
    }
    return posted;
  }

 private:
  ISchemaImportSessionState* m_session;  // the module's; not owned
  platform::win::HWND m_window = platform::CreateMessageWindow();
};

// The names a record holds, in its order.
inline std::vector<std::u16string> NamesOf(const CommonDataObject& record) {
  std::vector<std::u16string> names;
  for (auto it = record.Iterator(); it != record.End(); ++it) names.push_back(it->first);
  return names;
}

// Collects the texts of AfxMessageBox calls while alive and answers OK.
class MessageCapture {
 public:
  MessageCapture()
      : m_previous(platform::SetMessageBoxHandler([this](const char16_t* text, platform::win::UINT type) {
          EXPECT_EQ(type, platform::win::MB_OK);
          texts.emplace_back(text);
          return platform::win::IDOK;
        })) {}
  ~MessageCapture() { platform::SetMessageBoxHandler(std::move(m_previous)); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  std::vector<std::u16string> texts;  // every text shown, in order

 private:
  platform::MessageBoxHandler m_previous;  // restored on destruction
};

enum class Engine { Sqlite, Postgres };

struct Backend {
  const char* name;        // test-name suffix
  Engine engine;           // which SQL dialect the test data is written in
  bool wideText;           // the driver describes text columns with the wide type codes
  const char* connectEnv;  // environment variable holding the connection string; null for SQLite
};

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) { return info.param.name; }
inline void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

class FetchTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Registers the statement (type 12), with a RecordingRowAction if wanted; runs it.
  void Run(int statementId, const std::u16string& sql, bool withAction = true);
  // Runs a statement for the test's data; fails the test on error.
  void Prepare(const std::u16string& sql);
  // An SQL expression repeating the SQL expression `unit` n times.
  std::u16string Repeat(const std::u16string& unit, int n) const;

  TempDir m_dir;                               // SQLite database file lives here
  std::unique_ptr<TestConnector> m_connector;  // the open connection
  GenericModel m_model;                        // handed to the row actions
  ActionLog m_log;                             // what the recording action saw; outlives the action
  TestReader m_reader;                         // under test
  std::u16string m_schema;                     // PostgreSQL: this process's schema
};

// The catalogue-call suite (CatalogCallSuite.cpp) on the same data.
class CatalogCallTest : public FetchTest {
 protected:
  // Arguments naming a table of the test's data, in the test's own schema.
  CatalogCall::Arguments Table(const std::u16string& name) const {
    CatalogCall::Arguments arguments;
    if (!m_schema.empty()) arguments.schema = m_schema;
    arguments.object = name;
    return arguments;
  }
  void Register(CatalogCall::Function function, std::vector<CatalogCall::Arguments> calls) {
    CatalogCall call;
    call.function = function;
    call.calls = std::move(calls);
    m_reader.AddCatalogCall(1, 12, std::move(call), u"the call");
    m_reader.SetStatementRowAction(1, new RecordingRowAction(&m_log));
  }
};

// Decimal text of a number, for building statements.
inline std::u16string Number(long long n) { return CString::FromUtf8(std::to_string(n)).str(); }

}  // namespace qm::test::reader

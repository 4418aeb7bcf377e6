// Helpers shared by the reader tests: a reader whose set-up step the test
// chooses, a row action that keeps copies of what it was handed, a minimal
// plug-in connector, and raw ODBC helpers for preparing test data.
#pragma once

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <platform/CString.h>
#include <platform/MessageBox.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qm::test::reader {

// What a RecordingRowAction saw. Owned by the test, so it outlives the
// action that the reader deletes.
struct ActionLog {
  int preExecute = 0;                      // PreExecute calls
  int postExecute = 0;                     // PostExecute calls
  int destroyed = 0;                       // destructor calls
  std::vector<CommonDataObject> rows;      // a copy of every record handed to ProcessRow
  std::vector<GenericModel*> models;       // the model of every call, in call order
  std::function<void(int row)> onRow;      // run after row N (1-based) was copied; may be empty
};

class RecordingRowAction : public QueryResultRowActionI {
 public:
  explicit RecordingRowAction(ActionLog* log) : m_log(log) {}
  ~RecordingRowAction() override { ++m_log->destroyed; }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override;
  void PreExecute(GenericModel* model) override;
  void PostExecute(GenericModel* model) override;

 private:
  ActionLog* m_log;  // not owned
};

// A column action that counts its destruction.
class CountingColumnAction : public QueryResultColumnActionI {
 public:
  explicit CountingColumnAction(int* destroyed) : m_destroyed(destroyed) {}
  ~CountingColumnAction() override { ++*m_destroyed; }
  void ProcessColumn(GenericModel*, CommonDataObject&, const std::u16string&) override {}

 private:
  int* m_destroyed;  // not owned
};

// A reader whose set-up step and statement rewriting the test supplies, and
// which shows its protected state.
class TestReader : public SchemaSourceReaderI {
 public:
  ~TestReader() { ClearAll(); }

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
  bool Registered() const { return m_statementsRegistered; }
  SchemaSourceConnectorI* Connector() const { return m_connector; }
  int StatementObjectType(int statementId) const {
    const auto it = m_statementObjectTypes.find(statementId);
    return it == m_statementObjectTypes.end() ? 0 : it->second;
  }
  std::vector<int> RowActionIds() const {
    std::vector<int> ids;
    for (const auto& [id, action] : m_rowActions) ids.push_back(id);
    return ids;
  }

  int registrations = 0;                                 // RegisterQueryStatements calls
  std::function<void(TestReader&)> registration;         // what the set-up step does; may be empty
  std::function<void(int, CString&)> preprocess;         // statement rewriting; may be empty
};

// The simplest plug-in connector: connects with the string it was given.
class TestConnector : public SchemaSourceConnectorI {
 public:
  explicit TestConnector(CString connectionString = CString(), CString scope = CString())
      : m_given(std::move(connectionString)), m_scope(std::move(scope)) {}

  bool EstablishConnection() override {
    CString text = m_given;
    return Connect(text);
  }
  void GetREScope(CString& scope) override {
    ++scopeReads;
    scope = m_scope;
  }

  int scopeReads = 0;  // GetREScope calls

 private:
  CString m_given;  // the connection string EstablishConnection uses
  CString m_scope;  // the scope text handed to the reader
};

// Collects the texts of AfxMessageBox calls while alive and answers OK.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  std::vector<std::u16string> texts;  // every text shown, in order

 private:
  platform::MessageBoxHandler m_previous;  // restored on destruction
};

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// Sets a UTF-8 locale for the process, as hosts do: the SQLite3 driver is
// an ANSI driver and the driver manager converts wide text by the locale.
void UseUtf8Locale();

// Runs a statement on a connection handle (SQLHDBC). Returns an empty string
// on success, otherwise the driver's SQLSTATE and message.
std::string Exec(void* connectionHandle, const std::u16string& sql);
// The first column of the first row as a 64-bit integer; throws
// std::runtime_error when the statement fails or returns no row.
long long QueryInteger(void* connectionHandle, const std::u16string& sql);

// UTF-8 for failure messages.
std::string Utf8(std::u16string_view text);
std::string Describe(const OdbcDiagnostic& diagnostic);
std::string Describe(const std::vector<SchemaSourceReaderI::FailedStatement>& failures);

}  // namespace qm::test::reader

// Helpers of the reader tests: a row action that keeps copies of what it
// was handed, a reader whose set-up step the test chooses and which shows
// its protected state, and a capture of the message boxes shown.
#pragma once

#include <OdbcTestSupport.h>

#include <schemaimport/CommonDataObject.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <platform/MessageBox.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qm::test::reader {

// What a RecordingRowAction saw. Owned by the test, so it outlives the
// action that the reader deletes.
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

// A reader whose set-up step, statement rewriting and read-loop decisions
// the test supplies.
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

}  // namespace qm::test::reader

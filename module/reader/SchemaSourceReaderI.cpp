// The reader's tables: statements, row actions, object types and counts;
// the failed statements and the read loop. Running a statement and fetching
// its rows is in StatementFetch.cpp.
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <gatehouse/InterfaceProvider.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

SchemaSourceReaderI::SchemaSourceReaderI()
    : m_connector(nullptr), m_model(nullptr), m_statementsRegistered(false), m_recordCount(0) {}

SchemaSourceReaderI::~SchemaSourceReaderI() = default;

void SchemaSourceReaderI::GetAvailableObjects() {}

// The read step is pure; this empty body serves a derived reader that calls
// the base explicitly.
void SchemaSourceReaderI::ReadObjects() {}

bool SchemaSourceReaderI::GetQueryStatement(int statementId, CString& statement) {
  const auto it = m_statements.find(statementId);
  if (it == m_statements.end()) return false;
  statement = it->second;
  return true;
}

void SchemaSourceReaderI::PreProcessQueryStatement(int, CString&) {}

void SchemaSourceReaderI::SetConnection(SchemaSourceConnectorI* connector) {
  m_reScope.Empty();
  m_connector = connector;
  if (!m_statementsRegistered) {
    RegisterQueryStatements();
    m_statementsRegistered = true;
  }
  if (connector != nullptr) connector->GetREScope(m_reScope);
}

void SchemaSourceReaderI::AddQueryStatement(int statementId, int objectType, const CString& statement) {
  if (statement.IsEmpty()) return;
  m_statementObjectTypes[statementId] = objectType;
  // An id that holds a catalogue call keeps it: the first registration stays.
  if (m_catalogCalls.count(statementId) != 0) return;
  m_statements.try_emplace(statementId, statement);
}

void SchemaSourceReaderI::AddQueryStatement(int statementId, int objectType, const CString& statement,
                                            std::u16string name) {
  if (statement.IsEmpty()) return;
  // The name goes with the text: the first registration's both.
  if (m_statements.count(statementId) == 0 && m_catalogCalls.count(statementId) == 0 && !name.empty())
    m_statementNames[statementId] = std::move(name);
  AddQueryStatement(statementId, objectType, statement);
}

void SchemaSourceReaderI::AddCatalogCall(int statementId, int objectType, CatalogCall call, std::u16string name) {
  m_statementObjectTypes[statementId] = objectType;
  if (m_statements.count(statementId) != 0 || m_catalogCalls.count(statementId) != 0) return;
  if (!name.empty()) m_statementNames[statementId] = std::move(name);
  m_catalogCalls.emplace(statementId, std::move(call));
}

bool SchemaSourceReaderI::SetCatalogCallArguments(int statementId, std::vector<CatalogCall::Arguments> calls) {
  const auto it = m_catalogCalls.find(statementId);
  if (it == m_catalogCalls.end()) return false;
  it->second.calls = std::move(calls);
  return true;
}

const CatalogCall* SchemaSourceReaderI::GetCatalogCall(int statementId) const {
  const auto it = m_catalogCalls.find(statementId);
  return it == m_catalogCalls.end() ? nullptr : &it->second;
}

std::u16string SchemaSourceReaderI::StatementName(int statementId) const {
  const auto it = m_statementNames.find(statementId);
  if (it != m_statementNames.end()) return it->second;
  return u"statement " + CString::FromUtf8(std::to_string(statementId)).str();
}

void SchemaSourceReaderI::SetStatementRowAction(int statementId, QueryResultRowActionI* action) {
  m_rowActions.try_emplace(statementId, action);
}

QueryResultRowActionI* SchemaSourceReaderI::GetStatementRowAction(int statementId) const {
  const auto it = m_rowActions.find(statementId);
  return it == m_rowActions.end() ? nullptr : it->second;
}

void SchemaSourceReaderI::ClearAll() {
  m_statements.clear();
  m_catalogCalls.clear();
  m_statementNames.clear();
  // Detach the table before deleting, so that an action's destructor sees
  // no half-deleted table; an action stored under two ids is deleted once.
  std::vector<QueryResultRowActionI*> owned;
  for (const auto& [id, action] : m_rowActions)
    if (action != nullptr && std::find(owned.begin(), owned.end(), action) == owned.end()) owned.push_back(action);
  m_rowActions.clear();
  for (QueryResultRowActionI* action : owned) delete action;
  m_statementsRegistered = false;
}

void SchemaSourceReaderI::ProcessRecord(int statementId, CommonDataObject& record) {
  if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->ProcessRow(m_model, record);
}

void SchemaSourceReaderI::DispatchPreProcess(int statementId) {
  if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->PreExecute(m_model);
}

void SchemaSourceReaderI::DispatchPostProcess(int statementId) {
  if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->PostExecute(m_model);
}

void SchemaSourceReaderI::UpdateObjectCount(int statementId, int count) {
  const auto it = m_statementObjectTypes.find(statementId);
  if (it == m_statementObjectTypes.end() || it->second <= 0) return;
  m_objectCounts[it->second] += count;
}

void SchemaSourceReaderI::ReportFailure(int statementId, OdbcDiagnostic diagnostic, std::u16string name) {
  m_failedStatements.push_back(FailedStatement{statementId, std::move(diagnostic), std::move(name)});
}

void SchemaSourceReaderI::ClearFailedStatements() {
  m_failedStatements.clear();
  m_stopped = false;
  m_connectionLost = false;
}

std::vector<QmFailedStatement> SchemaSourceReaderI::Failures() const {
  std::vector<QmFailedStatement> failures;
  failures.reserve(m_failedStatements.size());
  for (const FailedStatement& failure : m_failedStatements)
    failures.push_back(QmFailedStatement{failure.statementId,
                                         failure.name.empty() ? StatementName(failure.statementId) : failure.name,
                                         failure.diagnostic});
  return failures;
}

// ---- The read loop.

bool SchemaSourceReaderI::StopRequested() {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  return session != nullptr && session->IsFlagRaised();
}

OdbcDiagnostic SchemaSourceReaderI::TryImportObjects(int statementId) {
  const std::size_t before = m_failedStatements.size();
  ImportObjects(statementId);
  if (m_failedStatements.size() == before) return {};
  // A statement records one failure; should a row action have run others,
  // the statement's own is the last.
  OdbcDiagnostic failure = std::move(m_failedStatements.back().diagnostic);
  m_failedStatements.resize(before);
  return failure;
}

bool SchemaSourceReaderI::RunStatement(int statementId) {
  if (StopRequested()) {
    m_stopped = true;
    return false;
  }
  if (m_connectionLost) {
    ReportFailure(statementId, OdbcDiagnostic::FromModule(u"not run: the connection to the server was lost"));
    return false;
  }
  NotifyImporting(statementId);
  for (int attempt = 1;; ++attempt) {
    OdbcDiagnostic failure = TryImportObjects(statementId);
    if (failure.IsEmpty()) {
      OnStatementEnded(statementId);
      break;
    }
    const AfterFailure next = OnStatementFailed(statementId, failure, attempt);
    if (next == AfterFailure::Abandon) {
      m_connectionLost = true;
      ReportFailure(statementId, std::move(failure));
      break;
    }
    OnStatementEnded(statementId);
    if (next == AfterFailure::Retry) continue;
    if (next == AfterFailure::Report) ReportFailure(statementId, std::move(failure));
    break;
  }
  NotifyImported(statementId);
  return !m_connectionLost;
}

bool SchemaSourceReaderI::RunStatements(std::span<const int> statementIds) {
  bool whole = true;
  for (int statementId : statementIds) {
    if (RunStatement(statementId)) continue;
    whole = false;
    if (m_stopped) break;
  }
  return whole;
}

SchemaSourceReaderI::AfterFailure SchemaSourceReaderI::OnStatementFailed(int, OdbcDiagnostic& failure, int) {
  const bool lost = failure.origin == OdbcDiagnostic::Origin::Driver && failure.sqlState.starts_with(u"08");
  if (lost || (m_connector != nullptr && m_connector->ConnectionLost())) return AfterFailure::Abandon;
  return AfterFailure::Report;
}

void SchemaSourceReaderI::OnStatementEnded(int) {}

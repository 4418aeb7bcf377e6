// The reader's tables: statements, row actions, object types and counts.
// Running a statement and fetching its rows is in StatementFetch.cpp.
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <algorithm>
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
  m_statements.try_emplace(statementId, statement);
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

void SchemaSourceReaderI::RecordFailure(int statementId, OdbcDiagnostic diagnostic) {
  m_failedStatements.push_back(FailedStatement{statementId, std::move(diagnostic)});
}

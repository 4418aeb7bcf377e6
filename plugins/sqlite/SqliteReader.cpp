#include "SqliteReader.h"

#include "SqliteConnector.h"
#include "SqliteRowActions.h"
#include "SqliteSqlText.h"

#include <gatehouse/InterfaceProvider.h>

#include <algorithm>

namespace qm::sqlite {
namespace {

// True when the host has asked the running import to stop.
bool StopRequested() {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  return session != nullptr && session->IsFlagRaised();
}

}  // namespace

void SqliteReader::RegisterQueryStatements() {
  std::vector<int> ids = ReadStatementIds();
  ids.insert(ids.begin(), kDatabases);
  for (int id : ids) {
    AddQueryStatement(id, qm::sqlite::StatementObjectType(id), CString(StatementText(id, {})));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, CreateRowAction(id, &m_scope));
  }
}

void SqliteReader::PreProcessQueryStatement(int statementId, CString& statement) {
  if (statementId == kDatabases || m_scope.databases.empty()) return;
  std::u16string text = StatementText(statementId, m_scope.databases);
  if (!text.empty()) statement = CString(std::move(text));
}

bool SqliteReader::RunStatement(int statementId) {
  if (StopRequested()) return false;
  NotifyImporting(statementId);
  ImportObjects(statementId);
  NotifyImported(statementId);
  return true;
}

void SqliteReader::GetAvailableObjects() {
  m_scope.databases.clear();
  m_scope.wanted.clear();
  for (const std::u16string& name : ParseScope(m_reScope.view())) m_scope.wanted.push_back(FoldAscii(name));
  RunStatement(kDatabases);
}

void SqliteReader::ReadObjects() {
  // Without a database list (its statement failed) the statements read
  // main, unless the scope leaves main out.
  const std::vector<std::u16string>& wanted = m_scope.wanted;
  const bool readable = !m_scope.databases.empty() || wanted.empty() ||
                        std::find(wanted.begin(), wanted.end(), u"main") != wanted.end();
  if (readable)
    for (int id : ReadStatementIds())
      if (!RunStatement(id)) break;
  // The list belongs to this import: a later ReadObjects without
  // GetAvailableObjects reads main rather than another import's databases.
  m_scope.databases.clear();
  m_scope.wanted.clear();
}

std::vector<QmFailedStatement> SqliteReader::Failures() const {
  std::vector<QmFailedStatement> failures;
  for (const FailedStatement& failure : GetFailedStatements())
    failures.push_back(QmFailedStatement{failure.statementId, StatementName(failure.statementId), failure.diagnostic});
  return failures;
}

}  // namespace qm::sqlite

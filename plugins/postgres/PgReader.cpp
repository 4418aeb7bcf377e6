#include "PgReader.h"

#include "PgCatalog.h"
#include "PgConnector.h"
#include "PgRowActions.h"
#include "PgText.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ImportedObjectCaches.h>

namespace qm::postgres {
namespace {

// True when the host has asked the running import to stop.
bool StopRequested() {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  return session != nullptr && session->IsFlagRaised();
}

// SQLSTATEs that mean the session is gone: connection exceptions (class
// 08) and the server shutting the backend down (57P01..57P03).
bool MeansConnectionLost(const std::u16string& sqlState) {
  return sqlState.starts_with(u"08") || sqlState == u"57P01" || sqlState == u"57P02" || sqlState == u"57P03";
}

}  // namespace

PgConnector* PgReader::Connector() const { return dynamic_cast<PgConnector*>(m_connector); }

void PgReader::RegisterQueryStatements() {
  for (int id : StatementIds()) {
    AddQueryStatement(id, qm::postgres::StatementObjectType(id), CString(StatementText(id, ScopeFilter(u"n.nspname", {}), 0)));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, CreateRowAction(id));
  }
}

void PgReader::GetAvailableObjects() {
  m_notRun.clear();
  m_scopeFilter = ScopeFilter(u"n.nspname", ParseScope(m_reScope.view()));
  const PgConnector* connector = Connector();
  m_serverVersion = connector != nullptr ? connector->ServerVersion() : 0;
}

void PgReader::PreProcessQueryStatement(int statementId, CString& statement) {
  if (m_scopeFilter.empty()) m_scopeFilter = ScopeFilter(u"n.nspname", {});
  std::u16string text = StatementText(statementId, m_scopeFilter, m_serverVersion);
  if (!text.empty()) statement = CString(std::move(text));
}

void PgReader::ReadObjects() {
  PgConnector* connector = Connector();
  bool connectionLost = false;
  for (int id : StatementIds()) {
    if (StopRequested()) break;
    if (connectionLost) {
      m_notRun.push_back(FailedStatement{
          id, OdbcDiagnostic{u"08003", 0, u"not run: the connection to the server was lost"}});
      continue;
    }
    const std::size_t failuresBefore = GetFailedStatements().size();
    NotifyImporting(id);
    ImportObjects(id);
    NotifyImported(id);
    if (GetFailedStatements().size() == failuresBefore) continue;
    if (MeansConnectionLost(GetFailedStatements().back().diagnostic.sqlState) ||
        (connector != nullptr && connector->ConnectionLost())) {
      connectionLost = true;
    } else if (connector != nullptr) {
      // Whatever the driver's rollback level, the next statement must not
      // find the transaction aborted.
      connector->RollbackTransaction();
    }
  }
  // The included columns of every index and key read, as property 180; run
  // once, after all statements, so that a failed statement costs only its
  // own objects' lists.
  ImportedIndexCache::Instance()->ProcessIncludedColumns();
  m_scopeFilter.clear();
}

std::vector<QmFailedStatement> PgReader::Failures() const {
  std::vector<QmFailedStatement> failures;
  for (const FailedStatement& failure : GetFailedStatements())
    failures.push_back(QmFailedStatement{failure.statementId, StatementName(failure.statementId), failure.diagnostic});
  for (const FailedStatement& failure : m_notRun)
    failures.push_back(QmFailedStatement{failure.statementId, StatementName(failure.statementId), failure.diagnostic});
  return failures;
}

}  // namespace qm::postgres

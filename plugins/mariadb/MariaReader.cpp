#include "MariaReader.h"

#include "MariaConnector.h"
#include "MariaRowActions.h"

#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/ScopeList.h>

namespace qm::mariadb {
namespace {

// True when the host has asked the running import to stop.
bool StopRequested() {
  ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState();
  return session != nullptr && session->IsFlagRaised();
}

}  // namespace

MariaConnector* MariaReader::Connector() const { return dynamic_cast<MariaConnector*>(m_connector); }

void MariaReader::RegisterQueryStatements() {
  for (int id : StatementIds()) {
    // The sequence values statement has no text of its own: it is made per
    // import, and registered with a placeholder that reads nothing.
    const std::u16string text = id == kSequenceValues ? std::u16string(u"SELECT 1 FROM DUAL WHERE FALSE")
                                                      : StatementText(id, {});
    AddQueryStatement(id, qm::mariadb::StatementObjectType(id), CString(text));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, CreateRowAction(id, &m_sequences));
  }
}

void MariaReader::GetAvailableObjects() {
  m_failures.clear();
  m_sequences.clear();
  m_scope = ParseScope(m_reScope.view());
}

void MariaReader::PreProcessQueryStatement(int statementId, CString& statement) {
  std::u16string text =
      statementId == kSequenceValues ? SequenceValuesText(m_sequences) : StatementText(statementId, m_scope);
  if (!text.empty()) statement = CString(std::move(text));
}

bool MariaReader::Applies(int statementId) const {
  if (statementId == kSequenceValues) return !m_sequences.empty();
  if (statementId == kRoutineBodies) {
    const MariaConnector* connector = Connector();
    return connector == nullptr || connector->ProcReadable();
  }
  return true;
}

void MariaReader::ReadObjects() {
  bool connectionLost = false;
  for (int id : StatementIds()) {
    if (StopRequested()) break;
    if (!Applies(id)) continue;
    if (connectionLost) {
      m_failures.push_back(
          FailedStatement{id, OdbcDiagnostic{u"08003", 0, u"not run: the connection to the server was lost"}});
      continue;
    }
    NotifyImporting(id);
    const std::size_t failuresBefore = GetFailedStatements().size();
    ImportObjects(id);
    if (GetFailedStatements().size() > failuresBefore) {
      const FailedStatement& failure = GetFailedStatements().back();
      m_failures.push_back(failure);
      const MariaConnector* connector = Connector();
      connectionLost = MariaConnector::MeansConnectionLost(failure.diagnostic) ||
                       (connector != nullptr && connector->ConnectionDead());
    }
    NotifyImported(id);
  }
  m_scope.clear();
  m_sequences.clear();
}

std::vector<QmFailedStatement> MariaReader::Failures() const {
  std::vector<QmFailedStatement> failures;
  for (const FailedStatement& failure : m_failures)
    failures.push_back(QmFailedStatement{failure.statementId, StatementName(failure.statementId), failure.diagnostic});
  return failures;
}

}  // namespace qm::mariadb

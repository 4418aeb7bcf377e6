#include "MariaReader.h"

#include "MariaConnector.h"
#include "MariaRowActions.h"
#include "MariaText.h"

#include <schemaimport/ScopeList.h>

#include <algorithm>

namespace qm::mariadb {
namespace {

// The server's "Lock wait timeout exceeded", for a metadata lock
// (lock_wait_timeout) as for a row lock (innodb_lock_wait_timeout).
constexpr int kLockWaitTimeout = 1205;

}  // namespace

MariaConnector* MariaReader::Connector() const { return dynamic_cast<MariaConnector*>(m_connector); }

void MariaReader::RegisterQueryStatements() {
  for (int id : StatementIds()) {
    // The sequence values statement has no text of its own: it is made per
    // import, and registered with a placeholder that reads nothing.
    const std::u16string text = id == kSequenceValues ? std::u16string(u"SELECT 1 FROM DUAL WHERE FALSE")
                                                      : StatementText(id, {});
    AddQueryStatement(id, qm::mariadb::StatementObjectType(id), CString(text), qm::mariadb::StatementName(id));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, CreateRowAction(id, &m_sequences));
  }
}

void MariaReader::GetAvailableObjects() {
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

MariaReader::AfterFailure MariaReader::OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) {
  if (MariaConnector::MeansConnectionLost(failure)) return AfterFailure::Abandon;
  const AfterFailure next = SchemaSourceReaderI::OnStatementFailed(statementId, failure, attempt);
  if (next == AfterFailure::Report && failure.nativeError == kLockWaitTimeout && Connector() != nullptr)
    failure.message += u" (a table is locked by another session; waited " +
                       Decimal(std::max(Connector()->GetConnectOptions().timeoutSeconds, 1)) + u" s, see --timeout)";
  return next;
}

void MariaReader::ReadObjects() {
  // One at a time: whether the sequence values statement applies is known
  // only once the sequences are read.
  for (int id : StatementIds())
    if (Applies(id)) RunStatement(id);
  m_scope.clear();
  m_sequences.clear();
}

}  // namespace qm::mariadb

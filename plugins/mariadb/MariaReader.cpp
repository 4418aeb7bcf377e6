#include "MariaReader.h"

#include "MariaConnector.h"
#include "MariaRowActions.h"
#include "MariaText.h"

#include <schemaimport/ModelWriting.h>
#include <schemaimport/OdbcSupport.h>
#include <schemaimport/ScopeList.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>

namespace qm::mariadb {
namespace {

// The server's "Lock wait timeout exceeded", for a metadata lock
// (lock_wait_timeout) as for a row lock (innodb_lock_wait_timeout).
constexpr int kLockWaitTimeout = 1205;

// The server's refusals for want of a privilege on a table or a column.
bool MeansNoPrivilege(int nativeError) { return nativeError == 1142 || nativeError == 1143; }

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
  // Grants only when the host asked: the model, and the import's cost,
  // are otherwise what they always were.
  if (statementId == kPrivileges) return Connector() != nullptr && Connector()->GetConnectOptions().withPrivileges;
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
  // Objects this import makes come after those the model already holds.
  const int firstNew = m_model != nullptr ? m_model->GetObjectCount() + 1 : 1;
  if (m_model != nullptr && Applies(kPrivileges)) SetIntegerProperty(*m_model->GetCMOObject(), model::PrivilegesRead, 1);
  for (int id : StatementIds()) {
    if (!Applies(id)) continue;
    const std::size_t failedBefore = GetFailedStatements().size();
    if (RunStatement(id) && id == kColumns && GetFailedStatements().size() == failedBefore)
      ReportUnreadableViews(firstNew);
  }
  m_scope.clear();
  m_sequences.clear();
}

void MariaReader::ReportUnreadableViews(int firstNew) {
  if (m_model == nullptr || m_connector == nullptr || m_connector->GetConnectionHandle() == nullptr) return;
  for (int id = firstNew; id <= m_model->GetObjectCount(); ++id) {
    const CMOObject* view = m_model->GetCMOObject(id);
    if (view == nullptr || view->GetObjectType() != model::View) continue;
    std::vector<int> columns;
    view->GetChildrenByType(columns, model::Column);
    if (!columns.empty()) continue;
    const CMOObject* schema = m_model->GetCMOObject(view->GetParentId());
    const CMOProperty* viewName = view->GetProperty(model::Name);
    const CMOProperty* schemaName = schema != nullptr ? schema->GetProperty(model::Name) : nullptr;
    if (viewName == nullptr || schemaName == nullptr) continue;
    if (StopRequested()) return;
    const std::u16string name = QuoteIdentifier(schemaName->GetWStringValue()) + u"." +
                                QuoteIdentifier(viewName->GetWStringValue());
    OdbcDiagnostic failure = ExecuteOnConnection(m_connector->GetConnectionHandle(), u"SHOW COLUMNS FROM " + name);
    if (failure.IsEmpty() || MeansNoPrivilege(failure.nativeError)) continue;
    // The statement after this one finds the connection gone, and says so.
    if (MariaConnector::MeansConnectionLost(failure)) return;
    ReportFailure(kColumns, std::move(failure), u"columns of view " + name);
  }
}

}  // namespace qm::mariadb

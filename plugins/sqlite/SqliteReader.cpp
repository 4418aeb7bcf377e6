#include "SqliteReader.h"

#include "SqliteConnector.h"
#include "SqliteRowActions.h"
#include "SqliteSqlText.h"

#include <schemaimport/ImportedObjectCaches.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <span>

namespace qm::sqlite {

void SqliteReader::RegisterQueryStatements() {
  std::vector<int> ids = ReadStatementIds();
  ids.insert(ids.begin(), kDatabases);
  for (int id : ids) {
    AddQueryStatement(id, qm::sqlite::StatementObjectType(id), CString(StatementText(id, {})),
                      qm::sqlite::StatementName(id));
    // A registered action stays; a second one would not be taken over.
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, CreateRowAction(id, &m_scope));
  }
}

void SqliteReader::PreProcessQueryStatement(int statementId, CString& statement) {
  if (m_only != nullptr) {
    statement = CString(ObjectStatementText(statementId, *m_only));
    return;
  }
  if (statementId == kDatabases || m_scope.databases.empty()) return;
  std::u16string text = StatementText(statementId, m_scope.databases);
  if (!text.empty()) statement = CString(std::move(text));
}

SqliteReader::AfterFailure SqliteReader::OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt) {
  if (!HasObjectForm(statementId)) return SchemaSourceReaderI::OnStatementFailed(statementId, failure, attempt);
  // By database, in catalogue order (the statement reads them so).
  std::vector<std::vector<const RelationName*>> groups;
  for (const RelationName& relation : statementId == kViewColumns ? m_scope.views : m_scope.virtualTables) {
    if (groups.empty() || groups.back().front()->database.seq != relation.database.seq) groups.emplace_back();
    groups.back().push_back(&relation);
  }
  for (const std::vector<const RelationName*>& group : groups) {
    // One database alone: its whole is what just failed.
    if (groups.size() == 1 && group.size() > 1) {
      const auto middle = group.begin() + static_cast<std::ptrdiff_t>(group.size() / 2);
      ReadPart(statementId, WithoutColumns({group.begin(), middle}));
      ReadPart(statementId, WithoutColumns({middle, group.end()}));
    } else {
      ReadPart(statementId, WithoutColumns(group));
    }
  }
  return AfterFailure::Handled;
}

void SqliteReader::ReadPart(int statementId, const std::vector<const RelationName*>& relations) {
  if (relations.empty() || StopRequested()) return;
  OdbcDiagnostic failure;
  {
    // Reset however ImportObjects ends: the list is this call's.
    struct Reset {
      const std::vector<const RelationName*>*& only;
      ~Reset() { only = nullptr; }
    } reset{m_only};
    m_only = &relations;
    failure = TryImportObjects(statementId);
  }
  if (failure.IsEmpty()) return;
  if (relations.size() == 1) {
    const RelationName& relation = *relations.front();
    ReportFailure(statementId, std::move(failure),
                  (statementId == kViewColumns ? u"columns of view " : u"columns of virtual table ") +
                      QuoteIdentifier(relation.database.name) + u'.' + QuoteIdentifier(relation.name));
    return;
  }
  // Rows handed on before the failure stay: a relation's rows come whole or
  // not at all (SQLite fails before its first one).
  const auto middle = relations.begin() + static_cast<std::ptrdiff_t>(relations.size() / 2);
  ReadPart(statementId, WithoutColumns({relations.begin(), middle}));
  ReadPart(statementId, WithoutColumns({middle, relations.end()}));
}

std::vector<const RelationName*> SqliteReader::WithoutColumns(const std::vector<const RelationName*>& relations) const {
  std::vector<const RelationName*> without;
  for (const RelationName* relation : relations)
    if (!HasColumns(*relation)) without.push_back(relation);
  return without;
}

bool SqliteReader::HasColumns(const RelationName& relation) const {
  const CMOObject* object =
      ImportedObjectCache::Instance()->FindObject(CString(ObjectKey(relation.database.name, relation.name)));
  if (object == nullptr || m_model == nullptr) return false;
  for (int childId : object->GetChildIds()) {
    const CMOObject* child = m_model->GetCMOObject(childId);
    if (child != nullptr && child->GetObjectType() == model::Column) return true;
  }
  return false;
}

void SqliteReader::GetAvailableObjects() {
  m_scope.ClearRead();
  m_scope.wanted.clear();
  m_only = nullptr;
  for (const std::u16string& name : ParseScope(m_reScope.view())) m_scope.wanted.push_back(FoldAscii(name));
  RunStatement(kDatabases);
}

void SqliteReader::ReadObjects() {
  // Without a database list (its statement failed) the statements read
  // main, unless the scope leaves main out.
  const std::vector<std::u16string>& wanted = m_scope.wanted;
  const bool readable = !m_scope.databases.empty() || wanted.empty() ||
                        std::find(wanted.begin(), wanted.end(), u"main") != wanted.end();
  if (readable) {
    // Checks come from the CREATE texts the tables statement read; they
    // follow the keys and foreign keys.
    const std::vector<int>& ids = ReadStatementIds();
    const auto checks = std::find(ids.begin(), ids.end(), kForeignKeyColumns) + 1;
    if (RunStatements(std::span<const int>(ids.begin(), checks)) && m_model != nullptr)
      CreateCheckConstraints(*m_model, m_scope);
    RunStatements(std::span<const int>(checks, ids.end()));
  }
  // What was read belongs to this import: a later ReadObjects without
  // GetAvailableObjects reads main rather than another import's databases.
  m_scope.ClearRead();
  m_scope.wanted.clear();
}

}  // namespace qm::sqlite

#include <schemaimport/QueryResultActions.h>

#include <algorithm>
#include <utility>
#include <vector>

QueryResultColumnActionI::~QueryResultColumnActionI() = default;

QueryResultRowActionI::~QueryResultRowActionI() {
  // In ascending name order; a pointer stored under two names by mistake is
  // deleted once rather than twice.
  std::vector<QueryResultColumnActionI*> owned;
  for (const auto& [name, action] : m_columnActions)
    if (action != nullptr && std::find(owned.begin(), owned.end(), action) == owned.end()) owned.push_back(action);
  m_columnActions.clear();
  for (QueryResultColumnActionI* action : owned) delete action;
}

void QueryResultRowActionI::PreExecute(GenericModel*) {}

void QueryResultRowActionI::PostExecute(GenericModel*) {}

void QueryResultRowActionI::SetColumnAction(std::u16string columnName, QueryResultColumnActionI* action) {
  m_columnActions[std::move(columnName)] = action;
}

QueryResultColumnActionI* QueryResultRowActionI::GetColumnAction(std::u16string columnName) const {
  const auto it = m_columnActions.find(columnName);
  return it == m_columnActions.end() ? nullptr : it->second;
}

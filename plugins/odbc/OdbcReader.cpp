#include "OdbcReader.h"

#include "OdbcSource.h"

#include <schemaimport/ConnectionString.h>
#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/ScopeList.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <utility>

namespace qm::odbc {
namespace {

// The statements, in the order ReadObjects runs them.
enum StatementId : int {
  kTables = 1,
  kColumns = 2,
  kPrimaryKeys = 3,
  kIndexes = 4,
  kForeignKeys = 5,
  kRoutines = 6,
  kParameters = 7,
};

CatalogCall::Arguments InSchema(const std::u16string& schema) {
  CatalogCall::Arguments arguments;
  arguments.schema = schema;
  return arguments;
}

CatalogCall::Arguments InCatalog(const std::u16string& catalog) {
  CatalogCall::Arguments arguments;
  arguments.catalog = catalog;
  return arguments;
}

CatalogCall Call(CatalogCall::Function function) {
  CatalogCall call;
  call.function = function;
  return call;
}

}  // namespace

void OdbcReader::RegisterQueryStatements() {
  using Function = CatalogCall::Function;
  AddCatalogCall(kTables, model::Table, Call(Function::Tables), u"tables and views");
  AddCatalogCall(kColumns, model::Column, Call(Function::Columns), u"columns");
  AddCatalogCall(kPrimaryKeys, model::Key, Call(Function::PrimaryKeys), u"primary keys");
  AddCatalogCall(kIndexes, model::Index, Call(Function::Statistics), u"indexes");
  AddCatalogCall(kForeignKeys, model::ForeignKey, Call(Function::ForeignKeys), u"foreign keys");
  AddCatalogCall(kRoutines, model::Routine, Call(Function::Procedures), u"procedures");
  AddCatalogCall(kParameters, model::Parameter, Call(Function::ProcedureColumns), u"procedure parameters");
  const std::pair<int, QueryResultRowActionI* (*)(ReadState&)> actions[] = {
      {kTables, &NewTablesAction},           {kColumns, &NewColumnsAction},   {kPrimaryKeys, &NewPrimaryKeysAction},
      {kIndexes, &NewIndexesAction},         {kForeignKeys, &NewForeignKeysAction}, {kRoutines, &NewRoutinesAction},
      {kParameters, &NewParametersAction}};
  for (const auto& [id, make] : actions)
    if (GetStatementRowAction(id) == nullptr) SetStatementRowAction(id, make(m_state));
}

void OdbcReader::Notice(const std::u16string& text) const {
  if (m_connector != nullptr && m_connector->GetConnectOptions().notice) m_connector->GetConnectOptions().notice(text);
}

std::vector<CatalogCall::Arguments> OdbcReader::ScopeCalls() {
  const std::vector<std::u16string> names = ParseScope(m_reScope.view());
  const SourceFacts& facts = m_state.facts;
  std::vector<CatalogCall::Arguments> calls;
  switch (facts.level) {
    case NamingLevel::Schema:
      if (names.empty()) calls.emplace_back();
      for (const std::u16string& name : names) calls.push_back(InSchema(name));
      break;
    case NamingLevel::Catalog:
      if (names.empty()) {
        CatalogCall::Arguments all;
        if (!facts.currentCatalog.empty()) all.catalog = facts.currentCatalog;
        calls.push_back(std::move(all));
      }
      for (const std::u16string& name : names) calls.push_back(InCatalog(name));
      break;
    case NamingLevel::None: {
      const std::u16string single = facts.SingleSchemaName();
      if (names.empty() || std::find(names.begin(), names.end(), single) != names.end()) {
        calls.emplace_back();
      } else {
        Notice(u"the driver names no schemas or catalogs: the one schema of this source is \"" + single +
               u"\", which the scope does not name; nothing is imported");
      }
      break;
    }
  }
  return calls;
}

std::vector<CatalogCall::Arguments> OdbcReader::TableCalls() const {
  std::vector<CatalogCall::Arguments> calls;
  for (const FoundTable& table : m_state.tables)
    if (!table.view) {
      CatalogCall::Arguments arguments;
      arguments.catalog = table.catalog;
      arguments.schema = table.schema;
      arguments.object = table.name;
      calls.push_back(std::move(arguments));
    }
  return calls;
}

void OdbcReader::RunPerTable(int statementId, bool available, const char16_t* function, const char16_t* what) {
  if (!available) {
    Notice(u"the driver has no " + std::u16string(function) + u" (SQLGetFunctions): " + what + u" are not imported");
    return;
  }
  std::vector<CatalogCall::Arguments> calls = TableCalls();
  // No table: no call (an empty set would be one call for every table).
  if (calls.empty()) return;
  SetCatalogCallArguments(statementId, std::move(calls));
  RunStatement(statementId);
}

void OdbcReader::ReadObjects() {
  m_state.Clear();
  if (m_connector == nullptr) return;
  m_state.facts = ReadSourceFacts(m_connector->GetConnectionHandle(), m_connector->GetDatabaseName());
  const std::vector<CatalogCall::Arguments> scope = ScopeCalls();
  if (scope.empty()) return;

  SetCatalogCallArguments(kTables, scope);
  if (!RunStatement(kTables)) return;
  if (m_state.tables.empty() && GetFailedStatements().empty()) {
    std::u16string text = u"the driver reported no tables or views";
    if (!m_reScope.IsEmpty()) text += u" in the schemas the scope names";
    if (m_state.skippedTypes > 0)
      text += u" (only " + CString::FromUtf8(std::to_string(m_state.skippedTypes)).str() +
              u" of the database's own, aliases or temporary tables, which are not imported)";
    Notice(text);
  }
  if (!m_state.tables.empty()) {
    SetCatalogCallArguments(kColumns, scope);
    if (!RunStatement(kColumns)) return;
    RunPerTable(kPrimaryKeys, m_state.facts.primaryKeys, u"SQLPrimaryKeys", u"primary keys");
    RunPerTable(kIndexes, m_state.facts.statistics, u"SQLStatistics", u"indexes");
    RunPerTable(kForeignKeys, m_state.facts.foreignKeys, u"SQLForeignKeys", u"foreign keys");
  }
  if (m_state.facts.procedures) {
    SetCatalogCallArguments(kRoutines, scope);
    if (!RunStatement(kRoutines)) return;
    SetCatalogCallArguments(kParameters, scope);
    RunStatement(kParameters);
  } else if (m_state.facts.proceduresFunctionMissing) {
    Notice(u"the driver has no SQLProcedures or SQLProcedureColumns (SQLGetFunctions): routines are not imported");
  }
}

}  // namespace qm::odbc

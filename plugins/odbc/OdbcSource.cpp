#include "OdbcSource.h"

#include <sql.h>
#include <sqlext.h>

namespace qm::odbc {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::u16string InfoText(SQLHDBC connection, SQLUSMALLINT item) {
  SQLWCHAR text[256] = {};
  SQLSMALLINT bytes = 0;
  if (!Succeeded(SQLGetInfoW(connection, item, text, sizeof text - sizeof(SQLWCHAR), &bytes))) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

SQLUINTEGER InfoNumber(SQLHDBC connection, SQLUSMALLINT item) {
  SQLUINTEGER value = 0;
  if (!Succeeded(SQLGetInfoW(connection, item, &value, sizeof value, nullptr))) return 0;
  return value;
}

}  // namespace

std::u16string SourceFacts::SingleSchemaName() const { return databaseName.empty() ? u"default" : databaseName; }

std::u16string SourceFacts::SchemaName(std::u16string_view catalog, std::u16string_view schema) const {
  if (!schema.empty()) return std::u16string(schema);
  if (!catalog.empty()) return std::u16string(catalog);
  return SingleSchemaName();
}

SourceFacts ReadSourceFacts(void* connectionHandle, std::u16string databaseName) {
  const auto connection = static_cast<SQLHDBC>(connectionHandle);
  SourceFacts facts;
  facts.databaseName = std::move(databaseName);
  if (InfoNumber(connection, SQL_SCHEMA_USAGE) != 0) {
    facts.level = NamingLevel::Schema;
  } else if (InfoText(connection, SQL_CATALOG_NAME) == u"Y" && InfoNumber(connection, SQL_CATALOG_USAGE) != 0) {
    facts.level = NamingLevel::Catalog;
  }
  SQLWCHAR catalog[256] = {};
  SQLINTEGER bytes = 0;
  if (Succeeded(SQLGetConnectAttrW(connection, SQL_ATTR_CURRENT_CATALOG, catalog, sizeof catalog - sizeof(SQLWCHAR),
                                   &bytes)))
    facts.currentCatalog = reinterpret_cast<const char16_t*>(catalog);

  SQLUSMALLINT functions[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE] = {};
  if (Succeeded(SQLGetFunctions(connection, SQL_API_ODBC3_ALL_FUNCTIONS, functions))) {
    facts.primaryKeys = SQL_FUNC_EXISTS(functions, SQL_API_SQLPRIMARYKEYS) == SQL_TRUE;
    facts.foreignKeys = SQL_FUNC_EXISTS(functions, SQL_API_SQLFOREIGNKEYS) == SQL_TRUE;
    facts.statistics = SQL_FUNC_EXISTS(functions, SQL_API_SQLSTATISTICS) == SQL_TRUE;
    facts.procedures = SQL_FUNC_EXISTS(functions, SQL_API_SQLPROCEDURES) == SQL_TRUE &&
                       SQL_FUNC_EXISTS(functions, SQL_API_SQLPROCEDURECOLUMNS) == SQL_TRUE;
  } else {
    facts.procedures = true;
  }
  // A driver that says its source has no procedures (SQLite3) is not asked.
  if (InfoText(connection, SQL_PROCEDURES) != u"Y") {
    facts.procedures = false;
  } else if (!facts.procedures) {
    facts.proceduresFunctionMissing = true;
  }
  return facts;
}

}  // namespace qm::odbc

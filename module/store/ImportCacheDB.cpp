#include <schemaimport/ImportCacheDB.h>

namespace {

// The text as the body of an SQL string literal: every single quote
// doubled. Names and values come from the source database's catalogue and
// may hold quotes; substituted raw they would break or rewrite the
// statement.
CString SqlText(const CString& text) {
  CString quoted;
  for (const char16_t unit : text.view()) {
    quoted += unit;
    if (unit == u'\'') quoted += u'\'';
  }
  return quoted;
}

}  // namespace

ImportCacheDB* ImportCacheDB::Instance() {
  static ImportCacheDB instance;
  return &instance;
}

ImportCacheDB::ImportCacheDB() : m_cache(std::make_unique<SQLiteCache>()) {}

ImportCacheDB::~ImportCacheDB() = default;

void ImportCacheDB::Create() {
  // Opened and given its tables by the first statement a reader runs on it
  // (Created), not here: most imports park nothing in the store, and opening
  // SQLite and making five tables is a visible share of importing a small
  // database.
  m_cache->Close();
  m_createPending = true;
}

void ImportCacheDB::Created() {
  if (!m_createPending) return;
  m_createPending = false;
  m_cache->Open();
  Create_UDTTableStructures();
  Create_PartitionFunctionValuesStructures();
}

void ImportCacheDB::Create_UDTTableStructures() {
  m_cache->ExecuteDDL(u"create table udt_table(udt_schema_name text16, udt_name text16);");
  m_cache->ExecuteDDL(
      u"create table udt_table_column(udt_schema_name text16,udt_name text16,col_name text16,"
      u"data_type text16,null_option  int,column_id int)");
  m_cache->ExecuteDDL(u"create unique index udt_table_index on udt_table(udt_schema_name,udt_name);");
}

void ImportCacheDB::Create_PartitionFunctionValuesStructures() {
  m_cache->ExecuteDDL(
      u"create table pfv_table(pf_id int, pf_value_order int, pf_value_datatype int, pf_value text16);");
  m_cache->ExecuteDDL(u"create unique index pfv_table_index on pfv_table(pf_id,pf_value_order);");
}

void ImportCacheDB::Close() {
  m_createPending = false;
  m_cache->Close();
}

void ImportCacheDB::Reset() { Close(); }

void ImportCacheDB::InsertUDT(const CString& schemaName, const CString& typeName) {
  Created();
  CString statement;
  statement.Format(u"insert into udt_table(udt_schema_name,udt_name)values('%s','%s')", SqlText(schemaName),
                   SqlText(typeName));
  statement += u" on conflict(udt_schema_name,udt_name) do nothing;";
  m_cache->Insert(statement);
}

void ImportCacheDB::InsertUDTTableColumn(const CString& schemaName, const CString& typeName,
                                         const CString& columnName, const CString& dataType, int nullOption,
                                         int columnId) {
  InsertUDT(schemaName, typeName);  // makes the store first
  CString statement;
  statement.Format(
      u"insert into udt_table_column(udt_schema_name,udt_name,col_name,data_type,null_option,column_id)"
      u"values('%s','%s','%s','%s',%d,%d)",
      SqlText(schemaName), SqlText(typeName), SqlText(columnName), SqlText(dataType), nullOption, columnId);
  m_cache->Insert(statement);
}

void ImportCacheDB::GetUDTTableClause(const CString& schemaName, const CString& typeName, CString& clause) {
  Created();
  CString query;
  query.Format(
      u"select col_name,data_type,null_option from udt_table_column where udt_schema_name='%s' and "
      u"udt_name='%s' order by  column_id",
      SqlText(schemaName), SqlText(typeName));
  SLRecordSet rows = m_cache->ExecuteSQL(query);
  clause = u"(";
  while (rows.NextRecord()) {
    const CString columnName = rows.GetFieldValueString(0);
    const CString dataType = rows.GetFieldValueString(1);
    const char16_t* nullText = rows.GetFieldValueInt(2) != 0 ? u"NULL" : u"NOT NULL";
    CString entry;
    entry.Format(u"%s  %s  %s", columnName, dataType, nullText);
    clause += entry;
    clause += u",";
  }
  rows.Reset();
  clause.TrimRight(u",");
  clause += u")";
}

void ImportCacheDB::Insert_PartitionFunctionValue(int functionId, int valueOrder, int valueDataType,
                                                  const CString& value) {
  Created();
  CString statement;
  statement.Format(
      u"insert into pfv_table(pf_id,pf_value_order, pf_value_datatype,pf_value)values(%d,%d,%d,'%s');",
      functionId, valueOrder, valueDataType, SqlText(value));
  m_cache->Insert(statement);
}

void ImportCacheDB::GetPartitionFunctionValues(int functionId, CString& values) {
  Created();
  CString query;
  query.Format(u"select pf_value,pf_value_datatype from pfv_table where pf_id=%d order by pf_value_order",
               functionId);
  SLRecordSet rows = m_cache->ExecuteSQL(query);
  while (rows.NextRecord()) {
    values += u"'";
    values += rows.GetFieldValueString(0);
    values += u"',";
  }
  rows.Reset();
  values.TrimRight(u",");
}

SLRecordSet ImportCacheDB::ExecuteSQL(CString query) {
  Created();
  return m_cache->ExecuteSQL(query);
}

bool ImportCacheDB::IsSQSSystemTypeNumber(int /*typeNumber*/) const { return false; }

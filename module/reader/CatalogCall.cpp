// Running a catalogue call (CatalogCall.h): the ODBC catalogue function in
// place of SQLExecDirect, its result described and fetched by the same loop
// as a query's (StatementFetch.cpp), once per argument set, the row action
// seeing one run for all of them.
#include <schemaimport/OdbcSupport.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Frees a statement handle on every way out, a throwing row action included.
class CallHandle {
 public:
  explicit CallHandle(SQLHDBC connection) : m_rc(SQLAllocHandle(SQL_HANDLE_STMT, connection, &m_handle)) {
    if (!Succeeded(m_rc)) m_handle = SQL_NULL_HSTMT;
  }
  ~CallHandle() {
    if (m_handle != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
  }
  CallHandle(const CallHandle&) = delete;
  CallHandle& operator=(const CallHandle&) = delete;
  SQLHSTMT Get() const { return m_handle; }
  SQLRETURN AllocationResult() const { return m_rc; }

 private:
  SQLHSTMT m_handle = SQL_NULL_HSTMT;
  SQLRETURN m_rc;
};

// The driver's escape character for search patterns; empty when it has
// none (or says something longer than one character).
std::u16string SearchPatternEscape(SQLHDBC connection) {
  SQLWCHAR text[8] = {};
  SQLSMALLINT bytes = 0;
  if (!Succeeded(SQLGetInfoW(connection, SQL_SEARCH_PATTERN_ESCAPE, text, sizeof text, &bytes))) return {};
  const std::u16string escape(reinterpret_cast<const char16_t*>(text));
  return escape.size() == 1 ? escape : std::u16string();
}

// The name as a pattern that matches only itself.
std::u16string EscapedName(const std::u16string& name, const std::u16string& escape) {
  if (escape.empty()) return name;
  std::u16string text;
  text.reserve(name.size() + 4);
  for (char16_t ch : name) {
    if (ch == u'_' || ch == u'%' || ch == escape[0]) text += escape[0];
    text += ch;
  }
  return text;
}

// One argument as the driver gets it: a pointer and a length in characters,
// or a null pointer.
class Argument {
 public:
  Argument(const std::optional<std::u16string>& value, bool pattern, const std::u16string& escape) {
    if (!value) return;
    m_present = true;
    m_text = pattern ? EscapedName(*value, escape) : *value;
  }
  SQLWCHAR* Text() {
    return m_present ? reinterpret_cast<SQLWCHAR*>(m_text.data()) : nullptr;
  }
  SQLSMALLINT Length() const {
    return m_present ? static_cast<SQLSMALLINT>(std::min<std::size_t>(m_text.size(), 0x7FFF)) : 0;
  }

 private:
  bool m_present = false;  // false: a null pointer
  std::u16string m_text;   // the argument, escaped where it is a pattern
};

SQLRETURN Call(SQLHSTMT handle, const CatalogCall& call, const CatalogCall::Arguments& arguments,
               const std::u16string& escape) {
  // Which arguments the function reads as search patterns (ODBC's "pattern
  // value" arguments); the rest are taken literally.
  const bool patterns = !call.patterns;
  using Function = CatalogCall::Function;
  const bool tables = call.function == Function::Tables;
  const bool columns = call.function == Function::Columns || call.function == Function::ProcedureColumns;
  const bool procedures = call.function == Function::Procedures;
  const bool schemaPattern = patterns && (tables || columns || procedures);
  Argument catalog(arguments.catalog, patterns && tables, escape);
  Argument schema(arguments.schema, schemaPattern, escape);
  Argument object(arguments.object, schemaPattern, escape);
  Argument column(arguments.column, patterns && columns, escape);
  Argument types(arguments.tableTypes, false, escape);
  switch (call.function) {
    case Function::Tables:
      return SQLTablesW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(), object.Text(),
                        object.Length(), types.Text(), types.Length());
    case Function::Columns:
      return SQLColumnsW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(), object.Text(),
                         object.Length(), column.Text(), column.Length());
    case Function::PrimaryKeys:
      return SQLPrimaryKeysW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(), object.Text(),
                             object.Length());
    case Function::ForeignKeys:
      return SQLForeignKeysW(handle, nullptr, 0, nullptr, 0, nullptr, 0, catalog.Text(), catalog.Length(),
                             schema.Text(), schema.Length(), object.Text(), object.Length());
    case Function::Statistics:
      return SQLStatisticsW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(), object.Text(),
                            object.Length(), call.uniqueOnly ? SQL_INDEX_UNIQUE : SQL_INDEX_ALL, SQL_QUICK);
    case Function::Procedures:
      return SQLProceduresW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(), object.Text(),
                            object.Length());
    case Function::ProcedureColumns:
      return SQLProcedureColumnsW(handle, catalog.Text(), catalog.Length(), schema.Text(), schema.Length(),
                                  object.Text(), object.Length(), column.Text(), column.Length());
  }
  return SQL_ERROR;
}

// "SQLPrimaryKeys for "shop"."public"."orders"": the call, for a message.
std::u16string CallText(const CatalogCall& call, const CatalogCall::Arguments& arguments) {
  std::u16string text = CatalogCall::FunctionName(call.function);
  std::u16string names;
  for (const std::optional<std::u16string>* part : {&arguments.catalog, &arguments.schema, &arguments.object}) {
    if (!*part) continue;
    if (!names.empty()) names += u'.';
    names += u'"';
    for (char16_t ch : **part) {
      if (ch == u'"') names += u'"';
      names += ch;
    }
    names += u'"';
  }
  if (!names.empty()) text += u" for " + names;
  return text;
}

// A failure after which no further call can do better: the connection is
// gone, or the driver has no such function.
bool EndsTheCalls(const OdbcDiagnostic& failure) {
  return failure.sqlState.starts_with(u"08") || failure.sqlState == u"IM001" || failure.sqlState == u"HYC00";
}

}  // namespace

void SchemaSourceReaderI::ImportCatalogCall(int statementId, const CatalogCall& registered) {
  // A copy: a row action may set the arguments for the next run meanwhile.
  const CatalogCall call = registered;
  SQLHDBC connection = m_connector != nullptr ? static_cast<SQLHDBC>(m_connector->GetConnectionHandle()) : SQL_NULL_HDBC;
  if (connection == SQL_NULL_HDBC) {
    ReportFailure(statementId, OdbcDiagnostic::FromModule(u"no open connection to run the statement on"));
    return;
  }
  const std::u16string escape = call.patterns ? std::u16string() : SearchPatternEscape(connection);
  const std::vector<CatalogCall::Arguments> single(1);
  const std::vector<CatalogCall::Arguments>& calls = call.calls.empty() ? single : call.calls;

  // The row action's run is open from the first result on, and closed
  // however the calls end.
  struct RunGuard {
    bool& open;
    ~RunGuard() { open = false; }
  } guard{m_catalogRunOpen};
  bool started = false;
  int rows = 0;
  OdbcDiagnostic firstFailure;
  std::size_t failedCalls = 0;
  std::size_t made = 0;
  auto fail = [&](OdbcDiagnostic failure, const CatalogCall::Arguments& arguments) {
    ++failedCalls;
    if (firstFailure.IsEmpty()) {
      firstFailure = std::move(failure);
      firstFailure.message = CallText(call, arguments) + u": " + firstFailure.message;
    }
  };

  for (const CatalogCall::Arguments& arguments : calls) {
    // The host may stop the import between two calls of a long statement.
    if (made > 0 && StopRequested()) break;
    ++made;
    CallHandle handle(connection);
    if (handle.Get() == SQL_NULL_HSTMT) {
      fail(ReadOdbcDiagnostic(SQL_HANDLE_DBC, connection, u"SQLAllocHandle(SQL_HANDLE_STMT)", handle.AllocationResult()),
           arguments);
      break;
    }
    // Names are patterns (escaped above), not identifiers, whatever the
    // connection's default; a driver that does not know the attribute reads
    // them so anyway.
    SQLSetStmtAttrW(handle.Get(), SQL_ATTR_METADATA_ID, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_FALSE)), 0);
    const SQLRETURN rc = Call(handle.Get(), call, arguments, escape);
    if (!Succeeded(rc)) {
      OdbcDiagnostic failure = ReadOdbcDiagnostic(SQL_HANDLE_STMT, handle.Get(), CatalogCall::FunctionName(call.function), rc);
      const bool last = EndsTheCalls(failure);
      fail(std::move(failure), arguments);
      if (last) break;
      continue;
    }
    SQLSMALLINT columnCount = 0;
    SQLNumResultCols(handle.Get(), &columnCount);
    if (columnCount < 1) continue;
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(columnCount));
    RetrieveColumnDetails(handle.Get(), columns.data());
    if (!started) {
      started = true;
      DispatchPreProcess(statementId);
    }
    m_catalogRunOpen = true;
    const std::size_t before = GetFailedStatements().size();
    FetchAndProcessRecords(handle.Get(), statementId, columns.data());
    m_catalogRunOpen = false;
    rows += m_recordCount;
    if (m_failedStatements.size() > before) {
      // The fetch broke off: that is this call's failure.
      OdbcDiagnostic failure = std::move(m_failedStatements.back().diagnostic);
      m_failedStatements.resize(before);
      const bool last = EndsTheCalls(failure);
      fail(std::move(failure), arguments);
      if (last) break;
    }
  }
  if (started) DispatchPostProcess(statementId);
  m_recordCount = rows;
  if (failedCalls == 0) return;
  if (calls.size() > 1) {
    firstFailure.message += u" (" + CString::FromUtf8(std::to_string(failedCalls)).str() + u" of " +
                            CString::FromUtf8(std::to_string(calls.size())).str() + u" calls failed";
    if (made < calls.size())
      firstFailure.message += u"; " + CString::FromUtf8(std::to_string(calls.size() - made)).str() + u" not made";
    firstFailure.message += u")";
  }
  ReportFailure(statementId, std::move(firstFailure));
}

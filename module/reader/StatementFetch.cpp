// Running one catalogue statement: execute, describe the result columns,
// fetch every row into the reader's record and hand it to the row action;
// and running a plug-in's own statement on a connection (ExecuteOnConnection).
//
// Each value is asked for in the C type that matches its SQL type, never in
// the driver's default C type, whose layout differs between drivers (text
// where a number was expected, one byte where two were read):
//   wide text (-8, -9, -10)          SQL_C_WCHAR, taken as UTF-16      -> VT_BSTR
//   narrow text (1, 12, -1)          SQL_C_CHAR in the thread's code
//                                    page, pieces joined before decoding -> VT_BSTR
//   date/time codes (9, 10, 11)      SQL_C_CHAR, first piece only        -> VT_BSTR
//   integers (-7, -6, 5, 4, 2, 3, -5) SQL_C_SBIGINT, low 32 bits         -> VT_I4
//   binary, floating, timestamp 93   no entry, nothing shown
//   any other code                   the unhandled-type message, no entry
#include <schemaimport/OdbcSupport.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <platform/CodePage.h>
#include <platform/MessageBox.h>

#include <sql.h>
#include <sqlext.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The Windows names the module is written against, privately.
using namespace platform::win;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a 16-bit unit");

namespace {

// The one transfer buffer for a column value, in bytes.
constexpr SQLLEN kBufferBytes = 4000;

enum class ColumnKind : unsigned char {
  WideText,    // read in pieces as UTF-16
  NarrowText,  // read in pieces as bytes of the thread's code page
  DateText,    // narrow text, one piece
  Integer,     // 64-bit signed, low 32 bits kept
  NoEntry,     // not read at all: binary, floating point, SQL_TYPE_TIMESTAMP
  Unhandled,   // unhandled-type message unless NULL
};

ColumnKind KindOf(SQLSMALLINT dataType) {
  switch (dataType) {
    case SQL_WLONGVARCHAR:
    case SQL_WVARCHAR:
    case SQL_WCHAR:
      return ColumnKind::WideText;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
      return ColumnKind::NarrowText;
    case SQL_DATE:       // 9, SQL_DATETIME
    case SQL_TIME:       // 10, SQL_INTERVAL
    case SQL_TIMESTAMP:  // 11
      return ColumnKind::DateText;
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_BIGINT:
      return ColumnKind::Integer;
    case SQL_LONGVARBINARY:
    case SQL_VARBINARY:
    case SQL_BINARY:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
    case SQL_TYPE_TIMESTAMP:
      return ColumnKind::NoEntry;
    default:
      return ColumnKind::Unhandled;
  }
}

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// A result column's SQL type code, as SQLDescribeCol reports it: the
// concise type. It is asked for with SQLColAttribute, and so is the name:
// asked for a column's type through SQLDescribeCol, psqlODBC looks up the
// column's base table with a catalogue query of its own (one per statement
// and base table), inside the statement's transaction, and says nothing
// when that query fails (pg_attrdef closed to the role), leaving the
// transaction aborted and the statement's rows cut off; SQLColAttribute
// answers from the result's own description. SQLite's driver gives the same
// codes either way. SQL_DESC_TYPE is the verbose type: for dates, times and
// intervals (SQL_DATETIME, SQL_INTERVAL) the concise one is asked for too.
SQLSMALLINT DescribedType(SQLHSTMT handle, SQLUSMALLINT column) {
  SQLLEN type = 0;
  SQLColAttributeW(handle, column, SQL_DESC_TYPE, nullptr, 0, nullptr, &type);
  if (type == SQL_DATETIME || type == SQL_INTERVAL)
    SQLColAttributeW(handle, column, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &type);
  return static_cast<SQLSMALLINT>(type);
}

// True when one of the statement's diagnostic records has the SQLSTATE.
bool HasState(SQLHSTMT statement, const char16_t* wanted) {
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT messageLength = 0;
    const SQLRETURN rc = SQLGetDiagRecW(SQL_HANDLE_STMT, statement, record, state, &native, nullptr, 0, &messageLength);
    if (!Succeeded(rc)) return false;
    if (std::char_traits<char16_t>::compare(reinterpret_cast<const char16_t*>(state), wanted, 5) == 0) return true;
  }
}

// Whether a piece read left more of the value behind: the driver said it
// truncated the value (01004), or the remaining length exceeds the buffer.
// A failed read or SQL_NO_DATA ends the value.
bool MoreToCome(SQLHSTMT statement, SQLRETURN rc, SQLLEN indicator) {
  if (!Succeeded(rc)) return false;
  if (indicator >= kBufferBytes) return true;
  return rc == SQL_SUCCESS_WITH_INFO && HasState(statement, u"01004");
}

// Bytes of value data in the buffer after a successful read, the
// terminating NUL (of unitBytes) excluded.
std::size_t PieceBytes(const unsigned char* buffer, SQLLEN indicator, std::size_t unitBytes) {
  const std::size_t capacity = static_cast<std::size_t>(kBufferBytes) - unitBytes;
  if (indicator >= 0) {
    const auto length = static_cast<std::size_t>(indicator);
    return (length < capacity ? length : capacity) / unitBytes * unitBytes;
  }
  // SQL_NO_TOTAL: the buffer holds a NUL-terminated piece.
  std::size_t length = 0;
  if (unitBytes == 1) {
    while (length < capacity && buffer[length] != 0) ++length;
  } else {
    while (length < capacity && (buffer[length] != 0 || buffer[length + 1] != 0)) length += 2;
  }
  return length;
}

// Reads the rest of a value whose first piece left more to come, handing
// the length of each further piece in the buffer to append. False when a
// read failed: the value is then cut off and must be left out, never passed
// on short.
template <typename Append>
bool ReadMorePieces(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType, std::size_t unitBytes,
                    unsigned char* buffer, Append append) {
  SQLRETURN rc = SQL_SUCCESS;
  SQLLEN indicator = 0;
  do {
    rc = SQLGetData(handle, column, cType, buffer, kBufferBytes, &indicator);
    if (rc == SQL_NO_DATA) return true;
    if (!Succeeded(rc)) return false;
    if (indicator == SQL_NULL_DATA) return true;
    append(PieceBytes(buffer, indicator, unitBytes));
  } while (MoreToCome(handle, rc, indicator));
  return true;
}

// Decodes narrow text in the thread's code page. `wide` has room for
// kBufferBytes units and serves the common short case without allocating;
// longer text goes through `scratch`. With `keepsAscii` (the code page
// decodes ASCII unit for unit, platform::ThreadCodePageKeepsAscii) ASCII
// text, most catalogue text, is widened here rather than decoded.
std::u16string_view DecodeNarrow(const char* bytes, std::size_t length, char16_t* wide, std::u16string& scratch,
                                 bool keepsAscii) {
  if (length == 0) return {};
  if (keepsAscii && length <= static_cast<std::size_t>(kBufferBytes)) {
    // Widened and checked in one pass; text with a byte from 0x80 up is
    // decoded after all.
    unsigned char high = 0;
    for (std::size_t i = 0; i < length; ++i) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      high |= byte;
      wide[i] = byte;
    }
    if (high < 0x80) return {wide, length};
  }
  if (length <= static_cast<std::size_t>(kBufferBytes)) {
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(length), wide,
                                          static_cast<int>(kBufferBytes));
    if (units > 0) return {wide, static_cast<std::size_t>(units)};
  } else if (length <= static_cast<std::size_t>(INT_MAX)) {
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (needed > 0) {
      scratch.resize(static_cast<std::size_t>(needed));
      const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, static_cast<int>(length), scratch.data(), needed);
      if (units > 0) return {scratch.data(), static_cast<std::size_t>(units)};
    }
  }
  // A code page the platform cannot decode: keep the text readable (as
  // UTF-8) rather than losing it.
  scratch.clear();
  platform::AppendMultiByteAsUtf16(CP_THREAD_ACP, std::string_view(bytes, length), scratch);
  return scratch;
}

// What the fetch knows about one result column for the whole statement.
struct ColumnPlan {
  SQLUSMALLINT number;  // 1-based column number
  ColumnKind kind;      // how its values are read
};

// One distinct column name of the result, with the columns that carry it.
struct KeyPlan {
  std::u16string key;                // record key, built once per statement
  std::vector<std::size_t> columns;  // indexes of the columns named so, in column order
};

// Frees a statement handle on every way out, a throwing row action included.
class StatementHandle {
 public:
  StatementHandle() = default;
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;
  ~StatementHandle() {
    if (m_handle != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
  }
  SQLHSTMT* Out() { return &m_handle; }
  SQLHSTMT Get() const { return m_handle; }
  void Forget() { m_handle = SQL_NULL_HSTMT; }

 private:
  SQLHSTMT m_handle = SQL_NULL_HSTMT;
};

// The first column of the current row, whole; nothing for NULL or a
// failed read. Narrow text is decoded in the thread's code page.
std::optional<std::u16string> ReadFirstColumn(SQLHSTMT handle, bool narrow) {
  alignas(8) unsigned char buffer[kBufferBytes];
  const SQLSMALLINT cType = narrow ? SQL_C_CHAR : SQL_C_WCHAR;
  const std::size_t unit = narrow ? 1 : sizeof(char16_t);
  std::string bytes;
  std::u16string text;
  auto append = [&](std::size_t length) {
    if (narrow)
      bytes.append(reinterpret_cast<const char*>(buffer), length);
    else
      text.append(reinterpret_cast<const char16_t*>(buffer), length / sizeof(char16_t));
  };
  SQLLEN indicator = 0;
  const SQLRETURN rc = SQLGetData(handle, 1, cType, buffer, kBufferBytes, &indicator);
  if (!Succeeded(rc) || indicator == SQL_NULL_DATA) return std::nullopt;
  append(PieceBytes(buffer, indicator, unit));
  if (MoreToCome(handle, rc, indicator) && !ReadMorePieces(handle, 1, cType, unit, buffer, append)) return std::nullopt;
  if (narrow) platform::AppendMultiByteAsUtf16(CP_THREAD_ACP, bytes, text);
  return text;
}

}  // namespace

void SchemaSourceReaderI::ImportObjects(int statementId) {
  if (const CatalogCall* call = GetCatalogCall(statementId)) {
    ImportCatalogCall(statementId, *call);
    return;
  }
  CString statement;
  GetQueryStatement(statementId, statement);
  PreProcessQueryStatement(statementId, statement);

  if (statement.IsEmpty()) {
    // An id without a registered statement. Empty text is never sent: the
    // driver manager hands drivers an unterminated buffer for it.
    ReportFailure(statementId, OdbcDiagnostic::FromModule(u"no statement text for statement id " +
                                                          CString::FromUtf8(std::to_string(statementId)).str()));
    return;
  }

  SQLHDBC connection = m_connector != nullptr ? static_cast<SQLHDBC>(m_connector->GetConnectionHandle()) : SQL_NULL_HDBC;
  if (connection == SQL_NULL_HDBC) {
    ReportFailure(statementId, OdbcDiagnostic::FromModule(u"no open connection to run the statement on"));
    return;
  }
  StatementHandle handle;
  const SQLRETURN allocRc = SQLAllocHandle(SQL_HANDLE_STMT, connection, handle.Out());
  if (!Succeeded(allocRc)) {
    // Nothing to execute on: skip the statement, saying why.
    handle.Forget();
    ReportFailure(statementId, ReadOdbcDiagnostic(SQL_HANDLE_DBC, connection, u"SQLAllocHandle(SQL_HANDLE_STMT)", allocRc));
    return;
  }

  const SQLRETURN execRc = SQLExecDirectW(
      handle.Get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(statement.GetString())), SQL_NTS);
  if (execRc == SQL_ERROR || execRc == SQL_INVALID_HANDLE) {
    // No result to describe; SQL_NO_DATA (nothing affected) is not a failure.
    ReportFailure(statementId, ReadOdbcDiagnostic(SQL_HANDLE_STMT, handle.Get(), u"SQLExecDirectW", execRc));
    return;
  }

  SQLSMALLINT columnCount = 0;
  SQLNumResultCols(handle.Get(), &columnCount);
  if (columnCount >= 1) {
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(columnCount));
    RetrieveColumnDetails(handle.Get(), columns.data());
    FetchAndProcessRecords(handle.Get(), statementId, columns.data());
  }
}

void SchemaSourceReaderI::RetrieveColumnDetails(void* statementHandle, ColumnInfo* columns) {
  const auto handle = static_cast<SQLHSTMT>(statementHandle);
  SQLSMALLINT columnCount = 0;
  SQLNumResultCols(handle, &columnCount);
  for (SQLSMALLINT c = 1; c <= columnCount; ++c) {
    ColumnInfo& column = columns[c - 1];
    const auto number = static_cast<SQLUSMALLINT>(c);
    column.columnName[0] = u'\0';
    SQLSMALLINT nameBytes = 0;
    SQLColAttributeW(handle, number, SQL_DESC_NAME, column.columnName,
                     static_cast<SQLSMALLINT>(sizeof column.columnName), &nameBytes, nullptr);
    column.columnName[ColumnInfo::kNameLength - 1] = u'\0';
    column.dataType = DescribedType(handle, number);
    column.columnNumber = number;
  }
}

void SchemaSourceReaderI::FetchAndProcessRecords(void* statementHandle, int statementId, ColumnInfo* columns) {
  const auto handle = static_cast<SQLHSTMT>(statementHandle);
  SQLSMALLINT columnCount = 0;
  SQLNumResultCols(handle, &columnCount);

  // Everything that does not change from row to row: how each column is
  // read, and the record's keys in ascending order, each with its columns
  // (of two columns with one name, the first with a value gives the entry).
  const std::size_t count = columnCount > 0 ? static_cast<std::size_t>(columnCount) : 0;
  std::vector<ColumnPlan> plan;
  plan.reserve(count);
  std::map<std::u16string, std::vector<std::size_t>> byName;
  for (std::size_t i = 0; i < count; ++i) {
    const ColumnInfo& column = columns[i];
    plan.push_back(ColumnPlan{column.columnNumber, KindOf(column.dataType)});
    byName[std::u16string(column.columnName, std::char_traits<char16_t>::length(column.columnName))].push_back(i);
  }
  std::vector<KeyPlan> keys;
  keys.reserve(byName.size());
  for (auto& [key, indexes] : byName) keys.push_back(KeyPlan{key, std::move(indexes)});
  // Each column's key; direct when no two columns share a name, as in a
  // catalogue statement whose columns all have aliases of their own.
  std::vector<std::size_t> keyOf(count);
  for (std::size_t k = 0; k < keys.size(); ++k)
    for (std::size_t index : keys[k].columns) keyOf[index] = k;
  const bool direct = keys.size() == count;
  // One row's values by name, handed to the record, whose places are the
  // names, set once per statement; read straight into them, or, when two
  // columns share a name, by column first (VT_EMPTY: no entry). All reused
  // for every row.
  std::vector<COleVariant> values(count);
  std::vector<COleVariant> entryValues(keys.size());
  std::vector<const std::u16string*> entryNames;
  entryNames.reserve(keys.size());
  for (const KeyPlan& key : keys) entryNames.push_back(&key.key);
  // The record's places are set with the first row, and again when a row
  // action that ran a statement of its own refilled the record meanwhile.
  std::uint64_t layout = 0;
  bool laidOut = false;

  // A catalogue call made several times opens and closes the run itself.
  if (!m_catalogRunOpen)
    if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->PreExecute(m_model);

  // The one transfer buffer (aligned for UTF-16), its decoded form, and the
  // scratch strings for values longer than one piece; reused for all rows.
  alignas(8) unsigned char buffer[kBufferBytes];
  char16_t decoded[kBufferBytes];
  const bool keepsAscii = platform::ThreadCodePageKeepsAscii();
  std::string narrowPieces;
  std::u16string widePieces;

  // Counted locally: a row action that runs another statement from its
  // ProcessRow overwrites m_recordCount.
  int rows = 0;
  m_recordCount = 0;
  SQLRETURN fetchRc = SQLFetch(handle);
  while (Succeeded(fetchRc)) {
    ++rows;
    m_recordCount = rows;

    for (std::size_t i = 0; i < count; ++i) {
      const ColumnPlan& column = plan[i];
      // Straight into the record's next values when no other column has the
      // name. The place holds a value of an earlier row (ReplaceRow hands the
      // record's back): a text is written into its string when it fits, and
      // the place is emptied when the column has no value.
      COleVariant& value = direct ? entryValues[keyOf[i]] : values[i];
      bool read = false;
      const auto setText = [&](std::u16string_view text) {
        value.SetText(text);
        read = true;
      };
      SQLLEN indicator = 0;
      switch (column.kind) {
        case ColumnKind::Integer: {
          SQLBIGINT number = 0;
          const SQLRETURN rc = SQLGetData(handle, column.number, SQL_C_SBIGINT, &number, sizeof number, &indicator);
          // A value the driver cannot convert (out of range, not a number)
          // and NULL give no entry.
          if (!Succeeded(rc) || indicator == SQL_NULL_DATA) break;
          const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(number)));
          value = COleVariant(static_cast<LONG>(low));
          read = true;
          break;
        }
        case ColumnKind::WideText: {
          const SQLRETURN rc = SQLGetData(handle, column.number, SQL_C_WCHAR, buffer, kBufferBytes, &indicator);
          if (!Succeeded(rc) || indicator == SQL_NULL_DATA) break;
          const auto* units = reinterpret_cast<const char16_t*>(buffer);
          const std::size_t bytes = PieceBytes(buffer, indicator, sizeof(char16_t));
          if (!MoreToCome(handle, rc, indicator)) {
            setText(std::u16string_view(units, bytes / sizeof(char16_t)));
            break;
          }
          widePieces.assign(units, bytes / sizeof(char16_t));
          if (ReadMorePieces(handle, column.number, SQL_C_WCHAR, sizeof(char16_t), buffer,
                             [&](std::size_t more) { widePieces.append(units, more / sizeof(char16_t)); }))
            setText(widePieces);
          break;
        }
        case ColumnKind::NarrowText:
        case ColumnKind::DateText: {
          const SQLRETURN rc = SQLGetData(handle, column.number, SQL_C_CHAR, buffer, kBufferBytes, &indicator);
          if (!Succeeded(rc) || indicator == SQL_NULL_DATA) break;
          const auto* bytes = reinterpret_cast<const char*>(buffer);
          const std::size_t length = PieceBytes(buffer, indicator, 1);
          if (column.kind == ColumnKind::DateText || !MoreToCome(handle, rc, indicator)) {
            setText(DecodeNarrow(bytes, length, decoded, widePieces, keepsAscii));
            break;
          }
          // Join the bytes of all pieces before decoding: a multi-byte
          // character may be split between two pieces.
          narrowPieces.assign(bytes, length);
          if (ReadMorePieces(handle, column.number, SQL_C_CHAR, 1, buffer,
                             [&](std::size_t more) { narrowPieces.append(bytes, more); }))
            setText(DecodeNarrow(narrowPieces.data(), narrowPieces.size(), decoded, widePieces, keepsAscii));
          break;
        }
        case ColumnKind::NoEntry:
          break;
        case ColumnKind::Unhandled: {
          // Read as text only to tell NULL (no message) from a value.
          const SQLRETURN rc = SQLGetData(handle, column.number, SQL_C_CHAR, buffer, kBufferBytes, &indicator);
          if (Succeeded(rc) && indicator == SQL_NULL_DATA) break;
          CString registered;
          GetQueryStatement(statementId, registered);
          CString message;
          message.Format(u"UnHandled Datatype:SchemaSourceReaderI::FetchAndProcessRecords()- Column(%s),Dataype(%d),Query(%s) ",
                         static_cast<const char16_t*>(columns[i].columnName), static_cast<int>(columns[i].dataType),
                         registered);
          AfxMessageBox(message, MB_OK);
          break;
        }
      }
      if (!read) value.Clear();
    }

    // The record gets, for each name, the first of its columns with a value;
    // the column gets the entry's old value (the record's of two rows ago,
    // which ReplaceRow handed back), whose string its next text may reuse.
    for (std::size_t k = 0; k < keys.size() && !direct; ++k) {
      COleVariant& entry = entryValues[k];
      COleVariant* from = nullptr;
      for (std::size_t index : keys[k].columns) {
        if (values[index].vt == VT_EMPTY) continue;
        from = &values[index];
        break;
      }
      if (from != nullptr)
        swap(entry, *from);
      else
        entry.Clear();
    }
    if (!laidOut || m_record.RowLayout() != layout) {
      layout = m_record.SetRowNames(entryNames);
      laidOut = true;
    }
    m_record.ReplaceRow(entryValues);

    if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->ProcessRow(m_model, m_record);
    fetchRc = SQLFetch(handle);
  }
  if (fetchRc != SQL_NO_DATA) ReportFailure(statementId, ReadOdbcDiagnostic(SQL_HANDLE_STMT, handle, u"SQLFetch", fetchRc));

  UpdateObjectCount(statementId, rows);
  if (!m_catalogRunOpen)
    if (QueryResultRowActionI* action = GetStatementRowAction(statementId)) action->PostExecute(m_model);
}

OdbcDiagnostic ExecuteOnConnection(void* connection, const std::u16string& statement,
                                   std::vector<std::u16string>* firstColumn) {
  StatementHandle handle;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection, handle.Out());
  if (!Succeeded(rc)) {
    handle.Forget();
    return ReadOdbcDiagnostic(SQL_HANDLE_DBC, connection, u"SQLAllocHandle", rc);
  }
  rc = SQLExecDirectW(handle.Get(), reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(statement.c_str())), SQL_NTS);
  if (!Succeeded(rc) && rc != SQL_NO_DATA) return ReadOdbcDiagnostic(SQL_HANDLE_STMT, handle.Get(), u"SQLExecDirectW", rc);
  SQLSMALLINT columns = 0;
  SQLNumResultCols(handle.Get(), &columns);
  if (columns < 1) return {};
  // An ANSI driver refuses wide text for its narrow columns.
  const bool narrow = KindOf(DescribedType(handle.Get(), 1)) == ColumnKind::NarrowText;
  while (Succeeded(rc = SQLFetch(handle.Get())))
    if (firstColumn != nullptr)
      if (std::optional<std::u16string> value = ReadFirstColumn(handle.Get(), narrow)) firstColumn->push_back(std::move(*value));
  if (rc != SQL_NO_DATA) return ReadOdbcDiagnostic(SQL_HANDLE_STMT, handle.Get(), u"SQLFetch", rc);
  return {};
}

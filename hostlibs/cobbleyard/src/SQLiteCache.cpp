#include <cobbleyard/SQLiteCache.h>

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace cobbleyard {

struct Connection {
  sqlite3* db = nullptr;  // owned; null once the cache has closed it

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { CloseDatabase(); }

  // Finalizes every statement still prepared on the database, then closes
  // it; record sets holding one see db == null and never touch it again.
  void CloseDatabase() {
    if (db == nullptr) return;
    while (sqlite3_stmt* statement = sqlite3_next_stmt(db, nullptr)) sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    db = nullptr;
  }
};

}  // namespace cobbleyard

namespace {

CString ErrorText(sqlite3* db) {
  const void* message = db != nullptr ? sqlite3_errmsg16(db) : nullptr;
  if (message == nullptr) return CString(u"out of memory");
  return CString(static_cast<const char16_t*>(message));
}

}  // namespace

// ---------------------------------------------------------------- SLRecordSet

SLRecordSet::SLRecordSet() = default;

SLRecordSet::SLRecordSet(std::shared_ptr<cobbleyard::Connection> connection, sqlite3_stmt* statement)
    : m_connection(std::move(connection)), m_statement(statement) {
  const int columns = sqlite3_column_count(statement);
  m_fields.resize(static_cast<std::size_t>(columns));
  m_fetched.assign(static_cast<std::size_t>(columns), 0);
}

SLRecordSet::SLRecordSet(SLRecordSet&& other) noexcept
    : m_connection(std::move(other.m_connection)),
      m_statement(std::exchange(other.m_statement, nullptr)),
      m_hasRow(std::exchange(other.m_hasRow, false)),
      m_fields(std::move(other.m_fields)),
      m_fetched(std::move(other.m_fetched)),
      m_lastError(std::move(other.m_lastError)) {}

SLRecordSet& SLRecordSet::operator=(SLRecordSet&& other) noexcept {
  if (this != &other) {
    Release();
    m_connection = std::move(other.m_connection);
    m_statement = std::exchange(other.m_statement, nullptr);
    m_hasRow = std::exchange(other.m_hasRow, false);
    m_fields = std::move(other.m_fields);
    m_fetched = std::move(other.m_fetched);
    m_lastError = std::move(other.m_lastError);
  }
  return *this;
}

SLRecordSet::~SLRecordSet() { Release(); }

sqlite3_stmt* SLRecordSet::Live() const {
  if (m_statement == nullptr || m_connection == nullptr || m_connection->db == nullptr) return nullptr;
  return m_statement;
}

void SLRecordSet::Release() {
  if (sqlite3_stmt* statement = Live()) sqlite3_finalize(statement);
  m_statement = nullptr;
  m_connection.reset();
  m_hasRow = false;
  m_fields.clear();
  m_fetched.clear();
}

bool SLRecordSet::NextRecord() {
  m_hasRow = false;
  std::fill(m_fetched.begin(), m_fetched.end(), 0);
  sqlite3_stmt* statement = Live();
  if (statement == nullptr) return false;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    m_hasRow = true;
    return true;
  }
  if (rc != SQLITE_DONE) m_lastError = ErrorText(sqlite3_db_handle(statement));
  // Released at the end: stepping a finished statement again would start
  // the query over and hand out its rows a second time.
  Release();
  return false;
}

const char16_t* SLRecordSet::GetFieldValueString(int column) {
  sqlite3_stmt* statement = Live();
  if (statement == nullptr || !m_hasRow || column < 0 || static_cast<std::size_t>(column) >= m_fields.size()) {
    return u"";
  }
  // A copy per row and column, so that the pointer does not depend on how
  // SQLite converts values when other columns or types are asked for.
  const auto slot = static_cast<std::size_t>(column);
  if (!m_fetched[slot]) {
    const void* text = sqlite3_column_text16(statement, column);
    const int bytes = sqlite3_column_bytes16(statement, column);
    if (text != nullptr) {
      m_fields[slot].assign(static_cast<const char16_t*>(text), static_cast<std::size_t>(bytes) / sizeof(char16_t));
    } else {
      m_fields[slot].clear();
    }
    m_fetched[slot] = 1;
  }
  return m_fields[slot].c_str();
}

int SLRecordSet::GetFieldValueInt(int column) {
  sqlite3_stmt* statement = Live();
  if (statement == nullptr || !m_hasRow || column < 0 || static_cast<std::size_t>(column) >= m_fields.size()) {
    return 0;
  }
  // Clamped rather than cut to the low 32 bits, which would turn a large
  // number into an unrelated one.
  const sqlite3_int64 value = sqlite3_column_int64(statement, column);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void SLRecordSet::Reset() { Release(); }

// ---------------------------------------------------------------- SQLiteCache

SQLiteCache::SQLiteCache() = default;

SQLiteCache::~SQLiteCache() { Close(); }

bool SQLiteCache::Open() {
  Close();
  m_lastError.Empty();
  auto connection = std::make_shared<cobbleyard::Connection>();
  // ":memory:" gives every connection a private, empty database.
  const int rc = sqlite3_open_v2(":memory:", &connection->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    m_lastError = ErrorText(connection->db);
    return false;  // the connection's destructor closes the half-open handle
  }
  // Stored as UTF-16, text comes back through sqlite3_column_text16 exactly
  // as it went in; must be set before the first table exists.
  if (sqlite3_exec(connection->db, "PRAGMA encoding='UTF-16'", nullptr, nullptr, nullptr) != SQLITE_OK) {
    m_lastError = ErrorText(connection->db);
    return false;
  }
  m_connection = std::move(connection);
  return true;
}

void SQLiteCache::Close() {
  if (m_connection == nullptr) return;
  m_connection->CloseDatabase();
  m_connection.reset();
}

sqlite3_stmt* SQLiteCache::Prepare(const CString& statement) {
  if (m_connection == nullptr) {
    m_lastError = u"the store is not open";
    return nullptr;
  }
  const std::u16string& text = statement.str();
  if (text.find(u'\0') != std::u16string::npos) {
    m_lastError = u"the statement text contains a NUL character; nothing was run";
    return nullptr;
  }
  if (text.size() > static_cast<std::size_t>(INT_MAX) / sizeof(char16_t)) {
    m_lastError = u"the statement text is too long; nothing was run";
    return nullptr;
  }
  sqlite3* db = m_connection->db;
  sqlite3_stmt* prepared = nullptr;
  const void* tail = nullptr;
  int rc = sqlite3_prepare16_v2(db, text.data(), static_cast<int>(text.size() * sizeof(char16_t)), &prepared, &tail);
  if (rc != SQLITE_OK) {
    m_lastError = ErrorText(db);
    sqlite3_finalize(prepared);
    return nullptr;
  }
  if (prepared == nullptr) {
    m_lastError = u"the text holds no statement";
    return nullptr;
  }
  // Whatever follows the first statement must be blanks or comments: a
  // second statement would otherwise run, or be dropped, without a word.
  const auto* rest = static_cast<const char16_t*>(tail);
  const auto restUnits = static_cast<std::size_t>(text.data() + text.size() - rest);
  if (rest != nullptr && restUnits > 0) {
    sqlite3_stmt* extra = nullptr;
    rc = sqlite3_prepare16_v2(db, rest, static_cast<int>(restUnits * sizeof(char16_t)), &extra, nullptr);
    if (rc != SQLITE_OK || extra != nullptr) {
      sqlite3_finalize(extra);
      sqlite3_finalize(prepared);
      m_lastError = u"the text holds more than one statement; nothing was run";
      return nullptr;
    }
  }
  return prepared;
}

void SQLiteCache::Execute(const CString& statement) {
  sqlite3_stmt* prepared = Prepare(statement);
  if (prepared == nullptr) return;
  int rc;
  while ((rc = sqlite3_step(prepared)) == SQLITE_ROW) {
  }
  if (rc == SQLITE_DONE) {
    m_lastError.Empty();
  } else {
    m_lastError = ErrorText(m_connection->db);
  }
  sqlite3_finalize(prepared);
}

void SQLiteCache::ExecuteDDL(const CString& statement) { Execute(statement); }

void SQLiteCache::Insert(const CString& statement) { Execute(statement); }

SLRecordSet SQLiteCache::ExecuteSQL(const CString& query) {
  sqlite3_stmt* prepared = Prepare(query);
  if (prepared == nullptr) return SLRecordSet();
  m_lastError.Empty();
  return SLRecordSet(m_connection, prepared);
}

// SQLiteCache and SLRecordSet: the host's scratch store on SQLite. Every
// Open gives a fresh, empty in-memory database that lives until Close.
// Text is stored and returned as UTF-16, exactly, for any valid UTF-16
// (characters outside the BMP included).
//
// Thread safety: one thread uses a cache and its record sets at a time.
#pragma once

#include <platform/CString.h>

#include <memory>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace cobbleyard {
// One open database, shared by the cache and the record sets made from it.
// When the cache closes it, every record set of it reads as empty.
struct Connection;
}  // namespace cobbleyard

class SLRecordSet {
 public:
  // A record set without rows.
  SLRecordSet();
  SLRecordSet(SLRecordSet&& other) noexcept;
  SLRecordSet& operator=(SLRecordSet&& other) noexcept;
  SLRecordSet(const SLRecordSet&) = delete;
  SLRecordSet& operator=(const SLRecordSet&) = delete;
  ~SLRecordSet();

  // Moves to the next row; false when there is none, when the query failed
  // or the store has been closed since. Called once before the first row.
  bool NextRecord();
  // The current row's value of the zero-based column as UTF-16, never null
  // (empty for NULL, for a column out of range or without a current row).
  // Valid until the next NextRecord or Reset, or until the store is closed.
  const char16_t* GetFieldValueString(int column);
  // The current row's value as an integer; 0 for NULL, for a column out of
  // range or without a current row.
  int GetFieldValueInt(int column);
  // Releases the result; NextRecord then returns false.
  void Reset();

  // SQLite's message when stepping to a row failed, else empty. A query
  // that could not be prepared reports through SQLiteCache::LastError.
  const CString& LastError() const { return m_lastError; }

 private:
  friend class SQLiteCache;
  SLRecordSet(std::shared_ptr<cobbleyard::Connection> connection, sqlite3_stmt* statement);
  // The statement, or null when released, failed or the store is closed.
  sqlite3_stmt* Live() const;
  void Release();

  std::shared_ptr<cobbleyard::Connection> m_connection;  // the store the statement runs on
  sqlite3_stmt* m_statement = nullptr;  // owned; null when released or the query failed
  bool m_hasRow = false;                // NextRecord has positioned on a row
  std::vector<std::u16string> m_fields; // current row's texts, one slot per column
  std::vector<char> m_fetched;          // whether the slot of m_fields is filled for this row
  CString m_lastError;                  // message of a failed step
};

class SQLiteCache {
 public:
  SQLiteCache();
  SQLiteCache(const SQLiteCache&) = delete;
  SQLiteCache& operator=(const SQLiteCache&) = delete;
  // Closes the store; record sets still alive read as empty afterwards.
  ~SQLiteCache();

  // Opens a fresh, empty store, closing any store already open. Returns
  // false, with LastError set, when SQLite cannot open one.
  bool Open();
  // Releases the store and everything in it; harmless when closed. Record
  // sets made from it read as empty from then on.
  void Close();
  bool IsOpen() const { return m_connection != nullptr; }

  // Run one statement; failures are not reported (see LastError). A text
  // holding more than one statement, or a NUL character, is refused
  // whole, so that nothing after the first statement runs unseen.
  void ExecuteDDL(const CString& statement);
  void Insert(const CString& statement);
  // Runs a query; the record set is positioned before its first row. A
  // query that fails, or a closed store, gives a record set without rows.
  SLRecordSet ExecuteSQL(const CString& query);

  // SQLite's message for the last statement that failed, empty when the
  // last one succeeded. For diagnostics; the module does not look at it.
  const CString& LastError() const { return m_lastError; }

 private:
  // Prepares the text as exactly one statement; null, with m_lastError
  // set, when it cannot.
  sqlite3_stmt* Prepare(const CString& statement);
  void Execute(const CString& statement);

  std::shared_ptr<cobbleyard::Connection> m_connection;  // null while closed
  CString m_lastError;                                    // message of the last failed statement
};

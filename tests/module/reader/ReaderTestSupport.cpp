#include "ReaderTestSupport.h"

#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qm::test::reader {

void RecordingRowAction::ProcessRow(GenericModel* model, CommonDataObject& record) {
  m_log->models.push_back(model);
  m_log->rows.push_back(record);
  if (m_log->onRow) m_log->onRow(static_cast<int>(m_log->rows.size()));
}

void RecordingRowAction::PreExecute(GenericModel* model) {
  m_log->models.push_back(model);
  ++m_log->preExecute;
}

void RecordingRowAction::PostExecute(GenericModel* model) {
  m_log->models.push_back(model);
  ++m_log->postExecute;
}

MessageCapture::MessageCapture()
    : m_previous(platform::SetMessageBoxHandler([this](const char16_t* text, UINT type) {
        EXPECT_EQ(type, MB_OK);
        texts.emplace_back(text);
        return IDOK;
      })) {}

MessageCapture::~MessageCapture() { platform::SetMessageBoxHandler(std::move(m_previous)); }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qm-reader-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

void UseUtf8Locale() {
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
    std::setlocale(LC_ALL, "C.UTF-8");
}

namespace {

std::string StatementError(SQLHSTMT statement) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[1024] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, statement, 1, state, &native, message, 1024, &length)))
    return "failed without a diagnostic";
  return Utf8(reinterpret_cast<const char16_t*>(state)) + " " + Utf8(reinterpret_cast<const char16_t*>(message));
}

SQLWCHAR* Wide(const std::u16string& text) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.c_str()));
}

}  // namespace

std::string Exec(void* connectionHandle, const std::u16string& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connectionHandle, &statement)))
    return "no statement handle";
  const SQLRETURN rc = SQLExecDirectW(statement, Wide(sql), SQL_NTS);
  std::string error;
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) error = StatementError(statement) + " in: " + Utf8(sql);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return error;
}

long long QueryInteger(void* connectionHandle, const std::u16string& sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connectionHandle, &statement)))
    throw std::runtime_error("no statement handle");
  std::string error;
  long long value = 0;
  SQLLEN indicator = 0;
  if (!SQL_SUCCEEDED(SQLExecDirectW(statement, Wide(sql), SQL_NTS)))
    error = StatementError(statement);
  else if (!SQL_SUCCEEDED(SQLFetch(statement)))
    error = "no row";
  else if (!SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_SBIGINT, &value, sizeof value, &indicator)))
    error = StatementError(statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  if (!error.empty()) throw std::runtime_error(error + " in: " + Utf8(sql));
  return value;
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::string Describe(const OdbcDiagnostic& diagnostic) {
  return Utf8(diagnostic.sqlState) + " (" + std::to_string(diagnostic.nativeError) + ") " + Utf8(diagnostic.message);
}

std::string Describe(const std::vector<SchemaSourceReaderI::FailedStatement>& failures) {
  std::string text;
  for (const auto& failure : failures)
    text += "statement " + std::to_string(failure.statementId) + ": " + Describe(failure.diagnostic) + "\n";
  return text.empty() ? "no failed statements" : text;
}

}  // namespace qm::test::reader

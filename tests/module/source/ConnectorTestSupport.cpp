#include "ConnectorTestSupport.h"

#include <gtest/gtest.h>

// The platform's HWND is already declared; keep unixODBC's out.
#define _WINDOWS_
#include <sql.h>
#include <sqlext.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qm::test {

namespace {

// The SQLite3 driver is an ANSI driver: the driver manager converts wide
// text by the process locale, which must therefore be a UTF-8 one.
class LocaleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* locale = std::setlocale(LC_ALL, "");
    if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
      std::setlocale(LC_ALL, "C.UTF-8");
  }
};

[[maybe_unused]] ::testing::Environment* const kLocale =
    ::testing::AddGlobalTestEnvironment(new LocaleEnvironment);

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qm-connector-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

CString SqliteConnectionString(const std::filesystem::path& file, const char16_t* extra) {
  return u"Driver={SQLite3};Database=" + Utf16(file.string()) + extra;
}

CString Utf16(const std::string& utf8) { return CString::FromUtf8(utf8); }

bool ExecutesOn(void* connectionHandle, const char16_t* sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connectionHandle, &statement))) return false;
  SQLRETURN rc = SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(sql)), SQL_NTS);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return SQL_SUCCEEDED(rc);
}

}  // namespace qm::test

// The connector and reader tests': a plain connector, statements, text.
#pragma once

#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/SchemaSourceConnectorI.h>

#include <platform/CString.h>

#include <string>
#include <string_view>
#include <utility>

namespace qm::test {

// Connects with the string it was given, hands on the scope it was given.
class TestConnector : public SchemaSourceConnectorI {
 public:
  explicit TestConnector(CString connectionString = {}, CString scope = {})
      : m_given(std::move(connectionString)), m_scope(std::move(scope)) {}

  bool EstablishConnection() override {
    CString text = m_given;
    return Connect(text);
  }
  void GetREScope(CString& scope) override {
    ++scopeReads;
    scope = m_scope;
  }

  int scopeReads = 0;  // GetREScope calls

 private:
  CString m_given;  // the connection string EstablishConnection uses
  CString m_scope;  // the scope text handed to the reader
};

// Runs a statement on a connection handle (an SQLHDBC). Empty on success
// (SQL_NO_DATA included), otherwise the driver's SQLSTATE and message.
std::string Exec(void* connectionHandle, const std::u16string& sql);

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);
std::string Describe(const OdbcDiagnostic& diagnostic);

}  // namespace qm::test

// Helpers shared by the connector tests: a minimal plug-in connector, a
// temporary directory for SQLite database files, a scoped connection-dialog
// hook, and a check that a handle is a live connection.
#pragma once

#include <schemaimport/SchemaSourceConnectorI.h>

#include <platform/CString.h>
#include <platform/ConnectionDialog.h>

#include <filesystem>
#include <string>

namespace qm::test {

// What a database plug-in looks like at its simplest: its connect step
// connects with a string it was given.
class TestConnector : public SchemaSourceConnectorI {
 public:
  explicit TestConnector(CString connectionString = CString()) : m_given(std::move(connectionString)) {}

  bool EstablishConnection() override {
    CString text = m_given;
    return Connect(text);
  }

 private:
  CString m_given;  // the connection string EstablishConnection uses
};

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// The SQLite3 driver's connection string for a database file.
CString SqliteConnectionString(const std::filesystem::path& file, const char16_t* extra = u"");

// The text as UTF-16, for comparing with connector buffers.
CString Utf16(const std::string& utf8);

// Installs a connection-dialog hook for the life of the object and puts the
// previous one back afterwards.
class ScopedDialogHook {
 public:
  explicit ScopedDialogHook(platform::ConnectionDialogHook hook)
      : m_previous(platform::SetConnectionDialogHook(std::move(hook))) {}
  ~ScopedDialogHook() { platform::SetConnectionDialogHook(std::move(m_previous)); }
  ScopedDialogHook(const ScopedDialogHook&) = delete;
  ScopedDialogHook& operator=(const ScopedDialogHook&) = delete;

 private:
  platform::ConnectionDialogHook m_previous;  // restored on destruction
};

// Runs a statement on the connection handle (an SQLHDBC) and returns true
// when it succeeds: proof that the handle is an open, usable connection.
bool ExecutesOn(void* connectionHandle, const char16_t* sql);

}  // namespace qm::test

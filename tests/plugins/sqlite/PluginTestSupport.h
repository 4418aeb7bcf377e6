// What the SQLite plug-in tests share: temporary directories, database
// files made with libsqlite3, the plug-in loaded as a host loads it, one
// whole import run the way a host runs it, and reading the model back.
#pragma once

#include <schemaimport/PluginApi.h>
#include <tillerhold/GenericModel.h>

#include <platform/Win32.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace qm::test::sqlite {

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The directory joined with name (UTF-8).
  std::string Path(std::string_view name = {}) const;

 private:
  std::string m_path;  // absolute, UTF-8
};

// A database file opened (created when missing) with libsqlite3.
class SqliteFile {
 public:
  explicit SqliteFile(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs the statements; a failure fails the test that called it.
  void Exec(const std::string& sql);
  // The rows of a query, every value as text ("" for NULL).
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  // The first value of the first row as an integer.
  long long Scalar(const std::string& sql);

 private:
  ::sqlite3* m_db = nullptr;  // owned
};

// Writes a database with the objects the import tests look for: keys,
// foreign keys of every kind SQLite allows, partial and expression indexes,
// a virtual table, views, triggers, and names with quotes, blanks,
// non-ASCII letters and emoji.
void CreateShopDatabase(const std::string& path);

// The plug-in library, loaded with dlopen and unloaded when the object goes.
class LoadedPlugin {
 public:
  LoadedPlugin();
  ~LoadedPlugin();
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  const QmPluginApi& Api() const { return *m_api; }
  // Unloads now; Loaded() is false afterwards.
  void Unload();

 private:
  void* m_handle = nullptr;             // dlopen handle
  const QmPluginApi* m_api = nullptr;   // the plug-in's table
};

// What a run of the import left for the host to see.
struct ImportOutcome {
  int status = -1;                  // the session status after the run
  std::vector<MSG> messages;        // the messages posted to the host window, in order
};

// Runs ReverseEngineerFromDB into the model, with an object explorer that
// hands the session a host window when the import starts (as the
// command-line host does), and collects what was posted to it.
ImportOutcome RunImport(GenericModel& model);

// Reading the model.
std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type);
// The child of that type with that name, or null.
CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::u16string_view name);
// A property's text ("" when absent), ids (empty when absent), integer (-1
// when absent), or whether it is there at all.
std::u16string Text(const CMOObject& object, int propertyId);
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::int64_t Integer(const CMOObject& object, int propertyId);
bool Has(const CMOObject& object, int propertyId);
// The names of the objects with these ids, in order.
std::vector<std::u16string> NamesOf(GenericModel& model, const std::vector<int>& ids);

}  // namespace qm::test::sqlite

// What the PostgreSQL plug-in tests share: a plain ODBC connection for
// setting up and for asking pg_catalog, a database of their own per test
// suite, the plug-in loaded as a host loads it, one whole import run the way
// a host runs it, and reading the model back.
#pragma once

#include <schemaimport/PluginApi.h>
#include <tillerhold/GenericModel.h>

#include <platform/Win32.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test::postgres {

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

// A connection through the real driver manager and psqlODBC, in autocommit
// mode. Failures fail the calling test.
class PgConnection {
 public:
  explicit PgConnection(const std::string& connectionString);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool Connected() const { return m_dbc != nullptr; }
  // Runs the statements (no result expected).
  void Exec(const std::string& sql);
  // Every row of the query, every value as UTF-8 text; NULL as kNull.
  std::vector<std::vector<std::string>> Rows(const std::string& sql);
  // The first column of every row.
  std::vector<std::string> Column(const std::string& sql);
  // The first value of the first row ("" when there is none).
  std::string Scalar(const std::string& sql);

  static constexpr const char* kNull = "<null>";

 private:
  void* m_env = nullptr;  // SQLHENV, owned
  void* m_dbc = nullptr;  // SQLHDBC, owned, connected
};

// QM_PG_CONNECT with its Database attribute replaced (or added).
std::string WithDatabase(const std::string& connectionString, const std::string& database);

// A database of the test server made for one test suite: created from the
// maintenance database QM_PG_CONNECT names, with a name unique to the
// process, and dropped (connections forced off) when the object goes.
class TestDatabase {
 public:
  explicit TestDatabase(const std::string& tag);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  // Connection string for this database (UTF-8).
  std::string ConnectionString() const { return WithDatabase(m_server, m_name); }
  // A connection to it with search_path emptied, so that the server prints
  // names as the import sees them.
  std::unique_ptr<PgConnection> Connect() const;

 private:
  std::string m_server;  // QM_PG_CONNECT
  std::string m_name;    // database name
};

// The plug-in library, loaded with dlopen and unloaded when the object goes.
class LoadedPlugin {
 public:
  LoadedPlugin();
  ~LoadedPlugin();
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool Loaded() const { return m_api != nullptr; }
  const QmPluginApi& Api() const { return *m_api; }
  // dlclose now; true when the library is gone from the process afterwards.
  bool Unload();

 private:
  void* m_handle = nullptr;            // dlopen handle
  const QmPluginApi* m_api = nullptr;  // the plug-in's table
};

// What a run of the import left for the host to see.
struct ImportOutcome {
  bool finished = false;          // the run returned within the time allowed
  int status = -1;                // the session status after the run
  std::vector<MSG> messages;      // the messages posted to the host window, in order
  std::vector<QmFailedStatement> failed;  // the plug-in's FailedStatements after the run
};

// Configures the plug-in and runs ReverseEngineerFromDB into the model on a
// worker thread, with an object explorer that hands the session a host
// window when the import starts. A run that does not end within `limit`
// fails the test and aborts the process (a hung import cannot be left
// behind).
ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, const std::string& connectionString,
                        const std::string& scope = {},
                        std::chrono::seconds limit = std::chrono::seconds(120));

// Reading the model.
std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type);
// The child of that type with that name, or null.
CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::u16string_view name);
// Every object of the type anywhere in the model, in id order.
std::vector<CMOObject*> AllOfType(GenericModel& model, int type);
// A property's text ("" when absent), ids (empty when absent), integer
// (nothing when absent).
std::string Text(const CMOObject& object, int propertyId);
std::vector<int> Ids(const CMOObject& object, int propertyId);
std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId);
// The object's name (UTF-8).
std::string Name(const CMOObject& object);
// "a,b,c": the names of the objects with these ids.
std::string NameList(GenericModel& model, const std::vector<int>& ids);

// The lines present in one list and not in the other, for a readable
// failure message; empty when both hold the same lines.
std::string LineDifference(std::vector<std::string> expected, std::vector<std::string> actual);

}  // namespace qm::test::postgres

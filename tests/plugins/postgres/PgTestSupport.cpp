#include "PgTestSupport.h"

#include <PgTestEnv.h>

#include <gatehouse/InterfaceProvider.h>
#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#define _WINDOWS_
#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <iostream>
#include <set>
#include <thread>

namespace qm::test::postgres {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[1024] = {};
  SQLSMALLINT length = 0;
  if (!Succeeded(SQLGetDiagRecW(type, handle, 1, state, &native, message, 1024, &length))) return "(no diagnostic)";
  return "[" + Utf8(reinterpret_cast<const char16_t*>(state)) + "] " + Utf8(reinterpret_cast<const char16_t*>(message));
}

// Reads a wide-text value of any length.
std::optional<std::u16string> ReadText(SQLHSTMT statement, SQLUSMALLINT column) {
  std::u16string value;
  char16_t buffer[2048];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) {
      ADD_FAILURE() << "SQLGetData failed: " << Diagnostic(SQL_HANDLE_STMT, statement);
      return value;
    }
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    value += buffer;
    if (rc == SQL_SUCCESS) break;
  }
  return value;
}

}  // namespace

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(std::string_view text) { return platform::Utf8ToUtf16(text); }

PgConnection::PgConnection(const std::string& connectionString) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::u16string text = Utf16(connectionString);
  const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS, nullptr, 0,
                                         nullptr, SQL_DRIVER_NOPROMPT);
  m_env = env;
  if (!Succeeded(rc)) {
    ADD_FAILURE() << "cannot connect for the test: " << Diagnostic(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return;
  }
  m_dbc = dbc;
}

PgConnection::~PgConnection() {
  if (m_dbc != nullptr) {
    SQLDisconnect(static_cast<SQLHDBC>(m_dbc));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(m_dbc));
  }
  if (m_env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(m_env));
}

void PgConnection::Exec(const std::string& sql) { Rows(sql); }

std::vector<std::vector<std::string>> PgConnection::Rows(const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  if (m_dbc == nullptr) {
    ADD_FAILURE() << "no connection for: " << sql;
    return rows;
  }
  SQLHSTMT statement = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(m_dbc), &statement);
  std::u16string text = Utf16(sql);
  SQLRETURN rc = SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
  if (!Succeeded(rc) && rc != SQL_NO_DATA) {
    ADD_FAILURE() << "statement failed: " << Diagnostic(SQL_HANDLE_STMT, statement) << "\n" << sql;
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return rows;
  }
  SQLSMALLINT columns = 0;
  SQLNumResultCols(statement, &columns);
  while (columns > 0 && Succeeded(rc = SQLFetch(statement))) {
    std::vector<std::string> row;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      const std::optional<std::u16string> value = ReadText(statement, c);
      row.push_back(value ? Utf8(*value) : std::string(kNull));
    }
    rows.push_back(std::move(row));
  }
  if (columns > 0 && rc != SQL_NO_DATA) ADD_FAILURE() << "fetch failed: " << Diagnostic(SQL_HANDLE_STMT, statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return rows;
}

std::vector<std::string> PgConnection::Column(const std::string& sql) {
  std::vector<std::string> values;
  for (const auto& row : Rows(sql)) values.push_back(row.empty() ? std::string() : row[0]);
  return values;
}

std::string PgConnection::Scalar(const std::string& sql) {
  const auto rows = Rows(sql);
  return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

std::string WithDatabase(const std::string& connectionString, const std::string& database) {
  std::string result;
  std::size_t pos = 0;
  while (pos < connectionString.size()) {
    std::size_t end = connectionString.find(';', pos);
    if (end == std::string::npos) end = connectionString.size();
    const std::string part = connectionString.substr(pos, end - pos);
    std::string key = part.substr(0, part.find('='));
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (!part.empty() && key != "database") result += part + ";";
    pos = end + 1;
  }
  return result + "Database=" + database;
}

TestDatabase::TestDatabase(const std::string& tag) {
  m_server = PgConnectionString().value_or(std::string());
  m_name = "qm_pgplugin_" + tag + "_" + std::to_string(::getpid());
  PgConnection maintenance(m_server);
  maintenance.Exec("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
  maintenance.Exec("CREATE DATABASE " + m_name + " ENCODING 'UTF8' TEMPLATE template0");
}

TestDatabase::~TestDatabase() {
  PgConnection maintenance(m_server);
  maintenance.Exec("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
}

std::unique_ptr<PgConnection> TestDatabase::Connect() const {
  auto connection = std::make_unique<PgConnection>(ConnectionString());
  if (connection->Connected()) connection->Exec("SELECT pg_catalog.set_config('search_path', '', false)");
  return connection;
}

LoadedPlugin::LoadedPlugin() {
  m_handle = dlopen(QM_POSTGRES_PLUGIN, RTLD_NOW | RTLD_LOCAL);
  if (m_handle == nullptr) {
    ADD_FAILURE() << "cannot load " << QM_POSTGRES_PLUGIN << ": " << dlerror();
    return;
  }
  auto entry = reinterpret_cast<QmGetPluginApiFn>(dlsym(m_handle, QM_PLUGIN_ENTRY_NAME));
  if (entry == nullptr) {
    ADD_FAILURE() << QM_PLUGIN_ENTRY_NAME << " is not exported";
    return;
  }
  m_api = entry();
}

LoadedPlugin::~LoadedPlugin() { Unload(); }

bool LoadedPlugin::Unload() {
  m_api = nullptr;
  if (m_handle != nullptr) dlclose(m_handle);
  m_handle = nullptr;
  return dlopen(QM_POSTGRES_PLUGIN, RTLD_NOW | RTLD_NOLOAD) == nullptr;
}

namespace {

// Gives the session its host window when the import starts, as a host's
// object explorer does.
class WindowExplorer : public IObjectExplorerInterface {
 public:
  explicit WindowExplorer(HWND window) : m_window(window) {}
  void OnImportStarting() override {
    if (ISchemaImportSessionState* session = InterfaceProvider::Instance()->GetSchemaImportSessionState())
      session->SetNotifyWindow(m_window);
  }
  void OnImportFinished() override {}

 private:
  HWND m_window;  // the test's window; not owned
};

}  // namespace

ImportOutcome RunImport(const QmPluginApi& api, GenericModel& model, const std::string& connectionString,
                        const std::string& scope, std::chrono::seconds limit) {
  ImportOutcome outcome;
  InterfaceProvider* provider = InterfaceProvider::Instance();
  ISchemaImport* import = provider->GetSchemaImportApi();
  ISchemaImportSessionState* session = provider->GetSchemaImportSessionState();
  if (import == nullptr || session == nullptr) {
    ADD_FAILURE() << "the module registered no import interface or session";
    return outcome;
  }
  api.Configure(Utf16(connectionString), Utf16(scope));
  HWND window = platform::CreateMessageWindow();
  WindowExplorer explorer(window);
  provider->SetObjectExplorerInterface(&explorer);
  std::future<void> run = std::async(std::launch::async, [&] { import->ReverseEngineerFromDB(&model); });
  if (run.wait_for(limit) != std::future_status::ready) {
    ADD_FAILURE() << "the import did not end within " << limit.count() << " s";
    std::cerr << "the import hangs; aborting the test process\n";
    std::abort();
  }
  run.get();
  outcome.finished = true;
  provider->SetObjectExplorerInterface(nullptr);
  outcome.status = session->GetStatus();
  while (std::optional<MSG> message = platform::PeekMessage(window)) outcome.messages.push_back(*message);
  platform::DestroyMessageWindow(window);
  outcome.failed = api.FailedStatements();
  return outcome;
}

std::vector<CMOObject*> Children(GenericModel& model, const CMOObject& parent, int type) {
  std::vector<int> ids;
  parent.GetChildrenByType(ids, type);
  std::vector<CMOObject*> children;
  for (int id : ids)
    if (CMOObject* child = model.GetCMOObject(id)) children.push_back(child);
  return children;
}

CMOObject* Child(GenericModel& model, const CMOObject& parent, int type, std::u16string_view name) {
  for (CMOObject* child : Children(model, parent, type))
    if (Name(*child) == Utf8(name)) return child;
  return nullptr;
}

std::vector<CMOObject*> AllOfType(GenericModel& model, int type) {
  std::vector<CMOObject*> objects;
  for (int id = 1; id <= model.GetObjectCount(); ++id)
    if (CMOObject* object = model.GetCMOObject(id); object != nullptr && object->GetObjectType() == type)
      objects.push_back(object);
  return objects;
}

std::string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? Utf8(property->GetWStringValue()) : std::string();
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetObjectIdVectorValue() : std::vector<int>();
}

std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return std::nullopt;
  return property->GetIntegerValue();
}

std::string Name(const CMOObject& object) { return Text(object, model::Name); }

std::string NameList(GenericModel& model, const std::vector<int>& ids) {
  std::string list;
  for (int id : ids) {
    if (!list.empty()) list += ",";
    const CMOObject* object = model.GetCMOObject(id);
    list += object != nullptr ? Name(*object) : "#" + std::to_string(id);
  }
  return list;
}

std::string LineDifference(std::vector<std::string> expected, std::vector<std::string> actual) {
  std::multiset<std::string> wanted(expected.begin(), expected.end());
  std::multiset<std::string> got(actual.begin(), actual.end());
  std::string text;
  for (const std::string& line : wanted)
    if (got.count(line) < wanted.count(line) && text.find("- " + line + "\n") == std::string::npos)
      text += "- " + line + "\n";
  for (const std::string& line : got)
    if (wanted.count(line) < got.count(line) && text.find("+ " + line + "\n") == std::string::npos)
      text += "+ " + line + "\n";
  return text.empty() ? text : "(- only pg_catalog, + only the model)\n" + text;
}

}  // namespace qm::test::postgres

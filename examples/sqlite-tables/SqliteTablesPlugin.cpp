// libqm_sqlite_tables.so: an example database plug-in, built against the
// installed Quillmere SDK and nothing else. It reads the tables of an SQLite
// database's main schema, and their columns, through the SQLite3 ODBC
// driver:
//
//   quillmere-import --sqlite-tables 'Driver={SQLite3};Database=shop.db'
//   quillmere-import --plugin sqlite_tables --connect 'Driver={SQLite3};Database=shop.db'
//
// What every plug-in writes is here, in the order an import meets it: a
// connector that opens the source the host configured, a reader that runs
// the catalogue statements, one row action per statement turning rows into
// model objects, and what the plug-in says of itself, with the one line
// that makes its table (QM_PLUGIN).
#include <schemaimport/CommonDataObject.h>
#include <schemaimport/ConnectionString.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/ObjectIdLookup.h>
#include <schemaimport/PluginTools.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>
#include <schemaimport/ScopeList.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sqlite_tables {
namespace {

// The model type the plug-in's tools are registered under: a number no
// other plug-in of the installation uses (the bundled ones have 1001 and
// 1002).
constexpr unsigned int kModelType = 9001;

// The catalogue statements, by id, in the order ReadObjects runs them.
enum StatementId : int {
  kTables = 1,   // one row per table
  kColumns = 2,  // one row per column, a table's columns in order
};

// Stored tables of the main database; SQLite's own tables and virtual
// tables (whose columns need their module loaded) are left out.
constexpr const char16_t* kTablesSql =
    uR"(SELECT name AS table_name FROM main.sqlite_master
        WHERE type = 'table' AND name NOT LIKE 'sqlite\_%' ESCAPE '\' AND sql NOT LIKE 'CREATE VIRTUAL %'
        ORDER BY name)";
constexpr const char16_t* kColumnsSql =
    uR"(SELECT m.name AS table_name, c.cid + 1 AS position, c.name AS column_name,
               c.type AS data_type, c."notnull" AS not_null
        FROM main.sqlite_master AS m JOIN pragma_table_info(m.name, 'main') AS c
        WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\_%' ESCAPE '\' AND m.sql NOT LIKE 'CREATE VIRTUAL %'
        ORDER BY m.name, c.cid)";

// ---- Connector: the connection string as the host gave it. The base keeps
// what the host configured (GetSource, GetScope, GetConnectOptions), hands
// the scope to the reader, and keeps the reason a connect step failed.

class Connector : public SchemaSourceConnectorI {
 public:
  // The SQLite3 driver creates a database file that does not exist; with
  // NoCreat=1 it refuses instead, unless the connection string says
  // otherwise. Its Timeout (milliseconds) is how long it waits for a
  // database another process has locked.
  bool EstablishConnection() override {
    std::u16string text = GetSource();
    if (text.empty()) return Refuse(u"no connection string given");
    const std::vector<ConnectionAttribute> attributes = ParseConnectionString(text);
    auto append = [&text](const std::u16string& attribute) {
      if (!text.empty() && text.back() != u';') text += u';';
      text += attribute;
    };
    if (!HasAttribute(attributes, {u"NoCreat"})) append(u"NoCreat=1");
    if (!HasAttribute(attributes, {u"Timeout"})) {
      const std::string milliseconds = std::to_string(GetConnectOptions().timeoutSeconds * 1000);
      append(u"Timeout=" + std::u16string(milliseconds.begin(), milliseconds.end()));
    }
    CString connectionString(std::move(text));
    return Connect(connectionString);
  }
};

// ---- Row actions: tables under the schema "main", columns under their
// table, found again through the module's object cache.

class TablesAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string name = record.Text(u"table_name");
    const int schemaId = SchemaLookup::Instance()->FindCreate(model, u"main");
    CMOObject& table = CreateNamedObject(*model, model::Table, schemaId, name);
    ImportedObjectCache::Instance()->Add(CString(name), &table);
  }
};

class ColumnsAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* table = ImportedObjectCache::Instance()->FindObject(CString(record.GetText(u"table_name")));
    if (table == nullptr) return;  // created after the tables were read
    CMOObject& column =
        CreateNamedObject(*model, model::Column, table->GetObjectId(), record.Text(u"column_name"));
    if (!record.GetText(u"data_type").empty()) SetTextProperty(column, model::DataType, record.Text(u"data_type"));
    SetIntegerProperty(column, model::Nullable, record.GetNumber(u"not_null") != 0 ? 0 : 1);
    SetIntegerProperty(column, model::Position, record.GetNumber(u"position"));
  }
};

// ---- Reader: registers the statements once, runs them in order in the
// base's read loop (stop check, progress, failures named for the host).

class Reader : public SchemaSourceReaderI {
 public:
  void RegisterQueryStatements() override {
    AddQueryStatement(kTables, model::Table, CString(kTablesSql), u"tables");
    AddQueryStatement(kColumns, model::Column, CString(kColumnsSql), u"columns");
    if (GetStatementRowAction(kTables) == nullptr) SetStatementRowAction(kTables, new TablesAction);
    if (GetStatementRowAction(kColumns) == nullptr) SetStatementRowAction(kColumns, new ColumnsAction);
  }

  // Reads main, unless the scope names schemas and main is not among them
  // (SQLite compares database names ignoring ASCII case).
  void ReadObjects() override {
    const std::vector<std::u16string> wanted = ParseScope(m_reScope.view());
    const bool readsMain = wanted.empty() || std::any_of(wanted.begin(), wanted.end(), [](const std::u16string& name) {
                             return EqualsIgnoringAsciiCase(name, u"main");
                           });
    if (readsMain) RunStatements({kTables, kColumns});
  }
};

// ---- What the plug-in says of itself. The host lists it (--list-plugins),
// offers its shortcut (--sqlite-tables STRING), and picks it for a
// --connect string whose Driver it serves when no plug-in found before it
// serves that driver too (else --plugin sqlite_tables picks it).

constexpr const char* kDrivers[] = {"SQLite3", nullptr};

constexpr QmPluginDescriptor kPlugin = {
    .name = "sqlite_tables",
    .description = "Tables and columns of an SQLite database's main schema (an example plug-in)",
    .drivers = kDrivers,
    .shortcut = {"sqlite-tables", "STRING", "Import the tables of an SQLite database through the connection string STRING",
                 QmShortcutValue::ConnectionString},
    .modelType = kModelType,
    // Its models are written in SQLite's SQL, and a host names the package
    // of the driver when the driver is missing.
    .sqlDialect = "sqlite",
    .driverPackage = "libsqliteodbc",
};

}  // namespace
}  // namespace sqlite_tables

// The plug-in table and its entry point: the tools are made on the host's
// first Configure and live as long as the library is loaded.
QM_PLUGIN(sqlite_tables::Connector, sqlite_tables::Reader, sqlite_tables::kPlugin)

// What the generic plug-in needs to know about a data source before it
// reads its catalogue, asked of the driver once per connection
// (SQLGetInfo, SQLGetFunctions, SQLGetConnectAttr), and how the names the
// catalogue functions report become the model's schemas.
//
// Schemas. The model has one level above tables; drivers have up to two
// (catalog and schema) and fill them differently: psqlODBC reports the
// database as the catalog and PostgreSQL's schemas as schemas, MariaDB's
// driver its databases as catalogs and no schema, the SQLite3 driver
// neither. A model schema is the schema the driver names, else its
// catalog, else the database the driver reports for the connection
// (SQL_DATABASE_NAME; for SQLite3 the file's path), else "default".
#pragma once

#include <string>
#include <string_view>

namespace qm::odbc {

// Which naming level the import reads by (the scope names it).
enum class NamingLevel {
  Schema,   // the driver has schemas: scope names are schemas, the catalog is the connection's
  Catalog,  // catalogs but no schemas: scope names are catalogs; none given, the current one
  None,     // neither: one schema named after the database
};

struct SourceFacts {
  NamingLevel level = NamingLevel::None;  // how names are read (see above)
  std::u16string currentCatalog;          // SQL_ATTR_CURRENT_CATALOG; empty when the driver has none
  std::u16string databaseName;            // SQL_DATABASE_NAME as the connector read it
  // Which catalogue functions the driver has (SQLGetFunctions); a driver
  // manager that cannot tell says yes.
  bool primaryKeys = true;
  bool foreignKeys = true;
  bool statistics = true;
  // The driver has procedures (SQL_PROCEDURES "Y") and both functions.
  bool procedures = false;
  // The source has procedures (SQL_PROCEDURES "Y") but the driver lacks a
  // function to read them.
  bool proceduresFunctionMissing = false;

  // The model schema of a catalogue row's catalog and schema (see above).
  std::u16string SchemaName(std::u16string_view catalog, std::u16string_view schema) const;
  // The schema a source without catalogs and schemas puts everything in.
  std::u16string SingleSchemaName() const;
};

// Asks the driver of the open connection (an SQLHDBC) what SourceFacts
// holds; databaseName is taken as given.
SourceFacts ReadSourceFacts(void* connection, std::u16string databaseName);

}  // namespace qm::odbc

// What unixODBC has: the drivers its odbcinst.ini registers and the data
// sources (DSNs) of the user's and the system's odbc.ini, read through the
// driver manager itself (SQLDrivers, SQLDataSources), so that ODBCINI,
// ODBCSYSINI and ODBCINSTINI point it elsewhere as they do every ODBC
// program.
//
// Thread safety: any thread; each call opens and frees its own ODBC
// environment.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace runner {

// A registered ODBC driver.
struct OdbcDriver {
  std::string name;     // the section name, e.g. "PostgreSQL Unicode"
  std::string library;  // its Driver= setting (a library file or path); empty when not set
};

// A data source.
struct OdbcDataSource {
  std::string name;    // e.g. "shop"
  std::string driver;  // the driver it names, as the driver manager reports it
  bool system = false; // from the system's odbc.ini rather than the user's
};

// The registered drivers, in the order the driver manager lists them.
std::vector<OdbcDriver> ListOdbcDrivers();
// The user's data sources, then the system's.
std::vector<OdbcDataSource> ListOdbcDataSources();
// The data source of that name (ODBC compares them ignoring ASCII case), or
// nothing.
std::optional<OdbcDataSource> FindOdbcDataSource(const std::string& name);

// Where unixODBC reads data sources and drivers, for messages:
// "user data sources: /home/me/.odbc.ini; system: /etc/odbc.ini; drivers: /etc/odbcinst.ini".
std::string OdbcConfigurationFiles();

}  // namespace runner

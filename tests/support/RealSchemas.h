// The real applications' schemas of tests/data/schemas: a folder per
// application, a script per database (sqlite.sql, ...) beside a note of its source.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

// The applications with a script for the database, sorted.
std::vector<std::string> RealSchemaApps(const std::string& database);
// The application's script for the database; "" when there is none.
std::string RealSchemaSql(const std::string& app, const std::string& database);
// tests/data/versions: "<database>-old.sql" or "<database>-upgrade.sql"; "" when none.
std::string RealVersionSql(const std::string& app, const std::string& file);

}  // namespace qm::test

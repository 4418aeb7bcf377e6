// The real applications' schemas of tests/data/schemas: a folder per
// application, a script per database it supports (sqlite.sql,
// postgres.sql, mariadb.sql), each beside a note naming the Debian package
// and version it comes from and its licence.
#pragma once

#include <string>
#include <vector>

namespace qm::test {

// The applications with a script for the database ("sqlite", "postgres",
// "mariadb"), by folder name, sorted.
std::vector<std::string> RealSchemaApps(const std::string& database);
// The application's script for the database; "" when there is none.
std::string RealSchemaSql(const std::string& app, const std::string& database);
// A script of a real application's two versions (tests/data/versions):
// "<database>-old.sql" or "<database>-upgrade.sql"; "" when there is none.
std::string RealVersionSql(const std::string& app, const std::string& file);

}  // namespace qm::test

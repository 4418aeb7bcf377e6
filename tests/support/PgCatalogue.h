// What pg_catalog says about a database's own schemas, and the same from a model.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace qm::test {

std::vector<std::string> PgCatalogueLines(const std::string& database);

std::vector<std::string> PgModelLines(GenericModel& model);
// "owner PATH ROLE", "grant PATH GRANTEE PRIVILEGE[ *]" (PUBLIC: "public").
std::vector<std::string> PgPrivilegeLines(const std::string& database);

}  // namespace qm::test

// What information_schema (and mysql.proc for bodies as written) says about
// schemas, and the same facts from a model, as lines to compare.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace qm::test {

// Who reads the catalogue: the tests' account (empty user), or another.
struct MariaAccount {
  std::string user;      // empty: the account of QM_MARIA_CLIENT_CNF
  std::string password;
};

// The lines of the schemas (all but MariaDB's own when empty).
std::vector<std::string> MariaCatalogueLines(const std::vector<std::string>& schemas,
                                             const MariaAccount& account = {});

std::vector<std::string> MariaModelLines(GenericModel& model);
// "grant PATH GRANTEE PRIVILEGE[ *]" on the schema, its tables and columns.
std::vector<std::string> MariaPrivilegeLines(const std::string& schema);

}  // namespace qm::test

// What MariaDB's information_schema says about the schemas of a server
// (and mysql.proc about routine bodies, where it keeps them as written),
// and the same facts read from an imported model, as lines to compare
// object by object: schemas, tables (kind, engine, row format, collation,
// partitioning, comment), views (check option, security, definer,
// definition), sequences with their values, columns (type, nullability,
// default, generation, auto_increment, invisibility, ON UPDATE, character
// set, collation, key position, comment), keys and indexes (columns, method,
// prefix lengths, descending parts, ignored, comment), checks, foreign keys
// (columns, referenced table, columns and key, match, actions), partitions
// with their bound clauses, triggers (timing, event, order, definer, body),
// routines (kind, return type, parameter list, body) and parameters.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace qm::test {

// Who reads the catalogue: the tests' account (empty user), or another
// account, whose view of the catalogue may be smaller.
struct MariaAccount {
  std::string user;      // empty: the account of QM_MARIA_CLIENT_CNF
  std::string password;
};

// The lines of the schemas (all but MariaDB's own when empty), read with
// the mariadb client, hex on the wire, with the import's sql_mode (columns
// with the server's global one, by which it derives a view's). Routine
// bodies come from mysql.proc when the account may read it.
std::vector<std::string> MariaCatalogueLines(const std::vector<std::string>& schemas,
                                             const MariaAccount& account = {});

std::vector<std::string> MariaModelLines(GenericModel& model);
// The grants on the schema, its tables and columns: "grant PATH GRANTEE
// PRIVILEGE[ *]", PATH the names joined by ".", GRANTEE user@host (a role:
// its name).
std::vector<std::string> MariaPrivilegeLines(const std::string& schema);

}  // namespace qm::test

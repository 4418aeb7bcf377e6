// What pg_catalog says about a database, and the same facts read from an
// imported model, as lines to compare object by object: schemas, tables
// (kind, tablespace, partition key, owner, comment), views, columns (type,
// nullability, default, generation, identity, collation, key position,
// comment), keys, checks, foreign keys (columns, referenced table, columns
// and key, match, actions, deferral), indexes, sequences, types (with enum
// labels and composite attributes), routines with their bodies and
// parameters, triggers (timing, events with the columns of UPDATE OF, and
// definition) and partitions. PostgreSQL's own schemas are left
// out.
#pragma once

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace qm::test {

// Read with psql, hex on the wire, with search_path emptied so that the
// server prints names as the import sees them.
std::vector<std::string> PgCatalogueLines(const std::string& database);

std::vector<std::string> PgModelLines(GenericModel& model);
// Owners and grants: "owner PATH ROLE", "grant PATH GRANTEE PRIVILEGE[ *]"
// (PUBLIC as "public"), PATH the names from the schema down joined by ".".
std::vector<std::string> PgPrivilegeLines(const std::string& database);

}  // namespace qm::test

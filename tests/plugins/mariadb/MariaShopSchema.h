// The database the MariaDB plug-in tests import.
#pragma once

#include <string>

namespace qm::test::mariadb {

// SQL that makes every kind of object the plug-in reads in the current
// database, with the details that differ between MariaDB and the other
// databases: unsigned zerofill, enum and set columns, defaults of every
// kind, generated and invisible columns, ON UPDATE, prefix, descending,
// fulltext, spatial, hash and ignored indexes, checks, foreign keys on
// two columns, list and range partitions with subpartitions, a
// system-versioned table, an Aria table, a sequence beyond 32 bits, views
// with check options and security, triggers in a set order, and routines
// with every parameter mode and a character outside the BMP.
std::string MariaShopScript();

}  // namespace qm::test::mariadb

// The schema the import tests read: every kind of object the plug-in
// imports, in three schemas besides public, with names that need quoting
// (mixed case, blanks, quotes, non-ASCII), partitions of every strategy, an
// index with INCLUDE, partial and expression indexes, routines with every
// parameter mode, and a view and a function body longer than the 4000-byte
// transfer buffer.
#pragma once

#include "PgTestSupport.h"

#include <string>

namespace qm::test::postgres {

// Creates the objects in the database (a fresh one); `tableSpace` is a
// tablespace the test made for orders and one index.
void CreateShopSchema(PgConnection& connection, const std::string& tableSpace);

// Makes an in-place tablespace of that name on the test server (dropped
// with DropTableSpace); false when the server refuses.
bool CreateTableSpace(PgConnection& connection, const std::string& name);
void DropTableSpace(PgConnection& connection, const std::string& name);

}  // namespace qm::test::postgres

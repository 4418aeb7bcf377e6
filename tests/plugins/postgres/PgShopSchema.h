// The database the PostgreSQL plug-in tests import.
#pragma once

#include <string>

namespace qm::test::postgres {

// SQL that makes every kind of object the plug-in imports, in three schemas
// besides public, with names that need quoting (mixed case, blanks, quotes,
// non-ASCII), partitions of every strategy, an index with INCLUDE, partial
// and expression indexes, routines with every parameter mode, and a view
// and a function body longer than the 4000-byte transfer buffer.
// `tableSpace` holds orders and one index.
std::string ShopSchemaScript(const std::string& tableSpace);

}  // namespace qm::test::postgres

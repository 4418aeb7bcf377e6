// Text helpers of the PostgreSQL plug-in: SQL literals, the scope filter,
// and the catalogue's array and bound texts. Connection strings and the
// scope list are read by the module's <schemaimport/ConnectionString.h>.
//
// Everything here is pure: no ODBC, no model, no module state.
#pragma once

#include <schemaimport/ConnectionString.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::postgres {

// The text as a PostgreSQL string literal: single quotes doubled; a text
// holding a backslash becomes an escape string (E'...') with backslashes
// doubled too, so that it means the same whatever the server's
// standard_conforming_strings says. Any text is safe to splice.
std::u16string QuoteLiteral(std::u16string_view text);

// The filter on the schema name column (e.g. n.nspname) for a scope: the
// names given, or, for an empty list, every schema but PostgreSQL's own
// (pg_catalog, information_schema, pg_toast, and the temporary schemas).
std::u16string ScopeFilter(std::u16string_view column, const std::vector<std::u16string>& schemas);

// Decimal text of an unsigned number.
std::u16string Decimal(std::uint64_t value);
std::u16string Decimal(int value);

// Integers of an array's text form: "{1,2,3}" (an int2[]) or "1 2 0" (an
// int2vector). Empty for NULL-like or empty input; an item that is not a
// number is skipped.
std::vector<int> ParseIntegerList(std::u16string_view text);

// A decimal integer (optional sign), or nothing when the text is not one
// or does not fit 64 bits.
std::optional<std::int64_t> ParseInt64(std::u16string_view text);

// The values of a partition bound as PostgreSQL prints it
// (pg_get_expr(relpartbound)): string literals without their quotes and
// with doubled quotes made single, other items (numbers, MINVALUE,
// MAXVALUE, NULL, "modulus 4") as written.
struct PartitionBound {
  enum class Kind { Unknown, List, Range, Hash, Default };
  Kind kind = Kind::Unknown;
  std::vector<std::u16string> values;  // IN list; lower bound of a range; modulus and remainder of a hash
  std::vector<std::u16string> upper;   // upper bound of a range; empty otherwise
};
PartitionBound ParsePartitionBound(std::u16string_view text);

}  // namespace qm::postgres

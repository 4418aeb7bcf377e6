// Text helpers of the MariaDB plug-in: literals and identifiers as MariaDB
// reads them, the scope filter, cache keys, and the catalogue's partition
// value lists. Connection strings and the scope list are read by the
// module's <schemaimport/ConnectionString.h>.
//
// Everything here is pure: no ODBC, no model, no module state.
#pragma once

#include <schemaimport/ConnectionString.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::mariadb {

// The text as a MariaDB string literal that means the same bytes whatever
// the session's sql_mode says (NO_BACKSLASH_ESCAPES, ANSI_QUOTES): a hex
// literal of its UTF-8 bytes with the utf8mb4 introducer, _utf8mb4 X'...'.
// Any text is safe to splice.
std::u16string HexLiteral(std::u16string_view text);

// The name as a MariaDB identifier: between backticks, a backtick doubled.
std::u16string QuoteIdentifier(std::u16string_view name);

// The schemas MariaDB keeps for itself, left out of an import whose scope
// names none.
const std::vector<std::u16string>& SystemSchemas();

// The filter on a schema-name column (e.g. t.TABLE_SCHEMA) for a scope:
// exactly the names given (byte for byte: the catalogue's own comparison
// ignores letter case), or, for an empty list, every schema but
// SystemSchemas(). A single name is also compared with `=`, which lets the
// server read that one database only.
std::u16string ScopeFilter(std::u16string_view column, const std::vector<std::u16string>& schemas);

// Decimal text of a number.
std::u16string Decimal(std::int64_t value);

// A decimal integer (optional sign), or nothing when the text is not one
// or does not fit 64 bits.
std::optional<std::int64_t> ParseInt64(std::u16string_view text);

// A key for the module's caches made of parts, each written with its length
// first, so that no two different lists of parts make the same key
// whatever characters the names hold: kind + ("<length>:" + part)...
std::u16string CacheKey(char16_t kind, std::initializer_list<std::u16string_view> parts);

// The values of a partition's bound as MariaDB writes them in
// PARTITIONS.PARTITION_DESCRIPTION ("10", "MAXVALUE", "'it''s','x,y'",
// "(1,2),(3,4)"): the items between the commas outside quotes and
// parentheses; a string literal as its content (quotes and escapes
// undone), anything else (numbers, MAXVALUE, NULL, a parenthesised tuple)
// as written. Empty for an empty text.
std::vector<std::u16string> PartitionValues(std::u16string_view description);

// The bound clause of a partition for its method ("RANGE", "LIST COLUMNS",
// ...) and description: VALUES LESS THAN (...), VALUES LESS THAN MAXVALUE,
// VALUES IN (...), DEFAULT for a list's default partition (whose
// description the catalogue gives as MAXVALUE); empty for a method without
// bounds (HASH, KEY) or an empty description.
std::u16string PartitionBoundClause(std::u16string_view method, std::u16string_view description);

}  // namespace qm::mariadb

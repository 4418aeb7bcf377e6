// SQL texts as the comparison reads them: an expression the database
// printed differently without anything having changed is the same
// expression.
//
// A server keeps an expression as a parse tree and prints it when asked;
// read back, the print may parse to another tree that prints otherwise.
// Measured by dumping and reloading every real test schema (pg_dump,
// mysqldump, sqlite3's .dump, and our own sql format), one such re-wording
// exists, in PostgreSQL: `x IN ('a', 'b')` over a varchar is kept as
//     (x)::text = ANY ((ARRAY['a'::character varying, 'b'::character varying])::text[])
// and that text, loaded again, as
//     (x)::text = ANY (ARRAY[('a'::character varying)::text, ('b'::character varying)::text])
// (a cast of the whole array becomes a cast of each element), in checks,
// domains, index predicates, views and trigger conditions alike. MariaDB
// and SQLite print what they stored unchanged.
//
// The comparison reads both sides in one normal form, the second one; the
// model keeps the texts as the database gave them. Nothing else is
// rewritten: a change of a literal, an operator, an element or a type is a
// change.
//
// Thread safety: plain functions without state.
#pragma once

#include <string>
#include <string_view>

namespace compare {

// Whether the property holds SQL the database prints from a parse tree (a
// check, default, generated or update expression, an index predicate or
// expression, a constraint's, index's, view's or trigger's definition, a
// partition bound), which the comparison reads through NormalExpression.
// A routine's body and a comment are kept as written and compared exactly.
bool IsExpressionProperty(int objectType, int propertyId);

// The text in the normal form described above. A text the rewriting does
// not apply to (no cast of a whole array, or one it cannot read to its end:
// an unclosed quote or bracket) comes back unchanged. Linear in the text.
std::u16string NormalExpression(std::u16string_view text);

}  // namespace compare

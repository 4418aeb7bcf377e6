// The two printed forms of a ModelDifference (ModelDiff.h): for people and
// for programs. What is printed is kept apart from the matching, so that
// other users of the matching (a migration plan) print their own way.
//
// Thread safety: plain functions without state.
#pragma once

#include <compare/ModelDiff.h>

#include <iosfwd>

namespace compare {

// For people: one line per object ("+ table main.reviews  (5 columns)",
// "- index ...", "~ column main.orders.total") with the changed properties
// indented below it (name: old → new), then a summary line; names and
// texts shown as the tree format shows them (VisibleText.h), long texts
// cut around their first difference. Nothing but "no differences" when
// the models agree.
void WriteDifferenceText(const ModelDifference& difference, std::ostream& out);

// For programs: {"equal": bool, "added": n, "removed": n, "changed": n,
// "objects": [{"change": "added"|"removed"|"changed", "type": "table",
// "path": [{"type": "schema", "key": "main"}, ...], "properties": {NAME:
// {"old": V, "new": V}}, "descendants": {"column": 5}}]}, where a value V
// is a string, a number, null (a property without value), an array of
// paths (references) or absent from the pair when the object lacks the
// property. Text is UTF-8, indented by two blanks, with a final line break.
void WriteDifferenceJson(const ModelDifference& difference, std::ostream& out);

}  // namespace compare

// The two printed forms of a ModelDifference (ModelDiff.h): for people and
// for programs. What is printed is kept apart from the matching, so that
// other users of the matching (a migration plan) print their own way.
//
// Thread safety: plain functions without state.
#pragma once

#include <compare/ModelDiff.h>

#include <iosfwd>

namespace compare {

struct DiffTextOptions {
  // Only the summary line, and nothing at all when the models agree (the
  // command's -q: the exit code says it, the line says how much).
  bool summaryOnly = false;
};

// For people: one line per object ("+ table main.reviews  (5 columns)",
// "- index ...", "~ column main.orders.total"), indented below it each
// property that differs (name: old → new) or, for an added or removed
// object, each it has: its definition (a column's type, nullability and
// default; a foreign key's columns, target and rules). Flags read yes and
// no, the vocabulary's words are shown bare, names and other texts quoted
// and escaped as the tree format shows them (VisibleText.h). A text of
// several lines or longer than a line is never cut: a changed one is shown
// as a line diff (unchanged lines around each change, "- " removed, "+ "
// added). A property restated by the others (PropertyDifference::restated)
// is left out, and an object whose every difference is. Then a summary
// line; "no differences" when the models agree.
void WriteDifferenceText(const ModelDifference& difference, std::ostream& out, const DiffTextOptions& options = {});

// For programs: {"equal": bool, "added": n, "removed": n, "changed": n,
// "objects": [{"change": "added"|"removed"|"changed", "type": "table",
// "path": [{"type": "schema", "key": "main"}, ...], "properties": {NAME:
// {"old": V, "new": V}}, "descendants": {"column": 5}}]}, where a value V
// is a string, a number, null (a property without value), an array of
// paths (references) or absent from the pair when the object lacks the
// property; a restated property's pair has "restated": true. Objects whose
// every difference is restated are not listed nor counted, as in the text.
// With countsOnly, no "objects". Text is UTF-8, indented by two blanks,
// with a final line break.
void WriteDifferenceJson(const ModelDifference& difference, std::ostream& out, bool countsOnly = false);

}  // namespace compare

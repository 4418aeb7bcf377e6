// Text helpers of the SQLite plug-in: quoting names into catalogue SQL, the
// keys under which imported objects are cached, and reading the parts of a
// CREATE INDEX / CREATE TRIGGER text that SQLite's pragmas do not report.
//
// All functions are pure and may be called from any thread.
#pragma once

#include <schemaimport/ConnectionString.h>

#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlite {

// The name as an SQL identifier: in double quotes, inner double quotes
// doubled. Any text (quotes, dots, non-ASCII) stays one identifier.
std::u16string QuoteIdentifier(std::u16string_view name);

// The text as an SQL string literal: in single quotes, inner single quotes
// doubled.
std::u16string QuoteLiteral(std::u16string_view text);

// Cache keys. Every part is case-folded (ASCII letters only, as SQLite
// compares identifiers: "Parent" and "parent" name one table, "É" and "é"
// two) and quoted, so a key never depends
// on the letter case a reference was written in, and names containing
// dots, quotes or parentheses cannot run into each other:
//   ObjectKey("main", "Orders")              "main"."orders"
//   ColumnKey("main", "orders", "Id")        "main"."orders"."id"
//   KeySignature("main", "t", {"B", "a"})    "main"."t"("a","b")
// A key signature lists its columns in ascending order: SQLite accepts a
// parent key whose columns a foreign key names in any order.
std::u16string ObjectKey(std::u16string_view schema, std::u16string_view name);
// Appends one part of a key: the name case-folded and quoted.
void AppendKeyPart(std::u16string& key, std::u16string_view name);
std::u16string ColumnKey(std::u16string_view schema, std::u16string_view table, std::u16string_view column);
std::u16string KeySignature(std::u16string_view schema, std::u16string_view table,
                            const std::vector<std::u16string>& columns);

// What a CREATE INDEX text says beyond the pragmas.
struct IndexText {
  bool parsed = false;                 // the key-term list was found
  std::vector<std::u16string> terms;   // key terms as written, ASC/DESC and a trailing COLLATE removed
  std::u16string predicate;            // text after WHERE, trimmed; empty for a full index
};
// Splits the parenthesised key-term list at its top-level commas and takes
// the WHERE clause after it. Quotes ('', "", [], ``) and comments are
// honoured. Without a term list, parsed stays false and nothing is filled.
IndexText ParseCreateIndex(std::u16string_view sql);

// What a CREATE TRIGGER text says about when the trigger fires.
struct TriggerText {
  bool parsed = false;      // the event was found
  std::u16string timing;    // "BEFORE", "AFTER" or "INSTEAD OF"; "BEFORE" when the text names none
  std::u16string events;    // "DELETE", "INSERT", "UPDATE" or "UPDATE OF <columns as written>"
};
TriggerText ParseCreateTrigger(std::u16string_view sql);

}  // namespace qm::sqlite

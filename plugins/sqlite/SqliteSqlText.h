// Text helpers of the SQLite plug-in: quoting names into catalogue SQL, the
// keys under which imported objects are cached, and reading what SQLite's
// pragmas do not report from the CREATE texts SQLite keeps (tables, indexes,
// triggers). Every reading goes through SqlTokenizer (SqliteTokenizer.h).
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
//   KeySignature("main", "t", {"B", "a"})    "main"."t"("a","b")
// A key signature lists its columns in ascending order: SQLite accepts a
// parent key whose columns a foreign key names in any order.
std::u16string ObjectKey(std::u16string_view schema, std::u16string_view name);
// Appends one part of a key: the name case-folded and quoted.
void AppendKeyPart(std::u16string& key, std::u16string_view name);
std::u16string KeySignature(std::u16string_view schema, std::u16string_view table,
                            const std::vector<std::u16string>& columns);

// What a CREATE TABLE text says beyond the pragmas, read as SQLite reads
// it. Names are dequoted; expressions are the text between their
// parentheses as written (comments kept), white space at either end removed,
// as SQLite itself quotes an unnamed check in its error messages.
struct CheckText {
  std::u16string name;        // CONSTRAINT name in force; empty when none was given
  std::u16string expression;  // the checked expression
};
struct ForeignKeyText {
  std::u16string referencedTable;  // the parent table's name
  bool deferrable = false;         // DEFERRABLE (not NOT DEFERRABLE)
  bool initiallyDeferred = false;  // DEFERRABLE INITIALLY DEFERRED: checked at commit
};
struct GeneratedColumnText {
  int number = 0;             // the column's place among the table's columns, from 0 (SQLite's cid)
  std::u16string name;        // the column's name
  std::u16string expression;  // of GENERATED ALWAYS AS (...) or AS (...)
};
struct TableText {
  bool parsed = false;        // a CREATE [VIRTUAL] TABLE text was read to its end (a plain one: its head)
  bool plain = false;         // after its name the text has none of the words CHECK, DEFERRABLE, AS, STRICT,
                              // ROWID: it declares nothing of what follows and was not read further
  bool isVirtual = false;     // CREATE VIRTUAL TABLE ... USING
  bool strict = false;        // table option STRICT
  bool withoutRowid = false;  // table option WITHOUT ROWID
  std::vector<GeneratedColumnText> generatedColumns;  // declaration order
  std::vector<CheckText> checks;            // table and column checks, declaration order
  std::vector<ForeignKeyText> foreignKeys;  // declaration order (pragma_foreign_key_list numbers them backwards)
};
// Follows SQLite's own rules where they surprise: a CONSTRAINT name holds
// for every check after it in the same column, or up to the next comma
// among the table constraints (so "a INT CONSTRAINT n NOT NULL CHECK (a > 0)"
// names the check n); a [NOT] DEFERRABLE clause applies to the table's
// latest foreign key, wherever it stands. parsed stays false for any other
// text, or one that ends inside the column list. A plain text (most tables)
// is not read beyond a look at its words; its foreign keys are not listed
// then, and none of them is deferrable.
TableText ParseCreateTable(std::u16string_view sql);

// What a CREATE INDEX text says beyond the pragmas.
struct IndexText {
  bool parsed = false;                 // the key-term list was found
  std::vector<std::u16string> terms;   // key terms as written, ASC/DESC and a trailing COLLATE removed
  std::u16string predicate;            // text after WHERE, trimmed; empty for a full index
};
// Splits the parenthesised key-term list at its top-level commas and takes
// the WHERE clause after it. Without a term list, parsed stays false and
// nothing is filled.
IndexText ParseCreateIndex(std::u16string_view sql);

// What a CREATE TRIGGER text says about when the trigger fires.
struct TriggerText {
  bool parsed = false;      // the event was found
  std::u16string timing;    // "BEFORE", "AFTER" or "INSTEAD OF"; "BEFORE" when the text names none
  std::u16string events;    // "DELETE", "INSERT", "UPDATE" or "UPDATE OF <columns as written>"
};
TriggerText ParseCreateTrigger(std::u16string_view sql);

}  // namespace qm::sqlite

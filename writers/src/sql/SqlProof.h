// What a text of the database must be before the sql format writes it into
// a script: exactly one expression, type, clause, query or statement of
// the kind the script expects there, as the server and the client that
// loads the script both read it.
//
// A script is read twice: by the server, and before that by the client
// the README names (psql, sqlite3, the mariadb client), which cuts it into
// statements and runs its own commands. A text that ends a statement early
// (a ';', or a line sqlite3 reads as the end of one), that holds what the
// client takes for one of its commands (psql's and the mariadb client's
// backslash commands anywhere outside quotes and comments; after an early
// end, sqlite3's dot commands and the mariadb client's line commands such
// as `system`), or that leaves a quote, comment or parenthesis open for
// the script's own text to close, would make the script do what the
// database's owner wrote rather than what the model says. Refusal says
// why a text is not what is expected; the dialects then write it another
// way that keeps its meaning (a default as a string literal) or leave it
// out, saying so (SqlDialect::Proven).
//
// Thread safety: plain functions without state.
#pragma once

#include "SqlTokens.h"

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

namespace writers::sql {

// What a text stands for in the script.
enum class TextKind {
  Expression,      // one value expression: nothing after it, no ',' outside parentheses
  ExpressionList,  // expressions separated by commas (an index's expressions, enum labels)
  Type,            // a data type: names, numbers, literals, parentheses and commas inside them
  Clause,          // part of a statement (a constraint's definition, a partition bound)
  Query,           // a view's query
  Statement,       // one complete statement; the script adds its ';'
  Body,            // a routine's or trigger's CREATE text between DELIMITER lines: ';' inside
};

// The client the script is loaded with, and how it cuts the script.
struct ClientRules {
  TokenRules tokens;               // how the client and the server read quotes and comments
  bool backslashCommands = false;  // a '\' outside quotes and comments is a command (psql, mariadb)
  bool terminatorLines = false;    // a line of "/" or "go" ends the statement (sqlite3)
  // ';' inside BEGIN ... END of CREATE [OR REPLACE] FUNCTION / PROCEDURE
  // ends nothing, by psql's reading of a statement.
  bool routineBlocks = false;
  // ';' inside CREATE TRIGGER ... END ends nothing, by SQLite's reading
  // (sqlite3_complete, which sqlite3 asks).
  bool triggerBlocks = false;
};

// The clients the README loads scripts with. psql reads a script that
// sets standard_conforming_strings on (backslashes in '...' are
// themselves); the mariadb client reads strings by the session's sql_mode,
// which the server tells it: NO_BACKSLASH_ESCAPES, ANSI_QUOTES.
ClientRules Psql();
ClientRules Sqlite3();
ClientRules MariaDbClient(bool backslashEscapes, bool ansiQuotes);

// A text of the model that is not what the script expects where the
// dialect would write it (SqlProof.h): the object being written is left
// out.
struct RefusedText : std::exception {
  RefusedText(int objectId, int propertyId, TextKind kind, std::u16string why, std::u16string text)
      : objectId(objectId), propertyId(propertyId), kind(kind), why(std::move(why)), text(std::move(text)) {}
  const char* what() const noexcept override { return "a text of the model is not what the script expects"; }

  int objectId;         // the object the text belongs to
  int propertyId;       // its property
  TextKind kind;        // what it should have been
  std::u16string why;   // SqlProof's Refusal
  std::u16string text;  // the text
};

// Why the text is not exactly one `kind` that the client and the server
// read alike; empty when it is. One short phrase for a person ("a ';' in
// it ends the statement"). Linear in the text.
std::u16string Refusal(std::u16string_view text, TextKind kind, const ClientRules& client);

// Whether the text is CREATE, then any of the words in `modifiers`, then
// `object` (ASCII letter case ignored, blanks and comments between).
bool Creates(std::u16string_view text, std::u16string_view object, std::initializer_list<std::u16string_view> modifiers,
             const TokenRules& rules);

}  // namespace writers::sql

// SQL text cut into tokens, enough to find the names a statement refers to
// and where the name of the object it creates stands: words, quoted names,
// string literals (with the dialect's quotes), numbers, comments, blanks
// and single punctuation characters. Nothing is checked here (SqlProof.h
// does); an unterminated quote or comment runs to the end of the text and
// is marked open.
//
// Thread safety: plain values and functions without state.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace writers::sql {

// What the dialect's lexer knows beyond standard SQL.
struct TokenRules {
  bool dollarQuotes = false;    // $tag$ ... $tag$ strings (PostgreSQL)
  bool nestedComments = false;  // /* /* */ */ (PostgreSQL)
  bool backtickNames = false;   // `name` (SQLite, MariaDB)
  bool bracketNames = false;    // [name] (SQLite)
  bool backslashEscapes = false;  // a backslash escapes the next character in a string (MariaDB)
  bool doubleQuotedStrings = false;  // "text" is a string, not a name (MariaDB)
  bool hashComments = false;    // # to the end of the line (MariaDB)
  bool crEndsLineComment = false;  // a "--" comment ends at a carriage return too (PostgreSQL, psql)
  bool dashCommentNeedsBlank = false;  // "--" starts a comment only before a blank (MariaDB)
  // "/*!" and "/*M!" open no comment: what follows is read as SQL, up to
  // "*/" (MariaDB's executable comments, which its client reads as SQL too).
  bool executableComments = false;
};

enum class TokenKind {
  Word,        // a bare identifier or keyword
  QuotedName,  // "name", `name`, [name]
  String,      // 'text', E'text', X'ab', $$text$$
  Number,
  Comment,     // -- to the end of the line, or /* */
  Space,
  Punctuation, // one character
};

struct Token {
  TokenKind kind;
  std::size_t begin;  // offset in the text, UTF-16 units
  std::size_t end;    // one past the last unit
  bool open = false;  // a quote or block comment the text ends inside of
};

// Every token of the text, in order; empty text gives none.
std::vector<Token> Tokenize(std::u16string_view text, const TokenRules& rules);

// A quoted name's content with its doubled quotes made single; a word as
// it is.
std::u16string NameOf(std::u16string_view text, const Token& token);

// Whether the text's last token is a comment that runs to the end of the
// line ("--", or "#" where the rules have it), so a ';' written after it
// would be commented out.
bool EndsInLineComment(std::u16string_view text, const TokenRules& rules);

// The names the text refers to: each run `a`, `a.b`, `a.b.c` of names
// joined by dots (blanks and comments between them allowed), as the
// parts' NameOf, with whether each part was quoted.
struct NamePart {
  std::u16string name;
  bool quoted = false;
};
std::vector<std::vector<NamePart>> ReferencedNames(std::u16string_view text, const TokenRules& rules);

// ---- Statements.

// The text without blanks (spaces, tabs, line breaks) at either end.
std::u16string Trimmed(std::u16string_view text);
// The text as one complete statement: blanks and a final ';' at its end
// dropped, then ";" and a line break (on a line of its own when the text
// ends in a "--" comment).
std::u16string Statement(std::u16string_view text, const TokenRules& rules);
// Whether the first token that is no blank or comment is the word, ASCII
// letter case ignored.
bool StartsWithWord(std::u16string_view text, std::u16string_view word, const TokenRules& rules);

}  // namespace writers::sql

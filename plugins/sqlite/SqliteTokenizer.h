// SqlTokenizer: splits an SQLite statement text into tokens the way SQLite
// does where it matters for reading the CREATE texts SQLite keeps: quotes of
// all four kinds, comments, and parentheses nested to any depth. Every
// reading of a CREATE text in the plug-in goes through it.
//
// A token is a range of the text, so that what a reader takes from it
// (an expression, a list of columns) is the text exactly as written,
// comments and line breaks included. Numbers and operators are not told
// apart: "1.5e+3" is five tokens. Nothing the tokenizer reads can fail: an
// unterminated quote or comment runs to the end of the text.
//
// Pure; a tokenizer belongs to one thread. The text must outlive it.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qm::sqlite {

enum class TokenKind {
  Word,        // a bare word: letters, digits, '_', '$', anything outside ASCII
  Identifier,  // "name", `name` or [name]
  String,      // 'text'
  Punct,       // any other single character: ( ) , . ; + ...
  End,         // past the last token
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t begin = 0;  // offset of the token's first code unit
  std::size_t end = 0;    // offset past its last code unit
};

class SqlTokenizer {
 public:
  explicit SqlTokenizer(std::u16string_view text) : m_text(text) {}

  // The next token, white space and comments skipped; an End token (at the
  // end of the text) once there is none, as often as asked.
  Token Next();
  // The token Next would give, without consuming it.
  Token Peek();

  // Called with the '(' token just read: reads on to the ')' that closes
  // it, through nested parentheses and quotes, and returns that ')'; an End
  // token when the text ends first.
  Token SkipToClose();

  // The token's text as written.
  std::u16string_view TextOf(const Token& token) const { return m_text.substr(token.begin, token.end - token.begin); }
  // Whether the token is the bare word, in any ASCII letter case.
  bool IsKeyword(const Token& token, std::u16string_view keyword) const;
  // Whether the token is the punctuation character.
  bool IsPunct(const Token& token, char16_t ch) const {
    return token.kind == TokenKind::Punct && m_text[token.begin] == ch;
  }
  // Whether the token can be a name: a bare word, a quoted identifier or a
  // string (SQLite takes 'text' as a name where one is expected).
  static bool IsName(const Token& token) {
    return token.kind == TokenKind::Word || token.kind == TokenKind::Identifier || token.kind == TokenKind::String;
  }

  std::u16string_view Text() const { return m_text; }
  // The offset of the next unread code unit.
  std::size_t Position() const { return m_pos; }

 private:
  void SkipBlanks();
  void SkipQuoted(char16_t close, bool doubled);

  std::u16string_view m_text;  // not owned
  std::size_t m_pos = 0;       // offset of the next unread code unit
};

// SQLite's white space: space, tab, line feed, vertical tab, form feed,
// carriage return.
bool IsSqlSpace(char16_t ch);

// Whether one of the words (upper-case ASCII) stands in the text as a whole
// run of word characters, in any ASCII case. Quotes and comments are not
// told apart: a quick look whether reading the text token by token can find
// anything, much cheaper than reading it.
bool HasAnyWord(std::u16string_view text, std::initializer_list<std::u16string_view> words);

// The text without the white space at either end.
std::u16string_view TrimSpace(std::u16string_view text);

// A name as SQLite reads it: the quotes of "x", `x`, 'x' and [x] removed
// (doubled quotes inside made single); a bare word unchanged.
std::u16string Dequote(std::u16string_view name);

}  // namespace qm::sqlite

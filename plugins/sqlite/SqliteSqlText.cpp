#include "SqliteSqlText.h"

#include <algorithm>
#include <cstddef>

namespace qm::sqlite {
namespace {

std::u16string Quote(std::u16string_view text, char16_t quote) {
  std::u16string quoted;
  quoted.reserve(text.size() + 2);
  quoted += quote;
  for (char16_t ch : text) {
    quoted += ch;
    if (ch == quote) quoted += quote;
  }
  quoted += quote;
  return quoted;
}

bool IsSpace(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\n' || ch == u'\r' || ch == u'\f' || ch == u'\v'; }

// Letters, digits, '_', '$' and everything outside ASCII continue a bare
// word, as in SQLite's tokenizer.
bool IsWordChar(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') || ch == u'_' ||
         ch == u'$' || ch >= 0x80;
}

enum class TokenKind { Word, Quoted, String, Punct, End };

struct Token {
  TokenKind kind;
  std::size_t begin;  // offset of the first unit
  std::size_t end;    // offset past the last unit
};

// Walks an SQL text token by token, skipping white space and comments. An
// unterminated quote or comment runs to the end of the text.
class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : m_text(text) {}

  Token Next() {
    SkipBlanks();
    const std::size_t begin = m_pos;
    if (m_pos >= m_text.size()) return {TokenKind::End, begin, begin};
    const char16_t ch = m_text[m_pos];
    if (ch == u'\'' || ch == u'"' || ch == u'`') {
      SkipQuoted(ch, ch);
      return {ch == u'\'' ? TokenKind::String : TokenKind::Quoted, begin, m_pos};
    }
    if (ch == u'[') {
      SkipQuoted(u']', 0);
      return {TokenKind::Quoted, begin, m_pos};
    }
    if (IsWordChar(ch)) {
      while (m_pos < m_text.size() && IsWordChar(m_text[m_pos])) ++m_pos;
      return {TokenKind::Word, begin, m_pos};
    }
    ++m_pos;
    return {TokenKind::Punct, begin, m_pos};
  }

 private:
  void SkipBlanks() {
    while (m_pos < m_text.size()) {
      if (IsSpace(m_text[m_pos])) {
        ++m_pos;
      } else if (m_text.substr(m_pos, 2) == u"--") {
        while (m_pos < m_text.size() && m_text[m_pos] != u'\n') ++m_pos;
      } else if (m_text.substr(m_pos, 2) == u"/*") {
        const std::size_t close = m_text.find(u"*/", m_pos + 2);
        m_pos = close == std::u16string_view::npos ? m_text.size() : close + 2;
      } else {
        return;
      }
    }
  }

  // From an opening quote to past its closing one; a doubled closing quote
  // (when doubling is allowed, escape != 0) stays inside.
  void SkipQuoted(char16_t close, char16_t escape) {
    ++m_pos;
    while (m_pos < m_text.size()) {
      if (m_text[m_pos] == close) {
        if (escape != 0 && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == escape) {
          m_pos += 2;
          continue;
        }
        ++m_pos;
        return;
      }
      ++m_pos;
    }
  }

  std::u16string_view m_text;
  std::size_t m_pos = 0;
};

bool IsKeyword(std::u16string_view text, const Token& token, std::u16string_view keyword) {
  if (token.kind != TokenKind::Word || token.end - token.begin != keyword.size()) return false;
  return EqualsIgnoringAsciiCase(text.substr(token.begin, token.end - token.begin), keyword);
}

bool IsPunct(std::u16string_view text, const Token& token, char16_t ch) {
  return token.kind == TokenKind::Punct && text[token.begin] == ch;
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && (IsSpace(text.back()) || text.back() == u';')) text.remove_suffix(1);
  return text;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& ch : upper)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
  return upper;
}

// One key term without its trailing ASC/DESC and COLLATE name, which the
// index pragmas report on their own.
std::u16string KeyTermExpression(std::u16string_view term) {
  std::vector<Token> tokens;
  Scanner scanner(term);
  for (Token token = scanner.Next(); token.kind != TokenKind::End; token = scanner.Next()) tokens.push_back(token);
  std::size_t count = tokens.size();
  if (count > 1 && (IsKeyword(term, tokens[count - 1], u"ASC") || IsKeyword(term, tokens[count - 1], u"DESC")))
    --count;
  if (count > 2 && IsKeyword(term, tokens[count - 2], u"COLLATE")) count -= 2;
  if (count == 0) return std::u16string(Trim(term));
  // From the first token: a comment before the expression is not part of it.
  return std::u16string(term.substr(tokens[0].begin, tokens[count - 1].end - tokens[0].begin));
}

}  // namespace

std::u16string QuoteIdentifier(std::u16string_view name) { return Quote(name, u'"'); }

std::u16string QuoteLiteral(std::u16string_view text) { return Quote(text, u'\''); }

void AppendKeyPart(std::u16string& key, std::u16string_view name) {
  key += u'"';
  for (char16_t ch : name) {
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
    key += ch;
    if (ch == u'"') key += u'"';
  }
  key += u'"';
}

std::u16string ObjectKey(std::u16string_view schema, std::u16string_view name) {
  std::u16string key;
  key.reserve(schema.size() + name.size() + 5);
  AppendKeyPart(key, schema);
  key += u'.';
  AppendKeyPart(key, name);
  return key;
}

std::u16string ColumnKey(std::u16string_view schema, std::u16string_view table, std::u16string_view column) {
  std::u16string key;
  key.reserve(schema.size() + table.size() + column.size() + 8);
  AppendKeyPart(key, schema);
  key += u'.';
  AppendKeyPart(key, table);
  key += u'.';
  AppendKeyPart(key, column);
  return key;
}

std::u16string KeySignature(std::u16string_view schema, std::u16string_view table,
                            const std::vector<std::u16string>& columns) {
  std::vector<std::u16string> quoted;
  quoted.reserve(columns.size());
  for (const std::u16string& column : columns) quoted.push_back(QuoteIdentifier(FoldAscii(column)));
  std::sort(quoted.begin(), quoted.end());
  std::u16string signature = ObjectKey(schema, table) + u'(';
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (i > 0) signature += u',';
    signature += quoted[i];
  }
  signature += u')';
  return signature;
}

IndexText ParseCreateIndex(std::u16string_view sql) {
  IndexText result;
  Scanner scanner(sql);
  Token token = scanner.Next();
  // The first parenthesis outside quotes opens the key-term list: nothing
  // before it (index name, ON, table name) can hold one unquoted.
  while (token.kind != TokenKind::End && !IsPunct(sql, token, u'(')) token = scanner.Next();
  if (token.kind == TokenKind::End) return result;

  std::vector<std::u16string> terms;
  std::size_t termBegin = token.end;
  int depth = 1;
  for (token = scanner.Next(); token.kind != TokenKind::End; token = scanner.Next()) {
    if (IsPunct(sql, token, u'(')) {
      ++depth;
    } else if (IsPunct(sql, token, u')')) {
      if (--depth == 0) break;
    } else if (depth == 1 && IsPunct(sql, token, u',')) {
      terms.push_back(KeyTermExpression(sql.substr(termBegin, token.begin - termBegin)));
      termBegin = token.end;
    }
  }
  if (token.kind == TokenKind::End) return result;  // the list never closed
  terms.push_back(KeyTermExpression(sql.substr(termBegin, token.begin - termBegin)));

  result.parsed = true;
  result.terms = std::move(terms);
  const Token next = scanner.Next();
  if (IsKeyword(sql, next, u"WHERE")) result.predicate = std::u16string(Trim(sql.substr(next.end)));
  return result;
}

TriggerText ParseCreateTrigger(std::u16string_view sql) {
  TriggerText result;
  Scanner scanner(sql);
  Token token = scanner.Next();
  if (!IsKeyword(sql, token, u"CREATE")) return result;
  token = scanner.Next();
  if (IsKeyword(sql, token, u"TEMP") || IsKeyword(sql, token, u"TEMPORARY")) token = scanner.Next();
  if (!IsKeyword(sql, token, u"TRIGGER")) return result;
  token = scanner.Next();
  if (IsKeyword(sql, token, u"IF")) {
    const Token notToken = scanner.Next();
    const Token existsToken = scanner.Next();
    if (!IsKeyword(sql, notToken, u"NOT") || !IsKeyword(sql, existsToken, u"EXISTS")) return result;
    token = scanner.Next();
  }
  // The trigger's name, possibly schema-qualified; any word may be a name.
  if (token.kind != TokenKind::Word && token.kind != TokenKind::Quoted && token.kind != TokenKind::String)
    return result;
  token = scanner.Next();
  if (IsPunct(sql, token, u'.')) {
    scanner.Next();
    token = scanner.Next();
  }

  result.timing = u"BEFORE";
  if (IsKeyword(sql, token, u"BEFORE") || IsKeyword(sql, token, u"AFTER")) {
    result.timing = Upper(sql.substr(token.begin, token.end - token.begin));
    token = scanner.Next();
  } else if (IsKeyword(sql, token, u"INSTEAD")) {
    token = scanner.Next();
    if (!IsKeyword(sql, token, u"OF")) return result;
    result.timing = u"INSTEAD OF";
    token = scanner.Next();
  }

  if (IsKeyword(sql, token, u"DELETE") || IsKeyword(sql, token, u"INSERT")) {
    result.events = Upper(sql.substr(token.begin, token.end - token.begin));
  } else if (IsKeyword(sql, token, u"UPDATE")) {
    result.events = u"UPDATE";
    token = scanner.Next();
    if (IsKeyword(sql, token, u"OF")) {
      // The column list runs up to ON.
      const std::size_t listBegin = token.end;
      Token onToken = scanner.Next();
      while (onToken.kind != TokenKind::End && !IsKeyword(sql, onToken, u"ON")) onToken = scanner.Next();
      if (onToken.kind == TokenKind::End) return result;
      result.events += u" OF ";
      result.events += Trim(sql.substr(listBegin, onToken.begin - listBegin));
    }
  } else {
    return result;
  }
  result.parsed = true;
  return result;
}

}  // namespace qm::sqlite

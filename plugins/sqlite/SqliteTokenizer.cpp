#include "SqliteTokenizer.h"

namespace qm::sqlite {
namespace {

// Letters, digits, '_', '$' and everything outside ASCII continue a bare
// word, as in SQLite's tokenizer.
bool IsWordChar(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') || ch == u'_' ||
         ch == u'$' || ch >= 0x80;
}

}  // namespace

bool IsSqlSpace(char16_t ch) { return ch == u' ' || (ch >= u'\t' && ch <= u'\r'); }

bool HasAnyWord(std::u16string_view text, std::initializer_list<std::u16string_view> words) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsWordChar(text[i])) {
      ++i;
      continue;
    }
    const std::size_t begin = i;
    while (i < text.size() && IsWordChar(text[i])) ++i;
    for (std::u16string_view word : words) {
      if (word.size() != i - begin) continue;
      std::size_t k = 0;
      while (k < word.size()) {
        char16_t ch = text[begin + k];
        if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
        if (ch != word[k]) break;
        ++k;
      }
      if (k == word.size()) return true;
    }
  }
  return false;
}

std::u16string_view TrimSpace(std::u16string_view text) {
  while (!text.empty() && IsSqlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSqlSpace(text.back())) text.remove_suffix(1);
  return text;
}

Token SqlTokenizer::Next() {
  SkipBlanks();
  const std::size_t begin = m_pos;
  if (m_pos >= m_text.size()) return {TokenKind::End, begin, begin};
  const char16_t ch = m_text[m_pos];
  if (ch == u'\'' || ch == u'"' || ch == u'`') {
    SkipQuoted(ch, true);
    return {ch == u'\'' ? TokenKind::String : TokenKind::Identifier, begin, m_pos};
  }
  if (ch == u'[') {
    SkipQuoted(u']', false);
    return {TokenKind::Identifier, begin, m_pos};
  }
  if (IsWordChar(ch)) {
    while (m_pos < m_text.size() && IsWordChar(m_text[m_pos])) ++m_pos;
    return {TokenKind::Word, begin, m_pos};
  }
  ++m_pos;
  return {TokenKind::Punct, begin, m_pos};
}

Token SqlTokenizer::Peek() {
  const std::size_t saved = m_pos;
  const Token token = Next();
  m_pos = saved;
  return token;
}

Token SqlTokenizer::SkipToClose() {
  int depth = 1;
  for (Token token = Next();; token = Next()) {
    if (token.kind == TokenKind::End) return token;
    if (IsPunct(token, u'(')) {
      ++depth;
    } else if (IsPunct(token, u')') && --depth == 0) {
      return token;
    }
  }
}

bool SqlTokenizer::IsKeyword(const Token& token, std::u16string_view keyword) const {
  if (token.kind != TokenKind::Word || token.end - token.begin != keyword.size()) return false;
  // Compared here rather than through a general helper: every token meets
  // several keywords, and this is most of reading a CREATE text.
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    char16_t ch = m_text[token.begin + i];
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
    char16_t wanted = keyword[i];
    if (wanted >= u'a' && wanted <= u'z') wanted = static_cast<char16_t>(wanted - u'a' + u'A');
    if (ch != wanted) return false;
  }
  return true;
}

void SqlTokenizer::SkipBlanks() {
  while (m_pos < m_text.size()) {
    const char16_t ch = m_text[m_pos];
    const char16_t next = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : u'\0';
    if (IsSqlSpace(ch)) {
      ++m_pos;
    } else if (ch == u'-' && next == u'-') {
      while (m_pos < m_text.size() && m_text[m_pos] != u'\n') ++m_pos;
    } else if (ch == u'/' && next == u'*') {
      const std::size_t close = m_text.find(u"*/", m_pos + 2);
      m_pos = close == std::u16string_view::npos ? m_text.size() : close + 2;
    } else {
      return;
    }
  }
}

// From an opening quote to past its closing one; with `doubled`, a doubled
// closing quote stands for one and stays inside.
void SqlTokenizer::SkipQuoted(char16_t close, bool doubled) {
  ++m_pos;
  while (m_pos < m_text.size()) {
    if (m_text[m_pos] != close) {
      ++m_pos;
    } else if (doubled && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == close) {
      m_pos += 2;
    } else {
      ++m_pos;
      return;
    }
  }
}

std::u16string Dequote(std::u16string_view name) {
  if (name.empty()) return {};
  const char16_t open = name.front();
  if (open == u'[') {
    name.remove_prefix(1);
    if (!name.empty() && name.back() == u']') name.remove_suffix(1);
    return std::u16string(name);
  }
  if (open != u'"' && open != u'\'' && open != u'`') return std::u16string(name);
  std::u16string plain;
  plain.reserve(name.size());
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] != open) {
      plain += name[i];
    } else if (i + 1 < name.size() && name[i + 1] == open) {
      plain += open;
      ++i;
    } else {
      break;  // the closing quote
    }
  }
  return plain;
}

}  // namespace qm::sqlite

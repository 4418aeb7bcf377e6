#include "SqlTokens.h"

#include <algorithm>

namespace writers::sql {

namespace {

bool IsWordStart(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80; }
bool IsWordPart(char16_t c) { return IsWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }

// The end of a quoted run that opened at `open` with `close` as its closing
// character; a doubled closing character stands for itself. `backslash`:
// a backslash escapes the next character (E'...'). A run the text ends
// inside of ends there, with `unclosed` set.
std::size_t QuotedEnd(std::u16string_view text, std::size_t open, char16_t close, bool backslash, bool& unclosed) {
  std::size_t i = open + 1;
  while (i < text.size()) {
    if (backslash && text[i] == u'\\') {
      i += 2;
      continue;
    }
    if (text[i] == close) {
      if (i + 1 < text.size() && text[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  unclosed = true;
  return text.size();
}

// The length of the executable comment's opening ("/*!" or "/*M!") at `at`;
// 0 for none.
std::size_t ExecutableOpening(std::u16string_view text, std::size_t at) {
  if (text.substr(at, 3) == u"/*!") return 3;
  if (text.substr(at, 4) == u"/*M!") return 4;
  return 0;
}

// The dollar quote's tag ("$tag$" or "$$") starting at `at`, or empty.
std::u16string_view DollarTag(std::u16string_view text, std::size_t at) {
  std::size_t i = at + 1;
  if (i < text.size() && text[i] != u'$' && !(IsWordStart(text[i]))) return {};
  while (i < text.size() && text[i] != u'$') {
    if (!IsWordPart(text[i]) || text[i] == u'$') return {};
    ++i;
  }
  if (i >= text.size()) return {};
  return text.substr(at, i - at + 1);
}

}  // namespace

std::vector<Token> Tokenize(std::u16string_view text, const TokenRules& rules) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t begin = i;
    const char16_t c = text[i];
    TokenKind kind = TokenKind::Punctuation;
    bool open = false;
    const bool dashes = c == u'-' && i + 1 < text.size() && text[i + 1] == u'-' &&
                        (!rules.dashCommentNeedsBlank || (i + 2 < text.size() && IsSpace(text[i + 2])));
    if (IsSpace(c)) {
      while (i < text.size() && IsSpace(text[i])) ++i;
      kind = TokenKind::Space;
    } else if (dashes || (c == u'#' && rules.hashComments)) {
      while (i < text.size() && text[i] != u'\n' && !(rules.crEndsLineComment && text[i] == u'\r')) ++i;
      kind = TokenKind::Comment;
    } else if (rules.executableComments && ExecutableOpening(text, i) > 0) {
      i += ExecutableOpening(text, i);  // read on as SQL; its "*/" is two punctuation tokens
    } else if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
      int depth = 1;
      i += 2;
      while (i < text.size() && depth > 0) {
        if (text[i] == u'*' && i + 1 < text.size() && text[i + 1] == u'/') {
          --depth;
          i += 2;
        } else if (rules.nestedComments && text[i] == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
          ++depth;
          i += 2;
        } else {
          ++i;
        }
      }
      open = depth > 0;
      kind = TokenKind::Comment;
    } else if (c == u'\'' || (c == u'"' && rules.doubleQuotedStrings)) {
      i = QuotedEnd(text, i, c, rules.backslashEscapes, open);
      kind = TokenKind::String;
    } else if (c == u'"') {
      i = QuotedEnd(text, i, u'"', false, open);
      kind = TokenKind::QuotedName;
    } else if (c == u'`' && rules.backtickNames) {
      i = QuotedEnd(text, i, u'`', false, open);
      kind = TokenKind::QuotedName;
    } else if (c == u'[' && rules.bracketNames) {
      const std::size_t close = text.find(u']', i + 1);
      open = close == std::u16string_view::npos;
      i = open ? text.size() : close + 1;
      kind = TokenKind::QuotedName;
    } else if (c == u'$' && rules.dollarQuotes && !DollarTag(text, i).empty()) {
      const std::u16string_view tag = DollarTag(text, i);
      const std::size_t close = text.find(tag, i + tag.size());
      open = close == std::u16string_view::npos;
      i = open ? text.size() : close + tag.size();
      kind = TokenKind::String;
    } else if (IsDigit(c) || (c == u'.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      while (i < text.size() && (IsDigit(text[i]) || text[i] == u'.' || IsWordStart(text[i]) ||
                                 ((text[i] == u'+' || text[i] == u'-') && (text[i - 1] == u'e' || text[i - 1] == u'E'))))
        ++i;
      kind = TokenKind::Number;
    } else if (IsWordStart(c)) {
      while (i < text.size() && IsWordPart(text[i])) ++i;
      kind = TokenKind::Word;
      // E'..', X'..', B'..', N'..': a literal with a one-letter prefix.
      if (i == begin + 1 && i < text.size() && text[i] == u'\'' &&
          (c == u'E' || c == u'e' || c == u'X' || c == u'x' || c == u'B' || c == u'b' || c == u'N' || c == u'n')) {
        i = QuotedEnd(text, i, u'\'', c == u'E' || c == u'e' || ((c == u'N' || c == u'n') && rules.backslashEscapes),
                      open);
        kind = TokenKind::String;
      }
    } else {
      ++i;
    }
    tokens.push_back({kind, begin, i, open});
  }
  return tokens;
}

std::u16string NameOf(std::u16string_view text, const Token& token) {
  const std::u16string_view raw = text.substr(token.begin, token.end - token.begin);
  if (token.kind != TokenKind::QuotedName || raw.size() < 2) return std::u16string(raw);
  const char16_t close = raw.front() == u'[' ? u']' : raw.front();
  std::u16string name;
  const std::size_t last = raw.back() == close ? raw.size() - 1 : raw.size();
  for (std::size_t i = 1; i < last; ++i) {
    name += raw[i];
    if (raw[i] == close && close != u']' && i + 1 < last && raw[i + 1] == close) ++i;
  }
  return name;
}

bool EndsInLineComment(std::u16string_view text, const TokenRules& rules) {
  const std::vector<Token> tokens = Tokenize(text, rules);
  return !tokens.empty() && tokens.back().kind == TokenKind::Comment &&
         (text.substr(tokens.back().begin, 2) == u"--" || text[tokens.back().begin] == u'#');
}

std::vector<std::vector<NamePart>> ReferencedNames(std::u16string_view text, const TokenRules& rules) {
  std::vector<std::vector<NamePart>> runs;
  std::vector<NamePart> run;
  bool afterDot = false;  // the run's last token is a dot, waiting for the next part
  auto close = [&] {
    if (!run.empty()) runs.push_back(std::move(run));
    run.clear();
    afterDot = false;
  };
  for (const Token& token : Tokenize(text, rules)) {
    if (token.kind == TokenKind::Space || token.kind == TokenKind::Comment) continue;
    const bool name = token.kind == TokenKind::Word || token.kind == TokenKind::QuotedName;
    if (name) {
      if (!run.empty() && !afterDot) close();
      run.push_back({NameOf(text, token), token.kind == TokenKind::QuotedName});
      afterDot = false;
    } else if (token.kind == TokenKind::Punctuation && text[token.begin] == u'.' && !run.empty() && !afterDot) {
      afterDot = true;
    } else {
      close();
    }
  }
  close();
  return runs;
}

std::u16string Trimmed(std::u16string_view text) {
  std::size_t first = 0;
  while (first < text.size() && IsSpace(text[first])) ++first;
  std::size_t last = text.size();
  while (last > first && IsSpace(text[last - 1])) --last;
  return std::u16string(text.substr(first, last - first));
}

std::u16string Statement(std::u16string_view text, const TokenRules& rules) {
  std::u16string statement = Trimmed(text);
  if (!statement.empty() && statement.back() == u';' && !EndsInLineComment(statement, rules)) {
    statement.pop_back();
    statement = Trimmed(statement);
  }
  return statement + (EndsInLineComment(statement, rules) ? u"\n;\n" : u";\n");
}

bool StartsWithWord(std::u16string_view text, std::u16string_view word, const TokenRules& rules) {
  // Only the first few tokens matter; a long text is cut before it is
  // tokenized.
  for (const Token& token : Tokenize(text.substr(0, std::min<std::size_t>(text.size(), 4096)), rules)) {
    if (token.kind == TokenKind::Space || token.kind == TokenKind::Comment) continue;
    if (token.kind != TokenKind::Word || token.end - token.begin != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      char16_t c = text[token.begin + i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      char16_t w = word[i];
      if (w >= u'a' && w <= u'z') w = static_cast<char16_t>(w - u'a' + u'A');
      if (c != w) return false;
    }
    return true;
  }
  return false;
}

}  // namespace writers::sql

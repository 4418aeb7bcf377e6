#include "SqlProof.h"

#include <algorithm>
#include <vector>

namespace writers::sql {

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool IsWord(std::u16string_view text, const Token& token, std::u16string_view word) {
  if (token.kind != TokenKind::Word || token.end - token.begin != word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (LowerAscii(text[token.begin + i]) != LowerAscii(word[i])) return false;
  return true;
}

bool IsBlank(const Token& token) { return token.kind == TokenKind::Space || token.kind == TokenKind::Comment; }

bool IsLineComment(std::u16string_view text, const Token& token) {
  return token.kind == TokenKind::Comment && text[token.begin] != u'/';
}

bool HoldsLineBreak(std::u16string_view text, const Token& token) {
  return text.substr(token.begin, token.end - token.begin).find(u'\n') != std::u16string_view::npos;
}

// psql's reading of where a statement ends: a ';' outside parentheses
// ends it, but inside BEGIN ... END (CASE ... END counted in between) of a
// statement whose first words are CREATE [OR REPLACE] FUNCTION or
// PROCEDURE, which psql tells by the first letters of its first four
// words.
class PsqlBlocks {
 public:
  void Word(std::u16string_view text, const Token& token, bool inParentheses) {
    static constexpr std::u16string_view kMarked[] = {u"create", u"function", u"procedure", u"or", u"replace"};
    for (std::u16string_view marked : kMarked)
      if (IsWord(text, token, marked) && m_count < 4) m_marks[m_count] = marked[0];
    ++m_count;
    const bool routine = m_marks[0] == u'c' &&
                         (m_marks[1] == u'f' || m_marks[1] == u'p' ||
                          (m_marks[1] == u'o' && m_marks[2] == u'r' && (m_marks[3] == u'f' || m_marks[3] == u'p')));
    if (!routine || inParentheses) return;
    if (IsWord(text, token, u"begin")) {
      ++m_depth;
    } else if (IsWord(text, token, u"case")) {
      if (m_depth > 0) ++m_depth;
    } else if (IsWord(text, token, u"end")) {
      if (m_depth > 0) --m_depth;
    }
  }
  bool InBlock() const { return m_depth > 0; }

 private:
  char16_t m_marks[4] = {};   // first letters of the first four words, for the five words psql looks for
  std::size_t m_count = 0;    // words so far
  int m_depth = 0;            // BEGIN / CASE not yet ended
};

// SQLite's reading of where a statement ends (sqlite3_complete): a ';'
// ends it, but inside CREATE [TEMP] TRIGGER, where only "; END ;" does.
class SqliteBlocks {
 public:
  // Feeds one token; true when it is a ';' that completes a statement.
  bool Feed(std::u16string_view text, const Token& token) {
    enum Class { kSemi, kBlank, kOther, kExplain, kCreate, kTemp, kTrigger, kEnd };
    static constexpr unsigned char kNext[8][8] = {
        // ;  blank other explain create temp trigger end
        {1, 0, 2, 3, 4, 2, 2, 2},  // 0 at the start of the text
        {1, 1, 2, 3, 4, 2, 2, 2},  // 1 after a complete statement
        {1, 2, 2, 2, 2, 2, 2, 2},  // 2 in a statement
        {1, 3, 3, 2, 4, 2, 2, 2},  // 3 after EXPLAIN
        {1, 4, 2, 2, 2, 4, 5, 2},  // 4 after CREATE
        {6, 5, 5, 5, 5, 5, 5, 5},  // 5 in a trigger
        {6, 6, 5, 5, 5, 5, 5, 7},  // 6 in a trigger, after a ';'
        {1, 7, 5, 5, 5, 5, 5, 5},  // 7 in a trigger, after "; END"
    };
    Class type = kOther;
    if (IsBlank(token)) {
      type = kBlank;
    } else if (token.kind == TokenKind::Punctuation && text[token.begin] == u';') {
      type = kSemi;
    } else if (IsWord(text, token, u"explain")) {
      type = kExplain;
    } else if (IsWord(text, token, u"create")) {
      type = kCreate;
    } else if (IsWord(text, token, u"temp") || IsWord(text, token, u"temporary")) {
      type = kTemp;
    } else if (IsWord(text, token, u"trigger")) {
      type = kTrigger;
    } else if (IsWord(text, token, u"end")) {
      type = kEnd;
    }
    m_state = kNext[m_state][type];
    return type == kSemi && m_state == 1;
  }
  // Whether the ';' the script adds after the text completes it.
  bool CompletedByOneMore() const { return m_state != 5 && m_state != 6; }

 private:
  int m_state = 0;
};

// Whether the line whose first token is tokens[first] is one sqlite3 reads
// as the end of the statement: "/" or "go" alone, blanks and comments
// around it.
bool IsTerminatorLine(std::u16string_view text, const std::vector<Token>& tokens, std::size_t first) {
  while (first < tokens.size() && tokens[first].kind == TokenKind::Space && !HoldsLineBreak(text, tokens[first])) ++first;
  if (first >= tokens.size()) return false;
  const Token& token = tokens[first];
  if (!(token.kind == TokenKind::Punctuation && text[token.begin] == u'/') && !IsWord(text, token, u"go")) return false;
  for (std::size_t i = first + 1; i < tokens.size() && !(tokens[i].kind == TokenKind::Space && HoldsLineBreak(text, tokens[i]));
       ++i)
    if (!IsBlank(tokens[i])) return false;
  return true;
}

bool TypePunctuation(char16_t c) {
  return c == u'(' || c == u')' || c == u',' || c == u'.' || c == u'[' || c == u']' || c == u'+' || c == u'-';
}

}  // namespace

ClientRules Psql() {
  return {.tokens = {.dollarQuotes = true, .nestedComments = true, .crEndsLineComment = true},
          .backslashCommands = true,
          .routineBlocks = true};
}

ClientRules Sqlite3() {
  return {.tokens = {.backtickNames = true, .bracketNames = true}, .terminatorLines = true, .triggerBlocks = true};
}

ClientRules MariaDbClient(bool backslashEscapes, bool ansiQuotes) {
  return {.tokens = {.backtickNames = true,
                     .backslashEscapes = backslashEscapes,
                     .doubleQuotedStrings = !ansiQuotes,
                     .hashComments = true,
                     .dashCommentNeedsBlank = true,
                     .executableComments = true},
          .backslashCommands = true};
}

std::u16string Refusal(std::u16string_view text, TextKind kind, const ClientRules& client) {
  std::vector<Token> tokens = Tokenize(text, client.tokens);
  if (kind == TextKind::Statement || kind == TextKind::Query) {
    // The ';' that ends the text is the one the script writes anyway.
    std::size_t last = tokens.size();
    while (last > 0 && tokens[last - 1].kind == TokenKind::Space) --last;
    if (last > 0 && tokens[last - 1].kind == TokenKind::Punctuation && text[tokens[last - 1].begin] == u';')
      tokens.resize(last - 1);
  }
  std::vector<char16_t> closers;  // the closing parentheses and brackets awaited, innermost last
  int parentheses = 0;            // of them, parentheses
  PsqlBlocks psql;
  SqliteBlocks sqlite;
  const bool statement = kind == TextKind::Statement;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.open) return u"a quote or comment in it does not end";
    if (client.terminatorLines && (i == 0 || (tokens[i - 1].kind == TokenKind::Space && HoldsLineBreak(text, tokens[i - 1]))) &&
        IsTerminatorLine(text, tokens, i))
      return u"a line of it is \"/\" or \"go\", which ends the statement for sqlite3";
    const bool semicolonEnds = client.triggerBlocks && sqlite.Feed(text, token);
    if (kind == TextKind::Type && !(token.kind == TokenKind::Word || token.kind == TokenKind::QuotedName ||
                                    token.kind == TokenKind::Number || token.kind == TokenKind::String ||
                                    token.kind == TokenKind::Space ||
                                    (token.kind == TokenKind::Punctuation && TypePunctuation(text[token.begin]))))
      return u"it holds what no type name holds";
    if (token.kind == TokenKind::Word) {
      if (client.routineBlocks) psql.Word(text, token, parentheses > 0);
      continue;
    }
    if (token.kind != TokenKind::Punctuation) continue;
    const char16_t c = text[token.begin];
    if (c == u'\\' && client.backslashCommands) return u"a backslash in it is a command to the client";
    if (c == u'(' || c == u'[') {
      closers.push_back(c == u'(' ? u')' : u']');
      if (c == u'(') ++parentheses;
    } else if (c == u')' || c == u']') {
      if (closers.empty() || closers.back() != c) return u"its parentheses do not match";
      closers.pop_back();
      if (c == u')') --parentheses;
    } else if (c == u',' && closers.empty() && (kind == TextKind::Expression || kind == TextKind::Type)) {
      return u"it goes on after its end (a ',' outside parentheses)";
    } else if (c == u';' && kind != TextKind::Body) {
      const bool insideBlock = statement && closers.empty() &&
                               ((client.routineBlocks && psql.InBlock()) || (client.triggerBlocks && !semicolonEnds));
      if (!insideBlock) return u"a ';' in it ends the statement";
    }
  }
  if (!closers.empty()) return u"its parentheses do not match";
  if (statement && ((client.routineBlocks && psql.InBlock()) || (client.triggerBlocks && !sqlite.CompletedByOneMore())))
    return u"its statement does not end where the text does";
  if ((kind == TextKind::Expression || kind == TextKind::ExpressionList || kind == TextKind::Type ||
       kind == TextKind::Clause) &&
      !tokens.empty() && IsLineComment(text, tokens.back()))
    return u"it ends in a comment, which would hide what follows it";
  return {};
}

bool Creates(std::u16string_view text, std::u16string_view object, std::initializer_list<std::u16string_view> modifiers,
             const TokenRules& rules) {
  bool created = false;  // CREATE is read
  // Only the first few words matter; a long text is cut before it is
  // tokenized.
  const std::u16string_view head = text.substr(0, std::min<std::size_t>(text.size(), 4096));
  for (const Token& token : Tokenize(head, rules)) {
    if (IsBlank(token)) continue;
    if (!created) {
      if (!IsWord(head, token, u"create")) return false;
      created = true;
      continue;
    }
    if (IsWord(head, token, object)) return true;
    bool modifier = false;
    for (std::u16string_view word : modifiers) modifier = modifier || IsWord(head, token, word);
    if (!modifier) return false;
  }
  return false;
}

}  // namespace writers::sql

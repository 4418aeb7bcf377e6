#include "SqliteSqlText.h"

#include "SqliteTokenizer.h"

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

// The text without white space at either end and without a final ';'.
std::u16string_view Trim(std::u16string_view text) {
  text = TrimSpace(text);
  while (!text.empty() && text.back() == u';') text = TrimSpace(text.substr(0, text.size() - 1));
  return text;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& ch : upper)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
  return upper;
}

// The text between an opening parenthesis (ending at `afterOpen`) and its
// closing one (starting at `close`), white space at either end removed.
std::u16string Between(std::u16string_view text, std::size_t afterOpen, const Token& close) {
  return std::u16string(TrimSpace(text.substr(afterOpen, close.begin - afterOpen)));
}

// One key term without its trailing ASC/DESC and COLLATE name, which the
// index pragmas report on their own.
std::u16string KeyTermExpression(std::u16string_view term) {
  std::vector<Token> tokens;
  SqlTokenizer tokenizer(term);
  for (Token token = tokenizer.Next(); token.kind != TokenKind::End; token = tokenizer.Next()) tokens.push_back(token);
  std::size_t count = tokens.size();
  if (count > 1 && (tokenizer.IsKeyword(tokens[count - 1], u"ASC") || tokenizer.IsKeyword(tokens[count - 1], u"DESC")))
    --count;
  if (count > 2 && tokenizer.IsKeyword(tokens[count - 2], u"COLLATE")) count -= 2;
  if (count == 0) return std::u16string(Trim(term));
  // From the first token: a comment before the expression is not part of it.
  return std::u16string(term.substr(tokens[0].begin, tokens[count - 1].end - tokens[0].begin));
}

// Reads "CREATE [TEMP|TEMPORARY] [VIRTUAL] <kind> [IF NOT EXISTS] [schema.]name"
// and leaves the tokenizer after the name. False when the text does not
// start so; *isVirtual says whether VIRTUAL was there (null: not allowed).
bool ReadCreateHead(SqlTokenizer& tokens, std::u16string_view kind, bool* isVirtual) {
  if (!tokens.IsKeyword(tokens.Next(), u"CREATE")) return false;
  Token token = tokens.Next();
  if (tokens.IsKeyword(token, u"TEMP") || tokens.IsKeyword(token, u"TEMPORARY")) token = tokens.Next();
  if (isVirtual != nullptr) {
    *isVirtual = tokens.IsKeyword(token, u"VIRTUAL");
    if (*isVirtual) token = tokens.Next();
  }
  if (!tokens.IsKeyword(token, kind)) return false;
  token = tokens.Next();
  if (tokens.IsKeyword(token, u"IF")) {
    if (!tokens.IsKeyword(tokens.Next(), u"NOT") || !tokens.IsKeyword(tokens.Next(), u"EXISTS")) return false;
    token = tokens.Next();
  }
  // The name, possibly schema-qualified; any word may be a name.
  if (!SqlTokenizer::IsName(token)) return false;
  if (tokens.IsPunct(tokens.Peek(), u'.')) {
    tokens.Next();
    if (!SqlTokenizer::IsName(tokens.Next())) return false;
  }
  return true;
}

// Table constraints start with one of these words, which SQLite never
// takes for a column name.
bool StartsTableConstraint(const SqlTokenizer& tokens, const Token& token) {
  for (std::u16string_view word : {u"CONSTRAINT", u"PRIMARY", u"UNIQUE", u"CHECK", u"FOREIGN"})
    if (tokens.IsKeyword(token, word)) return true;
  return false;
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

TableText ParseCreateTable(std::u16string_view sql) {
  TableText result;
  SqlTokenizer tokens(sql);
  bool isVirtual = false;
  if (!ReadCreateHead(tokens, u"TABLE", &isVirtual)) return result;
  if (!isVirtual && !HasAnyWord(sql.substr(tokens.Position()), {u"CHECK", u"DEFERRABLE", u"AS", u"STRICT", u"ROWID"})) {
    result.parsed = true;
    result.plain = true;
    return result;
  }
  Token token = tokens.Next();
  if (isVirtual) {
    // The module's arguments are the module's own language.
    result.isVirtual = true;
    result.parsed = tokens.IsKeyword(token, u"USING");
    return result;
  }
  if (tokens.IsKeyword(token, u"AS")) {
    result.parsed = true;  // CREATE TABLE ... AS SELECT: nothing declared
    return result;
  }
  if (!tokens.IsPunct(token, u'(')) return result;

  // The column definitions, then the table constraints, separated by
  // commas at this level; what is inside parentheses is skipped unless it
  // is a check or a generation expression.
  std::u16string constraintName;  // the CONSTRAINT name in force
  bool elementStart = true;       // the next token starts a column or table constraint
  bool inConstraints = false;     // past the columns
  int columns = 0;                // columns so far
  Token columnName;               // the name of the latest column
  Token previous;                 // the token before, at this level
  for (token = tokens.Next();; token = tokens.Next()) {
    if (token.kind == TokenKind::End) return result;
    if (tokens.IsPunct(token, u')')) break;
    if (elementStart) {
      elementStart = false;
      if (inConstraints) {
        constraintName.clear();
      } else if (StartsTableConstraint(tokens, token)) {
        // The comma after the last column keeps a name given in it.
        inConstraints = true;
      } else {
        if (!SqlTokenizer::IsName(token)) return result;
        ++columns;
        columnName = token;
        constraintName.clear();
        previous = token;
        continue;
      }
    }
    if (tokens.IsPunct(token, u',')) {
      elementStart = true;
    } else if (tokens.IsPunct(token, u'(')) {
      const Token close = tokens.SkipToClose();
      if (close.kind == TokenKind::End) return result;
      if (tokens.IsKeyword(previous, u"CHECK")) {
        result.checks.push_back(CheckText{constraintName, Between(sql, token.end, close)});
      } else if (!inConstraints && tokens.IsKeyword(previous, u"AS")) {
        result.generatedColumns.push_back(
            GeneratedColumnText{columns - 1, Dequote(tokens.TextOf(columnName)), Between(sql, token.end, close)});
      }
      token = close;
    } else if (tokens.IsKeyword(token, u"CONSTRAINT")) {
      token = tokens.Next();
      if (!SqlTokenizer::IsName(token)) return result;
      constraintName = Dequote(tokens.TextOf(token));
    } else if (tokens.IsKeyword(token, u"REFERENCES")) {
      token = tokens.Next();
      if (!SqlTokenizer::IsName(token)) return result;
      result.foreignKeys.push_back(ForeignKeyText{Dequote(tokens.TextOf(token)), false, false});
    } else if (tokens.IsKeyword(token, u"DEFERRABLE")) {
      const bool deferrable = !tokens.IsKeyword(previous, u"NOT");
      bool deferred = false;
      if (tokens.IsKeyword(tokens.Peek(), u"INITIALLY")) {
        tokens.Next();
        token = tokens.Next();
        deferred = tokens.IsKeyword(token, u"DEFERRED");
        if (!deferred && !tokens.IsKeyword(token, u"IMMEDIATE")) return result;
      }
      if (!result.foreignKeys.empty()) {
        ForeignKeyText& latest = result.foreignKeys.back();
        latest.deferrable = deferrable;
        latest.initiallyDeferred = deferrable && deferred;
      }
    }
    previous = token;
  }

  // Table options: STRICT and WITHOUT ROWID, comma-separated, in any order.
  for (token = tokens.Next(); token.kind != TokenKind::End; token = tokens.Next()) {
    if (tokens.IsKeyword(token, u"STRICT")) {
      result.strict = true;
    } else if (tokens.IsKeyword(token, u"WITHOUT") && tokens.IsKeyword(tokens.Peek(), u"ROWID")) {
      tokens.Next();
      result.withoutRowid = true;
    }
  }
  result.parsed = true;
  return result;
}

IndexText ParseCreateIndex(std::u16string_view sql) {
  IndexText result;
  SqlTokenizer tokens(sql);
  Token token = tokens.Next();
  // The first parenthesis outside quotes opens the key-term list: nothing
  // before it (index name, ON, table name) can hold one unquoted.
  while (token.kind != TokenKind::End && !tokens.IsPunct(token, u'(')) token = tokens.Next();
  if (token.kind == TokenKind::End) return result;

  std::vector<std::u16string> terms;
  std::size_t termBegin = token.end;
  for (token = tokens.Next(); token.kind != TokenKind::End; token = tokens.Next()) {
    if (tokens.IsPunct(token, u'(')) {
      token = tokens.SkipToClose();
      if (token.kind == TokenKind::End) break;
    } else if (tokens.IsPunct(token, u')')) {
      break;
    } else if (tokens.IsPunct(token, u',')) {
      terms.push_back(KeyTermExpression(sql.substr(termBegin, token.begin - termBegin)));
      termBegin = token.end;
    }
  }
  if (token.kind == TokenKind::End) return result;  // the list never closed
  terms.push_back(KeyTermExpression(sql.substr(termBegin, token.begin - termBegin)));

  result.parsed = true;
  result.terms = std::move(terms);
  const Token next = tokens.Next();
  if (tokens.IsKeyword(next, u"WHERE")) result.predicate = std::u16string(Trim(sql.substr(next.end)));
  return result;
}

TriggerText ParseCreateTrigger(std::u16string_view sql) {
  TriggerText result;
  SqlTokenizer tokens(sql);
  if (!ReadCreateHead(tokens, u"TRIGGER", nullptr)) return result;
  Token token = tokens.Next();

  result.timing = u"BEFORE";
  if (tokens.IsKeyword(token, u"BEFORE") || tokens.IsKeyword(token, u"AFTER")) {
    result.timing = Upper(tokens.TextOf(token));
    token = tokens.Next();
  } else if (tokens.IsKeyword(token, u"INSTEAD")) {
    if (!tokens.IsKeyword(tokens.Next(), u"OF")) return result;
    result.timing = u"INSTEAD OF";
    token = tokens.Next();
  }

  if (tokens.IsKeyword(token, u"DELETE") || tokens.IsKeyword(token, u"INSERT")) {
    result.events = Upper(tokens.TextOf(token));
  } else if (tokens.IsKeyword(token, u"UPDATE")) {
    result.events = u"UPDATE";
    token = tokens.Next();
    if (tokens.IsKeyword(token, u"OF")) {
      // The column list runs up to ON.
      const std::size_t listBegin = token.end;
      Token onToken = tokens.Next();
      while (onToken.kind != TokenKind::End && !tokens.IsKeyword(onToken, u"ON")) onToken = tokens.Next();
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

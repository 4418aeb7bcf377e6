// Identifiers a catalogue may hold and an import must carry through
// untouched: quotes, backslashes, printf directives, line breaks, SQL and
// connection-string punctuation, blanks at either end, characters outside
// the Basic Multilingual Plane, a literal U+FFFD, direction marks.
#pragma once

#include <string>
#include <vector>

namespace qm::test::hardening {

// The names (UTF-8), each short enough for PostgreSQL's 63-byte limit with
// a four-byte prefix, none empty, no two equal.
inline const std::vector<std::string>& HostileNames() {
  static const std::vector<std::string> names = {
      "we\"ird",                     // a double quote: doubled when quoted
      "it's",                        // a single quote: doubled in literals
      "back\\slash\\",               // backslashes, one at the end
      "100% %s%d%n%x%%",             // printf directives
      "line\nbreak",                 // a newline
      "cr\r\nlf\ttab",               // carriage return, tab
      "  blanks  ",                  // blanks at both ends
      "a;b=c{d}}",                   // connection-string punctuation
      "x'); DROP TABLE y; --",       // a literal breaking out
      "/* c */ -- d",                // comment tokens
      "😀 emoji 𝔘𝔫𝔦",                // outside the BMP
      "ünïcödé ✓ 日本語",             // inside the BMP
      "\xEF\xBF\xBD replacement",    // a literal U+FFFD
      "\xE2\x80\xAE" "rtl\xE2\x80\x8D" "zwj",  // U+202E, U+200D
      "Mixed",                       // only letter case tells these two apart
      "mixed",
  };
  return names;
}

// `count` code points cycling through one-, two-, three- and four-byte
// UTF-8 characters, so that every multi-byte form meets every buffer edge.
inline std::string MixedText(std::size_t count) {
  static const char* const kCycle[] = {"a", "é", "✓", "😀", "\"", "'", "\\", "%", "\n"};
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += kCycle[i % (sizeof kCycle / sizeof kCycle[0])];
  return text;
}

// The unit repeated `count` times.
inline std::string Repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

// SQL identifier and literal quoting (the same in SQLite and PostgreSQL):
// the quote around the text and doubled inside it.
inline std::string Quoted(const std::string& text, char quote) {
  std::string quoted(1, quote);
  for (char ch : text) quoted += ch == quote ? std::string(2, ch) : std::string(1, ch);
  return quoted + quote;
}

inline std::string QuoteIdent(const std::string& name) { return Quoted(name, '"'); }

inline std::string QuoteText(const std::string& text) { return Quoted(text, '\''); }

}  // namespace qm::test::hardening

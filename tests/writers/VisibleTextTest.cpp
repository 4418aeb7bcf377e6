// Database text shown to a person: every character that would act on the
// terminal or not show at all is written as an escape, everything else as
// it is, and the escaped form reads back to exactly one text.
#include <writers/VisibleText.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

namespace writers {
namespace {

struct Case {
  std::u16string text;   // as the database holds it
  std::string shown;     // VisibleText
  std::string quoted;    // QuotedVisibleName
};

const Case kCases[] = {
    {u"orders", "orders", "\"orders\""},
    {u"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600", "B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600",
     "\"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600\""},
    // A name that forges an outline line, and one that sets the window title.
    {u"orders\n  table forged", "orders\\n  table forged", "\"orders\\n  table forged\""},
    {u"x\x1b]0;pwned\x07", "x\\x1b]0;pwned\\x07", "\"x\\x1b]0;pwned\\x07\""},
    {u"cr\r\nlf\ttab\x7f", "cr\\r\\nlf\\ttab\\x7f", "\"cr\\r\\nlf\\ttab\\x7f\""},
    {u"c1\u0085\u009b", "c1\\u0085\\u009b", "\"c1\\u0085\\u009b\""},
    // Direction overrides and isolates, invisible characters, separators.
    {u"\u202etxt.exe", "\\u202etxt.exe", "\"\\u202etxt.exe\""},
    {u"a\u2066b\u2069\u200f", "a\\u2066b\\u2069\\u200f", "\"a\\u2066b\\u2069\\u200f\""},
    {u"zero\u200bwidth\ufeff\u00ad\u2060", "zero\\u200bwidth\\ufeff\\u00ad\\u2060", "\"zero\\u200bwidth\\ufeff\\u00ad\\u2060\""},
    {u"line\u2028para\u2029", "line\\u2028para\\u2029", "\"line\\u2028para\\u2029\""},
    {u"tag\U000E0041\U000E007F", "tag\\U000e0041\\U000e007f", "\"tag\\U000e0041\\U000e007f\""},
    {u"fill\u3164er", "fill\\u3164er", "\"fill\\u3164er\""},
    // An unpaired surrogate is shown as itself, not as U+FFFD (which a
    // name may hold as well).
    {std::u16string(u"a") + char16_t(0xD800) + u"b\uFFFD", "a\\ud800b\uFFFD", "\"a\\ud800b\uFFFD\""},
    // Backslashes: left alone in a text without escapes, doubled where an
    // escape could be misread, and always in a quoted name.
    {u"C:\\new", "C:\\new", "\"C:\\\\new\""},
    {u"C:\\new\n", "C:\\\\new\\n", "\"C:\\\\new\\n\""},
    // Quotes are doubled inside a quoted name only.
    {u"we\"ird", "we\"ird", "\"we\"\"ird\""},
    // A no-break space looks like a space: escaped in a name, where the
    // difference makes another name, and left in a text.
    {u"open\u00a0orders", "open\u00a0orders", "\"open\\u00a0orders\""},
};

TEST(VisibleTextTest, EscapesWhatActsOnTheTerminalOrDoesNotShow) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(VisibleText(c.text), c.shown);
    EXPECT_EQ(QuotedVisibleName(c.text), c.quoted);
    // The same text in UTF-8 (an unpaired surrogate cannot be) is shown alike.
    const std::string utf8 = platform::Utf16ToUtf8(c.text);
    if (platform::Utf8ToUtf16(utf8) == c.text) {
      EXPECT_EQ(VisibleText(std::string_view(utf8)), c.shown);
    }
  }
}

// UTF-8 that is not well formed (a Latin-1 file name, an overlong form,
// an encoded surrogate, a character cut short) shows each stray byte.
TEST(VisibleTextTest, BytesThatAreNotUtf8AreShownAsBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"latin1-\xE9.db", "latin1-\\xe9.db"},
      {"\xC0\xAF", "\\xc0\\xaf"},
      {"\xED\xA0\x80", "\\xed\\xa0\\x80"},
      {"cut \xE2\x82", "cut \\xe2\\x82"},
      {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"ok \xE2\x82\xAC", "ok \xE2\x82\xAC"},
  };
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(VisibleText(std::string_view(bytes)), shown) << shown;
}

// A whole output on a terminal keeps its lines and indentation and its
// backslashes as they are; only what the terminal would act on or not show
// is escaped, and counted.
TEST(VisibleTextTest, TerminalTextKeepsTheLayoutAndEscapesTheRest) {
  const struct {
    std::string text;
    std::string shown;
    std::size_t escaped;
  } cases[] = {
      {"CREATE TABLE \"a\x1b]0;x\x07\" (\n\tid int);\n", "CREATE TABLE \"a\\x1b]0;x\\x07\" (\n\tid int);\n", 2},
      {"E'a\\b' \u202e\r\n\u200b\x7f\xc2\x9b", "E'a\\b' \\u202e\\r\n\\u200b\\x7f\\u009b", 5},
      {"latin1-\xE9 \xF3\xA0\x80\x81", "latin1-\\xe9 \\U000e0001", 2},
      {"plain na\u00efve \u00a0 \U0001F600\n", "plain na\u00efve \u00a0 \U0001F600\n", 0},
  };
  for (const auto& c : cases) {
    std::size_t escaped = 0;
    EXPECT_EQ(TerminalText(c.text, &escaped), c.shown) << c.shown;
    EXPECT_EQ(escaped, c.escaped) << c.shown;
  }
}

}  // namespace
}  // namespace writers

// Database text on a person's screen. A catalogue may hold any character in
// a name or a definition; a terminal acts on some of them (a line feed
// starts a new line of the outline, ESC starts a control sequence that can
// move the cursor or set the window title, U+202E reverses the text that
// follows) and shows others not at all (zero-width characters, a byte-order
// mark, a line separator). These helpers write such characters as visible
// escapes, so that what a person reads is what the database holds:
//
//   \n \r \t          line feed, carriage return, tab
//   \x1b              any other ASCII control character, and DEL
//   \u202e            a control, format, direction, separator or other
//                     invisible code point of the Basic Multilingual Plane,
//                     and an unpaired UTF-16 surrogate
//   \U000e0041        the same outside it (tag characters, ...)
//   \xe9              a byte of UTF-8 text that is not part of a character
//
// Everything else, letters of every script and emoji included, is written
// as it is. The formats people read on a terminal use these, and so do
// hosts for every message that carries a name or a driver's text.
// Thread safety: plain functions without state.
#pragma once

#include <string>
#include <cstddef>
#include <string_view>

namespace writers {

// The text as UTF-8 with the characters above escaped. A backslash of the
// text is doubled when the text shows an escape, so that an escaped text
// reads back exactly; a text without any is returned unchanged.
std::string VisibleText(std::u16string_view text);
std::string VisibleText(std::string_view utf8);

// A name shown in double quotes: '"' doubled as SQL writes it, every
// backslash doubled, the characters above escaped, and blanks other than
// the ASCII space (no-break and other wide spaces, which look like one)
// escaped as well. The result includes the quotes.
std::string QuotedVisibleName(std::u16string_view name);

// Whether VisibleText or QuotedVisibleName would escape something in the
// name: such a name is always shown quoted.
bool NeedsEscapes(std::u16string_view name);

// A whole output (a script, a graph, a page) on its way to a terminal,
// UTF-8: every character above is escaped but the line feed and the tab,
// which lay the output out; everything else, backslashes included, goes
// as it is, so an output without such characters is shown unchanged.
// escaped, when given, is increased by the number of characters escaped.
std::string TerminalText(std::string_view utf8, std::size_t* escaped = nullptr);

// A name as outlines and differences show it: as it is when it is a plain
// identifier (letters of any script, digits and '_', not starting with a
// digit, nothing to escape), otherwise QuotedVisibleName.
std::string VisibleName(std::u16string_view name);

}  // namespace writers

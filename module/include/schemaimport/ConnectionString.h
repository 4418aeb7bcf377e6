// The texts a host configures a database plug-in with: an ODBC connection
// string, read as the driver manager reads it, and a scope list (ParseScope,
// in ScopeList.h).
//
// Everything here is pure: no ODBC, no model, no module state.
#pragma once

#include <schemaimport/Export.h>
#include <schemaimport/ScopeList.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One segment of an ODBC connection string.
struct ConnectionAttribute {
  std::u16string key;     // as written, blanks around it removed; never empty
  std::u16string value;   // braces removed and "}}" read as "}"; otherwise blanks around it removed
  bool assigned = true;   // false for a segment without '=' (a key without a value), which the driver manager ignores
};

// Splits a connection string at the semicolons outside braced values, in
// the order written. After a braced value, anything up to the next ';' is
// dropped. Segments with an empty key are dropped.
QM_SCHEMAIMPORT_API std::vector<ConnectionAttribute> ParseConnectionString(std::u16string_view text);

// The text without the blanks (space, tab, CR, LF) around it.
QM_SCHEMAIMPORT_API std::u16string TrimBlanks(std::u16string_view text);

// ASCII letters folded to lower case; everything else unchanged.
QM_SCHEMAIMPORT_API std::u16string FoldAscii(std::u16string_view text);
// Equal once ASCII letters are folded, as ODBC compares keys.
QM_SCHEMAIMPORT_API bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// The value of the first assigned attribute whose key is one of the names
// (ASCII letter case ignored), or nothing.
QM_SCHEMAIMPORT_API std::optional<std::u16string> FindAttribute(const std::vector<ConnectionAttribute>& attributes,
                                                                std::initializer_list<std::u16string_view> names);
// True when FindAttribute finds one.
QM_SCHEMAIMPORT_API bool HasAttribute(const std::vector<ConnectionAttribute>& attributes,
                                      std::initializer_list<std::u16string_view> names);

// ODBC connection strings at the host's edge: split into attributes for the
// --prompt form, put back together, tell which plug-in a Driver belongs to,
// and mask passwords in anything the host prints. Text is UTF-8 here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// One key=value pair of a connection string, in the order written.
struct ConnectionAttribute {
  std::string key;      // as written, without surrounding blanks
  std::string value;    // braces removed, "}}" inside braces turned into "}"
  std::string written;  // the value exactly as written (braces kept); empty for a new attribute
  bool changed = false; // value was replaced after parsing: write it from value, not from written
};

// Splits at semicolons outside braces. Empty segments are dropped; a
// segment without '=' becomes a key with an empty value.
std::vector<ConnectionAttribute> ParseConnectionString(std::string_view text);

// Joins the attributes with ';'. An attribute that was parsed and not
// changed is written as it was, since drivers differ in what they accept
// (the SQLite driver takes no braces at all). Any other value is written in
// braces, with '}' doubled, only when it must be: when it holds a ';',
// starts with '{' or has blanks at either end.
std::string FormatConnectionString(const std::vector<ConnectionAttribute>& attributes);

// The value of the first attribute whose key equals key ignoring ASCII
// case, or nothing.
std::optional<std::string> FindAttribute(const std::vector<ConnectionAttribute>& attributes,
                                         std::string_view key);

// PWD or Password, ignoring ASCII case.
bool IsPasswordKey(std::string_view key);

// The text with the value of every PWD=... or Password=... in it (whatever
// surrounds it: a connection string, an error message) replaced by "****".
// A value runs to the next ';' or line end, or is a braced value.
std::string MaskPasswords(std::string_view text);

// The plug-in that reads databases of an ODBC driver: "sqlite" for the
// SQLite drivers, "postgres" for psqlODBC; empty for any other driver.
std::string PluginForDriver(std::string_view driverName);

}  // namespace app

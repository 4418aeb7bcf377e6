#include "ConnectionString.h"

#include <cctype>

namespace app {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool IsWordCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Reads a braced value starting at text[pos] == '{'. Returns the position
// after the closing brace (or the end of the text when it is missing) and
// appends the value, with "}}" read as "}".
std::size_t ReadBraced(std::string_view text, std::size_t pos, std::string* value) {
  ++pos;
  while (pos < text.size()) {
    if (text[pos] == '}') {
      if (pos + 1 < text.size() && text[pos + 1] == '}') {
        if (value) *value += '}';
        pos += 2;
        continue;
      }
      return pos + 1;
    }
    if (value) *value += text[pos];
    ++pos;
  }
  return pos;
}

}  // namespace

std::vector<ConnectionAttribute> ParseConnectionString(std::string_view text) {
  std::vector<ConnectionAttribute> attributes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of(";=", pos);
    if (end == std::string_view::npos || text[end] == ';') {
      const std::string_view key = Trim(text.substr(pos, end == std::string_view::npos ? end : end - pos));
      if (!key.empty()) attributes.push_back({std::string(key), {}, {}, false});
      if (end == std::string_view::npos) break;
      pos = end + 1;
      continue;
    }
    ConnectionAttribute attribute;
    attribute.key = std::string(Trim(text.substr(pos, end - pos)));
    pos = end + 1;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos < text.size() && text[pos] == '{') {
      const std::size_t start = pos;
      pos = ReadBraced(text, pos, &attribute.value);
      attribute.written = std::string(text.substr(start, pos - start));
      // Anything between the closing brace and the next ';' is dropped.
      const std::size_t next = text.find(';', pos);
      pos = next == std::string_view::npos ? text.size() : next + 1;
    } else {
      const std::size_t next = text.find(';', pos);
      attribute.value = std::string(Trim(text.substr(pos, next == std::string_view::npos ? next : next - pos)));
      attribute.written = attribute.value;
      pos = next == std::string_view::npos ? text.size() : next + 1;
    }
    if (!attribute.key.empty()) attributes.push_back(std::move(attribute));
  }
  return attributes;
}

std::string FormatConnectionString(const std::vector<ConnectionAttribute>& attributes) {
  std::string text;
  for (const ConnectionAttribute& attribute : attributes) {
    if (!text.empty()) text += ';';
    text += attribute.key;
    text += '=';
    if (!attribute.changed && !attribute.written.empty()) {
      text += attribute.written;
      continue;
    }
    const std::string& v = attribute.value;
    const bool braces = v.find(';') != std::string::npos ||
                        (!v.empty() && (v.front() == '{' || std::isspace(static_cast<unsigned char>(v.front())) ||
                                        std::isspace(static_cast<unsigned char>(v.back()))));
    if (!braces) {
      text += v;
      continue;
    }
    text += '{';
    for (char c : v) {
      text += c;
      if (c == '}') text += '}';
    }
    text += '}';
  }
  return text;
}

std::optional<std::string> FindAttribute(const std::vector<ConnectionAttribute>& attributes,
                                         std::string_view key) {
  for (const ConnectionAttribute& attribute : attributes) {
    if (EqualsIgnoringCase(attribute.key, key)) return attribute.value;
  }
  return std::nullopt;
}

bool IsPasswordKey(std::string_view key) {
  key = Trim(key);
  return EqualsIgnoringCase(key, "PWD") || EqualsIgnoringCase(key, "Password");
}

std::string MaskPasswords(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    // A key starts a word: at the start or after a character that cannot
    // belong to a key.
    const bool wordStart = pos == 0 || !IsWordCharacter(text[pos - 1]);
    std::size_t keyLength = 0;
    if (wordStart) {
      if (StartsWithIgnoringCase(text.substr(pos), "password")) {
        keyLength = 8;
      } else if (StartsWithIgnoringCase(text.substr(pos), "pwd")) {
        keyLength = 3;
      }
    }
    std::size_t equals = pos + keyLength;
    if (keyLength > 0) {
      while (equals < text.size() && text[equals] == ' ') ++equals;
    }
    if (keyLength == 0 || equals >= text.size() || text[equals] != '=' ||
        (pos + keyLength < text.size() && IsWordCharacter(text[pos + keyLength]))) {
      out += text[pos++];
      continue;
    }
    // Key and '=' stay; the value becomes "****".
    out.append(text.substr(pos, equals + 1 - pos));
    std::size_t value = equals + 1;
    while (value < text.size() && text[value] == ' ') ++value;
    std::size_t end;
    if (value < text.size() && text[value] == '{') {
      end = ReadBraced(text, value, nullptr);
    } else {
      end = text.find_first_of(";\r\n", value);
      if (end == std::string_view::npos) end = text.size();
    }
    out += "****";
    pos = end;
  }
  return out;
}

std::string PluginForDriver(std::string_view driverName) {
  driverName = Trim(driverName);
  if (!driverName.empty() && driverName.front() == '{' && driverName.back() == '}') {
    driverName = Trim(driverName.substr(1, driverName.size() - 2));
  }
  // Driver names as odbcinst.ini registers them ("SQLite3", "PostgreSQL
  // Unicode", "PostgreSQL ANSI"), or the driver library itself.
  if (StartsWithIgnoringCase(driverName, "SQLite")) return "sqlite";
  if (StartsWithIgnoringCase(driverName, "PostgreSQL") || StartsWithIgnoringCase(driverName, "psqlodbc")) {
    return "postgres";
  }
  // "MariaDB Unicode" as Debian registers it; MariaDB's own names
  // ("MariaDB ODBC 3.1 Driver") start the same.
  if (StartsWithIgnoringCase(driverName, "MariaDB") || StartsWithIgnoringCase(driverName, "libmaodbc")) {
    return "mariadb";
  }
  const std::size_t slash = driverName.rfind('/');
  if (slash != std::string_view::npos) {
    const std::string_view file = driverName.substr(slash + 1);
    if (StartsWithIgnoringCase(file, "libsqlite3odbc")) return "sqlite";
    if (StartsWithIgnoringCase(file, "psqlodbc")) return "postgres";
    if (StartsWithIgnoringCase(file, "libmaodbc")) return "mariadb";
  }
  return {};
}

}  // namespace app

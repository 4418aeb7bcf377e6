// Splitting an ODBC connection string into its attributes, for the
// statement capture (which leaves passwords out) and the bare fetch loop
// (which adds the attributes a plug-in set to its own connection string).
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace qm::bench {

// One "key=value" segment of a connection string.
struct ConnectionAttribute {
  std::string key;      // lower case, without surrounding blanks
  std::string segment;  // the segment as written, value and braces included
};

// Where the value that starts at text[pos] ends: at the ';' after it or at
// the end. A value in braces may hold ';' ("}}" is a brace inside it).
inline std::size_t ValueEnd(const std::string& text, std::size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos < text.size() && text[pos] == '{') {
    for (++pos; pos < text.size(); ++pos) {
      if (text[pos] != '}') continue;
      if (pos + 1 < text.size() && text[pos + 1] == '}') {
        ++pos;
        continue;
      }
      break;
    }
  }
  return std::min(text.find(';', pos), text.size());
}

// The attributes in order; empty segments are dropped.
inline std::vector<ConnectionAttribute> SplitAttributes(const std::string& text) {
  std::vector<ConnectionAttribute> attributes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::size_t eq = text.find_first_of("=;", pos);
    std::size_t end = text.size();
    if (eq != std::string::npos) end = text[eq] == ';' ? eq : ValueEnd(text, eq + 1);
    std::string key = text.substr(start, std::min(eq, end) - start);
    key.erase(0, key.find_first_not_of(' '));
    key.erase(key.find_last_not_of(' ') + 1);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!key.empty()) attributes.push_back({key, text.substr(start, end - start)});
    pos = end + 1;
  }
  return attributes;
}

inline bool IsPasswordKey(const std::string& key) { return key == "pwd" || key == "password"; }

}  // namespace qm::bench

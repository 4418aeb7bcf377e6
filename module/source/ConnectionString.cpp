#include <schemaimport/ConnectionString.h>

namespace {

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

// Reads a braced value starting at text[pos] == '{'; returns the position
// after the closing brace (the end when it is missing).
std::size_t ReadBraced(std::u16string_view text, std::size_t pos, std::u16string& value) {
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == u'}') {
      if (pos + 1 < text.size() && text[pos + 1] == u'}') {
        value += u'}';
        ++pos;
        continue;
      }
      return pos + 1;
    }
    value += text[pos];
  }
  return pos;
}

}  // namespace

std::u16string TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::u16string(text);
}

std::vector<ConnectionAttribute> ParseConnectionString(std::u16string_view text) {
  std::vector<ConnectionAttribute> attributes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // A count past the end of a view means "to the end".
    const std::size_t end = text.find_first_of(u";=", pos);
    ConnectionAttribute attribute;
    attribute.key = TrimBlanks(text.substr(pos, end - pos));
    if (end == std::u16string_view::npos || text[end] == u';') {
      attribute.assigned = false;
      pos = end == std::u16string_view::npos ? text.size() : end + 1;
    } else {
      pos = end + 1;
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      const bool braced = pos < text.size() && text[pos] == u'{';
      if (braced) pos = ReadBraced(text, pos, attribute.value);
      const std::size_t next = text.find(u';', pos);
      if (!braced) attribute.value = TrimBlanks(text.substr(pos, next - pos));
      pos = next == std::u16string_view::npos ? text.size() : next + 1;
    }
    if (!attribute.key.empty()) attributes.push_back(std::move(attribute));
  }
  return attributes;
}

std::u16string FoldAscii(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& ch : folded)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch + 32);
  return folded;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && FoldAscii(a) == FoldAscii(b);
}

std::optional<std::u16string> FindAttribute(const std::vector<ConnectionAttribute>& attributes,
                                            std::initializer_list<std::u16string_view> names) {
  for (const ConnectionAttribute& attribute : attributes)
    for (std::u16string_view name : names)
      if (attribute.assigned && EqualsIgnoringAsciiCase(attribute.key, name)) return attribute.value;
  return std::nullopt;
}

bool HasAttribute(const std::vector<ConnectionAttribute>& attributes, std::initializer_list<std::u16string_view> names) {
  return FindAttribute(attributes, names).has_value();
}

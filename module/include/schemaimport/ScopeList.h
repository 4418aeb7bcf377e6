// The scope list a host hands a plug-in (quillmere-import's --schema): the
// names of the schemas, or databases, to import, separated by commas.
//
//   public, sales          two names; blanks around a name are dropped
//   "a,b", " sp ", public   a name in double quotes is taken exactly as
//                          written between them: commas, blanks, any case
//   "say ""hi"""           a quote inside a quoted name is written twice
//
// An unquoted name runs to the next comma and is taken as written, quotes
// inside it included; only a quote that opens an item starts a quoted name.
// Empty unquoted items ("a,,b", a trailing comma) are dropped; a quoted
// name may be empty (""). A name given twice counts once. An empty list
// means every schema.
//
// Header-only and pure (no module state), so that a host that loads the
// module with dlopen checks a list with the same reading as the plug-ins,
// before it loads anything.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

struct ScopeList {
  std::vector<std::u16string> names;  // in the order given, each once
  std::u16string error;               // why the text is not a well-formed list; empty when it is
};

namespace scope_list_detail {

inline std::u16string Count(std::size_t n) {
  std::u16string digits;
  do digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10)); while ((n /= 10) != 0);
  return digits;
}

inline bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

inline std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline void AddOnce(std::vector<std::u16string>& names, std::u16string name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

// Every item as written, split at every comma and trimmed: how a list that
// is not well formed is read, so that it never names fewer schemas than
// were meant (an empty list would mean all of them).
inline std::vector<std::u16string> ItemsAsWritten(std::u16string_view text) {
  std::vector<std::u16string> names;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(u',', start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view item = Trim(text.substr(start, end - start));
    if (!item.empty()) AddOnce(names, std::u16string(item));
    start = end + 1;
  }
  return names;
}

}  // namespace scope_list_detail

// Reads a scope list. A list that is not well formed (a quoted name without
// its closing quote, or followed by something other than a comma) gives the
// reason in error, and names then holds every comma-separated item as
// written, quotes included: never fewer names than the text holds.
inline ScopeList ReadScopeList(std::u16string_view text) {
  using namespace scope_list_detail;
  ScopeList list;
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == u'"') {
      const std::size_t open = pos++;
      std::u16string name;
      bool closed = false;
      while (pos < text.size() && !closed) {
        if (text[pos] != u'"') {
          name += text[pos++];
        } else if (pos + 1 < text.size() && text[pos + 1] == u'"') {
          name += u'"';
          pos += 2;
        } else {
          closed = true;
          ++pos;
        }
      }
      if (!closed) {
        list.error = u"the quoted name " + std::u16string(text.substr(open)) +
                     u" has no closing quote (a quote inside a quoted name is written \"\")";
        break;
      }
      const std::size_t close = pos;
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != u',') {
        const std::size_t comma = std::min(text.find(u',', pos), text.size());
        list.error = u"the quoted name " + std::u16string(text.substr(open, close - open)) +
                     u" must be followed by a comma, not by " + std::u16string(text.substr(pos, comma - pos)) +
                     u" (a quote inside a quoted name is written \"\")";
        break;
      }
      AddOnce(list.names, std::move(name));
    } else {
      const std::size_t comma = std::min(text.find(u',', pos), text.size());
      const std::u16string_view name = Trim(text.substr(pos, comma - pos));
      if (!name.empty()) AddOnce(list.names, std::u16string(name));
      pos = comma;
    }
    if (pos >= text.size()) break;
    ++pos;  // the comma
  }
  if (!list.error.empty()) list.names = ItemsAsWritten(text);
  return list;
}

// The names of a scope list (ReadScopeList's names; a list that is not well
// formed is read item by item as written).
inline std::vector<std::u16string> ParseScope(std::u16string_view scope) { return ReadScopeList(scope).names; }

// The SQLSTATE a plug-in gives its refusal of a scope naming a schema the
// database does not have (SQL's "invalid schema name"), so that a host
// tells the user's typo from a connection that failed.
inline constexpr std::u16string_view kNoSuchSchemaState = u"3F000";

// The schemas there are, for that refusal: sorted, comma-separated, the
// first `most` of them and how many more.
inline std::u16string ListedSchemas(std::vector<std::u16string> names, std::size_t most = 30) {
  std::sort(names.begin(), names.end());
  std::u16string text;
  for (std::size_t i = 0; i < names.size() && i < most; ++i) text += (i == 0 ? u"" : u", ") + names[i];
  if (names.size() > most) text += u" and " + scope_list_detail::Count(names.size() - most) + u" more";
  return names.empty() ? std::u16string(u"none") : text;
}


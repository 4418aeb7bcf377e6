#include "MariaText.h"

#include <platform/Utf.h>

namespace qm::mariadb {
namespace {

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The content of a string literal MariaDB printed ('...' with '' and
// backslash escapes), from the opening quote at pos; pos ends after the
// closing quote.
std::u16string ReadLiteral(std::u16string_view text, std::size_t& pos) {
  std::u16string content;
  ++pos;
  while (pos < text.size()) {
    const char16_t ch = text[pos++];
    if (ch == u'\'') {
      if (pos < text.size() && text[pos] == u'\'') {
        content += u'\'';
        ++pos;
        continue;
      }
      return content;
    }
    if (ch == u'\\' && pos < text.size()) {
      const char16_t next = text[pos++];
      switch (next) {
        case u'n': content += u'\n'; break;
        case u'r': content += u'\r'; break;
        case u't': content += u'\t'; break;
        case u'0': content += u'\0'; break;
        case u'b': content += u'\b'; break;
        case u'Z': content += u'\x1A'; break;
        default: content += next; break;
      }
      continue;
    }
    content += ch;
  }
  return content;
}

}  // namespace

std::u16string HexLiteral(std::u16string_view text) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  const std::string bytes = platform::Utf16ToUtf8(text);
  std::u16string literal = u"_utf8mb4 X'";
  for (unsigned char byte : bytes) {
    literal += kDigits[byte >> 4];
    literal += kDigits[byte & 0x0F];
  }
  literal += u'\'';
  return literal;
}

std::u16string QuoteIdentifier(std::u16string_view name) {
  std::u16string quoted = u"`";
  for (char16_t ch : name) {
    if (ch == u'`') quoted += ch;
    quoted += ch;
  }
  return quoted + u"`";
}

const std::vector<std::u16string>& SystemSchemas() {
  static const std::vector<std::u16string> schemas = {u"information_schema", u"mysql", u"performance_schema", u"sys"};
  return schemas;
}

std::u16string ScopeFilter(std::u16string_view column, const std::vector<std::u16string>& schemas) {
  const std::u16string name(column);
  auto list = [](const std::vector<std::u16string>& names, bool binary) {
    std::u16string text;
    for (const std::u16string& schema : names) {
      if (!text.empty()) text += u", ";
      // The hex digits without the introducer are the bytes themselves.
      text += binary ? HexLiteral(schema).substr(9) : HexLiteral(schema);
    }
    return text;
  };
  if (schemas.empty()) return u"(CAST(" + name + u" AS BINARY) NOT IN (" + list(SystemSchemas(), true) + u"))";
  const std::u16string exact = u"CAST(" + name + u" AS BINARY) IN (" + list(schemas, true) + u")";
  if (schemas.size() == 1) return u"(" + name + u" = " + HexLiteral(schemas.front()) + u" AND " + exact + u")";
  return u"(" + exact + u")";
}

std::u16string Decimal(std::int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::optional<std::int64_t> ParseInt64(std::u16string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Accumulated as a negative number, which has room for INT64_MIN.
  std::int64_t value = 0;
  constexpr std::int64_t kMin = INT64_MIN;
  for (char16_t ch : text) {
    if (ch < u'0' || ch > u'9') return std::nullopt;
    const int digit = ch - u'0';
    if (value < (kMin + digit) / 10) return std::nullopt;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == kMin) return std::nullopt;
    value = -value;
  }
  return value;
}

std::u16string CacheKey(char16_t kind, std::initializer_list<std::u16string_view> parts) {
  // Written in place into a string of its final length: a key is made for
  // every column, key and index row, and kept by the caches.
  auto digits = [](std::size_t value) {
    std::size_t count = 1;
    for (; value >= 10; value /= 10) ++count;
    return count;
  };
  std::size_t length = 1;
  for (std::u16string_view part : parts) length += digits(part.size()) + 1 + part.size();
  std::u16string key(length, u':');
  std::size_t end = 0;
  key[end++] = kind;
  for (std::u16string_view part : parts) {
    const std::size_t width = digits(part.size());
    std::size_t value = part.size();
    for (std::size_t at = end + width; at > end; value /= 10) key[--at] = static_cast<char16_t>(u'0' + value % 10);
    end += width + 1;  // the digits, then the ':' already there
    part.copy(key.data() + end, part.size());
    end += part.size();
  }
  return key;
}

std::vector<std::u16string> PartitionValues(std::u16string_view description) {
  std::vector<std::u16string> values;
  if (Trim(description).empty()) return values;
  std::u16string item;
  bool literal = false;  // the item is one string literal
  int depth = 0;
  auto finish = [&] {
    values.push_back(literal ? item : std::u16string(Trim(item)));
    item.clear();
    literal = false;
  };
  for (std::size_t pos = 0; pos < description.size();) {
    const char16_t ch = description[pos];
    if (ch == u'\'') {
      if (depth == 0 && Trim(item).empty()) {
        item = ReadLiteral(description, pos);
        literal = true;
        continue;
      }
      // A literal inside a tuple is copied as written.
      const std::size_t start = pos;
      ReadLiteral(description, pos);
      item += description.substr(start, pos - start);
      continue;
    }
    ++pos;
    if (ch == u'(') ++depth;
    if (ch == u')') --depth;
    if (ch == u',' && depth == 0) {
      finish();
      continue;
    }
    if (!literal) item += ch;
  }
  finish();
  return values;
}

std::u16string PartitionBoundClause(std::u16string_view method, std::u16string_view description) {
  if (Trim(description).empty()) return {};
  if (method.starts_with(u"RANGE")) {
    if (method == u"RANGE" && Trim(description) == u"MAXVALUE") return u"VALUES LESS THAN MAXVALUE";
    return u"VALUES LESS THAN (" + std::u16string(description) + u")";
  }
  if (method.starts_with(u"LIST")) {
    // A list has no MAXVALUE: the catalogue says so of its DEFAULT partition.
    if (Trim(description) == u"MAXVALUE") return u"DEFAULT";
    return u"VALUES IN (" + std::u16string(description) + u")";
  }
  return {};
}

}  // namespace qm::mariadb

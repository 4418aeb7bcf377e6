#include "PgText.h"

namespace qm::postgres {
namespace {

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits the items of a parenthesised list at the commas outside quotes and
// nested parentheses; `pos` is at '(' and ends after the matching ')'.
std::vector<std::u16string> ReadList(std::u16string_view text, std::size_t& pos) {
  std::vector<std::u16string> items;
  if (pos >= text.size() || text[pos] != u'(') return items;
  ++pos;
  std::u16string item;
  bool quoted = false;    // the item is a string literal
  bool inQuotes = false;  // inside '...'
  int depth = 0;
  auto finish = [&] {
    std::u16string_view trimmed = Trim(item);
    if (!quoted || trimmed.empty()) {
      items.emplace_back(trimmed);
    } else {
      items.push_back(item);  // the literal's content, kept exactly
    }
    item.clear();
    quoted = false;
  };
  for (; pos < text.size(); ++pos) {
    const char16_t ch = text[pos];
    if (inQuotes) {
      if (ch == u'\'') {
        if (pos + 1 < text.size() && text[pos + 1] == u'\'') {
          item += u'\'';
          ++pos;
        } else {
          inQuotes = false;
        }
      } else {
        item += ch;
      }
      continue;
    }
    if (ch == u'\'' && !quoted) {
      if (depth == 0 && Trim(item).empty()) {
        // A string literal item: keep only its content.
        item.clear();
        quoted = true;
        inQuotes = true;
        continue;
      }
      // A literal inside a longer item: copied as written, so that its
      // commas and parentheses do not split the item.
      item += ch;
      for (++pos; pos < text.size(); ++pos) {
        item += text[pos];
        if (text[pos] != u'\'') continue;
        if (pos + 1 < text.size() && text[pos + 1] == u'\'') {
          item += text[++pos];
          continue;
        }
        break;
      }
      continue;
    }
    if (ch == u'(') ++depth;
    if (ch == u')') {
      if (depth == 0) {
        finish();
        ++pos;
        return items;
      }
      --depth;
    }
    if (ch == u',' && depth == 0) {
      finish();
      continue;
    }
    // Text after a closing quote (a cast such as '1'::date) stays out of a
    // quoted item's value.
    if (!quoted) item += ch;
  }
  finish();
  return items;
}

// Moves pos past blanks and the word (ASCII case ignored); false when the
// word is not there.
bool Expect(std::u16string_view text, std::size_t& pos, std::u16string_view word) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos + word.size() > text.size() || !EqualsIgnoringAsciiCase(text.substr(pos, word.size()), word)) return false;
  pos += word.size();
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return true;
}

}  // namespace

std::u16string QuoteLiteral(std::u16string_view text) {
  const bool escape = text.find(u'\\') != std::u16string_view::npos;
  std::u16string literal = escape ? u"E'" : u"'";
  for (char16_t ch : text) {
    if (ch == u'\'' || (escape && ch == u'\\')) literal += ch;
    literal += ch;
  }
  literal += u'\'';
  return literal;
}

std::u16string ScopeFilter(std::u16string_view column, const std::vector<std::u16string>& schemas) {
  const std::u16string name(column);
  if (schemas.empty()) {
    return u"(" + name + u" NOT IN ('pg_catalog', 'information_schema', 'pg_toast') AND " + name +
           u" !~ '^pg_(toast_)?temp_')";
  }
  std::u16string filter = name + u" = ANY (ARRAY[";
  for (std::size_t i = 0; i < schemas.size(); ++i) {
    if (i > 0) filter += u", ";
    filter += QuoteLiteral(schemas[i]);
  }
  filter += u"]::pg_catalog.name[])";
  return filter;
}

std::u16string Decimal(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Decimal(int value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::vector<int> ParseIntegerList(std::u16string_view text) {
  std::vector<int> numbers;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && !(text[pos] == u'-' || (text[pos] >= u'0' && text[pos] <= u'9'))) ++pos;
    if (pos >= text.size()) break;
    const std::size_t start = pos;
    ++pos;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') ++pos;
    if (std::optional<std::int64_t> value = ParseInt64(text.substr(start, pos - start)))
      numbers.push_back(static_cast<int>(*value));
  }
  return numbers;
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

PartitionBound ParsePartitionBound(std::u16string_view text) {
  PartitionBound bound;
  std::size_t pos = 0;
  if (Expect(text, pos, u"DEFAULT")) {
    bound.kind = PartitionBound::Kind::Default;
    return bound;
  }
  pos = 0;
  if (!Expect(text, pos, u"FOR VALUES")) return bound;
  const std::size_t afterValues = pos;
  if (Expect(text, pos, u"IN")) {
    bound.kind = PartitionBound::Kind::List;
    bound.values = ReadList(text, pos);
    return bound;
  }
  pos = afterValues;
  if (Expect(text, pos, u"FROM")) {
    bound.kind = PartitionBound::Kind::Range;
    bound.values = ReadList(text, pos);
    if (Expect(text, pos, u"TO")) bound.upper = ReadList(text, pos);
    return bound;
  }
  pos = afterValues;
  if (Expect(text, pos, u"WITH")) {
    bound.kind = PartitionBound::Kind::Hash;
    bound.values = ReadList(text, pos);
  }
  return bound;
}

}  // namespace qm::postgres

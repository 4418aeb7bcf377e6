#include <compare/Expressions.h>

#include <tillerhold/ModelVocabulary.h>

#include <optional>
#include <vector>

namespace compare {

namespace {

// Nested casts of arrays deeper than this are left as they are: the
// rewriting recurses into the elements, and a model read from a file may
// nest without end.
constexpr int kDeepest = 32;

bool IsWordChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c >= 0x80;
}

bool StartsWith(std::u16string_view text, std::size_t at, std::u16string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

// The end of the quoted text that begins at `at` (a '\'' or '"'): the index
// after its closing quote, a doubled quote being part of it; with
// `backslashes` (an E'...' string) a backslash escapes the next unit.
// npos when it is not closed.
std::size_t QuotedEnd(std::u16string_view text, std::size_t at, bool backslashes) {
  const char16_t quote = text[at];
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    if (backslashes && text[i] == u'\\') {
      ++i;
      continue;
    }
    if (text[i] != quote) continue;
    if (i + 1 < text.size() && text[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::u16string_view::npos;
}

// Whether a string literal beginning at `at` is an escape string (E'...').
bool EscapeString(std::u16string_view text, std::size_t at) {
  return at > 0 && (text[at - 1] == u'E' || text[at - 1] == u'e') && (at == 1 || !IsWordChar(text[at - 2]));
}

std::u16string Normal(std::u16string_view text, int depth);

// Where `(ARRAY[e1, e2])::T[]` begins at `at`: its rewriting as
// `ARRAY[(e1)::T, (e2)::T]` and the index after it; nothing when the text
// there is not that whole form.
std::optional<std::pair<std::u16string, std::size_t>> CastArray(std::u16string_view text, std::size_t at, int depth) {
  static constexpr std::u16string_view kOpen = u"(ARRAY[";
  std::vector<std::u16string_view> elements;
  std::size_t start = at + kOpen.size();
  int nesting = 0;  // parentheses and brackets open inside the array
  std::size_t i = start;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\'' || c == u'"') {
      const std::size_t end = QuotedEnd(text, i, c == u'\'' && EscapeString(text, i));
      if (end == std::u16string_view::npos) return std::nullopt;
      i = end - 1;
    } else if (c == u'(' || c == u'[') {
      ++nesting;
    } else if (c == u')' || c == u']') {
      if (nesting == 0) break;
      --nesting;
    } else if (c == u',' && nesting == 0) {
      elements.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (i >= text.size() || text[i] != u']') return std::nullopt;
  elements.push_back(text.substr(start, i - start));
  if (!StartsWith(text, i + 1, u")::")) return std::nullopt;
  // The element type: words, quoted names, dots, blanks and a modifier in
  // parentheses (character varying(20)), up to the one pair of brackets.
  const std::size_t typeStart = i + 4;
  std::size_t j = typeStart;
  while (j < text.size() && text[j] != u'[') {
    const char16_t c = text[j];
    if (c == u'"') {
      const std::size_t end = QuotedEnd(text, j, false);
      if (end == std::u16string_view::npos) return std::nullopt;
      j = end;
      continue;
    }
    const bool modifier = c == u'(' || c == u')' || c == u',';
    if (!IsWordChar(c) && c != u' ' && c != u'.' && !modifier) return std::nullopt;
    ++j;
  }
  if (!StartsWith(text, j, u"[]") || StartsWith(text, j + 2, u"[")) return std::nullopt;
  std::u16string_view type = text.substr(typeStart, j - typeStart);
  while (!type.empty() && type.back() == u' ') type.remove_suffix(1);
  if (type.empty()) return std::nullopt;

  std::u16string rewritten = u"ARRAY[";
  for (std::size_t e = 0; e < elements.size(); ++e) {
    std::u16string_view element = elements[e];
    while (!element.empty() && element.front() == u' ') element.remove_prefix(1);
    while (!element.empty() && element.back() == u' ') element.remove_suffix(1);
    if (element.empty()) return std::nullopt;
    if (e > 0) rewritten += u", ";
    rewritten += u'(';
    rewritten += Normal(element, depth + 1);
    rewritten += u")::";
    rewritten += type;
  }
  rewritten += u']';
  return std::make_pair(std::move(rewritten), j + 2);
}

std::u16string Normal(std::u16string_view text, int depth) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'\'' || c == u'"') {
      const std::size_t end = QuotedEnd(text, i, c == u'\'' && EscapeString(text, i));
      if (end == std::u16string_view::npos) return std::u16string(text);  // not read to its end: as it is
      out.append(text.substr(i, end - i));
      i = end;
      continue;
    }
    if (c == u'(' && depth < kDeepest && StartsWith(text, i, u"(ARRAY[")) {
      if (auto rewritten = CastArray(text, i, depth)) {
        out += rewritten->first;
        i = rewritten->second;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace

bool IsExpressionProperty(int objectType, int propertyId) {
  switch (propertyId) {
    case model::CheckExpression:
    case model::DefaultValue:
    case model::GeneratedExpression:
    case model::UpdateExpression:
    case model::Predicate:
    case model::Expressions:
    case model::PartitionBound:
      return true;
    case model::Definition:
      return objectType == model::Key || objectType == model::ForeignKey || objectType == model::CheckConstraint ||
             objectType == model::View || objectType == model::Trigger || objectType == model::Index ||
             objectType == model::UserType;
    case model::SqlText:
      return objectType == model::Index;
    default:
      return false;
  }
}

std::u16string NormalExpression(std::u16string_view text) {
  if (text.find(u"(ARRAY[") == std::u16string_view::npos) return std::u16string(text);
  return Normal(text, 0);
}

}  // namespace compare

#include "TypeNames.h"

#include "LintModel.h"

namespace lint {

namespace {

// The rules SQLite applies in order to a declared type (its documentation,
// "Determination Of Column Affinity").
std::u16string Affinity(std::u16string_view type) {
  if (ContainsWord(type, u"INT")) return u"INTEGER";
  if (ContainsWord(type, u"CHAR") || ContainsWord(type, u"CLOB") || ContainsWord(type, u"TEXT")) return u"TEXT";
  if (ContainsWord(type, u"BLOB") || type.find_first_not_of(u" \t") == std::u16string_view::npos) return u"BLOB";
  if (ContainsWord(type, u"REAL") || ContainsWord(type, u"FLOA") || ContainsWord(type, u"DOUB")) return u"REAL";
  return u"NUMERIC";
}

std::u16string Collapsed(std::u16string_view type) {
  std::u16string out;
  bool blank = false;
  for (char16_t c : type) {
    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += u' ';
    blank = false;
    out += c;
  }
  return out;
}

// int(11) unsigned -> int unsigned: the width is only how a client pads
// the number.
std::u16string WithoutDisplayWidth(std::u16string type) {
  static constexpr std::u16string_view kIntegers[] = {u"tinyint", u"smallint", u"mediumint", u"int", u"integer",
                                                      u"bigint"};
  for (std::u16string_view name : kIntegers) {
    if (type.compare(0, name.size(), name) != 0 || type.size() <= name.size() || type[name.size()] != u'(') continue;
    const std::size_t close = type.find(u')', name.size());
    if (close == std::u16string::npos) return type;
    return std::u16string(name) + type.substr(close + 1);
  }
  return type;
}

}  // namespace

std::u16string TypeKey(std::string_view dialect, std::u16string_view type) {
  if (dialect == "sqlite") return Affinity(type);
  if (dialect == "mariadb") return WithoutDisplayWidth(LowerAscii(Collapsed(type)));
  if (dialect == "postgresql") return Collapsed(type);
  std::u16string upper = Collapsed(type);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper;
}

}  // namespace lint

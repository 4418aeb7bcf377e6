#include <writers/VisibleText.h>

#include <platform/Utf.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace writers {

namespace {

// A byte of UTF-8 input that starts no valid character is carried as this
// flag plus the byte; unpaired surrogates keep their own value, which no
// decoded character has.
constexpr char32_t kBadByte = 0x110000;

struct Range {
  char32_t first;
  char32_t last;
};

// Code points that are invisible or change how the text around them is
// shown: control and format characters (Cc, Cf), line and paragraph
// separators, Unicode's default-ignorable code points (zero-width
// characters, fillers, variation selectors, tags) and noncharacters.
constexpr Range kInvisible[] = {
    {0x0000, 0x001F}, {0x007F, 0x009F}, {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x0600, 0x0605},
    {0x061C, 0x061C}, {0x06DD, 0x06DD}, {0x070F, 0x070F}, {0x0890, 0x0891}, {0x08E2, 0x08E2},
    {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180F}, {0x200B, 0x200F}, {0x2028, 0x202E},
    {0x2060, 0x206F}, {0x2800, 0x2800}, {0x3164, 0x3164}, {0xD800, 0xDFFF}, {0xFDD0, 0xFDEF},
    {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0xFFFE, 0xFFFF},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0000, 0xE0FFF},
};

// Blanks that look like the ASCII space (Zs without U+0020).
constexpr Range kOtherSpaces[] = {
    {0x00A0, 0x00A0}, {0x1680, 0x1680}, {0x2000, 0x200A}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

template <std::size_t N>
bool InRanges(const Range (&ranges)[N], char32_t c) {
  const Range* at = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                     [](char32_t value, const Range& range) { return value < range.first; });
  return at != std::begin(ranges) && c <= std::prev(at)->last;
}

bool IsEscaped(char32_t c, bool name) {
  if (c >= kBadByte) return true;
  if (c < 0x7F) return c < 0x20;
  return InRanges(kInvisible, c) || (name && InRanges(kOtherSpaces, c));
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendEscape(std::string& out, char32_t c) {
  char text[16];
  switch (c) {
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (c >= kBadByte) {
    std::snprintf(text, sizeof text, "\\x%02x", static_cast<unsigned>(c - kBadByte));
  } else if (c < 0x80) {
    std::snprintf(text, sizeof text, "\\x%02x", static_cast<unsigned>(c));
  } else if (c < 0x10000) {
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(c));
  } else {
    std::snprintf(text, sizeof text, "\\U%08x", static_cast<unsigned>(c));
  }
  out += text;
}

// The code points of UTF-16 text; an unpaired surrogate stays as it is.
std::u32string Decode(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else {
      out += unit;
    }
  }
  return out;
}

// The code points of UTF-8 text; every byte that does not belong to a
// well-formed character becomes kBadByte + the byte.
std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = bytes[i];
    int extra = 0;
    char32_t c = lead;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07, least = 0x10000;
    } else if (lead >= 0x80) {
      out += kBadByte + lead;
      ++i;
      continue;
    }
    bool valid = true;
    for (std::size_t k = 1; valid && k <= static_cast<std::size_t>(extra); ++k) {
      valid = i + k < text.size() && (bytes[i + k] & 0xC0) == 0x80;
      if (valid) c = (c << 6) | (bytes[i + k] & 0x3F);
    }
    if (valid && (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
    if (!valid) {
      out += kBadByte + lead;
      ++i;
      continue;
    }
    out += c;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Show(const std::u32string& text, bool name) {
  const bool escapes = name || std::any_of(text.begin(), text.end(), [&](char32_t c) { return IsEscaped(c, name); });
  std::string out;
  out.reserve(text.size() + 2);
  for (char32_t c : text) {
    if (IsEscaped(c, name)) {
      AppendEscape(out, c);
    } else if (c == '\\' && escapes) {
      out += "\\\\";
    } else if (c == '"' && name) {
      out += "\"\"";
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace

std::string VisibleText(std::u16string_view text) { return Show(Decode(text), false); }

std::string VisibleText(std::string_view utf8) {
  // The common case, plain printable ASCII, is returned as it is.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return std::string(utf8);
  return Show(Decode(utf8), false);
}

std::string TerminalText(std::string_view utf8, std::size_t* escaped) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t count = 0;
  for (char32_t c : Decode(utf8)) {
    if (c != '\n' && c != '\t' && IsEscaped(c, false)) {
      AppendEscape(out, c);
      ++count;
    } else {
      AppendUtf8(out, c);
    }
  }
  if (escaped != nullptr) *escaped += count;
  return out;
}

std::string QuotedVisibleName(std::u16string_view name) { return "\"" + Show(Decode(name), true) + "\""; }

bool NeedsEscapes(std::u16string_view name) {
  const std::u32string text = Decode(name);
  return std::any_of(text.begin(), text.end(), [](char32_t c) { return IsEscaped(c, true); });
}

std::string VisibleName(std::u16string_view name) {
  const bool plain = !name.empty() && !(name[0] >= u'0' && name[0] <= u'9') &&
                     std::all_of(name.begin(), name.end(),
                                 [](char16_t c) {
                                   return c >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                                          (c >= u'0' && c <= u'9') || c == u'_';
                                 }) &&
                     !NeedsEscapes(name);
  return plain ? platform::Utf16ToUtf8(name) : QuotedVisibleName(name);
}

}  // namespace writers

#include <platform/Utf.h>

namespace platform {

namespace {
constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((b & 0xE0) == 0xC0) { extra = 1; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { extra = 3; cp = b & 0x07; min = 0x10000; }
    else { out.push_back(kReplacement); ++i; continue; }
    std::size_t j = i + 1;
    int got = 0;
    while (got < extra && j < n && (p[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (p[j] & 0x3F);
      ++j;
      ++got;
    }
    if (got < extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // One replacement for the lead byte and the continuation bytes read.
      out.push_back(kReplacement);
      i = j;  // j > i: at least the lead byte was consumed
      continue;
    }
    AppendCodePoint(out, cp);
    i = j;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  AppendUtf16AsUtf8(out, in);
  return out;
}

void AppendUtf16AsUtf8(std::string& out, std::u16string_view in) {
  // Catalogue names are mostly ASCII: copied in one go.
  std::size_t i = 0;
  const std::size_t n = in.size();
  while (i < n && in[i] < 0x80) ++i;
  const std::size_t old = out.size();
  out.resize(old + i);
  for (std::size_t k = 0; k < i; ++k) out[old + k] = static_cast<char>(in[k]);
  if (i == n) return;
  out.reserve(out.size() + (n - i) * 3);
  for (; i < n; ++i) {
    char32_t cp = in[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    char bytes[4];
    std::size_t count = 0;
    if (cp < 0x800) {
      bytes[count++] = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      bytes[count++] = static_cast<char>(0xE0 | (cp >> 12));
      bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      bytes[count++] = static_cast<char>(0xF0 | (cp >> 18));
      bytes[count++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      bytes[count++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    bytes[count++] = static_cast<char>(0x80 | (cp & 0x3F));
    out.append(bytes, count);
  }
}

}  // namespace platform

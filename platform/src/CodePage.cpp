#include <platform/CodePage.h>
#include <platform/Utf.h>

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <string>

// The platform's own Windows names, privately (Types.h says why they live in a namespace).
using namespace platform::win;

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsUtf8Codeset(const char* codeset) {
  // The C/POSIX locale reports ASCII; treat it as UTF-8 so that catalogue
  // text is not mangled when a host forgot to set a locale.
  return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0 ||
         std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0 ||
         std::strcmp(codeset, "US-ASCII") == 0;
}

// Decodes through iconv; an invalid or truncated byte becomes one U+FFFD
// and decoding resumes after it. Returns false when iconv does not know the
// codeset.
bool AppendThroughIconv(const char* codeset, std::string_view bytes, std::u16string& out, bool& sawInvalid) {
  iconv_t cd = iconv_open("UTF-16LE", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const std::size_t produced = sizeof buffer - outLeft;
    for (std::size_t i = 0; i + 1 < produced; i += 2)
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[i]) |
                                          (static_cast<unsigned char>(buffer[i + 1]) << 8)));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one byte.
      sawInvalid = true;
      out.push_back(kReplacement);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return true;
}

bool ContainsReplacementFromInvalid(std::string_view bytes, const std::u16string& decoded) {
  // A literal U+FFFD in valid UTF-8 is EF BF BD; count those to tell them
  // apart from replacements we made.
  std::size_t literal = 0;
  for (std::size_t pos = bytes.find("\xEF\xBF\xBD"); pos != std::string_view::npos;
       pos = bytes.find("\xEF\xBF\xBD", pos + 3))
    ++literal;
  std::size_t seen = 0;
  for (char16_t c : decoded)
    if (c == kReplacement) ++seen;
  return seen != literal;
}

}  // namespace

namespace platform {

std::string ThreadCodeset() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset ? codeset : "";
}

bool ThreadCodePageKeepsAscii() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset == nullptr || IsUtf8Codeset(codeset) || std::strncmp(codeset, "ISO-8859", 8) == 0;
}

static bool AppendDecoded(UINT codePage, std::string_view bytes, std::u16string& out, bool& sawInvalid) {
  if (codePage == CP_UTF8) {
    std::u16string decoded = Utf8ToUtf16(bytes);
    sawInvalid = ContainsReplacementFromInvalid(bytes, decoded);
    out += decoded;
    return true;
  }
  if (codePage != CP_ACP && codePage != CP_THREAD_ACP) return false;
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || IsUtf8Codeset(codeset)) {
    std::u16string decoded = Utf8ToUtf16(bytes);
    sawInvalid = ContainsReplacementFromInvalid(bytes, decoded);
    out += decoded;
    return true;
  }
  return AppendThroughIconv(codeset, bytes, out, sawInvalid);
}

void AppendMultiByteAsUtf16(UINT codePage, std::string_view bytes, std::u16string& out) {
  bool sawInvalid = false;
  if (!AppendDecoded(codePage, bytes, out, sawInvalid)) {
    // Unknown code page: keep the text readable rather than losing it.
    out += Utf8ToUtf16(bytes);
  }
}

}  // namespace platform

int platform::win::MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int cbMultiByte, char16_t* dst,
                                        int cchWideChar) {
  if (src == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && dst == nullptr))
    return 0;
  const std::size_t length = cbMultiByte == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(cbMultiByte);
  // Fast path: pure ASCII into a buffer that is large enough, the common
  // case for catalogue text, decoded without any allocation.
  if (static_cast<std::size_t>(cchWideChar) >= length && (codePage == CP_UTF8 || codePage == CP_ACP ||
                                                          codePage == CP_THREAD_ACP)) {
    std::size_t i = 0;
    while (i < length && static_cast<unsigned char>(src[i]) < 0x80) {
      dst[i] = static_cast<char16_t>(src[i]);
      ++i;
    }
    if (i == length && (codePage == CP_UTF8 || platform::ThreadCodePageKeepsAscii())) return static_cast<int>(length);
  }
  std::u16string decoded;
  bool sawInvalid = false;
  if (!platform::AppendDecoded(codePage, std::string_view(src, length), decoded, sawInvalid)) return 0;
  if (sawInvalid && (flags & MB_ERR_INVALID_CHARS) != 0) return 0;
  if (cchWideChar == 0) return static_cast<int>(decoded.size());
  if (decoded.size() > static_cast<std::size_t>(cchWideChar)) return 0;
  std::memcpy(dst, decoded.data(), decoded.size() * sizeof(char16_t));
  return static_cast<int>(decoded.size());
}

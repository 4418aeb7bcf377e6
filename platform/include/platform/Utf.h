// The one pair of converters between the system's UTF-16 text and UTF-8,
// used only at the edges: command line, files, terminal, JSON.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Decodes UTF-8. Malformed or truncated sequences, overlong forms and encoded
// surrogates each become one U+FFFD, so the result is always valid UTF-16.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// The same, appended to out: for writers that build one large text.
void AppendUtf16AsUtf8(std::string& out, std::u16string_view utf16);

}  // namespace platform

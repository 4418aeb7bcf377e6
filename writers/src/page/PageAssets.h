// The documentation page's script and style sheet (page.js, page.css),
// built into the library, with the SHA-256 of each as the page's
// Content-Security-Policy lists it ("sha256-<base64>").
#pragma once

#include <string_view>

namespace writers {

extern const std::string_view kPageScript;
extern const std::string_view kPageScriptHash;
extern const std::string_view kPageStyle;
extern const std::string_view kPageStyleHash;

}  // namespace writers

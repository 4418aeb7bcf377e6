// AfxMessageBox: the one modal message the module shows. The host decides
// how it appears by installing a handler; without one the text goes to
// standard error as UTF-8 and the answer is IDOK, so a headless run never
// blocks.
#pragma once

#include <platform/Types.h>

#include <functional>

constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;

int AfxMessageBox(const char16_t* text, UINT type = MB_OK);

namespace platform {

using MessageBoxHandler = std::function<int(const char16_t* text, UINT type)>;

// Installs the handler for the whole process and returns the previous one;
// an empty handler restores the default. Handlers run on the thread that
// calls AfxMessageBox; installing is thread-safe.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform

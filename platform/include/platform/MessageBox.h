// AfxMessageBox: the one modal message the module shows. The host decides
// how it appears by installing a handler; without one the text goes to
// standard error as UTF-8 and the answer is IDOK, so a headless run never
// blocks.
#pragma once

#include <platform/Types.h>

#include <functional>

namespace platform::win {

#ifndef MB_OK
inline constexpr UINT MB_OK = 0x00000000;
#endif
#ifndef IDOK
inline constexpr int IDOK = 1;
#endif

int AfxMessageBox(const char16_t* text, UINT type = 0);  // 0: MB_OK

}  // namespace platform::win

namespace platform {

using MessageBoxHandler = std::function<int(const char16_t* text, win::UINT type)>;

// Installs the handler for the whole process and returns the previous one;
// an empty handler restores the default. Handlers run on the thread that
// calls AfxMessageBox; installing is thread-safe.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform

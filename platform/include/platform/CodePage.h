// Narrow-to-UTF-16 conversion by code page, as the host platform offers it.
#pragma once

#include <platform/Types.h>

#include <string>
#include <string_view>

namespace platform::win {

#ifndef CP_ACP
inline constexpr UINT CP_ACP = 0;
#endif
#ifndef CP_THREAD_ACP
inline constexpr UINT CP_THREAD_ACP = 3;
#endif
#ifndef CP_UTF8
inline constexpr UINT CP_UTF8 = 65001;
#endif
#ifndef MB_ERR_INVALID_CHARS
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;
#endif

// Converts cbMultiByte bytes of src (or, with -1, up to and including its
// NUL) to UTF-16 in dst. With cchWideChar 0 only the needed length is
// returned. Returns the number of code units written (or needed), 0 on
// failure: too small a buffer, a bad argument, or, with MB_ERR_INVALID_CHARS,
// invalid input. Without that flag invalid bytes become U+FFFD.
//
// CP_ACP and CP_THREAD_ACP both mean the calling thread's locale codeset
// (nl_langinfo(CODESET), so a per-thread locale set with uselocale counts);
// the "C"/"POSIX" locale counts as UTF-8. Other codesets go through iconv.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int cbMultiByte, char16_t* dst,
                        int cchWideChar);

}  // namespace platform::win

namespace platform {

// The same conversion for a whole byte string, without the NUL terminator
// handling; invalid bytes become U+FFFD. Appends to out.
void AppendMultiByteAsUtf16(win::UINT codePage, std::string_view bytes, std::u16string& out);

// The codeset name CP_THREAD_ACP resolves to on the calling thread.
std::string ThreadCodeset();
// Whether CP_THREAD_ACP on the calling thread decodes every byte below 0x80
// to the same code unit (UTF-8, the C locale's ASCII, ISO-8859-*): then
// MultiByteToWideChar gives such text back unit for unit, and a caller
// converting many short texts may widen them itself.
bool ThreadCodePageKeepsAscii();

}  // namespace platform

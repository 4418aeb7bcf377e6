// Windows scalar types and constants that the module's code is written
// against. Only what the module and its hosts use is defined.
//
// They live in namespace platform::win: a plug-in or a host sees them only
// when it asks (`using namespace platform::win;`, as the module's own
// sources do), and they never clash with what unixODBC's <sql.h> or a
// windows.h-style header puts in the global namespace. A name that such a
// header defines as a macro (BOOL in <sqltypes.h>; TRUE, FALSE and the
// constants of the other headers here in windows.h) is declared only where
// no macro of that name exists, the macro then standing for the same value;
// so the exported headers never write such a name qualified (BOOL is
// spelled int there).
#pragma once

#include <cstdint>

namespace platform::win {

using UINT = unsigned int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using VARTYPE = unsigned short;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

#ifndef BOOL
using BOOL = int;
#endif
#ifndef TRUE
inline constexpr int TRUE = 1;
#endif
#ifndef FALSE
inline constexpr int FALSE = 0;
#endif

}  // namespace platform::win

// Shows a CString as its UTF-8 text in GoogleTest failure messages.
#pragma once

#include <platform/CString.h>

#include <ostream>

inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.ToUtf8() << '"'; }

// Included right after one exported header: the header has left the
// platform's Windows stand-ins out of the global namespace, as names and as
// macros. Each name is claimed here for something else, which a stand-in
// declared in the global namespace clashes with, and which a macro of that
// name turns into something that does not compile.
#pragma once

namespace plugin_own { struct Name {}; }
#define QM_CLAIM(name) using name = plugin_own::Name;
QM_CLAIM(BOOL) QM_CLAIM(TRUE) QM_CLAIM(FALSE) QM_CLAIM(UINT) QM_CLAIM(DWORD) QM_CLAIM(LONG) QM_CLAIM(VARTYPE)
QM_CLAIM(WPARAM) QM_CLAIM(LPARAM) QM_CLAIM(LRESULT) QM_CLAIM(INT_PTR) QM_CLAIM(HWND) QM_CLAIM(HWND__) QM_CLAIM(MSG)
QM_CLAIM(WM_USER) QM_CLAIM(PostMessageW) QM_CLAIM(GetDesktopWindow) QM_CLAIM(Sleep) QM_CLAIM(BSTR)
QM_CLAIM(VT_EMPTY) QM_CLAIM(VT_I4) QM_CLAIM(VT_BSTR) QM_CLAIM(SysAllocStringLen) QM_CLAIM(SysAllocString) QM_CLAIM(SysReAllocStringLen)
QM_CLAIM(SysFreeString) QM_CLAIM(SysStringLen) QM_CLAIM(MB_OK) QM_CLAIM(IDOK) QM_CLAIM(AfxMessageBox)
QM_CLAIM(CP_ACP) QM_CLAIM(CP_THREAD_ACP) QM_CLAIM(CP_UTF8) QM_CLAIM(MB_ERR_INVALID_CHARS) QM_CLAIM(MultiByteToWideChar)
#undef QM_CLAIM

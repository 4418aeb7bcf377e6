// What a plug-in may have in its global namespace beside the SDK: the names
// a windows.h-style header declares, with the types and values of 64-bit
// Windows; BOOL, HWND, UINT and DWORD come from unixODBC's <sqltypes.h>,
// included with this file. Where a type differs from the platform's
// stand-in, a stand-in left in the global namespace clashes here.
#pragma once

#define TRUE 1
#define FALSE 0
#define WM_USER 0x0400
#define MB_OK 0x00000000L
#define IDOK 1
#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

typedef long LONG;
typedef unsigned long long WPARAM;
typedef long long LPARAM, LRESULT, INT_PTR;
typedef unsigned short VARTYPE;
typedef wchar_t* BSTR;
enum VARENUM { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8 };
typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
} MSG;
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDesktopWindow();
BSTR SysAllocString(const wchar_t* text);
UINT SysStringLen(BSTR text);
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLength, wchar_t* dst, int dstLength);

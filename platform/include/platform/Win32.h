// Window handles, posted messages and the few kernel services the module
// calls. A "window" here is a message queue that the host creates and drains
// on its own thread; PostMessageW appends to it from any thread.
//
// Thread safety: every function here may be called from any thread.
#pragma once

#include <platform/Types.h>

#include <chrono>
#include <optional>

namespace platform::win {

struct HWND__;
using HWND = HWND__*;  // opaque; null means no window

#ifndef WM_USER
inline constexpr UINT WM_USER = 0x0400;
#endif

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Appends the message to the window's queue and returns TRUE. A null or
// unknown handle (including a destroyed window and the desktop window):
// the message goes nowhere and FALSE is returned.
int PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);  // BOOL

// A handle that stands for the desktop: valid as a dialog parent, never a
// message queue.
HWND GetDesktopWindow();

// Suspends the calling thread for the given number of milliseconds.
void Sleep(DWORD milliseconds);

}  // namespace platform::win

namespace platform {

// Creates a message window owned by the host. Handles are never reused.
win::HWND CreateMessageWindow();

// Destroys the window; messages still queued are dropped and later posts go
// nowhere. Unknown handles are ignored.
void DestroyMessageWindow(win::HWND window);

// Takes the oldest message of the window, waiting up to the timeout for one
// to arrive. Empty when the timeout passes, when the handle is unknown, or
// as soon as the window is destroyed while waiting.
std::optional<win::MSG> WaitMessage(win::HWND window, std::chrono::milliseconds timeout);

// Takes the oldest message without waiting.
std::optional<win::MSG> PeekMessage(win::HWND window);

}  // namespace platform

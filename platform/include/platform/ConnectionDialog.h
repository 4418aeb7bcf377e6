// The connection dialog. The driver manager here has no dialog of its own,
// so the host may install one: given the connection string, it lets the user
// complete it and either accepts (the string holds the completed text) or
// cancels. Without a hook, the string is used as given.
#pragma once

#include <platform/CString.h>
#include <platform/Win32.h>

#include <functional>

namespace platform {

enum class ConnectionDialogResult {
  NoDialog,   // no hook installed: use the string as given
  Accepted,   // the hook completed the string
  Cancelled,  // the user cancelled: do not connect
};

// Returns true to accept (connectionString then holds what to connect
// with), false to cancel.
using ConnectionDialogHook = std::function<bool(HWND parent, CString& connectionString)>;

// Installs the hook for the whole process and returns the previous one; an
// empty hook removes it. Thread-safe.
ConnectionDialogHook SetConnectionDialogHook(ConnectionDialogHook hook);

// Runs the installed hook, if any, on the calling thread. On Cancelled the
// string is left as it was.
ConnectionDialogResult ShowConnectionDialog(HWND parent, CString& connectionString);

}  // namespace platform

// The connection dialog. The driver manager here has no dialog of its own,
// so the host may install one: given the connection string, it lets the user
// complete it and either accepts (the string holds the completed text) or
// cancels. Without a hook, the string is used as given.
#pragma once

#include <platform/CString.h>
#include <platform/Win32.h>

#include <functional>
#include <string>

namespace platform {

enum class ConnectionDialogResult {
  NoDialog,   // no hook installed: use the string as given
  Accepted,   // the hook completed the string
  Cancelled,  // the user cancelled: do not connect
};

// Returns true to accept (connectionString then holds what to connect
// with), false to cancel.
using ConnectionDialogHook = std::function<bool(win::HWND parent, CString& connectionString)>;

// Installs the hook for the whole process and returns the previous one; an
// empty hook removes it. Thread-safe.
ConnectionDialogHook SetConnectionDialogHook(ConnectionDialogHook hook);

// Runs the installed hook, if any, on the calling thread. On Cancelled the
// string is left as it was.
ConnectionDialogResult ShowConnectionDialog(win::HWND parent, CString& connectionString);

// The password question. A plug-in whose server asks for a password that
// the connection string does not hold asks the host for it here, as psql
// asks on its terminal; the host answers it, or says it cannot ask.
enum class PasswordPromptResult {
  NoPrompt,   // no hook, or the host has nowhere to ask (no terminal): fail with what to do instead
  Given,      // the user typed a password (it may be empty)
  Cancelled,  // the user cancelled: do not connect
};

// Asks question (e.g. u"Password for user me: ") and puts the answer in
// password. Runs on the import's thread.
using PasswordPromptHook = std::function<PasswordPromptResult(const std::u16string& question, std::u16string& password)>;

// Installs the hook for the whole process and returns the previous one; an
// empty hook removes it. Thread-safe.
PasswordPromptHook SetPasswordPromptHook(PasswordPromptHook hook);

// Runs the installed hook, if any, on the calling thread; NoPrompt without
// one. password is changed only when the result is Given.
PasswordPromptResult AskForPassword(const std::u16string& question, std::u16string& password);

}  // namespace platform

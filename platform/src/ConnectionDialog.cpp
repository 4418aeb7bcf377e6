#include <platform/ConnectionDialog.h>

#include <mutex>

namespace platform {

namespace {
std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}
ConnectionDialogHook& Hook() {
  static ConnectionDialogHook h;
  return h;
}
PasswordPromptHook& PasswordHook() {
  static PasswordPromptHook h;
  return h;
}
}  // namespace

ConnectionDialogHook SetConnectionDialogHook(ConnectionDialogHook hook) {
  std::lock_guard lock(HookMutex());
  ConnectionDialogHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

ConnectionDialogResult ShowConnectionDialog(win::HWND parent, CString& connectionString) {
  ConnectionDialogHook hook;
  {
    std::lock_guard lock(HookMutex());
    hook = Hook();
  }
  if (!hook) return ConnectionDialogResult::NoDialog;
  // The hook edits a copy, so a cancelled dialog leaves the string as it was.
  CString edited = connectionString;
  if (!hook(parent, edited)) return ConnectionDialogResult::Cancelled;
  connectionString = edited;
  return ConnectionDialogResult::Accepted;
}

PasswordPromptHook SetPasswordPromptHook(PasswordPromptHook hook) {
  std::lock_guard lock(HookMutex());
  PasswordPromptHook previous = std::move(PasswordHook());
  PasswordHook() = std::move(hook);
  return previous;
}

PasswordPromptResult AskForPassword(const std::u16string& question, std::u16string& password) {
  PasswordPromptHook hook;
  {
    std::lock_guard lock(HookMutex());
    hook = PasswordHook();
  }
  if (!hook) return PasswordPromptResult::NoPrompt;
  std::u16string answer;
  const PasswordPromptResult result = hook(question, answer);
  if (result == PasswordPromptResult::Given) password = std::move(answer);
  return result;
}

}  // namespace platform

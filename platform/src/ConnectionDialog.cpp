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
}  // namespace

ConnectionDialogHook SetConnectionDialogHook(ConnectionDialogHook hook) {
  std::lock_guard lock(HookMutex());
  ConnectionDialogHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

ConnectionDialogResult ShowConnectionDialog(HWND parent, CString& connectionString) {
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

}  // namespace platform

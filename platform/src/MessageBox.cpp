#include <platform/MessageBox.h>
#include <platform/Utf.h>

#include <cstdio>
#include <mutex>
#include <string>

// The platform's own Windows names, privately (Types.h says why they live in a namespace).
using namespace platform::win;

namespace {
std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
platform::MessageBoxHandler& Handler() {
  static platform::MessageBoxHandler h;
  return h;
}
}  // namespace

int platform::win::AfxMessageBox(const char16_t* text, UINT type) {
  platform::MessageBoxHandler handler;
  {
    std::lock_guard lock(HandlerMutex());
    handler = Handler();
  }
  if (handler) return handler(text ? text : u"", type);
  const std::string utf8 = platform::Utf16ToUtf8(text ? text : u"");
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::fflush(stderr);
  return IDOK;
}

namespace platform {
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard lock(HandlerMutex());
  MessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}
}  // namespace platform

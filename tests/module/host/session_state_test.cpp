// SchemaImportSessionState, used as the host uses it: through
// ISchemaImportSessionState.
#include <schemaimport/SchemaImportSessionState.h>

#include <platform/Win32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

// The host sets the window from its own thread while the import reads it
// on another (run under ThreadSanitizer: no race may be reported). Every
// value read must be one that was written, never a torn one.
TEST(SessionStateThreadsTest, WindowSetOnOneThreadIsReadOnAnother) {
  SchemaImportSessionState state;
  ISchemaImportSessionState& session = state;
  HWND first = platform::CreateMessageWindow();
  HWND second = platform::CreateMessageWindow();
  constexpr int kWrites = 20000;
  std::atomic<bool> writerDone{false};
  std::atomic<int> torn{0};

  std::thread reader([&] {
    bool done = false;
    while (!done) {
      done = writerDone.load();
      const HWND seen = session.GetNotifyWindow();
      if (seen != nullptr && seen != first && seen != second) ++torn;
      const int status = session.GetStatus();
      if (status < 0 || status > 2) ++torn;
      (void)session.IsFlagRaised();
    }
  });
  std::thread host([&] {
    for (int i = 0; i < kWrites; ++i) {
      session.SetNotifyWindow(i % 2 == 0 ? first : second);
      session.SetStatus(i % 3);
      if (i == kWrites / 2) session.RaiseFlag();
    }
    session.SetNotifyWindow(second);
    writerDone.store(true);
  });
  host.join();
  reader.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(session.GetNotifyWindow(), second);
  EXPECT_TRUE(session.IsFlagRaised());
  platform::DestroyMessageWindow(first);
  platform::DestroyMessageWindow(second);
}

}  // namespace

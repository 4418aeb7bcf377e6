// SchemaImportSessionState, used as the host uses it: through
// ISchemaImportSessionState.
#include <schemaimport/SchemaImportSessionState.h>

#include <platform/Win32.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

TEST(SessionStateTest, ResetClearsEveryField) {
  SchemaImportSessionState state;
  ISchemaImportSessionState& session = state;
  GenericModel model;
  HWND window = platform::CreateMessageWindow();
  session.SetModel(&model);
  session.SetNotifyWindow(window);
  session.SetStatus(2);
  session.RaiseFlag();
  std::vector<int> source{3, 1, 2};
  session.SetIntegerList(source);
  source.push_back(7);  // the session holds a copy
  std::vector<int> list{9, 9, 9, 9};
  session.GetIntegerList(list);
  EXPECT_EQ(list, (std::vector<int>{3, 1, 2}));
  EXPECT_TRUE(session.IsFlagRaised());

  session.Reset();

  EXPECT_EQ(session.GetModel(), nullptr);
  EXPECT_EQ(session.GetNotifyWindow(), nullptr);
  EXPECT_EQ(session.GetStatus(), 0);
  EXPECT_FALSE(session.IsFlagRaised());
  session.GetIntegerList(list);
  EXPECT_TRUE(list.empty());
  platform::DestroyMessageWindow(window);
}

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
  std::atomic<long> reads{0};

  std::thread reader([&] {
    bool done = false;
    while (!done) {
      done = writerDone.load();
      const HWND seen = session.GetNotifyWindow();
      if (seen != nullptr && seen != first && seen != second) ++torn;
      const int status = session.GetStatus();
      if (status < 0 || status > 2) ++torn;
      (void)session.IsFlagRaised();
      ++reads;
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
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(session.GetNotifyWindow(), second);
  EXPECT_TRUE(session.IsFlagRaised());
  platform::DestroyMessageWindow(first);
  platform::DestroyMessageWindow(second);
}

}  // namespace

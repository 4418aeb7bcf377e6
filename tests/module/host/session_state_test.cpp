// SchemaImportSessionState, used as the host uses it: through
// ISchemaImportSessionState.
#include <schemaimport/SchemaImportSessionState.h>

#include <platform/Win32.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class SessionStateTest : public ::testing::Test {
 protected:
  std::unique_ptr<ISchemaImportSessionState> m_owned = std::make_unique<SchemaImportSessionState>();
  ISchemaImportSessionState& session = *m_owned;
};

TEST_F(SessionStateTest, FreshSessionHoldsNothing) {
  EXPECT_EQ(session.GetModel(), nullptr);
  EXPECT_EQ(session.GetNotifyWindow(), nullptr);
  EXPECT_EQ(session.GetStatus(), 0);
  EXPECT_FALSE(session.IsFlagRaised());
  std::vector<int> list{1, 2};
  session.GetIntegerList(list);
  EXPECT_TRUE(list.empty());
}

TEST_F(SessionStateTest, ResetClearsEveryField) {
  GenericModel model;
  HWND window = platform::CreateMessageWindow();
  session.SetModel(&model);
  session.SetNotifyWindow(window);
  session.SetStatus(2);
  session.RaiseFlag();
  session.RaiseFlag();
  session.SetIntegerList({4, 5, 6});
  EXPECT_EQ(session.GetModel(), &model);
  EXPECT_EQ(session.GetNotifyWindow(), window);
  EXPECT_EQ(session.GetStatus(), 2);
  EXPECT_TRUE(session.IsFlagRaised());

  session.Reset();

  EXPECT_EQ(session.GetModel(), nullptr);
  EXPECT_EQ(session.GetNotifyWindow(), nullptr);
  EXPECT_EQ(session.GetStatus(), 0);
  EXPECT_FALSE(session.IsFlagRaised());
  std::vector<int> list{9};
  session.GetIntegerList(list);
  EXPECT_TRUE(list.empty());
  platform::DestroyMessageWindow(window);
}

TEST_F(SessionStateTest, IntegerListIsCopiedWhole) {
  std::vector<int> source{3, 1, 2};
  session.SetIntegerList(source);
  source.push_back(7);  // the session holds a copy

  std::vector<int> target{9, 9, 9, 9, 9};
  session.GetIntegerList(target);
  EXPECT_EQ(target, (std::vector<int>{3, 1, 2}));

  target.clear();  // and so does the caller
  std::vector<int> again;
  session.GetIntegerList(again);
  EXPECT_EQ(again, (std::vector<int>{3, 1, 2}));
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

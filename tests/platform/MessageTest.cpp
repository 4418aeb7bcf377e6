// Posted messages between threads, and the message-box handlers.
#include <platform/MessageBox.h>
#include <platform/Win32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

using namespace std::chrono_literals;

// Creates a window and destroys it at scope exit.
class Window {
 public:
  Window() : m_hwnd(platform::CreateMessageWindow()) {}
  ~Window() { platform::DestroyMessageWindow(m_hwnd); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  HWND get() const { return m_hwnd; }

 private:
  HWND m_hwnd;  // owned
};

TEST(MessageQueue, EachThreadsPostsArriveWholeAndInOrder) {
  Window window;
  constexpr int kPerThread = 5000;
  auto post = [hwnd = window.get()](WPARAM sender) {
    Sleep(20);  // let the receiver start waiting first
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(PostMessageW(hwnd, WM_USER + 1, sender, -i), TRUE);
  };
  std::thread first(post, 1);
  std::thread second(post, 2);
  LPARAM next[3] = {0, 0, 0};
  for (int received = 0; received < 2 * kPerThread; ++received) {
    const auto msg = platform::WaitMessage(window.get(), 30s);
    ASSERT_TRUE(msg.has_value()) << "after " << received << " messages";
    ASSERT_EQ(msg->hwnd, window.get());
    ASSERT_EQ(msg->message, WM_USER + 1);
    ASSERT_TRUE(msg->wParam == 1 || msg->wParam == 2);
    ASSERT_EQ(msg->lParam, next[msg->wParam]) << "sender " << msg->wParam;
    --next[msg->wParam];
  }
  first.join();
  second.join();
  EXPECT_FALSE(platform::PeekMessage(window.get()).has_value());
  EXPECT_FALSE(platform::WaitMessage(window.get(), 10ms).has_value());
}

TEST(MessageQueue, PostsToNoQueueFailAndGoNowhere) {
  const HWND destroyed = platform::CreateMessageWindow();
  ASSERT_EQ(PostMessageW(destroyed, WM_USER, 0, 0), TRUE);
  platform::DestroyMessageWindow(destroyed);
  EXPECT_EQ(PostMessageW(destroyed, WM_USER, 0, 0), FALSE);
  EXPECT_FALSE(platform::PeekMessage(destroyed).has_value());
  EXPECT_EQ(PostMessageW(nullptr, WM_USER, 0, 0), FALSE);
  EXPECT_EQ(PostMessageW(GetDesktopWindow(), WM_USER, 0, 0), FALSE);
  EXPECT_EQ(PostMessageW(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xDEAD0)), WM_USER, 0, 0), FALSE);
  // A new window never gets an old handle, so nothing stale reaches it.
  Window fresh;
  EXPECT_NE(fresh.get(), destroyed);
  EXPECT_FALSE(platform::PeekMessage(fresh.get()).has_value());
}

// A thread still waiting when the window goes away must be released, not
// left sleeping out a long timeout on a queue no one can post to any more.
TEST(MessageQueue, DestroyReleasesAWaitingThread) {
  const HWND hwnd = platform::CreateMessageWindow();
  auto outcome = std::make_shared<std::promise<std::optional<MSG>>>();
  auto result = outcome->get_future();
  std::thread waiter([outcome, hwnd] { outcome->set_value(platform::WaitMessage(hwnd, 1h)); });
  Sleep(50);  // let it block inside WaitMessage
  platform::DestroyMessageWindow(hwnd);
  if (result.wait_for(60s) != std::future_status::ready) {
    waiter.detach();  // it would hold the test for an hour
    FAIL() << "WaitMessage still blocked after its window was destroyed";
  }
  waiter.join();
  EXPECT_FALSE(result.get().has_value());
}

// Restores the default message box however the test ends.
class MessageBoxTest : public testing::Test {
 protected:
  void TearDown() override { platform::SetMessageBoxHandler({}); }
};

TEST_F(MessageBoxTest, InstalledHandlerDecidesTheAnswerFromAnyThread) {
  std::u16string seen = u"none";
  EXPECT_FALSE(platform::SetMessageBoxHandler([&](const char16_t* text, UINT type) {
    seen = text;
    return static_cast<int>(type);
  })) << "no handler before the first install";
  EXPECT_EQ(AfxMessageBox(nullptr, 0x30), 0x30);
  EXPECT_EQ(seen, u"");
  int fromThread = 0;
  std::thread([&] { fromThread = AfxMessageBox(u"from a worker", 7); }).join();
  EXPECT_EQ(fromThread, 7);
  EXPECT_EQ(seen, u"from a worker");
}

TEST_F(MessageBoxTest, DefaultWritesUtf8ToStandardErrorAndAnswersOk) {
  testing::internal::CaptureStderr();
  const int answer = AfxMessageBox(u"Schema \u00AB\u00E9t\u00E9\u00BB \U0001F600 lost");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Schema \xC2\xAB\xC3\xA9t\xC3\xA9\xC2\xBB \xF0\x9F\x98\x80 lost\n");
  EXPECT_EQ(answer, IDOK);
}

}  // namespace

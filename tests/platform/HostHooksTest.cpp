// The message-box handler the host installs, and the default one. (The
// connection-dialog hook is the connector tests' to check, with a driver.)
#include <platform/MessageBox.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

// Restores the default message box however the test ends.
class MessageBoxTest : public testing::Test {
 protected:
  void TearDown() override { platform::SetMessageBoxHandler({}); }
};

TEST_F(MessageBoxTest, InstalledHandlerDecidesTheAnswerFromAnyThread) {
  std::u16string seenText;
  UINT seenType = 99;
  const auto previous = platform::SetMessageBoxHandler([&](const char16_t* text, UINT type) {
    seenText = text;
    seenType = type;
    return 7;
  });
  EXPECT_FALSE(previous) << "no handler before the first install";
  EXPECT_EQ(AfxMessageBox(nullptr, 0x30), 7);
  EXPECT_EQ(seenText, u"");
  EXPECT_EQ(seenType, 0x30u);
  // Installing returns the handler it replaces, which still works.
  auto replaced = platform::SetMessageBoxHandler([](const char16_t*, UINT) { return 2; });
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced(u"direct", MB_OK), 7);
  int fromThread = 0;
  std::thread([&] { fromThread = AfxMessageBox(u"from a worker"); }).join();
  EXPECT_EQ(fromThread, 2);
}

TEST_F(MessageBoxTest, DefaultWritesUtf8ToStandardErrorAndAnswersOk) {
  testing::internal::CaptureStderr();
  const int answer = AfxMessageBox(u"Schema \u00AB\u00E9t\u00E9\u00BB \U0001F600 lost");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Schema \xC2\xAB\xC3\xA9t\xC3\xA9\xC2\xBB \xF0\x9F\x98\x80 lost\n");
  EXPECT_EQ(answer, IDOK);
}

}  // namespace

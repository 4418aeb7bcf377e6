// The message-box handler and the connection-dialog hook the host installs.
#include "PrintCString.h"

#include <platform/ConnectionDialog.h>
#include <platform/MessageBox.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// Restores the default message box however the test ends.
class MessageBoxTest : public testing::Test {
 protected:
  void TearDown() override { platform::SetMessageBoxHandler({}); }
};

TEST_F(MessageBoxTest, InstalledHandlerGetsTheTextAndDecidesTheAnswer) {
  std::u16string seenText;
  UINT seenType = 99;
  const auto previous = platform::SetMessageBoxHandler([&](const char16_t* text, UINT type) {
    seenText = text;
    seenType = type;
    return 7;
  });
  EXPECT_FALSE(previous) << "no handler before the first install";
  EXPECT_EQ(AfxMessageBox(u"Import failed: \U0001F600"), 7);
  EXPECT_EQ(seenText, u"Import failed: \U0001F600");
  EXPECT_EQ(seenType, MB_OK);
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
  platform::SetMessageBoxHandler([](const char16_t*, UINT) { return 2; });
  platform::SetMessageBoxHandler({});
  testing::internal::CaptureStderr();
  const int answer = AfxMessageBox(u"Schema \u00AB\u00E9t\u00E9\u00BB \U0001F600 lost");
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(written, "Schema \xC2\xAB\xC3\xA9t\xC3\xA9\xC2\xBB \xF0\x9F\x98\x80 lost\n");
}

class ConnectionDialogTest : public testing::Test {
 protected:
  void TearDown() override { platform::SetConnectionDialogHook({}); }
};

TEST_F(ConnectionDialogTest, WithoutHookTheStringIsUsedAsGiven) {
  CString connection(u"Driver={SQLite3};Database=/tmp/x.db");
  EXPECT_EQ(platform::ShowConnectionDialog(nullptr, connection), platform::ConnectionDialogResult::NoDialog);
  EXPECT_EQ(connection, u"Driver={SQLite3};Database=/tmp/x.db");
}

TEST_F(ConnectionDialogTest, CancelKeepsTheStringAcceptReplacesIt) {
  HWND seenParent = nullptr;
  CString seenString;
  platform::SetConnectionDialogHook([&](HWND parent, CString& text) {
    seenParent = parent;
    seenString = text;
    text = u"half-edited";  // the user typed, then cancelled
    return false;
  });
  CString connection(u"DSN=prod");
  EXPECT_EQ(platform::ShowConnectionDialog(GetDesktopWindow(), connection),
            platform::ConnectionDialogResult::Cancelled);
  EXPECT_EQ(connection, u"DSN=prod");
  EXPECT_EQ(seenParent, GetDesktopWindow());
  EXPECT_EQ(seenString, u"DSN=prod");

  platform::SetConnectionDialogHook([](HWND, CString& text) {
    text += u";Uid=qm";
    return true;
  });
  EXPECT_EQ(platform::ShowConnectionDialog(nullptr, connection), platform::ConnectionDialogResult::Accepted);
  EXPECT_EQ(connection, u"DSN=prod;Uid=qm");

  platform::SetConnectionDialogHook({});
  EXPECT_EQ(platform::ShowConnectionDialog(nullptr, connection), platform::ConnectionDialogResult::NoDialog);
  EXPECT_EQ(connection, u"DSN=prod;Uid=qm");
}

}  // namespace

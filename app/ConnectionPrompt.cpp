#include "ConnectionPrompt.h"

#include "Console.h"
#include "Signals.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>
#include <writers/VisibleText.h>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace app {

using writers::VisibleText;

namespace {

enum class ReadResult { Line, EndOfInput, Interrupted };

// Turns terminal echo off for its lifetime (newlines still echo), and
// registers the old settings to be restored if the process ends at once.
class EchoOff {
 public:
  explicit EchoOff(int fd) : m_fd(fd) {
    if (::isatty(fd) == 0 || ::tcgetattr(fd, &m_saved) != 0) return;
    struct termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    signals::SetTerminalToRestore(fd, &m_saved);
    m_active = ::tcsetattr(fd, TCSANOW, &quiet) == 0;
    if (!m_active) signals::SetTerminalToRestore(-1, nullptr);
  }
  ~EchoOff() {
    if (!m_active) return;
    ::tcsetattr(m_fd, TCSANOW, &m_saved);
    signals::SetTerminalToRestore(-1, nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int m_fd;                 // the terminal
  struct termios m_saved{}; // settings before
  bool m_active = false;    // echo was turned off and must be restored
};

// Reads one line (without its newline). Waits in short steps so that a
// Ctrl-C, which the main thread counts, ends the wait.
ReadResult ReadLine(int fd, std::string& line) {
  line.clear();
  for (;;) {
    if (signals::InterruptCount() > 0) return ReadResult::Interrupted;
    struct pollfd ready {fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, 100);
    if (polled < 0 && errno != EINTR) return ReadResult::EndOfInput;
    if (polled <= 0) continue;
    char c = 0;
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return ReadResult::EndOfInput;
    if (c == '\n') return ReadResult::Line;
    if (c != '\r') line += c;
  }
}

// Keeps the console's live status line off the screen while the form is
// open, so that no redraw erases a question.
class FormOnScreen {
 public:
  explicit FormOnScreen(Console& console) : m_console(console) { m_console.BeginForm(); }
  ~FormOnScreen() { m_console.EndForm(); }
  FormOnScreen(const FormOnScreen&) = delete;
  FormOnScreen& operator=(const FormOnScreen&) = delete;

 private:
  Console& m_console;  // the console the form is written to
};

}  // namespace

ConnectionPrompt::ConnectionPrompt(Console& console, int inputFd) : m_console(console), m_inputFd(inputFd) {}

bool ConnectionPrompt::Complete(CString& connectionString) {
  // Segments without '=' mean nothing to the driver: they are passed on
  // as they are, not asked about.
  std::vector<Utf8ConnectionAttribute> attributes = ParseConnectionString(connectionString.ToUtf8());
  bool hasPassword = false;
  for (const Utf8ConnectionAttribute& attribute : attributes) {
    if (!attribute.assigned || !IsPasswordKey(attribute.key)) continue;
    hasPassword = true;
    m_console.AddSecret(attribute.value);
  }
  if (HasAttribute(attributes, {"UID", "User", "Username"}) && !hasPassword) {
    Utf8ConnectionAttribute password;
    password.key = "PWD";
    attributes.push_back(password);
  }

  const FormOnScreen form(m_console);
  m_console.Raw("Connection (Enter keeps a value, Ctrl-D cancels):\n");
  for (Utf8ConnectionAttribute& attribute : attributes) {
    if (!attribute.assigned) continue;
    const bool secret = IsPasswordKey(attribute.key);
    // Keys and values may come from a file name or a data source: shown
    // with their invisible characters escaped.
    std::string prompt = "  " + VisibleText(attribute.key);
    if (!attribute.value.empty()) prompt += " [" + (secret ? std::string("****") : VisibleText(attribute.value)) + "]";
    prompt += ": ";

    std::string answer;
    ReadResult result;
    if (secret) {
      // Echo goes off before the question shows, or a password typed as
      // soon as it appears would be echoed.
      EchoOff echoOff(m_inputFd);
      m_console.Raw(prompt);
      result = ReadLine(m_inputFd, answer);
    } else {
      m_console.Raw(prompt);
      result = ReadLine(m_inputFd, answer);
    }
    if (result != ReadResult::Line) {
      m_console.Raw("\n");
      m_cancelled.store(true);
      return false;
    }
    // A terminal echoed the line (or its newline, for the password); input
    // from elsewhere did not, so the prompt's line is ended here.
    if (::isatty(m_inputFd) == 0) m_console.Raw("\n");
    if (!answer.empty()) {
      if (secret) m_console.AddSecret(answer);
      attribute.value = answer;
    }
  }
  // A password field left empty is not sent.
  std::erase_if(attributes, [](const Utf8ConnectionAttribute& a) {
    return a.assigned && IsPasswordKey(a.key) && a.value.empty();
  });
  const std::string completed = FormatConnectionString(attributes);
  m_console.Raw("connecting with " + VisibleText(MaskPasswords(completed)) + "\n");
  connectionString = CString::FromUtf8(completed);
  return true;
}

platform::PasswordPromptResult ConnectionPrompt::AskPassword(const std::u16string& question, std::u16string& password) {
  if (::isatty(m_inputFd) == 0) return platform::PasswordPromptResult::NoPrompt;
  const FormOnScreen form(m_console);
  std::string answer;
  ReadResult result;
  {
    // Echo goes off before the question shows: what is typed as soon as
    // it appears is not echoed either.
    EchoOff echoOff(m_inputFd);
    m_console.Raw(VisibleText(platform::Utf16ToUtf8(question)));
    result = ReadLine(m_inputFd, answer);
  }
  if (result != ReadResult::Line) {
    m_console.Raw("\n");
    m_cancelled.store(true);
    return platform::PasswordPromptResult::Cancelled;
  }
  if (!answer.empty()) m_console.AddSecret(answer);
  password = platform::Utf8ToUtf16(answer);
  return platform::PasswordPromptResult::Given;
}

}  // namespace app

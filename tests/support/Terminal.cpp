#include "Terminal.h"

#include "OdbcTestSupport.h"

#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>

namespace qm::test {

namespace {

constexpr int kColumns = 160;
constexpr int kLines = 40;          // what the program is told
constexpr int kScreenLines = 1000;  // what is kept

}  // namespace

TerminalProcess::TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                                 const ProcessOptions& options)
    : m_vterm(vterm_new(kScreenLines, kColumns)) {
  vterm_set_utf8(m_vterm, 1);
  vterm_screen_reset(vterm_obtain_screen(m_vterm), 1);
  ProcessOptions withTerm = options;
  if (withTerm.environment.count("TERM") == 0) withTerm.environment["TERM"] = "xterm";
  ExecImage image(program, args, withTerm);
  struct winsize size {};
  size.ws_col = static_cast<unsigned short>(kColumns);
  size.ws_row = static_cast<unsigned short>(kLines);
  m_pid = ::forkpty(&m_master, nullptr, nullptr, &size);
  if (m_pid == 0) image.Exec();
  if (m_pid < 0) m_master = -1;
}

TerminalProcess::~TerminalProcess() {
  if (m_pid > 0) KillAndReap(m_pid);
  if (m_master >= 0) ::close(m_master);
  vterm_free(m_vterm);
}

void TerminalProcess::Type(const std::string& keys) {
  std::size_t written = 0;
  while (m_master >= 0 && written < keys.size()) {
    const ssize_t put = ::write(m_master, keys.data() + written, keys.size() - written);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    written += static_cast<std::size_t>(put);
  }
}

void TerminalProcess::ReadFor(std::chrono::milliseconds timeout) {
  if (m_master < 0) return;
  struct pollfd ready {m_master, POLLIN, 0};
  if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return;
  char buffer[4096];
  const ssize_t got = ::read(m_master, buffer, sizeof buffer);
  if (got > 0) {
    m_output.append(buffer, static_cast<std::size_t>(got));
    vterm_input_write(m_vterm, buffer, static_cast<std::size_t>(got));
  } else if (got == 0 || errno != EINTR) {
    // EIO: every descriptor of the child's side is closed.
    ::close(m_master);
    m_master = -1;
  }
}

bool TerminalProcess::WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (const std::string& line : Screen()) {
      if (line.find(text) != std::string::npos) return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || m_master < 0) return false;
    ReadFor(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                     std::chrono::milliseconds(50)));
  }
}

void TerminalProcess::Pump(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  for (auto now = std::chrono::steady_clock::now(); now < deadline && m_master >= 0;
       now = std::chrono::steady_clock::now()) {
    ReadFor(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
  }
  if (m_master < 0) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left > std::chrono::milliseconds(0))
      ::usleep(static_cast<useconds_t>(std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
  }
}

int TerminalProcess::Wait(std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (m_master >= 0 && std::chrono::steady_clock::now() < deadline) ReadFor(std::chrono::milliseconds(50));
  const int code = m_pid > 0 ? Reap(m_pid, deadline) : -1;
  m_pid = -1;
  return code;
}

// The lines down to the cursor's or the last written, trailing blanks removed.
std::vector<std::string> TerminalProcess::Screen() const {
  VTermPos cursor;
  vterm_state_get_cursorpos(vterm_obtain_state(m_vterm), &cursor);
  std::vector<std::string> lines;
  for (VTermPos at{0, 0}; at.row < kScreenLines; ++at.row) {
    std::u16string line;
    VTermScreenCell cell;
    for (at.col = 0; at.col < kColumns; ++at.col) {
      vterm_screen_get_cell(vterm_obtain_screen(m_vterm), at, &cell);
      if (cell.chars[0] == 0) line += u' ';  // never written; ~0: the right half of a wide character
      for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0 && cell.chars[i] != ~0u; ++i)
        line += cell.chars[i] < 0x10000 ? std::u16string(1, static_cast<char16_t>(cell.chars[i]))
                                        : std::u16string{static_cast<char16_t>(0xD7C0 + (cell.chars[i] >> 10)),
                                                         static_cast<char16_t>(0xDC00 | (cell.chars[i] & 0x3FF))};
    }
    lines.push_back(Utf8(line.substr(0, line.find_last_not_of(u' ') + 1)));
  }
  while (lines.size() > static_cast<std::size_t>(cursor.row) + 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string TerminalProcess::CursorLine() const {
  VTermPos cursor;
  vterm_state_get_cursorpos(vterm_obtain_state(m_vterm), &cursor);
  return Screen()[static_cast<std::size_t>(cursor.row)];
}

std::string TerminalProcess::Printed() const {
  VTermPos cursor;
  vterm_state_get_cursorpos(vterm_obtain_state(m_vterm), &cursor);
  std::string text = "--- terminal (cursor on line " + std::to_string(cursor.row + 1) + ")\n";
  for (const std::string& line : Screen()) text += line + "\n";
  return text;
}

}  // namespace qm::test

#include "Terminal.h"

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qm::test {

namespace {

constexpr std::size_t kColumns = 160;
constexpr unsigned short kLines = 40;

// Bytes in the UTF-8 character starting with lead (1 for a stray byte).
std::size_t CharacterLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xC0 && lead < 0xE0) return 2;
  return 1;
}

}  // namespace

TerminalProcess::TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                                 const ProcessOptions& options) {
  ProcessOptions withTerm = options;
  if (withTerm.environment.count("TERM") == 0) withTerm.environment["TERM"] = "xterm";
  ExecImage image(program, args, withTerm);
  struct winsize size {};
  size.ws_col = static_cast<unsigned short>(kColumns);
  size.ws_row = kLines;
  m_pid = ::forkpty(&m_master, nullptr, nullptr, &size);
  if (m_pid == 0) image.Exec();
  if (m_pid < 0) m_master = -1;
  m_cells.emplace_back();
}

TerminalProcess::~TerminalProcess() {
  if (m_pid > 0) KillAndReap(m_pid);
  if (m_master >= 0) ::close(m_master);
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
    const std::string bytes(buffer, static_cast<std::size_t>(got));
    m_output += bytes;
    Play(bytes);
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

void TerminalProcess::Play(const std::string& bytes) {
  m_pending += bytes;
  const std::string& in = m_pending;
  std::size_t i = 0;
  auto put = [&](std::string character) {
    if (m_column >= kColumns) {
      ++m_row;
      m_column = 0;
    }
    while (m_cells.size() <= m_row) m_cells.emplace_back();
    std::vector<std::string>& line = m_cells[m_row];
    if (line.size() <= m_column) line.resize(m_column + 1, " ");
    line[m_column++] = std::move(character);
  };
  while (i < in.size()) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c == 0x1B) {
      if (i + 1 >= in.size()) break;
      if (in[i + 1] == '[') {
        std::size_t end = i + 2;
        while (end < in.size() && !(in[end] >= 0x40 && in[end] <= 0x7E)) ++end;
        if (end >= in.size()) break;
        if (in[end] == 'K' && m_row < m_cells.size() && m_cells[m_row].size() > m_column) {
          m_cells[m_row].resize(m_column);
        }
        i = end + 1;
      } else if (in[i + 1] == ']') {
        // An operating-system command (a window title, ...): ends at BEL or ESC \.
        std::size_t end = i + 2;
        while (end < in.size() && in[end] != '\a' && !(in[end] == 0x1B && end + 1 < in.size() && in[end + 1] == '\\'))
          ++end;
        if (end >= in.size()) break;
        i = end + (in[end] == '\a' ? 1 : 2);
      } else {
        i += 2;
      }
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      if (c == '\r') m_column = 0;
      if (c == '\n') {
        ++m_row;
        while (m_cells.size() <= m_row) m_cells.emplace_back();
      }
      if (c == '\b' && m_column > 0) --m_column;
      if (c == '\t') m_column = (m_column / 8 + 1) * 8;
      ++i;
      continue;
    }
    const std::size_t length = CharacterLength(c);
    if (i + length > in.size()) break;
    put(in.substr(i, length));
    i += length;
  }
  m_pending.erase(0, i);
}

std::vector<std::string> TerminalProcess::Screen() const {
  std::vector<std::string> lines;
  for (const std::vector<std::string>& cells : m_cells) {
    std::string line;
    for (const std::string& cell : cells) line += cell;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string TerminalProcess::CursorLine() const {
  const std::vector<std::string> lines = Screen();
  return m_row < lines.size() ? lines[m_row] : std::string();
}

std::string TerminalProcess::Printed() const {
  std::string text = "--- terminal (cursor on line " + std::to_string(m_row + 1) + ")\n";
  for (const std::string& line : Screen()) text += line + "\n";
  return text;
}

}  // namespace qm::test

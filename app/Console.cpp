#include "Console.h"

#include <schemaimport/ConnectionString.h>
#include <writers/VisibleText.h>

#include <sys/ioctl.h>
#include <unistd.h>

namespace app {

using writers::VisibleText;

Console::Console(std::FILE* stream, bool terminal, bool quiet)
    : m_stream(stream), m_terminal(terminal), m_quiet(quiet) {}

void Console::AddSecret(std::string secret) {
  if (secret.size() < 4) return;
  std::lock_guard lock(m_mutex);
  m_secrets.push_back(std::move(secret));
}

std::string Console::Mask(std::string_view text) const {
  std::string masked = MaskPasswords(text);
  for (const std::string& secret : m_secrets) {
    for (std::size_t at = masked.find(secret); at != std::string::npos; at = masked.find(secret, at + 4)) {
      masked.replace(at, secret.size(), "****");
    }
  }
  return masked;
}

std::string Console::Sanitize(std::string_view text) const {
  std::string line;
  {
    std::lock_guard lock(m_mutex);
    line = Mask(text);
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\r' || line.back() == '\t'))
    line.pop_back();
  // Names and diagnostics in a message come from the database or the
  // driver: nothing in them may act on the terminal. Escaped here once, as
  // the tree escapes them (a line break as \n), so that a name reads as the
  // tree shows it and the message stays on one line.
  return VisibleText(line);
}

void Console::Error(std::string_view text) {
  const std::string line = Sanitize(text);
  std::lock_guard lock(m_mutex);
  PrintLine("error: ", line);
}

void Console::Warning(std::string_view text) {
  const std::string line = Sanitize(text);
  std::lock_guard lock(m_mutex);
  PrintLine("warning: ", line);
}

void Console::Info(std::string_view text) {
  if (m_quiet) return;
  const std::string line = Sanitize(text);
  std::lock_guard lock(m_mutex);
  PrintLine("", line);
}

void Console::Status(std::string_view text) {
  if (!m_terminal || m_quiet) return;
  const std::string line = Sanitize(text);
  std::lock_guard lock(m_mutex);
  m_status = line;
  DrawStatus();
  std::fflush(m_stream);
}

void Console::ClearStatus() {
  std::lock_guard lock(m_mutex);
  EraseStatus();
  m_status.clear();
  std::fflush(m_stream);
}

void Console::Raw(std::string_view text) {
  std::lock_guard lock(m_mutex);
  EraseStatus();
  const std::string masked = Mask(text);
  std::fwrite(masked.data(), 1, masked.size(), m_stream);
  std::fflush(m_stream);
}

void Console::BeginForm() {
  std::lock_guard lock(m_mutex);
  EraseStatus();
  m_formOpen = true;
  std::fflush(m_stream);
}

void Console::EndForm() {
  std::lock_guard lock(m_mutex);
  m_formOpen = false;
  DrawStatus();
  std::fflush(m_stream);
}

void Console::PrintLine(std::string_view prefix, std::string_view text) {
  EraseStatus();
  std::fwrite(prefix.data(), 1, prefix.size(), m_stream);
  std::fwrite(text.data(), 1, text.size(), m_stream);
  std::fputc('\n', m_stream);
  DrawStatus();
  std::fflush(m_stream);
}

void Console::EraseStatus() {
  if (!m_statusShown) return;
  // Carriage return, then erase to the end of the line.
  std::fputs("\r\x1b[K", m_stream);
  m_statusShown = false;
}

void Console::DrawStatus() {
  if (m_status.empty() || m_formOpen) return;
  // A line longer than the terminal would wrap, and the carriage return
  // would then rewrite only its last part: cut it to the width.
  std::size_t columns = 80;
  struct winsize size {};
  if (::ioctl(::fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) columns = size.ws_col;
  std::size_t end = 0;
  std::size_t shown = 0;
  while (end < m_status.size() && shown < columns - 1) {
    ++end;
    while (end < m_status.size() && (static_cast<unsigned char>(m_status[end]) & 0xC0) == 0x80) ++end;
    ++shown;
  }
  std::fputs("\r\x1b[K", m_stream);
  std::fwrite(m_status.data(), 1, end, m_stream);
  m_statusShown = true;
}

}  // namespace app

// A program run on a real pseudo-terminal, and what a person would see:
// its output played onto a terminal's screen by libvterm (an xterm's
// emulation), taller than the program is told so that nothing scrolls away.
#pragma once

#include <Subprocess.h>

#include <chrono>
#include <string>
#include <vector>

struct VTerm;

namespace qm::test {

class TerminalProcess {
 public:
  // A terminal of 160 columns and 40 lines; TERM=xterm unless set.
  TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                  const ProcessOptions& options = {});
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Sends keys as typed on the keyboard (Enter is "\r", Ctrl-D "\x04").
  void Type(const std::string& keys);

  // Reads until a screen line contains text; false at the timeout.
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout);
  void Pump(std::chrono::milliseconds duration);
  // Reads until the program ends: its exit code; -1 (killed) at the timeout.
  int Wait(std::chrono::seconds timeout);

  // The screen's lines (trailing blanks removed), the cursor's, every byte.
  std::vector<std::string> Screen() const;
  std::string CursorLine() const;
  const std::string& Output() const { return m_output; }
  std::string Printed() const;

 private:
  void ReadFor(std::chrono::milliseconds timeout);

  int m_master = -1;         // our side of the terminal; -1 once the child side is gone
  int m_pid = -1;            // the child; -1 once collected
  std::string m_output;      // every byte the child wrote
  ::VTerm* m_vterm;          // the screen it is played onto; owned
};

}  // namespace qm::test

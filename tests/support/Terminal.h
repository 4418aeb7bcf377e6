// A program run on a real pseudo-terminal, and what a person would see on
// that terminal.
//
// The child gets the terminal as its controlling terminal and as standard
// input, output and error, with the line discipline's usual settings (echo
// on, canonical input, newline output as CR LF). What it writes is kept
// byte for byte (Output) and played onto a small screen model (Screen):
// text lands at the cursor, CR goes to the line start, LF to the next
// line, BS one column back, "ESC [ K" erases to the end of the line; other
// escape sequences move nothing and show nothing. Lines are never cut or
// scrolled away, so the whole session stays readable.
#pragma once

#include <Subprocess.h>

#include <chrono>
#include <string>
#include <vector>

namespace qm::test {

class TerminalProcess {
 public:
  // Starts program on a new terminal of 160 columns and 40 lines, with
  // TERM=xterm unless options.environment says otherwise.
  TerminalProcess(const std::string& program, const std::vector<std::string>& args,
                  const ProcessOptions& options = {});
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Sends keys as typed on the keyboard (Enter is "\r", Ctrl-D "\x04").
  void Type(const std::string& keys);

  // Reads what the program writes until a line of the screen contains
  // text; false when the timeout passes first.
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout);
  // Reads what the program writes for this long.
  void Pump(std::chrono::milliseconds duration);
  // Reads until the program ends: its exit status, or 128 + the signal
  // number; -1 when it ran past the timeout (it is then killed).
  int Wait(std::chrono::seconds timeout);

  // The screen's lines (UTF-8, blanks at the end removed), the line the
  // cursor is on, and every byte the program wrote.
  std::vector<std::string> Screen() const;
  std::string CursorLine() const;
  const std::string& Output() const { return m_output; }
  // The screen as text, for failure messages.
  std::string Printed() const;

 private:
  // Reads what is there, waiting at most timeout for the first bytes.
  void ReadFor(std::chrono::milliseconds timeout);
  void Play(const std::string& bytes);

  int m_master = -1;                          // our side of the terminal; -1 once the child side is gone
  int m_pid = -1;                             // the child; -1 once collected
  std::string m_output;                       // every byte the child wrote
  std::string m_pending;                      // bytes not yet played (an escape sequence or character cut short)
  std::vector<std::vector<std::string>> m_cells;  // screen lines; one UTF-8 character per cell
  std::size_t m_row = 0;                      // cursor line
  std::size_t m_column = 0;                   // cursor column
};

}  // namespace qm::test

// Console: everything the host prints on standard error goes through here.
// Every line has passwords masked (MaskPasswords, plus the secret values
// registered with AddSecret), so no path of the host can print one. On a
// terminal the console keeps one live status line that later lines are
// printed above.
//
// Thread safety: every operation may be called from any thread (the import
// thread prints message-box warnings and runs the connection form).
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace app {

class Console {
 public:
  // stream: where lines go (standard error). terminal: whether it is a
  // terminal, which enables the live status line. quiet: suppress Info
  // and status lines (errors and warnings are always printed).
  Console(std::FILE* stream, bool terminal, bool quiet);

  bool IsTerminal() const { return m_terminal; }
  bool IsQuiet() const { return m_quiet; }

  // Masks this exact text wherever it appears from now on. Texts shorter
  // than four bytes are masked only as values of PWD=/Password=, so that a
  // one-letter password does not garble every message.
  void AddSecret(std::string secret);

  void Error(std::string_view text);    // "error: " + text
  void Warning(std::string_view text);  // "warning: " + text
  void Info(std::string_view text);     // text, unless quiet

  // Replaces the live status line (terminal and not quiet only).
  void Status(std::string_view text);
  // Removes the live status line, if any.
  void ClearStatus();

  // Writes text as it is, after clearing the status line; for the
  // connection form's prompts. Not suppressed by quiet.
  void Raw(std::string_view text);

  // While a form is open on the terminal (the connection form), the live
  // status line is neither drawn nor redrawn: it would erase the question
  // being answered. Status keeps the latest text; EndForm draws it again.
  void BeginForm();
  void EndForm();

  // The text as it would be printed: passwords masked, blanks and line
  // breaks at its end dropped, and control and invisible characters
  // escaped once (writers/VisibleText.h, line breaks as \n: one message,
  // one line), so that a name or a diagnostic cannot act on the terminal
  // and a name reads as the tree shows it. Callers pass names as they are,
  // never escaped already.
  std::string Sanitize(std::string_view text) const;

 private:
  void PrintLine(std::string_view prefix, std::string_view text);  // m_mutex held
  void EraseStatus();                                               // m_mutex held
  void DrawStatus();                                                // m_mutex held
  std::string Mask(std::string_view text) const;                    // m_mutex held or const data

  std::FILE* m_stream;               // standard error; not owned
  const bool m_terminal;             // the stream is a terminal
  const bool m_quiet;                // --quiet
  mutable std::mutex m_mutex;        // guards everything below and the stream
  std::vector<std::string> m_secrets;  // texts masked wherever they appear
  std::string m_status;              // the live status line; empty when none
  bool m_statusShown = false;        // m_status is on the screen
  bool m_formOpen = false;           // between BeginForm and EndForm: no status line drawn
};

}  // namespace app

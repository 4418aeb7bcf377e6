// The --prompt form: the host's connection dialog on a terminal. The import
// calls it (through platform::SetConnectionDialogHook) with the connection
// string the plug-in built; the form shows every key with its value, Enter
// keeps a value, text typed replaces it. The password (PWD or Password) is
// read without echo when the input is a terminal and shown only as "****".
// A string with a user id but no password gets an empty PWD field. Ctrl-D
// (end of input) or Ctrl-C cancels, and the import does not connect. While
// the form is open the console draws no progress line, which would erase
// the question on the screen.
//
// The same prompt asks for a password alone when a server wants one that
// the connection string does not give (AskPassword), as psql asks.
//
// Thread safety: Complete runs on the import's thread; WasCancelled may be
// read from any thread.
#pragma once

#include <platform/CString.h>
#include <platform/ConnectionDialog.h>

#include <string>

#include <atomic>

namespace app {

class Console;

class ConnectionPrompt {
 public:
  // Prompts go to the console, answers are read from inputFd (standard
  // input).
  ConnectionPrompt(Console& console, int inputFd);

  // The dialog hook: returns true with the completed string, or false
  // (string unchanged) when the user cancelled.
  bool Complete(CString& connectionString);

  // The password question (platform::AskForPassword's hook): asks question
  // on the console and reads the answer without echo. Only when the input
  // is a terminal: otherwise NoPrompt at once, never a wait. Ctrl-D or
  // Ctrl-C cancels, as in the form.
  platform::PasswordPromptResult AskPassword(const std::u16string& question, std::u16string& password);

  // The user cancelled the form or the password question.
  bool WasCancelled() const { return m_cancelled.load(); }

 private:
  Console& m_console;                 // where the form is written
  const int m_inputFd;                // where answers are read; not owned
  std::atomic<bool> m_cancelled{false};  // set when the form was cancelled
};

}  // namespace app

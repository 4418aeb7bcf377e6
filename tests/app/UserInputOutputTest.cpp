// The command line's dealings with the user, in process: the --prompt form,
// with its answers written to a pipe and what it shows read from a file
// (what it asks, the string it hands back, and that a password is never
// shown; the form on a real terminal, with echo off, is tested through the
// host on a pseudo-terminal).
#include "ConnectionPrompt.h"

#include "Captured.h"
#include "Console.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace app {
namespace {

struct FormResult {
  bool completed = false;
  std::string connectionString;  // what the form handed back (unchanged when cancelled)
  std::string shown;             // what it wrote
  bool cancelled = false;
};

FormResult Fill(const std::string& connectionString, const std::string& answers) {
  int input[2];
  EXPECT_EQ(::pipe(input), 0);
  EXPECT_EQ(::write(input[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
  ::close(input[1]);  // after the answers: end of input
  FormResult result;
  result.shown = test::Captured([&](std::FILE* screen) {
    Console console(screen, false, false);
    ConnectionPrompt prompt(console, input[0]);
    CString text = CString::FromUtf8(connectionString);
    result.completed = prompt.Complete(text);
    result.connectionString = text.ToUtf8();
    result.cancelled = prompt.WasCancelled();
  });
  ::close(input[0]);
  return result;
}

struct Case {
  const char* what;
  std::string given;      // the connection string the plug-in built
  std::string answers;    // what the user types, line by line
  std::string expected;   // the string handed back
  std::string questions;  // the prompts shown, in order, each "KEY [value]: "
};

TEST(ConnectionPromptTest, AsksForEveryValueAndHandsBackWhatWasAnswered) {
  const Case cases[] = {
      {"Enter keeps every value", "Driver={SQLite3};Database=/tmp/a.db", "\n\n", "Driver={SQLite3};Database=/tmp/a.db",
       "  Driver [SQLite3]:   Database [/tmp/a.db]: "},
      {"typed text replaces a value", "Server=db;Port=5432", "other\n\n", "Server=other;Port=5432",
       "  Server [db]:   Port [5432]: "},
      {"a value that needs braces gets them", "Uid=me;PWD=old", "\na;b\n", "Uid=me;PWD={a;b}",
       "  Uid [me]:   PWD [****]: "},
      {"a user without a password is asked for one", "Server=db;Uid=me", "\n\nsecret\n", "Server=db;Uid=me;PWD=secret",
       "  Server [db]:   Uid [me]:   PWD: "},
      {"a password left empty is not sent", "Server=db;UID=me", "\n\n\n", "Server=db;UID=me",
       "  Server [db]:   UID [me]:   PWD: "},
      {"a segment without '=' is passed on, not asked about", "Trusted;Server=db", "\n", "Trusted;Server=db",
       "  Server [db]: "},
      {"invisible characters are shown escaped", "Database=a\x1b[2Jb", "\n", "Database=a\x1b[2Jb",
       "  Database [a\\x1b[2Jb]: "},
  };
  for (const Case& c : cases) {
    const FormResult result = Fill(c.given, c.answers);
    EXPECT_TRUE(result.completed) << c.what;
    EXPECT_FALSE(result.cancelled) << c.what;
    EXPECT_EQ(result.connectionString, c.expected) << c.what;
    // The questions, each followed by the line end a pipe does not echo.
    std::string questions;
    std::size_t at = result.shown.find('\n') + 1;  // after the form's title
    for (std::size_t end; (end = result.shown.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = result.shown.substr(at, end - at);
      if (line.rfind("  ", 0) == 0) questions += line;
    }
    EXPECT_EQ(questions, c.questions) << c.what << "\n" << result.shown;
    EXPECT_NE(result.shown.find("connecting with "), std::string::npos) << c.what;
    for (const char* secret : {"secret", "a;b", "old"}) {
      if (c.given.find(secret) == std::string::npos && c.answers.find(secret) == std::string::npos) continue;
      EXPECT_EQ(result.shown.find(secret), std::string::npos) << c.what << ": " << secret << " shown\n" << result.shown;
    }
  }
}

}  // namespace
}  // namespace app

// The command line's dealings with the user, in process: the --prompt form,
// its answers written to a pipe (what it asks, the string it hands back, a
// password never shown; on a real terminal: AppHostileUseTest), and the SQL
// dialect taken from a plug-in's table, whatever it declares.
#include "ConnectionPrompt.h"
#include "Console.h"
#include "LiveImport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace app {
namespace {

// What write printed to the stream it is given (a console's).
template <class Write>
std::string Captured(Write&& write) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = ::open_memstream(&buffer, &size);
  write(stream);
  std::fclose(stream);
  const std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// What the form showed, after filling in connectionString from answers;
// connectionString becomes what it handed back.
std::string Fill(std::string& connectionString, const std::string& answers) {
  int input[2];
  EXPECT_EQ(::pipe(input), 0);
  EXPECT_EQ(::write(input[1], answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
  ::close(input[1]);  // after the answers: end of input
  const std::string shown = Captured([&](std::FILE* screen) {
    Console console(screen, false, false);
    ConnectionPrompt prompt(console, input[0]);
    CString text = CString::FromUtf8(connectionString);
    EXPECT_TRUE(prompt.Complete(text));
    EXPECT_FALSE(prompt.WasCancelled());
    connectionString = text.ToUtf8();
  });
  ::close(input[0]);
  return shown;
}

struct Case {
  const char* what;
  std::string given;      // the connection string the plug-in built
  std::string answers;    // what the user types, line by line
  std::string expected;   // the string handed back
  std::string questions;  // the prompts shown, in order, each "KEY [value]: "
};

// (Enter keeping a value and an answer replacing one, through the host:
// AppTest.PromptTakesAnAnswerOrCancels and the form on a terminal.)
TEST(ConnectionPromptTest, AsksForEveryValueAndHandsBackWhatWasAnswered) {
  const Case cases[] = {
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
    SCOPED_TRACE(c.what);
    std::string handedBack = c.given;
    const std::string shown = Fill(handedBack, c.answers);
    EXPECT_EQ(handedBack, c.expected);
    // The questions, each followed by the line end a pipe does not echo.
    std::string questions;
    std::size_t at = shown.find('\n') + 1;  // after the form's title
    for (std::size_t end; (end = shown.find('\n', at)) != std::string::npos; at = end + 1)
      if (shown.compare(at, 2, "  ") == 0) questions += shown.substr(at, end - at);
    EXPECT_EQ(questions, c.questions) << shown;
    EXPECT_NE(shown.find("connecting with "), std::string::npos);
    for (const std::string secret : {"secret", "a;b", "old"}) {
      const bool given = c.given.find(secret) != std::string::npos || c.answers.find(secret) != std::string::npos;
      EXPECT_FALSE(given && shown.find(secret) != std::string::npos) << secret << " shown\n" << shown;
    }
  }
}

// A dialect this program does not know is written as standard SQL, with a
// warning; a plug-in that declares none gets standard SQL without one. (The
// bundled plug-ins' dialects: their scripts loaded by each database's
// client, ScriptCanaryTest.)
TEST(SourceTest, ThePluginsDialectIsTheOneWritten) {
  const struct {
    const char* declared;
    const char* dialect;
    const char* warning;  // a part of it; empty: none
  } cases[] = {{"postgresql", "postgresql", ""}, {nullptr, "standard", ""}, {"", "standard", ""},
               {"firebird", "standard",
                "warning: the plug-in sqlite declares the SQL dialect \"firebird\", which this program does not know: "
                "its SQL is written in standard SQL"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.declared != nullptr ? c.declared : "null");
    QmPluginApi table{};
    table.name = "sqlite";
    table.sqlDialect = c.declared;
    std::string dialect;
    const std::string printed = Captured([&](std::FILE* stream) {
      Console console(stream, false, false);
      dialect = SqlDialectOf(table, console);
    });
    EXPECT_EQ(dialect, c.dialect);
    EXPECT_TRUE(*c.warning == '\0' ? printed.empty() : printed.find(c.warning) != std::string::npos) << printed;
  }
}

}  // namespace
}  // namespace app

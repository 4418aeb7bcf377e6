// The command line's dealings with the user, in process: the --prompt form,
// with its answers written to a pipe and what it shows read from a file
// (what it asks, the string it hands back, and that a password is never
// shown; the form on a real terminal, with echo off, is tested through the
// host on a pseudo-terminal); and where the model goes, for what the
// writers may do: a writer that gives up half-way leaves no file and no
// half file behind, and an output that is a terminal is known as one
// (formats not read on a terminal are refused there).
#include "ConnectionPrompt.h"

#include "Console.h"
#include "OutputFile.h"
#include "ParsedOptions.h"

#include <writers/ModelWriter.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <ostream>

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

// The password question needs a terminal: with a pipe for input (a CI
// job, a script) it answers at once that it cannot ask, reads nothing and
// shows nothing, so the run ends with a message instead of waiting.
TEST(ConnectionPromptTest, PasswordIsNeverAskedWithoutATerminal) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_EQ(::write(input[1], "typed\n", 6), 6);  // left open: a read would wait
  const std::string shown = test::Captured([&](std::FILE* screen) {
    Console console(screen, false, false);
    ConnectionPrompt prompt(console, input[0]);
    std::u16string password = u"unchanged";
    EXPECT_EQ(prompt.AskPassword(u"Password for user me: ", password), platform::PasswordPromptResult::NoPrompt);
    EXPECT_EQ(password, u"unchanged");
    EXPECT_FALSE(prompt.WasCancelled());
  });
  EXPECT_EQ(shown, "");
  char left[8] = {};
  EXPECT_EQ(::read(input[0], left, sizeof left), 6) << "the answer was read";
  ::close(input[0]);
  ::close(input[1]);
}

using qm::test::Snapshot;
using qm::test::TempDir;
using qm::test::WriteFile;

// Writes a first block, as a writer does before it meets what it cannot
// show, then gives up.
void GivingUp(std::ostream& out) {
  out << std::string(100000, 'x');
  throw writers::WriteError("no table \"orders\" in the model");
}

// What the format refused is said as it is (the file is not at fault); an
// existing file is kept as it was, a new one is not made, and no temporary
// file is left behind.
TEST(OutputFileTest, WriterThatGivesUpLeavesTheTargetAsItWas) {
  TempDir dir;
  WriteFile(dir.Path("model.json"), "the previous model\n");
  for (const char* name : {"model.json", "new.json"}) {
    std::string error;
    EXPECT_EQ(OutputFile(dir.Path(name)).Write(GivingUp, error), WriteOutcome::Failed);
    EXPECT_EQ(error, "no table \"orders\" in the model");
    const std::map<std::string, std::string> kept = {{dir.Path("model.json"), "the previous model\n"}};
    EXPECT_EQ(Snapshot(dir.Path()), kept);
  }
}

// A pseudo-terminal's far end, as a terminal window gives a program.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) m_path = ::ptsname(m_master);
  }
  ~PseudoTerminal() {
    if (m_master >= 0) ::close(m_master);
  }
  const std::string& Path() const { return m_path; }

 private:
  int m_master = -1;   // the terminal emulator's end
  std::string m_path;  // the program's end, /dev/pts/N; empty when none could be opened
};

// Standard output replaced by the file for the object's life.
class RedirectedStdout {
 public:
  explicit RedirectedStdout(const std::string& path) : m_saved(::dup(STDOUT_FILENO)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
  }
  ~RedirectedStdout() {
    ::dup2(m_saved, STDOUT_FILENO);
    ::close(m_saved);
  }

 private:
  int m_saved;  // the original standard output
};

TEST(OutputFileTest, TerminalIsKnownWhetherItIsStandardOutputOrNamed) {
  PseudoTerminal terminal;
  ASSERT_FALSE(terminal.Path().empty()) << "no pseudo-terminal";
  TempDir dir;
  WriteFile(dir.Path("model.json"), "");
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  struct Case {
    std::string path;
    bool terminal;
  };
  const Case named[] = {
      {terminal.Path(), true}, {dir.Path("model.json"), false}, {dir.Path("missing.json"), false},
      {"/dev/null", false},    {dir.Path("fifo"), false},       {dir.Path(), false},
  };
  for (const Case& c : named) EXPECT_EQ(OutputFile(c.path).IsTerminal(), c.terminal) << c.path;

  {
    const RedirectedStdout toTerminal(terminal.Path());
    EXPECT_TRUE(OutputFile("").IsTerminal());
    EXPECT_TRUE(OutputFile("-").IsTerminal());
  }
  const RedirectedStdout toFile(dir.Path("model.json"));
  EXPECT_FALSE(OutputFile("").IsTerminal());
}

}  // namespace
}  // namespace app

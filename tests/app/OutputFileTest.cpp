// Where the model goes, for what the writers may do: a writer that gives up
// half-way leaves no file and no half file behind, and an output that is a
// terminal is known as one (formats not read on a terminal are refused
// there).
#include "OutputFile.h"

#include <TempDir.h>

#include <writers/ModelWriter.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <ostream>

namespace app {
namespace {

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
    EXPECT_EQ(Snapshot(dir.Path()), (std::map<std::string, std::string>{{dir.Path("model.json"), "the previous model\n"}}));
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

// quillmere-import given what it cannot use: a wrong command line, files
// that are missing, not regular, not SQLite or damaged, a file it may not
// read, missing files named in connection strings and SQLite URIs,
// drivers and data sources no one installed, output it
// cannot write, passwords in every place a connection string puts them.
// Each must end in one line starting "error: " (and, for a command line the
// parser refused, where to look for help) and its exit code, never a
// crash or a hang, with nothing on standard output, no file created or
// changed (an existing output file included) and no password printed.
#include "Nobody.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string kSecret = "hostile-input-pw-5";

class HostInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Reachable by the unprivileged user the unreadable-file case runs as.
    fs::permissions(m_dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  }

  std::string Path(const std::string& name) const { return m_dir.Path(name); }

  TempDir m_dir;
};

TEST_F(HostInputTest, EveryBadInputIsOneLineAndItsExitCode) {
  const std::string sqliteHeader = std::string("SQLite format 3") + '\0';
  WriteFile(Path("notes.txt"), std::string(4096, 'x'));
  WriteFile(Path("garbage.db"), sqliteHeader + std::string(2048, '\xA5'));  // the magic, then nonsense
  WriteFile(Path("truncated.db"), sqliteHeader + std::string(84, '\x01'));  // a database cut short
  WriteFile(Path("image.png"), std::string("\x89PNG\r\n\x1A\n", 8) + std::string(1000, '\0'));
  WriteFile(Path("real.db"), "");
  WriteFile(Path("private.db"), sqliteHeader + std::string(4080, '\0'));
  ::chmod(Path("private.db").c_str(), 0600);
  ASSERT_EQ(::mkfifo(Path("pipe.db").c_str(), 0644), 0);
  fs::create_directory(Path("directory.db"));
  WriteFile(Path("kept.json"), "the previous model\n");

  const std::string missing = Path("missing.db");
  const std::string real = "Driver={SQLite3};Database=" + Path("real.db");
  const std::string pgRefused = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Uid=u;Pwd=" + kSecret;
  struct Case {
    Args args;
    int exitCode;
    std::string says;        // a part of the line; "" for any
    bool asNobody = false;   // run as an unprivileged user: root reads every file
  };
  std::vector<Case> cases = {
      {{"--format", "xml"}, 2, ""},
      {{"--no-such-option"}, 2, ""},
      {{"--sqlite", Path("a.db"), "--connect", "Driver={SQLite3};Database=" + Path("a.db")}, 2, ""},
      {{"--sqlite"}, 2, ""},
      // A driver that is not installed is named as such before any
      // plug-in tries to connect through it.
      {{"--connect", "Driver={NoSuchDriver};Database=x"}, 3, "the ODBC driver \"NoSuchDriver\" is not installed"},
      {{"--connect", "Database=x.db"}, 2, "names no Driver"},
      {{"--connect", "Driver={Oracle 19};Uid=scott;Password=" + kSecret}, 3, "the ODBC driver \"Oracle 19\" is not installed"},
      {{"--connect", "DSN=warehouse;PWD={" + kSecret + "}"}, 2, ""},
      {{"unexpected", "Pwd=" + kSecret}, 2, ""},
      {{"--connect", pgRefused}, 3, "could not connect: ["},
      {{"--postgres", pgRefused}, 3, "could not connect: ["},
      {{"--postgres", "Driver={No Such Driver 9};Server=127.0.0.1;Pwd=" + kSecret}, 3, "could not connect"},
      {{"--postgres", "DSN=no_such_dsn_9;Pwd=" + kSecret}, 3, "could not connect"},
      {{"--sqlite", missing}, 3, "could not connect: database file not found: " + missing},
      {{"--sqlite", m_dir.Path()}, 3, "could not connect: not a regular file: " + m_dir.Path() + " is a directory"},
      {{"--sqlite", Path("notes.txt")}, 3, "[HY000] [SQLite]file is not a database (26) (" + Path("notes.txt") + ")"},
      {{"--sqlite", Path("private.db")}, 3, "cannot read database file: " + Path("private.db") + " (Permission denied)", true},
      {{"--sqlite", Path("line\nbreak.db")}, 3, ""},
      {{"--connect", "Driver={SQLite3};Database=" + missing + ";PWD=" + kSecret}, 3, "database file not found"},
      {{"--connect", "Driver={SQLite3};Database=" + Path("no such dir/x.db")}, 3, "database file not found: "},
      // Attached files are checked like the main one; the scope names only
      // databases that are there.
      {{"--connect", real + ";Attach=aux=" + missing}, 3, "cannot attach \"aux\": database file not found: " + missing},
      {{"--connect", real + ";Attach=" + missing}, 3, "could not connect: Attach expects name=path, got \"" + missing},
      {{"--connect", real + ";Attach=MAIN=" + Path("real.db")}, 3, "cannot attach \"MAIN\": the name is already in use"},
      {{"--connect", real + ";Attach=aux=" + Path("notes.txt")}, 3, "not a database (26) (attaching " + Path("notes.txt")},
      {{"--sqlite", Path("real.db"), "--schema", "main, mian"}, 2, "error: --schema: no database named \"mian\" in this connection (databases: main)"},
      // A schema list the plug-in could only guess at is refused before
      // anything connects (the server on port 1 would give exit 3).
      {{"--postgres", pgRefused, "--schema", "public,\"a,b"}, 2,
       "error: --schema: the quoted name \"a,b has no closing quote (a quote inside a quoted name is written \"\")"},
      {{"--sqlite", missing, "--schema", "\"main\"x, temp"}, 2,
       "error: --schema: the quoted name \"main\" must be followed by a comma, not by x"},
      // An SQLite URI names a file too: the driver would create it.
      {{"--connect", "Driver={SQLite3};Database=file:" + missing}, 3, "database file not found: " + missing},
      {{"--connect", "Driver={SQLite3};Database=file://localhost" + missing + "?cache=shared"}, 3,
       "database file not found: " + missing},
      {{"--connect", "Driver={SQLite3};Database=file:" + Path("missing%2Edb")}, 3, "database file not found: " + missing},
      {{"--quiet", "-o", m_dir.Path()}, 2, ""},
      {{"--quiet", "-o", Path("no/such/dir.json")}, 4, ""},
  };
  // What is not a regular file is never opened (a pipe would wait for a
  // writer, a device would be read without end); damaged or foreign files
  // are refused by the driver and left alone.
  const std::pair<std::string, std::string> files[] = {
      {Path("pipe.db"), "not a regular file"}, {Path("directory.db"), "not a regular file"},
      {"/dev/zero", "not a regular file"},     {Path("notes.txt"), "[HY000] "},
      {Path("garbage.db"), ""},               {Path("truncated.db"), ""},
      {Path("image.png"), ""}};
  for (const auto& [path, says] : files) {
    cases.push_back({{"--sqlite", path}, 3, says});
    cases.push_back({{"--connect", "Driver={SQLite3};Database=" + path}, 3, says});
  }

  for (Case& c : cases) {
    ProcessOptions options;
    options.timeoutSeconds = 60;
    if (c.asNobody && ::geteuid() != 0) {
      ::chmod(Path("private.db").c_str(), 0);
    } else if (!c.asNobody && std::find(c.args.begin(), c.args.end(), "-o") == c.args.end()) {
      c.args.insert(c.args.end(), {"-o", Path("kept.json")});
    }
    std::string trace;
    for (const std::string& arg : c.args) trace += arg + " ";
    SCOPED_TRACE(trace);
    const auto before = Snapshot(m_dir.Path());
    const ProcessResult result = c.asNobody ? RunHostAsNobody(c.args, options) : RunProcess(QM_IMPORT_EXE, c.args, options);
    EXPECT_EQ(result.exitCode, c.exitCode) << Printed(result);
    // One line; a command line the parser refused adds where to look.
    const std::vector<std::string> lines = Lines(result.err);
    const std::vector<std::string> hint = {"Run 'quillmere-import --help' for the options."};
    ASSERT_FALSE(lines.empty()) << Printed(result);
    EXPECT_EQ(lines[0].rfind("error: ", 0), 0u) << Printed(result);
    EXPECT_TRUE(lines.size() == 1 || (c.exitCode == 2 && std::vector<std::string>(lines.begin() + 1, lines.end()) == hint))
        << Printed(result);
    EXPECT_NE(result.err.find(c.says), std::string::npos) << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    EXPECT_EQ(result.err.find(kSecret), std::string::npos) << Printed(result);
    EXPECT_TRUE(Snapshot(m_dir.Path()) == before) << "the directory changed\n" << Printed(result);
  }
}

// An empty file is an empty SQLite database: nothing to import (the one
// line on standard error says so), and the file stays empty (the import
// opens it read-only). A URI naming a file that is there imports it.
TEST_F(HostInputTest, EmptyFileImportsNothingAndStaysEmpty) {
  WriteFile(Path("empty.db"), "");
  for (const std::string& source : {"--sqlite=" + Path("empty.db"), "--connect=Driver={SQLite3};Database=file:" + Path("empty.db")}) {
    const ProcessResult result = RunProcess(QM_IMPORT_EXE, {source, "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << Printed(result);
    EXPECT_EQ(result.err, "warning: the database file " + Path("empty.db") +
                              " is empty (0 bytes): SQLite reads it as an empty database, so the model holds no objects\n");
    EXPECT_NE(result.out.find("\"type\""), std::string::npos) << Printed(result);
    EXPECT_EQ(result.out.find("\"table\""), std::string::npos) << Printed(result);
  }
  EXPECT_EQ(Snapshot(m_dir.Path()).size(), 1u);
  EXPECT_EQ(ReadFile(Path("empty.db")), "");
}

}  // namespace
}  // namespace qm::test::hardening

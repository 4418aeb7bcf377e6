// quillmere-import given what it cannot import: a file it may not read
// (run as an unprivileged user: root reads everything), a named pipe, a
// device, files that are not SQLite databases or are damaged ones, an empty
// file, missing files named in a connection string, a driver no one
// installed. The end-to-end tests in tests/app cover the missing file, the
// directory and the text file given with --sqlite, an unknown driver for
// --connect, the wrong password and the refused port; these are the rest.
// Each must end in one clear line and the documented exit code, never a
// crash or a hang, never a file created or changed, never the password
// printed.
#include "Subprocess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;

const std::string kSecret = "hostile-input-pw-5";

std::string Printed(const ProcessResult& result) {
  return "exit " + std::to_string(result.exitCode) + "\n--- stderr\n" + result.err + "--- stdout (" +
         std::to_string(result.out.size()) + " bytes)\n" + result.out.substr(0, 1000);
}

int LineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

class HostInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qm-hard-input-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    // Reachable by the unprivileged user the unreadable-file case runs as.
    fs::permissions(m_dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  // The names and contents of everything in the directory.
  std::set<std::pair<std::string, std::string>> Snapshot() const {
    std::set<std::pair<std::string, std::string>> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_dir)) {
      const bool regular = entry.is_regular_file() && !entry.is_symlink();
      entries.emplace(entry.path().string(), regular ? ReadFile(entry.path()) : std::string("<not a file>"));
    }
    return entries;
  }

  // Runs the host and checks what every bad input must give: the exit
  // code, exactly one line starting "error: ", nothing on standard output,
  // no password, and the directory exactly as it was.
  ProcessResult ExpectOneLineError(const std::vector<std::string>& args, int exitCode, const std::string& program = QM_IMPORT_EXE,
                                   const std::vector<std::string>& prefix = {}) {
    const auto before = Snapshot();
    std::vector<std::string> all = prefix;
    if (!prefix.empty()) all.push_back(QM_IMPORT_EXE);
    all.insert(all.end(), args.begin(), args.end());
    ProcessOptions options;
    options.timeoutSeconds = 60;
    const ProcessResult result = RunProcess(program, all, options);
    EXPECT_FALSE(result.timedOut) << Printed(result);
    EXPECT_EQ(result.exitCode, exitCode) << Printed(result);
    EXPECT_EQ(LineCount(result.err), 1) << Printed(result);
    EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    EXPECT_EQ(result.err.find(kSecret), std::string::npos) << Printed(result);
    EXPECT_TRUE(Snapshot() == before) << "the directory changed\n" << Printed(result);
    return result;
  }

  fs::path m_dir;  // the test's directory, removed afterwards
};

TEST_F(HostInputTest, UnreadableFileIsRefusedAsTheUserWhoCannotReadIt) {
  const fs::path database = m_dir / "private.db";
  WriteFile(database, std::string("SQLite format 3") + '\0' + std::string(4080, '\0'));
  ::chmod(database.c_str(), 0600);
  std::vector<std::string> prefix;
  std::string program = QM_IMPORT_EXE;
  if (::geteuid() == 0) {
    // Root reads every file: the host runs as "nobody" instead.
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "running as root and /usr/bin/setpriv is missing";
    program = "/usr/bin/setpriv";
    prefix = {"--reuid=65534", "--regid=65534", "--clear-groups", "--"};
  } else {
    ::chmod(database.c_str(), 0);
  }
  const ProcessResult result = ExpectOneLineError({"--sqlite", database.string()}, 3, program, prefix);
  EXPECT_NE(result.err.find("cannot read database file: " + database.string() + " (Permission denied)"),
            std::string::npos)
      << Printed(result);
}

// What is not a regular file is never opened: a pipe would wait for a
// writer, a device would be read without end.
TEST_F(HostInputTest, NonRegularFilesAreRefusedWithoutBeingOpened) {
  const fs::path pipe = m_dir / "pipe.db";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const fs::path directory = m_dir / "directory.db";
  fs::create_directory(directory);
  for (const std::string& path : {pipe.string(), directory.string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    const ProcessResult result = ExpectOneLineError({"--sqlite", path}, 3);
    EXPECT_NE(result.err.find("not a regular file"), std::string::npos) << Printed(result);
    ExpectOneLineError({"--connect", "Driver={SQLite3};Database=" + path}, 3);
  }
}

TEST_F(HostInputTest, DamagedOrForeignFilesAreRefusedAndLeftAlone) {
  std::string header = std::string("SQLite format 3") + '\0';
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      // The right magic, then nonsense where the page size and pages go.
      {"garbage.db", header + std::string(2048, '\xA5')},
      // The header alone: a database cut short.
      {"truncated.db", header + std::string(84, '\x01')},
      // Binary data of another kind.
      {"image.png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(1000, '\x00')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = m_dir / c.name;
    WriteFile(file, c.bytes);
    ExpectOneLineError({"--sqlite", file.string()}, 3);
    ExpectOneLineError({"--connect", "Driver={SQLite3};Database=" + file.string()}, 3);
  }
}

// An empty file is an empty SQLite database: nothing to import, and the
// file stays empty (the import opens it read-only).
TEST_F(HostInputTest, EmptyFileImportsNothingAndStaysEmpty) {
  const fs::path file = m_dir / "empty.db";
  WriteFile(file, "");
  const auto before = Snapshot();
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--sqlite", file.string(), "--quiet"});
  EXPECT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("\"type\""), std::string::npos) << Printed(result);
  EXPECT_EQ(result.out.find("\"table\""), std::string::npos) << Printed(result);
  EXPECT_TRUE(Snapshot() == before);
}

// A missing database named in a connection string, as a path or as an
// SQLite URI, is refused before the driver, which would create it, sees
// it; a name with a line break still makes one line.
TEST_F(HostInputTest, MissingFilesInConnectionStringsAreNeverCreated) {
  const fs::path missing = m_dir / "missing.db";
  ExpectOneLineError({"--connect", "Driver={SQLite3};Database=" + missing.string() + ";PWD=" + kSecret}, 3);
  ExpectOneLineError({"--connect", "Driver={SQLite3};Database=" + (m_dir / "no such dir" / "x.db").string()}, 3);
  ExpectOneLineError({"--sqlite", (m_dir / "line\nbreak.db").string()}, 3);
  const fs::path real = m_dir / "real.db";
  WriteFile(real, "");
  ExpectOneLineError(
      {"--connect", "Driver={SQLite3};Database=" + real.string() + ";Attach=aux=" + missing.string()}, 3);
  // An SQLite URI names a file too: the driver would create it.
  for (const std::string& uri : {"file:" + missing.string(), "file://localhost" + missing.string() + "?cache=shared",
                                 "file:" + (m_dir / "missing%2Edb").string()}) {
    SCOPED_TRACE(uri);
    ExpectOneLineError({"--connect", "Driver={SQLite3};Database=" + uri}, 3);
  }
  EXPECT_FALSE(fs::exists(missing));
  // The file a URI names is imported when it is there.
  const ProcessResult uri = RunProcess(QM_IMPORT_EXE, {"--connect", "Driver={SQLite3};Database=file:" + real.string(), "--quiet"});
  EXPECT_EQ(uri.exitCode, 0) << Printed(uri);
}

// Text is Unicode inside the import, so a file name that is not UTF-8
// cannot be named to the driver: it is refused, and the name it would
// turn into (with U+FFFD) is not created either.
TEST_F(HostInputTest, FileNameThatIsNotUtf8IsRefusedNotReplaced) {
  const fs::path file = m_dir / "latin1-\xE9.db";
  WriteFile(file, "");
  const ProcessResult result = ExpectOneLineError({"--sqlite", file.string()}, 3);
  EXPECT_NE(result.err.find("database file not found"), std::string::npos) << Printed(result);
}

TEST_F(HostInputTest, DriverNoOneInstalledIsOneLineForEitherPlugIn) {
  const ProcessResult postgres =
      ExpectOneLineError({"--postgres", "Driver={No Such Driver 9};Server=127.0.0.1;Pwd=" + kSecret}, 3);
  EXPECT_NE(postgres.err.find("could not connect"), std::string::npos) << Printed(postgres);
  ExpectOneLineError({"--postgres", "DSN=no_such_dsn_9;Pwd=" + kSecret}, 3);
}

}  // namespace
}  // namespace qm::test::hardening

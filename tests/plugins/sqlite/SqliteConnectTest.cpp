// The connect step: what the host is told when a source cannot be opened,
// that nothing is created or changed on the way, and that awkward paths
// reach the driver intact.
#include "PluginTestSupport.h"

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace qm::test::sqlite {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Names in the directory, to see that nothing was added.
std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SqliteConnectTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_plugin.Loaded()); }

  // Runs an import of the source; returns the session status.
  int Import(const std::u16string& source, const std::u16string& scope = u"") {
    m_plugin.Api().Configure(source, scope);
    GenericModel model(m_plugin.Api().modelType);
    m_outcome = RunImport(model);
    return m_outcome.status;
  }

  OdbcDiagnostic Error() const { return m_plugin.Api().LastConnectError(); }

  TempDir m_dir;
  LoadedPlugin m_plugin;
  ImportOutcome m_outcome;  // of the latest Import
};

TEST_F(SqliteConnectTest, MissingFileIsRefusedAndNotCreated) {
  const std::string path = m_dir.Path("missing.db");
  EXPECT_EQ(Import(Utf16(path)), ImportStatusConnectFailed);
  EXPECT_TRUE(Error().sqlState.empty());
  EXPECT_EQ(Error().message, Utf16("database file not found: " + path));
  EXPECT_TRUE(m_outcome.messages.empty());  // no completion for a run that never connected

  // The same file named by a connection string.
  EXPECT_EQ(Import(Utf16("Driver={SQLite3};Database=" + path)), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, Utf16("database file not found: " + path));

  // A path through a missing directory.
  EXPECT_EQ(Import(Utf16(m_dir.Path("no/such/dir.db"))), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, Utf16("database file not found: " + m_dir.Path("no/such/dir.db")));

  EXPECT_TRUE(Listing(m_dir.Path()).empty());
}

TEST_F(SqliteConnectTest, DirectoryIsRefused) {
  EXPECT_EQ(Import(Utf16(m_dir.Path())), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, Utf16("not a regular file: " + m_dir.Path() + " is a directory"));
  EXPECT_TRUE(Listing(m_dir.Path()).empty());
}

TEST_F(SqliteConnectTest, FileThatIsNoDatabaseFailsWithTheDriversReasonAndStaysAsItWas) {
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
  const std::string binary = m_dir.Path("noise.bin");
  const std::string text = m_dir.Path("notes.txt");
  WriteFile(binary, noise);
  WriteFile(text, "these are notes, not a database\n");

  for (const std::string& path : {binary, text}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(Import(Utf16(path)), ImportStatusConnectFailed);
    EXPECT_EQ(Error().sqlState, u"HY000");
    EXPECT_NE(Error().message.find(u"not a database"), std::u16string::npos) << Utf8(Error().message);
    // The message says which file.
    EXPECT_NE(Error().message.find(Utf16(path)), std::u16string::npos) << Utf8(Error().message);
  }
  EXPECT_EQ(ReadFile(binary), noise);
  EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"noise.bin", "notes.txt"}));
}

TEST_F(SqliteConnectTest, UnreadableFileIsRefused) {
  const std::string path = m_dir.Path("locked.db");
  SqliteFile(path).Exec("CREATE TABLE t(a);");
  ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(path.c_str(), 0), 0);

  // Root reads every file: the import then runs in a child process that
  // has given up root for an ordinary user.
  std::string message;
  int status = -1;
  if (geteuid() != 0) {
    status = Import(Utf16(path));
    message = Utf8(Error().message);
  } else {
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      close(channel[0]);
      std::string report = "setuid failed";
      if (setgid(65534) == 0 && setuid(65534) == 0) {
        const int childStatus = Import(Utf16(path));
        report = std::to_string(childStatus) + " " + Utf8(Error().message);
      }
      (void)!write(channel[1], report.data(), report.size());
      _exit(0);
    }
    close(channel[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    waitpid(child, nullptr, 0);
    const std::size_t blank = report.find(' ');
    ASSERT_NE(blank, std::string::npos) << report;
    status = std::stoi(report.substr(0, blank));
    message = report.substr(blank + 1);
  }
  EXPECT_EQ(status, ImportStatusConnectFailed) << message;
  EXPECT_EQ(message.rfind("cannot read database file: " + path + " (", 0), 0u) << message;
}

TEST_F(SqliteConnectTest, PathsWithSemicolonsBracesAndNonAsciiLettersOpen) {
  const std::string directory = m_dir.Path("we;ird}dir {ü} 😀");
  fs::create_directory(directory);
  const std::string path = directory + "/a;b}c=d%41?.db";
  SqliteFile(path).Exec("CREATE TABLE \"tä;ble}\"(x INT);");

  m_plugin.Api().Configure(Utf16(path), u"");
  GenericModel model(m_plugin.Api().modelType);
  ASSERT_EQ(RunImport(model).status, ImportStatusConnected) << Utf8(Error().message);
  EXPECT_TRUE(Error().IsEmpty());
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), Utf16(path));
  CMOObject* main = Child(model, *model.GetCMOObject(), model::Schema, u"main");
  ASSERT_NE(main, nullptr);
  EXPECT_NE(Child(model, *main, model::Table, u"tä;ble}"), nullptr);
  // Opened read-only: no journal or other file appeared beside it.
  EXPECT_EQ(Listing(directory), std::vector<std::string>{"a;b}c=d%41?.db"});
}

TEST_F(SqliteConnectTest, RelativePathIsTakenFromTheWorkingDirectory) {
  SqliteFile(m_dir.Path("rel.db")).Exec("CREATE TABLE t(x);");
  const fs::path previous = fs::current_path();
  fs::current_path(m_dir.Path());
  const int status = Import(u"rel.db");
  fs::current_path(previous);
  EXPECT_EQ(status, ImportStatusConnected) << Utf8(Error().message);
}

TEST_F(SqliteConnectTest, AttachmentsAreCheckedLikeTheMainFile) {
  const std::string main = m_dir.Path("main.db");
  SqliteFile(main).Exec("CREATE TABLE t(x);");
  const std::string missing = m_dir.Path("gone.db");

  EXPECT_EQ(Import(Utf16("Driver={SQLite3};Database=" + main + ";Attach=aux=" + missing)), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, Utf16("cannot attach \"aux\": database file not found: " + missing));

  EXPECT_EQ(Import(Utf16("Driver={SQLite3};Database=" + main + ";Attach=" + missing)), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message.rfind(u"Attach expects name=path", 0), 0u) << Utf8(Error().message);

  EXPECT_EQ(Import(Utf16("Driver={SQLite3};Database=" + main + ";Attach=MAIN=" + main)), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, u"cannot attach \"MAIN\": the name is already in use");

  const std::string noise = m_dir.Path("noise.db");
  WriteFile(noise, std::string(2048, 'x'));
  EXPECT_EQ(Import(Utf16("Driver={SQLite3};Database=" + main + ";Attach=aux=" + noise)), ImportStatusConnectFailed);
  EXPECT_NE(Error().message.find(u"not a database"), std::u16string::npos) << Utf8(Error().message);
  EXPECT_NE(Error().message.find(Utf16(noise)), std::u16string::npos) << Utf8(Error().message);

  EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"main.db", "noise.db"}));
}

TEST_F(SqliteConnectTest, ScopeNamingAnUnknownDatabaseIsRefused) {
  const std::string path = m_dir.Path("main.db");
  SqliteFile(path).Exec("CREATE TABLE t(x);");
  EXPECT_EQ(Import(Utf16(path), u"main, mian"), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, u"no database named \"mian\" in this connection (databases: main)");
}

TEST_F(SqliteConnectTest, ErrorIsClearedByTheNextConnect) {
  EXPECT_EQ(Import(u""), ImportStatusConnectFailed);
  EXPECT_EQ(Error().message, u"no database file given");
  const std::string path = m_dir.Path("ok.db");
  SqliteFile(path).Exec("CREATE TABLE t(x);");
  EXPECT_EQ(Import(Utf16(path)), ImportStatusConnected);
  EXPECT_TRUE(Error().IsEmpty());
}

}  // namespace
}  // namespace qm::test::sqlite

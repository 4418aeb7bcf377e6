// The files the SQLite plug-in says a source reads (InputFiles), which the
// host never writes its output over: the database and SQLite's files beside it.
#include <ImportHost.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qm::test::sqlite {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class SqliteInputFilesTest : public ::testing::Test {
 protected:
  QmSourceFiles Files(const std::string& source, const std::string& filePath = {}) {
    QmConnectOptions options;
    options.filePath = filePath;
    return m_plugin.Api().InputFiles(Utf16(source), options);
  }
  Strings Paths(const std::string& source, const std::string& filePath = {}) {
    Strings paths;
    for (const QmInputFile& file : Files(source, filePath).files) paths.push_back(file.path);
    return paths;
  }

  LoadedPlugin m_plugin{QM_SQLITE_PLUGIN};
};

// A database and the three files SQLite keeps beside it.
Strings Beside(const std::string& path) { return {path, path + "-journal", path + "-wal", path + "-shm"}; }

Strings Joined(std::initializer_list<Strings> lists) {
  Strings all;
  for (const Strings& list : lists) all.insert(all.end(), list.begin(), list.end());
  return all;
}

TEST_F(SqliteInputFilesTest, EveryFileASourceNamesIsRead) {
  const std::pair<std::string, Strings> cases[] = {
      {"/data/a.db", Beside("/data/a.db")},  // a plain path as the source
      {"Driver={SQLite3};Database=/data/a.db", Beside("/data/a.db")},
      {"Driver={SQLite3};Database= /data/a.db ", Beside("/data/a.db")},
      {"DSN=shop;database=/data/a.db", Beside("/data/a.db")},
      // A URI: the text itself (in case it is taken as a plain name) and the
      // file it names, %-escapes decoded.
      {"Driver={SQLite3};Database=file:/data/a%20b.db?mode=ro",
       Joined({Beside("file:/data/a%20b.db?mode=ro"), Beside("/data/a b.db")})},
      {"Driver={SQLite3};Database=file://localhost/data/a.db",
       Joined({Beside("file://localhost/data/a.db"), Beside("/data/a.db")})},
      {"Driver={SQLite3};Database=file://elsewhere/data/a.db", Beside("file://elsewhere/data/a.db")},
      {"Driver={SQLite3};Database=:memory:", {}},
      {"Driver={SQLite3};Database=/data/a.db;Attach={aux=/data/b;c.db};Attach=x=/data/d.db;Attach=broken",
       Joined({Beside("/data/a.db"), Beside("/data/b;c.db"), Beside("/data/d.db")})},
      {"Driver={PostgreSQL Unicode};Server=db", {}},  // no Database: nothing of this machine
  };
  for (const auto& [source, paths] : cases) EXPECT_EQ(Paths(source), paths) << source;
  // A path handed as a path is taken as it is, whatever it looks like.
  EXPECT_EQ(Paths("", "Driver=x;Database=y.db"), Beside("Driver=x;Database=y.db"));
  EXPECT_EQ(Files("", "/data/a.db").files[2].what, "the write-ahead log of the database /data/a.db");

  // SQLite's files beside the file a symbolic link leads to are read too.
  TempDir dir;
  WriteFile(dir.Path("real.db"), "");
  fs::create_symlink(dir.Path("real.db"), dir.Path("link.db"));
  const std::string real = fs::canonical(dir.Path("real.db")).string();
  EXPECT_EQ(Paths("", dir.Path("link.db")),
            Joined({Beside(dir.Path("link.db")), {real + "-journal", real + "-wal", real + "-shm"}}));
}

}  // namespace
}  // namespace qm::test::sqlite

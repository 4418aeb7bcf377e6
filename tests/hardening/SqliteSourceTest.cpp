// What quillmere-import opens for SQLite, and what it says when SQLite
// cannot read a database: a --sqlite path is always a path (whatever it
// looks like, whatever bytes it holds); a --connect string names its
// database as SQLite reads names, or is refused, and no file is ever
// created; a database that SQLite could only read by writing (a hot
// journal, WAL mode in a read-only folder) is refused with what is wrong
// and what to do.
#include "Nobody.h"

#include <ImportHost.h>
#include <SqliteCatalogue.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace qm::test::hardening {
namespace {

using Strings = std::vector<std::string>;

// The host, run in the directory (relative names are read from there).
ProcessResult HostIn(const std::string& directory, const Strings& args, ProcessOptions options = {}) {
  Strings shellArgs = {"-c", "cd \"$0\" && exec \"$@\"", directory, QM_IMPORT_EXE};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  options.timeoutSeconds = 60;
  ProcessResult result = RunProcess("/bin/sh", shellArgs, options);
  EXPECT_FALSE(result.timedOut) << Printed(result);
  return result;
}

struct Imported {
  Strings tables;            // the model's tables
  std::string databaseName;  // the root's database name
};

Imported Read(const std::string& json) {
  GenericModel model(0);
  ReadModelJson(json, model);
  return {Names(AllOfType(model, model::Table)), Text(*model.GetCMOObject(), model::DatabaseName)};
}

TEST(SqliteSourceTest, PathIsAlwaysAPath) {
  TempDir dir;
  // A file whose name reads like a connection string, and the database
  // that string names.
  SqliteFile(dir.Path("Driver={SQLite3};Database=other.db")).Exec("CREATE TABLE looks_like (a INTEGER);");
  SqliteFile(dir.Path("other.db")).Exec("CREATE TABLE other (a INTEGER);");
  // A name that is not UTF-8 (Latin-1 é).
  SqliteFile(dir.Path("caf\xE9.db")).Exec("CREATE TABLE latin (a INTEGER);");
  const auto before = Snapshot(dir.Path());

  const ProcessResult looks = HostIn(dir.Path(), {"--sqlite", "Driver={SQLite3};Database=other.db", "--quiet"});
  ASSERT_EQ(looks.exitCode, 0) << Printed(looks);
  EXPECT_EQ(Read(looks.out).tables, Strings{"looks_like"});

  const ProcessResult latin = HostIn(dir.Path(), {"--sqlite", "caf\xE9.db", "--quiet"});
  ASSERT_EQ(latin.exitCode, 0) << Printed(latin);
  const Imported imported = Read(latin.out);
  EXPECT_EQ(imported.tables, Strings{"latin"});
  // The model holds text: the byte that is no UTF-8 is shown escaped.
  EXPECT_EQ(imported.databaseName, fs::canonical(dir.Path()).string() + "/caf\\xe9.db");

  // A missing one is named escaped once, as the tree would show it, on
  // one line, and is not created.
  const ProcessResult missing = HostIn(dir.Path(), {"--sqlite", "gone\xE9\n.db"});
  EXPECT_EQ(missing.exitCode, 3) << Printed(missing);
  EXPECT_EQ(missing.err, "error: could not connect: database file not found: gone\\\\xe9\\n.db\n");
  EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the directory changed";
}

// Every connection string here either names a database SQLite can open
// without creating anything, or is refused; none leaves a file behind.
TEST(SqliteSourceTest, ConnectionStringNamesItsDatabaseAsSqliteReadsIt) {
  TempDir dir;
  SqliteFile(dir.Path("caf\xC3\xA9.db")).Exec("CREATE TABLE latte (a INTEGER);");
  fs::create_directory(dir.Path("data"));
  SqliteFile(dir.Path("data/shop.db")).Exec("CREATE TABLE from_dsn (a INTEGER);");
  // A driver registry of the test's own, with two data sources.
  fs::create_directory(dir.Path("registry"));
  WriteFile(dir.Path("registry/odbcinst.ini"), "[SQLite3]\nDriver=libsqlite3odbc.so\n");
  WriteFile(dir.Path("registry/odbc.ini"),
            "[shop]\nDriver=SQLite3\nDatabase=" + dir.Path("data/shop.db") + "\n[nodb]\nDriver=SQLite3\n");
  fs::create_directory(dir.Path("work"));
  const std::string work = dir.Path("work");
  ProcessOptions options;
  options.environment["ODBCSYSINI"] = dir.Path("registry");
  const auto before = Snapshot(dir.Path());

  struct Case {
    std::string database;  // what follows Driver={SQLite3}; in the string
    int exitCode;
    std::string says;      // a part of standard error; for exit 0, the tables ("" for none)
  };
  const std::string here = work + "/";
  const Case cases[] = {
      // No database: SQLite3 would make up a file named after the string.
      {"", 2, "error: the connection string names no database: it needs Database=PATH (its keys: Driver)"},
      {";Databse=x.db", 2, "(its keys: Driver, Databse)"},
      {";Database=", 2, "names no database"},
      {";Database=  ", 2, "names no database"},
      {";Database=file:", 3, "the SQLite URI \"file:\" names no database file"},
      {";Database=file:?mode=ro", 3, "names no database file"},
      {";DSN=nodb", 3, "the data source \"nodb\" names no database"},
      {";DSN=shop", 0, "from_dsn"},
      // URI parameters as SQLite reads them, values exact (every name and
      // parameter against SQLite itself: SqliteFileNameTest).
      {";Database=file:x.db?xmode=memory", 3, "database file not found: x.db"},
      {";Database=file:x.db?mode=MEMORY", 3, "SQLite cannot open \"file:x.db?mode=MEMORY\": no such access mode: MEMORY"},
      {";Database=file:x.db?mode=rwc", 3, "access mode not allowed: rwc"},
      {";Database=file:x%00y.db", 3, "database file not found: x\n"},
      {";Database=FILE:x.db", 3, "database file not found: FILE:x.db"},
      {";Database=file:x.db?mode=memory", 0, ""},
      {";Database=:memory:", 0, ""},
      // Non-ASCII names reach the driver intact, as a path or as a URI.
      {";Database=" + dir.Path("caf\xC3\xA9.db"), 0, "latte"},
      {";Database=file:" + dir.Path("caf\xC3\xA9.db"), 0, "latte"},
      {";NoCreat=0;Database=../caf%C3%A9.db", 3, "database file not found: ../caf%C3%A9.db"},
      {";NoCreat=0;Database=file:../caf%C3%A9.db", 0, "latte"},
  };
  for (const Case& c : cases) {
    const std::string connect = "Driver={SQLite3}" + c.database;
    SCOPED_TRACE(connect);
    ProcessOptions run = options;
    if (c.database == ";DSN=shop") {
      // unixODBC never frees what it reads for a data source it connects
      // through (1.6 KB per connect, measured with a plain C client), so
      // under the leak checker that one run is not checked for leaks.
      const char* asan = std::getenv("ASAN_OPTIONS");
      run.environment["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
    }
    const ProcessResult result = HostIn(work, {"--connect", connect, "--quiet"}, run);
    EXPECT_EQ(result.exitCode, c.exitCode) << Printed(result);
    if (c.exitCode == 0) {
      const Strings tables = Read(result.out).tables;
      EXPECT_EQ(tables, c.says.empty() ? Strings() : Strings{c.says});
    } else {
      EXPECT_NE(result.err.find(c.says), std::string::npos) << Printed(result);
      EXPECT_EQ(Lines(result.err).size(), 1u) << Printed(result);
      EXPECT_TRUE(result.out.empty());
    }
    EXPECT_TRUE(Snapshot(dir.Path()) == before) << "a file was created or changed";
  }
}

// A database left with a hot journal by a writer that crashed: SQLite would
// roll it back before reading, which the read-only import cannot do.
TEST(SqliteSourceTest, HotJournalIsNamedWithWhatToDo) {
  TempDir dir;
  const std::string path = dir.Path("crashed.db");
  SqliteFile(path).Exec(
      "CREATE TABLE t (a BLOB); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5000) "
      "INSERT INTO t SELECT randomblob(100) FROM c;");
  // The writer: changes every row with a one-page cache, so that changed
  // pages reach the file, and dies before it commits.
  const pid_t writer = ::fork();
  if (writer == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK)
      sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE t SET a = randomblob(100);", nullptr, nullptr, nullptr);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_GT(fs::file_size(path + "-journal"), 0u) << "no hot journal to test with";
  const auto before = Snapshot(dir.Path());

  const ProcessResult result = HostIn(dir.Path(), {"--sqlite", path});
  EXPECT_EQ(result.exitCode, 3) << Printed(result);
  EXPECT_EQ(result.err.rfind("error: could not connect: the database " + path + " has a hot journal (" + path +
                                 "-journal) left by a writer that did not finish;",
                             0),
            0u)
      << Printed(result);
  EXPECT_NE(result.err.find("Open the database once with write access"), std::string::npos);
  EXPECT_EQ(Lines(result.err).size(), 1u);
  EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the database or its journal changed";
}

// A database in WAL mode in a folder the user cannot write to: SQLite must
// create its -shm and -wal files to read it (root writes everywhere).
TEST(SqliteSourceTest, WalDatabaseInAReadOnlyFolderIsNamedWithWhatToDo) {
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::create_directory(dir.Path("readonly"));
  const std::string path = dir.Path("readonly/journal.db");
  SqliteFile(path).Exec("PRAGMA journal_mode = WAL; CREATE TABLE t (a INTEGER);");
  ASSERT_FALSE(fs::exists(path + "-wal")) << "SQLite left its WAL files after closing";
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir.Path("readonly"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

  ProcessOptions options;
  options.timeoutSeconds = 60;
  const ProcessResult result = RunHostAsNobody({"--sqlite", path}, options);
  EXPECT_EQ(result.exitCode, 3) << Printed(result);
  EXPECT_EQ(result.err.rfind("error: could not connect: the database " + path +
                                 " is in WAL mode and its folder is read-only: to read it SQLite must create " + path +
                                 "-shm and " + path + "-wal beside it.",
                             0),
            0u)
      << Printed(result);
  EXPECT_EQ(Lines(result.err).size(), 1u);
  fs::permissions(dir.Path("readonly"), fs::perms::owner_all, fs::perm_options::add);
}

}  // namespace
}  // namespace qm::test::hardening

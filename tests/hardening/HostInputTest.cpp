// quillmere-import given what it cannot use: a wrong command line; files
// missing, not regular, not SQLite, damaged, left by a crashed writer or
// unreadable; connection strings and URIs naming no file; drivers and data
// sources no one installed; output it cannot write; passwords everywhere.
// Each ends in one "error: " line (plus where to look for help for a
// refused command line) and its exit code, never a crash or a hang, with
// nothing on standard output, no file created or changed and no password
// printed. A --sqlite path is always a path; a --connect string names its
// database as SQLite reads names.
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const std::string kSecret = "hostile-input-pw-5";
constexpr fs::perms kEveryoneReads = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec;

// quillmere-import and its libraries copied into dir where another user can
// run them (the build folder may be in a checkout only its owner can
// enter); the copy's path.
std::string Staged(const TempDir& dir) {
  const fs::path built = fs::path(QM_IMPORT_EXE);
  const fs::path bin = fs::path(dir.Path("bin")), lib = fs::path(dir.Path("lib/quillmere"));
  fs::create_directories(bin);
  fs::create_directories(lib / "plugins");
  fs::copy_file(built, bin / built.filename());
  const fs::path builtLib = built.parent_path().parent_path() / "lib" / "quillmere";
  for (const char* folder : {"", "plugins"})
    for (const fs::directory_entry& entry : fs::directory_iterator(builtLib / folder))
      if (entry.path().filename().string().find(".so") != std::string::npos)
        fs::copy(entry.path(), lib / folder / entry.path().filename(), fs::copy_options::copy_symlinks);
  // Readable and runnable by anyone, whatever the umask the build ran under.
  std::vector<fs::path> paths = {fs::path(dir.Path()), bin, lib.parent_path(), bin / built.filename()};
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(lib.parent_path()))
    if (!entry.is_symlink()) paths.push_back(entry.path());
  for (const fs::path& path : paths) fs::permissions(path, kEveryoneReads);
  return (bin / built.filename()).string();
}

// The built host; asNobody when the test runs as root (who reads every
// file), a staged copy of it as the unprivileged user nobody.
ProcessResult RunHostAsNobody(const Strings& args, ProcessOptions options, bool asNobody) {
  if (!asNobody || ::geteuid() != 0) return RunProcess(QM_IMPORT_EXE, args, options);
  EXPECT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "running as root needs /usr/bin/setpriv";
  static const TempDir stage;
  static const std::string program = Staged(stage);
  // The build's run path names the build folder: the loader must look here.
  options.environment["LD_LIBRARY_PATH"] = stage.Path("lib/quillmere");
  options.environment["QM_LIB_DIR"] = stage.Path("lib/quillmere");
  Strings all = {"--reuid=65534", "--regid=65534", "--clear-groups", "--", program};
  all.insert(all.end(), args.begin(), args.end());
  return RunProcess("/usr/bin/setpriv", all, options);
}

struct Case {
  Strings args;
  int exitCode;
  std::string says;          // exit 0: the table imported ("" for none); else a part of the line (a line's end
                             // when it ends in "\n")
  bool asNobody = false;     // run as an unprivileged user: root reads every file
  std::string database = {};  // exit 0: the model's database name, when checked
  std::string warning = {};   // exit 0: standard error, whole
};

TEST(HostInputTest, EveryBadInputIsOneLineAndItsExitCode) {
  TempDir dir;
  fs::permissions(dir.Path(), kEveryoneReads);  // reachable by the unprivileged user
  const auto Path = [&](const std::string& name) { return dir.Path(name); };
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
  SqliteFile(Path("caf\xC3\xA9.db")).Exec("CREATE TABLE latte (a INTEGER);");
  fs::create_directory(Path("data"));
  SqliteFile(Path("data/shop.db")).Exec("CREATE TABLE from_dsn (a INTEGER);");
  // The host's folder: a file named like a connection string, the database it names, a non-UTF-8 name.
  fs::create_directory(Path("work"));
  SqliteFile(Path("work/Driver={SQLite3};Database=other.db")).Exec("CREATE TABLE looks_like (a INTEGER);");
  SqliteFile(Path("work/other.db")).Exec("CREATE TABLE other (a INTEGER);");
  SqliteFile(Path("work/caf\xE9.db")).Exec("CREATE TABLE latin (a INTEGER);");
  fs::create_directory(Path("registry"));
  WriteFile(Path("registry/odbcinst.ini"), ReadFile("/etc/odbcinst.ini"));
  WriteFile(Path("registry/odbc.ini"),
            "[shop]\nDriver=SQLite3\nDatabase=" + Path("data/shop.db") + "\n[nodb]\nDriver=SQLite3\n");
  // An empty file is an empty SQLite database, imported read-only: it stays empty.
  WriteFile(Path("empty.db"), "");
  // SQLite could read these only by writing: a hot journal left by a crashed
  // writer, and WAL mode in a folder the user cannot write to.
  const std::string crashed = Path("crashed.db");
  SqliteFile(crashed).Exec(
      "CREATE TABLE t (a BLOB); WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5000) "
      "INSERT INTO t SELECT randomblob(100) FROM c;");
  // Every row changed with a one-page cache, so pages reach the file; no commit.
  const pid_t writer = ::fork();
  if (writer == 0) {
    sqlite3* db = nullptr;
    if (sqlite3_open(crashed.c_str(), &db) == SQLITE_OK)
      sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE t SET a = randomblob(100);", nullptr, nullptr, nullptr);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_GT(fs::file_size(crashed + "-journal"), 0u) << "no hot journal to test with";
  fs::create_directory(Path("readonly"));
  const std::string wal = Path("readonly/journal.db");
  SqliteFile(wal).Exec("PRAGMA journal_mode = WAL; CREATE TABLE t (a INTEGER);");
  ASSERT_FALSE(fs::exists(wal + "-wal")) << "SQLite left its WAL files after closing";
  fs::permissions(wal, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(Path("readonly"), kEveryoneReads & ~fs::perms::owner_write);

  const std::string missing = Path("missing.db");
  const std::string sqlite = "Driver={SQLite3}";
  const std::string real = sqlite + ";Database=" + Path("real.db");
  const std::string empty = "warning: the database file " + Path("empty.db") +
                            " is empty (0 bytes): SQLite reads it as an empty database, so the model holds no objects\n";
  const std::string pgRefused = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Uid=u;Pwd=" + kSecret;
  std::vector<Case> cases = {
      {{"--format", "xml"}, 2, ""},
      {{"--no-such-option"}, 2, ""},
      {{"--sqlite", Path("a.db"), "--connect", sqlite + ";Database=" + Path("a.db")}, 2, ""},
      {{"--sqlite"}, 2, ""},
      {{"unexpected", "Pwd=" + kSecret}, 2, ""},
      {{"--connect", "DSN=warehouse;PWD={" + kSecret + "}"}, 2,
       "names a data source but no Driver, so the plug-in cannot be chosen; name its Driver too, or choose the "
       "plug-in with --plugin NAME or --mariadb STRING or --postgres STRING"},
      {{"--generic", "--connect", "DSN=shop"}, 0, "from_dsn"},
      // A driver not installed is named before any plug-in tries it.
      {{"--connect", "Driver={Oracle 19};Uid=scott;Password=" + kSecret}, 3, "the ODBC driver \"Oracle 19\" is not installed"},
      {{"--connect", "Database=x.db"}, 2,
       "error: the connection string names no Driver (e.g. Driver={MariaDB Unicode}, Driver={PostgreSQL Unicode} or "
       "Driver={SQLite3})"},
      {{"--connect", pgRefused}, 3, "could not connect: ["},
      {{"--postgres", pgRefused}, 3, "could not connect: ["},
      {{"--postgres", "Driver={No Such Driver 9};Server=127.0.0.1;Pwd=" + kSecret}, 3, "could not connect"},
      {{"--postgres", "DSN=no_such_dsn_9;Pwd=" + kSecret}, 3, "could not connect"},
      {{"--sqlite", missing}, 3, "could not connect: database file not found: " + missing},
      {{"--sqlite", dir.Path()}, 3, "could not connect: not a regular file: " + dir.Path() + " is a directory"},
      {{"--sqlite", Path("notes.txt")}, 3, "[HY000] [SQLite]file is not a database (26) (" + Path("notes.txt") + ")"},
      {{"--sqlite", Path("private.db")}, 3, "cannot read database file: " + Path("private.db") + " (Permission denied)", true},
      {{"--sqlite", Path("line\nbreak.db")}, 3, ""},
      // A missing path is named escaped once, as the tree shows it.
      {{"--sqlite", "gone\xE9\n.db"}, 3, "error: could not connect: database file not found: gone\\\\xe9\\n.db\n"},
      {{"--sqlite", "Driver={SQLite3};Database=other.db"}, 0, "looks_like"},
      // The model holds text: the byte that is no UTF-8 is shown escaped.
      {{"--sqlite", "caf\xE9.db"}, 0, "latin", false, fs::canonical(Path("work")).string() + "/caf\\xe9.db"},
      {{"--connect", real + ";Attach=aux=" + missing}, 3, "cannot attach \"aux\": database file not found: " + missing},
      {{"--connect", real + ";Attach=" + missing}, 3, "could not connect: Attach expects name=path, got \"" + missing},
      {{"--connect", real + ";Attach=MAIN=" + Path("real.db")}, 3, "cannot attach \"MAIN\": the name is already in use"},
      {{"--connect", real + ";Attach=aux=" + Path("notes.txt")}, 3, "not a database (26) (attaching " + Path("notes.txt")},
      {{"--sqlite", Path("real.db"), "--schema", "main, mian"}, 2,
       "error: --schema: no database named \"mian\" in this connection (databases: main)"},
      // A schema list the plug-in could only guess at is refused before connecting (port 1: exit 3).
      {{"--postgres", pgRefused, "--schema", "public,\"a,b"}, 2,
       "error: --schema: the quoted name \"a,b has no closing quote (a quote inside a quoted name is written \"\")"},
      {{"--sqlite", missing, "--schema", "\"main\"x, temp"}, 2,
       "error: --schema: the quoted name \"main\" must be followed by a comma, not by x"},
      {{"--quiet", "-o", dir.Path()}, 2, ""},
      {{"--quiet", "-o", Path("no/such/dir.json")}, 4, ""},
      {{"--sqlite=" + Path("empty.db")}, 0, "", false, "", empty},
      {{"--connect=Driver={SQLite3};Database=file:" + Path("empty.db")}, 0, "", false, "", empty},
      {{"--sqlite", crashed}, 3,
       "error: could not connect: the database " + crashed + " has a hot journal (" + crashed +
           "-journal) left by a writer that did not finish; SQLite must roll it back before reading, which needs "
           "write access, and the import opens databases read-only. Open the database once with write access"},
      {{"--sqlite", wal}, 3,
       "error: could not connect: the database " + wal + " is in WAL mode and its folder is read-only: to read it "
       "SQLite must create " + wal + "-shm and " + wal + "-wal beside it.", true},
  };
  // Connection strings name a database SQLite opens without creating one,
  // or are refused (every name against SQLite itself: SqliteFileNameTest).
  const std::pair<std::string, std::pair<int, std::string>> connects[] = {
      {"", {2, "error: the connection string names no database: it needs Database=PATH (its keys: Driver)"}},
      {";Databse=x.db", {2, "(its keys: Driver, Databse)"}},
      {";Database=", {2, "names no database"}},
      {";Database=  ", {2, "names no database"}},
      {";Database=file:", {3, "the SQLite URI \"file:\" names no database file"}},
      {";Database=file:?mode=ro", {3, "names no database file"}},
      {";DSN=nodb", {3, "the data source \"nodb\" names no database"}},
      {";DSN=shop", {0, "from_dsn"}},
      {";Database=file:x.db?xmode=memory", {3, "database file not found: x.db"}},
      {";Database=file:x.db?mode=MEMORY", {3, "SQLite cannot open \"file:x.db?mode=MEMORY\": no such access mode: MEMORY"}},
      {";Database=file:x.db?mode=rwc", {3, "access mode not allowed: rwc"}},
      {";Database=file:x%00y.db", {3, "database file not found: x\n"}},
      {";Database=FILE:x.db", {3, "database file not found: FILE:x.db"}},
      {";Database=file:x.db?mode=memory", {0, ""}},
      {";Database=:memory:", {0, ""}},
      // Non-ASCII names reach the driver intact, as a path or as a URI.
      {";Database=" + Path("caf\xC3\xA9.db"), {0, "latte"}},
      {";Database=file:" + Path("caf\xC3\xA9.db"), {0, "latte"}},
      {";NoCreat=0;Database=../caf%C3%A9.db", {3, "database file not found: ../caf%C3%A9.db"}},
      {";NoCreat=0;Database=file:../caf%C3%A9.db", {0, "latte"}},
      {";Database=" + missing + ";PWD=" + kSecret, {3, "database file not found"}},
      {";Database=" + Path("no such dir/x.db"), {3, "database file not found: "}},
      {";Database=file:" + missing, {3, "database file not found: " + missing}},
      {";Database=file://localhost" + missing + "?cache=shared", {3, "database file not found: " + missing}},
      {";Database=file:" + Path("missing%2Edb"), {3, "database file not found: " + missing}},
  };
  for (const auto& [database, expected] : connects)
    cases.push_back({{"--connect", sqlite + database}, expected.first, expected.second});
  // What is not a regular file is never opened (a pipe would wait, a device
  // never end); damaged or foreign files are refused and left alone.
  const std::pair<std::string, std::string> files[] = {
      {Path("pipe.db"), "not a regular file"}, {Path("directory.db"), "not a regular file"},
      {"/dev/zero", "not a regular file"},     {Path("notes.txt"), "[HY000] "},
      {Path("garbage.db"), ""},               {Path("truncated.db"), ""},
      {Path("image.png"), ""}};
  for (const auto& [path, says] : files) {
    cases.push_back({{"--sqlite", path}, 3, says});
    cases.push_back({{"--connect", sqlite + ";Database=" + path}, 3, says});
  }

  for (Case& c : cases) {
    ProcessOptions options;
    options.timeoutSeconds = 60;
    options.workingDirectory = Path("work");  // relative names are read from there
    options.environment["ODBCSYSINI"] = Path("registry");
    if (c.asNobody && ::geteuid() != 0) {
      ::chmod(Path("private.db").c_str(), 0);
    } else if (c.exitCode == 0) {
      c.args.push_back("--quiet");
    } else if (!c.asNobody && std::find(c.args.begin(), c.args.end(), "-o") == c.args.end()) {
      c.args.insert(c.args.end(), {"-o", Path("kept.json")});
    }
    std::string trace;
    for (const std::string& arg : c.args) trace += arg + " ";
    SCOPED_TRACE(trace);
    if (trace.find("DSN=shop") != std::string::npos) {
      // unixODBC leaks what it reads for a data source (1.6 KB per connect).
      const char* asan = std::getenv("ASAN_OPTIONS");
      options.environment["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
    }
    const auto before = Snapshot(dir.Path());
    const ProcessResult result = RunHostAsNobody(c.args, options, c.asNobody);
    EXPECT_FALSE(result.timedOut) << Printed(result);
    EXPECT_EQ(result.exitCode, c.exitCode) << Printed(result);
    EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the directory changed\n" << Printed(result);
    if (c.exitCode == 0) {
      EXPECT_EQ(result.err, c.warning);
      GenericModel model(0);
      ReadModelJson(result.out, model);
      EXPECT_EQ(Names(AllOfType(model, model::Table)), c.says.empty() ? Strings() : Strings{c.says});
      EXPECT_TRUE(c.database.empty() || Text(*model.GetCMOObject(), model::DatabaseName) == c.database)
          << result.out;
      continue;
    }
    // One line; a command line the parser refused adds where to look.
    const Strings lines = Lines(result.err);
    const Strings hint = {"Run 'quillmere-import --help' for the options."};
    ASSERT_FALSE(lines.empty()) << Printed(result);
    EXPECT_EQ(lines[0].rfind("error: ", 0), 0u) << Printed(result);
    EXPECT_TRUE(lines.size() == 1 || (c.exitCode == 2 && Strings(lines.begin() + 1, lines.end()) == hint))
        << Printed(result);
    EXPECT_NE(result.err.find(c.says), std::string::npos) << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    EXPECT_EQ(result.err.find(kSecret), std::string::npos) << Printed(result);
  }
  fs::permissions(Path("readonly"), fs::perms::owner_all, fs::perm_options::add);
}

}  // namespace
}  // namespace qm::test::hardening

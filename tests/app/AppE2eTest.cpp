// End-to-end tests of quillmere-import: the real executable, run as a
// subprocess, loads the real module and plug-ins and reads databases
// through the real driver manager and drivers. The models it writes are
// checked against what the database itself reports. Bad input of every kind
// is in tests/hardening/HostInputTest.cpp.
#include "HostProcess.h"

#include <writers/OutputFormats.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <sstream>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

const std::string kSecret = "secret123";

// With no database named, the bundled sample is imported: the model holds
// exactly what SQLite reports about the sample's script, progress goes to
// standard error as plain lines (no terminal control on a pipe), and
// --quiet silences it.
TEST(AppTest, SampleModelMatchesWhatSqliteReports) {
  TempDir dir;
  SqliteFile(dir.Path("reference.db")).Exec(ReadFile(QM_SAMPLE_SQL));
  const Strings expected = SqliteCatalogueLines(dir.Path("reference.db"));
  ASSERT_GT(expected.size(), 100u);

  const ProcessResult result = Host({"-o", dir.Path("model.json")});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_TRUE(HasLine(result.err, "importing tables")) << result.err;
  EXPECT_TRUE(HasLine(result.err, "tables: 14")) << result.err;
  EXPECT_NE(result.err.find("\nimported 1 schema, 14 tables, "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\r'), std::string::npos);
  GenericModel model(0);
  ReadModelJson(ReadFile(dir.Path("model.json")), model);
  EXPECT_EQ(LineDifference(expected, SqliteModelLines(model)), "");
  EXPECT_FALSE(Text(*model.GetCMOObject(), model::DatabaseName).empty());

  const ProcessResult quiet = Host({"--quiet"});
  ASSERT_EQ(quiet.exitCode, 0) << Printed(quiet);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(TableNames(quiet.out).size(), 14u);
}

// Every format of the table reaches the command line: --format NAME
// writes the sample in it, without an error, and whole (its 14 tables with
// their columns are several kilobytes in any format). What each writer
// writes is tested in process, tests/writers/.
TEST(AppTest, EveryFormatWritesTheSample) {
  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    const ProcessResult result = Host({"--format", std::string(format.name), "--quiet"});
    EXPECT_EQ(result.exitCode, 0) << format.name << "\n" << Printed(result);
    EXPECT_GT(result.out.size(), 2000u) << format.name;
    EXPECT_TRUE(format.name != "tree" || HasLine(result.out, "  table \"audit log\"")) << result.out;
    if (format.name == "svg") {
      // Packed about as a window is shaped: neither way three times the other.
      const std::size_t width = result.out.find(" width=\""), height = result.out.find(" height=\"");
      ASSERT_TRUE(width != std::string::npos && height != std::string::npos) << result.out.substr(0, 500);
      const double w = std::stod(result.out.substr(width + 8)), h = std::stod(result.out.substr(height + 9));
      EXPECT_LE(std::max(w / h, h / w), 3.0) << "the sample's diagram: " << w << " x " << h;
    }
  }
  // An unknown format: the formats there are are named.
  ExpectRuns({{{"--format", "xml", "--quiet"}, 2, "json"}});
}

// The README's section "Output formats" lists exactly the table's formats,
// one "- `NAME`: ..." item each, and its option table names the default.
TEST(AppTest, ReadmeListsExactlyTheFormatsOfTheTable) {
  std::istringstream readme(ReadFile(QM_README));
  Strings names, listed;
  for (const writers::OutputFormat& format : writers::OutputFormats()) names.emplace_back(format.name);
  bool inSection = false, named = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("#", 0) == 0) inSection = line.substr(line.find(' ') + 1) == "Output formats";
    const std::size_t end = line.find("`:", 3);
    if (inSection && line.rfind("- `", 0) == 0 && end != std::string::npos) listed.push_back(line.substr(3, end - 3));
    if (line.rfind("| `--format", 0) == 0)
      named = line.find("default `" + std::string(writers::DefaultOutputFormat().name) + "`") != std::string::npos;
  }
  EXPECT_EQ(listed, names);
  EXPECT_TRUE(named) << "README's option table does not name the default format";
}

// Usage errors name the option, and never print a password the command
// line holds; a URL is masked where the option parser quotes it.
TEST(AppTest, UsageErrorsNameTheOption) {
  std::vector<HostRun> runs = {
      {{"--sqlite", "a", "--postgres", "b"}, 2, "excludes"},
      {{"--postgres", "a", "--connect", "b"}, 2, "excludes"},
      {{"--plugin", "sqlite"}, 2, "--connect"},
      {{"--plugin", "../lib/qm_sqlite", "--connect", "x"}, 2, "--plugin takes a plug-in's short name"},
      {{"--oracle=Pwd=secret"}, 2, "unknown option --oracle ("},
      {{"--connect", "Driver=x;PWD=secret", "Server=y;Pwd=hidden"}, 2, "--connect excludes URL"},
      {{"postgresql://me:secret@db", "--dsn", "shop"}, 2, "excludes"},
      {{"sqlite:x.db", "postgresql://me:secret@db"}, 2, "postgresql://me:****@db"},
      {{"sqlite:x.db", "postgres://db/shop?password=hidden&sslmode=require"}, 2,
       "postgres://db/shop?password=****&sslmode=require"},
      {{"--format", "svg", "--depth", "2"}, 2, "--depth"},
      {{"--format", "svg", "--around", "orders", "--depth", "-1"}, 2, "--depth"},
      {{"--format", "svg", "--around", "orders", "--depth", "x"}, 2, "--depth"},
  };
  for (const Strings& args : {Strings{"--sqlite", ""}, Strings{"--connect", ""}, Strings{"--dsn", ""},
                              Strings{"--plugin", "", "--connect", "x"}, Strings{"--around", ""}})
    runs.push_back({args, 2, "error: " + args[0] + " needs a value that is not empty\n"});
  // --around is for the formats that draw a diagram.
  for (const writers::OutputFormat& format : writers::OutputFormats())
    if (!format.diagram)
      runs.push_back({{"--format", std::string(format.name), "--around", "orders"}, 2,
                      "error: --around draws part of a diagram, and --format " + std::string(format.name) +
                          " has none (formats with one: "});
  ExpectRuns(runs, {}, {"secret", "hidden"});
}

// Ctrl-C during an import: the import stops reading and ends normally, the
// host exits with 130 and writes nothing; an existing output file is kept.
// The host sends itself the SIGINT after the first progress message (a
// test-only switch), so the key press lands inside the import every time.
TEST(AppTest, InterruptCancelsAndWritesNothing) {
  TempDir dir;
  CreateLargeDatabase(dir.Path("big.db"));
  WriteFile(dir.Path("model.json"), "previous model\n");
  ProcessOptions options;
  options.environment["QM_TEST_INTERRUPT_AFTER_PROGRESS"] = "1";
  ExpectRuns({{{"--sqlite", dir.Path("big.db"), "-o", dir.Path("model.json")}, 130, "cancelled"}}, options);
  EXPECT_EQ(ReadFile(dir.Path("model.json")), "previous model\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << "a file left beside it";
  ExpectRuns({{{"--sqlite", dir.Path("big.db")}, 130, "cancelled", {}, ""}}, options);
}

// The module and the plug-ins come from QM_LIB_DIR when it is set; what is
// missing there is named, and nothing is imported. The database options
// are those of the plug-ins found: without the PostgreSQL plug-in there is
// no --postgres, and the error says where the options come from.
TEST(AppTest, MissingModuleOrPluginIsNamed) {
  TempDir dir;
  ProcessOptions options;
  options.environment["QM_LIB_DIR"] = dir.Path();
  const std::string noModule = "the import module could not be loaded: " + dir.Path("libschemaimport.so.0");
  ExpectRuns({{{"--quiet"}, 4, noModule},
              {{"--sqlite", "shop.db"}, 4, noModule},
              {{"--list-plugins"}, 4, noModule},
              {{"--version"}, 0, ""}},
             options);

  // The module and the SQLite plug-in only: PostgreSQL is not available,
  // the sample still is.
  fs::create_directory(dir.Path("plugins"));
  for (const char* name : {"libschemaimport.so.0", "plugins/libqm_sqlite.so"})
    fs::create_symlink(fs::canonical(LibraryFolder() / name), fs::path(dir.Path()) / name);
  ExpectRuns(
      {
          {{"--postgres", "Server=127.0.0.1;Port=1;Pwd=" + kSecret}, 2,
           "error: unknown option --postgres (the options that name a database come from the plug-ins found: see "
           "--list-plugins)\nRun 'quillmere-import --help' for the options.\n"},
          {{"--connect", "Driver={PostgreSQL Unicode};Server=127.0.0.1;Pwd=" + kSecret}, 2,
           "error: no plug-in reads databases of the ODBC driver \"PostgreSQL Unicode\"; known drivers: "
           "SQLite3, libsqlite3odbc.so\n"},
          {{"--quiet"}, 0, ""},
      },
      options, {kSecret});
  const ProcessResult help = Host({"--help"}, options);
  EXPECT_NE(help.out.find("--sqlite PATH"), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("--postgres"), std::string::npos) << help.out;
}

// --plugin NAME picks the plug-in that reads a --connect source by the name
// its table gives, whatever the connection string's Driver; plug-ins are
// found in the plug-in folder and in the folders of QM_PLUGIN_PATH (whose
// empty entries never mean the current folder). A driver no plug-in lists
// goes to the plug-in that serves any driver; --generic sends a source
// there whatever its driver. (A name that could be a path: OptionsTest; an
// output that is the database read, for any plug-in: AppHostileUseTest.)
TEST(AppTest, PluginOptionsPickThePlugin) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db")).Exec("CREATE TABLE t (a INTEGER);");
  const std::string connect = "Driver={SQLite3};Database=" + dir.Path("shop.db");
  fs::create_directory(dir.Path("module"));
  fs::create_symlink(LibraryFolder() / "libschemaimport.so.0", dir.Path("module/libschemaimport.so.0"));
  fs::create_directory(dir.Path("more"));
  fs::create_symlink(LibraryFolder() / "plugins/libqm_sqlite.so", dir.Path("more/libqm_sqlite.so"));

  // The library folder holds the module and no plug-in; the plug-in is in a folder
  // of QM_PLUGIN_PATH, and is found there, by name and by its shortcut.
  ProcessOptions path;
  path.environment["QM_LIB_DIR"] = dir.Path("module");
  path.environment["QM_PLUGIN_PATH"] = "::" + dir.Path("more");
  ExpectRuns({{{"--plugin", "sqlite", "--connect", connect, "--quiet"}, 0, "", {"t"}},
              {{"--sqlite", dir.Path("shop.db"), "--quiet"}, 0, "", {"t"}},
              {{"--plugin", "renamed", "--connect", connect, "--quiet"}, 4,
               "no plug-in named \"renamed\": found: sqlite, in " + dir.Path("module/plugins") + " and " +
                   dir.Path("more")}},
             path);
  ProcessOptions currentFolder = path;
  currentFolder.environment["QM_PLUGIN_PATH"] = "::";
  currentFolder.workingDirectory = dir.Path("more");
  ExpectRuns({{{"--plugin", "sqlite", "--connect", connect, "--quiet"}, 4,
               "no plug-in named \"sqlite\": none was found"}},
             currentFolder);

  // A Driver given as the library's path is the plug-in's that lists that file.
  const ProcessResult byPath =
      Host({"--connect", "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;Database=" + dir.Path("shop.db")});
  ASSERT_EQ(byPath.exitCode, 0) << Printed(byPath);
  EXPECT_EQ(nlohmann::json::parse(byPath.out)["properties"]["sqlDialect"], "sqlite");

  // Registered with odbcinst, but its library is not installed: the generic
  // plug-in takes it, and the driver manager says why it cannot connect.
  ExpectRuns({{{"--generic", "--connect", connect, "--quiet"}, 0, "", {"t"}},
              {{"--connect", "Driver={SQLite};Database=" + dir.Path("shop.db"), "--quiet"}, 3, ""},
              {{"--generic", "--plugin", "sqlite", "--connect", connect}, 2, ""},
              {{"--generic"}, 2, ""}});
}

// --list-plugins shows what the host found and what it refused, and why;
// the libraries refused do not stop an import with the others.
TEST(AppTest, ListPluginsShowsWhatWasFoundAndWhatWasRefused) {
  ProcessOptions options;
  options.environment["QM_PLUGIN_PATH"] = QM_HANDMADE_DIR;
  const ProcessResult list = Host({"--list-plugins"}, options);
  ASSERT_EQ(list.exitCode, 0) << Printed(list);
  const std::string libs = (LibraryFolder() / "plugins").string();
  for (const std::string& line : Strings{
           "postgres  PostgreSQL servers, through psqlODBC", "          option:  --postgres STRING",
           "sqlite    SQLite database files, through the SQLite3 ODBC driver (read-only)",
           "          drivers: SQLite3, libsqlite3odbc.so", "          option:  --sqlite PATH",
           "          sample:  yes (imported when no database is named)", "          file:    " + libs + "/libqm_sqlite.so",
           "          drivers: any other (no plug-in lists it)",
           "  " QM_HANDMADE_DIR "/libqm_handmade_version2.so: built for plug-in interface version 2; this host uses "
           "version " + std::to_string(QM_PLUGIN_ABI_VERSION) + " (rebuild it against this SDK)",
           "  " QM_HANDMADE_DIR "/libqm_handmade_noentry.so: not a plug-in: it exports no QmGetPluginApi (not loaded)",
           "Looked in: " + libs + ", " QM_HANDMADE_DIR " (the plug-in folder, then QM_PLUGIN_PATH)"})
    EXPECT_TRUE(HasLine(list.out, line)) << line << "\n" << list.out;
  EXPECT_NE(list.out.find(QM_HANDMADE_DIR "/libqm_handmade_stamp.so: built as \"sdk-0.1 othercc-9"), std::string::npos)
      << list.out;
  EXPECT_TRUE(list.err.empty()) << list.err;
  EXPECT_EQ(Host({"--quiet", "--format", "tree"}, options).exitCode, 0);
}

// The connection form (--prompt), answered on standard input: Enter keeps
// every value, an answer replaces one, end of input cancels (130, nothing
// written). (The password masked: ConnectionPromptTest.)
TEST(AppTest, PromptKeepsChangesOrCancels) {
  TempDir dir;
  SqliteFile(dir.Path("first.db")).Exec("CREATE TABLE only_in_first (a INTEGER);");
  SqliteFile(dir.Path("second.db")).Exec("CREATE TABLE only_in_second (b INTEGER);");
  const Strings args = {"--prompt", "--quiet", "--sqlite", dir.Path("first.db")};
  ProcessOptions enter;
  enter.input = std::string(20, '\n');
  ExpectRuns({{args, 0, "", {"only_in_first"}}}, enter);

  // The form asks Driver, Database, NoCreat and Timeout for a path, a line
  // each; answering the database's line with another file imports that one.
  ProcessOptions answer;
  answer.input = "\n" + dir.Path("second.db") + "\n\n\n";
  ExpectRuns({{args, 0, "", {"only_in_second"}}}, answer);
  const ProcessResult cancelled = Host(args);
  EXPECT_EQ(cancelled.exitCode, 130) << Printed(cancelled);
  EXPECT_TRUE(cancelled.out.empty());
}

// -o DIR/: the documentation folder is made where there is none, replaced
// where it holds only what an earlier run wrote, and refused, with nothing
// changed, where it holds anything of the user's; and --around's mistakes
// are named for what they are.
TEST(DocumentFolderE2eTest, AFolderIsWrittenWholeAndNothingOfTheUsersIsLost) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db"))
      .Exec("CREATE TABLE customers (id INTEGER PRIMARY KEY); CREATE TABLE orders (id INTEGER PRIMARY KEY, "
            "customer INTEGER REFERENCES customers); CREATE VIEW open_orders AS SELECT * FROM orders;");
  const std::string site = dir.Path("site");
  auto run = [&](const std::string& format, const std::string& output) {
    return Host({"--sqlite", dir.Path("shop.db"), "--quiet", "--format", format, "-o", output});
  };
  for (const auto& [format, index, page] : {std::tuple{"html", "index.html", "tables/main.orders.html"},
                                            std::tuple{"markdown", "README.md", "tables/main.orders.md"}}) {
    fs::remove_all(site);
    const ProcessResult made = run(format, site + "/");
    ASSERT_EQ(made.exitCode, 0) << format << "\n" << Printed(made);
    EXPECT_TRUE(fs::is_regular_file(site + "/" + index)) << format;
    EXPECT_NE(ReadFile(site + "/" + page).find("customers"), std::string::npos) << format;
    // Again, over what it wrote (named without the '/': it is a folder).
    const ProcessResult again = run(format, site);
    EXPECT_EQ(again.exitCode, 0) << format << "\n" << Printed(again);
  }
  const std::map<std::string, std::string> written = Snapshot(site);
  // A file of the user's, a changed page, a folder of one's own: refused,
  // the folder as it was, no temporary folder left beside it.
  struct Case {
    std::string what, path, expected;
  };
  for (const Case& added : {Case{"a file of the user's", "notes.txt", "notes.txt was not written by quillmere-import"},
                            Case{"a page changed since", "README.md", "README.md was changed since"},
                            Case{"a folder of the user's", "drafts/x", "drafts/x was not written"}}) {
    fs::create_directories(fs::path(site + "/" + added.path).parent_path());
    WriteFile(site + "/" + added.path, "mine\n");
    const std::map<std::string, std::string> before = Snapshot(site);
    const ProcessResult refused = run("markdown", site + "/");
    EXPECT_EQ(refused.exitCode, 4) << added.what << "\n" << Printed(refused);
    EXPECT_NE(refused.err.find(added.expected), std::string::npos) << added.what << "\n" << refused.err;
    EXPECT_EQ(Snapshot(site), before) << added.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << added.what;
    fs::remove_all(site + "/" + added.path.substr(0, added.path.find('/')));
    if (added.path == "README.md") WriteFile(site + "/README.md", written.at(site + "/README.md"));
  }
  // A folder that is not documentation is never filled; a format of one
  // file is not written as a folder.
  fs::create_directories(dir.Path("photos"));
  WriteFile(dir.Path("photos/cat.jpg"), "cat\n");
  ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "html", "-o", dir.Path("photos")}, 4,
               "did not write"},
              {{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "json", "-o", site + "/"}, 2,
               "formats written as a folder: html, markdown"}});
  EXPECT_EQ(Snapshot(dir.Path("photos")).size(), 1u);
}

TEST(DocumentFolderE2eTest, AroundSaysWhatWasAskedAndWhatIsThere) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db"))
      .Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY); CREATE VIEW order_overview AS SELECT * FROM orders;");
  WriteFile(dir.Path("v.svg"), "before\n");
  // The file is not at fault.
  for (const auto& [around, expected] :
       {std::pair{"order_overview", "--around order_overview: \"order_overview\" is a view"},
        std::pair{"ordrs", "--around ordrs: the model has no table named \"ordrs\"; did you mean \"orders\"?"}}) {
    ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "svg", "--around", around, "-o",
                  dir.Path("v.svg")},
                 4, expected}},
               {}, {"cannot write"});
    EXPECT_EQ(ReadFile(dir.Path("v.svg")), "before\n");
  }
  // The writer gave up half-way: a new file is not made, no temporary file is left.
  ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "svg", "--around", "ordrs", "-o",
                dir.Path("new.svg")},
               4, "did you mean"}});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << "a file left beside it";
}

}  // namespace
}  // namespace qm::test

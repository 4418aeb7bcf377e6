// quillmere-import end to end: the real executable with the real module,
// plug-ins, driver manager and drivers. (Bad input of every kind: HostInputTest.)
#include "HostProcess.h"

#include <writers/OutputFormats.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>


namespace qm::test {
namespace {

namespace fs = std::filesystem;

const std::string kSecret = "secret123";

// With no database named, the bundled sample is imported, its progress on
// standard error as plain lines (no terminal control on a pipe); --quiet
// silences it. --format NAME writes it whole in every format of the table
// (several kilobytes in any; each writer's text: tests/writers/). (Its model
// against SQLite's catalogue through the command line: the schema family.)
TEST(AppTest, EveryFormatWritesTheSample) {
  TempDir dir;
  const ProcessResult result = Host({"-o", dir.Path("model.json")});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_TRUE(HasLine(result.err, "importing tables")) << result.err;
  EXPECT_TRUE(HasLine(result.err, "tables: 14")) << result.err;
  EXPECT_NE(result.err.find("\nimported 1 schema, 14 tables, "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\r'), std::string::npos);
  EXPECT_NE(nlohmann::json::parse(ReadFile(dir.Path("model.json")))["properties"].value("databaseName", ""), "");

  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    const ProcessResult written = Host({"--format", std::string(format.name), "--quiet"});
    EXPECT_EQ(written.exitCode, 0) << format.name << "\n" << Printed(written);
    EXPECT_EQ(written.err, "") << format.name;
    EXPECT_GT(written.out.size(), 2000u) << format.name;
    EXPECT_TRUE(format.name != "json" || TableNames(written.out).size() == 14u) << written.out;
    EXPECT_TRUE(format.name != "tree" || HasLine(written.out, "  table \"audit log\"")) << written.out;
    if (format.name == "svg") {
      // Packed about as a window is shaped: neither way three times the other.
      const std::size_t width = written.out.find(" width=\""), height = written.out.find(" height=\"");
      ASSERT_TRUE(width != std::string::npos && height != std::string::npos) << written.out.substr(0, 500);
      const double w = std::stod(written.out.substr(width + 8)), h = std::stod(written.out.substr(height + 9));
      EXPECT_LE(std::max(w / h, h / w), 3.0) << "the sample's diagram: " << w << " x " << h;
    }
  }
  ExpectRuns({{{"--format", "xml", "--quiet"}, 2, "json"}});
}

// Usage errors name the option and never print a password; a URL the
// option parser quotes is masked.
TEST(AppTest, UsageErrorsNameTheOption) {
  std::vector<HostRun> runs = {
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

// Ctrl-C during an import (sent by the host itself after its first
// progress message, a test-only switch): exit 130, nothing written, an
// existing output file kept.
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

// The module comes from QM_LIB_DIR, named when missing there. --plugin NAME
// picks a --connect source's plug-in whatever the Driver; plug-ins are found
// in the plug-in folder and QM_PLUGIN_PATH's folders (an empty entry is never
// the current folder). The database options are the plug-ins found's:
// without the PostgreSQL plug-in there is no --postgres, and the error says
// why. A driver no plug-in lists, or --generic, goes to the plug-in that
// serves any driver.
TEST(AppTest, PluginOptionsPickThePlugin) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db")).Exec("CREATE TABLE t (a INTEGER);");
  const std::string connect = "Driver={SQLite3};Database=" + dir.Path("shop.db");
  fs::create_directory(dir.Path("module"));
  fs::create_symlink(LibraryFolder() / "libschemaimport.so.0", dir.Path("module/libschemaimport.so.0"));
  fs::create_directory(dir.Path("more"));
  fs::create_symlink(LibraryFolder() / "plugins/libqm_sqlite.so", dir.Path("more/libqm_sqlite.so"));
  ProcessOptions noModule;
  noModule.environment["QM_LIB_DIR"] = dir.Path();
  const std::string missing = "the import module could not be loaded: " + dir.Path("libschemaimport.so.0");
  ExpectRuns({{{"--quiet"}, 4, missing},
              {{"--sqlite", "shop.db"}, 4, missing},
              {{"--list-plugins"}, 4, missing},
              {{"--version"}, 0, ""}},
             noModule);

  // The plug-in only in a folder of QM_PLUGIN_PATH, found by name and by its shortcut.
  ProcessOptions path;
  path.environment["QM_LIB_DIR"] = dir.Path("module");
  path.environment["QM_PLUGIN_PATH"] = "::" + dir.Path("more");
  ExpectRuns({{{"--plugin", "sqlite", "--connect", connect, "--quiet"}, 0, "", {"t"}},
              {{"--sqlite", dir.Path("shop.db"), "--quiet"}, 0, "", {"t"}},
              {{"--plugin", "renamed", "--connect", connect, "--quiet"}, 4,
               "no plug-in named \"renamed\": found: sqlite, in " + dir.Path("module/plugins") + " and " +
                   dir.Path("more")},
              {{"--postgres", "Server=127.0.0.1;Port=1;Pwd=" + kSecret}, 2,
               "error: unknown option --postgres (the options that name a database come from the plug-ins found: "
               "see --list-plugins)\nRun 'quillmere-import --help' for the options.\n"},
              {{"--connect", "Driver={PostgreSQL Unicode};Server=127.0.0.1;Pwd=" + kSecret}, 2,
               "error: no plug-in reads databases of the ODBC driver \"PostgreSQL Unicode\"; known drivers: "
               "SQLite3, libsqlite3odbc.so\n"},
              {{"--quiet"}, 0, ""}},
             path, {kSecret});
  const ProcessResult help = Host({"--help"}, path);
  EXPECT_NE(help.out.find("--sqlite PATH"), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("--postgres"), std::string::npos) << help.out;
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

  // {SQLite} is registered, its library not installed: the generic plug-in fails to connect.
  ExpectRuns({{{"--generic", "--connect", connect, "--quiet"}, 0, "", {"t"}},
              {{"--connect", "Driver={SQLite};Database=" + dir.Path("shop.db"), "--quiet"}, 3, ""},
              {{"--generic", "--plugin", "sqlite", "--connect", connect}, 2, ""},
              {{"--generic"}, 2, ""}});
}

// --list-plugins shows what the host found and what it refused, and why
// (each reason: PluginFolders); the libraries refused do not stop an import.
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
           "  " QM_HANDMADE_DIR "/libqm_handmade_noentry.so: not a plug-in: it exports no QmGetPluginApi (not loaded)",
           "Looked in: " + libs + ", " QM_HANDMADE_DIR " (the plug-in folder, then QM_PLUGIN_PATH)"})
    EXPECT_TRUE(HasLine(list.out, line)) << line << "\n" << list.out;
  EXPECT_TRUE(list.err.empty()) << list.err;
  EXPECT_EQ(Host({"--quiet", "--format", "tree"}, options).exitCode, 0);
}

// The connection form (--prompt), answered on standard input (it asks
// Driver, Database, NoCreat and Timeout for a path): an answer replaces a
// value, end of input cancels (130, nothing written). (Enter keeping every
// value: ConnectionPromptTest and the form on a terminal, AppHostileUseTest.)
TEST(AppTest, PromptTakesAnAnswerOrCancels) {
  TempDir dir;
  SqliteFile(dir.Path("first.db")).Exec("CREATE TABLE only_in_first (a INTEGER);");
  SqliteFile(dir.Path("second.db")).Exec("CREATE TABLE only_in_second (b INTEGER);");
  const Strings args = {"--prompt", "--quiet", "--sqlite", dir.Path("first.db")};
  ProcessOptions answer;
  answer.input = "\n" + dir.Path("second.db") + "\n\n\n";
  ExpectRuns({{args, 0, "", {"only_in_second"}}}, answer);
  ExpectRuns({{args, 130, "", {}, ""}});
}

// -o DIR/: the documentation folder is made, replaced where it holds only
// what an earlier run wrote, and refused, nothing changed, where it holds
// anything of the user's; --around's mistakes are named.
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
  // Refused: the folder as it was, no temporary folder left beside it.
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
  // A folder that is not documentation is never filled; a one-file format is no folder.
  fs::create_directories(dir.Path("photos"));
  WriteFile(dir.Path("photos/cat.jpg"), "cat\n");
  ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "html", "-o", dir.Path("photos")}, 4,
               "did not write"},
              {{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "json", "-o", site + "/"}, 2,
               "formats written as a folder: html, markdown"}});
  EXPECT_EQ(Snapshot(dir.Path("photos")).size(), 1u);

  // --around's mistakes are named for what they are; the file is not at
  // fault: an existing one is kept, a new one not made, nothing left beside.
  WriteFile(dir.Path("v.svg"), "before\n");
  const char* const typo = "the model has no table named \"ordrs\"; did you mean \"orders\"?";
  for (const auto& [around, output, expected] : {std::tuple{"open_orders", "v.svg", "\"open_orders\" is a view"},
                                                 std::tuple{"ordrs", "v.svg", typo}, std::tuple{"ordrs", "new.svg", typo}})
    ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "svg", "--around", around, "-o",
                  dir.Path(output)},
                 4, std::string("--around ") + around + ": " + expected}},
               {}, {"cannot write"});
  EXPECT_EQ(ReadFile(dir.Path("v.svg")), "before\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4) << "a file left beside it";
}

}  // namespace
}  // namespace qm::test

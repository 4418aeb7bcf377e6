// quillmere-import used carelessly or with hostile intent: an output that
// is the database read, Ctrl-C while the model is written, the connection
// form and names that would act on a (pseudo-)terminal.
#include "HostProcess.h"

#include <Terminal.h>

#include <writers/OutputFormats.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <thread>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The number of threads the process runs.
int ThreadsOf(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return 0;
}

// -o naming the database read, however reached (links, its journal or
// WAL, an attached one, standard output appended to it, one the connection
// form is given), is refused before anything is opened (exit 2).
TEST(AppHostileUseTest, OutputThatIsTheDatabaseIsRefusedAndTheDatabaseKept) {
  TempDir dir;
  const std::string db = dir.Path("shop.db");
  SqliteFile(db).Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY);");
  SqliteFile(dir.Path("other.db")).Exec("CREATE TABLE other (id INTEGER);");
  fs::create_symlink(db, dir.Path("link.db"));
  fs::create_hard_link(db, dir.Path("hard.db"));
  fs::create_directory(dir.Path("sub"));
  const std::string sqlite = "Driver={SQLite3};Database=";
  struct Case {
    Strings args;
    std::string output;
  };
  const Case cases[] = {
      {{"--sqlite", "shop.db"}, "shop.db"},
      {{"--sqlite", db}, "./sub/../shop.db"},
      {{"--sqlite", db}, dir.Path("link.db")},
      {{"--sqlite", db}, dir.Path("hard.db")},
      {{"--sqlite", dir.Path("link.db")}, db},
      {{"--sqlite", "hard.db"}, "link.db"},
      {{"--sqlite", db}, dir.Path("shop.db-wal")},
      {{"--sqlite", dir.Path("link.db")}, dir.Path("shop.db-journal")},
      {{"--connect", sqlite + "shop.db"}, dir.Path("hard.db")},
      {{"--connect", sqlite + "file:shop.db?mode=ro"}, "shop.db"},
      {{"--connect", sqlite + "file:" + dir.Path("sh%6Fp.db") + "?mode=ro"}, dir.Path("link.db")},
      {{"--connect", sqlite + "file://localhost" + db}, db},
      {{"--connect", sqlite + dir.Path("other.db") + ";Attach=aux=" + db}, "hard.db"},
      // Braced, an attachment's path may hold ';'; its journal is its own.
      {{"--connect", sqlite + "file:other.db?mode=ro;Attach={aux=" + dir.Path("b;c.db") + "}"},
       dir.Path("b;c.db-journal")},
      // Whatever plug-in reads it: the Driver says the database is this file.
      {{"--plugin", "postgres", "--connect", sqlite + "shop.db"}, "shop.db"},
      {{"--generic", "--connect", sqlite + db}, "link.db"},
  };
  ProcessOptions inDir;
  inDir.workingDirectory = dir.Path();
  for (const Case& c : cases) {
    Strings args = c.args;
    args.insert(args.end(), {"-o", c.output, "--quiet"});
    SCOPED_TRACE(args[args.size() - 4] + " -o " + c.output);
    const auto before = Snapshot(dir.Path());
    const ProcessResult result = Host(args, inDir);
    EXPECT_EQ(result.exitCode, 2) << Printed(result);
    EXPECT_EQ(Lines(result.err).size(), 1u) << Printed(result);
    EXPECT_EQ(result.err.rfind("error: the output " + c.output + " is ", 0), 0u) << Printed(result);
    EXPECT_NE(result.err.find("being imported; write the model to another file"), std::string::npos);
    EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the directory changed";
  }

  // Standard output appended to the database (quillmere-import >> shop.db).
  const auto before = Snapshot(dir.Path());
  const int appended = ::open(db.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  Pipe err;
  {
    ChildProcess host(QM_IMPORT_EXE, {"--sqlite", db, "--quiet"}, {}, {-1, appended, err.fds[1]});
    ::close(appended);
    err.CloseWriteEnd();
    EXPECT_EQ(host.Wait(60), 2);
  }
  EXPECT_EQ(ReadToEnd(err.fds[0]).rfind("error: standard output is the database " + db + " being imported", 0), 0u);
  EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the directory changed";

  // The form (Driver, Database, NoCreat, Timeout) given the output as the database.
  ProcessOptions form = inDir;
  form.input = "\n" + db + "\n\n\n";
  ExpectRuns({{{"--sqlite", "other.db", "--prompt", "-o", "link.db", "--quiet"}, 2,
               "error: the output link.db is the database " + db + " being imported"}},
             form);
  EXPECT_TRUE(Snapshot(dir.Path()) == before) << "the directory changed";
}

// Ctrl-C while the model goes to a slow reader (quillmere-import | less):
// the writing goes on to the end, the run succeeds, the model is whole.
TEST(AppHostileUseTest, CtrlCWhileTheModelGoesToASlowReaderLetsTheWritingFinish) {
  TempDir dir;
  CreateLargeDatabase(dir.Path("big.db"));
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);

  for (const bool toFifo : {false, true}) {
    SCOPED_TRACE(toFifo ? "-o FIFO" : "standard output");
    Pipe out;
    Pipe err;
    Strings args = {"--sqlite", dir.Path("big.db")};
    if (toFifo) args.insert(args.end(), {"-o", dir.Path("fifo")});
    ChildProcess host(QM_IMPORT_EXE, args, {}, {-1, toFifo ? -1 : out.fds[1], err.fds[1]});
    out.CloseWriteEnd();
    err.CloseWriteEnd();
    const int reader = toFifo ? ::open(dir.Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : out.fds[0];
    ASSERT_GE(reader, 0);

    // The writing has begun; the pipe holds 64 KiB of megabytes, so the host waits inside a write.
    std::string json = ReadSome(reader, 120s);
    ASSERT_FALSE(json.empty()) << ReadToEnd(err.fds[0]);
    std::this_thread::sleep_for(300ms);
    host.Signal(SIGINT);
    std::this_thread::sleep_for(300ms);
    json += ReadToEnd(reader);
    if (toFifo) ::close(reader);
    const std::string errText = ReadToEnd(err.fds[0]);
    EXPECT_EQ(host.Wait(60), 0) << errText;
    EXPECT_EQ(errText.find("cannot write"), std::string::npos) << errText;
    EXPECT_NE(errText.find("it is written in full"), std::string::npos) << errText;
    EXPECT_EQ(TableNames(json).size(), 1000u) << json.size() << " bytes\n" << errText;
  }
}

// Ctrl-C while the host waits for its FIFO's reader: nothing is written
// yet, so the run is cancelled (130) instead of waiting on or failing.
TEST(AppHostileUseTest, CtrlCWhileWaitingForAFifoReaderCancels) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db")).Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY);");
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  Pipe err;
  ChildProcess host(QM_IMPORT_EXE, {"--sqlite", dir.Path("shop.db"), "-o", dir.Path("fifo")}, {}, {-1, -1, err.fds[1]});
  err.CloseWriteEnd();
  // The import has run once its thread is gone after it reported progress.
  std::string errText;
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (!(errText.find("importing") != std::string::npos && ThreadsOf(host.Pid()) == 1) &&
         std::chrono::steady_clock::now() < deadline) {
    errText += ReadSome(err.fds[0], 20ms);
  }
  ASSERT_NE(errText.find("importing"), std::string::npos) << errText;
  std::this_thread::sleep_for(200ms);
  host.Signal(SIGINT);
  const int exitCode = host.Wait(30);
  errText += ReadToEnd(err.fds[0]);
  EXPECT_EQ(exitCode, 130) << errText;
  EXPECT_NE(errText.find("import cancelled; no model written"), std::string::npos) << errText;
  EXPECT_EQ(errText.find("cannot write"), std::string::npos) << errText;
  const int reader = ::open(dir.Path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  char byte = 0;
  EXPECT_LE(::read(reader, &byte, 1), 0) << "something was written";
  ::close(reader);
}

// --prompt on a terminal: nothing redraws a question's line while it waits;
// the password typed is not shown; the run then goes on as usual.
TEST(AppHostileUseTest, ConnectionFormOnATerminalKeepsEachQuestionOnTheScreen) {
  TempDir dir;
  const std::string db = dir.Path("shop.db");
  SqliteFile(db).Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY);");
  TerminalProcess host(QM_IMPORT_EXE, {"--prompt", "--connect", "Driver={SQLite3};Database=" + db + ";PWD=old-secret",
                                       "-o", dir.Path("model.json")});
  // The plug-in's string: the database as a read-only URI, the user's keys, the plug-in's.
  const std::pair<std::string, std::string> questions[] = {
      {"  Database [file://" + db + "?mode=ro]:", "\r"}, {"  Driver [SQLite3]:", "\r"},
      {"  PWD [****]:", "typed-secret\r"},           {"  NoCreat [1]:", "\r"},
      {"  Timeout [15000]:", "\r"}};
  for (const auto& [question, answer] : questions) {
    ASSERT_TRUE(host.WaitFor(question, 30s)) << host.Printed();
    // The progress line redraws every 100 ms: plenty of chances to erase it.
    host.Pump(600ms);
    EXPECT_EQ(host.CursorLine(), question) << host.Printed();
    host.Type(answer);
  }
  EXPECT_EQ(host.Wait(60s), 0) << host.Printed();
  const Strings screen = host.Screen();
  EXPECT_TRUE(HasLine(screen, "Connection (Enter keeps a value, Ctrl-D cancels):")) << host.Printed();
  for (const auto& [question, answer] : questions) EXPECT_TRUE(HasLine(screen, question)) << question << host.Printed();
  EXPECT_EQ(host.Output().find("secret"), std::string::npos) << host.Printed();
  EXPECT_EQ(TableNames(ReadFile(dir.Path("model.json"))).size(), 1u);
}

// Line breaks, escape sequences, a direction override and invisible
// characters in names and texts, shown on a terminal: escaped and quoted, so
// no line is forged and nothing acts (every case: OutputFormatsTest).
TEST(AppHostileUseTest, TreeShowsWhatTheDatabaseHolds) {
  TempDir dir;
  const std::string db = dir.Path("hostile.db");
  SqliteFile(db).Exec(
      "CREATE TABLE \"orders\n  table forged\" (id INTEGER PRIMARY KEY, \"x\x1b]0;pwned\x07\" TEXT DEFAULT 'a\x1b[2Jb');\n"
      "CREATE TABLE \"\u202Ecba\" (\"zero\u200Bwidth\" INTEGER);\n"
      "CREATE VIEW \"v\uFEFF\" AS SELECT 1 AS one;\n");

  TerminalProcess terminal(QM_IMPORT_EXE, {"--sqlite", db, "--format", "tree", "--quiet"});
  EXPECT_EQ(terminal.Wait(60s), 0) << terminal.Printed();
  for (const std::string line : {"  table \"orders\\n  table forged\"", "  table \"\\u202ecba\"", "  view \"v\\ufeff\""})
    EXPECT_TRUE(HasLine(terminal.Screen(), line)) << line << terminal.Printed();
  EXPECT_EQ(terminal.Output().find('\x1b'), std::string::npos) << terminal.Printed();

  // Every other format for terminals is escaped there, the user told so;
  // the others are refused there, also by name (-o /dev/tty).
  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    if (format.name == "tree") continue;
    SCOPED_TRACE(format.name);
    Strings args = {"--quiet", "--sqlite", db, "--format", std::string(format.name)};
    if (!format.forTerminal) args.insert(args.end(), {"-o", "/dev/tty"});
    TerminalProcess shown(QM_IMPORT_EXE, args);
    EXPECT_EQ(shown.Wait(60s), format.forTerminal ? 0 : 2) << shown.Printed();
    if (!format.forTerminal) {
      EXPECT_NE(shown.Output().find("is not for a terminal"), std::string::npos) << shown.Printed();
      continue;
    }
    const std::string output = shown.Output().substr(0, shown.Output().find("warning: "));
    for (const std::string raw : {"\x1b", "\x07", "\u202E", "\u200B", "\uFEFF"})
      EXPECT_EQ(output.find(raw), std::string::npos) << shown.Printed();
    EXPECT_NE(output.find("orders"), std::string::npos) << shown.Printed();
    if (format.name != "sql") continue;
    EXPECT_NE(output.find("\"x\\x1b]0;pwned\\x07\" TEXT DEFAULT 'a\\x1b[2Jb'"), std::string::npos) << shown.Printed();
    EXPECT_NE(shown.Printed().find("are escaped"), std::string::npos) << shown.Printed();
  }
}

// Messages show names the user or the database gave as the tree does,
// escaped once: one line, nothing for the terminal to act on.
TEST(AppHostileUseTest, MessagesShowNamesEscaped) {
  TempDir dir;
  const std::pair<std::string, std::string> names[] = {
      {"gone\x1b]0;pwned\x07.db", "gone\\x1b]0;pwned\\x07.db"},
      {"\u202Egnp.db", "\\u202egnp.db"},
      {"no\nsuch\x1b.db", "no\\nsuch\\x1b.db"}};
  for (const auto& [name, shown] : names)
    ExpectRuns({{{"--sqlite", dir.Path(name), "--quiet"}, 3,
                 "error: could not connect: database file not found: " + dir.Path(shown) + "\n"}});
  // Names typed on the command line, in the options' own errors.
  for (const Strings& args : {Strings{"--schema", "\"a\nb\x1b"}, Strings{"--timeout", "a\nb\x1b"},
                              Strings{"diff", "--schema", "\"a\nb\x1b", "x", "y"}})
    EXPECT_NE(Host(args).err.find("a\\nb\\x1b"), std::string::npos) << args[1];
  // A view SQLite cannot read (its table is gone), named as the tree names it.
  SqliteFile(dir.Path("views.db")).Exec("CREATE TABLE t (a); CREATE VIEW \"bad\nview\\x\" AS SELECT a FROM t; DROP TABLE t;");
  const ProcessResult tree = Host({"--sqlite", dir.Path("views.db"), "--format", "tree", "--quiet"});
  EXPECT_TRUE(HasLine(tree.out, "  view \"bad\\nview\\\\x\"")) << Printed(tree);
  EXPECT_NE(tree.err.find("error: reading columns of view \"main\".\"bad\\nview\\\\x\" failed"), std::string::npos)
      << Printed(tree);
}

// Libraries planted in the working folder are never loaded in place of the
// system's. Graphviz is opened only to draw: with a broken one first on the
// path, other formats work and a diagram fails naming what could not be loaded.
TEST(AppHostileUseTest, PlantedLibrariesAreNotLoadedAndOnlyDrawingNeedsGraphviz) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db"))
      .Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY); CREATE TABLE lines (o INTEGER REFERENCES orders);");
  for (const char* name : {"libc.so.6", "libstdc++.so.6", "libodbc.so.2", "libsqlite3.so.0", "libmimalloc.so.2"})
    std::ofstream(dir.Path(name)) << "not a library\n";
  ProcessOptions inDir;
  inDir.workingDirectory = dir.Path();
  ExpectRuns({{{"--sqlite", "shop.db", "--quiet"}, 0, "", {"orders", "lines"}}}, inDir);

  fs::create_directory(dir.Path("gv"));
  for (const char* name : {"gv/libcgraph.so.6", "gv/libgvc.so.6"}) std::ofstream(dir.Path(name)) << "not a library\n";
  ProcessOptions broken;
  broken.environment["LD_LIBRARY_PATH"] = dir.Path("gv");
  const Strings svg = {"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "svg", "-o", dir.Path("shop.svg")};
  ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet"}, 0, "", {"orders", "lines"}},
              {svg, 4, "error: Graphviz could not be loaded: " + dir.Path("gv/libcgraph.so.6")}},
             broken);
  ExpectRuns({{svg, 0, ""}});
  EXPECT_NE(ReadFile(dir.Path("shop.svg")).find("orders"), std::string::npos);
}

// The plug-in index only saves loading: one that describes a plug-in
// otherwise than its table is caught when it is used, said, and looked at
// afresh on the next run; the listings load every plug-in. (An index that is
// not one: PluginFolders.)
TEST(AppHostileUseTest, ThePluginIndexNeverSpeaksForAPlugin) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db")).Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY);");
  ProcessOptions options;
  options.environment["XDG_CACHE_HOME"] = dir.Path("cache");
  const Strings import = {"--sqlite", dir.Path("shop.db"), "--quiet"};
  const ProcessResult first = Host(import, options);
  ASSERT_EQ(first.exitCode, 0) << Printed(first);
  std::vector<fs::path> indexes;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.Path("cache/quillmere"))) indexes.push_back(entry.path());
  ASSERT_EQ(indexes.size(), 1u);
  const std::string index = indexes.front().string();
  const std::string written = ReadFile(index);
  EXPECT_NE(written.find("\"name\": \"sqlite\""), std::string::npos) << written;

  ExpectRuns({{import, 0, "", {}, first.out}}, options);
  const ProcessResult listed = Host({"--list-plugins"}, options);
  ASSERT_EQ(listed.exitCode, 0) << Printed(listed);

  std::string lying = written;
  const std::size_t at = lying.find("\"description\": \"SQLite");
  ASSERT_NE(at, std::string::npos) << written;
  lying.insert(at + 16, "Not ");
  std::ofstream(index, std::ios::trunc) << lying;
  ExpectRuns({{{"--list-plugins"}, 0, "", {}, listed.out},  // from the libraries themselves
              {import, 4, "cannot be used: its table is not the one the plug-in index describes"},
              {import, 0, "", {}, first.out}},
             options);
  EXPECT_EQ(ReadFile(index), written);
}

}  // namespace
}  // namespace qm::test

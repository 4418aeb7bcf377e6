// The SDK as a plug-in author gets it: this build installed with
// cmake --install into a temporary prefix, and everything after that done
// against the prefix alone. The exported headers compile one by one, also
// beside unixODBC's headers in either order; the example plug-in
// (examples/sqlite-tables) builds out of tree with
// find_package(Quillmere), by the commands the README's plug-in guide
// gives, and with pkg-config, and the installed quillmere-import finds it
// and imports a real SQLite database with it; built with other compiler
// settings it is refused. The same folder dropped into plugins/ of a copy
// of this tree is built there with no other edit.
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <schemaimport/PluginApi.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const std::string kExample = QM_SOURCE_DIR "/examples/sqlite-tables";

// A child's environment with nothing that could lead it back to the build
// tree or to another installation.
ProcessOptions Isolated() {
  ProcessOptions options;
  options.unset = {"QM_LIB_DIR", "QM_PLUGIN_PATH", "LD_LIBRARY_PATH", "LD_PRELOAD", "CMAKE_PREFIX_PATH",
                   "PKG_CONFIG_PATH", "CXXFLAGS", "LDFLAGS"};
  return options;
}

ProcessResult RunTool(const std::string& program, const Strings& args, const ProcessOptions& options = Isolated()) {
  ProcessResult result = RunProcess(program, args, options);
  EXPECT_FALSE(result.timedOut) << program << "\n" << Printed(result);
  return result;
}

// The flags an out-of-tree build adds of its own: warnings are errors, as
// in this tree, so that a header that warns fails here too.
const std::string kStrictFlags = "-Wall -Wextra -Werror";

// This build installed, then moved to <dir>/prefix: an installation works
// wherever it is put.
class InstalledSdk {
 public:
  InstalledSdk() {
    const ProcessResult result = RunTool(QM_CMAKE, {"--install", QM_BUILD_DIR, "--prefix", m_dir.Path("installed")});
    EXPECT_EQ(result.exitCode, 0) << Printed(result);
    fs::rename(m_dir.Path("installed"), Prefix());
  }

  std::string Prefix() const { return m_dir.Path("prefix"); }
  std::string Path(const std::string& relative) const { return Prefix() + "/" + relative; }
  // The program's own libraries, and the plug-ins below them.
  std::string LibraryDir() const { return Path(QM_INSTALL_LIBDIR "/quillmere"); }
  std::string PluginDir() const { return LibraryDir() + "/plugins"; }
  std::string Host() const { return Path(QM_INSTALL_BINDIR "/quillmere-import"); }
  // A scratch folder beside the prefix.
  std::string Scratch(const std::string& name) const {
    fs::create_directories(m_dir.Path(name));
    return m_dir.Path(name);
  }

  // Configures, builds and installs the CMake project in source against
  // the prefix, in a folder of its own; returns the build folder.
  std::string BuildWithCMake(const std::string& source, const std::string& name, bool install) const {
    const std::string build = Scratch(name);
    ProcessResult result = RunTool(QM_CMAKE, {"-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_PREFIX_PATH=" + Prefix(),
                                          "-DCMAKE_CXX_COMPILER=" QM_CXX, "-DCMAKE_CXX_FLAGS=" + kStrictFlags});
    EXPECT_EQ(result.exitCode, 0) << Printed(result);
    // The header check compiles three translation units a header.
    ProcessOptions slow = Isolated();
    slow.timeoutSeconds = 900;
    result = RunTool(QM_CMAKE, {"--build", build, "-j", "2"}, slow);
    EXPECT_EQ(result.exitCode, 0) << Printed(result);
    if (install) {
      result = RunTool(QM_CMAKE, {"--install", build});
      EXPECT_EQ(result.exitCode, 0) << Printed(result);
    }
    return build;
  }

 private:
  TempDir m_dir;
};

// The dynamic section of an ELF file as readelf prints it.
std::string DynamicSection(const std::string& path) {
  const ProcessResult result = RunTool("/usr/bin/readelf", {"-d", "-W", path});
  EXPECT_EQ(result.exitCode, 0) << Printed(result);
  return result.out;
}

// The value of one entry of the dynamic section ("SONAME", "RUNPATH" or
// "RPATH"), "" when there is none.
std::string DynamicEntry(const std::string& section, const std::string& tag) {
  for (const std::string& line : Lines(section)) {
    if (line.find("(" + tag + ")") == std::string::npos) continue;
    const std::size_t open = line.find('[');
    const std::size_t close = line.rfind(']');
    if (open != std::string::npos && close != std::string::npos && close > open)
      return line.substr(open + 1, close - open - 1);
  }
  return {};
}

// A small database with names that need quoting and columns of every
// flavour SQLite allows, and objects the example does not read.
void CreateShop(const std::string& path) {
  SqliteFile(path).Exec(
      "CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT NOT NULL, \"e-mail\" VARCHAR(200) UNIQUE);"
      "CREATE TABLE \"order lines\" (order_id INT NOT NULL REFERENCES customers, \"Größe\" NUMERIC(10,2), note);"
      "CREATE TABLE \"say \"\"hi\"\"\" (x);"
      "CREATE INDEX order_notes ON \"order lines\" (note);"
      "CREATE VIEW names AS SELECT name FROM customers;");
}

// One line per column of the main database's tables, as SQLite reports
// them: table | position | column | type | nullable.
Strings ColumnsSqliteReports(const std::string& path) {
  SqliteFile db(path);
  Strings lines;
  for (const auto& table : db.Rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                   "ESCAPE '\\'")) {
    std::string quoted = "\"";
    for (const char ch : table[0]) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    quoted += '"';
    for (const auto& column : db.Rows("PRAGMA table_info(" + quoted + ")"))
      lines.push_back(Line({table[0], std::to_string(std::stoi(column[0]) + 1), column[1], column[2],
                            column[3] == "1" ? "0" : "1"}));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The same lines from the model the host wrote, which must hold one schema,
// main, with the tables.
Strings ColumnsOfModel(const std::string& json) {
  GenericModel model(0);
  ReadModelJson(json, model);
  EXPECT_EQ(Names(AllOfType(model, model::Schema)), Strings{"main"});
  EXPECT_TRUE(StructuralFaults(model).empty());
  Strings lines;
  for (CMOObject* table : AllOfType(model, model::Table)) {
    for (CMOObject* column : Children(model, *table, model::Column))
      lines.push_back(Line({Name(*table), Value(model, *column, model::Position), Name(*column),
                            Text(*column, model::DataType), Value(model, *column, model::Nullable)}));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Imports the database with the example plug-in through the installed
// host, and checks the model against what SQLite reports.
void ImportWithExample(const InstalledSdk& sdk, const ProcessOptions& options) {
  const std::string db = sdk.Scratch("data") + "/shop.db";
  CreateShop(db);
  const std::string model = sdk.Scratch("data") + "/model.json";
  const ProcessResult result = RunTool(
      sdk.Host(), {"--plugin", "sqlite_tables", "--connect", "Driver={SQLite3};Database=" + db, "-o", model}, options);
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_NE(result.err.find("imported 1 schema, 3 tables, 7 columns"), std::string::npos) << Printed(result);
  const Strings expected = ColumnsSqliteReports(db);
  ASSERT_EQ(expected.size(), 7u);
  EXPECT_EQ(LineDifference(expected, ColumnsOfModel(ReadFile(model))), "");

  // Its table names SQLite's dialect: the sql format writes what SQLite
  // runs, and makes the same columns again.
  const ProcessResult sql = RunTool(
      sdk.Host(), {"--plugin", "sqlite_tables", "--connect", "Driver={SQLite3};Database=" + db, "--format", "sql"},
      options);
  ASSERT_EQ(sql.exitCode, 0) << Printed(sql);
  EXPECT_NE(sql.out.find(", in SQLite, for an empty database."), std::string::npos) << sql.out;
  const std::string copy = sdk.Scratch("data") + "/copy.db";
  SqliteFile(copy).Exec(sql.out);
  EXPECT_EQ(LineDifference(expected, ColumnsSqliteReports(copy)), "") << sql.out;

  // The option its table offers reads the same; --connect alone picks the
  // bundled SQLite plug-in, found first for the same driver.
  const ProcessResult byShortcut =
      RunTool(sdk.Host(), {"--sqlite-tables", "Driver={SQLite3};Database=" + db, "--quiet"}, options);
  ASSERT_EQ(byShortcut.exitCode, 0) << Printed(byShortcut);
  EXPECT_EQ(LineDifference(expected, ColumnsOfModel(byShortcut.out)), "");
  const ProcessResult byDriver = RunTool(sdk.Host(), {"--connect", "Driver={SQLite3};Database=" + db, "--quiet"}, options);
  ASSERT_EQ(byDriver.exitCode, 0) << Printed(byDriver);
  EXPECT_NE(byDriver.out.find("\"type\": \"index\""), std::string::npos) << "not the bundled plug-in's model";
}

// What cmake --install puts in the prefix stands on its own, in folders of
// the project's own but for the package files: versioned libraries with
// their SONAMEs, run paths relative to the files themselves,
// package files that name no folder of the source or build tree, and a
// host that runs from there.
TEST(SdkTest, InstallationStandsOnItsOwn) {
  const InstalledSdk sdk;
  Strings general;
  for (const fs::directory_entry& entry : fs::directory_iterator(sdk.Path(QM_INSTALL_LIBDIR)))
    general.push_back(entry.path().filename().string());
  std::sort(general.begin(), general.end());
  EXPECT_EQ(general, (Strings{"cmake", "pkgconfig", "quillmere"}));
  for (const std::string library : {"platform", "gatehouse", "tillerhold", "cobbleyard", "schemaimport"}) {
    const std::string path = sdk.LibraryDir() + "/lib" + library + ".so";
    ASSERT_TRUE(fs::is_symlink(path)) << path;
    const std::string section = DynamicSection(path);
    EXPECT_EQ(DynamicEntry(section, "SONAME"), "lib" + library + ".so.0") << path;
    EXPECT_TRUE(fs::exists(sdk.LibraryDir() + "/lib" + library + ".so.0")) << library;
    EXPECT_EQ(DynamicEntry(section, "RUNPATH") + DynamicEntry(section, "RPATH"), "$ORIGIN") << path;
  }
  for (const std::string plugin : {"sqlite", "postgres"}) {
    const std::string section = DynamicSection(sdk.PluginDir() + "/libqm_" + plugin + ".so");
    EXPECT_EQ(DynamicEntry(section, "RUNPATH") + DynamicEntry(section, "RPATH"), "$ORIGIN/..") << plugin;
  }
  const std::string host = DynamicSection(sdk.Host());
  EXPECT_EQ(DynamicEntry(host, "RUNPATH") + DynamicEntry(host, "RPATH"), "$ORIGIN/" QM_LIBDIR_FROM_BINDIR);

  int packageFiles = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sdk.Prefix())) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || (!name.ends_with(".cmake") && !name.ends_with(".pc") && !name.ends_with(".h")))
      continue;
    ++packageFiles;
    const std::string text = ReadFile(entry.path().string());
    EXPECT_EQ(text.find(QM_SOURCE_DIR), std::string::npos) << entry.path() << " names the source tree";
    EXPECT_EQ(text.find(QM_BUILD_DIR), std::string::npos) << entry.path() << " names the build tree";
  }
  EXPECT_GT(packageFiles, 40);

  const ProcessResult sample = RunTool(sdk.Host(), {"--quiet", "--format", "tree"});
  EXPECT_EQ(sample.exitCode, 0) << Printed(sample);
  EXPECT_NE(sample.out.find("publishers"), std::string::npos) << Printed(sample);
}

// Every installed header compiles as the only include of a translation
// unit, with the include folders and flags find_package(Quillmere) gives,
// and before and after unixODBC's headers (tests/sdk/headers says how).
TEST(SdkTest, EveryInstalledHeaderCompilesAloneAndInEitherOrderWithOdbc) {
  const InstalledSdk sdk;
  const std::string build = sdk.BuildWithCMake(QM_SOURCE_DIR "/tests/sdk/headers", "headers", false);
  int compiled = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(build))
    if (entry.path().extension() == ".o") ++compiled;
  int headers = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sdk.Path(QM_INSTALL_INCLUDEDIR "/quillmere")))
    if (entry.path().extension() == ".h") ++headers;
  EXPECT_GT(headers, 30);
  EXPECT_EQ(compiled, 3 * headers);
}

const std::string kMarker = "<!-- tests/sdk/SdkTest.cpp runs these commands";

// The indented command blocks of Markdown text, each with whether the
// marker comment is the last line before it. A block is a command block
// when its first word is a program a reader would type here.
struct CommandBlock {
  std::string text;
  bool marked = false;
};
std::vector<CommandBlock> CommandBlocks(const std::string& markdown) {
  std::vector<CommandBlock> blocks;
  std::string block;
  std::string before;  // the last non-blank line before the block
  bool blankBefore = true;
  for (const std::string& line : Lines(markdown + "\n.")) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start != std::string::npos && start >= 4 && (blankBefore || !block.empty())) {
      block += (block.empty() ? "" : "\n") + line.substr(block.empty() ? start : std::min<std::size_t>(start, 4));
      blankBefore = false;
      continue;
    }
    if (!block.empty()) {
      const std::string first = block.substr(0, block.find_first_of(" \n"));
      for (const char* program : {"cmake", "make", "mkdir", "pkg-config", "QM_PLUGIN_PATH=", "/opt/quillmere/"})
        if (first.rfind(program, 0) == 0) {
          blocks.push_back({block, before.find(kMarker) != std::string::npos});
          break;
        }
      block.clear();
    }
    blankBefore = start == std::string::npos;
    if (!blankBefore) before = line;
  }
  return blocks;
}

// The README's plug-in guide and the example's README: the SDK's guide.
Strings GuideTexts() {
  const std::string readme = ReadFile(QM_SOURCE_DIR "/README.md");
  const std::size_t guide = readme.find("\n## Writing a plug-in\n");
  EXPECT_NE(guide, std::string::npos);
  const std::size_t next = readme.find("\n## ", guide + 1);
  return {readme.substr(guide, next == std::string::npos ? std::string::npos : next - guide),
          ReadFile(kExample + "/README.md")};
}

// Runs every command block of the texts, as written there, as one shell
// script each, from a folder with examples/ and shop.db in it; the
// installation's prefix stands for /opt/quillmere, a scratch folder for
// /tmp/st. Returns what they printed.
std::string RunDocumentedCommands(const InstalledSdk& sdk, const Strings& texts) {
  const std::string folder = sdk.Scratch("guide");
  fs::create_directory_symlink(QM_SOURCE_DIR "/examples", folder + "/examples");
  CreateShop(folder + "/shop.db");
  ProcessOptions options = Isolated();
  options.workingDirectory = folder;
  options.environment["CXX"] = QM_CXX;
  options.environment["CXXFLAGS"] = kStrictFlags;
  options.environment["PWD"] = folder;
  std::string printed;
  int run = 0;
  for (const std::string& text : texts) {
    for (CommandBlock block : CommandBlocks(text)) {
      EXPECT_TRUE(block.marked) << "a command block of the guide that no test runs:\n" << block.text;
      for (const auto& [from, to] : {std::pair<std::string, std::string>{"/opt/quillmere", sdk.Prefix()},
                                     {"/tmp/st", sdk.Scratch("st")}})
        for (std::size_t at; (at = block.text.find(from)) != std::string::npos;) block.text.replace(at, from.size(), to);
      const ProcessResult result = RunTool("/bin/sh", {"-ec", block.text}, options);
      EXPECT_EQ(result.exitCode, 0) << block.text << "\n" << Printed(result);
      printed += result.out;
      ++run;
    }
  }
  EXPECT_GE(run, 3);
  return printed;
}

// The example plug-in built, installed and run by the commands the
// README's plug-in guide and the example's own README give, as they are
// written there (with the installation's prefix for /opt/quillmere):
// find_package(Quillmere), the plug-in installed into the prefix's plug-in
// folder and found there by the installed host; and make with the
// PKG_CONFIG_PATH on its command line, the plug-in found through
// QM_PLUGIN_PATH.
TEST(SdkTest, ExamplePluginBuiltAsTheGuideSaysIsFoundAndImports) {
  const InstalledSdk sdk;
  const std::string printed =
      RunDocumentedCommands(sdk, GuideTexts());
  ASSERT_TRUE(fs::exists(sdk.PluginDir() + "/libqm_sqlite_tables.so"));
  ASSERT_TRUE(fs::exists(sdk.Scratch("st") + "/libqm_sqlite_tables.so"));
  EXPECT_NE(printed.find("\nsqlite_tables  Tables and columns of an SQLite database's main schema"), std::string::npos)
      << printed;
  EXPECT_NE(printed.find("file:    " + sdk.PluginDir() + "/libqm_sqlite_tables.so"), std::string::npos) << printed;
  EXPECT_NE(printed.find("order lines"), std::string::npos) << printed;
  EXPECT_NE(printed.find("\"name\": \"order lines\""), std::string::npos) << "the make-built plug-in's model";
  ImportWithExample(sdk, Isolated());
}

// The example plug-in built with pkg-config and make alone, loaded from its
// build folder through QM_PLUGIN_PATH. Built with other compiler settings,
// debug containers here (_GLIBCXX_DEBUG changes the layout of the standard
// containers the host and a plug-in hand each other), it is refused at
// load time with both build stamps; nothing of it is offered or run.
TEST(SdkTest, ExamplePluginBuiltWithPkgConfigImportsSqliteAndWithOtherSettingsIsRefused) {
  const InstalledSdk sdk;
  for (const bool debug : {false, true}) {
    SCOPED_TRACE(debug ? "debug containers" : "the host's settings");
    const std::string build = sdk.Scratch(debug ? "example-debug" : "example-make");
    ProcessOptions options = Isolated();
    options.environment["PKG_CONFIG_LIBDIR"] = sdk.Path(QM_INSTALL_LIBDIR "/pkgconfig");
    options.environment["CXX"] = QM_CXX;
    const std::string flags = std::string("CXXFLAGS=-O1 ") + (debug ? "-D_GLIBCXX_DEBUG " : "") + kStrictFlags;
    const ProcessResult made = RunTool("/usr/bin/make", {"-C", build, "-f", kExample + "/Makefile", flags}, options);
    ASSERT_EQ(made.exitCode, 0) << Printed(made);
    ASSERT_TRUE(fs::exists(build + "/libqm_sqlite_tables.so"));
    EXPECT_FALSE(fs::exists(sdk.PluginDir() + "/libqm_sqlite_tables.so"));

    options = Isolated();
    options.environment["QM_PLUGIN_PATH"] = ":" + sdk.Scratch("empty") + ":" + build;
    if (!debug) {
      ImportWithExample(sdk, options);
      continue;
    }
    const ProcessResult list = RunTool(sdk.Host(), {"--list-plugins"}, options);
    ASSERT_EQ(list.exitCode, 0) << Printed(list);
    const std::string refusal = "  " + build + "/libqm_sqlite_tables.so: built as \"" QM_PLUGIN_BUILD_STAMP
                                " debug-containers\", but this host is built as \"" QM_PLUGIN_BUILD_STAMP "\"";
    EXPECT_NE(list.out.find(refusal), std::string::npos) << refusal << "\n" << list.out;
    EXPECT_EQ(list.out.find("sqlite_tables  "), std::string::npos) << list.out;
    const std::string db = sdk.Scratch("data") + "/shop.db";  // made by the first round
    const ProcessResult named =
        RunTool(sdk.Host(), {"--plugin", "sqlite_tables", "--connect", "Driver={SQLite3};Database=" + db}, options);
    EXPECT_EQ(named.exitCode, 4) << Printed(named);
    EXPECT_NE(named.err.find("no plug-in named \"sqlite_tables\""), std::string::npos) << Printed(named);
    EXPECT_EQ(RunTool(sdk.Host(), {"--sqlite-tables", "Driver={SQLite3};Database=" + db}, options).exitCode, 2);
  }
}

// A plug-in folder dropped into plugins/ is built and found with no other
// edit. A copy of this tree (its folders linked, plugins/ a folder of its
// own with the bundled plug-ins and the example added), configured from
// scratch, builds the example into its plug-in folder whenever
// quillmere-import is built, and installs it; the example and what it
// needs are built there (unoptimised, to be quick), and this build's host,
// pointed at that lib/, finds it by looking and imports with it.
TEST(SdkTest, PluginFolderDroppedIntoPluginsIsBuiltAndFoundWithNoOtherEdit) {
  TempDir dir;
  const fs::path tree = dir.Path("tree");
  fs::create_directories(tree / "plugins");
  for (const fs::directory_entry& entry : fs::directory_iterator(QM_SOURCE_DIR)) {
    const std::string name = entry.path().filename().string();
    if (name == "plugins" || name == ".git" || name.rfind("build", 0) == 0) continue;
    fs::create_symlink(entry.path(), tree / name);
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(QM_SOURCE_DIR "/plugins"))
    fs::create_symlink(entry.path(), tree / "plugins" / entry.path().filename());
  fs::copy(kExample, tree / "plugins" / "sqlite-tables", fs::copy_options::recursive);

  const std::string build = dir.Path("build");
  const ProcessResult configured = RunTool(
      QM_CMAKE, {"-S", tree.string(), "-B", build, "-G", "Ninja", "-DCMAKE_MAKE_PROGRAM=" QM_NINJA,
                 "-DCMAKE_CXX_COMPILER=" QM_CXX, "-DCMAKE_BUILD_TYPE=Plain", "-DQM_BUILD_TESTS=OFF",
                 "-DQM_SANITIZE=" QM_SANITIZE_SETTING, "-DQM_TSAN=" QM_TSAN_SETTING});
  ASSERT_EQ(configured.exitCode, 0) << Printed(configured);

  // Building quillmere-import links the example into the plug-in folder;
  // installing puts it in the installation's.
  const ProcessResult commands = RunTool(QM_NINJA, {"-C", build, "-t", "commands", "quillmere-import"});
  ASSERT_EQ(commands.exitCode, 0) << Printed(commands);
  EXPECT_NE(commands.out.find("-o lib/quillmere/plugins/libqm_sqlite_tables.so "), std::string::npos)
      << commands.out.substr(0, 4000);
  EXPECT_NE(ReadFile(build + "/plugins/cmake_install.cmake").find("libqm_sqlite_tables.so"), std::string::npos);

  const ProcessResult built = RunTool(QM_CMAKE, {"--build", build, "-j", "2", "--target", "qm_sqlite_tables"});
  ASSERT_EQ(built.exitCode, 0) << Printed(built);
  const std::string lib = build + "/" QM_INSTALL_LIBDIR "/quillmere";
  ASSERT_TRUE(fs::exists(lib + "/plugins/libqm_sqlite_tables.so"));

  ProcessOptions options = Isolated();
  options.environment["QM_LIB_DIR"] = lib;
  const ProcessResult list = RunTool(QM_IMPORT_EXE, {"--list-plugins"}, options);
  ASSERT_EQ(list.exitCode, 0) << Printed(list);
  EXPECT_NE(list.out.find("sqlite_tables  Tables and columns"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("file:    " + lib + "/plugins/libqm_sqlite_tables.so"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("Refused"), std::string::npos) << list.out;

  const std::string db = dir.Path("shop.db");
  CreateShop(db);
  const ProcessResult imported =
      RunTool(QM_IMPORT_EXE, {"--sqlite-tables", "Driver={SQLite3};Database=" + db, "--quiet"}, options);
  ASSERT_EQ(imported.exitCode, 0) << Printed(imported);
  EXPECT_EQ(LineDifference(ColumnsSqliteReports(db), ColumnsOfModel(imported.out)), "");
}

}  // namespace
}  // namespace qm::test

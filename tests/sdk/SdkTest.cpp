// The SDK as a plug-in author gets it: this build installed into a
// temporary prefix and used from there; the example dropped into plugins/.
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

// Warnings are errors out of tree too, so that a header that warns fails here.
const std::string kStrictFlags = "-Wall -Wextra -Werror";

// Nothing in the child's environment leads back to the build tree.
ProcessOptions Isolated() {
  ProcessOptions options;
  options.unset = {"QM_LIB_DIR", "QM_PLUGIN_PATH", "LD_LIBRARY_PATH", "LD_PRELOAD", "CMAKE_PREFIX_PATH",
                   "PKG_CONFIG_PATH", "CXXFLAGS", "LDFLAGS"};
  options.timeoutSeconds = 900;  // the header check compiles three translation units a header
  return options;
}

ProcessResult Invoke(const std::string& program, const Strings& args, const ProcessOptions& options = Isolated(),
                     int exitCode = 0) {
  ProcessResult result = RunProcess(program, args, options);
  EXPECT_FALSE(result.timedOut) << program << "\n" << Printed(result);
  EXPECT_EQ(result.exitCode, exitCode) << program << "\n" << Printed(result);
  return result;
}

// This build installed, then moved: an installation works wherever it is put.
class InstalledSdk {
 public:
  InstalledSdk() {
    Invoke(QM_CMAKE, {"--install", QM_BUILD_DIR, "--prefix", m_dir.Path("installed")});
    fs::rename(m_dir.Path("installed"), Prefix());
  }

  std::string Prefix() const { return m_dir.Path("prefix"); }
  std::string Path(const std::string& relative) const { return Prefix() + "/" + relative; }
  std::string LibraryDir() const { return Path(QM_INSTALL_LIBDIR "/quillmere"); }
  std::string PluginDir() const { return LibraryDir() + "/plugins"; }
  std::string Host() const { return Path(QM_INSTALL_BINDIR "/quillmere-import"); }
  std::string Scratch(const std::string& name) const {
    fs::create_directories(m_dir.Path(name));
    return m_dir.Path(name);
  }

 private:
  TempDir m_dir;
};

// The RUNPATH (or RPATH) of an ELF file; with `soname`, its SONAME too.
std::string RunPath(const std::string& path, std::string* soname = nullptr) {
  std::string runPath;
  for (const std::string& line : Lines(Invoke("/usr/bin/readelf", {"-d", "-W", path}).out)) {
    const std::size_t open = line.find('[');
    const std::size_t close = line.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    const std::string value = line.substr(open + 1, close - open - 1);
    if (line.find("(RUNPATH)") != std::string::npos || line.find("(RPATH)") != std::string::npos) runPath += value;
    if (soname != nullptr && line.find("(SONAME)") != std::string::npos) *soname = value;
  }
  return runPath;
}

// Names that need quoting, every column flavour, objects the example skips.
void CreateShop(const std::string& path) {
  SqliteFile(path).Exec(
      "CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT NOT NULL, \"e-mail\" VARCHAR(200) UNIQUE);"
      "CREATE TABLE \"order lines\" (order_id INT NOT NULL REFERENCES customers, \"Größe\" NUMERIC(10,2), note);"
      "CREATE TABLE \"say \"\"hi\"\"\" (x);"
      "CREATE INDEX order_notes ON \"order lines\" (note);"
      "CREATE VIEW names AS SELECT name FROM customers;");
}

// "table | position | column | type | nullable" as SQLite reports them.
Strings ColumnsSqliteReports(const std::string& path) {
  Strings lines;
  const std::string query =
      "SELECT m.name, p.cid + 1, p.name, p.type, 1 - p.\"notnull\" FROM sqlite_master m, pragma_table_info(m.name) p "
      "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  for (const auto& column : SqliteFile(path).Rows(query))
    lines.push_back(Line({column[0], column[1], column[2], column[3], column[4]}));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The same from the host's model, which holds one schema, main.
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

// The prefix stands on its own: versioned libraries, relative run paths,
// package files naming no folder of the trees, a host that runs.
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
    std::string soname;
    EXPECT_EQ(RunPath(path, &soname), "$ORIGIN") << path;
    EXPECT_EQ(soname, "lib" + library + ".so.0") << path;
    EXPECT_TRUE(fs::exists(sdk.LibraryDir() + "/" + soname)) << library;
  }
  for (const std::string plugin : {"sqlite", "postgres"})
    EXPECT_EQ(RunPath(sdk.PluginDir() + "/libqm_" + plugin + ".so"), "$ORIGIN/..") << plugin;
  EXPECT_EQ(RunPath(sdk.Host()), "$ORIGIN/" QM_LIBDIR_FROM_BINDIR);

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
  EXPECT_NE(Invoke(sdk.Host(), {"--quiet", "--format", "tree"}).out.find("publishers"), std::string::npos);
}

// Every installed header compiles alone and before and after unixODBC's,
// with find_package(Quillmere)'s flags (tests/sdk/headers).
TEST(SdkTest, EveryInstalledHeaderCompilesAloneAndInEitherOrderWithOdbc) {
  const InstalledSdk sdk;
  const std::string build = sdk.Scratch("headers");
  Invoke(QM_CMAKE, {"-S", QM_SOURCE_DIR "/tests/sdk/headers", "-B", build, "-G", "Ninja",
                    "-DCMAKE_PREFIX_PATH=" + sdk.Prefix(), "-DCMAKE_CXX_COMPILER=" QM_CXX,
                    "-DCMAKE_CXX_FLAGS=" + kStrictFlags});
  Invoke(QM_CMAKE, {"--build", build, "-j", "2"});
  int compiled = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(build))
    if (entry.path().extension() == ".o") ++compiled;
  int headers = 0;
  for (const auto& entry : fs::recursive_directory_iterator(sdk.Path(QM_INSTALL_INCLUDEDIR "/quillmere")))
    if (entry.path().extension() == ".h") ++headers;
  EXPECT_GT(headers, 30);
  EXPECT_EQ(compiled, 3 * headers);
}

// The Markdown's indented command blocks, each marked or not by the
// comment that says this test runs it.
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
          blocks.push_back({block, before.find("<!-- tests/sdk/SdkTest.cpp runs these commands") != std::string::npos});
          break;
        }
      block.clear();
    }
    blankBefore = start == std::string::npos;
    if (!blankBefore) before = line;
  }
  return blocks;
}

// Every command block of the READMEs' plug-in guides run as written (the
// prefix for /opt/quillmere): built with CMake and with make, the example
// is found, its model holds the columns SQLite reports, its SQL makes them.
TEST(SdkTest, ExamplePluginBuiltAsTheGuideSaysIsFoundAndImports) {
  const InstalledSdk sdk;
  const std::string readme = ReadFile(QM_SOURCE_DIR "/README.md");
  const std::size_t guide = readme.find("\n## Writing a plug-in\n");
  ASSERT_NE(guide, std::string::npos);
  const std::size_t next = readme.find("\n## ", guide + 1);
  const Strings texts = {readme.substr(guide, next == std::string::npos ? std::string::npos : next - guide),
                         ReadFile(kExample + "/README.md")};
  const std::string folder = sdk.Scratch("guide");
  fs::create_directory_symlink(QM_SOURCE_DIR "/examples", folder + "/examples");
  const std::string db = folder + "/shop.db";
  CreateShop(db);
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
      printed += Invoke("/bin/sh", {"-ec", block.text}, options).out;
      ++run;
    }
  }
  EXPECT_GE(run, 3);
  ASSERT_TRUE(fs::exists(sdk.PluginDir() + "/libqm_sqlite_tables.so"));
  ASSERT_TRUE(fs::exists(sdk.Scratch("st") + "/libqm_sqlite_tables.so"));
  EXPECT_NE(printed.find("\nsqlite_tables  Tables and columns of an SQLite database's main schema"), std::string::npos)
      << printed;
  EXPECT_NE(printed.find("file:    " + sdk.PluginDir() + "/libqm_sqlite_tables.so"), std::string::npos) << printed;
  EXPECT_NE(printed.find("order lines"), std::string::npos) << printed;
  EXPECT_NE(printed.find("\"name\": \"order lines\""), std::string::npos) << "the make-built plug-in's model";

  const std::string connect = "Driver={SQLite3};Database=" + db;
  const std::string model = folder + "/model.json";
  const ProcessResult imported = Invoke(sdk.Host(), {"--plugin", "sqlite_tables", "--connect", connect, "-o", model});
  EXPECT_NE(imported.err.find("imported 1 schema, 3 tables, 7 columns"), std::string::npos) << Printed(imported);
  const Strings expected = ColumnsSqliteReports(db);
  ASSERT_EQ(expected.size(), 7u);
  EXPECT_EQ(LineDifference(expected, ColumnsOfModel(ReadFile(model))), "");
  // Its table names SQLite's dialect: the sql format writes what SQLite runs.
  const ProcessResult sql = Invoke(sdk.Host(), {"--plugin", "sqlite_tables", "--connect", connect, "--format", "sql"});
  EXPECT_NE(sql.out.find(", in SQLite, for an empty database."), std::string::npos) << sql.out;
  SqliteFile(folder + "/copy.db").Exec(sql.out);
  EXPECT_EQ(LineDifference(expected, ColumnsSqliteReports(folder + "/copy.db")), "") << sql.out;
}

// Built with _GLIBCXX_DEBUG (other container layouts), the example is
// refused with both build stamps; nothing of it is offered or run.
TEST(SdkTest, ExamplePluginBuiltWithOtherSettingsIsRefused) {
  const InstalledSdk sdk;
  const std::string build = sdk.Scratch("example-debug");
  ProcessOptions options = Isolated();
  options.environment["PKG_CONFIG_LIBDIR"] = sdk.Path(QM_INSTALL_LIBDIR "/pkgconfig");
  options.environment["CXX"] = QM_CXX;
  Invoke("/usr/bin/make",
         {"-C", build, "-f", kExample + "/Makefile", "CXXFLAGS=-O1 -D_GLIBCXX_DEBUG " + kStrictFlags}, options);
  ASSERT_TRUE(fs::exists(build + "/libqm_sqlite_tables.so"));

  options = Isolated();
  options.environment["QM_PLUGIN_PATH"] = ":" + sdk.Scratch("empty") + ":" + build;
  const std::string list = Invoke(sdk.Host(), {"--list-plugins"}, options).out;
  const std::string refusal = "  " + build + "/libqm_sqlite_tables.so: built as \"" QM_PLUGIN_BUILD_STAMP
                              " debug-containers\", but this host is built as \"" QM_PLUGIN_BUILD_STAMP "\"";
  EXPECT_NE(list.find(refusal), std::string::npos) << refusal << "\n" << list;
  EXPECT_EQ(list.find("sqlite_tables  "), std::string::npos) << list;
  const std::string db = sdk.Scratch("data") + "/shop.db";
  CreateShop(db);
  const std::string connect = "Driver={SQLite3};Database=" + db;
  const ProcessResult named = Invoke(sdk.Host(), {"--plugin", "sqlite_tables", "--connect", connect}, options, 4);
  EXPECT_NE(named.err.find("no plug-in named \"sqlite_tables\""), std::string::npos) << Printed(named);
  Invoke(sdk.Host(), {"--sqlite-tables", connect}, options, 2);
}

// The example dropped into plugins/ of a copy of this tree is built with
// quillmere-import and installed, with no other edit; this build's host,
// pointed at that lib/, finds it and imports with it.
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
  Invoke(QM_CMAKE, {"-S", tree.string(), "-B", build, "-G", "Ninja", "-DCMAKE_MAKE_PROGRAM=" QM_NINJA,
                    "-DCMAKE_CXX_COMPILER=" QM_CXX, "-DCMAKE_BUILD_TYPE=Plain", "-DQM_BUILD_TESTS=OFF",
                    "-DQM_SANITIZE=" QM_SANITIZE_SETTING, "-DQM_TSAN=" QM_TSAN_SETTING});
  const std::string commands = Invoke(QM_NINJA, {"-C", build, "-t", "commands", "quillmere-import"}).out;
  EXPECT_NE(commands.find("-o lib/quillmere/plugins/libqm_sqlite_tables.so "), std::string::npos)
      << commands.substr(0, 4000);
  EXPECT_NE(ReadFile(build + "/plugins/cmake_install.cmake").find("libqm_sqlite_tables.so"), std::string::npos);
  Invoke(QM_CMAKE, {"--build", build, "-j", "2", "--target", "qm_sqlite_tables"});
  const std::string lib = build + "/" QM_INSTALL_LIBDIR "/quillmere";
  ASSERT_TRUE(fs::exists(lib + "/plugins/libqm_sqlite_tables.so"));

  ProcessOptions options = Isolated();
  options.environment["QM_LIB_DIR"] = lib;
  const std::string list = Invoke(QM_IMPORT_EXE, {"--list-plugins"}, options).out;
  EXPECT_NE(list.find("sqlite_tables  Tables and columns"), std::string::npos) << list;
  EXPECT_NE(list.find("file:    " + lib + "/plugins/libqm_sqlite_tables.so"), std::string::npos) << list;
  EXPECT_EQ(list.find("Refused"), std::string::npos) << list;
  const std::string db = dir.Path("shop.db");
  CreateShop(db);
  const ProcessResult imported =
      Invoke(QM_IMPORT_EXE, {"--sqlite-tables", "Driver={SQLite3};Database=" + db, "--quiet"}, options);
  EXPECT_EQ(LineDifference(ColumnsSqliteReports(db), ColumnsOfModel(imported.out)), "");
}

}  // namespace
}  // namespace qm::test

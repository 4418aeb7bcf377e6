// The Debian packages as a user and a plug-in author get them: built by
// scripts/package, unpacked into an empty folder and used from there (the
// program on its sample and on an SQLite file, the example plug-in built
// against the -dev package with CMake and with pkg-config), checked with
// lintian; and, where installing system packages is allowed, installed
// with apt-get, used from /usr/bin and removed.
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

ProcessOptions Isolated() {
  ProcessOptions options;
  options.unset = {"QM_LIB_DIR", "QM_PLUGIN_PATH", "LD_LIBRARY_PATH", "CMAKE_PREFIX_PATH", "PKG_CONFIG_PATH"};
  options.timeoutSeconds = 600;
  return options;
}

ProcessResult RunTool(const std::string& program, const Strings& args, const ProcessOptions& options = Isolated()) {
  ProcessResult result = RunProcess(program, args, options);
  EXPECT_FALSE(result.timedOut) << program << "\n" << Printed(result);
  return result;
}

std::string Multiarch() { return Lines(RunTool("/usr/bin/dpkg-architecture", {"-qDEB_HOST_MULTIARCH"}).out).at(0); }

// The two packages, built once for all the tests of this file.
struct Packages {
  std::string program;
  std::string dev;
};
const Packages& Built() {
  static Packages packages;
  static std::once_flag once;
  std::call_once(once, [] {
    fs::remove_all(QM_PACKAGE_DIR);
    ProcessOptions options = Isolated();
    options.timeoutSeconds = 3000;
    const ProcessResult result = RunTool(QM_SOURCE_DIR "/scripts/package",
                                     {"--build-dir", QM_PACKAGE_BUILD_DIR, "--output", QM_PACKAGE_DIR}, options);
    ASSERT_EQ(result.exitCode, 0) << Printed(result);
    for (const std::string& line : Lines(result.out)) {
      const std::string name = fs::path(line).filename().string();
      (name.rfind("quillmere-dev_", 0) == 0 ? packages.dev : packages.program) = line;
    }
  });
  return packages;
}

std::string Field(const std::string& deb, const std::string& field) {
  return RunTool("/usr/bin/dpkg-deb", {"-f", deb, field}).out;
}

TEST(PackageTest, PackagesDeclareWhatTheyNeedAndLintianFindsNoError) {
  const Packages& packages = Built();
  ASSERT_FALSE(packages.program.empty());
  ASSERT_FALSE(packages.dev.empty());
  EXPECT_EQ(fs::path(packages.program).filename().string().rfind("quillmere_", 0), 0u);
  const std::string depends = Field(packages.program, "Depends");
  for (const char* library : {"libodbc2", "libodbcinst2", "libsqlite3-0", "libstdc++6"})
    EXPECT_NE(depends.find(library), std::string::npos) << library << " missing from " << depends;
  const std::string recommends = Field(packages.program, "Recommends");
  // The drivers, and Graphviz, which the svg writer loads only when it draws.
  for (const char* driver : {"libsqliteodbc", "odbc-postgresql", "odbc-mariadb", "libgvc6"})
    EXPECT_NE(recommends.find(driver), std::string::npos) << driver;
  EXPECT_NE(Field(packages.dev, "Depends").find("quillmere (= "), std::string::npos);

  const ProcessResult lintian =
      RunTool("/usr/bin/lintian", {"--fail-on", "error", "--no-tag-display-limit", packages.program, packages.dev});
  EXPECT_EQ(lintian.exitCode, 0) << Printed(lintian);
  EXPECT_EQ(lintian.out.find("E: "), std::string::npos) << lintian.out;
  std::cout << "lintian:\n" << lintian.out;
}

// Both packages unpacked into an empty folder: the program imports its
// sample and an SQLite file from there, and the example plug-in builds
// against the unpacked SDK with CMake and with pkg-config, and is found
// and used by the unpacked program.
TEST(PackageTest, UnpackedPackagesImportAndBuildTheExamplePlugin) {
  const Packages& packages = Built();
  ASSERT_FALSE(packages.dev.empty());
  TempDir dir;
  const std::string root = dir.Path("root");
  fs::create_directory(root);
  for (const std::string& deb : {packages.program, packages.dev})
    ASSERT_EQ(RunTool("/usr/bin/dpkg-deb", {"-x", deb, root}).exitCode, 0) << deb;
  const std::string host = root + "/usr/bin/quillmere-import";

  const ProcessResult sample = RunTool(host, {"--quiet", "--format", "tree"});
  EXPECT_EQ(sample.exitCode, 0) << Printed(sample);
  EXPECT_NE(sample.out.find("publishers"), std::string::npos) << Printed(sample);
  const std::string db = dir.Path("shop.db");
  SqliteFile(db).Exec("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT);");
  const ProcessResult file = RunTool(host, {"--sqlite", db, "--quiet", "--format", "tree"});
  EXPECT_EQ(file.exitCode, 0) << Printed(file);
  EXPECT_NE(file.out.find("customers"), std::string::npos) << Printed(file);

  ProcessOptions build = Isolated();
  build.environment["CXX"] = QM_CXX;
  ProcessResult result = RunTool(QM_CMAKE, {"-S", QM_SOURCE_DIR "/examples/sqlite-tables", "-B", dir.Path("cmake"),
                                        "-DCMAKE_PREFIX_PATH=" + root + "/usr"},
                             build);
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  result = RunTool(QM_CMAKE, {"--build", dir.Path("cmake")}, build);
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  fs::create_directory(dir.Path("make"));
  result = RunTool("/usr/bin/make", {"-C", dir.Path("make"), "-f", QM_SOURCE_DIR "/examples/sqlite-tables/Makefile",
                                 "PKG_CONFIG_PATH=" + root + "/usr/lib/" + Multiarch() + "/pkgconfig"},
               build);
  ASSERT_EQ(result.exitCode, 0) << Printed(result);

  for (const std::string& folder : {dir.Path("cmake"), dir.Path("make")}) {
    ProcessOptions options = Isolated();
    options.environment["QM_PLUGIN_PATH"] = folder;
    const ProcessResult imported = RunTool(
        host, {"--plugin", "sqlite_tables", "--connect", "Driver={SQLite3};Database=" + db, "--format", "tree"}, options);
    EXPECT_EQ(imported.exitCode, 0) << folder << "\n" << Printed(imported);
    EXPECT_NE(imported.out.find("customers"), std::string::npos) << folder << "\n" << Printed(imported);
  }
}

// The completion offers the options and the formats the program lists.
TEST(PackageTest, CompletionOffersOptionsAndFormats) {
  const Packages& packages = Built();
  TempDir dir;
  ASSERT_EQ(RunTool("/usr/bin/dpkg-deb", {"-x", packages.program, dir.Path()}).exitCode, 0);
  const std::string script = "source /usr/share/bash-completion/bash_completion\n"
                             "source '" + dir.Path("usr/share/bash-completion/completions/quillmere-import") + "'\n"
                             "complete_words() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
                             " COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}; COMPREPLY=();"
                             " _quillmere_import; printf '%s\\n' \"${COMPREPLY[@]}\"; }\n"
                             "complete_words '" + dir.Path("usr/bin/quillmere-import") + "' --for\n"
                             "complete_words '" + dir.Path("usr/bin/quillmere-import") + "' --format s\n";
  const ProcessResult result = RunTool("/bin/bash", {"-c", script});
  EXPECT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(Lines(result.out), (Strings{"--format", "sql", "svg"})) << Printed(result);
}

// apt-get installs the program; it runs from /usr/bin, its manual page
// shows, it finds its plug-ins in its own folder and keeps its index in
// the user's cache, and the build tree's host still uses the build's
// libraries meanwhile. The package is removed again.
TEST(PackageTest, InstalledWithAptRunsFromUsrBin) {
  const char* allowed = std::getenv("QM_SYSTEM_INSTALL_TESTS");
  if (allowed == nullptr || std::string(allowed) != "1")
    GTEST_SKIP() << "installs a system package: runs only with QM_SYSTEM_INSTALL_TESTS=1 (CI)";
  ASSERT_NE(RunTool("/usr/bin/dpkg-query", {"-W", "-f", "${db:Status-Status}", "quillmere"}).out, "installed")
      << "quillmere is installed already: not touching it";
  const Packages& packages = Built();
  ProcessOptions apt = Isolated();
  apt.environment["DEBIAN_FRONTEND"] = "noninteractive";
  struct Removal {
    ProcessOptions options;
    ~Removal() { RunProcess("/usr/bin/apt-get", {"purge", "-y", "-q", "quillmere"}, options); }
  } removal{apt};
  const ProcessResult installed = RunTool("/usr/bin/apt-get", {"install", "-y", "-q", packages.program}, apt);
  ASSERT_EQ(installed.exitCode, 0) << Printed(installed);

  TempDir home;
  ProcessOptions user = Isolated();
  user.environment["XDG_CACHE_HOME"] = home.Path("cache");
  const ProcessResult version = RunTool("/usr/bin/quillmere-import", {"--version"}, user);
  EXPECT_EQ(version.out, RunTool(QM_IMPORT_EXE, {"--version"}).out) << Printed(version);
  ProcessOptions man = user;
  man.environment["MANPAGER"] = "cat";
  man.environment["MANWIDTH"] = "80";
  const ProcessResult page = RunTool("/usr/bin/man", {"quillmere-import"}, man);
  EXPECT_EQ(page.exitCode, 0) << Printed(page);
  EXPECT_NE(page.out.find("--list-plugins"), std::string::npos) << Printed(page);
  const std::string plugins = "/usr/lib/" + Multiarch() + "/quillmere/plugins";
  const ProcessResult list = RunTool("/usr/bin/quillmere-import", {"--list-plugins"}, user);
  EXPECT_EQ(list.exitCode, 0) << Printed(list);
  EXPECT_NE(list.out.find("file:    " + plugins + "/libqm_sqlite.so"), std::string::npos) << list.out;
  EXPECT_FALSE(fs::is_empty(home.Path("cache"))) << "the plug-in index is kept in the user's cache folder";
  const std::string files = RunTool("/usr/bin/dpkg", {"-L", "quillmere"}).out;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator("/usr/lib/" + Multiarch() + "/quillmere"))
    EXPECT_NE(files.find(entry.path().string() + "\n"), std::string::npos) << entry.path() << " is no file of the package";

  const ProcessResult build = RunTool(QM_IMPORT_EXE, {"--list-plugins"});
  EXPECT_EQ(build.out.find(plugins), std::string::npos) << build.out;
  EXPECT_NE(build.out.find(fs::path(QM_IMPORT_EXE).parent_path().parent_path().string() + "/lib/quillmere/plugins"),
            std::string::npos)
      << build.out;
}

}  // namespace
}  // namespace qm::test

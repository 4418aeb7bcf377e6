// The Debian packages from scripts/package: checked with lintian, unpacked
// and used, and where allowed installed with apt-get, used and removed.
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

ProcessResult Invoke(const std::string& program, const Strings& args,
                     const ProcessOptions& options = Isolated()) {
  ProcessResult result = RunProcess(program, args, options);
  EXPECT_FALSE(result.timedOut) << program << "\n" << Printed(result);
  EXPECT_EQ(result.exitCode, 0) << program << "\n" << Printed(result);
  return result;
}

std::string Multiarch() { return Lines(Invoke("/usr/bin/dpkg-architecture", {"-qDEB_HOST_MULTIARCH"}).out).at(0); }

// Built once for all the tests of this file.
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
    const ProcessResult result = Invoke(QM_SOURCE_DIR "/scripts/package",
                                        {"--build-dir", QM_PACKAGE_BUILD_DIR, "--output", QM_PACKAGE_DIR}, options);
    for (const std::string& line : Lines(result.out)) {
      const std::string name = fs::path(line).filename().string();
      (name.rfind("quillmere-dev_", 0) == 0 ? packages.dev : packages.program) = line;
    }
  });
  return packages;
}

std::string Field(const std::string& deb, const std::string& field) {
  return Invoke("/usr/bin/dpkg-deb", {"-f", deb, field}).out;
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
      Invoke("/usr/bin/lintian", {"--fail-on", "error", "--no-tag-display-limit", packages.program, packages.dev});
  EXPECT_EQ(lintian.out.find("E: "), std::string::npos) << lintian.out;
  std::cout << "lintian:\n" << lintian.out;
}

// Unpacked, the program imports, completes its options and formats, and
// uses the example plug-in built against the -dev package with CMake and make.
TEST(PackageTest, UnpackedPackagesImportAndBuildTheExamplePlugin) {
  const Packages& packages = Built();
  ASSERT_FALSE(packages.dev.empty());
  TempDir dir;
  const std::string root = dir.Path("root");
  fs::create_directory(root);
  for (const std::string& deb : {packages.program, packages.dev}) Invoke("/usr/bin/dpkg-deb", {"-x", deb, root});
  const std::string host = root + "/usr/bin/quillmere-import";

  EXPECT_NE(Invoke(host, {"--quiet", "--format", "tree"}).out.find("publishers"), std::string::npos);
  const std::string db = dir.Path("shop.db");
  SqliteFile(db).Exec("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT);");
  EXPECT_NE(Invoke(host, {"--sqlite", db, "--quiet", "--format", "tree"}).out.find("customers"), std::string::npos);
  const std::string script = "source /usr/share/bash-completion/bash_completion\n"
                             "source '" + root + "/usr/share/bash-completion/completions/quillmere-import'\n"
                             "complete_words() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
                             " COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}; COMPREPLY=();"
                             " _quillmere_import; printf '%s\\n' \"${COMPREPLY[@]}\"; }\n"
                             "complete_words '" + host + "' --for\n"
                             "complete_words '" + host + "' --format s\n";
  EXPECT_EQ(Lines(Invoke("/bin/bash", {"-c", script}).out), (Strings{"--format", "sql", "svg"}));

  ProcessOptions build = Isolated();
  build.environment["CXX"] = QM_CXX;
  Invoke(QM_CMAKE, {"-S", QM_SOURCE_DIR "/examples/sqlite-tables", "-B", dir.Path("cmake"),
                    "-DCMAKE_PREFIX_PATH=" + root + "/usr"}, build);
  Invoke(QM_CMAKE, {"--build", dir.Path("cmake")}, build);
  fs::create_directory(dir.Path("make"));
  Invoke("/usr/bin/make", {"-C", dir.Path("make"), "-f", QM_SOURCE_DIR "/examples/sqlite-tables/Makefile",
                           "PKG_CONFIG_PATH=" + root + "/usr/lib/" + Multiarch() + "/pkgconfig"}, build);
  for (const std::string& folder : {dir.Path("cmake"), dir.Path("make")}) {
    ProcessOptions options = Isolated();
    options.environment["QM_PLUGIN_PATH"] = folder;
    const ProcessResult imported = Invoke(
        host, {"--plugin", "sqlite_tables", "--connect", "Driver={SQLite3};Database=" + db, "--format", "tree"},
        options);
    EXPECT_NE(imported.out.find("customers"), std::string::npos) << folder << "\n" << Printed(imported);
  }
}

// Installed with apt-get: it runs from /usr/bin with its manual page, its
// plug-ins and its index in the user's cache; the build's host keeps its own.
TEST(PackageTest, InstalledWithAptRunsFromUsrBin) {
  const char* allowed = std::getenv("QM_SYSTEM_INSTALL_TESTS");
  if (allowed == nullptr || std::string(allowed) != "1")
    GTEST_SKIP() << "installs a system package: runs only with QM_SYSTEM_INSTALL_TESTS=1 (CI)";
  ASSERT_NE(RunProcess("/usr/bin/dpkg-query", {"-W", "-f", "${db:Status-Status}", "quillmere"}).out, "installed")
      << "quillmere is installed already: not touching it";
  const Packages& packages = Built();
  ProcessOptions apt = Isolated();
  apt.environment["DEBIAN_FRONTEND"] = "noninteractive";
  struct Removal {
    ProcessOptions options;
    ~Removal() { RunProcess("/usr/bin/apt-get", {"purge", "-y", "-q", "quillmere"}, options); }
  } removal{apt};
  ASSERT_EQ(Invoke("/usr/bin/apt-get", {"install", "-y", "-q", packages.program}, apt).exitCode, 0);

  TempDir home;
  ProcessOptions user = Isolated();
  user.environment["XDG_CACHE_HOME"] = home.Path("cache");
  EXPECT_EQ(Invoke("/usr/bin/quillmere-import", {"--version"}, user).out, Invoke(QM_IMPORT_EXE, {"--version"}).out);
  ProcessOptions man = user;
  man.environment["MANPAGER"] = "cat";
  man.environment["MANWIDTH"] = "80";
  const ProcessResult page = Invoke("/usr/bin/man", {"quillmere-import"}, man);
  EXPECT_NE(page.out.find("--list-plugins"), std::string::npos) << Printed(page);
  const std::string plugins = "/usr/lib/" + Multiarch() + "/quillmere/plugins";
  const ProcessResult list = Invoke("/usr/bin/quillmere-import", {"--list-plugins"}, user);
  EXPECT_NE(list.out.find("file:    " + plugins + "/libqm_sqlite.so"), std::string::npos) << list.out;
  EXPECT_FALSE(fs::is_empty(home.Path("cache"))) << "the plug-in index is kept in the user's cache folder";
  const std::string files = Invoke("/usr/bin/dpkg", {"-L", "quillmere"}).out;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator("/usr/lib/" + Multiarch() + "/quillmere"))
    EXPECT_NE(files.find(entry.path().string() + "\n"), std::string::npos) << entry.path() << " is no file of the package";

  const ProcessResult build = Invoke(QM_IMPORT_EXE, {"--list-plugins"});
  EXPECT_EQ(build.out.find(plugins), std::string::npos) << build.out;
  EXPECT_NE(build.out.find(fs::path(QM_IMPORT_EXE).parent_path().parent_path().string() + "/lib/quillmere/plugins"),
            std::string::npos)
      << build.out;
}

}  // namespace
}  // namespace qm::test

// The choice of what to import, in process, with the real module and the
// bundled plug-ins loaded as the host loads them: the plug-in comes from
// what the tables say (a shortcut's plug-in, a --plugin name, a Driver they
// list, a sample), the files an import would read from the plug-ins (the
// chosen one, and the one serving the Driver), and the SQL dialect from the
// plug-in's table.
#include "Console.h"
#include "LiveImport.h"
#include "ParsedOptions.h"
#include "PluginList.h"
#include "Source.h"

#include <TempDir.h>

#include <runner/Libraries.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace app {
namespace {

using test::Captured;

class SourceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_module = new runner::ImportModule;
    std::string error;
    ASSERT_TRUE(s_module->Open(QM_LIBRARY_DIR, error)) << error;
    s_plugins = new runner::PluginCatalogue;
    s_plugins->Discover({QM_LIBRARY_DIR "/plugins"});
  }
  static void TearDownTestSuite() {
    delete s_plugins;
    delete s_module;
  }

  // The source chosen, ResolveSource's exit code and what it printed.
  static Source Resolve(const Options& options, int* exitCode = nullptr, std::string* printed = nullptr) {
    Source source;
    int code = 0;
    const std::string text = Captured([&](std::FILE* stream) {
      Console console(stream, false, false);
      code = ResolveSource(options, *s_plugins, console, source);
    });
    if (exitCode != nullptr) *exitCode = code;
    if (printed != nullptr) *printed = text;
    return source;
  }

  static Options Connect(const std::string& text, const std::string& plugin = {}, bool generic = false) {
    Options options;
    options.connectGiven = true;
    options.connectString = text;
    options.plugin = plugin;
    options.generic = generic;
    return options;
  }

  static runner::ImportModule* s_module;
  static runner::PluginCatalogue* s_plugins;
};

runner::ImportModule* SourceTest::s_module = nullptr;
runner::PluginCatalogue* SourceTest::s_plugins = nullptr;

TEST_F(SourceTest, PluginIsChosenByWhatTheTablesSay) {
  const Shortcut sqlite{"sqlite", "PATH", "", "sqlite", true};
  Options bySqlite;
  bySqlite.shortcut = &sqlite;
  bySqlite.shortcutValue = "shop.db";
  const struct {
    Options options;
    int exitCode;         // -1: chosen
    std::string plugin;   // the plug-in chosen
    std::string printed;  // a part of what was printed; "" for nothing
  } cases[] = {
      {bySqlite, -1, "sqlite", ""},
      {Connect("Driver={SQLite3};Database=a.db"), -1, "sqlite", ""},
      {Connect("driver={postgresql unicode};Server=db;PWD=secret"), -1, "postgres", ""},
      {Connect("Driver={MariaDB Unicode};Server=127.0.0.1;Port=3306;PWD=secret"), -1, "mariadb", ""},
      {Connect("Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so;Database=a.db"), -1, "sqlite", ""},
      {Connect("Driver={SQLite3};Database=a.db", "postgres"), -1, "postgres", ""},
      {Connect("Driver={SQLite3}", "nosuch"), 4, "", "error: no plug-in named \"nosuch\": found: mariadb, odbc, postgres, sqlite, in "},
      {Connect("DSN=shop;PWD=secret"), 2, "",
       "names a data source but no Driver, so the plug-in cannot be chosen; name its Driver too, or choose the "
       "plug-in with --plugin NAME or --mariadb STRING or --postgres STRING"},
      {Connect("Database=x.db"), 2, "",
       "error: the connection string names no Driver (e.g. Driver={MariaDB Unicode}, Driver={PostgreSQL Unicode} or "
       "Driver={SQLite3})"},
      // An installed driver no plug-in lists (libsqliteodbc's SQLite 2
      // driver): the plug-in that serves any driver reads it.
      {Connect("Driver={SQLite};Database=a.db"), -1, "odbc", ""},
      // A driver that is not installed: said before any plug-in tries it.
      {Connect("Driver={Oracle 19};PWD=secret"), 3, "", "error: the ODBC driver \"Oracle 19\" is not installed; installed: "},
      // --generic: that plug-in, even for a driver another lists.
      {Connect("Driver={SQLite3};Database=a.db", "", true), -1, "odbc", ""},
      {Connect("DSN=shop;PWD=secret", "", true), -1, "odbc", ""},
      {Options(), -1, "sqlite", ""},  // nothing named: the plug-in with a sample
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options.connectGiven ? c.options.connectString : "(no --connect)");
    int exitCode = 0;
    std::string printed;
    const Source source = Resolve(c.options, &exitCode, &printed);
    EXPECT_EQ(exitCode, c.exitCode) << printed;
    if (c.exitCode == -1) {
      ASSERT_NE(source.plugin, nullptr);
      EXPECT_EQ(source.plugin->api->name, c.plugin);
    }
    EXPECT_TRUE(c.printed.empty() ? printed.empty() : printed.find(c.printed) != std::string::npos) << printed;
    EXPECT_EQ(printed.find("secret"), std::string::npos);
  }
  const Source sample = Resolve(Options());
  EXPECT_TRUE(sample.sample && sample.isPath);
  EXPECT_TRUE(Resolve(bySqlite).isPath);
  // Which option is not offered, in the listing (the rest of it:
  // AppTest.ListPluginsShowsWhatWasFoundAndWhatWasRefused).
  const std::string list = DescribePlugins(*s_plugins, {"sqlite"});
  EXPECT_NE(list.find("          option:  --postgres (not offered: the name is taken by another option)"),
            std::string::npos)
      << list;
}

std::vector<std::string> Paths(const QmSourceFiles& files) {
  std::vector<std::string> paths;
  for (const QmInputFile& file : files.files) paths.push_back(file.path);
  return paths;
}

bool Holds(const std::vector<std::string>& paths, const std::string& path) {
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

// The write-ahead log, unbraced attachments and the form's string are also
// AppHostileUseTest's outputs that are the database read; these are the
// cases only the host's own choice reaches.
TEST_F(SourceTest, FilesReadComeFromThePlugins) {
  const qm::test::TempDir dir;
  const std::string a = dir.Path("a.db");
  const std::string b = dir.Path("b;c.db");
  const Shortcut sqlite{"sqlite", "PATH", "", "sqlite", true};
  Options bySqlite;
  bySqlite.shortcut = &sqlite;
  bySqlite.shortcutValue = a;
  EXPECT_EQ(SourceFiles(Resolve(bySqlite), *s_plugins).files.front().what, "the database " + a);

  const std::string connect = "Driver={SQLite3};Database=file:" + a + "?mode=ro;Attach={aux=" + b + "}";
  const std::vector<std::string> both = Paths(SourceFiles(Resolve(Connect(connect)), *s_plugins));
  EXPECT_TRUE(Holds(both, a) && Holds(both, b) && Holds(both, b + "-journal")) << ::testing::PrintToString(both);
  EXPECT_TRUE(SourceFiles(Resolve(Connect("Driver={PostgreSQL Unicode};Server=db")), *s_plugins).files.empty());
  EXPECT_TRUE(SourceFiles(Resolve(Options()), *s_plugins).files.empty()) << "the sample is the host's own";
  // A data source may name the database in its own settings.
  EXPECT_EQ(SourceFiles(Resolve(Connect("Driver={SQLite3};DSN=shop")), *s_plugins).unusable, u"");
}

// Each bundled plug-in declares a dialect the writers know; a dialect this
// program does not know is written as standard SQL, with a warning, and a
// plug-in that declares none gets standard SQL without one.
TEST_F(SourceTest, ThePluginsDialectIsTheOneWritten) {
  const struct {
    const char* plugin;
    const char* declared;  // overrides the table's; "-" keeps it
    const char* dialect;
    const char* warning;  // a part of it; empty: none
  } cases[] = {{"sqlite", "-", "sqlite", ""}, {"postgres", "-", "postgresql", ""}, {"mariadb", "-", "mariadb", ""},
               {"odbc", "-", "standard", ""}, {"sqlite", nullptr, "standard", ""}, {"sqlite", "", "standard", ""},
               {"sqlite", "firebird", "standard",
                "warning: the plug-in sqlite declares the SQL dialect \"firebird\", which this program does not know: "
                "its SQL is written in standard SQL"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.plugin) + " declaring " + (c.declared != nullptr ? c.declared : "null"));
    const runner::FoundPlugin* found = s_plugins->FindByName(c.plugin);
    ASSERT_NE(found, nullptr);
    std::string error, dialect;
    const QmPluginApi* api = s_plugins->Table(*found, &error);
    ASSERT_NE(api, nullptr) << error;
    QmPluginApi table = *api;
    if (c.declared == nullptr || std::string(c.declared) != "-") table.sqlDialect = c.declared;
    const std::string printed = Captured([&](std::FILE* stream) {
      Console console(stream, false, false);
      dialect = SqlDialectOf(table, console);
    });
    EXPECT_EQ(dialect, c.dialect);
    EXPECT_TRUE(*c.warning == '\0' ? printed.empty() : printed.find(c.warning) != std::string::npos) << printed;
  }
}

}  // namespace
}  // namespace app

// The choice of what to import, in process, with the real module and the
// bundled plug-ins loaded as the host loads them: the plug-in comes from
// what the tables say (a shortcut's plug-in, a --plugin name, a Driver they
// list, a sample), and the files an import would read come from the
// plug-ins (the chosen one, and the one serving the Driver).
#include "Console.h"
#include "LiveImport.h"
#include "Options.h"
#include "PluginList.h"
#include "Source.h"

#include <TempDir.h>

#include <runner/Libraries.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace app {
namespace {

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

  struct Resolved {
    int exitCode = -1;
    Source source;
    std::string printed;  // what the console printed
  };

  static Resolved Resolve(const Options& options) {
    Resolved resolved;
    std::FILE* stream = std::tmpfile();
    {
      Console console(stream, false, false);
      resolved.exitCode = ResolveSource(options, *s_plugins, console, resolved.source);
    }
    std::rewind(stream);
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) resolved.printed.append(buffer, read);
    std::fclose(stream);
    return resolved;
  }

  static Options Connect(const std::string& text, const std::string& plugin = {}) {
    Options options;
    options.connectGiven = true;
    options.connectString = text;
    options.plugin = plugin;
    return options;
  }

  static Options Generic(const std::string& text) {
    Options options = Connect(text);
    options.generic = true;
    return options;
  }

  static runner::ImportModule* s_module;
  static runner::PluginCatalogue* s_plugins;
};

runner::ImportModule* SourceTest::s_module = nullptr;
runner::PluginCatalogue* SourceTest::s_plugins = nullptr;

struct Case {
  Options options;
  int exitCode;          // -1: chosen
  std::string plugin;    // the plug-in chosen
  std::string printed;   // a part of what was printed; "" for nothing
};

TEST_F(SourceTest, PluginIsChosenByWhatTheTablesSay) {
  const Shortcut sqlite{"sqlite", "PATH", "", "sqlite", true};
  Options bySqlite;
  bySqlite.shortcut = &sqlite;
  bySqlite.shortcutValue = "shop.db";
  const Case cases[] = {
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
      {Generic("Driver={SQLite3};Database=a.db"), -1, "odbc", ""},
      {Generic("DSN=shop;PWD=secret"), -1, "odbc", ""},
      {Options(), -1, "sqlite", ""},  // nothing named: the plug-in with a sample
  };
  for (const Case& c : cases) {
    const std::string shown = c.options.connectGiven ? c.options.connectString : "(no --connect)";
    const Resolved resolved = Resolve(c.options);
    EXPECT_EQ(resolved.exitCode, c.exitCode) << shown << "\n" << resolved.printed;
    if (c.exitCode == -1) {
      ASSERT_NE(resolved.source.plugin, nullptr) << shown;
      EXPECT_EQ(resolved.source.plugin->api->name, c.plugin) << shown;
    }
    if (c.printed.empty()) {
      EXPECT_EQ(resolved.printed, "") << shown;
    } else {
      EXPECT_NE(resolved.printed.find(c.printed), std::string::npos) << shown << "\n" << resolved.printed;
    }
    EXPECT_EQ(resolved.printed.find("secret"), std::string::npos) << shown;
  }
  const Resolved sample = Resolve(Options());
  EXPECT_TRUE(sample.source.sample && sample.source.isPath);
  EXPECT_TRUE(Resolve(bySqlite).source.isPath);
}

std::vector<std::string> Paths(const QmSourceFiles& files) {
  std::vector<std::string> paths;
  for (const QmInputFile& file : files.files) paths.push_back(file.path);
  return paths;
}

bool Holds(const std::vector<std::string>& paths, const std::string& path) {
  return std::find(paths.begin(), paths.end(), path) != paths.end();
}

TEST_F(SourceTest, FilesReadComeFromThePlugins) {
  const qm::test::TempDir dir;
  const std::string a = dir.Path("a.db");
  const std::string b = dir.Path("b;c.db");
  const Shortcut sqlite{"sqlite", "PATH", "", "sqlite", true};
  Options bySqlite;
  bySqlite.shortcut = &sqlite;
  bySqlite.shortcutValue = a;

  const QmSourceFiles byPath = SourceFiles(Resolve(bySqlite).source, *s_plugins);
  EXPECT_TRUE(Holds(Paths(byPath), a));
  EXPECT_TRUE(Holds(Paths(byPath), a + "-wal"));
  EXPECT_EQ(byPath.files.front().what, "the database " + a);

  const std::string connect = "Driver={SQLite3};Database=file:" + a + "?mode=ro;Attach={aux=" + b + "}";
  const std::vector<std::string> both = Paths(SourceFiles(Resolve(Connect(connect)).source, *s_plugins));
  EXPECT_TRUE(Holds(both, a) && Holds(both, b) && Holds(both, b + "-journal")) << ::testing::PrintToString(both);

  // A plug-in that names no file of its own still has the Driver's plug-in
  // say which files the string opens.
  const Source other = Resolve(Connect("Driver={SQLite3};Database=" + a, "postgres")).source;
  EXPECT_TRUE(Holds(Paths(SourceFiles(other, *s_plugins)), a));
  EXPECT_TRUE(SourceFiles(Resolve(Connect("Driver={PostgreSQL Unicode};Server=db")).source, *s_plugins).files.empty());
  EXPECT_TRUE(SourceFiles(Resolve(Options()).source, *s_plugins).files.empty()) << "the sample is the host's own";

  // The form's string, not the configured one, once the form has run.
  const std::string completed = "Driver={SQLite3};Database=" + dir.Path("c.db");
  EXPECT_TRUE(Holds(Paths(SourceFiles(Resolve(bySqlite).source, *s_plugins, &completed)), dir.Path("c.db")));

  // A string that names no database is refused before connecting; one
  // with a data source may name it in the data source's settings.
  EXPECT_EQ(SourceFiles(Resolve(Connect("Driver={SQLite3};Database= ")).source, *s_plugins).unusable,
            u"the connection string names no database: it needs Database=PATH (its keys: Driver, Database)");
  EXPECT_EQ(SourceFiles(Resolve(Connect("Driver={SQLite3};DSN=shop")).source, *s_plugins).unusable, u"");
}

// The rest of the listing is AppE2eTest.ListPluginsShowsWhatWasFoundAndWhatWasRefused's.
TEST_F(SourceTest, PluginListSaysWhichOptionIsNotOffered) {
  const std::string list = DescribePlugins(*s_plugins, {"sqlite"});
  EXPECT_NE(list.find("          option:  --postgres (not offered: the name is taken by another option)"),
            std::string::npos)
      << list;
}

// Each bundled plug-in declares a dialect the writers know; a dialect this
// program does not know is written as standard SQL, with a warning, and a
// plug-in that declares none gets standard SQL without one.
TEST_F(SourceTest, ThePluginsDialectIsTheOneWritten) {
  auto dialectOf = [](const QmPluginApi& table, std::string& printed) {
    std::FILE* stream = std::tmpfile();
    std::string dialect;
    {
      Console console(stream, false, false);
      dialect = SqlDialectOf(table, console);
    }
    std::rewind(stream);
    char buffer[1024];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) printed.append(buffer, read);
    std::fclose(stream);
    return dialect;
  };
  struct Case {
    const char* plugin;
    const char* declared;  // overrides the table's; "-" keeps it
    const char* dialect;
    const char* warning;  // a part of it; empty: none
  };
  for (const Case& c : {Case{"sqlite", "-", "sqlite", ""}, Case{"postgres", "-", "postgresql", ""},
                        Case{"mariadb", "-", "mariadb", ""}, Case{"odbc", "-", "standard", ""},
                        Case{"sqlite", nullptr, "standard", ""}, Case{"sqlite", "", "standard", ""},
                        Case{"sqlite", "firebird", "standard",
                             "warning: the plug-in sqlite declares the SQL dialect \"firebird\", which this program "
                             "does not know: its SQL is written in standard SQL"}}) {
    SCOPED_TRACE(std::string(c.plugin) + " declaring " + (c.declared != nullptr ? c.declared : "null"));
    const runner::FoundPlugin* found = s_plugins->FindByName(c.plugin);
    ASSERT_NE(found, nullptr);
    std::string error;
    const QmPluginApi* api = s_plugins->Table(*found, &error);
    ASSERT_NE(api, nullptr) << error;
    QmPluginApi table = *api;
    if (c.declared == nullptr || std::string(c.declared) != "-") table.sqlDialect = c.declared;
    std::string printed;
    EXPECT_EQ(dialectOf(table, printed), c.dialect);
    if (c.warning[0] == '\0')
      EXPECT_EQ(printed, "");
    else
      EXPECT_NE(printed.find(c.warning), std::string::npos) << printed;
  }
}

}  // namespace
}  // namespace app

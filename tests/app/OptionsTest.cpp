// The command line, in process: the database options are the shortcuts the
// plug-ins found offer (one source at most, a name already taken is not
// offered), --plugin and --list-plugins, and what a usage error says.
#include "ParsedOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace app::test {
namespace {

// Shortcuts as the host builds them from the tables found: two plug-ins'
// own, one that wants a host option's name and one that wants a name an
// earlier plug-in has.
const std::vector<Shortcut> kShortcuts = {
    {"sqlite", "PATH", "Import the SQLite database file PATH", "sqlite", true},
    {"postgres", "STRING", "Import a PostgreSQL database through STRING", "postgres", false},
    {"connect", "X", "Takes the host's option", "greedy", false},
    {"sqlite", "STRING", "Comes second", "other", false},
};

struct Case {
  std::vector<std::string> args;
  int exitCode;          // -1: go on
  std::string plugin;    // the shortcut's plug-in; "" for none
  std::string value;     // the shortcut's value, or --connect's
  std::string error;     // a part of standard error; "" for none expected
};

TEST(OptionsTest, DatabaseOptionsAreThePluginsShortcutsAndOneSourceAtMost) {
  const Case cases[] = {
      {{}, -1, "", "", ""},
      {{"--sqlite", "shop.db"}, -1, "sqlite", "shop.db", ""},
      {{"--sqlite=Driver=x;Database=y"}, -1, "sqlite", "Driver=x;Database=y", ""},
      {{"--postgres", "Server=db"}, -1, "postgres", "Server=db", ""},
      {{"--connect", "Driver={SQLite3};Database=a"}, -1, "", "Driver={SQLite3};Database=a", ""},
      {{"--connect", "Driver=x", "--plugin", "sqlite_tables"}, -1, "", "Driver=x", ""},
      {{"--sqlite", "a", "--postgres", "b"}, 2, "", "", "excludes"},
      {{"--sqlite", "a", "--connect", "b"}, 2, "", "", "excludes"},
      {{"--postgres", "a", "--connect", "b"}, 2, "", "", "excludes"},
      {{"--sqlite", ""}, 2, "", "", "--sqlite needs a value that is not empty"},
      {{"--connect", ""}, 2, "", "", "--connect needs a value that is not empty"},
      {{"--plugin", "sqlite"}, 2, "", "", "--connect"},
      {{"--plugin", "../lib/qm_sqlite", "--connect", "x"}, 2, "", "", "short name"},
      {{"--plugin", "", "--connect", "x"}, 2, "", "", "--plugin needs a value"},
      {{"--mariadb", "x"}, 2, "", "", "error: unknown option --mariadb (the options that name a database come from the "
                                     "plug-ins found: see --list-plugins)\n"},  // no plug-in found offers it
      {{"--mariadb=Pwd=secret"}, 2, "", "", "unknown option --mariadb ("},
      // A second argument is the URL, which excludes the other sources.
      {{"--connect", "Driver=x;PWD=secret", "Server=y;Pwd=hidden"}, 2, "", "", "--connect excludes URL"},
      {{"postgresql://me:secret@db", "--dsn", "shop"}, 2, "", "", "excludes"},
      {{"--dsn", ""}, 2, "", "", "--dsn needs a value that is not empty"},
      // A URL is masked where the option parser quotes it.
      {{"sqlite:x.db", "postgresql://me:secret@db"}, 2, "", "", "postgresql://me:****@db"},
      {{"sqlite:x.db", "postgres://db/shop?password=hidden&sslmode=require"}, 2, "", "",
       "postgres://db/shop?password=****&sslmode=require"},
  };
  for (const Case& c : cases) {
    const std::string shown = ::testing::PrintToString(c.args);
    const Parsed parsed = Parse(c.args, kShortcuts);
    EXPECT_EQ(parsed.exitCode, c.exitCode) << shown << "\n" << parsed.err;
    if (!c.error.empty()) {
      EXPECT_NE(parsed.err.find(c.error), std::string::npos) << shown << "\n" << parsed.err;
    }
    EXPECT_EQ(parsed.err.find("secret"), std::string::npos) << shown;
    EXPECT_EQ(parsed.err.find("hidden"), std::string::npos) << shown;
    if (c.exitCode != -1) continue;
    EXPECT_EQ(parsed.options.shortcut != nullptr ? parsed.options.shortcut->plugin : "", c.plugin) << shown;
    EXPECT_EQ(parsed.options.shortcut != nullptr ? parsed.options.shortcutValue : parsed.options.connectString, c.value)
        << shown;
  }
  const Parsed plain = Parse({}, kShortcuts);
  EXPECT_EQ(plain.options.offeredShortcuts, (std::set<std::string>{"sqlite", "postgres"}));
  EXPECT_TRUE(Parse({"--list-plugins"}, kShortcuts).options.listPlugins);
  EXPECT_FALSE(plain.options.listPlugins);
  // A file path keeps its bytes, whatever they are.
  const Parsed bytes = Parse({"--sqlite", "caf\xE9.db"}, kShortcuts);
  ASSERT_NE(bytes.options.shortcut, nullptr);
  EXPECT_TRUE(bytes.options.shortcut->isPath);
  EXPECT_EQ(bytes.options.shortcutValue, "caf\xE9.db");
}

TEST(OptionsTest, HelpListsTheShortcutsOffered) {
  const Parsed help = Parse({"--help"}, kShortcuts);
  ASSERT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--sqlite PATH"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("Import the SQLite database file PATH"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--postgres STRING"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--list-plugins"), std::string::npos) << help.out;
  for (const char* taken : {"Takes the host's option", "Comes second"})
    EXPECT_EQ(help.out.find(taken), std::string::npos) << taken << "\n" << help.out;
}

// Without the module no plug-in was looked for: a database option the
// command line does not know is then the module's fault, said as such.
TEST(OptionsTest, WithoutTheModuleAnUnknownOptionReportsTheModule) {
  const std::string reason = "the import module could not be loaded: libschemaimport.so: cannot open shared object file";
  const Parsed parsed = Parse({"--mariadb", "Server=x;PWD=secret"}, kShortcuts, reason);
  EXPECT_EQ(parsed.exitCode, 4);
  EXPECT_EQ(parsed.err, "error: " + reason + "\n");
  EXPECT_EQ(Parse({"--version"}, kShortcuts, reason).exitCode, 0);
  EXPECT_EQ(Parse({"--quiet"}, kShortcuts, reason).exitCode, -1);
}

}  // namespace
}  // namespace app::test

// The command line, in process: the database options are the shortcuts the
// plug-ins found offer (one source at most, a name already taken is not
// offered), --plugin and --list-plugins, --around and --depth, and what a
// usage error says. What users read about --format comes from the table of
// output formats: the README lists exactly its formats and names the same
// default. (--help whole: CommandsTest's expected files.)
#include "ParsedOptions.h"

#include <writers/OutputFormats.h>

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

// --help lists the shortcuts offered, and not those whose name was taken.
TEST(OptionsTest, HelpListsTheShortcutsOffered) {
  const Parsed help = Parse({"--help"}, kShortcuts);
  ASSERT_EQ(help.exitCode, 0);
  for (const auto& [text, listed] :
       {std::pair{"--sqlite PATH", true}, std::pair{"Import the SQLite database file PATH", true},
        std::pair{"--postgres STRING", true}, std::pair{"--list-plugins", true},
        std::pair{"Takes the host's option", false}, std::pair{"Comes second", false}})
    EXPECT_EQ(help.out.find(text) != std::string::npos, listed) << text << "\n" << help.out;
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

// The names the README's section "Output formats" lists: one
// "- `NAME`: ..." item per format, up to the next heading; and whether the
// option table's line for --format names the default.
TEST(FormatOptionTest, ReadmeListsExactlyTheFormatsOfTheTable) {
  std::istringstream readme(qm::test::ReadFile(QM_README));
  std::vector<std::string> names, listed;
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

// --around and --depth fill WriteOptions for the formats that draw a
// diagram; any other format, a depth without a table, and values out of
// range are usage errors.
TEST(FormatOptionTest, AroundAndDepthAreForFormatsWithADiagram) {
  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    const Parsed parsed = Parse({"--format", std::string(format.name), "--around", "sales.orders"});
    EXPECT_EQ(parsed.exitCode, format.diagram ? -1 : 2) << format.name;
    const writers::WriteOptions& write = parsed.options.write;
    EXPECT_TRUE(!format.diagram || (write.aroundTable == "sales.orders" && write.depth == 1)) << format.name;
  }
  const struct {
    std::vector<std::string> args;
    int exitCode;
    int depth;
  } cases[] = {{{"--around", "orders", "--depth", "3"}, -1, 3}, {{"--around", "orders", "--depth", "0"}, -1, 0},
               {{"--depth", "2"}, 2, 0},           {{"--around", ""}, 2, 0},
               {{"--around", "orders", "--depth", "-1"}, 2, 0}, {{"--around", "orders", "--depth", "x"}, 2, 0}};
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--format", "svg"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Parsed parsed = Parse(args);
    EXPECT_EQ(parsed.exitCode, c.exitCode) << ::testing::PrintToString(args);
    EXPECT_TRUE(c.exitCode != -1 || parsed.options.write.depth == c.depth) << ::testing::PrintToString(args);
  }
  EXPECT_TRUE(Parse({}).options.write.aroundTable.empty());
}

}  // namespace
}  // namespace app::test

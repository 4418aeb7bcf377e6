// The plug-ins' tables as the host reads them, in process, with the real
// module and the bundled plug-ins loaded as the host loads them: the
// listing of an option whose name is taken, and the SQL dialect from the
// plug-in's table, whatever it declares. (Which plug-in reads a source:
// the host's end-to-end tests, AppTest and HostInputTest.)
#include "Captured.h"
#include "Console.h"
#include "LiveImport.h"
#include "Options.h"
#include "PluginList.h"

#include <runner/Libraries.h>

#include <gtest/gtest.h>

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

  static runner::ImportModule* s_module;
  static runner::PluginCatalogue* s_plugins;
};

runner::ImportModule* SourceTest::s_module = nullptr;
runner::PluginCatalogue* SourceTest::s_plugins = nullptr;

// Which option is not offered, in the listing (the rest of it:
// AppTest.ListPluginsShowsWhatWasFoundAndWhatWasRefused).
TEST_F(SourceTest, ListingSaysWhichOptionIsNotOffered) {
  const std::string list = DescribePlugins(*s_plugins, {"sqlite"});
  EXPECT_NE(list.find("          option:  --postgres (not offered: the name is taken by another option)"),
            std::string::npos)
      << list;
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

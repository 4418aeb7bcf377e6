// What a host accepts of a plug-in table before it touches any C++ type in it,
// which names a plug-in may have and which drivers it serves.
#include <runner/Libraries.h>
#include <runner/PluginCatalogue.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* kDrivers[] = {"SQLite3", "libsqlite3odbc.so", nullptr};

void Configure(const std::u16string&, const std::u16string&) {}
void SetConnectOptions(const QmConnectOptions&) {}
OdbcDiagnostic LastConnectError() { return {}; }
std::vector<QmFailedStatement> FailedStatements() { return {}; }
QmSourceFiles InputFiles(const std::u16string&, const QmConnectOptions&) { return {}; }
QmUrlSource SourceFromUrl(const ConnectionUrl&) { return {}; }
const char* const kSchemes[] = {"good", "good+x.y-z", nullptr};

// A complete table of this build, as QM_PLUGIN makes one.
QmPluginApi GoodTable() {
  return {{QM_PLUGIN_MAGIC, QM_PLUGIN_ABI_VERSION, QM_PLUGIN_BUILD_STAMP},
          "good",
          "a table for the tests",
          kDrivers,
          {"good", "PATH", "Import the file PATH", QmShortcutValue::FilePath},
          4242,
          &Configure, &SetConnectOptions, &LastConnectError, &FailedStatements, &InputFiles,
          nullptr,  // no sample
          false,    // not the fallback
          kSchemes, &SourceFromUrl,
          "postgresql", "odbc-good"};
}

struct TableCase {
  const char* what;
  std::function<void(QmPluginApi&)> change;
  std::string refusal;  // a part of the reason; empty: accepted
};

TEST(PluginTableTest, HeadAndTableAreCheckedBeforeAnythingElse) {
  const std::string ours = QM_PLUGIN_BUILD_STAMP;
  const TableCase cases[] = {
      {"a table of this build", [](QmPluginApi&) {}, ""},
      {"no shortcut", [](QmPluginApi& t) { t.shortcut = {}; }, ""},
      {"no drivers served", [](QmPluginApi& t) { static const char* const none[] = {nullptr}; t.drivers = none; }, ""},
      {"another magic number", [](QmPluginApi& t) { t.head.magic = 0x12345678; }, "no plug-in table this host knows"},
      {"a version 2 table", [](QmPluginApi& t) { t.head.magic = 2; },
       "built for plug-in interface version 2; this host uses version " + std::to_string(QM_PLUGIN_ABI_VERSION)},
      {"another build stamp", [](QmPluginApi& t) { t.head.buildStamp = "sdk-0.1 othercc-1 c++201703L"; },
       "built as \"sdk-0.1 othercc-1 c++201703L\", but this host is built as \"" + ours + "\""},
      {"no build stamp", [](QmPluginApi& t) { t.head.buildStamp = nullptr; }, "built as \"\""},
      {"a stamp that only starts like ours", [](QmPluginApi& t) { t.head.buildStamp = QM_PLUGIN_BUILD_STAMP " asan"; },
       "but this host is built as"},
      {"a name that is a path", [](QmPluginApi& t) { t.name = "../lib/qm_x"; }, "name is not a short name"},
      {"no name", [](QmPluginApi& t) { t.name = nullptr; }, "name is not a short name"},
      {"no description", [](QmPluginApi& t) { t.description = nullptr; }, "no description"},
      {"no driver list", [](QmPluginApi& t) { t.drivers = nullptr; }, "no list of drivers"},
      {"a shortcut with dashes", [](QmPluginApi& t) { t.shortcut.option = "--good"; }, "not an option name"},
      {"a shortcut without help", [](QmPluginApi& t) { t.shortcut.help = nullptr; }, "no argument name or no help"},
      {"a shortcut of an unknown kind", [](QmPluginApi& t) { t.shortcut.value = static_cast<QmShortcutValue>(7); },
       "of no kind this host knows"},
      {"no InputFiles", [](QmPluginApi& t) { t.InputFiles = nullptr; }, "lacks an operation"},
      {"no URL schemes", [](QmPluginApi& t) { t.urlSchemes = nullptr; t.SourceFromUrl = nullptr; }, ""},
      {"URL schemes and no function for them", [](QmPluginApi& t) { t.SourceFromUrl = nullptr; },
       "no function that reads a URL"},
      {"a URL scheme in capitals", [](QmPluginApi& t) { static const char* const s[] = {"Good", nullptr}; t.urlSchemes = s; },
       "not a lower-case scheme name"},
      {"no dialect and no package", [](QmPluginApi& t) { t.sqlDialect = nullptr; t.driverPackage = ""; }, ""},
      {"a dialect that is no short name", [](QmPluginApi& t) { t.sqlDialect = "Post gres"; }, "SQL dialect is not a short name"},
      {"a package with a command in it", [](QmPluginApi& t) { t.driverPackage = "odbc-x; rm -rf ~"; },
       "not a package name"},
      {"a package that is an option", [](QmPluginApi& t) { t.driverPackage = "-y"; }, "not a package name"},
  };
  for (const TableCase& c : cases) {
    QmPluginApi table = GoodTable();
    c.change(table);
    const std::string reason = runner::CheckPluginTable(&table.head);
    if (c.refusal.empty()) {
      EXPECT_EQ(reason, "") << c.what;
    } else {
      EXPECT_NE(reason.find(c.refusal), std::string::npos) << c.what << ": " << reason;
    }
  }
  EXPECT_NE(runner::CheckPluginTable(nullptr), "");
}

// The stamp says what makes the C++ types of two builds differ.
TEST(PluginTableTest, BuildStampNamesTheSdkCompilerLibraryAndStandard) {
  const std::string stamp = QM_PLUGIN_BUILD_STAMP;
  EXPECT_EQ(stamp.rfind("sdk-" QM_SDK_VERSION_TEXT " ", 0), 0u) << stamp;
  for (const char* part : {"gcc-", "libstdc++-", "cxx11-abi-1", "c++202002L"})
    EXPECT_NE(stamp.find(part), std::string::npos) << part << " in " << stamp;
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_NE(stamp.find(" asan"), std::string::npos) << stamp;
#else
  EXPECT_EQ(stamp.find(" asan"), std::string::npos) << stamp;
#endif
}

TEST(PluginTableTest, ShortNamesNeverNameAPath) {
  for (const char* name : {"sqlite", "postgres", "sqlite_tables", "my-db2"}) EXPECT_TRUE(runner::IsPluginName(name)) << name;
  for (const char* name : {"", "SQLite", "../x", "a/b", "a b", "a.so", "\xC3\xA9"})
    EXPECT_FALSE(runner::IsPluginName(name)) << name;
}

TEST(PluginTableTest, DriversMatchByNameOrLibraryFileIgnoringAsciiCase) {
  const QmPluginApi table = GoodTable();
  const std::pair<const char*, bool> cases[] = {
      {"SQLite3", true}, {" SQLITE3 ", true}, {"libsqlite3odbc.so", true},
      {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", true},
      {"SQLite", false},  // another driver (SQLite 2)
      {"SQLite3 ODBC", false}, {"/opt/SQLite3/libother.so", false}, {"", false},
  };
  for (const auto& [driver, served] : cases) EXPECT_EQ(runner::ServesDriver(table, driver), served) << driver;
}

}  // namespace

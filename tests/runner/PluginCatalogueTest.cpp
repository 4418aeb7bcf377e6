// The host library with the real module, plug-ins and SQLite driver: what
// the plug-in folders hold is found or refused with a reason (through the
// real loader, libraries made by hand included), the tables found answer
// the host's questions, and one import runs with its display told in order.
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <gatehouse/InterfaceProvider.h>
#include <runner/ImportRunner.h>
#include <runner/PluginCatalogue.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

Strings NamesFound(const runner::PluginCatalogue& catalogue) {
  Strings names;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) names.emplace_back(plugin.api->name);
  return names;
}

// Two plug-in folders: the bundled plug-ins in the first, and in the
// second a copy of one of them, libraries made by hand, a file that is no
// library, and things that are not plug-in files at all.
class PluginFolders {
 public:
  PluginFolders() {
    fs::create_directories(First());
    fs::create_directories(Second());
    fs::create_symlink(QM_SQLITE_PLUGIN, First() + "/libqm_sqlite.so");
    fs::create_symlink(QM_POSTGRES_PLUGIN, First() + "/libqm_postgres.so");
    fs::copy_file(QM_SQLITE_PLUGIN, Second() + "/libqm_copy.so");
    for (const char* name : {"version2", "version4", "stamp", "name", "noentry"})
      fs::create_symlink(QM_HANDMADE_DIR "/libqm_handmade_" + std::string(name) + ".so",
                         Second() + "/libqm_" + name + ".so");
    WriteFile(Second() + "/libqm_broken.so", "not a library");
    fs::create_symlink(QM_SQLITE_PLUGIN, Second() + "/sqlite.so");   // not named as a plug-in
    fs::create_directories(Second() + "/libqm_folder.so");           // not a file
  }
  std::string First() const { return m_dir.Path("first"); }
  std::string Second() const { return m_dir.Path("second"); }

 private:
  TempDir m_dir;
};

TEST(PluginCatalogueTest, FindsPluginsByLookingAndSaysWhyOthersAreRefused) {
  const PluginFolders folders;
  runner::PluginCatalogue catalogue;
  // The first folder twice: a file met again is looked at once.
  catalogue.Discover({folders.First(), folders.Second(), folders.First(), folders.Second() + "/missing"});
  EXPECT_EQ(NamesFound(catalogue), (Strings{"postgres", "sqlite"}));  // by file name within a folder

  std::map<std::string, std::string> refused;  // file name -> reason
  for (const runner::RefusedLibrary& library : catalogue.Refused())
    refused[fs::path(library.path).filename().string()] = library.reason;
  const std::map<std::string, std::string> expected = {
      {"libqm_broken.so", "it could not be loaded: "},
      {"libqm_copy.so", "a plug-in named \"sqlite\" was found before it (" + folders.First() + "/libqm_sqlite.so)"},
      {"libqm_name.so", "name is not a short name"},
      {"libqm_noentry.so", "not a plug-in: it exports no QmGetPluginApi (not loaded)"},
      {"libqm_stamp.so", "built as \"sdk-0.1 othercc-9 otherlib-9 c++201703L\", but this host is built as \"" +
                             std::string(QM_PLUGIN_BUILD_STAMP) + "\""},
      {"libqm_version2.so",
       "built for plug-in interface version 2; this host uses version " + std::to_string(QM_PLUGIN_ABI_VERSION)},
      {"libqm_version4.so", "built for plug-in interface version " + std::to_string(QM_PLUGIN_ABI_VERSION + 1) +
                                "; this host uses version " + std::to_string(QM_PLUGIN_ABI_VERSION)},
  };
  ASSERT_EQ(refused.size(), expected.size()) << ::testing::PrintToString(refused);
  for (const auto& [file, reason] : expected)
    EXPECT_NE(refused[file].find(reason), std::string::npos) << file << ": " << refused[file];
  // A library that is no plug-in is refused from its symbols alone: none
  // of its code ran (loading it would have set the variable).
  EXPECT_EQ(std::getenv("QM_HANDMADE_NOENTRY_LOADED"), nullptr);

  // The host's questions, answered from the tables.
  ASSERT_NE(catalogue.FindByName("sqlite"), nullptr);
  EXPECT_EQ(catalogue.FindByName("sqlite")->path, folders.First() + "/libqm_sqlite.so");
  EXPECT_EQ(catalogue.FindByName("copy"), nullptr);
  // Which driver each table serves is PluginTableTest's; the first folder's plug-in answers.
  ASSERT_NE(catalogue.FindByDriver("PostgreSQL ANSI"), nullptr);
  EXPECT_STREQ(catalogue.FindByDriver("PostgreSQL ANSI")->api->name, "postgres");
  EXPECT_EQ(catalogue.FindByDriver("MariaDB Unicode"), nullptr);
  EXPECT_EQ(catalogue.FindByShortcut("connect"), nullptr);
  ASSERT_NE(catalogue.FindWithSample(), nullptr);
  EXPECT_STREQ(catalogue.FindWithSample()->api->name, "sqlite");
  EXPECT_EQ(catalogue.Directories().size(), 4u);

  // Looking registers nothing with the module: only the plug-in a host
  // configures takes part in an import.
  EXPECT_EQ(ImportToolsProvider::Instance()->GetConnector(static_cast<int>(catalogue.FindByName("sqlite")->api->modelType)),
            nullptr);
}

// What a display sees of one import, in order.
class Recorder : public runner::ImportDisplay {
 public:
  void Started() override { events.push_back("started"); }
  void Importing(int) override { Note("importing"); }
  void Imported(int, long long) override { Note("imported"); }
  void Finished() override { events.push_back("finished"); }
  void Cancelling() override { events.push_back("cancelling"); }
  void Ended() override { events.push_back("ended"); }
  void Message(const MSG&) override { ++messages; }

  Strings events;    // each event once per run of the same kind
  int messages = 0;  // every message posted to the window

 private:
  void Note(const char* event) {
    if (events.empty() || events.back() != event) events.push_back(event);
  }
};

class ImportRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SqliteFile(m_dir.Path("shop.db")).Exec("CREATE TABLE a (x INTEGER PRIMARY KEY); CREATE VIEW v AS SELECT x FROM a;");
    m_plugin = m_catalogue.Load(QM_SQLITE_PLUGIN);
    ASSERT_NE(m_plugin, nullptr);
    QmConnectOptions options;
    options.filePath = m_dir.Path("shop.db");
    m_plugin->api->Configure(u"", u"");
    m_plugin->api->SetConnectOptions(options);
  }

  runner::ImportOutcome Run(Recorder& recorder, const runner::RunControl& control) {
    InterfaceProvider* provider = InterfaceProvider::Instance();
    return runner::RunImport(*provider->GetSchemaImportApi(), *provider->GetSchemaImportSessionState(), m_model,
                             recorder, control);
  }

  TempDir m_dir;
  runner::PluginCatalogue m_catalogue;
  const runner::FoundPlugin* m_plugin = nullptr;
  GenericModel m_model{1001};
};

TEST_F(ImportRunnerTest, DisplayHearsTheRunInOrder) {
  Recorder recorder;
  const runner::ImportOutcome outcome = Run(recorder, {});
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.finished);
  EXPECT_FALSE(outcome.cancelled || outcome.abandoned || outcome.threw);
  // Progress while the statements run (a statement that counted no rows
  // posts what reads as another start), then the completion, then the end.
  ASSERT_GE(recorder.events.size(), 5u) << ::testing::PrintToString(recorder.events);
  EXPECT_EQ(recorder.events.front(), "started");
  EXPECT_EQ(recorder.events[1], "importing");
  EXPECT_EQ(Strings(recorder.events.end() - 2, recorder.events.end()), (Strings{"finished", "ended"}));
  for (auto event = recorder.events.begin() + 1; event != recorder.events.end() - 2; ++event)
    EXPECT_TRUE(*event == "importing" || *event == "imported") << ::testing::PrintToString(recorder.events);
  EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "imported"), recorder.events.end());
  EXPECT_GT(recorder.messages, 4);
  // The host's explorer is gone with the run.
  EXPECT_EQ(InterfaceProvider::Instance()->GetObjectExplorerInterface(), nullptr);
}

TEST_F(ImportRunnerTest, CancelAskedForIsSaidOnceAndTheRunEndsNormally) {
  Recorder recorder;
  runner::RunControl control;
  int polls = 0;
  control.cancelRequested = [&polls] { return ++polls >= 2; };
  const runner::ImportOutcome outcome = Run(recorder, control);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_FALSE(outcome.abandoned);
  EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "cancelling"), 1);
  EXPECT_EQ(recorder.events.back(), "ended");
  EXPECT_EQ(InterfaceProvider::Instance()->GetObjectExplorerInterface(), nullptr);
}

}  // namespace
}  // namespace qm::test

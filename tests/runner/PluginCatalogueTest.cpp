// The host library with the real module, plug-ins and SQLite driver: plug-in
// folders, the plug-in index and when it is set aside, one import's display.
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <gatehouse/InterfaceProvider.h>
#include <runner/ImportRunner.h>
#include <runner/Libraries.h>
#include <runner/PluginCatalogue.h>
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Whether the library is loaded in this process (asked without loading it).
bool IsLoaded(const std::string& path) {
  void* handle = ::dlopen(fs::canonical(path).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) ::dlclose(handle);
  return handle != nullptr;
}

// Each plug-in's file and description, each refusal's file and reason.
std::string Found(const runner::PluginCatalogue& catalogue) {
  std::string text;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) {
    const runner::PluginDescription& about = plugin.about;
    text += plugin.path + ": " + about.name + " | " + about.description + " | " + ::testing::PrintToString(about.drivers) +
            " | " + ::testing::PrintToString(about.urlSchemes) + " | --" + about.shortcutOption + " " +
            about.shortcutArgument + " | " + std::to_string(about.modelType) + (about.fallback ? " fallback" : "") +
            (about.hasSample ? " sample" : "") + "\n";
  }
  for (const runner::RefusedLibrary& refused : catalogue.Refused()) text += refused.path + ": refused: " + refused.reason + "\n";
  return text;
}

// Two plug-in folders of copies (so that they can be changed), libraries
// made by hand, a file that is no library and things that are no plug-ins.
class PluginFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(First());
    fs::create_directories(Second() + "/libqm_folder.so");  // not a file
    fs::copy_file(QM_SQLITE_PLUGIN, Sqlite());
    fs::copy_file(QM_POSTGRES_PLUGIN, Postgres());
    fs::copy_file(QM_SQLITE_PLUGIN, Second() + "/libqm_copy.so");
    for (const std::string name : {"version2", "noentry", "version4", "stamp", "name"}) {
      const std::string folder = name == "version2" || name == "noentry" ? First() : Second();
      fs::create_symlink(QM_HANDMADE_DIR "/libqm_handmade_" + name + ".so", folder + "/libqm_" + name + ".so");
    }
    WriteFile(Second() + "/libqm_broken.so", "not a library");
    fs::create_symlink(QM_SQLITE_PLUGIN, Second() + "/sqlite.so");  // not named as a plug-in
    WriteFile(m_dir.Path("module"), "stands for the module the plug-ins link");
  }

  std::string First() const { return m_dir.Path("first"); }
  std::string Second() const { return m_dir.Path("second"); }
  std::string Index() const { return m_dir.Path("cache/quillmere/plugins.json"); }
  std::string Sqlite() const { return First() + "/libqm_sqlite.so"; }
  std::string Postgres() const { return First() + "/libqm_postgres.so"; }
  Strings Watched() const { return {m_dir.Path("module")}; }

  // Whether a look at the first folder used the index; what it found.
  bool Look(std::string* found = nullptr) {
    runner::PluginCatalogue catalogue;
    const bool used = catalogue.DiscoverIndexed({First()}, Index(), Watched());
    if (found != nullptr) *found = Found(catalogue);
    return used;
  }

  // What a plain look (no index) at the first folder finds.
  std::string Plain() {
    runner::PluginCatalogue catalogue;
    catalogue.Discover({First()});
    return Found(catalogue);
  }

  TempDir m_dir;
};

TEST_F(PluginFolders, FindsPluginsByLookingAndSaysWhyOthersAreRefused) {
  runner::PluginCatalogue catalogue;
  // The first folder twice: a file met again is looked at once.
  catalogue.Discover({First(), Second(), First(), Second() + "/missing"});
  Strings names;
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) names.emplace_back(plugin.api->name);
  EXPECT_EQ(names, (Strings{"postgres", "sqlite"}));  // by file name within a folder

  std::map<std::string, std::string> refused;  // file name -> reason
  for (const runner::RefusedLibrary& library : catalogue.Refused())
    refused[fs::path(library.path).filename().string()] = library.reason;
  const std::string version = "; this host uses version " + std::to_string(QM_PLUGIN_ABI_VERSION);
  const std::map<std::string, std::string> expected = {
      {"libqm_broken.so", "it could not be loaded: "},
      {"libqm_copy.so", "a plug-in named \"sqlite\" was found before it (" + Sqlite() + ")"},
      {"libqm_name.so", "name is not a short name"},
      {"libqm_noentry.so", "not a plug-in: it exports no QmGetPluginApi (not loaded)"},
      {"libqm_stamp.so", "built as \"sdk-0.1 othercc-9 otherlib-9 c++201703L\", but this host is built as \"" +
                             std::string(QM_PLUGIN_BUILD_STAMP) + "\""},
      {"libqm_version2.so", "built for plug-in interface version 2" + version},
      {"libqm_version4.so", "built for plug-in interface version " + std::to_string(QM_PLUGIN_ABI_VERSION + 1) + version},
  };
  ASSERT_EQ(refused.size(), expected.size()) << ::testing::PrintToString(refused);
  for (const auto& [file, reason] : expected)
    EXPECT_NE(refused[file].find(reason), std::string::npos) << file << ": " << refused[file];
  // A library that is no plug-in is refused from its symbols: none of its code ran.
  EXPECT_EQ(std::getenv("QM_HANDMADE_NOENTRY_LOADED"), nullptr);

  // The host's questions, answered from the tables.
  ASSERT_NE(catalogue.FindByName("sqlite"), nullptr);
  EXPECT_EQ(catalogue.FindByName("sqlite")->path, Sqlite());
  EXPECT_EQ(catalogue.FindByName("copy"), nullptr);
  // Which driver each table serves is PluginTableTest's; the first folder's plug-in answers.
  ASSERT_NE(catalogue.FindByDriver("PostgreSQL ANSI"), nullptr);
  EXPECT_STREQ(catalogue.FindByDriver("PostgreSQL ANSI")->api->name, "postgres");
  EXPECT_EQ(catalogue.FindByDriver("MariaDB Unicode"), nullptr);
  EXPECT_EQ(catalogue.FindByShortcut("connect"), nullptr);
  ASSERT_NE(catalogue.FindWithSample(), nullptr);
  EXPECT_STREQ(catalogue.FindWithSample()->api->name, "sqlite");
  EXPECT_EQ(catalogue.Directories().size(), 4u);
  // Looking registers nothing: only the plug-in a host configures imports.
  EXPECT_EQ(ImportToolsProvider::Instance()->GetConnector(static_cast<int>(catalogue.FindByName("sqlite")->api->modelType)),
            nullptr);
}

TEST_F(PluginFolders, TheSecondLookLoadsOnlyThePluginWhoseTableIsAskedFor) {
  const std::string plain = Plain();
  ASSERT_FALSE(IsLoaded(Sqlite()));
  ASSERT_FALSE(IsLoaded(Postgres()));  // a closed catalogue unloads what it loaded

  std::string first;
  EXPECT_FALSE(Look(&first));  // no index yet: every library looked at, the index written
  EXPECT_EQ(first, plain);
  ASSERT_TRUE(fs::exists(Index()));
  EXPECT_EQ(fs::status(Index()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  runner::PluginCatalogue catalogue;
  ASSERT_TRUE(catalogue.DiscoverIndexed({First()}, Index(), Watched()));
  EXPECT_EQ(Found(catalogue), plain);  // the same plug-ins, descriptions and refusals
  for (const runner::FoundPlugin& plugin : catalogue.Plugins()) EXPECT_EQ(plugin.api, nullptr) << plugin.path;
  EXPECT_FALSE(IsLoaded(Sqlite()));
  EXPECT_FALSE(IsLoaded(Postgres()));

  // Chosen by its description, loaded for its table.
  const runner::FoundPlugin* postgres = catalogue.FindByShortcut("postgres");
  ASSERT_NE(postgres, nullptr);
  EXPECT_EQ(catalogue.FindByDriver("PostgreSQL Unicode"), postgres);
  std::string error;
  const QmPluginApi* table = catalogue.Table(*postgres, &error);
  ASSERT_NE(table, nullptr) << error;
  EXPECT_EQ(postgres->api, table);
  EXPECT_EQ(catalogue.Table(*postgres), table);  // loaded once
  EXPECT_TRUE(runner::Describe(*table) == postgres->about);
  EXPECT_TRUE(IsLoaded(Postgres()));
  EXPECT_FALSE(IsLoaded(Sqlite()));
  catalogue.Close();
  EXPECT_FALSE(IsLoaded(Postgres()));
  EXPECT_TRUE(fs::exists(Index()));
}

TEST_F(PluginFolders, AChangedFileOrFolderListIsLookedAtAgain) {
  ASSERT_FALSE(Look());
  ASSERT_TRUE(Look());
  std::string found;
  // What changes, and a part of what the look then finds ("" for any).
  const std::pair<std::function<void()>, std::string> changes[] = {
      // The same bytes, touched: its times changed.
      {[&] { fs::last_write_time(Sqlite(), fs::last_write_time(Sqlite()) + std::chrono::seconds(5)); }, ""},
      // Replaced by another plug-in under the same name: the index
      // describes what is there now, never what was.
      {[&] {
         fs::remove(Sqlite());
         fs::copy_file(QM_POSTGRES_PLUGIN, Sqlite());
       },
       "a plug-in named \"postgres\" was found before it"},
      {[&] { fs::copy_file(QM_SQLITE_PLUGIN, First() + "/libqm_zsqlite.so"); }, "libqm_zsqlite.so: sqlite"},
      {[&] { fs::remove(First() + "/libqm_zsqlite.so"); }, ""},
      {[&] { WriteFile(Watched().front(), "a newer module"); }, ""},  // the module the plug-ins link
  };
  for (const auto& [change, says] : changes) {
    change();
    EXPECT_FALSE(Look(&found));
    EXPECT_EQ(found, Plain());
    EXPECT_NE(found.find(says), std::string::npos) << found;
    EXPECT_TRUE(Look());
  }
  {
    runner::PluginCatalogue other;  // another list of folders
    EXPECT_FALSE(other.DiscoverIndexed({First(), m_dir.Path("other")}, Index(), Watched()));
  }
  EXPECT_FALSE(Look());
  EXPECT_TRUE(Look());

  // A library the loader refused may load once what it needs is
  // installed: no index says otherwise.
  WriteFile(First() + "/libqm_broken.so", "not a library");
  EXPECT_FALSE(Look(&found));
  EXPECT_NE(found.find("libqm_broken.so: refused: it could not be loaded"), std::string::npos) << found;
  EXPECT_FALSE(fs::exists(Index()));
  EXPECT_FALSE(Look());
}

TEST_F(PluginFolders, AnIndexThatIsNotOursIsLeftAsideAndWrittenAgain) {
  const std::string plain = Plain();
  ASSERT_FALSE(Look());
  const std::string good = ReadFile(Index());
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  const std::string broken[] = {
      "", "not json at all", good.substr(0, good.size() / 2), "null", "[]", "{\"format\": 1}",
      // Fields of the wrong type, a description the host would refuse, two
      // plug-ins of one name, another host's build.
      replaced("\"modelType\"", "\"modelType\": \"x\", \"was\""),
      replaced("\"shortcutOption\": \"postgres\"", "\"shortcutOption\": \"--rm -rf\""),
      replaced("\"name\": \"postgres\"", "\"name\": \"sqlite\""),
      replaced("\"host\": \"abi ", "\"host\": \"abi 9"),
  };
  for (const std::string& text : broken) {
    WriteFile(Index(), text);
    std::string found;
    EXPECT_FALSE(Look(&found)) << text;
    EXPECT_EQ(found, plain) << text;
    EXPECT_EQ(ReadFile(Index()), good) << text;  // written again
  }
  fs::remove(Index());
  fs::create_directories(Index());  // a folder where the index would go
  EXPECT_FALSE(Look());
  EXPECT_FALSE(Look());
}

// An index someone else could have put there or changed is not read (nor
// waited on), and none is written into a folder others may change.
TEST_F(PluginFolders, AnIndexOthersCouldChangeIsLeftAside) {
  const std::string plain = Plain(), index = Index(), folder = fs::path(index).parent_path().string();
  const std::pair<const char*, std::function<int()>> cases[] = {  // what, and how it is made (0 when it was)
      {"a FIFO at its name", [&] { return ::unlink(index.c_str()) | ::mkfifo(index.c_str(), 0600); }},
      {"a link to an index",
       [&] { return ::rename(index.c_str(), (index + ".x").c_str()) | ::symlink((index + ".x").c_str(), index.c_str()); }},
      {"an index others may write", [&] { return ::chmod(index.c_str(), 0646); }},
      {"an index of another user", [&] { return ::chown(index.c_str(), 65534, 65534); }},  // as root only
      {"a folder others may write", [&] { return ::unlink(index.c_str()) | ::chmod(folder.c_str(), 0777); }},
      {"a folder of another user", [&] { return ::unlink(index.c_str()) | ::chown(folder.c_str(), 65534, 65534); }},
  };
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    fs::remove_all(m_dir.Path("cache"));
    ASSERT_FALSE(Look());
    const std::string good = ReadFile(index);
    if (make() != 0) continue;  // not root: no file can be another user's
    std::string found;
    std::future<bool> look = std::async(std::launch::async, [&] { return Look(&found); });
    if (look.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
      ADD_FAILURE() << "the look waits on the index";
      ::close(::open(index.c_str(), O_WRONLY | O_NONBLOCK));  // lets it go
    }
    EXPECT_FALSE(look.get());
    EXPECT_EQ(found, plain);
    // Written again into the user's own folder, never into another.
    const bool inFolder = std::string(what).starts_with("a folder");
    EXPECT_EQ(fs::is_regular_file(fs::symlink_status(index)) && ReadFile(index) == good, !inFolder);
  }
}

// Two loads of one file share the loader's handle: a library closed twice
// must give it back once, or the other load's code goes away under it.
TEST(LoadedLibraryTest, ClosingTwiceGivesTheLoadBackOnce) {
  runner::LoadedLibrary first, second;
  std::string error;
  ASSERT_TRUE(first.Open(QM_SQLITE_PLUGIN, error)) << error;
  ASSERT_TRUE(second.Open(QM_SQLITE_PLUGIN, error)) << error;
  first.Close();
  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(first.Symbol(QM_PLUGIN_ENTRY_NAME), nullptr);
  EXPECT_NE(second.Symbol(QM_PLUGIN_ENTRY_NAME), nullptr);
}

TEST(PluginIndexPathTest, KeptInTheUsersCacheFolderOnePerLibraryFolder) {
  const char* home = std::getenv("HOME");
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const std::string savedHome = home != nullptr ? home : "", savedXdg = xdg != nullptr ? xdg : "";
  ::setenv("XDG_CACHE_HOME", "/cache", 1);
  const std::string one = runner::PluginIndexPath("/opt/a/lib");
  EXPECT_EQ(one.rfind("/cache/quillmere/plugins-", 0), 0u) << one;
  EXPECT_NE(one, runner::PluginIndexPath("/opt/b/lib"));
  EXPECT_EQ(one, runner::PluginIndexPath("/opt/a/lib"));
  ::setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(runner::PluginIndexPath("/opt/a/lib").rfind("/home/someone/.cache/quillmere/plugins-", 0), 0u);
  ::unsetenv("XDG_CACHE_HOME");
  ::unsetenv("HOME");
  EXPECT_EQ(runner::PluginIndexPath("/opt/a/lib"), "");
  if (home != nullptr) ::setenv("HOME", savedHome.c_str(), 1);
  if (xdg != nullptr) ::setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1);
}

// What a display sees of one import: each event once per run of its kind.
class Recorder : public runner::ImportDisplay {
 public:
  void Started() override { events.push_back("started"); }
  void Importing(int) override { Note("importing"); }
  void Imported(int, long long) override { Note("imported"); }
  void Finished() override { events.push_back("finished"); }
  void Cancelling() override { events.push_back("cancelling"); }
  void Ended() override { events.push_back("ended"); }
  void Message(const MSG&) override { ++messages; }
  void Note(const char* event) {
    if (events.empty() || events.back() != event) events.push_back(event);
  }

  Strings events;
  int messages = 0;
};

// One import of a small SQLite file, cancelled after `polls` (0: never).
runner::ImportOutcome RunOnce(Recorder& recorder, int polls) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db")).Exec("CREATE TABLE a (x INTEGER PRIMARY KEY); CREATE VIEW v AS SELECT x FROM a;");
  runner::PluginCatalogue catalogue;
  const runner::FoundPlugin* plugin = catalogue.Load(QM_SQLITE_PLUGIN);
  EXPECT_NE(plugin, nullptr);
  if (plugin == nullptr) return {};
  QmConnectOptions options;
  options.filePath = dir.Path("shop.db");
  plugin->api->Configure(u"", u"");
  plugin->api->SetConnectOptions(options);
  runner::RunControl control;
  int asked = 0;
  if (polls > 0) control.cancelRequested = [&] { return ++asked >= polls; };
  GenericModel model(1001);
  InterfaceProvider* provider = InterfaceProvider::Instance();
  const runner::ImportOutcome outcome =
      runner::RunImport(*provider->GetSchemaImportApi(), *provider->GetSchemaImportSessionState(), model, recorder, control);
  // The host's explorer is gone with the run.
  EXPECT_EQ(provider->GetObjectExplorerInterface(), nullptr);
  return outcome;
}

TEST(ImportRunnerTest, DisplayHearsTheRunInOrder) {
  Recorder recorder;
  const runner::ImportOutcome outcome = RunOnce(recorder, 0);
  EXPECT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.finished);
  EXPECT_FALSE(outcome.cancelled || outcome.abandoned || outcome.threw);
  // Progress while the statements run (a statement that counted no rows
  // posts what reads as another start), then the completion, then the end.
  const Strings& events = recorder.events;
  ASSERT_GE(events.size(), 5u) << ::testing::PrintToString(events);
  EXPECT_EQ(events.front(), "started");
  EXPECT_EQ(events[1], "importing");
  EXPECT_EQ(Strings(events.end() - 2, events.end()), (Strings{"finished", "ended"}));
  for (auto event = events.begin() + 1; event != events.end() - 2; ++event)
    EXPECT_TRUE(*event == "importing" || *event == "imported") << ::testing::PrintToString(events);
  EXPECT_NE(std::find(events.begin(), events.end(), "imported"), events.end());
  EXPECT_GT(recorder.messages, 4);
}

TEST(ImportRunnerTest, CancelAskedForIsSaidOnceAndTheRunEndsNormally) {
  Recorder recorder;
  const runner::ImportOutcome outcome = RunOnce(recorder, 2);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_FALSE(outcome.abandoned);
  EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "cancelling"), 1);
  EXPECT_EQ(recorder.events.back(), "ended");
}

}  // namespace
}  // namespace qm::test

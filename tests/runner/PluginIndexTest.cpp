// The plug-in index with the real plug-ins and loader: a second look at
// the same files takes the descriptions from the index and loads only the
// plug-in whose table is asked for; a file changed, added or taken away, a
// watched file changed, an index that is not ours, and a library the loader
// refuses all make the host look afresh, as if there were no index.
#include <TempDir.h>

#include <runner/PluginCatalogue.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Whether the library at path is loaded in this process (asked without
// loading it).
bool IsLoaded(const std::string& path) {
  void* handle = ::dlopen(fs::canonical(path).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

// What a catalogue found, for comparing two of them: each plug-in's file
// and description, each refusal's file and reason.
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

// A plug-in folder of copies (so that they can be changed) of the SQLite
// and PostgreSQL plug-ins, with two libraries refused for what they are,
// and an index file beside it.
class IndexedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Folder());
    fs::copy_file(QM_SQLITE_PLUGIN, Folder() + "/libqm_sqlite.so");
    fs::copy_file(QM_POSTGRES_PLUGIN, Folder() + "/libqm_postgres.so");
    for (const char* name : {"noentry", "version2"})
      fs::create_symlink(QM_HANDMADE_DIR "/libqm_handmade_" + std::string(name) + ".so", Folder() + "/libqm_" + name + ".so");
    WriteFile(m_dir.Path("module"), "stands for the module the plug-ins link");
  }

  std::string Folder() const { return m_dir.Path("plugins"); }
  std::string Index() const { return m_dir.Path("cache/quillmere/plugins.json"); }
  std::string Sqlite() const { return Folder() + "/libqm_sqlite.so"; }
  std::string Postgres() const { return Folder() + "/libqm_postgres.so"; }
  Strings Watched() const { return {m_dir.Path("module")}; }

  // A look through the index, then the catalogue closed again. Returns
  // whether the index was used, and what was found in *found.
  bool Look(std::string* found = nullptr) {
    runner::PluginCatalogue catalogue;
    const bool used = catalogue.DiscoverIndexed({Folder()}, Index(), Watched());
    if (found != nullptr) *found = Found(catalogue);
    return used;
  }

  // What a plain look (no index) finds.
  std::string Plain() {
    runner::PluginCatalogue catalogue;
    catalogue.Discover({Folder()});
    return Found(catalogue);
  }

  TempDir m_dir;
};

TEST_F(IndexedFolder, TheSecondLookLoadsOnlyThePluginWhoseTableIsAskedFor) {
  const std::string plain = Plain();
  ASSERT_FALSE(IsLoaded(Sqlite()));
  ASSERT_FALSE(IsLoaded(Postgres()));  // a closed catalogue unloads what it loaded

  std::string first;
  EXPECT_FALSE(Look(&first));  // no index yet: every library looked at, the index written
  EXPECT_EQ(first, plain);
  ASSERT_TRUE(fs::exists(Index()));
  EXPECT_EQ(fs::status(Index()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  runner::PluginCatalogue catalogue;
  ASSERT_TRUE(catalogue.DiscoverIndexed({Folder()}, Index(), Watched()));
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

TEST_F(IndexedFolder, AChangedFileOrFolderListIsLookedAtAgain) {
  ASSERT_FALSE(Look());
  ASSERT_TRUE(Look());

  // The same bytes, touched: its times changed.
  fs::last_write_time(Sqlite(), fs::last_write_time(Sqlite()) + std::chrono::seconds(5));
  std::string found;
  EXPECT_FALSE(Look(&found));
  EXPECT_EQ(found, Plain());
  EXPECT_TRUE(Look());

  // Replaced by another plug-in under the same name: the index describes
  // what is there now, never what was.
  fs::remove(Sqlite());
  fs::copy_file(QM_POSTGRES_PLUGIN, Sqlite());
  EXPECT_FALSE(Look(&found));
  EXPECT_NE(found.find("a plug-in named \"postgres\" was found before it"), std::string::npos) << found;
  EXPECT_TRUE(Look());

  // A library added, one taken away.
  fs::copy_file(QM_SQLITE_PLUGIN, Folder() + "/libqm_zsqlite.so");
  EXPECT_FALSE(Look(&found));
  EXPECT_NE(found.find("libqm_zsqlite.so: sqlite"), std::string::npos) << found;
  EXPECT_TRUE(Look());
  fs::remove(Folder() + "/libqm_zsqlite.so");
  EXPECT_FALSE(Look(&found));
  EXPECT_EQ(found.find("zsqlite"), std::string::npos) << found;
  EXPECT_TRUE(Look());

  // The module the plug-ins link changed.
  WriteFile(Watched().front(), "a newer module");
  EXPECT_FALSE(Look());
  EXPECT_TRUE(Look());

  // Another list of folders.
  runner::PluginCatalogue twice;
  EXPECT_FALSE(twice.DiscoverIndexed({Folder(), m_dir.Path("other")}, Index(), Watched()));
}

TEST_F(IndexedFolder, AnIndexThatIsNotOursIsLeftAsideAndWrittenAgain) {
  const std::string plain = Plain();
  ASSERT_FALSE(Look());
  const std::string good = ReadFile(Index());
  const std::string broken[] = {
      "",
      "not json at all",
      good.substr(0, good.size() / 2),
      "null",
      "[]",
      "{\"format\": 1}",
      // Fields of the wrong type, a description the host would refuse, two
      // plug-ins of one name, another host's build.
      [&] { std::string t = good; t.replace(t.find("\"modelType\""), 11, "\"modelType\": \"x\", \"was\""); return t; }(),
      [&] { std::string t = good; t.replace(t.find("\"shortcutOption\": \"postgres\""), 28, "\"shortcutOption\": \"--rm -rf\""); return t; }(),
      [&] { std::string t = good; t.replace(t.find("\"name\": \"postgres\""), 18, "\"name\": \"sqlite\""); return t; }(),
      [&] { std::string t = good; t.replace(t.find("\"host\": \"abi "), 13, "\"host\": \"abi 9"); return t; }(),
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

TEST_F(IndexedFolder, ALibraryTheLoaderRefusedIsNeverIndexed) {
  ASSERT_FALSE(Look());
  ASSERT_TRUE(fs::exists(Index()));
  // It may load once what it needs is installed: no index says otherwise.
  WriteFile(Folder() + "/libqm_broken.so", "not a library");
  std::string found;
  EXPECT_FALSE(Look(&found));
  EXPECT_NE(found.find("libqm_broken.so: refused: it could not be loaded"), std::string::npos) << found;
  EXPECT_FALSE(fs::exists(Index()));
  EXPECT_FALSE(Look());
}

// The index is read only when no one but the user could have put it there
// or changed it, and opening it never waits: otherwise the plug-ins are
// looked at as if there were no index, and none is written into a folder
// others may change.
TEST_F(IndexedFolder, AnIndexOthersCouldChangeIsLeftAside) {
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

}  // namespace
}  // namespace qm::test

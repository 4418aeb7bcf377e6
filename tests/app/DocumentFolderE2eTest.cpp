// quillmere-import -o DIR/: the documentation folder is made where there is
// none, replaced where it holds only what an earlier run wrote, and
// refused, with nothing changed, where it holds anything of the user's;
// and --around's mistakes are named for what they are.
#include "HostProcess.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

TEST(DocumentFolderE2eTest, AFolderIsWrittenWholeAndNothingOfTheUsersIsLost) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db"))
      .Exec("CREATE TABLE customers (id INTEGER PRIMARY KEY); CREATE TABLE orders (id INTEGER PRIMARY KEY, "
            "customer INTEGER REFERENCES customers); CREATE VIEW open_orders AS SELECT * FROM orders;");
  const std::string site = dir.Path("site");
  auto run = [&](const std::string& format, const std::string& output) {
    return Host({"--sqlite", dir.Path("shop.db"), "--quiet", "--format", format, "-o", output});
  };
  for (const auto& [format, index, page] : {std::tuple{"html", "index.html", "tables/main.orders.html"},
                                            std::tuple{"markdown", "README.md", "tables/main.orders.md"}}) {
    fs::remove_all(site);
    const ProcessResult made = run(format, site + "/");
    ASSERT_EQ(made.exitCode, 0) << format << "\n" << Printed(made);
    EXPECT_TRUE(fs::is_regular_file(site + "/" + index)) << format;
    EXPECT_NE(ReadFile(site + "/" + page).find("customers"), std::string::npos) << format;
    // Again, over what it wrote (named without the '/': it is a folder).
    const ProcessResult again = run(format, site);
    EXPECT_EQ(again.exitCode, 0) << format << "\n" << Printed(again);
  }
  const std::map<std::string, std::string> written = Snapshot(site);
  // A file of the user's, a changed page, a folder of one's own: refused,
  // the folder as it was, no temporary folder left beside it.
  struct Case {
    std::string what, path, expected;
  };
  for (const Case& added : {Case{"a file of the user's", "notes.txt", "notes.txt was not written by quillmere-import"},
                            Case{"a page changed since", "README.md", "README.md was changed since"},
                            Case{"a folder of the user's", "drafts/x", "drafts/x was not written"}}) {
    fs::create_directories(fs::path(site + "/" + added.path).parent_path());
    WriteFile(site + "/" + added.path, "mine\n");
    const std::map<std::string, std::string> before = Snapshot(site);
    const ProcessResult refused = run("markdown", site + "/");
    EXPECT_EQ(refused.exitCode, 4) << added.what << "\n" << Printed(refused);
    EXPECT_NE(refused.err.find(added.expected), std::string::npos) << added.what << "\n" << refused.err;
    EXPECT_EQ(Snapshot(site), before) << added.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2) << added.what;
    fs::remove_all(site + "/" + added.path.substr(0, added.path.find('/')));
    if (added.path == "README.md") WriteFile(site + "/README.md", written.at(site + "/README.md"));
  }
  // A folder that is not documentation is never filled; a format of one
  // file is not written as a folder.
  fs::create_directories(dir.Path("photos"));
  WriteFile(dir.Path("photos/cat.jpg"), "cat\n");
  ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "html", "-o", dir.Path("photos")}, 4, "did not write"},
              {{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "json", "-o", site + "/"}, 2,
               "formats written as a folder: html, markdown"}});
  EXPECT_EQ(Snapshot(dir.Path("photos")).size(), 1u);
}

TEST(DocumentFolderE2eTest, AroundSaysWhatWasAskedAndWhatIsThere) {
  TempDir dir;
  SqliteFile(dir.Path("shop.db"))
      .Exec("CREATE TABLE orders (id INTEGER PRIMARY KEY); CREATE VIEW order_overview AS SELECT * FROM orders;");
  WriteFile(dir.Path("v.svg"), "before\n");
  // The file is not at fault.
  for (const auto& [around, expected] :
       {std::pair{"order_overview", "--around order_overview: \"order_overview\" is a view"},
        std::pair{"ordrs", "--around ordrs: the model has no table named \"ordrs\"; did you mean \"orders\"?"}}) {
    ExpectRuns({{{"--sqlite", dir.Path("shop.db"), "--quiet", "--format", "svg", "--around", around, "-o", dir.Path("v.svg")},
                 4, expected}},
               {}, {"cannot write"});
    EXPECT_EQ(ReadFile(dir.Path("v.svg")), "before\n");
  }
}

}  // namespace
}  // namespace qm::test

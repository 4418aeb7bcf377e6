// The documentation folder and the names it is built on: every object's
// page has a name of its own that no case-insensitive file system merges
// with another's; adding a table changes only its page, the index and the
// pages of the tables it meets; and no overview is a sliver.
#include "DiagramTestSupport.h"
#include "Diagram.h"
#include "ModelIndex.h"
#include "TestModel.h"

#include <writers/OutputFormats.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

namespace writers::test {
namespace {

using namespace model;

TEST(DocumentFolderTest, PagesHaveNamesNoFileSystemMerges) {
  GenericModel model(1002);
  const CMOObject& x = Add(model, Schema, 1, u"x");
  const CMOObject& xa = Add(model, Schema, 1, u"x.a");
  std::vector<int> objects;
  for (const char16_t* name : {u"orders", u"Orders", u"ORDERS", u"a.b", u"con", u"", u"a/../b", u"\u0417\u0430\u043a\u0430\u0437\u044b",
                               u"\u0437\u0430\u043a\u0430\u0437\u044b", u"a~1", u"orders~1"})
    objects.push_back(Add(model, Table, x.GetObjectId(), name).GetObjectId());
  objects.push_back(Add(model, Table, xa.GetObjectId(), u"b").GetObjectId());
  objects.push_back(Add(model, Table, x.GetObjectId(), std::u16string(300, u'n')).GetObjectId());
  for (const char16_t* arguments : {u"integer", u"text"}) {  // overloads
    CMOObject& routine = Add(model, Routine, x.GetObjectId(), u"orders");
    SetText(routine, ParameterList, arguments);
    objects.push_back(routine.GetObjectId());
  }
  const ModelIndex index(model);
  std::set<std::string> folded;
  for (int id : objects) {
    const std::string& stem = index.Stem(id);
    EXPECT_EQ(stem.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_.~"), std::string::npos) << stem;
    EXPECT_LE(stem.size(), 120u) << stem;
    EXPECT_TRUE(folded.insert(stem).second) << "two objects share " << stem;
  }
  EXPECT_EQ(index.Stem(objects[0]), "x.orders") << "a plain name is kept as it is";
  EXPECT_NE(index.Stem(objects[4]), "x.con") << "a device name of Windows is not a file's name";

  // The folders: each object its own file, whatever its name.
  for (const char* format : {"html", "markdown"}) {
    FolderFiles site;
    FindOutputFormat(format)->writer->WriteFolder(model, site, WriteOptions{});
    EXPECT_EQ(site.files.size(), objects.size() + 1) << format;
  }
}

// The lines of b that a has not, and of a that b has not (a multiset
// difference: lines that moved count as the same).
std::size_t ChangedLines(const std::string& a, const std::string& b) {
  auto lines = [](const std::string& text) {
    std::multiset<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.insert(line);
    return all;
  };
  const std::multiset<std::string> before = lines(a), after = lines(b);
  std::vector<std::string> gone, came;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(came));
  return gone.size() + came.size();
}

TEST(DocumentFolderTest, AddingATableChangesOnlyItsPageTheIndexAndItsNeighbours) {
  // Table 157 (address_157) refers to the customer hub and to table 156;
  // table 158 refers to it. Made in the order of the names, so that every
  // object after it gets another id.
  GenericModel before(1002), after(1002);
  BuildApplicationModel(before, 200, 157);
  BuildApplicationModel(after, 200);
  const std::string added = ApplicationTable(157);
  for (const auto& [format, extension, index] :
       {std::tuple{"html", ".html", "index.html"}, std::tuple{"markdown", ".md", "README.md"}}) {
    FolderFiles old, now;
    FindOutputFormat(format)->writer->WriteFolder(before, old, WriteOptions{});
    FindOutputFormat(format)->writer->WriteFolder(after, now, WriteOptions{});
    std::set<std::string> changed;
    std::size_t lines = 0;
    for (const auto& [path, text] : now.files) {
      const auto was = old.files.find(path);
      if (was != old.files.end() && was->second == text) continue;
      changed.insert(path);
      if (was != old.files.end()) lines += ChangedLines(was->second, text);
    }
    const std::set<std::string> expected = {index, "tables/app." + added + extension,
                                            "tables/app." + ApplicationTable(1) + extension,
                                            "tables/app." + ApplicationTable(156) + extension,
                                            "tables/app." + ApplicationTable(158) + extension};
    EXPECT_EQ(changed, expected) << format;
    std::printf("%s: adding %s changed %zu of %zu files, %zu lines in those that were there\n", format, added.c_str(),
                changed.size(), now.files.size(), lines);
  }
  // The one Markdown file: about a table's worth of lines (its section, the
  // diagram's lines and the foreign keys' on the other tables), not every
  // anchor after it.
  const std::string one = WriteFormat("markdown", before), two = WriteFormat("markdown", after);
  const std::size_t lines = ChangedLines(one, two);

  std::printf("markdown (one file): %zu of %zu lines changed\n", lines,
              static_cast<std::size_t>(std::count(two.begin(), two.end(), '\n')));
  FolderFiles own;
  FindOutputFormat("markdown")->writer->WriteFolder(after, own, WriteOptions{});
  const std::string& page = own.files["tables/app." + added + ".md"];
  EXPECT_LE(lines, static_cast<std::size_t>(std::count(page.begin(), page.end(), '\n')) + 12);
}

// The size of a picture the svg format draws, and its text once fitted
// into the window.
struct Size {
  double width = 0, height = 0;
  double Fitted() const { return 12 * std::min({1.0, kFitWidth / width, kFitHeight / height}); }
  double Ratio() const { return std::max(width / height, height / width); }
};

Size PictureSize(const GenericModel& model) {
  const std::string svg = WriteFormat("svg", model);
  Size size;
  const std::size_t width = svg.find(" width=\""), height = svg.find(" height=\"");
  if (width != std::string::npos && height != std::string::npos) {
    size.width = std::strtod(svg.c_str() + width + 8, nullptr);
    size.height = std::strtod(svg.c_str() + height + 9, nullptr);
  }
  return size;
}

TEST(DocumentFolderTest, NoOverviewIsASliver) {
  // 58 tables without foreign keys, as MediaWiki's; a chain of 400; 400
  // tables around four hubs.
  GenericModel wiki(1002), chain(1002), hubs(1002);
  std::vector<std::string> names;
  for (int i = 0; i < 58; ++i) names.push_back("wiki_table_" + std::to_string(i));
  BuildGraphModel(wiki, names, {});
  names.clear();
  std::vector<std::pair<int, int>> links;
  for (int i = 0; i < 400; ++i) {
    names.push_back("chain_" + std::to_string(i));
    if (i > 0) links.emplace_back(i, i - 1);
  }
  BuildGraphModel(chain, names, links);
  BuildApplicationModel(hubs, 400);
  std::vector<std::string> first;
  for (const auto& [name, model, readable] :
       {std::tuple{"wiki", &wiki, true}, {"chain", &chain, true}, {"hubs", &hubs, false}}) {
    const Size size = PictureSize(*model);
    std::printf("%s: %.0f x %.0f px, text %.1f px fitted\n", name, size.width, size.height, size.Fitted());
    EXPECT_LE(size.Ratio(), 3.0) << name << ": " << size.width << " x " << size.height;
    if (readable) {
      EXPECT_GE(size.Fitted(), kMinimumFittedText) << name;
    }
    first.push_back(WriteFormat("svg", *model));
  }
  // The same picture again, whatever was laid out before it.
  EXPECT_EQ(WriteFormat("svg", hubs), first[2]);
  EXPECT_EQ(WriteFormat("svg", chain), first[1]);
}

}  // namespace
}  // namespace writers::test

// What users read about --format comes from the table of output formats:
// the README lists exactly the formats of the table and names the same
// default, so a format added to the table cannot be missing from it.
// (--help whole: DiffCommandTest's expected files.)
#include "ParsedOptions.h"

#include <TempDir.h>

#include <writers/OutputFormats.h>

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace app::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The names the README's section "Output formats" lists: one
// "- `NAME`: ..." item per format, up to the next heading.
std::vector<std::string> ReadmeNames(const std::string& readme) {
  std::vector<std::string> names;
  bool inSection = false;
  for (const std::string& line : Lines(readme)) {
    if (line.rfind("#", 0) == 0) {
      inSection = line.substr(line.find(' ') + 1) == "Output formats";
      continue;
    }
    const std::size_t end = line.find("`:", 3);
    if (inSection && line.rfind("- `", 0) == 0 && end != std::string::npos) names.push_back(line.substr(3, end - 3));
  }
  return names;
}

TEST(FormatOptionTest, ReadmeListsExactlyTheFormatsOfTheTable) {
  const std::string readme = qm::test::ReadFile(QM_README);
  ASSERT_FALSE(readme.empty()) << QM_README;
  std::vector<std::string> names;
  for (const writers::OutputFormat& format : writers::OutputFormats()) names.emplace_back(format.name);
  EXPECT_EQ(ReadmeNames(readme), names);
  // The option table's line for --format names the default.
  bool named = false;
  for (const std::string& line : Lines(readme)) {
    if (line.rfind("| `--format", 0) == 0)
      named = line.find("default `" + std::string(writers::DefaultOutputFormat().name) + "`") != std::string::npos;
  }
  EXPECT_TRUE(named) << "README's option table does not name the default format";
}

// --around and --depth fill WriteOptions for the formats that draw a
// diagram; any other format, a depth without a table, and values out of
// range are usage errors.
TEST(FormatOptionTest, AroundAndDepthAreForFormatsWithADiagram) {
  for (const writers::OutputFormat& format : writers::OutputFormats()) {
    const Parsed parsed = Parse({"--format", std::string(format.name), "--around", "sales.orders"});
    EXPECT_EQ(parsed.exitCode, format.diagram ? -1 : 2) << format.name;
    if (format.diagram) {
      EXPECT_EQ(parsed.options.write.aroundTable, "sales.orders");
      EXPECT_EQ(parsed.options.write.depth, 1);
    }
  }
  const Parsed deep = Parse({"--format", "svg", "--around", "orders", "--depth", "3"});
  EXPECT_EQ(deep.exitCode, -1);
  EXPECT_EQ(deep.options.write.depth, 3);
  EXPECT_EQ(Parse({"--format", "svg", "--around", "orders", "--depth", "0"}).options.write.depth, 0);
  EXPECT_EQ(Parse({"--format", "svg", "--depth", "2"}).exitCode, 2);
  EXPECT_EQ(Parse({"--format", "svg", "--around", ""}).exitCode, 2);
  EXPECT_EQ(Parse({"--format", "svg", "--around", "orders", "--depth", "-1"}).exitCode, 2);
  EXPECT_EQ(Parse({"--format", "svg", "--around", "orders", "--depth", "x"}).exitCode, 2);
  EXPECT_TRUE(Parse({}).options.write.aroundTable.empty());
}

}  // namespace
}  // namespace app::test

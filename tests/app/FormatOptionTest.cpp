// What users read about --format comes from the table of output formats:
// --help lists each with its description, and the README lists exactly the
// same formats and names the same default, so a format added to the table
// cannot be missing from either.
#include "ParsedOptions.h"

#include <TempDir.h>

#include <writers/OutputFormats.h>

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

namespace app::test {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;  // name, description

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Entries TableEntries() {
  Entries entries;
  for (const writers::OutputFormat& format : writers::OutputFormats())
    entries.emplace_back(std::string(format.name), std::string(format.description));
  return entries;
}

// The formats --help lists: the lines "NAME  description" after --format
// (and the description's first line), up to the next option.
Entries HelpEntries(const std::string& help) {
  Entries entries;
  const std::vector<std::string> lines = Lines(help);
  auto line = lines.begin();
  while (line != lines.end() && line->find("--format") == std::string::npos) ++line;
  if (line == lines.end()) return entries;
  for (++line; line != lines.end(); ++line) {
    const std::string text = Trim(*line);
    if (text.empty() || text[0] == '-') break;
    const std::size_t gap = text.find("  ");
    if (gap == std::string::npos) continue;
    entries.emplace_back(text.substr(0, gap), Trim(text.substr(gap)));
  }
  return entries;
}

// The README's section "Output formats": one "- `NAME`: ..." item per
// format, up to the next heading.
Entries ReadmeEntries(const std::string& readme) {
  Entries entries;
  bool inSection = false;
  for (const std::string& line : Lines(readme)) {
    if (line.rfind("#", 0) == 0) {
      inSection = Trim(line.substr(line.find(' ') + 1)) == "Output formats";
      continue;
    }
    if (!inSection || line.rfind("- `", 0) != 0) continue;
    const std::size_t end = line.find("`:", 3);
    if (end == std::string::npos) continue;
    entries.emplace_back(line.substr(3, end - 3), "");
  }
  return entries;
}

std::vector<std::string> NamesOf(const Entries& entries) {
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.first);
  return names;
}

TEST(FormatOptionTest, HelpListsEveryFormatWithItsDescription) {
  const Parsed help = Parse({"--help"});
  ASSERT_EQ(help.exitCode, 0);
  EXPECT_EQ(HelpEntries(help.out), TableEntries()) << help.out;
}

TEST(FormatOptionTest, ReadmeListsExactlyTheFormatsOfTheTable) {
  const std::string readme = qm::test::ReadFile(QM_README);
  ASSERT_FALSE(readme.empty()) << QM_README;
  EXPECT_EQ(NamesOf(ReadmeEntries(readme)), NamesOf(TableEntries()));
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

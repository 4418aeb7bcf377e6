// The diagram formats on models built by hand, read back by Graphviz's own
// parser and, laid out, by an XML parser: hostile names stay labels;
// --around narrows the diagram; lines pass no box; a diagram too large to
// lay out is refused with advice instead of a layout that does not end.
// (The DOT and Mermaid texts whole: OutputFormatsTest's expected files.)
#include "DiagramTestSupport.h"
#include "TestModel.h"

#include "../../writers/src/Diagram.h"

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string_view>

namespace writers::test {
namespace {

using namespace model;

// A table's node: its stem.
std::string Node(const GenericModel& model, int id) { return ModelIndex(model).Stem(id); }

// The names as Graphviz reads the dot format and as it draws it, and as the
// svg format draws them.
TEST(DiagramFormatsTest, HostileNamesAreLabelsOnly) {
  GenericModel model(1001);
  const std::vector<std::string>& names = DiagramHostileNames();
  const std::vector<int> tables = BuildChainModel(model, names);
  const std::string dot = WriteFormat("dot", model);
  const DotGraph graph = ReadDot(dot);
  ASSERT_TRUE(graph.parsed) << dot.substr(0, 2000);
  std::set<std::string> expected;
  for (int id : tables) expected.insert(Node(model, id));
  EXPECT_EQ(graph.nodes, expected);
  EXPECT_EQ(graph.edges.size(), names.size() - 1);
  EXPECT_TRUE(graph.clusters.empty()) << "one schema: no cluster";

  const SvgPicture svg = ReadSvg(WriteFormat("svg", model));
  ASSERT_TRUE(svg.parsed);
  const SvgPicture dotSvg = ReadSvg(RenderDot(dot));
  ASSERT_TRUE(dotSvg.parsed);
  ASSERT_EQ(svg.nodeTexts.size(), names.size());
  EXPECT_EQ(svg.edgeIds.size(), names.size() - 1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto node = svg.nodeTexts.find("d-" + Node(model, tables[i]));
    ASSERT_NE(node, svg.nodeTexts.end()) << names[i];
    ASSERT_FALSE(node->second.empty());
    // The box's tooltip is the name exactly as shown; its title shows it
    // too, a long one cut with "…".
    const std::string shown = VisibleText(platform::Utf8ToUtf16(names[i]));
    EXPECT_EQ(svg.nodeTitles.at(node->first), shown);
    const std::string& title = node->second[0];
    EXPECT_TRUE(title == shown || (title.ends_with("\u2026") && shown.starts_with(title.substr(0, title.size() - 3))))
        << title;
    // Graphviz drawing the dot format: the box's title, then its column
    // and the column's type, the name exactly as shown (its label escapes
    // such as \N read as text).
    const auto drawn = dotSvg.nodeTexts.find("d-" + Node(model, tables[i]));
    ASSERT_NE(drawn, dotSvg.nodeTexts.end()) << names[i];
    ASSERT_GE(drawn->second.size(), 3u) << names[i];
    EXPECT_EQ(drawn->second[0], shown);
    EXPECT_EQ(drawn->second[1], shown);
    EXPECT_EQ(drawn->second[2], shown + " NOT NULL");
  }
}

// t0 <- t1 <- t2 <- t3, t4 -> t0, t5 alone.
class AroundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_tables = BuildGraphModel(m_model, {"t0", "t1", "t2", "t3", "t4", "t5"}, {{1, 0}, {2, 1}, {3, 2}, {4, 0}});
  }
  std::set<std::string> Drawn(const std::string& around, int depth) {
    WriteOptions options;
    options.aroundTable = around;
    options.depth = depth;
    const DotGraph graph = ReadDot(WriteFormat("dot", m_model, options));
    EXPECT_TRUE(graph.parsed);
    return graph.nodes;
  }
  std::set<std::string> Tables(std::initializer_list<int> indexes) {
    std::set<std::string> nodes;
    for (int i : indexes) nodes.insert(Node(m_model, m_tables[static_cast<std::size_t>(i)]));
    return nodes;
  }
  GenericModel m_model{1001};
  std::vector<int> m_tables;
};

TEST_F(AroundTest, DrawsTheTablesWithinDepthForeignKeysEitherWay) {
  EXPECT_EQ(Drawn("t2", 0), Tables({2}));
  EXPECT_EQ(Drawn("t2", 1), Tables({1, 2, 3}));
  EXPECT_EQ(Drawn("t2", 2), Tables({0, 1, 2, 3}));
  EXPECT_EQ(Drawn("t2", 3), Tables({0, 1, 2, 3, 4}));
  EXPECT_EQ(Drawn("main.t2", 1), Tables({1, 2, 3}));
  EXPECT_EQ(Drawn("t5", 5), Tables({5}));
  EXPECT_EQ(Drawn("", 0), Tables({0, 1, 2, 3, 4, 5}));
}

TEST_F(AroundTest, AnUnknownOrAmbiguousTableIsRefusedWithItsName) {
  WriteOptions options;
  options.aroundTable = "nope\x1b";
  for (const char* format : {"dot", "svg", "mermaid", "html", "markdown"}) {
    try {
      WriteFormat(format, m_model, options);
      ADD_FAILURE() << format << " wrote a diagram around a table that is not there";
    } catch (const WriteError& error) {
      EXPECT_NE(std::string(error.what()).find("no table named \"nope\\x1b\""), std::string::npos) << error.what();
    }
  }
  GenericModel twice(1001);
  for (const char16_t* schemaName : {u"a", u"b"}) {
    CMOObject& schema = Add(twice, Schema, 1, schemaName);
    Add(twice, Table, schema.GetObjectId(), u"orders");
  }
  options.aroundTable = "orders";
  try {
    WriteFormat("dot", twice, options);
    ADD_FAILURE() << "an ambiguous name was taken";
  } catch (const WriteError& error) {
    EXPECT_NE(std::string(error.what()).find("a.orders, b.orders"), std::string::npos) << error.what();
  }
  options.aroundTable = "b.orders";
  EXPECT_EQ(ReadDot(WriteFormat("dot", twice, options)).nodes.size(), 1u);
}

// Points along an SVG path of M, C and L commands, as the diagram writes
// them ("M1,2 C3,4 5,6 7,8 L9,10"), every fiftieth of each piece.
std::vector<std::pair<double, double>> PathPoints(const std::string& d) {
  std::vector<std::pair<double, double>> points;
  std::istringstream in(d);
  double x0 = 0, y0 = 0;
  char command = 0, comma = 0;
  while (in >> std::ws && std::isalpha(in.peek())) {
    command = static_cast<char>(in.get());
    double p[6] = {};
    const int pairs = command == 'C' ? 3 : 1;
    for (int k = 0; k < pairs; ++k) in >> p[2 * k] >> comma >> p[2 * k + 1];
    if (command == 'L') p[4] = p[0], p[5] = p[1], p[0] = x0, p[1] = y0, p[2] = p[4], p[3] = p[5];
    for (double t = 0; command != 'M' && t <= 1; t += 0.02) {
      const double u = 1 - t, a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, e = t * t * t;
      points.emplace_back(a * x0 + b * p[0] + c * p[2] + e * p[4], a * y0 + b * p[1] + c * p[3] + e * p[5]);
    }
    x0 = command == 'M' ? p[0] : p[4];
    y0 = command == 'M' ? p[1] : p[5];
  }
  return points;
}

TEST(DiagramFormatsTest, AHubsLinesPassNoBox) {
  // 30 tables refer to the hub, it refers to 30: each side fills two
  // columns, and the outer column's lines must not run under the inner
  // column's boxes.
  GenericModel model(1001);
  std::vector<std::string> names{"hub"};
  std::vector<std::pair<int, int>> links;
  for (int i = 1; i <= 60; ++i) {
    names.push_back((i <= 30 ? "in" : "out") + std::to_string(i));
    links.emplace_back(i <= 30 ? i : 0, i <= 30 ? 0 : i);
  }
  const std::vector<int> tables = BuildGraphModel(model, names, links);
  const ModelIndex index(model);
  const std::string svg = DiagramSvg(index, NeighbourDiagram(index, *model.GetCMOObject(tables[0])), {});
  struct Rect { double x, y, w, h; };
  std::vector<Rect> boxes;
  for (std::size_t at = svg.find("<g class=\"node\""); at != std::string::npos; at = svg.find("<g class=\"node\"", at + 1)) {
    Rect r{};
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<rect ", at), "<rect x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"", &r.x,
                          &r.y, &r.w, &r.h), 4);
    boxes.push_back(r);
  }
  EXPECT_EQ(boxes.size(), 49u);  // the hub and 24 a side
  std::size_t lines = 0;
  for (std::size_t at = svg.find("<g class=\"edge\""); at != std::string::npos; at = svg.find("<g class=\"edge\"", at + 1)) {
    const std::size_t d = svg.find("<path d=\"", at) + 9;
    const std::string path = svg.substr(d, svg.find('"', d) - d);
    ++lines;
    const std::vector<std::pair<double, double>> points = PathPoints(path);
    ASSERT_GE(points.size(), 50u) << path;
    for (const auto& [x, y] : points)
      for (const Rect& r : boxes)
        ASSERT_FALSE(x > r.x + 1 && x < r.x + r.w - 1 && y > r.y + 1 && y < r.y + r.h - 1)
            << path << " passes the box at " << r.x << "," << r.y;
  }
  EXPECT_EQ(lines, 48u);
}

// Large groups with names only are placed by our own code: each table
// once, no box over another, every line within the picture, and a chain
// drawn link by link from one cell to the next.
TEST(DiagramFormatsTest, NamesOnlyGroupsKeepEveryTableApartAndChainsTogether) {
  GenericModel model(1001);
  std::vector<std::string> names;
  std::vector<std::pair<int, int>> links;
  auto add = [&](const std::string& name) { names.push_back(name); return static_cast<int>(names.size()) - 1; };
  const int hub = add("hub");
  for (int i = 0; i < 40; ++i) links.emplace_back(add("leaf_" + std::to_string(i)), hub);
  const int chain = add("chain_0");
  for (int i = 1; i < 30; ++i) links.emplace_back(add("chain_" + std::to_string(i)), chain + i - 1);
  const int ring = add("ring_0");
  for (int i = 1; i < 20; ++i) links.emplace_back(add("ring_" + std::to_string(i)), ring + i - 1);
  links.emplace_back(ring, ring + 19);
  const int tree = add("tree_with_a_longer_name_0");
  for (int i = 1; i < 61; ++i) links.emplace_back(add("tree_with_a_longer_name_" + std::to_string(i)), tree + (i - 1) / 2);
  links.emplace_back(add("self"), static_cast<int>(names.size()) - 1);
  for (int i = 0; i < 7; ++i) add("alone_" + std::to_string(i));
  BuildGraphModel(model, names, links);
  const ModelIndex index(model);
  DiagramDrawing drawing;
  drawing.columns = DiagramDrawing::Columns::NamesOnly;
  const std::string svg = DiagramSvg(index, BuildDiagram(index, WriteOptions{}), drawing);
  const double width = std::strtod(svg.c_str() + svg.find(" width=\"") + 8, nullptr);
  const double height = std::strtod(svg.c_str() + svg.find(" height=\"") + 9, nullptr);
  struct Rect { double x, y, w, h; };
  std::map<std::string, Rect> boxes;
  for (std::size_t at = svg.find("<g class=\"node\""); at != std::string::npos; at = svg.find("<g class=\"node\"", at + 1)) {
    const std::size_t id = svg.find("id=\"", at) + 4;
    Rect r{};
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("<rect ", at), "<rect x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"", &r.x,
                          &r.y, &r.w, &r.h), 4);
    EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= width && r.y + r.h <= height) << svg.substr(at, 80);
    EXPECT_TRUE(boxes.emplace(svg.substr(id, svg.find('"', id) - id), r).second);
  }
  ASSERT_EQ(boxes.size(), names.size());
  for (auto a = boxes.begin(); a != boxes.end(); ++a)
    for (auto b = std::next(a); b != boxes.end(); ++b)
      EXPECT_FALSE(a->second.x < b->second.x + b->second.w && b->second.x < a->second.x + a->second.w &&
                   a->second.y < b->second.y + b->second.h && b->second.y < a->second.y + a->second.h)
          << a->first << " and " << b->first << " overlap";
  for (std::size_t at = svg.find("<path d=\""); at != std::string::npos; at = svg.find("<path d=\"", at + 1)) {
    const std::string path = svg.substr(at + 9, svg.find('"', at + 9) - at - 9);
    for (const auto& [x, y] : PathPoints(path))
      ASSERT_TRUE(x >= -0.5 && x <= width + 0.5 && y >= -0.5 && y <= height + 0.5) << path << " leaves the picture";
  }
  for (int i = 1; i < 30; ++i) {
    const Rect& a = boxes.at("d-main.chain_" + std::to_string(i - 1));
    const Rect& b = boxes.at("d-main.chain_" + std::to_string(i));
    const bool sameColumn = std::abs(a.x + a.w / 2 - (b.x + b.w / 2)) < 1, sameRow = std::abs(a.y - b.y) < 1;
    EXPECT_TRUE(sameColumn != sameRow && std::abs(a.y - b.y) < 2 * b.h && std::abs(a.x + a.w / 2 - b.x - b.w / 2) < a.w + b.w)
        << "chain_" << i << " is not next to the one before";
  }
}

// Refused before any layout is tried: the test would otherwise run for
// many minutes (the bench measures how long).
TEST(DiagramFormatsTest, ADiagramTooLargeToLayOutIsRefusedWithAdvice) {
  GenericModel model(1001);
  std::vector<std::string> names;
  for (std::size_t i = 0; i <= kMaximumLaidOutTables; ++i) names.push_back("t" + std::to_string(i));
  BuildGraphModel(model, names, {{1, 0}});
  try {
    WriteFormat("svg", model);
    ADD_FAILURE() << "laid out " << names.size() << " tables";
  } catch (const WriteError& error) {
    const std::string what = error.what();
    EXPECT_NE(what.find(std::to_string(names.size()) + " tables and 1 foreign keys"), std::string::npos) << what;
    EXPECT_NE(what.find("--around TABLE --depth N"), std::string::npos) << what;
  }
  // The graph itself is written; the page says why it has no picture, and
  // one table's neighbourhood is drawn.
  EXPECT_EQ(ReadDot(WriteFormat("dot", model)).nodes.size(), names.size());
  const std::string page = WriteFormat("html", model);
  EXPECT_EQ(page.find("<svg"), std::string::npos);
  EXPECT_NE(page.find("No diagram: the diagram has " + std::to_string(names.size()) + " tables"), std::string::npos);
  WriteOptions around;
  around.aroundTable = "t1";
  EXPECT_EQ(ReadSvg(WriteFormat("svg", model, around)).nodeTexts.size(), 2u);
}

// Few tables with many foreign keys take as long: they are refused too.
TEST(DiagramFormatsTest, ADiagramWithTooManyForeignKeysIsRefused) {
  GenericModel model(1001);
  std::vector<std::pair<int, int>> links;
  for (std::size_t i = 0; i <= kMaximumLaidOutForeignKeys; ++i) links.emplace_back(static_cast<int>(i % 10), 0);
  BuildGraphModel(model, {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}, links);
  try {
    WriteFormat("svg", model);
    ADD_FAILURE() << "laid out " << links.size() << " foreign keys";
  } catch (const WriteError& error) {
    EXPECT_NE(std::string(error.what()).find("10 tables and " + std::to_string(links.size()) + " foreign keys"),
              std::string::npos)
        << error.what();
  }
}

// The plug-ins may spell the values of the vocabulary in either letter
// case: a primary key is one however its type is written.
TEST(DiagramFormatsTest, KeyTypesAreReadWhateverTheirLetterCase) {
  for (const char16_t* type : {u"PRIMARY KEY", u"primary key", u"Primary Key"}) {
    GenericModel model(1001);
    CMOObject& table = Add(model, Table, 1, u"t");
    CMOObject& column = Add(model, Column, table.GetObjectId(), u"id");
    CMOObject& key = Add(model, Key, table.GetObjectId(), u"k");
    SetText(key, KeyType, type);
    SetIds(key, KeyColumns, {column.GetObjectId()});
    EXPECT_NE(WriteFormat("mermaid", model).find(" id PK\n"), std::string::npos) << platform::Utf16ToUtf8(type);
  }
}


}  // namespace
}  // namespace writers::test

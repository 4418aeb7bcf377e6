// The diagram and documentation formats on models built by hand, read back
// by real parsers (Graphviz's own for DOT, libxml2 for SVG and the page,
// line by line for Markdown). The texts whole: OutputFormatsTest.
#include "DiagramTestSupport.h"
#include "TestModel.h"

#include "Diagram.h"
#include "ModelIndex.h"

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace writers::test {
namespace {

using namespace model;

// A table's node, box and page: its stem.
std::string Node(const GenericModel& model, int id) { return ModelIndex(model).Stem(id); }

std::string Shown(const std::string& name) { return VisibleText(platform::Utf8ToUtf16(name)); }

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

  const ParsedDocument svg(WriteFormat("svg", model), false), drawn(RenderDot(dot), false);
  ASSERT_TRUE(svg.Parsed() && drawn.Parsed());
  ASSERT_EQ(svg.Texts("//svg:g[@class='node']/@id").size(), names.size());
  EXPECT_EQ(svg.Texts("//svg:g[@class='edge']/@id").size(), names.size() - 1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::string node = "//svg:g[@class='node'][@id='d-" + Node(model, tables[i]) + "']";
    // The box's tooltip is the name exactly as shown; its title shows it
    // too, a long one cut with "…". Graphviz writes a run of blanks with
    // no-break spaces.
    const std::string shown = Shown(names[i]);
    EXPECT_EQ(svg.Texts(node + "/svg:title"), std::vector<std::string>{shown});
    auto texts = [&](const ParsedDocument& picture) {
      std::vector<std::string> all = picture.Texts(node + "//svg:text");
      for (std::string& text : all)
        for (std::size_t at = text.find("\xc2\xa0"); at != std::string::npos; at = text.find("\xc2\xa0", at))
          text.replace(at, 2, " ");
      return all;
    };
    const std::vector<std::string> ours = texts(svg), laid = texts(drawn);
    ASSERT_FALSE(ours.empty());
    const std::string& title = ours[0];
    EXPECT_TRUE(title == shown || (title.ends_with("\u2026") && shown.starts_with(title.substr(0, title.size() - 3))))
        << title;
    // Graphviz drawing the dot format: the box's title, its column and the
    // column's type, as shown (label escapes such as \N read as text).
    ASSERT_GE(laid.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(laid.begin(), laid.begin() + 3),
              (std::vector<std::string>{shown, shown, shown + " NOT NULL"}));
  }
}

// t0 <- t1 <- t2 <- t3, t4 -> t0, t5 alone; an unknown or ambiguous table
// is refused with its name.
TEST(DiagramFormatsTest, AroundDrawsTheTablesWithinDepthForeignKeysEitherWay) {
  GenericModel model(1001);
  const std::vector<int> tables =
      BuildGraphModel(model, {"t0", "t1", "t2", "t3", "t4", "t5"}, {{1, 0}, {2, 1}, {3, 2}, {4, 0}});
  auto drawn = [](const GenericModel& of, const std::string& around, int depth) {
    WriteOptions options;
    options.aroundTable = around;
    options.depth = depth;
    const DotGraph graph = ReadDot(WriteFormat("dot", of, options));
    EXPECT_TRUE(graph.parsed);
    return graph.nodes;
  };
  auto nodes = [&](std::initializer_list<int> indexes) {
    std::set<std::string> names;
    for (int i : indexes) names.insert(Node(model, tables[static_cast<std::size_t>(i)]));
    return names;
  };
  EXPECT_EQ(drawn(model, "t2", 0), nodes({2}));
  EXPECT_EQ(drawn(model, "t2", 1), nodes({1, 2, 3}));
  EXPECT_EQ(drawn(model, "t2", 2), nodes({0, 1, 2, 3}));
  EXPECT_EQ(drawn(model, "t2", 3), nodes({0, 1, 2, 3, 4}));
  EXPECT_EQ(drawn(model, "main.t2", 1), nodes({1, 2, 3}));
  EXPECT_EQ(drawn(model, "t5", 5), nodes({5}));
  EXPECT_EQ(drawn(model, "", 0), nodes({0, 1, 2, 3, 4, 5}));

  GenericModel twice(1001);
  for (const char16_t* schemaName : {u"a", u"b"})
    Add(twice, Table, Add(twice, Schema, 1, schemaName).GetObjectId(), u"orders");
  auto refused = [](const GenericModel& of, const char* around, const char* format, const std::string& message) {
    WriteOptions options;
    options.aroundTable = around;
    try {
      WriteFormat(format, of, options);
      ADD_FAILURE() << format << " wrote a diagram around " << around;
    } catch (const WriteError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  };
  for (const char* format : {"dot", "svg", "mermaid", "html", "markdown"})
    refused(model, "nope\x1b", format, "no table named \"nope\\x1b\"");
  refused(twice, "orders", "dot", "a.orders, b.orders");
  EXPECT_EQ(drawn(twice, "b.orders", 0).size(), 1u);
}

struct Rect {
  double x, y, w, h;
};

// The boxes of the svg format's picture by their ids, in order.
std::vector<std::pair<std::string, Rect>> Boxes(const std::string& svg) {
  std::vector<std::pair<std::string, Rect>> boxes;
  for (std::size_t at = svg.find("<g class=\"node\""); at != std::string::npos; at = svg.find("<g class=\"node\"", at + 1)) {
    const std::size_t id = svg.find("id=\"", at) + 4;
    Rect r{};
    const char* rect = "<rect x=\"%lf\" y=\"%lf\" width=\"%lf\" height=\"%lf\"";
    EXPECT_EQ(std::sscanf(svg.c_str() + svg.find("<rect ", at), rect, &r.x, &r.y, &r.w, &r.h), 4);
    boxes.emplace_back(svg.substr(id, svg.find('"', id) - id), r);
  }
  return boxes;
}

// The first path (<path d="...">) from each mark on.
std::vector<std::string> Paths(const std::string& svg, const std::string& mark) {
  std::vector<std::string> paths;
  for (std::size_t at = svg.find(mark); at != std::string::npos; at = svg.find(mark, at + 1)) {
    const std::size_t d = svg.find("<path d=\"", at) + 9;
    paths.push_back(svg.substr(d, svg.find('"', d) - d));
  }
  return paths;
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
  const auto boxes = Boxes(svg);
  EXPECT_EQ(boxes.size(), 49u);  // the hub and 24 a side
  const std::vector<std::string> paths = Paths(svg, "<g class=\"edge\"");
  EXPECT_EQ(paths.size(), 48u);
  for (const std::string& path : paths) {
    const std::vector<std::pair<double, double>> points = PathPoints(path);
    ASSERT_GE(points.size(), 50u) << path;
    for (const auto& [x, y] : points)
      for (const auto& [id, r] : boxes)
        ASSERT_FALSE(x > r.x + 1 && x < r.x + r.w - 1 && y > r.y + 1 && y < r.y + r.h - 1) << path << " passes " << id;
  }
}

// Large groups with names only are placed by our own code: each table
// once, no box over another, every line within the picture, and a chain
// drawn link by link from one cell to the next.
TEST(DiagramFormatsTest, NamesOnlyGroupsKeepEveryTableApartAndChainsTogether) {
  GenericModel model(1001);
  std::vector<std::string> names;
  std::vector<std::pair<int, int>> links;
  auto add = [&](const std::string& name) {
    names.push_back(name);
    return static_cast<int>(names.size()) - 1;
  };
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
  const auto drawn = Boxes(svg);
  const std::map<std::string, Rect> boxes(drawn.begin(), drawn.end());
  ASSERT_EQ(drawn.size(), names.size());
  ASSERT_EQ(boxes.size(), names.size()) << "a table placed twice";
  for (auto a = boxes.begin(); a != boxes.end(); ++a) {
    const Rect& r = a->second;
    EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= width && r.y + r.h <= height) << a->first;
    for (auto b = std::next(a); b != boxes.end(); ++b)
      EXPECT_FALSE(r.x < b->second.x + b->second.w && b->second.x < r.x + r.w && r.y < b->second.y + b->second.h &&
                   b->second.y < r.y + r.h)
          << a->first << " and " << b->first << " overlap";
  }
  for (const std::string& path : Paths(svg, "<path d=\""))
    for (const auto& [x, y] : PathPoints(path))
      ASSERT_TRUE(x >= -0.5 && x <= width + 0.5 && y >= -0.5 && y <= height + 0.5) << path << " leaves the picture";
  for (int i = 1; i < 30; ++i) {
    const Rect& a = boxes.at("d-main.chain_" + std::to_string(i - 1));
    const Rect& b = boxes.at("d-main.chain_" + std::to_string(i));
    const bool sameColumn = std::abs(a.x + a.w / 2 - (b.x + b.w / 2)) < 1, sameRow = std::abs(a.y - b.y) < 1;
    EXPECT_TRUE(sameColumn != sameRow && std::abs(a.y - b.y) < 2 * b.h && std::abs(a.x + a.w / 2 - b.x - b.w / 2) < a.w + b.w)
        << "chain_" << i << " is not next to the one before";
  }
}

// Refused before any layout is tried (which would run for minutes), with
// advice: too many tables, or few with many foreign keys. The graph itself
// is written; the page and Markdown say why they have no picture.
TEST(DiagramFormatsTest, ADiagramTooLargeToLayOutIsRefusedWithAdvice) {
  GenericModel large(1001), dense(1001);
  std::vector<std::string> names;
  for (std::size_t i = 0; i <= kMaximumLaidOutTables; ++i) names.push_back("t" + std::to_string(i));
  BuildGraphModel(large, names, {{1, 0}});
  std::vector<std::pair<int, int>> links;
  for (std::size_t i = 0; i <= kMaximumLaidOutForeignKeys; ++i) links.emplace_back(static_cast<int>(i % 10), 0);
  BuildGraphModel(dense, std::vector<std::string>(names.begin(), names.begin() + 10), links);
  for (const auto& [model, counts] :
       {std::pair{&large, std::to_string(names.size()) + " tables and 1 foreign keys"},
        std::pair{&dense, "10 tables and " + std::to_string(links.size()) + " foreign keys"}}) {
    try {
      WriteFormat("svg", *model);
      ADD_FAILURE() << "laid out " << counts;
    } catch (const WriteError& error) {
      EXPECT_NE(std::string(error.what()).find(counts), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("--around TABLE --depth N"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(ReadDot(WriteFormat("dot", large)).nodes.size(), names.size());
  const std::string page = WriteFormat("html", large);
  EXPECT_EQ(page.find("<svg"), std::string::npos);
  EXPECT_NE(page.find("No diagram: the diagram has " + std::to_string(names.size()) + " tables"), std::string::npos);
  WriteOptions around;
  around.aroundTable = "t1";
  const std::string aroundSvg = WriteFormat("svg", large, around);
  EXPECT_EQ(Boxes(aroundSvg).size(), 2u);
  // The table asked for, and it alone, is drawn as the centre.
  const std::size_t centre = aroundSvg.find("data-centre=\"true\"");
  ASSERT_NE(centre, std::string::npos);
  EXPECT_EQ(aroundSvg.find("data-centre", centre + 1), std::string::npos);
  EXPECT_EQ(aroundSvg.substr(centre, aroundSvg.find("</title>", centre) - centre),
            "data-centre=\"true\" id=\"d-main.t1\"><title>t1");
  // More relationships than Mermaid draws: Markdown leaves its diagram out.
  const std::string markdown = WriteFormat("markdown", dense);
  EXPECT_EQ(markdown.find("```mermaid"), std::string::npos);
  EXPECT_NE(markdown.find("No diagram: its " + std::to_string(links.size()) +
                          " relationships are more than the 500 Mermaid draws."),
            std::string::npos);
  EXPECT_NE(markdown.find("`--around TABLE --depth N`"), std::string::npos);
  around.aroundTable = "t7";
  EXPECT_NE(WriteFormat("markdown", dense, around).find("```mermaid"), std::string::npos);
}

// The plug-ins may spell the vocabulary's values in either letter case.
TEST(DiagramFormatsTest, KeyTypesAreReadWhateverTheirLetterCase) {
  for (const char16_t* type : {u"PRIMARY KEY", u"primary key", u"Primary Key"}) {
    GenericModel model(1001);
    const int table = Add(model, Table, 1, u"t").GetObjectId();
    AddKey(model, table, u"k", type, {Add(model, Column, table, u"id").GetObjectId()});
    EXPECT_NE(WriteFormat("mermaid", model).find(" id PK\n"), std::string::npos) << platform::Utf16ToUtf8(type);
  }
}

TEST(DocumentFormatsTest, PageKeepsEveryNameAsTextAndRunsOnlyItsOwnScript) {
  GenericModel model(1001);
  const std::vector<std::string>& names = DiagramHostileNames();
  BuildChainModel(model, names);
  const ParsedDocument page(WriteFormat("html", model), true);
  ASSERT_TRUE(page.Parsed());
  EXPECT_EQ(page.Texts("//script").size(), 1u) << "only the page's own script";
  EXPECT_TRUE(page.Texts("//img | //iframe | //object | //embed | //body//style | //b | //link").empty());
  EXPECT_TRUE(page.Texts("//@*[starts-with(name(), 'on')]").empty()) << "no event handler attributes";
  // Tables, then the view and the routine, each under its own name; each
  // table's box in the embedded diagram has the name as its tooltip.
  std::vector<std::string> shown;
  for (const std::string& name : names) shown.push_back(Shown(name));
  EXPECT_EQ(page.Texts("//*[@id='diagram']//*[local-name()='g'][@class='node']/*[local-name()='title']"), shown);
  shown.push_back(Shown(names.front()));
  shown.push_back(Shown(names.back()));
  EXPECT_EQ(page.Texts("//section[@class='object']/h3/span[@class='name']"), shown);
  EXPECT_EQ(page.Texts("//nav//li/@data-name"), shown);

  // Nothing but the inline script and style sheet the page names by hash:
  // default-src 'none'; script-src 'sha256-<44>'; style-src 'sha256-<44>'
  const std::vector<std::string> policy = page.Texts("//meta[@http-equiv='Content-Security-Policy']/@content");
  ASSERT_EQ(policy.size(), 1u);
  const std::string& csp = policy[0];
  const std::string script = "default-src 'none'; script-src 'sha256-", style = "'; style-src 'sha256-";
  ASSERT_EQ(csp.size(), script.size() + 44 + style.size() + 44 + 1) << csp;
  EXPECT_EQ(csp.substr(0, script.size()), script) << csp;
  EXPECT_EQ(csp.substr(script.size() + 44, style.size()), style) << csp;
  EXPECT_EQ(csp.back(), '\'');
  for (const std::string& hash : {csp.substr(script.size(), 44), csp.substr(script.size() + 44 + style.size(), 44)}) {
    EXPECT_EQ(hash.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"), 43u) << csp;
    EXPECT_EQ(hash.back(), '=') << csp;
  }
}

TEST(DocumentFormatsTest, EveryLinkOfThePageHasItsTarget) {
  GenericModel shop(1001);
  BuildShopModel(shop);
  // A schema's comment shows under its heading, as a table's does.
  for (int id = 1; id <= shop.GetObjectCount(); ++id)
    if (CMOObject* object = shop.GetCMOObject(id); object != nullptr && object->GetObjectType() == Schema)
      SetText(*object, Comment, u"kept by the shop");
  const ParsedDocument page(WriteFormat("html", shop), true);
  EXPECT_EQ(page.Texts("//section[h2]/p[@class='comment']"),
            (std::vector<std::string>{"kept by the shop", "kept by the shop"}));
  ASSERT_TRUE(page.Parsed());
  const std::vector<std::string> links = page.Texts("//a/@href"), ids = page.Texts("//@id");
  EXPECT_GT(links.size(), 8u);
  for (const std::string& link : links)
    EXPECT_TRUE(link.starts_with("#") && std::find(ids.begin(), ids.end(), link.substr(1)) != ids.end()) << link;
  EXPECT_EQ(page.Texts("//section[h3/span='sales.customers']//h4[.='Referenced by']/following-sibling::ul[1]/li/a"),
            (std::vector<std::string>{"sales.orders", "audit.log"}));
  EXPECT_EQ(page.Texts("//section[h3/span='sales.customers']//table[@class='columns']/tbody/tr/td[2]"),
            (std::vector<std::string>{"INTEGER", "TEXT", "VARCHAR(200)"}));
}

TEST(DocumentFormatsTest, MarkdownKeepsEveryNameAsTextAndItsLinksHaveTargets) {
  GenericModel model(1001);
  BuildChainModel(model, DiagramHostileNames());
  std::set<std::string> anchors;
  std::vector<std::string> links;
  bool inBlock = false, sawMermaid = false;
  std::string fence;
  std::istringstream in(WriteFormat("markdown", model));
  for (std::string line; std::getline(in, line);) {
    if (!inBlock && line.rfind("```", 0) == 0) {
      inBlock = true;
      fence = line.substr(0, line.find_first_not_of('`'));
      sawMermaid |= line == fence + "mermaid";
      continue;
    }
    if (inBlock) {
      inBlock = line != fence;
      continue;
    }
    if (line.rfind("<a id=\"", 0) == 0 && line.size() > 12 && line.compare(line.size() - 6, 6, "\"></a>") == 0) {
      anchors.insert(line.substr(7, line.size() - 13));
      continue;
    }
    for (std::size_t at = line.find("](#"); at != std::string::npos; at = line.find("](#", at + 1))
      links.push_back(line.substr(at + 3, line.find(')', at) - at - 3));
    // Outside code, no name can open markup or an entity: '<' and '&'
    // come escaped (or as the blanks' entity). Code spans show what they
    // hold as it is.
    std::string prose;
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] != '`' || (i > 0 && line[i - 1] == '\\')) {
        prose += line[i++];
        continue;
      }
      const std::size_t run = line.find_first_not_of('`', i) - i;
      std::size_t close = line.find(std::string(run, '`'), i + run);
      while (close != std::string::npos && close + run < line.size() && line[close + run] == '`')
        close = line.find(std::string(run, '`'), line.find_first_not_of('`', close));
      ASSERT_NE(close, std::string::npos) << "a code span is not closed: " << line;
      i = close + run;
    }
    for (std::size_t i = 0; i < prose.size(); ++i) {
      if (prose[i] == '<' || prose[i] == '&') {
        EXPECT_TRUE((i > 0 && prose[i - 1] == '\\') || prose.compare(i, 5, "&#32;") == 0) << line;
      }
    }
    // No name starts a list of its own inside an item.
    EXPECT_FALSE(prose.rfind("- - ", 0) == 0 || prose.rfind("- 1. ", 0) == 0) << line;
  }
  EXPECT_FALSE(inBlock) << "a code block is not closed";
  EXPECT_TRUE(sawMermaid);
  EXPECT_GT(links.size(), DiagramHostileNames().size());
  for (const std::string& target : links) EXPECT_TRUE(anchors.count(target)) << target;
}

TEST(DocumentFormatsTest, OneFileAdvisesTheFolderWhereItsDiagramDropsTheColumns) {
  // 14 tables are drawn with their columns, 400 by name only; a picture
  // around one table is not the whole schema's and gives no advice.
  const struct {
    int tables;
    std::string around;
    bool advised;
  } cases[] = {{14, "", false}, {400, "", true}, {400, ApplicationTable(3), false}};
  for (const auto& c : cases) {
    GenericModel model(1001);
    BuildApplicationModel(model, c.tables);
    WriteOptions options;
    options.aroundTable = c.around;
    for (const char* format : {"html", "markdown"})
      EXPECT_EQ(WriteFormat(format, model, options).find("written as a folder") != std::string::npos, c.advised)
          << format << " " << c.tables << " " << c.around;
  }
}

TEST(DocumentFolderTest, PagesHaveNamesNoFileSystemMerges) {
  GenericModel model(1002);
  const int x = Add(model, Schema, 1, u"x").GetObjectId(), xa = Add(model, Schema, 1, u"x.a").GetObjectId();
  std::vector<int> objects;
  for (const char16_t* name : {u"orders", u"Orders", u"ORDERS", u"a.b", u"con", u"", u"a/../b",
                               u"\u0417\u0430\u043a\u0430\u0437\u044b", u"\u0437\u0430\u043a\u0430\u0437\u044b", u"a~1",
                               u"orders~1"})
    objects.push_back(Add(model, Table, x, name).GetObjectId());
  objects.push_back(Add(model, Table, xa, u"b").GetObjectId());
  objects.push_back(Add(model, Table, x, std::u16string(300, u'n')).GetObjectId());
  for (const char16_t* arguments : {u"integer", u"text"}) {  // overloads
    CMOObject& routine = Add(model, Routine, x, u"orders");
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
  std::map<std::string, FolderFiles> folders;
  for (const auto& [format, extension, index] :
       {std::tuple{"html", ".html", "index.html"}, std::tuple{"markdown", ".md", "README.md"}}) {
    FolderFiles old;
    FolderFiles& now = folders[format];
    FindOutputFormat(format)->writer->WriteFolder(before, old, WriteOptions{});
    FindOutputFormat(format)->writer->WriteFolder(after, now, WriteOptions{});
    std::set<std::string> changed;
    for (const auto& [path, text] : now.files)
      if (!old.files.count(path) || old.files[path] != text) changed.insert(path);
    std::set<std::string> expected = {index};
    for (int n : {1, 156, 157, 158}) expected.insert("tables/app." + ApplicationTable(n) + extension);
    EXPECT_EQ(changed, expected) << format;
  }
  // The one Markdown file: about a table's worth of lines (its section, the
  // diagram's lines and the foreign keys' on the other tables), not every
  // anchor after it.
  const std::string& page = folders["markdown"].files["tables/app." + added + ".md"];
  EXPECT_LE(ChangedLines(WriteFormat("markdown", before), WriteFormat("markdown", after)),
            static_cast<std::size_t>(std::count(page.begin(), page.end(), '\n')) + 12);
}

TEST(DocumentFolderTest, NoOverviewIsASliver) {
  // 58 tables without foreign keys, as MediaWiki's; a chain of 400; 400
  // tables around four hubs. The text, fitted into the window, stays
  // readable but for the hubs'.
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
    const std::string svg = WriteFormat("svg", *model);
    const std::size_t w = svg.find(" width=\""), h = svg.find(" height=\"");
    ASSERT_TRUE(w != std::string::npos && h != std::string::npos) << name;
    const double width = std::strtod(svg.c_str() + w + 8, nullptr), height = std::strtod(svg.c_str() + h + 9, nullptr);
    EXPECT_LE(std::max(width / height, height / width), 3.0) << name << ": " << width << " x " << height;
    if (readable) {
      EXPECT_GE(12 * std::min({1.0, kFitWidth / width, kFitHeight / height}), kMinimumFittedText) << name;
    }
    first.push_back(svg);
  }
  // The same picture again, whatever was laid out before it.
  EXPECT_EQ(WriteFormat("svg", hubs), first[2]);
  EXPECT_EQ(WriteFormat("svg", chain), first[1]);
}

}  // namespace
}  // namespace writers::test

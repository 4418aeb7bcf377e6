// The diagram formats on models built by hand: the graph has a node per
// table and an edge per foreign key between drawn tables, read back by
// Graphviz's own parser and, laid out, by an XML parser; hostile names stay
// labels; --around narrows the diagram; a diagram too large to lay out is
// refused with advice instead of a layout that does not end; the Mermaid
// text keeps to what Mermaid's grammar takes.
#include "DiagramTestSupport.h"
#include "TestModel.h"

#include "../../writers/src/Diagram.h"

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string_view>

namespace writers::test {
namespace {

using namespace model;

std::string Node(int id) { return "t" + std::to_string(id); }

TEST(DiagramFormatsTest, DotHasANodePerTableAndAnEdgePerForeignKeyWithATarget) {
  GenericModel shop(1001);
  BuildShopModel(shop);
  const DotGraph graph = ReadDot(WriteFormat("dot", shop));
  ASSERT_TRUE(graph.parsed);
  // customers, orders, events (sales); log (audit). The view is no table.
  EXPECT_EQ(graph.nodes.size(), 4u);
  // orders -> customers, log -> orders, log -> customers (through the
  // referenced key); the foreign key without a target draws nothing.
  std::vector<std::pair<std::string, std::string>> edges = graph.edges;
  std::sort(edges.begin(), edges.end());
  EXPECT_EQ(edges.size(), 3u);
  EXPECT_EQ(graph.clusters.size(), 2u) << "one cluster per schema";
}

TEST(DiagramFormatsTest, HostileNamesAreLabelsOnly) {
  GenericModel model(1001);
  const std::vector<std::string>& names = DiagramHostileNames();
  const std::vector<int> tables = BuildChainModel(model, names);
  const std::string dot = WriteFormat("dot", model);
  const DotGraph graph = ReadDot(dot);
  ASSERT_TRUE(graph.parsed) << dot.substr(0, 2000);
  std::set<std::string> expected;
  for (int id : tables) expected.insert(Node(id));
  EXPECT_EQ(graph.nodes, expected);
  EXPECT_EQ(graph.edges.size(), names.size() - 1);
  EXPECT_TRUE(graph.clusters.empty()) << "one schema: no cluster";

  const SvgPicture svg = ReadSvg(WriteFormat("svg", model));
  ASSERT_TRUE(svg.parsed);
  ASSERT_EQ(svg.nodeTexts.size(), names.size());
  EXPECT_EQ(svg.edgeIds.size(), names.size() - 1);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto node = svg.nodeTexts.find("d-" + Node(tables[i]));
    ASSERT_NE(node, svg.nodeTexts.end()) << names[i];
    ASSERT_FALSE(node->second.empty());
    // The box's title, then its column and the column's type: the name
    // exactly as shown.
    const std::string shown = VisibleText(platform::Utf8ToUtf16(names[i]));
    ASSERT_GE(node->second.size(), 3u) << names[i];
    EXPECT_EQ(node->second[0], shown);
    EXPECT_EQ(node->second[1], shown);
    EXPECT_EQ(node->second[2], shown + " NOT NULL");
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
    for (int i : indexes) nodes.insert(Node(m_tables[static_cast<std::size_t>(i)]));
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

// Mermaid's erDiagram grammar: an attribute's type and name are words of
// these characters; labels and comments are double-quoted without '"'.
// (Checked by hand: std::regex of GCC 12 does not build under the
// sanitizers without warnings.)
bool IsMermaidWord(const std::string& word) {
  if (word.empty()) return false;
  auto letter = [](unsigned char c) { return std::isalpha(c) || c == '_' || c == '*' || c >= 0x80; };
  if (!letter(static_cast<unsigned char>(word[0]))) return false;
  return std::all_of(word.begin(), word.end(), [&](char c) {
    const auto u = static_cast<unsigned char>(c);
    return letter(u) || std::isdigit(u) || std::string_view("-[]().,").find(c) != std::string_view::npos;
  });
}

// Quoted text as Mermaid takes it in a label or a comment: none of the
// characters it cannot show.
bool IsMermaidQuoted(const std::string& text, bool label) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  const std::string inner = text.substr(1, text.size() - 2);
  if (label && inner.empty()) return false;
  return inner.find_first_of("\"%\\\r\n#<>&") == std::string::npos;
}

bool StartsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// "t12" and what follows it.
bool EntityId(const std::string& text, std::size_t& at) {
  if (at >= text.size() || text[at] != 't') return false;
  const std::size_t digits = text.find_first_not_of("0123456789", at + 1);
  if (digits == at + 1) return false;
  at = digits == std::string::npos ? text.size() : digits;
  return true;
}

TEST(DiagramFormatsTest, MermaidKeepsToItsGrammarWhateverTheNames) {
  GenericModel model(1001);
  const std::vector<std::string>& names = DiagramHostileNames();
  const std::vector<int> tables = BuildChainModel(model, names);
  const std::string text = WriteFormat("mermaid", model);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "erDiagram");
  std::size_t entities = 0;
  std::size_t relationships = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == "  }") continue;
    if (StartsWith(line, "    ")) {
      // type name [PK, FK | PK | FK] ["comment"]
      std::string rest = line.substr(4);
      std::string comment;
      const std::size_t quote = rest.find(" \"");
      if (quote != std::string::npos) {
        comment = rest.substr(quote + 1);
        rest = rest.substr(0, quote);
        EXPECT_TRUE(IsMermaidQuoted(comment, false)) << line;
      }
      for (const char* marks : {" PK, FK", " PK", " FK"}) {
        if (rest.size() > std::strlen(marks) && rest.compare(rest.size() - std::strlen(marks), std::string::npos, marks) == 0) {
          rest.resize(rest.size() - std::strlen(marks));
          break;
        }
      }
      const std::size_t blank = rest.find(' ');
      ASSERT_NE(blank, std::string::npos) << line;
      for (const std::string& word : {rest.substr(0, blank), rest.substr(blank + 1)}) {
        EXPECT_TRUE(IsMermaidWord(word)) << line;
        // The key marks are words of their own; a name that would read as one is changed.
        std::string lower = word.substr(0, 2);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool mark = lower == "pk" || lower == "fk" || lower == "uk";
        EXPECT_FALSE(mark && (word.size() == 2 || !(std::isalnum(static_cast<unsigned char>(word[2])) || word[2] == '_')))
            << line;
      }
      continue;
    }
    ASSERT_TRUE(StartsWith(line, "  ")) << line;
    std::size_t at = 2;
    ASSERT_TRUE(EntityId(line, at)) << line;
    if (line.compare(at, 1, "[") == 0) {
      // t12["label"] {
      ASSERT_TRUE(line.size() > at + 4 && line.compare(line.size() - 3, 3, "] {") == 0) << line;
      EXPECT_TRUE(IsMermaidQuoted(line.substr(at + 1, line.size() - 3 - at - 1), true)) << line;
      ++entities;
      continue;
    }
    // t12 }o..o| t7 : "label"
    const std::string cardinality = line.substr(at, 8);
    EXPECT_TRUE(cardinality == " }o..o| " || cardinality == " }o--o| " || cardinality == " }o..|| " ||
                cardinality == " }o--|| " || cardinality == " |o..o| " || cardinality == " |o--o| " ||
                cardinality == " |o..|| " || cardinality == " |o--|| ")
        << line;
    at += 8;
    ASSERT_TRUE(EntityId(line, at)) << line;
    ASSERT_EQ(line.compare(at, 3, " : "), 0) << line;
    EXPECT_TRUE(IsMermaidQuoted(line.substr(at + 3), false)) << line;
    ++relationships;
  }
  EXPECT_EQ(entities, tables.size());
  EXPECT_EQ(relationships, tables.size() - 1);
}

TEST(DiagramFormatsTest, MermaidCardinalitiesFollowTheKeys) {
  GenericModel shop(1001);
  BuildShopModel(shop);
  const std::string text = WriteFormat("mermaid", shop);
  // orders.customer_id may be NULL and is no key: many orders to at most
  // one customer, not identifying.
  const CMOObject* root = shop.GetCMOObject();
  (void)root;
  EXPECT_NE(text.find(" }o..o| "), std::string::npos) << text;
  EXPECT_NE(text.find("    BIGINT id PK\n"), std::string::npos) << text;
  EXPECT_NE(text.find("    TEXT e-mail\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[\"sales.customers\"]"), std::string::npos) << "two schemas: names are qualified\n" << text;
}

}  // namespace
}  // namespace writers::test

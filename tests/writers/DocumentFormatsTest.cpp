// The documentation formats on models built by hand: every name stays
// text (read back by libxml2's HTML parser for the page, line by line for
// Markdown), every link inside a document has its target, the page carries
// its own script only and forbids everything else, and the Markdown file
// leaves out a diagram Mermaid would refuse, saying what helps. (The
// Markdown text whole: OutputFormatsTest's expected files.)
#include "DiagramTestSupport.h"
#include "TestModel.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;

// The page read as a browser's parser would build it.
class ParsedPage {
 public:
  explicit ParsedPage(const std::string& html)
      : m_document(htmlReadMemory(html.data(), static_cast<int>(html.size()), "page.html", "UTF-8",
                                  HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING)),
        m_context(m_document == nullptr ? nullptr : xmlXPathNewContext(m_document)) {}
  ~ParsedPage() {
    if (m_context != nullptr) xmlXPathFreeContext(m_context);
    if (m_document != nullptr) xmlFreeDoc(m_document);
  }
  bool Parsed() const { return m_context != nullptr; }

  // The text of each element the XPath selects (or the attribute's value).
  std::vector<std::string> Texts(const char* path) const {
    std::vector<std::string> texts;
    xmlXPathObject* found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), m_context);
    for (int i = 0; found != nullptr && found->nodesetval != nullptr && i < found->nodesetval->nodeNr; ++i) {
      xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
      texts.emplace_back(content == nullptr ? "" : reinterpret_cast<const char*>(content));
      xmlFree(content);
    }
    xmlXPathFreeObject(found);
    return texts;
  }

 private:
  xmlDoc* m_document;
  xmlXPathContext* m_context;
};

std::vector<std::string> Shown(const std::vector<std::string>& names) {
  std::vector<std::string> shown;
  for (const std::string& name : names) shown.push_back(VisibleText(platform::Utf8ToUtf16(name)));
  return shown;
}

TEST(DocumentFormatsTest, PageKeepsEveryNameAsTextAndRunsOnlyItsOwnScript) {
  GenericModel model(1001);
  const std::vector<std::string>& names = DiagramHostileNames();
  BuildChainModel(model, names);
  const std::string html = WriteFormat("html", model);
  const ParsedPage page(html);
  ASSERT_TRUE(page.Parsed());

  EXPECT_EQ(page.Texts("//script").size(), 1u) << "only the page's own script";
  EXPECT_TRUE(page.Texts("//img | //iframe | //object | //embed | //body//style | //b | //link").empty());
  EXPECT_TRUE(page.Texts("//@*[starts-with(name(), 'on')]").empty()) << "no event handler attributes";
  // Tables, then the view and the routine, each under its own name.
  std::vector<std::string> expected = Shown(names);
  expected.push_back(Shown({names.front()})[0]);
  expected.push_back(Shown({names.back()})[0]);
  EXPECT_EQ(page.Texts("//section[@class='object']/h3/span[@class='name']"), expected);
  EXPECT_EQ(page.Texts("//nav//li/@data-name"), expected);
  // Each table's box in the embedded diagram has the name as its tooltip.
  EXPECT_EQ(page.Texts("//*[@id='diagram']//*[local-name()='g'][@class='node']/*[local-name()='title']"), Shown(names));

  // Nothing but the inline script and style sheet the page names by hash.
  const std::vector<std::string> policy = page.Texts("//meta[@http-equiv='Content-Security-Policy']/@content");
  ASSERT_EQ(policy.size(), 1u);
  // default-src 'none'; script-src 'sha256-<44>'; style-src 'sha256-<44>'
  const std::string& csp = policy[0];
  const std::string script = "default-src 'none'; script-src 'sha256-";
  const std::string style = "'; style-src 'sha256-";
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
  const ParsedPage page(WriteFormat("html", shop));
  ASSERT_TRUE(page.Parsed());
  const std::vector<std::string> links = page.Texts("//a/@href");
  const std::vector<std::string> ids = page.Texts("//@id");
  const std::set<std::string> targets(ids.begin(), ids.end());
  EXPECT_GT(links.size(), 8u);
  for (const std::string& link : links) {
    ASSERT_FALSE(link.empty());
    EXPECT_EQ(link[0], '#') << "a link out of the page: " << link;
    EXPECT_TRUE(targets.count(link.substr(1))) << link;
  }
  // Foreign keys both ways: orders refers to customers, and customers
  // lists orders and log as referring to it.
  EXPECT_EQ(page.Texts("//section[h3/span='sales.customers']//h4[.='Referenced by']/following-sibling::ul[1]/li/a"),
            (std::vector<std::string>{"sales.orders", "audit.log"}));
}

TEST(DocumentFormatsTest, MarkdownKeepsEveryNameAsTextAndItsLinksHaveTargets) {
  GenericModel model(1001);
  BuildChainModel(model, DiagramHostileNames());
  const std::string markdown = WriteFormat("markdown", model);
  std::set<std::string> anchors;
  std::vector<std::string> links;

  bool inBlock = false;
  std::string fence;
  std::istringstream in(markdown);
  bool sawMermaid = false;
  for (std::string line; std::getline(in, line);) {
    if (!inBlock && line.rfind("```", 0) == 0) {
      inBlock = true;
      fence = line.substr(0, line.find_first_not_of('`'));
      sawMermaid |= line == fence + "mermaid";
      continue;
    }
    if (inBlock) {
      if (line == fence) inBlock = false;
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
    line = prose;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '<' && line[i] != '&') continue;
      const bool escaped = i > 0 && line[i - 1] == '\\';
      const bool blank = line.compare(i, 5, "&#32;") == 0;
      EXPECT_TRUE(escaped || blank) << line;
    }
    // No name starts a list of its own inside an item.
    EXPECT_FALSE(line.rfind("- - ", 0) == 0 || line.rfind("- 1. ", 0) == 0) << line;
  }
  EXPECT_FALSE(inBlock) << "a code block is not closed";
  EXPECT_TRUE(sawMermaid);
  EXPECT_GT(links.size(), DiagramHostileNames().size());
  for (const std::string& target : links) EXPECT_TRUE(anchors.count(target)) << target;
}

TEST(DocumentFormatsTest, MarkdownLeavesOutADiagramMermaidWouldRefuse) {
  // 501 foreign keys: more relationships than Mermaid draws.
  GenericModel model(1001);
  std::vector<std::string> names;
  std::vector<std::pair<int, int>> links;
  for (int i = 0; i < 502; ++i) {
    names.push_back("t" + std::to_string(i));
    if (i > 0) links.emplace_back(i, i - 1);
  }
  BuildGraphModel(model, names, links);
  const std::string markdown = WriteFormat("markdown", model);
  EXPECT_EQ(markdown.find("```mermaid"), std::string::npos);
  EXPECT_NE(markdown.find("No diagram: its 501 relationships are more than the 500 Mermaid draws."), std::string::npos);
  EXPECT_NE(markdown.find("`--around TABLE --depth N`"), std::string::npos);
  // Around one table it fits again.
  WriteOptions around;
  around.aroundTable = "t7";
  EXPECT_NE(WriteFormat("markdown", model, around).find("```mermaid"), std::string::npos);
}

TEST(DocumentFormatsTest, OneFileAdvisesTheFolderWhereItsDiagramDropsTheColumns) {
  // 14 tables are drawn with their columns, 400 by name only; a picture
  // around one table is not the whole schema's and gives no advice.
  struct Case {
    int tables;
    std::string around;
    bool advised;
  };
  for (const Case& c : {Case{14, "", false}, Case{400, "", true}, Case{400, ApplicationTable(3), false}}) {
    GenericModel model(1001);
    BuildApplicationModel(model, c.tables);
    WriteOptions options;
    options.aroundTable = c.around;
    for (const char* format : {"html", "markdown"})
      EXPECT_EQ(WriteFormat(format, model, options).find("written as a folder") != std::string::npos, c.advised)
          << format << " " << c.tables << " " << c.around;
  }
}

}  // namespace
}  // namespace writers::test

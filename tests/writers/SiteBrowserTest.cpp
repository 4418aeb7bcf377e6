// The html format in a real headless Chromium (HeadlessBrowser.h), checked
// from the DOM; and the Mermaid the writers give, rendered by the Mermaid
// releases scripts/setup installs from npm.
#include "DiagramTestSupport.h"
#include "HeadlessBrowser.h"
#include "TestModel.h"

#include <HostileNames.h>
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace writers::test {
namespace {

using nlohmann::json;
using qm::test::ReadFile;
using qm::test::hardening::QuoteIdent;

constexpr int kWidth = 1280;
constexpr int kHeight = 900;

class BrowserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HeadlessBrowser::Executable().empty()) s_browser = new HeadlessBrowser();
  }
  static void TearDownTestSuite() {
    delete s_browser;
    s_browser = nullptr;
  }
  void SetUp() override {
    // Only where no browser can be installed; scripts/setup installs one.
    if (s_browser == nullptr) GTEST_SKIP() << "no browser: /usr/bin/chromium is not installed (scripts/setup installs it)";
    ASSERT_TRUE(s_browser->Started()) << s_browser->Failure();
    ASSERT_TRUE(m_plugin.Loaded());
    s_browser->SetWindow(kWidth, kHeight);
  }

  // The SQLite database the script builds, imported through the plug-in.
  void Import(const std::string& sql, GenericModel& model) {
    const std::string database = m_dir.Path("db" + std::to_string(++m_databases) + ".sqlite");
    qm::test::SqliteFile(database).Exec(sql);
    ASSERT_EQ(qm::test::RunImport(m_plugin.Api(), model, database).status, ImportStatusConnected);
  }

  void OpenPageOf(const std::string& sql) {
    ASSERT_NO_FATAL_FAILURE(Import(sql, m_model));
    m_page = m_dir.Path("page.html");
    std::ofstream(m_page, std::ios::binary) << WriteFormat("html", m_model);
    ASSERT_TRUE(s_browser->Open("file://" + m_page)) << s_browser->Failure();
  }

  json Evaluate(const std::string& expression) {
    const json value = s_browser->Evaluate(expression);
    EXPECT_FALSE(value.is_null()) << expression << ": " << s_browser->Failure();
    return value;
  }

  // The names the filter leaves visible after typing, among the rows.
  json Filtered(const std::string& text, const std::string& rows = "#index li[data-name]") {
    return Evaluate("(() => { const box = document.getElementById('filter'); box.value = " + json(text).dump() +
                    "; box.dispatchEvent(new Event('input')); return Array.from(document.querySelectorAll('" + rows +
                    "')).filter(e => !e.hidden && e.offsetParent !== null).map(e => e.dataset.name); })()");
  }

  void ExpectNoErrors() { EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2); }

  static HeadlessBrowser* s_browser;
  qm::test::TempDir m_dir;
  int m_databases = 0;
  qm::test::LoadedPlugin m_plugin{QM_SQLITE_PLUGIN};
  GenericModel m_model{m_plugin.Loaded() ? m_plugin.Api().modelType : 0};
  std::string m_page;
};

HeadlessBrowser* BrowserTest::s_browser = nullptr;

TEST_F(BrowserTest, SamplePageLoadsCleanlyItsLinksLandAndItsFilterNarrows) {
  OpenPageOf(ReadFile(QM_SAMPLE_SQL));
  ExpectNoErrors();
  // Nothing fetched beyond the page itself.
  EXPECT_EQ(s_browser->Requests(), std::vector<std::string>{"file://" + m_page});
  // 14 tables and 3 views; the diagram's 14 boxes and 14 foreign keys.
  EXPECT_EQ(Evaluate("document.querySelectorAll('section.object').length"), 17);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.node').length"), 14);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.edge').length"), 14);
  // (Every link's target: DocumentFormatsTest.) The foreign key of
  // order_lines to "Заказы" lands on its section.
  EXPECT_EQ(Evaluate("(() => { Array.from(document.querySelectorAll('section.object a'))"
                     ".find(a => a.textContent === '\u0417\u0430\u043a\u0430\u0437\u044b').click();"
                     " const target = document.querySelector(':target');"
                     " return target ? target.querySelector('h3 .name').textContent : null; })()"),
            "\u0417\u0430\u043a\u0430\u0437\u044b");
  // A box of the diagram leads to the table's section.
  const json boxed = Evaluate(
      "(() => { const box = document.querySelector('#diagram g.node');"
      " box.querySelector('rect').dispatchEvent(new MouseEvent('click', {bubbles: true}));"
      " return [box.id, window.location.hash]; })()");
  ASSERT_EQ(boxed.size(), 2u);
  EXPECT_EQ("#" + boxed[0].get<std::string>().substr(2), boxed[1].get<std::string>());

  EXPECT_EQ(Filtered("book"), (json{"book_authors", "book_categories", "book_overview"}));
  // Letter case is ignored, beyond ASCII too.
  EXPECT_EQ(Filtered("B\u00dcCHER"), (json{"B\u00fccher", "B\u00fccher \"beliebt\""}));
  EXPECT_EQ(Filtered("  stock "), (json{"stock", "stock_movements"}));
  EXPECT_EQ(Filtered("no such thing"), json::array());
  EXPECT_EQ(Evaluate("document.getElementById('no-match').hidden"), false);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#index li.schema:not([hidden])').length"), 0);
  EXPECT_EQ(Filtered("").size(), 17u);
  EXPECT_EQ(Evaluate("document.getElementById('no-match').hidden"), true);
  ExpectNoErrors();
}

TEST_F(BrowserTest, HostileNamesRunNoScriptAndShowAsText) {
  // The hardening names ("mixed" clashes with "Mixed" in SQLite) and names
  // made to break out of HTML, each a table with a column of its name and
  // a foreign key to the table before, and a view.
  std::vector<std::string> names;
  for (const std::string& name : qm::test::hardening::HostileNames())
    if (name != "mixed") names.push_back(name);
  for (const char* name : {"<script>window.qmInjected=1</script>", "<img src=x onerror=\"window.qmInjected=2\">",
                           "\"><svg onload=window.qmInjected=3>", "</code></pre><b>bold</b>", "&lt;x&gt; &amp;",
                           "<style>body{display:none}</style>", "]]><!--", "javascript:window.qmInjected=4"})
    names.emplace_back(name);
  std::string sql = "BEGIN;\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string table = QuoteIdent(names[i]);
    sql += "CREATE TABLE " + table + " (" + table + " INTEGER PRIMARY KEY";
    if (i > 0) sql += ", " + QuoteIdent("ref " + names[i]) + " INTEGER REFERENCES " + QuoteIdent(names[i - 1]);
    sql += ");\nCREATE VIEW " + QuoteIdent("v " + names[i]) + " AS SELECT " + table + " FROM " + table + ";\n";
  }
  OpenPageOf(sql + "COMMIT;\n");
  ExpectNoErrors();
  EXPECT_EQ(Evaluate("typeof window.qmInjected"), "undefined");
  EXPECT_EQ(Evaluate("document.scripts.length"), 1);
  EXPECT_EQ(Evaluate("document.querySelectorAll('main img, main b, main style, main iframe').length"), 0);
  EXPECT_EQ(Evaluate("getComputedStyle(document.body).display"), "flex");
  // Every table and view under its own name, exactly as shown elsewhere.
  json expected = json::array();
  for (const char* prefix : {"", "v "})
    for (const std::string& name : names) expected.push_back(VisibleText(platform::Utf8ToUtf16(prefix + name)));
  EXPECT_EQ(Evaluate("Array.from(document.querySelectorAll('section.object > h3 > .name')).map(e => e.textContent)"),
            expected);
  EXPECT_EQ(Evaluate("Array.from(document.querySelectorAll('#index li[data-name]')).map(e => e.dataset.name)"), expected);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.node').length"), names.size());
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.edge').length"), names.size() - 1);
  // The filter takes a name with markup as text.
  const std::string script = "<script>window.qmInjected=1</script>";
  EXPECT_EQ(Filtered("<SCRIPT>"), (json{script, "v " + script}));
  EXPECT_EQ(Evaluate("typeof window.qmInjected"), "undefined");
}

// Names, types and texts thousands of characters long without a blank wrap.
TEST_F(BrowserTest, LongNamesWrapWithinTheWindow) {
  const std::string name = QuoteIdent(std::string(3000, 'n')), text = std::string(3000, 'd');
  OpenPageOf("CREATE TABLE " + name + " (" + name + " " + std::string(3000, 't') + " DEFAULT '" + text + "');\n" +
             "CREATE VIEW v AS SELECT '" + text + "' AS " + name + ";\n");
  ExpectNoErrors();
  EXPECT_EQ(Evaluate("['html', '#index'].map(s => document.querySelector(s)).map(e => e.scrollWidth - e.clientWidth)"),
            (json{0, 0}));
}

// Every page of the folder loads, its links land, each table's diagram
// stays readable fitted into the window; the filter finds a column's name.
TEST_F(BrowserTest, EveryPageOfALargeSiteLoadsLinksAndReads) {
  GenericModel model(1002);
  BuildApplicationModel(model, 400);
  FolderFiles site;
  FindOutputFormat("html")->writer->WriteFolder(model, site, WriteOptions{});
  ASSERT_GT(site.files.size(), 420u);
  for (const auto& [path, text] : site.files) {
    std::filesystem::create_directories(std::filesystem::path(m_dir.Path(path)).parent_path());
    std::ofstream(m_dir.Path(path), std::ios::binary) << text;
  }
  std::map<std::string, std::set<std::string>> ids;       // page -> its ids
  std::vector<std::pair<std::string, std::string>> links;  // page -> link resolved ("tables/x.html#y")
  const std::string root = "file://" + m_dir.Path() + "/";
  for (const auto& [path, text] : site.files) {
    ASSERT_TRUE(s_browser->Open(root + path)) << path << ": " << s_browser->Failure();
    EXPECT_TRUE(s_browser->Errors().empty()) << path << ": " << json(s_browser->Errors()).dump(2);
    const json page = Evaluate(
        "({ids: Array.from(document.querySelectorAll('[id]')).map(e => e.id),"
        " links: Array.from(document.querySelectorAll('a[href]')).map(a => new URL(a.getAttribute('href'), location.href).href),"
        " text: Math.min(...Array.from(document.querySelectorAll('.viewer svg text'))"
        "   .map(t => parseFloat(getComputedStyle(t).fontSize) * t.getScreenCTM().a))})");
    ids[path] = page["ids"].get<std::set<std::string>>();
    for (const json& link : page["links"]) links.emplace_back(path, link.get<std::string>());
    if (path.starts_with("tables/")) {
      EXPECT_GE(page["text"].get<double>(), 9.0) << path << ": the diagram's text, fitted into the window";
    }
    const char* folder = std::getenv("QM_SITE_SCREENSHOTS");  // for the README, by the browser's own command line
    if (folder != nullptr && (path == "index.html" || path == "tables/app.customer_001.html")) {
      const std::string png = std::string(folder) + "/site-" + (path == "index.html" ? "index" : "table") + ".png";
      const std::string command = HeadlessBrowser::Executable() +
                                  " --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1280,900" +
                                  " --screenshot=" + png + " " + root + path + " 2>/dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
  }
  ASSERT_GT(links.size(), 5 * site.files.size());
  for (const auto& [from, link] : links) {
    ASSERT_TRUE(link.starts_with(root)) << from << " links out of the folder: " << link;
    const std::size_t hash = link.find('#');
    const std::string page = link.substr(root.size(), hash == std::string::npos ? std::string::npos : hash - root.size());
    ASSERT_TRUE(site.files.count(page)) << from << " links to a page that is not there: " << link;
    if (hash != std::string::npos) {
      EXPECT_TRUE(ids[page].count(link.substr(hash + 1))) << from << " links to an anchor that is not there: " << link;
    }
  }
  // The tables referring to the organisation hub have "organisation_id".
  std::set<std::string> expected;
  for (int n = 4; n < 400; ++n)
    if (n % 7 != 0 && n % 4 == 3) expected.insert(ApplicationTable(n));
  ASSERT_TRUE(s_browser->Open(root + "index.html"));
  EXPECT_EQ(Filtered("organisation_ID", "table.overview tr[data-name]").get<std::set<std::string>>(), expected);
}

TEST_F(BrowserTest, MermaidReleasesRenderEveryDiagramTheWritersGive) {
  // The sample, hostile names, two schemas, sixty tables, a folder's pages.
  GenericModel sample(m_plugin.Api().modelType), hostile(1001), shop(1001), application(1002);
  ASSERT_NO_FATAL_FAILURE(Import(ReadFile(QM_SAMPLE_SQL), sample));
  BuildChainModel(hostile, DiagramHostileNames());
  BuildShopModel(shop);
  BuildApplicationModel(application, 60);
  std::vector<std::pair<std::string, std::string>> texts = {{"sample", WriteFormat("mermaid", sample)},
                                                            {"hostile", WriteFormat("mermaid", hostile)},
                                                            {"shop", WriteFormat("mermaid", shop)},
                                                            {"application", WriteFormat("mermaid", application)}};
  FolderFiles site;
  FindOutputFormat("markdown")->writer->WriteFolder(application, site, WriteOptions{});
  for (const std::string page : {"README.md", "tables/app.customer_001.md", "tables/app.session_012.md"}) {
    const std::string& text = site.files.at(page);
    const std::size_t start = text.find("```mermaid\n");
    ASSERT_NE(start, std::string::npos) << page;
    texts.emplace_back(page, text.substr(start + 11, text.find("\n```", start) - start - 10));
  }
  // 501 foreign keys: refused; many tables: drawn without their columns.
  GenericModel wide(1001), dense(1001);
  std::vector<std::string> names;
  for (int i = 0; i < 900; ++i) names.push_back("a_rather_long_table_name_" + std::to_string(i));
  BuildGraphModel(wide, names, {{1, 0}});
  const std::string narrow = WriteFormat("mermaid", wide);
  EXPECT_NE(narrow.find("%% tables without their columns"), std::string::npos);
  EXPECT_LE(narrow.size(), 50000u);
  texts.emplace_back("without columns", narrow);
  std::vector<std::pair<int, int>> many;
  for (int i = 0; i < 501; ++i) many.emplace_back(i % 10, (i + 1) % 10);
  BuildGraphModel(dense, {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}, many);
  EXPECT_THROW(WriteFormat("mermaid", dense), WriteError);

  json sources = json::array();
  for (const auto& [name, text] : texts) sources.push_back(text);
  for (const char* release : {"10.4.0", "10.9.3", "11.12.0"}) {
    const std::string script = ReadFile(std::string(QM_MERMAID_DIR) + "/" + release + "/mermaid.min.js");
    ASSERT_GT(script.size(), 100000u) << "Mermaid " << release << " is not installed: run scripts/setup";
    // Inline: a file's script could not report its errors.
    std::ofstream(m_dir.Path("mermaid.html"), std::ios::binary)
        << "<!DOCTYPE html><html><body><script>" << script << "</script><script>mermaid.initialize({startOnLoad: false});"
        << "window.rendered = (async () => { const out = []; const texts = " << sources.dump() << ";"
        << " for (let i = 0; i < texts.length; ++i) { try { const r = await mermaid.render('d' + i, texts[i]);"
        << " out.push(r.svg.length > 0 ? 'ok' : 'empty'); } catch (e) { out.push(String(e.message || e)); } }"
        << " return out; })();</script></body></html>";
    ASSERT_TRUE(s_browser->Open("file://" + m_dir.Path("mermaid.html"))) << s_browser->Failure();
    const json results = s_browser->Evaluate("window.rendered");
    ASSERT_EQ(results.size(), texts.size()) << release << ": " << s_browser->Failure();
    for (std::size_t i = 0; i < texts.size(); ++i)
      EXPECT_EQ(results[i], "ok") << "Mermaid " << release << " refused " << texts[i].first << ":\n"
                                  << texts[i].second.substr(0, 3000);
  }
}

}  // namespace
}  // namespace writers::test

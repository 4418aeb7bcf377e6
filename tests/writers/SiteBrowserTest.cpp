// The documentation folder of a 400-table schema with hubs, comments and
// views in a real headless Chromium: every page loads without an error,
// every link lands on a page and an anchor that exist, each table's
// diagram keeps its text readable when fitted into the window, and the
// index's filter finds tables by a column's name. Then the Mermaid the
// writers give rendered by the Mermaid releases renderers run (10.x and
// 11.x, from npm, installed by scripts/setup).
#include "DiagramTestSupport.h"
#include "HeadlessBrowser.h"
#include "TestModel.h"

#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <writers/OutputFormats.h>

#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace writers::test {
namespace {

using nlohmann::json;
using qm::test::ReadFile;
using qm::test::TempDir;

// The window the pages are read in: a laptop's.
constexpr int kWidth = 1280;
constexpr int kHeight = 900;

class SiteBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Only where no browser can be installed; scripts/setup installs one.
    if (HeadlessBrowser::Executable().empty()) GTEST_SKIP() << "no browser: /usr/bin/chromium is not installed";
    ASSERT_TRUE(m_browser.Started()) << m_browser.Failure();
    m_browser.SetWindow(kWidth, kHeight);
  }

  // Writes the files into the test's folder.
  void Save(const FolderFiles& site) {
    for (const auto& [path, text] : site.files) {
      std::filesystem::create_directories(std::filesystem::path(m_dir.Path(path)).parent_path());
      std::ofstream(m_dir.Path(path), std::ios::binary) << text;
    }
  }

  json Evaluate(const std::string& expression) {
    const json value = m_browser.Evaluate(expression);
    EXPECT_FALSE(value.is_null()) << expression << ": " << m_browser.Failure();
    return value;
  }

  TempDir m_dir;
  HeadlessBrowser m_browser;
};

TEST_F(SiteBrowserTest, EveryPageOfALargeSiteLoadsLinksAndReads) {
  GenericModel model(1002);
  BuildApplicationModel(model, 400);
  FolderFiles site;
  FindOutputFormat("html")->writer->WriteFolder(model, site, WriteOptions{});
  Save(site);
  ASSERT_GT(site.files.size(), 420u);

  std::map<std::string, std::set<std::string>> ids;                 // page -> its ids
  std::vector<std::pair<std::string, std::string>> links;            // page -> link resolved ("tables/x.html#y")
  const std::string root = "file://" + m_dir.Path() + "/";
  for (const auto& [path, text] : site.files) {
    ASSERT_TRUE(m_browser.Open(root + path)) << path << ": " << m_browser.Failure();
    EXPECT_TRUE(m_browser.Errors().empty()) << path << ": " << json(m_browser.Errors()).dump(2);
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
    if (path == "index.html" || path == "tables/app.customer_001.html") {
      if (const char* folder = std::getenv("QM_SITE_SCREENSHOTS"))  // for the README
        std::ofstream(std::string(folder) + "/site-" + (path == "index.html" ? "index" : "table") + ".png",
                      std::ios::binary)
            << m_browser.Screenshot(kWidth, kHeight);
      m_browser.SetWindow(kWidth, kHeight);
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

  // The index's filter: "organisation_id" is a column of the tables that
  // refer to the organisation hub, whatever their names.
  std::set<std::string> expected;
  for (int n = 4; n < 400; ++n)
    if (n % 7 != 0 && n % 4 == 3) expected.insert(ApplicationTable(n));
  ASSERT_TRUE(m_browser.Open(root + "index.html"));
  const json shown = Evaluate(
      "(() => { const box = document.getElementById('filter'); box.value = 'organisation_ID';"
      " box.dispatchEvent(new Event('input'));"
      " return Array.from(document.querySelectorAll('table.overview tr[data-name]'))"
      ".filter(row => !row.hidden).map(row => row.dataset.name); })()");
  EXPECT_EQ(shown.get<std::set<std::string>>(), expected);
}

// Mermaid from npm, one folder per release (scripts/setup).
const std::vector<std::string>& MermaidReleases() {
  static const std::vector<std::string> releases = {"10.4.0", "10.9.3", "11.12.0"};
  return releases;
}

TEST_F(SiteBrowserTest, MermaidReleasesRenderEveryDiagramTheWritersGive) {
  // The sample (numeric(8,2), naïve name), hostile names, two schemas,
  // sixty tables, and the pages of a documentation folder (a hub's too).
  std::vector<std::pair<std::string, std::string>> texts;
  qm::test::LoadedPlugin plugin(QM_SQLITE_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel sample(plugin.Api().modelType);
  qm::test::SqliteFile(m_dir.Path("sample.db")).Exec(ReadFile(QM_SAMPLE_SQL));
  ASSERT_EQ(qm::test::RunImport(plugin.Api(), sample, m_dir.Path("sample.db")).status, ImportStatusConnected);
  GenericModel hostile(1001), shop(1001), application(1002);
  BuildChainModel(hostile, DiagramHostileNames());
  BuildShopModel(shop);
  BuildApplicationModel(application, 60);
  texts.emplace_back("sample", WriteFormat("mermaid", sample));
  texts.emplace_back("hostile", WriteFormat("mermaid", hostile));
  texts.emplace_back("shop", WriteFormat("mermaid", shop));
  texts.emplace_back("application", WriteFormat("mermaid", application));
  FolderFiles site;
  FindOutputFormat("markdown")->writer->WriteFolder(application, site, WriteOptions{});
  for (const std::string page : {"README.md", "tables/app.customer_001.md", "tables/app.session_012.md"}) {
    const std::string& text = site.files.at(page);
    const std::size_t start = text.find("```mermaid\n");
    ASSERT_NE(start, std::string::npos) << page;
    texts.emplace_back(page, text.substr(start + 11, text.find("\n```", start) - start - 10));
  }
  // 501 foreign keys: the mermaid format refuses; many columns: it leaves
  // them out, within Mermaid's default limit.
  GenericModel wide(1001);
  std::vector<std::string> names;
  for (int i = 0; i < 900; ++i) names.push_back("a_rather_long_table_name_" + std::to_string(i));
  BuildGraphModel(wide, names, {{1, 0}});
  const std::string narrow = WriteFormat("mermaid", wide);
  EXPECT_NE(narrow.find("%% tables without their columns"), std::string::npos);
  EXPECT_LE(narrow.size(), 50000u);
  texts.emplace_back("without columns", narrow);
  GenericModel dense(1001);
  std::vector<std::pair<int, int>> many;
  for (int i = 0; i < 501; ++i) many.emplace_back(i % 10, (i + 1) % 10);
  BuildGraphModel(dense, {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}, many);
  EXPECT_THROW(WriteFormat("mermaid", dense), WriteError);

  for (const std::string& release : MermaidReleases()) {
    const std::string script = ReadFile(std::string(QM_MERMAID_DIR) + "/" + release + "/mermaid.min.js");
    ASSERT_GT(script.size(), 100000u) << "Mermaid " << release << " is not installed: run scripts/setup";
    // The script inline (a file's script Chromium would not let report its
    // errors), and every text rendered with Mermaid's defaults.
    json sources = json::array();
    for (const auto& [name, text] : texts) sources.push_back(text);
    std::ofstream(m_dir.Path("mermaid.html"), std::ios::binary)
        << "<!DOCTYPE html><html><body><script>" << script << "</script><script>mermaid.initialize({startOnLoad: false});"
        << "window.rendered = (async () => { const out = []; const texts = " << sources.dump() << ";"
        << " for (let i = 0; i < texts.length; ++i) { try { const r = await mermaid.render('d' + i, texts[i]);"
        << " out.push(r.svg.length > 0 ? 'ok' : 'empty'); } catch (e) { out.push(String(e.message || e)); } }"
        << " return out; })();</script></body></html>";
    ASSERT_TRUE(m_browser.Open("file://" + m_dir.Path("mermaid.html"))) << m_browser.Failure();
    const json results = m_browser.Evaluate("window.rendered");
    ASSERT_EQ(results.size(), texts.size()) << release << ": " << m_browser.Failure();
    for (std::size_t i = 0; i < texts.size(); ++i)
      EXPECT_EQ(results[i], "ok") << "Mermaid " << release << " refused " << texts[i].first << ":\n"
                                  << texts[i].second.substr(0, 3000);
  }
}

}  // namespace
}  // namespace writers::test

// The html format in a real headless Chromium: the sample's page loads
// without an error and without asking for anything beyond itself, every
// link inside it lands on its target, the filter narrows the index, and a
// table's box in the diagram leads to its section; a page of hostile names
// runs no script but its own and shows every name as the text it is.
// Checked from the DOM through the browser's DevTools protocol.
#include "HeadlessBrowser.h"

#include <HostileNames.h>
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <TempDir.h>

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace writers::test {
namespace {

using nlohmann::json;
using qm::test::ReadFile;
using qm::test::SqliteFile;
using qm::test::TempDir;
using qm::test::hardening::QuoteIdent;

class HtmlBrowserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (HeadlessBrowser::Executable().empty()) return;
    s_browser = new HeadlessBrowser();
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
  }

  // Imports the SQLite database the script builds and opens its page.
  void OpenPageOf(const std::string& sql) {
    const std::string database = m_dir.Path("db.sqlite");
    SqliteFile(database).Exec(sql);
    const qm::test::ImportOutcome outcome = qm::test::RunImport(m_plugin.Api(), m_model, database);
    ASSERT_EQ(outcome.status, ImportStatusConnected);
    std::ostringstream page;
    FindOutputFormat("html")->writer->Write(m_model, page, WriteOptions{});
    m_pagePath = m_dir.Path("page.html");
    std::ofstream(m_pagePath, std::ios::binary) << page.str();
    ASSERT_TRUE(s_browser->Open("file://" + m_pagePath)) << s_browser->Failure();
    if (const char* shot = std::getenv("QM_PAGE_SCREENSHOT")) {
      // For the README: the page as a person sees it.
      std::ofstream(shot, std::ios::binary) << s_browser->Screenshot(1280, 800);
    }
  }

  json Evaluate(const std::string& expression) {
    const json value = s_browser->Evaluate(expression);
    EXPECT_FALSE(value.is_null()) << expression << ": " << s_browser->Failure();
    return value;
  }

  // The names in the index that the filter leaves visible after typing.
  json Filtered(const std::string& text) {
    return Evaluate("(() => { const box = document.getElementById('filter'); box.value = " + json(text).dump() +
                    "; box.dispatchEvent(new Event('input'));"
                    " return Array.from(document.querySelectorAll('#index li[data-name]'))"
                    ".filter(li => !li.hidden && li.offsetParent !== null).map(li => li.dataset.name); })()");
  }

  static HeadlessBrowser* s_browser;
  TempDir m_dir;
  qm::test::LoadedPlugin m_plugin{QM_SQLITE_PLUGIN};
  GenericModel m_model{m_plugin.Loaded() ? m_plugin.Api().modelType : 0};
  std::string m_pagePath;
};

HeadlessBrowser* HtmlBrowserTest::s_browser = nullptr;

TEST_F(HtmlBrowserTest, SamplePageLoadsCleanlyAndItsLinksLand) {
  OpenPageOf(ReadFile(QM_SAMPLE_SQL));
  EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2);
  // Nothing but the page itself: no script, style, font or picture fetched.
  EXPECT_EQ(s_browser->Requests(), std::vector<std::string>{"file://" + m_pagePath});

  // 14 tables and 3 views, each in its section; the diagram's 14 boxes and
  // 14 foreign keys.
  EXPECT_EQ(Evaluate("document.querySelectorAll('section.object').length"), 17);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.node').length"), 14);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#diagram svg g.edge').length"), 14);

  const json links = Evaluate("Array.from(document.querySelectorAll('a')).map(a => a.getAttribute('href'))");
  ASSERT_GT(links.size(), 40u);
  const json broken = Evaluate(
      "Array.from(document.querySelectorAll('a')).map(a => a.getAttribute('href'))"
      ".filter(h => !h.startsWith('#') || document.getElementById(decodeURIComponent(h.slice(1))) === null)");
  EXPECT_EQ(broken, json::array()) << "links without a target in the page";
  // Following one: the foreign key of order_lines to "Заказы" lands on its section.
  const json landed = Evaluate(
      "(() => { const link = Array.from(document.querySelectorAll('section.object a'))"
      ".find(a => a.textContent === '\u0417\u0430\u043a\u0430\u0437\u044b'); link.click();"
      " const target = document.querySelector(':target'); return target ? target.querySelector('h3 .name').textContent : null; })()");
  EXPECT_EQ(landed, "\u0417\u0430\u043a\u0430\u0437\u044b");
  // A box of the diagram leads to the table's section.
  const json boxed = Evaluate(
      "(() => { const box = document.querySelector('#diagram g.node');"
      " box.querySelector('rect').dispatchEvent(new MouseEvent('click', {bubbles: true}));"
      " return [box.id, window.location.hash]; })()");
  ASSERT_EQ(boxed.size(), 2u);
  EXPECT_EQ("#" + boxed[0].get<std::string>().substr(2), boxed[1].get<std::string>());
  EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2);
}

TEST_F(HtmlBrowserTest, FilterNarrowsTheIndexToMatchingNames) {
  OpenPageOf(ReadFile(QM_SAMPLE_SQL));
  EXPECT_EQ(Filtered("book"), (json{"book_authors", "book_categories", "book_overview"}));
  // Letter case is ignored, beyond ASCII too.
  EXPECT_EQ(Filtered("B\u00dcCHER"), (json{"B\u00fccher", "B\u00fccher \"beliebt\""}));
  EXPECT_EQ(Filtered("  stock "), (json{"stock", "stock_movements"}));
  EXPECT_EQ(Filtered("no such thing"), json::array());
  EXPECT_EQ(Evaluate("document.getElementById('no-match').hidden"), false);
  EXPECT_EQ(Evaluate("document.querySelectorAll('#index li.schema:not([hidden])').length"), 0);
  EXPECT_EQ(Filtered("").size(), 17u);
  EXPECT_EQ(Evaluate("document.getElementById('no-match').hidden"), true);
  EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2);
}

TEST_F(HtmlBrowserTest, HostileNamesRunNoScriptAndShowAsText) {
  // The hardening names ("mixed" clashes with "Mixed" in SQLite) and names
  // made to break out of HTML, each a table with a column of its name and
  // a foreign key to the table before.
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

  EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2);
  EXPECT_EQ(Evaluate("typeof window.qmInjected"), "undefined");
  EXPECT_EQ(Evaluate("document.scripts.length"), 1);
  EXPECT_EQ(Evaluate("document.querySelectorAll('main img, main b, main style, main iframe').length"), 0);
  EXPECT_EQ(Evaluate("getComputedStyle(document.body).display"), "flex");

  // Every table and view under its own name, exactly as shown elsewhere.
  json expected = json::array();
  for (const std::string& name : names) expected.push_back(VisibleText(platform::Utf8ToUtf16(name)));
  for (const std::string& name : names) expected.push_back(VisibleText(platform::Utf8ToUtf16("v " + name)));
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

// Names, types and texts thousands of characters long without a blank
// wrap: neither the page nor its index is wider than its box.
TEST_F(HtmlBrowserTest, LongNamesWrapWithinTheWindow) {
  const std::string name = QuoteIdent(std::string(3000, 'n')), text = std::string(3000, 'd');
  OpenPageOf("CREATE TABLE " + name + " (" + name + " " + std::string(3000, 't') + " DEFAULT '" + text + "');\n"
             "CREATE VIEW v AS SELECT '" + text + "' AS " + name + ";\n");
  EXPECT_TRUE(s_browser->Errors().empty()) << json(s_browser->Errors()).dump(2);
  EXPECT_EQ(Evaluate("['html', '#index'].map(s => document.querySelector(s)).map(e => e.scrollWidth - e.clientWidth)"),
            (json{0, 0}));
}

}  // namespace
}  // namespace writers::test

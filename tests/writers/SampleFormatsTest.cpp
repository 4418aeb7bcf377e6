// The bundled sample, imported in process through the SQLite plug-in as the
// command line imports it: its outline, with names in several scripts,
// quoted names, composite and expression keys, a partial index and a
// trigger, and its diagram. (Every format writing the sample: the command
// line's AppTest.EveryFormatWritesTheSample.)
#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include "DiagramTestSupport.h"
#include "ModelIndex.h"

#include <writers/OutputFormats.h>
#include <writers/VisibleText.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace writers::test {
namespace {

using qm::test::ImportOutcome;
using qm::test::LoadedPlugin;
using qm::test::Lines;
using qm::test::ReadFile;
using qm::test::SqliteFile;
using qm::test::TempDir;

class SampleFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_plugin.Loaded());
    const std::string path = m_dir.Path("sample.db");
    SqliteFile(path).Exec(ReadFile(QM_SAMPLE_SQL));
    const ImportOutcome outcome = qm::test::RunImport(m_plugin.Api(), m_model, path);
    ASSERT_EQ(outcome.status, ImportStatusConnected);
    ASSERT_TRUE(outcome.failed.empty());
  }

  std::string Write(const OutputFormat& format) {
    std::ostringstream out;
    format.writer->Write(m_model, out, WriteOptions{});
    EXPECT_TRUE(out.good()) << format.name;
    return out.str();
  }

  TempDir m_dir;
  LoadedPlugin m_plugin{QM_SQLITE_PLUGIN};
  GenericModel m_model{m_plugin.Loaded() ? m_plugin.Api().modelType : 0};
};

TEST_F(SampleFormatsTest, TreeOutlinesTheSample) {
  const std::string tree = Write(*FindOutputFormat("tree"));
  const std::vector<std::string> lines = Lines(tree);
  for (const std::string line :
       {"schema main", "  table B\u00fccher", "  table \"audit log\"", "  view \"B\u00fccher \"\"beliebt\"\"\"",
        "    primary key pk_order_lines (\u043d\u043e\u043c\u0435\u0440, line_no)",
        "    index idx_orders_open (customer_id, ordered_at)  where status = 'open'",
        "    index ux_customers_email_lower (lower(email))  unique",
        "    trigger \"trg B\u00fccher l\u00f6schen\"  BEFORE DELETE"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << tree;
  EXPECT_NE(tree.find("(\u043d\u043e\u043c\u0435\u0440) \u2192 \u0417\u0430\u043a\u0430\u0437\u044b "
                      "(\u043d\u043e\u043c\u0435\u0440)  ON DELETE CASCADE  ON UPDATE CASCADE"),
            std::string::npos)
      << tree;
}

// The sample's diagram, laid out by Graphviz in process and read back with
// an XML parser: a box per table titled with its name, an edge per foreign
// key.
TEST_F(SampleFormatsTest, SvgDrawsEveryTableAndEveryForeignKeyOfTheSample) {
  std::map<std::string, std::string> tables;  // node id -> name
  std::set<std::string> foreignKeys;          // edge ids: the table's, then its foreign key's place
  const ModelIndex index(m_model);
  for (const CMOObject* table : index.Tables()) {
    const std::string id = "d-" + index.Stem(table->GetObjectId());
    tables[id] = VisibleText(table->GetProperty(model::Name)->WStringRef());
    for (std::size_t k = 1; k <= index.Entry(table->GetObjectId()).foreignKeys.size(); ++k)
      foreignKeys.insert(id + "-fk" + std::to_string(k));
  }
  ASSERT_EQ(tables.size(), 14u);
  ASSERT_EQ(foreignKeys.size(), 14u);

  const std::string picture = Write(*FindOutputFormat("svg"));
  const SvgPicture svg = ReadSvg(picture);
  ASSERT_TRUE(svg.parsed);
  // Packed about as a window is shaped: neither way three times the other.
  const double width = std::stod(picture.substr(picture.find(" width=\"") + 8));
  const double height = std::stod(picture.substr(picture.find(" height=\"") + 9));
  std::printf("the sample's diagram: %.0f x %.0f px\n", width, height);
  EXPECT_LE(std::max(width / height, height / width), 3.0) << width << " x " << height;
  std::map<std::string, std::string> drawn;
  for (const auto& [id, texts] : svg.nodeTexts) drawn[id] = texts.empty() ? std::string() : texts.front();
  EXPECT_EQ(drawn, tables);
  EXPECT_EQ(std::set<std::string>(svg.edgeIds.begin(), svg.edgeIds.end()), foreignKeys);
  EXPECT_EQ(svg.edgeIds.size(), foreignKeys.size());
}

}  // namespace
}  // namespace writers::test

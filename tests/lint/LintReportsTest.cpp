// The three reports of one real import with hostile names: SARIF valid
// against the format's schema with every finding where the format puts it,
// JSON that reads back to the same findings, text grouped by table with
// the worst first and nothing a terminal would act on.
#include "LintSupport.h"
#include "../writers/ExpectedFile.h"

#include <lint/Reports.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace lint::test {
namespace {

class LintReports : public ::testing::Test {
 protected:
  void SetUp() override {
    m_backend = MakeBackend("sqlite");
    // A name with a line break and an escape sequence, a foreign key to a
    // missing table (an error), a table without key (a warning).
    m_backend->Run(
        "CREATE TABLE \"evil\nname\x1b[2J\" (a int, \"b\"\"q\" int REFERENCES missing (id));"
        "CREATE TABLE ok (id INTEGER PRIMARY KEY, \"Select\" TEXT);");
    m_model = std::make_unique<GenericModel>(m_backend->ModelType());
    m_backend->Import(*m_model);
    m_findings = LintAll(*m_model);
    ASSERT_GE(m_findings.size(), 3u) << Listed(m_findings);
  }

  std::string Write(void (*writer)(const std::vector<Finding>&, const ReportContext&, std::ostream&)) {
    std::ostringstream out;
    writer(m_findings, ReportContext{"sqlite", "0.1.0", &m_config}, out);
    return out.str();
  }

  std::unique_ptr<Backend> m_backend;
  std::unique_ptr<GenericModel> m_model;
  Config m_config = Config::Parse("[rules.table-without-comment]\nseverity = \"info\"\n", "test");
  std::vector<Finding> m_findings;
};

TEST_F(LintReports, SarifIsValidAndHoldsEveryFinding) {
  const std::string sarif = Write(WriteSarif);
  EXPECT_EQ(SarifErrors(sarif), "") << sarif;
  const nlohmann::json document = nlohmann::json::parse(sarif);
  const nlohmann::json& run = document["runs"][0];
  ASSERT_EQ(run["results"].size(), m_findings.size());
  for (std::size_t i = 0; i < m_findings.size(); ++i) {
    const nlohmann::json& result = run["results"][i];
    const Finding& finding = m_findings[i];
    EXPECT_EQ(result["ruleId"], std::string(finding.rule->id));
    EXPECT_EQ(run["tool"]["driver"]["rules"][result["ruleIndex"].get<std::size_t>()]["id"], result["ruleId"]);
    EXPECT_EQ(result["level"], finding.severity == Severity::Info ? "note" : std::string(SeverityName(finding.severity)));
    EXPECT_EQ(result["message"]["text"], finding.message);
    EXPECT_EQ(result["locations"][0]["logicalLocations"][0]["fullyQualifiedName"], finding.name);
  }
  // Only the rules that ran are listed, at their configured level.
  for (const nlohmann::json& rule : run["tool"]["driver"]["rules"])
    EXPECT_NE(rule["id"], "column-without-comment");
}

// The validator is no check that cannot fail: a report with a level the
// format does not have, or without its version, is refused.
TEST_F(LintReports, ValidatorRefusesAReportOutsideTheFormat) {
  nlohmann::json document = nlohmann::json::parse(Write(WriteSarif));
  document["runs"][0]["results"][0]["level"] = "warn";
  EXPECT_NE(SarifErrors(document.dump()), "");
  document = nlohmann::json::parse(Write(WriteSarif));
  document.erase("version");
  EXPECT_NE(SarifErrors(document.dump()), "");
}

// The JSON and the text whole: the text grouped by table, the hostile one
// (with the error) first, its name escaped, the error before its warnings.
TEST_F(LintReports, JsonAndTextAreAsExpected) {
  qm::test::ExpectSameAsFile("lint/report.json", Write(WriteJson));
  qm::test::ExpectSameAsFile("lint/report.txt", Write(WriteText));
}

}  // namespace
}  // namespace lint::test

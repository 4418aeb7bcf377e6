// The linter over every real application's schema of tests/data/schemas on
// the three databases: the findings are counted per rule (printed for the
// record), the SARIF report is valid, and the fixes written for foreign
// keys without an index and for duplicate and redundant indexes run in the
// database and leave none of those findings behind.
#include "LintSupport.h"

#include <lint/Reports.h>

#include <RealSchemas.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace lint::test {
namespace {

struct Schema {
  std::string database;  // sqlite, postgres, mariadb
  std::string app;
};

std::vector<Schema> AllSchemas() {
  std::vector<Schema> schemas;
  for (const char* database : {"sqlite", "postgres", "mariadb"})
    for (const std::string& app : qm::test::RealSchemaApps(database)) schemas.push_back({database, app});
  return schemas;
}

constexpr std::string_view kFixed[] = {"foreign-key-without-index", "duplicate-index", "redundant-index"};

class LintRealSchema : public ::testing::TestWithParam<Schema> {};

TEST_P(LintRealSchema, FindingsValidReportsAndWorkingFixes) {
  const Schema& schema = GetParam();
  const std::unique_ptr<Backend> backend = MakeBackend(schema.database);
  if (!backend) GTEST_SKIP() << "no " << schema.database << " server (scripts/test starts one)";
  backend->Run(qm::test::RealSchemaSql(schema.app, schema.database));
  GenericModel model(backend->ModelType());
  backend->Import(model);
  if (HasFailure()) return;
  // The defaults, as a team's first run has them.
  const std::vector<Finding> findings = LintAsConfigured(model);

  std::map<std::string, int> counts;
  for (const Finding& finding : findings) ++counts[std::string(finding.rule->id)];
  std::string line = "lint " + schema.database + "/" + schema.app + ":";
  for (const auto& [rule, count] : counts) line += " " + rule + "=" + std::to_string(count);
  std::cout << line << "\n";

  const Config config;
  std::ostringstream sarif;
  WriteSarif(findings, ReportContext{"", "0.1.0", &config}, sarif);
  EXPECT_EQ(SarifErrors(sarif.str()), "");

  std::string fixes;
  for (const Finding& finding : findings)
    for (std::string_view rule : kFixed)
      if (finding.rule->id == rule && !finding.fix.empty()) fixes += finding.fix + "\n";
  if (fixes.empty()) return;
  backend->Run(fixes);
  GenericModel fixed(backend->ModelType());
  backend->Import(fixed);
  const std::vector<Finding> after = LintAsConfigured(fixed);
  for (const Finding& finding : after)
    for (std::string_view rule : kFixed)
      if (finding.rule->id == rule && !finding.fix.empty())
        ADD_FAILURE() << "left after the fixes: " << rule << " " << finding.name << ": " << finding.message;
}

std::string SchemaName(const ::testing::TestParamInfo<Schema>& info) {
  std::string name = info.param.database + "_" + info.param.app;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Applications, LintRealSchema, ::testing::ValuesIn(AllSchemas()), SchemaName);

}  // namespace
}  // namespace lint::test

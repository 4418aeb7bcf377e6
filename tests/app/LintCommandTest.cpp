// quillmere-import lint through the real executable: the exit status a CI
// job reads (0 nothing at or above --fail-on, 1 something, 2 for the
// command line or a configuration that is wrong, 4 for a model that cannot
// be read), the configuration found in the current folder or given, a
// saved model with and without --dialect, the three formats, and what a
// live import could not read reported as a finding.
#include "HostProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qm::test {
namespace {

struct LintCase {
  const char* name;
  std::vector<std::string> args;  // after "lint"; DB, SAVED, BROKEN and DIR stand for the test's files
  const char* config;             // .quillmere-lint.toml in the folder it runs in; null for none
  int exitCode;
  const char* out;                // a line standard output must hold ("" for none)
  const char* err;                // text standard error must hold ("" for none)
};

// The database: a table without primary key (a warning) and a foreign key
// to a table that does not exist (an error for SQLite), nothing else.
constexpr const char* kSchema =
    "CREATE TABLE nokey (a int);"
    "CREATE TABLE c (id INTEGER PRIMARY KEY, x int REFERENCES missing (id)); CREATE INDEX c_x ON c (x);";

const LintCase kCases[] = {
    {"live", {"--sqlite", "DB"}, nullptr, 1, "main.c", ""},
    {"url", {"sqlite:DB", "--fail-on", "error"}, nullptr, 1, "main.nokey", ""},
    {"fail_on_none", {"--sqlite", "DB", "--fail-on", "none"}, nullptr, 0, "2 findings: 1 error, 1 warning, 0 infos", ""},
    {"config_in_folder",
     {"--sqlite", "DB"},
     "[rules.table-without-primary-key]\nseverity = \"off\"\n[rules.sqlite-foreign-key-mismatch]\nseverity = \"info\"\n",
     0, "1 finding: 0 errors, 0 warnings, 1 info", ""},
    {"config_excludes", {"--sqlite", "DB"}, "exclude = [\"main.*\"]\n", 0, "no findings", ""},
    {"config_given", {"--sqlite", "DB", "--config", "DIR/other.toml"}, "exclude = [\"main.*\"]\n", 1, "", ""},
    {"config_unknown_rule", {"--sqlite", "DB"}, "[rules.table-without-key]\n", 2, "",
     ".quillmere-lint.toml:1: unknown rule \"table-without-key\""},
    {"config_missing", {"--sqlite", "DB", "--config", "DIR/none.toml"}, nullptr, 2, "", "cannot read the configuration"},
    {"config_folder", {"--sqlite", "DB", "--config", "DIR"}, nullptr, 2, "", "is a folder"},
    // A saved model does not keep its database: without --dialect the
    // SQLite trap is not looked for, and the run says so.
    {"saved_without_dialect", {"SAVED", "--fail-on", "error"}, nullptr, 0, "", "name it with --dialect"},
    {"saved_with_dialect", {"SAVED", "--fail-on", "error", "--dialect", "sqlite"}, nullptr, 1, "", ""},
    {"saved_unknown_dialect", {"SAVED", "--dialect", "oracle"}, nullptr, 2, "", "--dialect"},
    {"not_a_model", {"DIR"}, nullptr, 4, "", "is a folder, not a saved model"},
    {"no_source", {}, nullptr, 2, "", "SOURCE is required"},
    {"bad_format", {"--sqlite", "DB", "--format", "xml"}, nullptr, 2, "", "--format"},
    {"broken_view", {"--sqlite", "BROKEN"}, nullptr, 1, "  error    object-not-imported: view bad was imported without columns: the database could not compile it", ""},
};

class LintCommand : public ::testing::TestWithParam<LintCase> {
 protected:
  void SetUp() override {
    SqliteFile(Db()).Exec(kSchema);
    SqliteFile(m_dir.Path("broken.db")).Exec(
        "CREATE TABLE t (id INTEGER PRIMARY KEY); CREATE TABLE gone (y); CREATE VIEW bad AS SELECT y FROM gone;"
        "DROP TABLE gone;");
    const ProcessResult saved = Host({"--quiet", "--sqlite", Db(), "-o", m_dir.Path("saved.json")});
    ASSERT_EQ(saved.exitCode, 0) << Printed(saved);
  }
  std::string Db() const { return m_dir.Path("lint.db"); }
  std::string Substitute(std::string arg) const {
    for (const auto& [word, path] : {std::pair<std::string, std::string>{"BROKEN", m_dir.Path("broken.db")},
                                     {"DB", Db()}, {"SAVED", m_dir.Path("saved.json")}, {"DIR", m_run.Path()}}) {
      const std::size_t at = arg.find(word);
      if (at != std::string::npos) return arg.replace(at, word.size(), path);
    }
    return arg;
  }

  TempDir m_dir;
  TempDir m_run;  // the folder the command runs in
};

TEST_P(LintCommand, ExitsAsCiExpectsAndSaysWhy) {
  const LintCase& c = GetParam();
  std::vector<std::string> args = {"lint"};
  for (const std::string& arg : c.args) args.push_back(Substitute(arg));
  if (c.config != nullptr) {
    WriteFile(m_run.Path(".quillmere-lint.toml"), c.config);
    WriteFile(m_run.Path("other.toml"), "");
  }
  ProcessOptions options;
  options.workingDirectory = m_run.Path();
  const ProcessResult result = Host(args, options);
  EXPECT_EQ(result.exitCode, c.exitCode) << Printed(result);
  EXPECT_TRUE(*c.out == '\0' || HasLine(result.out, c.out)) << Printed(result);
  EXPECT_NE(result.err.find(c.err), std::string::npos) << Printed(result);
}

INSTANTIATE_TEST_SUITE_P(Cases, LintCommand, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LintCase>& info) { return std::string(info.param.name); });

// -o writes the report; the JSON and SARIF forms carry the same findings.
TEST_F(LintCommand, FormatsWrittenToAFile) {
  // (Each result's names: LintReportsTest.)
  const std::string json = m_dir.Path("report.json"), sarif = m_dir.Path("report.sarif");
  ExpectRuns({{{"lint", "--sqlite", Db(), "--format", "json", "-o", json}, 1, "", {}, ""},
              {{"lint", "--sqlite", Db(), "--format", "sarif", "-o", sarif}, 1, "", {}, ""}});
  const nlohmann::json findings = nlohmann::json::parse(ReadFile(json)), log = nlohmann::json::parse(ReadFile(sarif));
  EXPECT_EQ(findings["dialect"], "sqlite");
  EXPECT_EQ(findings["findings"].size(), 2u) << findings.dump(2);
  EXPECT_EQ(log["version"], "2.1.0");
  EXPECT_EQ(log["runs"][0]["results"].size(), 2u);
}

}  // namespace
}  // namespace qm::test

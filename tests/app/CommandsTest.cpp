// quillmere-import's commands through the real executable: diff (exit 0
// when the models agree, 1 when they differ, 2 and 4 for errors) for
// people, as JSON and as an SQL plan; lint's findings; both helps whole.
#include "HostProcess.h"
#include "../writers/ExpectedFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <iterator>
#include <sstream>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// The bundled sample saved, and the sample's database changed (a column
// dropped, an index added, another changed) saved from another file (its
// database name, which is not compared, differs).
class DiffCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ProcessResult sql = Host({"--quiet", "--format", "sql"});
    ASSERT_EQ(sql.exitCode, 0) << Printed(sql);
    for (const std::string& database : {Database(), m_dir.Path("changed.db")}) SqliteFile(database).Exec(sql.out);
    SqliteFile(m_dir.Path("changed.db"))
        .Exec("ALTER TABLE reviews DROP COLUMN body; CREATE INDEX idx_new ON reviews (rating);"
              "DROP INDEX idx_reviews_rating; CREATE INDEX idx_reviews_rating ON reviews (rating);");
    ExpectRuns({{{"--quiet", "-o", Saved()}, 0, ""},
                {{"--quiet", "--sqlite", m_dir.Path("changed.db"), "-o", Changed()}, 0, ""}});
  }
  std::string Saved() const { return m_dir.Path("sample.json"); }
  std::string Changed() const { return m_dir.Path("changed.json"); }
  std::string Database() const { return m_dir.Path("sample.db"); }  // the sample's, unchanged

  TempDir m_dir;
};

// The listing for people, the summary alone (-q), the JSON for programs
// into a file with standard input as one side; agreeing models say nothing.
TEST_F(DiffCommandTest, DifferentModelsExitWithOneAndAreListed) {
  const std::string changed = Changed();
  const ProcessResult listed = Host({"diff", Saved(), changed});
  EXPECT_EQ(listed.exitCode, 1) << Printed(listed);
  ExpectSameAsFile("app/diff-changed.txt", listed.out);
  ExpectRuns({{{"diff", "-q", Saved(), changed}, 1, "", {}, "3 objects differ: 1 added, 1 removed, 1 changed\n"},
              {{"diff", "--quiet", changed, changed}, 0, "", {}, ""}});
  const std::string output = m_dir.Path("difference.json");
  ProcessOptions fromStdin;
  fromStdin.input = ReadFile(changed);
  ExpectRuns({{{"diff", "--format", "json", "-o", output, Saved(), "-"}, 1, "", {}, ""}}, fromStdin);
  // (The JSON form itself: ModelDiffTest.)
  EXPECT_EQ(nlohmann::json::parse(ReadFile(output))["objects"].size(), 3u);
}

// --format sql: a plan that loses data is refused (exit 4, nothing written)
// until --allow-data-loss; applied, it makes the database the changed one.
// The dialect comes from the models, else --dialect; two kinds are an error.
TEST_F(DiffCommandTest, SqlPlanRefusesDataLossUntilAllowedAndTakesTheDialectFromTheModels) {
  const std::string changed = Changed(), plan = m_dir.Path("plan.sql");
  ExpectRuns({{{"diff", Saved(), changed, "--format", "sql", "-o", plan}, 4,
               "loses data: column main.reviews.body is dropped"}});
  EXPECT_FALSE(fs::exists(plan));
  ExpectRuns({{{"diff", Saved(), changed, "--format", "sql", "--allow-data-loss", "-o", plan}, 1, ""}});
  EXPECT_NE(ReadFile(plan).find("-- loses data: column main.reviews.body"), std::string::npos) << ReadFile(plan);
  SqliteFile(Database()).Exec(ReadFile(plan));
  ExpectRuns({{{"diff", "sqlite:" + Database(), changed}, 0, ""}});

  nlohmann::ordered_json model = nlohmann::ordered_json::parse(ReadFile(Saved()));
  ASSERT_EQ(model["properties"]["sqlDialect"], "sqlite");
  model["properties"].erase("sqlDialect");
  const std::string older = m_dir.Path("older.json");
  WriteFile(older, model.dump(2));
  model["properties"]["sqlDialect"] = "postgresql";
  const std::string other = m_dir.Path("other.json");
  WriteFile(other, model.dump(2));
  ExpectRuns({
      {{"diff", older, older, "--format", "sql"}, 2, "neither side says what kind of database it comes from"},
      {{"diff", Saved(), other, "--format", "sql"}, 2,
       "NEW comes from a postgresql database, but OLD from a sqlite one"},
      {{"diff", older, Saved(), "--format", "sql", "--dialect", "mariadb"}, 2,
       "NEW comes from a sqlite database, but --dialect"},
      {{"diff", Saved(), changed, "--format", "sql", "--rename", "main.nothing=x"}, 2,
       "the old model has no such table"},
      {{"diff", Saved(), changed, "--format", "sql", "--rename", "main"}, 2, "a rename is schema.table=new"},
      {{"diff", Saved(), changed, "--allow-data-loss"}, 2, "go with --format sql"},
      {{"diff", older, older, "--format", "sql", "--dialect", "standard"}, 4, "it does not write plans in standard"},
  });
  // An older model planned against itself in the dialect named: nothing to do.
  ExpectRuns({{{"diff", older, older, "--format", "sql", "--dialect", "sqlite"}, 0, "", {},
               "-- The models agree: nothing to change.\n"},
              {{"diff", older, older, "--format", "sql", "--dialect", "mariadb"}, 0, "", {},
               "-- The models agree: nothing to change.\n"}});
}

TEST_F(DiffCommandTest, WhatCannotBeComparedIsRefusedWithTheReason) {
  WriteFile(m_dir.Path("text.json"), "not json at all");
  WriteFile(m_dir.Path("table.json"), R"({"id": 1, "type": "table"})");
  fs::copy_file(Saved(), m_dir.Path("copy.json"));
  fs::create_symlink(Saved(), m_dir.Path("symlink.json"));
  fs::create_hard_link(Saved(), m_dir.Path("hardlink.json"));
  const std::string saved = ReadFile(Saved()), dir = m_dir.Path(), old = Saved();
  ExpectRuns({
      {{"diff"}, 2, "OLD is required"},
      {{"diff", old}, 2, "NEW is required"},
      {{"diff", old, old, old}, 2, "error: "},
      {{"diff", "-", "-"}, 2, "only one of OLD and NEW can be standard input"},
      {{"diff", dir + "/missing.json", old}, 4,
       "cannot read OLD (" + dir + "/missing.json): No such file or directory"},
      {{"diff", old, dir}, 4, "NEW (" + dir + ") is a folder, not a saved model"},
      {{"diff", old, dir + "/text.json"}, 4,
       "NEW (" + dir + "/text.json) is not a saved model: parse error at line 1"},
      {{"diff", dir + "/table.json", old}, 4, "is not a saved model: the top object is \"table\", not a model"},
      {{"diff", "-o", dir + "/no/such/folder/out.txt", old, old}, 4, "error: "},
      // The differences never replace a side, by its name or through a link.
      {{"diff", old, dir + "/copy.json", "-o", old}, 2, "the output " + old + " is OLD (" + old + ")"},
      {{"diff", dir + "/copy.json", old, "-o", dir + "/symlink.json"}, 2, "is NEW (" + old + ")"},
      {{"diff", old, dir + "/copy.json", "-o", dir + "/hardlink.json"}, 2, "is OLD (" + old + ")"},
  });
  EXPECT_TRUE(ReadFile(Saved()) == saved) << "the saved model was replaced";
}

// The help with each option's exclusions sorted: the option parser lists
// them in its objects' address order, which differs between builds.
std::string SortedExclusions(const std::string& help) {
  std::string sorted;
  for (const std::string& line : Lines(help)) {
    const std::size_t at = line.find(" Excludes: ");
    std::istringstream words(at == std::string::npos ? std::string() : line.substr(at + 11));
    std::vector<std::string> names{std::istream_iterator<std::string>(words), {}};
    std::sort(names.begin(), names.end());
    sorted += line.substr(0, at == std::string::npos ? line.size() : at + 10);
    for (const std::string& name : names) sorted += " " + name;
    sorted += "\n";
  }
  return sorted;
}

// Both helps whole: the sides, the formats and the exit codes.
TEST_F(DiffCommandTest, HelpNamesTheSidesTheFormatsAndTheExitCodes) {
  for (const auto& [args, file] : {std::pair{Strings{"diff", "--help"}, "app/diff-help.txt"},
                                   std::pair{Strings{"--help"}, "app/help.txt"}}) {
    const ProcessResult result = Host(args);
    EXPECT_EQ(result.exitCode, 0) << Printed(result);
    ExpectSameAsFile(file, SortedExclusions(result.out));
  }
}

// lint: the exit status a CI job reads (0 nothing at or above --fail-on, 1
// something, 2 a wrong command line or configuration, 4 a model that cannot
// be read), the configuration found or given, saved models with and without
// --dialect, and what a live import could not read as a finding.
struct LintCase {
  const char* name;
  std::vector<std::string> args;  // after "lint"; DB, SAVED, BROKEN and DIR stand for the test's files
  const char* config;             // .quillmere-lint.toml in the folder it runs in; null for none
  int exitCode;
  const char* out;                // a line standard output must hold ("" for none)
  const char* err;                // text standard error must hold ("" for none)
};

// A table without primary key (a warning), a foreign key to no table (an error).
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
    // A saved model does not keep its database: without --dialect the
    // SQLite trap is not looked for, and the run says so.
    {"saved_without_dialect", {"SAVED", "--fail-on", "error"}, nullptr, 0, "", "name it with --dialect"},
    {"saved_with_dialect", {"SAVED", "--fail-on", "error", "--dialect", "sqlite"}, nullptr, 1, "", ""},
    {"saved_unknown_dialect", {"SAVED", "--dialect", "oracle"}, nullptr, 2, "", "--dialect"},
    {"not_a_model", {"DIR"}, nullptr, 4, "", "is a folder, not a saved model"},
    {"no_source", {}, nullptr, 2, "", "SOURCE is required"},
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

// -o writes the report in the format asked for.
TEST_F(LintCommand, FormatsWrittenToAFile) {
  const std::string json = m_dir.Path("report.json"), sarif = m_dir.Path("report.sarif");
  ExpectRuns({{{"lint", "--sqlite", Db(), "--format", "json", "-o", json}, 1, "", {}, ""},
              {{"lint", "--sqlite", Db(), "--format", "sarif", "-o", sarif}, 1, "", {}, ""}});
  // (Each form in full, SARIF against its schema: LintTest.)
  EXPECT_EQ(nlohmann::json::parse(ReadFile(json))["findings"].size(), 2u);
  EXPECT_EQ(nlohmann::json::parse(ReadFile(sarif))["runs"][0]["results"].size(), 2u);
}

}  // namespace
}  // namespace qm::test

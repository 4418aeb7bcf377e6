// quillmere-import's commands through the real executable: diff compares
// saved models (exit 0 when they agree, 1 when they differ, 2 and 4 for
// errors), prints the differences for people or as JSON, and plans the
// change as SQL (the sample written as SQL, loaded and imported again: the
// schema family's round trip of sqlite_sample); lint reports findings; and
// both helps whole.
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

class DiffCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ProcessResult result = Host({"--quiet", "-o", Saved()});
    ASSERT_EQ(result.exitCode, 0) << Printed(result);
  }
  // The bundled sample, saved as JSON.
  std::string Saved() const { return m_dir.Path("sample.json"); }

  // The saved sample with one column's type changed, one index renamed
  // and the root's database name changed (which is not compared).
  std::string Changed() {
    nlohmann::ordered_json model = nlohmann::ordered_json::parse(ReadFile(Saved()));
    model["properties"]["databaseName"] = "elsewhere.db";
    nlohmann::ordered_json& tables = model["children"][0]["children"];
    // (value(), not [], which would add a name to an unnamed check.)
    for (nlohmann::ordered_json& table : tables) {
      for (nlohmann::ordered_json& child : table["children"]) {
        nlohmann::ordered_json& properties = child["properties"];
        const std::string name = properties.value("name", "");
        if (table["properties"].value("name", "") == "reviews" && name == "rating") properties["dataType"] = "SMALLINT";
        if (name == "idx_reviews_rating") properties["name"] = "idx_reviews_by_rating";
      }
    }
    const std::string path = m_dir.Path("changed.json");
    WriteFile(path, model.dump(2));
    return path;
  }

  TempDir m_dir;
};

TEST_F(DiffCommandTest, DifferentModelsExitWithOneAndAreListed) {
  const std::string changed = Changed();
  // -q: the summary alone; nothing, and 0, when the models agree.
  ExpectRuns({{{"diff", Saved(), changed}, 1, "", {},
               "~ column main.reviews.rating\n"
               "    dataType: \"INTEGER\" \u2192 \"SMALLINT\"\n"
               "+ index main.reviews.idx_reviews_by_rating\n"
               "    isUnique: no\n"
               "    indexColumns: (isbn, rating)\n"
               "- index main.reviews.idx_reviews_rating\n"
               "    isUnique: no\n"
               "    indexColumns: (isbn, rating)\n"
               "3 objects differ: 1 added, 1 removed, 1 changed\n"},
              {{"diff", "-q", Saved(), changed}, 1, "", {}, "3 objects differ: 1 added, 1 removed, 1 changed\n"},
              {{"diff", "--quiet", changed, changed}, 0, "", {}, ""}});

  // For programs, into a file; standard input as one side.
  const std::string output = m_dir.Path("difference.json");
  ProcessOptions fromStdin;
  fromStdin.input = ReadFile(changed);
  ExpectRuns({{{"diff", "--format", "json", "-o", output, Saved(), "-"}, 1, "", {}, ""}}, fromStdin);
  // (The JSON form itself: ModelDiffTest.)
  const nlohmann::json json = nlohmann::json::parse(ReadFile(output));
  EXPECT_EQ(json["equal"], false);
  EXPECT_EQ(json["objects"].size(), 3u);

  const ProcessResult result = Host({"diff", changed, changed, "--format", "json"});
  EXPECT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(nlohmann::json::parse(result.out)["equal"], true);
}

// --format sql: the plan from the sample to the changed sample narrows a
// type, so it is refused (exit 4, each step listed, nothing written) until
// --allow-data-loss; the plan applied to the sample's database makes it the
// changed one. The dialect comes from the saved models; a model saved
// without one needs --dialect, two kinds of database are a usage error.
TEST_F(DiffCommandTest, SqlPlanRefusesDataLossUntilAllowedAndTakesTheDialectFromTheModels) {
  // The sample's database, and a copy changed by hand and saved.
  const std::string database = m_dir.Path("sample.db");
  const std::string changedDatabase = m_dir.Path("changed.db");
  const ProcessResult result = Host({"--quiet", "--format", "sql"});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  SqliteFile(database).Exec(result.out);
  SqliteFile(changedDatabase).Exec(result.out);
  SqliteFile(changedDatabase).Exec("ALTER TABLE reviews DROP COLUMN body; CREATE INDEX idx_new ON reviews (rating);");
  const std::string changed = m_dir.Path("changed.json"), plan = m_dir.Path("plan.sql");
  ExpectRuns({{{"--quiet", "--sqlite", changedDatabase, "-o", changed}, 0, ""},
              {{"diff", Saved(), changed, "--format", "sql", "-o", plan}, 4,
               "loses data: column main.reviews.body is dropped"}});
  EXPECT_FALSE(fs::exists(plan));
  ExpectRuns({{{"diff", Saved(), changed, "--format", "sql", "--allow-data-loss", "-o", plan}, 1, ""}});
  EXPECT_NE(ReadFile(plan).find("-- loses data: column main.reviews.body"), std::string::npos) << ReadFile(plan);
  SqliteFile(database).Exec(ReadFile(plan));
  ExpectRuns({{{"diff", "sqlite:" + database, changed}, 0, ""}});

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
      {{"diff", other, other, "--format", "sql", "--dialect", "mariadb"}, 2, "but --dialect names mariadb"},
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
      {{"diff", "--format", "xml", old, old}, 2, "--format"},
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
// them in the order of its objects' addresses, which differs from build to
// build.
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
// something, 2 for the command line or a configuration that is wrong, 4 for
// a model that cannot be read), the configuration found in the current
// folder or given, a saved model with and without --dialect, the three
// formats, and what a live import could not read reported as a finding.
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
  const std::string json = m_dir.Path("report.json"), sarif = m_dir.Path("report.sarif");
  ExpectRuns({{{"lint", "--sqlite", Db(), "--format", "json", "-o", json}, 1, "", {}, ""},
              {{"lint", "--sqlite", Db(), "--format", "sarif", "-o", sarif}, 1, "", {}, ""}});
  const nlohmann::json findings = nlohmann::json::parse(ReadFile(json)), log = nlohmann::json::parse(ReadFile(sarif));
  EXPECT_EQ(findings["dialect"], "sqlite");
  EXPECT_EQ(findings["findings"].size(), 2u) << findings.dump(2);
  EXPECT_EQ(log["version"], "2.1.0");
  ASSERT_EQ(log["runs"][0]["results"].size(), 2u);
  for (std::size_t i = 0; i < 2; ++i)
    EXPECT_EQ(log["runs"][0]["results"][i]["locations"][0]["logicalLocations"][0]["fullyQualifiedName"],
              findings["findings"][i]["name"]);
}

}  // namespace
}  // namespace qm::test

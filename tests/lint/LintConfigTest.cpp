// The configuration file: what it sets, and every mistake named with its
// place; exclusions by name pattern on a real import.
#include "LintSupport.h"

#include <TempDir.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace lint::test {
namespace {

struct ConfigCase {
  const char* text;
  const char* error;  // what the message must hold; "" for a file that is read
};

const ConfigCase kConfigCases[] = {
    {"", ""},
    {"# nothing but a comment\n", ""},
    {"[rules.nope]\nseverity = \"error\"\n", "test:1: unknown rule \"nope\""},
    {"[rules.too-many-columns]\nmax-column = 3\n",
     "test:2: unknown key \"max-column\" in rules.too-many-columns (it takes severity, exclude, max-columns)"},
    {"[rules.duplicate-index]\nseverity = \"fatal\"\n", "rules.duplicate-index.severity must be"},
    {"[rules.duplicate-index]\nseverity = 2\n", "rules.duplicate-index.severity must be"},
    {"colour = 1\n", "test:1: unknown key \"colour\""},
    {"[rules.too-many-columns]\nmax-columns = 0\n", "max-columns must be a whole number of at least 1"},
    {"[rules.too-many-columns]\nmax-columns = \"3\"\n", "max-columns must be a whole number of at least 1"},
    {"[rules.too-many-columns]\nmax-columns = 2.5\n", "max-columns must be a whole number of at least 1"},
    {"exclude = \"audit.*\"\n", "exclude must be an array of name patterns"},
    {"exclude = [\"\"]\n", "exclude must hold name patterns"},
    {"rules = 3\n", "rules must be a table"},
    {"[rules\n", "test:1: not TOML"},
    {"[rules.duplicate-index]\nexclude = [1]\n", "rules.duplicate-index.exclude must hold name patterns"},
};

class LintConfigFile : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(LintConfigFile, ReadOrRefusedNamingTheMistake) {
  const ConfigCase& c = GetParam();
  try {
    Config::Parse(c.text, "test");
    EXPECT_STREQ(c.error, "") << "read without complaint";
  } catch (const ConfigError& error) {
    ASSERT_STRNE(c.error, "") << error.what();
    EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LintConfigFile, ::testing::ValuesIn(kConfigCases));

TEST(LintConfig, SettingsOverTheDefaults) {
  const Config config = Config::Parse(
      "exclude = [\"audit.*\"]\n[rules.duplicate-index]\nseverity = \"off\"\n"
      "[rules.too-many-columns]\nseverity = \"error\"\nmax-columns = 7\n"
      "[rules.column-without-comment]\nseverity = \"info\"\n",
      "test");
  EXPECT_FALSE(config.For(*FindRule("duplicate-index")).enabled);
  EXPECT_EQ(config.For(*FindRule("too-many-columns")).severity, Severity::Error);
  EXPECT_EQ(config.Threshold(*FindRule("too-many-columns"), "max-columns"), 7);
  EXPECT_TRUE(config.For(*FindRule("column-without-comment")).enabled);
  EXPECT_FALSE(Config().For(*FindRule("column-without-comment")).enabled);
  EXPECT_EQ(Config().Threshold(*FindRule("too-many-columns"), "max-columns"), 100);
  EXPECT_EQ(config.exclude, std::vector<std::string>{"audit.*"});
}

TEST(LintConfig, PatternsMatchWholeNames) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"public.*", "public.orders", true},      {"public", "public.orders", false},
      {"*.tmp_*", "main.tmp_x.a", true},        {"a?c", "abc", true},
      {"a?c", "a\xC3\xA9" "c", true},           {"a?c", "ac", false},
      {"*x", "abc", false},                     {"*", "", true},
      {"main.t*s", "main.tables", true},        {"main.t*s", "main.tablesx", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesPattern(c.pattern, c.text), c.matches) << c.pattern << " " << c.text;
}

// On a real import: a pattern of the file leaves an object to every rule, a
// rule's own pattern to that rule only, and excluding a table excludes
// what belongs to it.
TEST(LintConfig, ExclusionsLeaveObjectsAlone) {
  const std::unique_ptr<Backend> backend = MakeBackend("sqlite");
  backend->Run(
      "CREATE TABLE keep (a, b); CREATE TABLE skip (a, b); CREATE TABLE \"order\" (x INTEGER PRIMARY KEY);"
      "CREATE TABLE other (\"select\" INTEGER PRIMARY KEY);");
  GenericModel model(backend->ModelType());
  backend->Import(model);
  const std::vector<Finding> all = LintAll(model);
  const std::vector<Finding> some = LintAll(
      model, "exclude = [\"main.skip\"]\n[rules.name-needs-quoting]\nexclude = [\"main.other\"]\n");
  auto has = [](const std::vector<Finding>& findings, std::string_view rule, const std::string& name) {
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) { return f.rule->id == rule && f.name == name; });
  };
  EXPECT_TRUE(has(all, "table-without-primary-key", "main.skip")) << Listed(all);
  EXPECT_FALSE(has(some, "table-without-primary-key", "main.skip")) << Listed(some);
  EXPECT_TRUE(has(some, "table-without-primary-key", "main.keep")) << Listed(some);
  EXPECT_TRUE(has(all, "name-needs-quoting", "main.other.\"select\"")) << Listed(all);
  EXPECT_FALSE(has(some, "name-needs-quoting", "main.other.\"select\"")) << Listed(some);
  EXPECT_TRUE(has(some, "name-needs-quoting", "main.\"order\"")) << Listed(some);
}

}  // namespace
}  // namespace lint::test

namespace lint::test {
namespace {

// The README's rules table names exactly the rules of the table, each with
// its default severity.
TEST(LintRules, ReadmeTableMatchesTheRules) {
  const std::string text = qm::test::ReadFile(QM_README);
  const std::size_t start = text.find("| Rule | Severity | Engines | What | Why | Fix |");
  ASSERT_NE(start, std::string::npos);
  const std::string readme = text.substr(start, text.find("\n\n", start) - start);
  std::size_t rows = 0;
  for (std::size_t at = readme.find("\n| `"); at != std::string::npos; at = readme.find("\n| `", at + 1)) {
    const std::size_t end = readme.find('`', at + 4);
    const std::string id = readme.substr(at + 4, end - at - 4);
    const Rule* rule = FindRule(id);
    ASSERT_NE(rule, nullptr) << "the README names a rule there is not: " << id;
    EXPECT_EQ(readme.compare(end + 1, 4 + SeverityName(rule->severity).size(),
                             " | " + std::string(SeverityName(rule->severity)) + (rule->enabled ? " " : ",")),
              0)
        << id;
    ++rows;
  }
  EXPECT_EQ(rows, Rules().size());
}

}  // namespace
}  // namespace lint::test

// The linter on real databases imported through the real plug-ins and
// drivers: each rule and its fix, the configuration, the reports (SARIF
// checked with python3-jsonschema), the README's table, real schemas.
#include "../writers/ExpectedFile.h"

#include <lint/Config.h>
#include <lint/Linter.h>
#include <lint/Reports.h>

#include <ImportHost.h>
#include <RealSchemas.h>
#include <Subprocess.h>
#include <TempDir.h>
#include <TestBackend.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

namespace lint::test {
namespace {

using Findings = std::vector<Finding>;

// The backend's plug-in, loaded once.
const qm::test::LoadedPlugin& PluginOf(const qm::test::TestBackend& backend) {
  static std::map<std::string, std::unique_ptr<qm::test::LoadedPlugin>> plugins;
  auto& plugin = plugins[backend.PluginPath()];
  if (!plugin) plugin = std::make_unique<qm::test::LoadedPlugin>(backend.PluginPath().c_str());
  return *plugin;
}

// A fresh database of a backend's, imported as the command line does.
class Database {
 public:
  explicit Database(const qm::test::TestBackend& backend) : m_backend(backend), m_database(backend.Create("lint")) {}
  void Run(const std::string& sql) { ASSERT_EQ(m_database->Load(sql), "") << sql; }
  // What the import (of `scope`, else the database's own) could not read.
  std::vector<FailedRead> Import(GenericModel& model, const std::string& scope = {}, bool failures = false) {
    const qm::test::ImportOutcome outcome = qm::test::RunImport(PluginOf(m_backend).Api(), model, m_database->Source(),
                                                                scope.empty() ? m_database->Scope() : scope);
    if (!failures) {
      EXPECT_TRUE(qm::test::ReadInFull(outcome));
    }
    std::vector<FailedRead> failed;
    for (const QmFailedStatement& statement : outcome.failed)
      failed.push_back({platform::Utf16ToUtf8(statement.name), platform::Utf16ToUtf8(statement.diagnostic.message)});
    return failed;
  }
  std::unique_ptr<GenericModel> Model() const { return std::make_unique<GenericModel>(m_backend.ModelType()); }
  // A new model of the whole database, read in full.
  std::unique_ptr<GenericModel> Imported() {
    auto model = Model();
    Import(*model);
    return model;
  }
  // MariaDB's names start with the test's database, made up per run.
  std::string Qualified(const std::string& name) const {
    return m_backend.Name() == "mariadb" ? m_database->Name() + "." + name : name;
  }

 private:
  const qm::test::TestBackend& m_backend;
  std::unique_ptr<qm::test::BackendDatabase> m_database;
};

// The findings, with the dialect the model's plug-in declares; unless
// `asConfigured`, the comment rules are on too.
Findings LintModel(const GenericModel& model, const std::string& config = {},
                   const std::vector<FailedRead>& failed = {}, bool asConfigured = false) {
  std::string text = config;
  for (const char* rule : {"table-without-comment", "column-without-comment"})
    if (!asConfigured && text.find(std::string("[rules.") + rule + "]") == std::string::npos)
      text += std::string("\n[rules.") + rule + "]\nseverity = \"info\"\n";
  LintInput input;
  input.model = &model;
  input.failed = failed;
  for (const qm::test::TestBackend* backend : qm::test::Backends())
    if (backend->ModelType() == model.GetModelType() && PluginOf(*backend).Api().sqlDialect != nullptr)
      input.dialect = PluginOf(*backend).Api().sqlDialect;
  return Lint(input, Config::Parse(text, "test"));
}

// How many findings of the rule name the object.
long Count(const Findings& findings, std::string_view rule, const std::string& name) {
  return std::count_if(findings.begin(), findings.end(),
                       [&](const Finding& f) { return f.rule->id == rule && f.name == name; });
}

// Every finding, one a line, for a failure message.
std::string Listed(const Findings& findings) {
  std::string text;
  for (const Finding& finding : findings)
    text += std::string(finding.rule->id) + " " + finding.name + ": " + finding.message +
            (finding.fix.empty() ? "" : " [fix: " + finding.fix + "]") + "\n";
  return text;
}

// What python3-jsonschema (draft 7, formats checked) finds wrong with the
// SARIF text against the tests' schema (data/README.md); "" when valid.
std::string SarifErrors(const std::string& sarif) {
  static constexpr const char* kValidate =
      "import json, sys, jsonschema\n"
      "schema = json.load(open(sys.argv[1], encoding='utf-8'))\n"
      "document = json.load(open(sys.argv[2], encoding='utf-8'))\n"
      "jsonschema.Draft7Validator.check_schema(schema)\n"
      "validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())\n"
      "errors = sorted(validator.iter_errors(document), key=str)\n"
      "for error in errors[:20]: print(list(error.absolute_path), error.message)\n"
      "sys.exit(1 if errors else 0)\n";
  qm::test::TempDir dir;
  qm::test::WriteFile(dir.Path("report.sarif"), sarif);
  const qm::test::ProcessResult result =
      qm::test::RunProcess("/usr/bin/python3", {"-c", kValidate, QM_SARIF_SCHEMA, dir.Path("report.sarif")});
  return result.exitCode == 0 ? "" : "exit " + std::to_string(result.exitCode) + ": " + qm::test::Printed(result);
}

struct RuleCase {
  const char* rule;
  const char* backend;  // sqlite, postgres, mariadb
  const char* sql;
  const char* fires;    // full name of the object the rule reports
  const char* quiet;    // full name of a like object it leaves alone
  const char* scope = "";
  bool failures = false;  // the import reports what it could not read
};

// Thresholds low enough for small tables.
constexpr const char* kConfig =
    "[rules.too-many-columns]\nmax-columns = 4\n[rules.table-without-secondary-index]\nmin-columns = 4\n";

const RuleCase kCases[] = {
    // A unique key of columns that are not null is no primary key.
    {"table-without-primary-key", "postgres",
     "CREATE TABLE nokey (a int NOT NULL UNIQUE, b int); CREATE TABLE haskey (a int PRIMARY KEY);", "public.nokey",
     "public.haskey"},
    {"foreign-key-without-index", "sqlite",
     "CREATE TABLE p (id INTEGER PRIMARY KEY); CREATE TABLE c (pid int REFERENCES p (id));"
     "CREATE TABLE d (pid int REFERENCES p (id)); CREATE INDEX d_pid ON d (pid);",
     "main.c.fk_c_1", "main.d.fk_d_1"},
    // Leading columns in any order count; a partial index does not.
    {"foreign-key-without-index", "postgres",
     "CREATE TABLE p (a int, b int, PRIMARY KEY (a, b));"
     "CREATE TABLE c (a int, b int, CONSTRAINT c_fk FOREIGN KEY (a, b) REFERENCES p); CREATE INDEX ON c (a) WHERE b > 0;"
     "CREATE TABLE d (a int, b int, x int, CONSTRAINT d_fk FOREIGN KEY (a, b) REFERENCES p); CREATE INDEX ON d (b, a, x);",
     "public.c.c_fk", "public.d.d_fk"},
    {"duplicate-index", "sqlite",
     "CREATE TABLE t (a, b); CREATE INDEX t1 ON t (a, b); CREATE INDEX t2 ON t (a, b); CREATE INDEX t3 ON t (b, a);",
     "main.t.t2", "main.t.t3"},
    {"duplicate-index", "mariadb",
     "CREATE TABLE t (a int, b int, UNIQUE KEY u1 (a), UNIQUE KEY u2 (a), KEY k1 (b), KEY k2 (b DESC)) ENGINE=InnoDB;",
     "t.u2", "t.k2"},
    {"redundant-index", "sqlite",
     "CREATE TABLE t (a, b); CREATE INDEX r1 ON t (a); CREATE INDEX r2 ON t (a, b); CREATE INDEX r3 ON t (b);",
     "main.t.r1", "main.t.r3"},
    {"redundant-index", "postgres",
     "CREATE TABLE t (a int, b int, c int, PRIMARY KEY (a, b)); CREATE INDEX t_a ON t (a); CREATE INDEX t_b ON t (b);"
     "CREATE INDEX t_c ON t USING hash (c); CREATE INDEX t_cb ON t (c, b);",
     "public.t.t_a", "public.t.t_c"},
    {"unique-key-nullable", "sqlite",
     "CREATE TABLE u (a int, b int NOT NULL, UNIQUE (a)); CREATE UNIQUE INDEX ub ON u (b);",
     "main.u.sqlite_autoindex_u_1", "main.u.ub"},
    {"unique-key-nullable", "postgres",
     "CREATE TABLE u (a int CONSTRAINT u_a UNIQUE, b int CONSTRAINT u_b UNIQUE NULLS NOT DISTINCT);", "public.u.u_a",
     "public.u.u_b"},
    {"foreign-key-type-mismatch", "sqlite",
     "CREATE TABLE p (id INTEGER PRIMARY KEY, code TEXT UNIQUE);"
     "CREATE TABLE c (pid TEXT REFERENCES p (id), pcode VARCHAR(5) REFERENCES p (code));",
     "main.c.fk_c_1", "main.c.fk_c_2"},
    // varchar against text, as the issue of PostgreSQL's comparisons has it.
    {"foreign-key-type-mismatch", "postgres",
     "CREATE TABLE p (code text PRIMARY KEY, n integer UNIQUE);"
     "CREATE TABLE c (code varchar(20) CONSTRAINT c_code REFERENCES p, n integer CONSTRAINT c_n REFERENCES p (n));",
     "public.c.c_code", "public.c.c_n"},
    // int(11) and int(10) are one type; bigint against int is not.
    {"foreign-key-type-mismatch", "mariadb",
     "SET foreign_key_checks = 0; CREATE TABLE c (pid bigint, q int(11), CONSTRAINT c_pid FOREIGN KEY (pid) REFERENCES "
     "p (id), CONSTRAINT c_q FOREIGN KEY (q) REFERENCES p (id)) ENGINE=InnoDB;"
     "CREATE TABLE p (id int(10) PRIMARY KEY) ENGINE=InnoDB;",
     "c.c_pid", "c.c_q"},
    {"inconsistent-column-type", "sqlite",
     "CREATE TABLE a (code TEXT); CREATE TABLE b (code VARCHAR(9)); CREATE TABLE c (code INTEGER);",
     "main.c.code", "main.b.code"},
    // Column names are compared within a schema.
    {"inconsistent-column-type", "postgres",
     "CREATE SCHEMA a; CREATE SCHEMA b; CREATE TABLE a.t1 (code text); CREATE TABLE a.t2 (code text);"
     "CREATE TABLE a.t3 (code int); CREATE TABLE b.t4 (code int);",
     "a.t3.code", "b.t4.code"},
    {"sqlite-nullable-primary-key", "sqlite",
     "CREATE TABLE n (a TEXT PRIMARY KEY); CREATE TABLE w (a TEXT PRIMARY KEY) WITHOUT ROWID;", "main.n.a", "main.w.a"},
    {"table-without-secondary-index", "sqlite",
     "CREATE TABLE bare (id INTEGER PRIMARY KEY, a, b, c); CREATE TABLE kept (id INTEGER PRIMARY KEY, a, b, c);"
     "CREATE INDEX kept_a ON kept (a);",
     "main.bare", "main.kept"},
    {"table-without-comment", "postgres",
     "CREATE TABLE plain (a int); CREATE TABLE told (a int); COMMENT ON TABLE told IS 'what it holds';",
     "public.plain", "public.told"},
    {"column-without-comment", "mariadb", "CREATE TABLE t (a int, b int COMMENT 'the b');", "t.a", "t.b"},
    {"name-needs-quoting", "sqlite", "CREATE TABLE \"order\" (x); CREATE TABLE plain (x);", "main.\"order\"",
     "main.plain"},
    {"name-needs-quoting", "postgres", "CREATE TABLE \"Orders\" (x int); CREATE TABLE orders (x int);",
     "public.\"Orders\"", "public.orders"},
    {"name-needs-quoting", "mariadb", "CREATE TABLE `line item` (x int); CREATE TABLE line_item (x int);",
     "`line item`", "line_item"},
    {"foreign-key-cycle", "sqlite",
     "CREATE TABLE a (id INTEGER PRIMARY KEY, b_id int NOT NULL REFERENCES b (id));"
     "CREATE TABLE b (id INTEGER PRIMARY KEY, a_id int NOT NULL REFERENCES a (id));"
     "CREATE TABLE c (id INTEGER PRIMARY KEY, d_id int REFERENCES d (id) DEFERRABLE INITIALLY DEFERRED);"
     "CREATE TABLE d (id INTEGER PRIMARY KEY, c_id int REFERENCES c (id));",
     "main.a.fk_a_1", "main.c.fk_c_1"},
    {"foreign-key-cycle", "postgres",
     "CREATE TABLE a (id int PRIMARY KEY, b_id int NOT NULL); CREATE TABLE b (id int PRIMARY KEY, a_id int NOT NULL "
     "CONSTRAINT b_a REFERENCES a); ALTER TABLE a ADD CONSTRAINT a_b FOREIGN KEY (b_id) REFERENCES b;"
     "CREATE TABLE tree (id int PRIMARY KEY, parent int CONSTRAINT tree_up REFERENCES tree);",
     "public.a.a_b", "public.tree.tree_up"},
    {"object-not-imported", "sqlite",
     "CREATE TABLE t (x); CREATE TABLE gone (y); CREATE VIEW good AS SELECT x FROM t;"
     "CREATE VIEW bad AS SELECT y FROM gone; DROP TABLE gone;",
     "main.bad", "main.good", "", true},
    {"too-many-columns", "sqlite", "CREATE TABLE wide (a, b, c, d, e); CREATE TABLE narrow (a, b, c, d);", "main.wide",
     "main.narrow"},
    {"foreign-key-outside-scope", "postgres",
     "CREATE SCHEMA a; CREATE SCHEMA b; CREATE TABLE b.p (id int PRIMARY KEY); CREATE TABLE a.p (id int PRIMARY KEY);"
     "CREATE TABLE a.c (x int CONSTRAINT c_out REFERENCES b.p, y int CONSTRAINT c_in REFERENCES a.p);",
     "a.c.c_out", "a.c.c_in", "a"},
    {"sqlite-foreign-key-mismatch", "sqlite",
     "CREATE TABLE p (id INTEGER PRIMARY KEY, v int);"
     "CREATE TABLE c (pv int REFERENCES p (v), pid int REFERENCES p (id));",
     "main.c.fk_c_1", "main.c.fk_c_2"},
    {"sqlite-foreign-key-mismatch", "sqlite",
     "CREATE TABLE p (id INTEGER PRIMARY KEY); CREATE TABLE c (x int REFERENCES missing (id), y int REFERENCES p);",
     "main.c.fk_c_1", "main.c.fk_c_2"},
    // What a dump reloaded with foreign_key_checks = 0 leaves behind: the
    // referencing table made before the table it references.
    {"mariadb-foreign-key-non-unique", "mariadb",
     "SET foreign_key_checks = 0; CREATE TABLE c (a int, b int, CONSTRAINT c_a FOREIGN KEY (a) REFERENCES p (a),"
     "CONSTRAINT c_b FOREIGN KEY (b) REFERENCES p (b)) ENGINE=InnoDB;"
     "CREATE TABLE p (a int, b int UNIQUE, KEY (a)) ENGINE=InnoDB;",
     "c.c_a", "c.c_b"},
    {"mariadb-foreign-key-engine", "mariadb",
     "SET foreign_key_checks = 0; CREATE TABLE c (a int, b int, CONSTRAINT c_a FOREIGN KEY (a) REFERENCES pa (id),"
     "CONSTRAINT c_b FOREIGN KEY (b) REFERENCES pb (id)) ENGINE=InnoDB;"
     "CREATE TABLE pa (id int PRIMARY KEY) ENGINE=Aria; CREATE TABLE pb (id int PRIMARY KEY) ENGINE=InnoDB;",
     "c.c_a", "c.c_b"},
    {"mariadb-foreign-key-collation", "mariadb",
     "SET foreign_key_checks = 0; CREATE TABLE c (a varchar(9) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin,"
     "b varchar(9) CHARACTER SET latin1 COLLATE latin1_swedish_ci,"
     "CONSTRAINT c_a FOREIGN KEY (a) REFERENCES p (a), CONSTRAINT c_b FOREIGN KEY (b) REFERENCES p (b)) ENGINE=InnoDB;"
     "CREATE TABLE p (a varchar(9) CHARACTER SET latin1 PRIMARY KEY, b varchar(9) CHARACTER SET latin1 UNIQUE) "
     "ENGINE=InnoDB;",
     "c.c_a", "c.c_b"},
};

class LintRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(LintRule, FiresOnOneObjectNotTheOtherAndItsFixRemovesIt) {
  const RuleCase& c = GetParam();
  QM_REQUIRE_BACKEND(qm::test::BackendNamed(c.backend));
  Database database(qm::test::BackendNamed(c.backend));
  database.Run(c.sql);
  const auto model = database.Model();
  const std::vector<FailedRead> failed = database.Import(*model, c.scope, c.failures);
  if (HasFailure()) return;
  EXPECT_EQ(failed.empty(), !c.failures);
  const Findings findings = LintModel(*model, kConfig, failed);
  const std::string fires = database.Qualified(c.fires);
  EXPECT_EQ(Count(findings, c.rule, fires), 1) << Listed(findings);
  EXPECT_EQ(Count(findings, c.rule, database.Qualified(c.quiet)), 0) << Listed(findings);

  const auto found = std::find_if(findings.begin(), findings.end(),
                                   [&](const Finding& f) { return f.rule->id == c.rule && f.name == fires; });
  if (found == findings.end() || found->fix.empty()) return;
  database.Run(found->fix);
  const auto fixed = database.Model();
  database.Import(*fixed, c.scope, c.failures);
  const Findings after = LintModel(*fixed, kConfig);
  EXPECT_EQ(Count(after, c.rule, fires), 0) << "the fix did not remove it:\n" << found->fix << "\n" << Listed(after);
}

std::string CaseName(const ::testing::TestParamInfo<RuleCase>& info) {
  std::string name = std::string(info.param.backend) + "_" + info.param.rule + "_" + std::to_string(info.index);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rules, LintRule, ::testing::ValuesIn(kCases), CaseName);

// Every rule of the table has a case above; the README's rules table names
// exactly the rules of the table, each with its default severity.
TEST(LintRules, EveryRuleHasACaseAndTheReadmeRow) {
  for (const Rule& rule : Rules())
    EXPECT_TRUE(std::any_of(std::begin(kCases), std::end(kCases), [&](const RuleCase& c) { return c.rule == rule.id; }))
        << rule.id;
  const std::string text = qm::test::ReadFile(QM_README);
  const std::size_t start = text.find("| Rule | Severity | Engines | What | Why | Fix |");
  ASSERT_NE(start, std::string::npos);
  const std::string readme = text.substr(start, text.find("\n\n", start) - start);
  std::size_t rows = 0;
  for (std::size_t at = readme.find("\n| `"); at != std::string::npos; at = readme.find("\n| `", at + 1), ++rows) {
    const std::size_t end = readme.find('`', at + 4);
    const std::string id = readme.substr(at + 4, end - at - 4);
    const Rule* rule = FindRule(id);
    ASSERT_NE(rule, nullptr) << "the README names a rule there is not: " << id;
    const std::string severity(SeverityName(rule->severity));
    EXPECT_EQ(readme.compare(end + 1, 4 + severity.size(), " | " + severity + (rule->enabled ? " " : ",")), 0) << id;
  }
  EXPECT_EQ(rows, Rules().size());
}

struct ConfigCase {
  const char* text;
  const char* error;  // what the message must hold; "" for a file that is read
};

const ConfigCase kConfigCases[] = {
    {"", ""},
    {"[rules.nope]\nseverity = \"error\"\n", "test:1: unknown rule \"nope\""},
    {"[rules.too-many-columns]\nmax-column = 3\n",
     "test:2: unknown key \"max-column\" in rules.too-many-columns (it takes severity, exclude, max-columns)"},
    {"[rules.duplicate-index]\nseverity = \"fatal\"\n", "rules.duplicate-index.severity must be"},
    {"[rules.duplicate-index]\nseverity = 2\n", "rules.duplicate-index.severity must be"},
    {"colour = 1\n", "test:1: unknown key \"colour\""},
    {"[rules.too-many-columns]\nmax-columns = 0\n", "max-columns must be a whole number of at least 1"},
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

// (A threshold and a rule turned on: the rules' cases, which set them.)
TEST(LintConfig, SettingsOverTheDefaults) {
  const Config config = Config::Parse(
      "exclude = [\"audit.*\"]\n[rules.duplicate-index]\nseverity = \"off\"\n"
      "[rules.too-many-columns]\nseverity = \"error\"\n",
      "test");
  EXPECT_FALSE(config.For(*FindRule("duplicate-index")).enabled);
  EXPECT_EQ(config.For(*FindRule("too-many-columns")).severity, Severity::Error);
  EXPECT_FALSE(Config().For(*FindRule("column-without-comment")).enabled);
  EXPECT_EQ(Config().Threshold(*FindRule("too-many-columns"), "max-columns"), 100);
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

// A file's pattern leaves an object to every rule, a rule's own to that
// rule only; excluding a table excludes what belongs to it.
TEST(LintConfig, ExclusionsLeaveObjectsAlone) {
  Database database(qm::test::BackendNamed("sqlite"));
  database.Run(
      "CREATE TABLE keep (a, b); CREATE TABLE skip (a, b); CREATE TABLE \"order\" (x INTEGER PRIMARY KEY);"
      "CREATE TABLE other (\"select\" INTEGER PRIMARY KEY);");
  const auto model = database.Imported();
  const Findings all = LintModel(*model);
  const Findings some =
      LintModel(*model, "exclude = [\"main.skip\"]\n[rules.name-needs-quoting]\nexclude = [\"main.other\"]\n");
  EXPECT_EQ(Count(all, "table-without-primary-key", "main.skip"), 1) << Listed(all);
  EXPECT_EQ(Count(some, "table-without-primary-key", "main.skip"), 0) << Listed(some);
  EXPECT_EQ(Count(some, "table-without-primary-key", "main.keep"), 1) << Listed(some);
  EXPECT_EQ(Count(all, "name-needs-quoting", "main.other.\"select\""), 1) << Listed(all);
  EXPECT_EQ(Count(some, "name-needs-quoting", "main.other.\"select\""), 0) << Listed(some);
  EXPECT_EQ(Count(some, "name-needs-quoting", "main.\"order\""), 1) << Listed(some);
}

// The reports whole, of one import with hostile names (a line break and an
// escape sequence), an error (a foreign key to no table) and a warning;
// SARIF valid, and the validator refuses a level the format has not or a
// report without its version (so the check can fail).
TEST(LintReports, ReportsAreAsExpectedAndSarifIsValid) {
  Database database(qm::test::BackendNamed("sqlite"));
  database.Run(
      "CREATE TABLE \"evil\nname\x1b[2J\" (a int, \"b\"\"q\" int REFERENCES missing (id));"
      "CREATE TABLE ok (id INTEGER PRIMARY KEY, \"Select\" TEXT);");
  const auto model = database.Imported();
  const Findings findings = LintModel(*model);
  ASSERT_GE(findings.size(), 3u) << Listed(findings);
  const Config config = Config::Parse("[rules.table-without-comment]\nseverity = \"info\"\n", "test");
  auto write = [&](void (*writer)(const Findings&, const ReportContext&, std::ostream&)) {
    std::ostringstream out;
    writer(findings, ReportContext{"sqlite", "0.1.0", &config}, out);
    return out.str();
  };
  qm::test::ExpectSameAsFile("lint/report.json", write(WriteJson));
  qm::test::ExpectSameAsFile("lint/report.txt", write(WriteText));
  const std::string sarif = write(WriteSarif);
  qm::test::ExpectSameAsFile("lint/report.sarif", sarif);
  EXPECT_EQ(SarifErrors(sarif), "") << sarif;
  nlohmann::json document = nlohmann::json::parse(sarif);
  document["runs"][0]["results"][0]["level"] = "warn";
  EXPECT_NE(SarifErrors(document.dump()), "");
  document = nlohmann::json::parse(sarif);
  document.erase("version");
  EXPECT_NE(SarifErrors(document.dump()), "");
}

// Every real application's schema on the three databases, with the
// defaults: the findings per rule printed, the SARIF valid, and the index
// fixes run in the database leaving none of those findings behind.
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

class LintRealSchema : public ::testing::TestWithParam<Schema> {};

TEST_P(LintRealSchema, FindingsValidReportsAndWorkingFixes) {
  const Schema& schema = GetParam();
  QM_REQUIRE_BACKEND(qm::test::BackendNamed(schema.database));
  Database database(qm::test::BackendNamed(schema.database));
  database.Run(qm::test::RealSchemaSql(schema.app, schema.database));
  const auto model = database.Imported();
  if (HasFailure()) return;
  const Findings findings = LintModel(*model, {}, {}, true);
  std::map<std::string, int> counts;
  for (const Finding& finding : findings) ++counts[std::string(finding.rule->id)];
  std::string line = "lint " + schema.database + "/" + schema.app + ":";
  for (const auto& [rule, count] : counts) line += " " + rule + "=" + std::to_string(count);
  std::cout << line << "\n";
  const Config config;
  std::ostringstream sarif;
  WriteSarif(findings, ReportContext{"", "0.1.0", &config}, sarif);
  EXPECT_EQ(SarifErrors(sarif.str()), "");

  constexpr std::string_view kFixed[] = {"foreign-key-without-index", "duplicate-index", "redundant-index"};
  const auto fixed = [&](const Finding& f) {
    return !f.fix.empty() && std::find(std::begin(kFixed), std::end(kFixed), f.rule->id) != std::end(kFixed);
  };
  std::string fixes;
  for (const Finding& finding : findings)
    if (fixed(finding)) fixes += finding.fix + "\n";
  if (fixes.empty()) return;
  database.Run(fixes);
  const auto after = database.Imported();
  for (const Finding& finding : LintModel(*after, {}, {}, true))
    if (fixed(finding))
      ADD_FAILURE() << "left after the fixes: " << finding.rule->id << " " << finding.name << ": " << finding.message;
}

INSTANTIATE_TEST_SUITE_P(Applications, LintRealSchema, ::testing::ValuesIn(AllSchemas()),
                         [](const ::testing::TestParamInfo<Schema>& info) {
                           std::string name = info.param.database + "_" + info.param.app;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace lint::test

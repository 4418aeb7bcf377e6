// Every rule on a real database: a schema where it fires on one object and
// stays quiet on a like one, imported through the real plug-in and driver.
// Where the finding comes with a fix, the fix is run in that database and
// the import linted again: the finding must be gone (the SQL is right for
// the engine and does what it says). Engine-specific traps are made on the
// engine's own server.
#include "LintSupport.h"

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace lint::test {
namespace {

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
    {"table-without-primary-key", "sqlite", "CREATE TABLE nokey (a int); CREATE TABLE haskey (a int PRIMARY KEY);",
     "main.nokey", "main.haskey"},
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

// MariaDB's names start with the test's database, made up per run.
std::string Qualified(const RuleCase& c, const std::string& name, const GenericModel& model) {
  if (std::string(c.backend) != "mariadb") return name;
  const CMOObject* root = model.GetCMOObject();
  std::vector<int> schemas;
  root->GetChildrenByType(schemas, model::Schema);
  if (schemas.empty()) return name;
  return platform::Utf16ToUtf8(model.GetCMOObject(schemas.front())->GetProperty(model::Name)->WStringRef()) + "." +
         name;
}

class LintRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(LintRule, FiresOnOneObjectNotTheOtherAndItsFixRemovesIt) {
  const RuleCase& c = GetParam();
  const std::unique_ptr<Backend> backend = MakeBackend(c.backend);
  if (!backend) GTEST_SKIP() << "no " << c.backend << " server (scripts/test starts one)";
  backend->Run(c.sql);
  GenericModel model(backend->ModelType());
  const std::vector<FailedRead> failed = backend->Import(model, c.scope, c.failures);
  if (HasFailure()) return;
  EXPECT_EQ(failed.empty(), !c.failures);
  const std::vector<Finding> findings = LintAll(model, kConfig, failed);
  const std::vector<std::string> names = NamesFor(findings, c.rule);
  const std::string fires = Qualified(c, c.fires, model);
  const std::string quiet = Qualified(c, c.quiet, model);
  EXPECT_EQ(std::count(names.begin(), names.end(), fires), 1) << Listed(findings);
  EXPECT_EQ(std::count(names.begin(), names.end(), quiet), 0) << Listed(findings);

  const auto found = std::find_if(findings.begin(), findings.end(),
                                   [&](const Finding& f) { return f.rule->id == c.rule && f.name == fires; });
  if (found == findings.end() || found->fix.empty()) return;
  backend->Run(found->fix);
  GenericModel fixed(backend->ModelType());
  backend->Import(fixed, c.scope, c.failures);
  const std::vector<Finding> after = LintAll(fixed, kConfig);
  const std::vector<std::string> left = NamesFor(after, c.rule);
  EXPECT_EQ(std::count(left.begin(), left.end(), fires), 0) << "the fix did not remove it:\n" << found->fix << "\n"
                                                            << Listed(after);
}

std::string CaseName(const ::testing::TestParamInfo<RuleCase>& info) {
  std::string name = std::string(info.param.backend) + "_" + info.param.rule + "_" + std::to_string(info.index);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rules, LintRule, ::testing::ValuesIn(kCases), CaseName);

// Every rule of the table has a case that fires above.
TEST(LintRules, EveryRuleHasACase) {
  for (const Rule& rule : Rules())
    EXPECT_TRUE(std::any_of(std::begin(kCases), std::end(kCases), [&](const RuleCase& c) { return c.rule == rule.id; }))
        << rule.id;
}

}  // namespace
}  // namespace lint::test

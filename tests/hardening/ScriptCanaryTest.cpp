// The sql format's script of a hostile database, loaded as the README
// loads it: `sqlite3 new.db < schema.sql`, `psql -v ON_ERROR_STOP=1 -f
// schema.sql`, `mariadb < schema.sql`. Every name, literal, comment and
// body of the databases below carries commands for those clients (dot
// commands, backslash commands, `system`, `tee`, ATTACH, ...) that would
// each make one file, the canary, if a client ever ran them; texts the
// database keeps as written carry them after a statement's end, in an
// executable comment, after a line sqlite3 ends a statement at. One case
// per plug-in, the generic one on SQLite, and an SQLite file edited with
// PRAGMA writable_schema. After every load the canary is not there, and
// the script loaded; what the writer had to leave out is named in the
// script and in the exit code.
#include "HostileNames.h"
#include "MariaHostileSchema.h"

#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;

// Texts that make the canary, a file named canary in the folder the
// clients run in, when a client runs them.
const std::vector<std::string>& Payloads() {
  static const std::vector<std::string> payloads = {
      ";\n.shell touch canary\n", "\n.system touch canary\n", "\n\\! touch canary\n",  ";\nsystem touch canary\n",
      ";\ntee canary\n",          "\\o canary ",               "; ATTACH 'canary' AS c;", "*/ \\! touch canary /*",
      "$$ \\! touch canary $$",    "' \\! touch canary '",
  };
  return payloads;
}

// Texts that end an SQLite statement SQLite keeps and go on with a payload.
const std::vector<std::string>& AfterTheEnd() {
  static const std::vector<std::string> payloads = {
      ";\n.shell touch canary", ";\n.system touch canary\n", "; ATTACH 'canary' AS c;", ";\n\\! touch canary",
      ";\nsystem touch canary"};
  return payloads;
}

// Where a case's database is and what it takes to load its script.
struct Target {
  std::vector<std::string> importArgs;  // quillmere-import's arguments naming the database
  std::function<void()> clear;          // makes room for the script (a MariaDB script makes its own database)
};

// A plug-in's hostile database: made by `make` in the test's folder.
struct Source {
  const char* name;
  const char* server;            // "", "postgres" or "mariadb": what it needs
  int exitCode;                  // quillmere-import's: 5 where texts are left out
  std::vector<std::string> loaders;  // clients that must load the script: sqlite3, psql, mariadb
  std::vector<std::string> alsoRun;  // clients that run it (and must not make the canary) but cannot load it
  Target (*make)(const TempDir& dir);
};

// SQLite: the payloads as names, defaults, checks, view and trigger texts
// and comments inside CREATE texts.
std::string SqliteScript() {
  std::string sql = "BEGIN;\n";
  int i = 0;
  for (const std::string& p : Payloads()) {
    const std::string t = QuoteIdent("t" + std::to_string(++i) + p);
    sql += "CREATE TABLE " + t + " (" + QuoteIdent(p) + " TEXT DEFAULT " + QuoteText(p) + " CHECK (" + QuoteIdent(p) +
           " <> " + QuoteText(p) + ") /* " + (p.find("*/") == std::string::npos ? p : "") + " */, b INT -- " +
           (p.find('\n') == std::string::npos ? p : "") + "\n);\n";
    sql += "CREATE INDEX " + QuoteIdent("i" + std::to_string(i) + p) + " ON " + t + " (b) WHERE b <> " + QuoteText(p) + ";\n";
    sql += "CREATE VIEW " + QuoteIdent("v" + std::to_string(i) + p) + " AS SELECT " + QuoteText(p) + " AS " + QuoteIdent(p) + ";\n";
    sql += "CREATE TRIGGER " + QuoteIdent("r" + std::to_string(i) + p) + " AFTER INSERT ON " + t + " BEGIN SELECT " +
           QuoteText(p) + "; END;\n";
  }
  return sql + "COMMIT;\n";
}

Target SqliteCase(const TempDir& dir) {
  SqliteFile(dir.Path("hostile.db")).Exec(SqliteScript());
  return {{"--sqlite", dir.Path("hostile.db")}, {}};
}

// SQLite, its stored texts edited: a second statement after each, and a
// view that a line "/" ends early for sqlite3.
Target WritableSchemaCase(const TempDir& dir) {
  const std::string path = dir.Path("edited.db");
  SqliteFile file(path);
  file.Exec("CREATE TABLE t (a INT); CREATE TABLE u (b INT); CREATE INDEX i ON u (b); CREATE VIEW v AS SELECT 1;\n"
            "CREATE VIEW w AS SELECT 4\n/\n.5;\nCREATE TRIGGER r AFTER INSERT ON u BEGIN SELECT 1; END;\n"
            "PRAGMA writable_schema = ON;\n");
  const char* const names[] = {"t", "u", "i", "v", "r"};
  for (std::size_t n = 0; n < std::size(names); ++n)
    file.Exec("UPDATE sqlite_master SET sql = sql || " + QuoteText(AfterTheEnd()[n]) + " WHERE name = '" + names[n] + "';");
  file.Exec("PRAGMA writable_schema = OFF;");
  return {{"--sqlite", path}, {}};
}

// The generic plug-in on SQLite: the SQLite3 driver gives a text default
// without its quotes and a type as declared.
Target GenericCase(const TempDir& dir) {
  const std::string path = dir.Path("generic.db");
  std::string sql = "CREATE TABLE hostile_type (a \"x);\n.shell touch canary\n\", b INT);\nCREATE TABLE t (";
  for (std::size_t i = 0; i < Payloads().size(); ++i)
    sql += "c" + std::to_string(i) + " TEXT DEFAULT " + QuoteText(Payloads()[i]) + ", ";
  SqliteFile(path).Exec(sql + QuoteIdent(Payloads()[2]) + " INTEGER);\n");
  return {{"--generic", "--connect", "Driver={SQLite3};Database=" + path}, {}};
}

// PostgreSQL: the payloads in names, defaults, checks, comments, enum
// labels, views, index predicates and function bodies of both kinds.
Target PostgresCase(const TempDir&) {
  auto database = std::make_shared<TestDatabase>("canary");
  const std::string s = QuoteIdent("sch " + Payloads()[2]);
  std::string sql = "CREATE SCHEMA " + s + ";\n";
  std::string labels;
  int i = 0;
  for (const std::string& p : Payloads()) {
    const std::string t = s + "." + QuoteIdent("t" + std::to_string(++i) + p);
    sql += "CREATE TABLE " + t + " (" + QuoteIdent(p) + " text DEFAULT " + QuoteText(p) + " CHECK (" + QuoteIdent(p) +
           " <> " + QuoteText(p) + "), b int);\n";
    sql += "COMMENT ON TABLE " + t + " IS " + QuoteText(p) + ";\n";
    sql += "CREATE INDEX ON " + t + " (b) WHERE " + QuoteIdent(p) + " <> " + QuoteText(p) + ";\n";
    sql += "CREATE VIEW " + s + "." + QuoteIdent("v" + std::to_string(i) + p) + " AS SELECT " + QuoteText(p) + "::text AS " +
           QuoteIdent(p) + ";\n";
    sql += "CREATE FUNCTION " + s + "." + QuoteIdent("f" + std::to_string(i) + p) + "() RETURNS text LANGUAGE sql AS $f$ SELECT " +
           QuoteText(p) + " $f$;\n";
    sql += "CREATE FUNCTION " + s + "." + QuoteIdent("g" + std::to_string(i) + p) +
           "() RETURNS text LANGUAGE sql BEGIN ATOMIC SELECT " + QuoteText(p) + "; END;\n";
    labels += (labels.empty() ? "" : ", ") + QuoteText(p);
  }
  sql += "CREATE TYPE " + s + ".e AS ENUM (" + labels + ");\n";
  EXPECT_EQ(RunPsql(database->Name(), sql), "");
  return {{"--postgres", database->ConnectionString()}, [database] {}};
}

// MariaDB: the hardening tests' hostile schema, and the payloads in names,
// defaults, comments and bodies kept as written, one of them in an
// executable comment, which the server reads as a comment and the client
// as a command.
Target MariaCase(const TempDir&) {
  const std::string schema = "canary `q' \\ " + std::to_string(::getpid());
  std::string sql = "DROP DATABASE IF EXISTS " + MariaIdent(schema) + ";\n" + MariaHostileScript(schema);
  int i = 0;
  for (const std::string& p : Payloads()) {
 // MariaDB's names end in no blank.
    const std::string t = MariaIdent("t" + std::to_string(++i) + p + "|");
    sql += "CREATE TABLE " + t + " (" + MariaIdent(p + "|") + " VARCHAR(200) DEFAULT " + QuoteText(p) + " COMMENT " +
           QuoteText(p) + ", b INT) COMMENT " + QuoteText(p) + ";\n";
 sql += "CREATE PROCEDURE " + MariaIdent("p" + std::to_string(i) + p + "|") + "() SELECT " + QuoteText(p) + " # " +
           (p.find('\n') == std::string::npos ? p : "") + "\n;\n";
    sql += "CREATE TRIGGER " + MariaIdent("r" + std::to_string(i)) + " BEFORE INSERT ON " + t + " FOR EACH ROW SET @x = " +
           QuoteText(p) + ";\n";
  }
  // Bodies as an owner of mysql.proc can write them: the server strips an
  // executable comment of a later version from a body it is given, and
  // refuses a backslash outside quotes.
  sql += "CREATE PROCEDURE executable() SELECT 1;\nCREATE PROCEDURE dashes() SELECT 1;\n";
  for (const auto& [name, body] : {std::pair{"executable", "'SELECT 1 /*!99999 ', CHAR(92), '! touch canary */'"},
                                   std::pair{"dashes", "'SELECT 1 --', CHAR(92), '! touch canary'"}})
    sql += std::string("UPDATE mysql.proc SET body = CONCAT(") + body + "), body_utf8 = CONCAT(" + body +
           ") WHERE db = " + QuoteText(schema) + " AND name = '" + name + "';\n";
  EXPECT_EQ(RunMariaSql("", sql), "");
  return {{"--connect", *MariaConnectionString(), "--schema", "\"" + schema + "\""},
          [schema] { EXPECT_EQ(RunMariaSql("", "DROP DATABASE IF EXISTS " + MariaIdent(schema) + ";\n"), ""); }};
}

const Source kSources[] = {
    {"sqlite", "", 0, {"sqlite3"}, {}, SqliteCase},
    {"sqlite_writable_schema", "", 5, {"sqlite3"}, {}, WritableSchemaCase},
    {"generic_on_sqlite", "postgres", 5, {"psql"}, {"sqlite3"}, GenericCase},
    {"postgres", "postgres", 0, {"psql"}, {}, PostgresCase},
    {"mariadb", "mariadb", 5, {"mariadb"}, {}, MariaCase},
};

void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }

// Runs the client on the script as the README says, in the canary's
// folder; its result.
ProcessResult Load(const std::string& client, const std::string& script, const TempDir& dir,
                   std::unique_ptr<TestDatabase>& database) {
  ProcessOptions options;
  options.workingDirectory = dir.Path("canaries");
  if (client == "sqlite3") {
    options.input = ReadFile(script);
    return RunProcess("/usr/bin/sqlite3", {dir.Path("new.db")}, options);
  }
  if (client == "psql") {
    database = std::make_unique<TestDatabase>("canary_copy");
    return RunProcess("/usr/bin/psql", {"-X", "-v", "ON_ERROR_STOP=1", "-d", database->Name(), "-f", script}, options);
  }
  options.input = ReadFile(script);
  return RunProcess("/usr/bin/mariadb", {std::string("--defaults-file=") + std::getenv("QM_MARIA_CLIENT_CNF")}, options);
}

class ScriptCanaryTest : public ::testing::TestWithParam<Source> {};

TEST_P(ScriptCanaryTest, NoClientRunsACommandOfTheDatabase) {
  const Source& source = GetParam();
  if (std::string(source.server) == "postgres") QM_REQUIRE_PG();
  if (std::string(source.server) == "mariadb") QM_REQUIRE_MARIA();
  TempDir dir;
  fs::create_directory(dir.Path("canaries"));
  const Target target = source.make(dir);

  const std::string script = dir.Path("schema.sql");
  std::vector<std::string> args = target.importArgs;
  for (const char* arg : {"--format", "sql", "--quiet", "-o"}) args.push_back(arg);
  args.push_back(script);
  const ProcessResult imported = RunProcess(QM_IMPORT_EXE, args);
  ASSERT_TRUE(imported.exitCode == 0 || imported.exitCode == 5) << Printed(imported);
  EXPECT_EQ(imported.exitCode, source.exitCode) << Printed(imported);
  const std::string sql = ReadFile(script);
  std::size_t notWritten = 0;
  for (std::size_t at = sql.find("\n-- not written: "); at != std::string::npos; at = sql.find("\n-- not written: ", at + 1))
    ++notWritten;
  EXPECT_EQ(notWritten > 0, source.exitCode == 5) << sql;
  std::size_t warnings = 0;
  for (const std::string& line : Lines(imported.err)) warnings += line.rfind("warning: not written: ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(warnings, notWritten) << imported.err;
  if (target.clear) target.clear();

  std::unique_ptr<TestDatabase> copy;
  for (const std::string& client : source.loaders) {
    const ProcessResult loaded = Load(client, script, dir, copy);
    EXPECT_EQ(loaded.exitCode, 0) << client << ": " << Printed(loaded);
    EXPECT_TRUE(fs::is_empty(dir.Path("canaries"))) << client << " ran a command of the database";
  }
  for (const std::string& client : source.alsoRun) {
    Load(client, script, dir, copy);
    EXPECT_TRUE(fs::is_empty(dir.Path("canaries"))) << client << " ran a command of the database";
  }
  if (std::string(source.server) == "mariadb") target.clear();
}

INSTANTIATE_TEST_SUITE_P(Plugins, ScriptCanaryTest, ::testing::ValuesIn(kSources),
                         [](const ::testing::TestParamInfo<Source>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qm::test::hardening

// The sql format's script of a hostile database, loaded as the README says
// (sqlite3, psql -v ON_ERROR_STOP=1, mariadb). Every name, literal, comment
// and body below carries client commands that would make a file, the
// canary (texts kept as written: after a statement's end, in an executable
// comment, after a line sqlite3 ends a statement at). After every load there
// is no canary and the script loaded; what was left out is named in the
// script and the exit code.
#include "HostileNames.h"
#include "MariaHostileSchema.h"

#include <MariaServer.h>
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

// Texts that make the canary in the clients' folder if run; the first five end a statement first.
const std::vector<std::string>& Payloads() {
  static const std::vector<std::string> payloads = {
      ";\n.shell touch canary\n", ";\n\\! touch canary\n", ";\nsystem touch canary\n", ";\ntee canary\n",
      "; ATTACH 'canary' AS c;",  "\n.system touch canary\n", "\\o canary ",            "*/ \\! touch canary /*",
      "$$ \\! touch canary $$",    "' \\! touch canary '"};
  return payloads;
}

// The import's arguments, and what drops the database (a MariaDB script makes it again).
struct Target {
  std::vector<std::string> importArgs;
  std::function<void()> drop;
};

struct Source {
  const char* name;
  const char* server;                // "", "postgres" or "mariadb": what it needs
  int exitCode;                      // quillmere-import's: 5 where texts are left out
  std::vector<std::string> clients;  // that run the script and must load it; "?" after one that cannot
  Target (*make)(const TempDir& dir);
};

// SQLite: the payloads as names, defaults, checks, comments inside CREATE
// texts, index predicates, views and triggers.
Target SqliteCase(const TempDir& dir) {
  std::string sql = "BEGIN;\n";
  for (std::size_t i = 0; i < Payloads().size(); ++i) {
    const std::string& p = Payloads()[i];
    const std::string n = std::to_string(i), t = QuoteIdent("t" + n + p), c = QuoteIdent(p);
    sql += "CREATE TABLE " + t + " (" + c + " TEXT DEFAULT " + QuoteText(p) + " CHECK (" + c + " <> " + QuoteText(p) +
           ") /* " + (p.find("*/") == std::string::npos ? p : "") + " */, b INT -- " +
           (p.find('\n') == std::string::npos ? p : "") + "\n);\nCREATE INDEX " + QuoteIdent("i" + n + p) + " ON " + t +
           " (b) WHERE b <> " + QuoteText(p) + ";\nCREATE VIEW " + QuoteIdent("v" + n + p) + " AS SELECT " + QuoteText(p) +
           " AS " + c + ";\nCREATE TRIGGER " + QuoteIdent("r" + n + p) + " AFTER INSERT ON " + t + " BEGIN SELECT " +
           QuoteText(p) + "; END;\n";
  }
  SqliteFile(dir.Path("hostile.db")).Exec(sql + "COMMIT;\n");
  return {{"--sqlite", dir.Path("hostile.db")}, {}};
}

// SQLite, its stored texts edited: a payload after each statement's end,
// and a view that a line "/" would end early for sqlite3.
Target WritableSchemaCase(const TempDir& dir) {
  SqliteFile file(dir.Path("edited.db"));
  file.Exec("CREATE TABLE t (a INT); CREATE TABLE u (b INT); CREATE INDEX i ON u (b); CREATE VIEW v AS SELECT 1;\n"
            "CREATE VIEW w AS SELECT 4\n/\n.5;\nCREATE TRIGGER r AFTER INSERT ON u BEGIN SELECT 1; END;\n"
            "PRAGMA writable_schema = ON;\n");
  const std::string names = "tuivr";
  for (std::size_t i = 0; i < names.size(); ++i)
    file.Exec("UPDATE sqlite_master SET sql = sql || " + QuoteText(Payloads()[i]) + " WHERE name = '" + names[i] + "';");
  return {{"--sqlite", dir.Path("edited.db")}, {}};
}

// The generic plug-in on SQLite, whose driver gives a text default without
// its quotes and a type as declared.
Target GenericCase(const TempDir& dir) {
  std::string sql = "CREATE TABLE hostile_type (a \"x);\n.shell touch canary\n\");\nCREATE TABLE t (";
  for (std::size_t i = 0; i < Payloads().size(); ++i)
    sql += "c" + std::to_string(i) + " TEXT DEFAULT " + QuoteText(Payloads()[i]) + ", ";
  SqliteFile(dir.Path("generic.db")).Exec(sql + QuoteIdent(Payloads()[1]) + " INTEGER);\n");
  return {{"--generic", "--connect", "Driver={SQLite3};Database=" + dir.Path("generic.db")}, {}};
}

// PostgreSQL: the payloads in names, defaults, checks, comments, enum
// labels, index predicates, views and function bodies of both kinds.
Target PostgresCase(const TempDir&) {
  auto database = std::make_shared<TestDatabase>("canary");
  const std::string s = QuoteIdent("sch " + Payloads()[1]);
  std::string sql = "CREATE SCHEMA " + s + ";\n", labels;
  for (std::size_t i = 0; i < Payloads().size(); ++i) {
    const std::string& p = Payloads()[i];
    const std::string n = std::to_string(i), t = s + "." + QuoteIdent("t" + n + p), c = QuoteIdent(p), l = QuoteText(p);
    sql += "CREATE TABLE " + t + " (" + c + " text DEFAULT " + l + " CHECK (" + c + " <> " + l + "), b int);\n"
           "COMMENT ON TABLE " + t + " IS " + l + ";\nCREATE INDEX ON " + t + " (b) WHERE " + c + " <> " + l + ";\n"
           "CREATE VIEW " + s + "." + QuoteIdent("v" + n + p) + " AS SELECT " + l + "::text AS " + c + ";\n"
           "CREATE FUNCTION " + s + "." + QuoteIdent("f" + n + p) + "() RETURNS text LANGUAGE sql AS $f$ SELECT " + l +
           " $f$;\nCREATE FUNCTION " + s + "." + QuoteIdent("g" + n + p) +
           "() RETURNS text LANGUAGE sql BEGIN ATOMIC SELECT " + l + "; END;\n";
    labels += (labels.empty() ? "" : ", ") + l;
  }
  EXPECT_EQ(RunPsql(database->Name(), sql + "CREATE TYPE " + s + ".e AS ENUM (" + labels + ");\n"), "");
  return {{"--postgres", database->ConnectionString()}, [database] {}};
}

// MariaDB: the hostile schema; the payloads in names, defaults, comments and
// bodies; bodies written into mysql.proc as its owner can (the server would
// strip or refuse them), which the client would read as its commands.
Target MariaCase(const TempDir&) {
  const std::string schema = "canary `q' \\ " + std::to_string(::getpid());
  std::string sql = "DROP DATABASE IF EXISTS " + MariaIdent(schema) + ";\n" + MariaHostileScript(schema);
  for (std::size_t i = 0; i < Payloads().size(); ++i) {
    const std::string& p = Payloads()[i];
    const std::string n = std::to_string(i), t = MariaIdent("t" + n + p + "|");  // a name ends in no blank
    sql += "CREATE TABLE " + t + " (" + MariaIdent(p + "|") + " VARCHAR(200) DEFAULT " + QuoteText(p) + " COMMENT " +
           QuoteText(p) + ") COMMENT " + QuoteText(p) + ";\nCREATE PROCEDURE " + MariaIdent("p" + n + p + "|") +
           "() SELECT " + QuoteText(p) + " # " + (p.find('\n') == std::string::npos ? p : "") + "\n;\nCREATE TRIGGER r" +
           n + " BEFORE INSERT ON " + t + " FOR EACH ROW SET @x = " + QuoteText(p) + ";\n";
  }
  for (const auto& [name, body] : {std::pair{"executable", "'SELECT 1 /*!99999 ', CHAR(92), '! touch canary */'"},
                                   std::pair{"dashes", "'SELECT 1 --', CHAR(92), '! touch canary'"}})
    sql += std::string("CREATE PROCEDURE ") + name + "() SELECT 1;\nUPDATE mysql.proc SET body = CONCAT(" + body +
           "), body_utf8 = CONCAT(" + body + ") WHERE db = " + QuoteText(schema) + " AND name = '" + name + "';\n";
  EXPECT_EQ(RunMariaSql("", sql), "");
  return {{"--connect", *MariaConnectionString(), "--schema", "\"" + schema + "\""},
          [schema] { EXPECT_EQ(RunMariaSql("", "DROP DATABASE IF EXISTS " + MariaIdent(schema) + ";\n"), ""); }};
}

const Source kSources[] = {
    {"sqlite", "", 0, {"sqlite3"}, SqliteCase},
    {"sqlite_writable_schema", "", 5, {"sqlite3"}, WritableSchemaCase},
    {"generic_on_sqlite", "postgres", 5, {"psql", "sqlite3?"}, GenericCase},  // standard SQL: CREATE SCHEMA
    {"postgres", "postgres", 0, {"psql"}, PostgresCase},
    {"mariadb", "mariadb", 5, {"mariadb"}, MariaCase},
};

void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }

// Runs the client on the script as the README says, in the canary's folder.
ProcessResult Load(const std::string& client, const std::string& script, const TempDir& dir,
                   std::unique_ptr<TestDatabase>& copy) {
  ProcessOptions options;
  options.workingDirectory = dir.Path("canaries");
  options.input = ReadFile(script);
  if (client.starts_with("sqlite3")) return RunProcess("/usr/bin/sqlite3", {dir.Path("new.db")}, options);
  if (client == "mariadb")
    return RunProcess("/usr/bin/mariadb", {std::string("--defaults-file=") + std::getenv("QM_MARIA_CLIENT_CNF")}, options);
  copy = std::make_unique<TestDatabase>("canary_copy");
  options.input.clear();
  return RunProcess("/usr/bin/psql", {"-X", "-v", "ON_ERROR_STOP=1", "-d", copy->Name(), "-f", script}, options);
}

class ScriptCanaryTest : public ::testing::TestWithParam<Source> {};

TEST_P(ScriptCanaryTest, NoClientRunsACommandOfTheDatabase) {
  const Source& source = GetParam();
  if (std::string(source.server) == "postgres") QM_REQUIRE_PG();
  if (std::string(source.server) == "mariadb") QM_REQUIRE_MARIA();
  TempDir dir;
  fs::create_directory(dir.Path("canaries"));
  const Target target = source.make(dir);
  std::vector<std::string> args = target.importArgs;
  args.insert(args.end(), {"--format", "sql", "--quiet", "-o", dir.Path("schema.sql")});
  const ProcessResult imported = RunProcess(QM_IMPORT_EXE, args);
  ASSERT_TRUE(imported.exitCode == 0 || imported.exitCode == 5) << Printed(imported);
  EXPECT_EQ(imported.exitCode, source.exitCode) << Printed(imported);
  std::size_t notWritten = 0, warnings = 0;
  for (const std::string& line : Lines(ReadFile(dir.Path("schema.sql")))) notWritten += line.rfind("-- not written: ", 0) == 0;
  for (const std::string& line : Lines(imported.err)) warnings += line.rfind("warning: not written: ", 0) == 0;
  EXPECT_EQ(notWritten > 0, source.exitCode == 5);
  EXPECT_EQ(warnings, notWritten) << imported.err;
  if (target.drop) target.drop();

  std::unique_ptr<TestDatabase> copy;
  for (const std::string& client : source.clients) {
    const ProcessResult loaded = Load(client, dir.Path("schema.sql"), dir, copy);
    EXPECT_TRUE(client.ends_with("?") || loaded.exitCode == 0) << client << ": " << Printed(loaded);
    EXPECT_TRUE(fs::is_empty(dir.Path("canaries"))) << client << " ran a command of the database";
  }
  if (target.drop) target.drop();
}

INSTANTIATE_TEST_SUITE_P(Plugins, ScriptCanaryTest, ::testing::ValuesIn(kSources),
                         [](const ::testing::TestParamInfo<Source>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qm::test::hardening

// --schema end to end: quoted names select schemas whose names hold commas,
// blanks or quotes, on a real PostgreSQL server and in real SQLite files,
// each plug-in matching the names as its database does. (A list that is
// not well formed: tests/hardening/HostInputTest.cpp.)
#include "HostProcess.h"

#include <PgServer.h>
#include <PgTestEnv.h>

#include <gtest/gtest.h>

namespace qm::test {
namespace {

struct Case {
  std::string list;  // --schema's value
  Strings schemas;   // "[schema]: table table ..." for every schema imported, sorted
};

// Imports source with each --schema list.
void ExpectSchemas(const Strings& source, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE("--schema " + c.list);
    Strings args = source;
    args.insert(args.end(), {"--schema", c.list, "--quiet"});
    const ProcessResult result = Host(args);
    ASSERT_EQ(result.exitCode, 0) << Printed(result);
    GenericModel model(0);
    ReadModelJson(result.out, model);
    Strings lines;
    for (CMOObject* schema : AllOfType(model, model::Schema)) {
      std::string line = "[" + Name(*schema) + "]:";
      for (const std::string& table : Names(Children(model, *schema, model::Table))) line += " " + table;
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, c.schemas);
  }
}

// PostgreSQL compares schema names exactly: "Sales" is not sales, " sp "
// is not sp; with --postgres, and with --connect choosing the plug-in by
// the connection string's Driver.
TEST(SchemaOptionTest, QuotedNamesSelectPostgresSchemasExactly) {
  QM_REQUIRE_PG();
  TestDatabase database("schema_option");
  ASSERT_EQ(RunPsql(database.Name(),
                    "CREATE SCHEMA \"a,b\"; CREATE TABLE \"a,b\".t1 (id int);"
                    "CREATE SCHEMA \" sp \"; CREATE TABLE \" sp \".t2 (id int);"
                    "CREATE SCHEMA sp; CREATE TABLE sp.t3 (id int);"
                    "CREATE SCHEMA \"Sales\"; CREATE TABLE \"Sales\".t4 (id int);"
                    "CREATE SCHEMA sales; CREATE TABLE sales.t5 (id int);"
                    "CREATE SCHEMA \"q\"\"uote\"; CREATE TABLE \"q\"\"uote\".t6 (id int);"
                    "CREATE SCHEMA a; CREATE TABLE a.t7 (id int); CREATE SCHEMA b; CREATE TABLE b.t8 (id int);"),
            "");
  ExpectSchemas({"--postgres", database.ConnectionString()},
                {{"\"a,b\",\" sp \",\"q\"\"uote\",Sales", {"[ sp ]: t2", "[Sales]: t4", "[a,b]: t1", "[q\"uote]: t6"}},
                 {"a,b , sp", {"[a]: t7", "[b]: t8", "[sp]: t3"}},  // unquoted: split and trimmed, as before
                 {"sales, \"sp\"", {"[sales]: t5", "[sp]: t3"}}});
  // --connect finds the plug-in by the string's Driver.
  ExpectSchemas({"--connect", database.ConnectionString()}, {{"Sales", {"[Sales]: t4"}}});
  // No schema is called SALES: refused by name as the user's mistake (the
  // connection worked), with the schemas there are, not imported as sales.
  ExpectRuns({{{"--postgres", database.ConnectionString(), "--schema", "\"SALES\"", "--quiet"}, 2,
               "error: --schema: no schema named \"SALES\" (there is \"Sales\") (there is \"sales\") in database \"" +
                   database.Name() + "\" (its schemas: \" sp \", \"Sales\", \"a\", \"a,b\", \"b\", "}},
             {}, {"pg_toast"});
}

// SQLite matches database names ignoring ASCII case; a quoted name may hold
// the comma or the quote of an attached database's name.
TEST(SchemaOptionTest, QuotedNamesSelectSqliteDatabasesAsSqliteMatchesThem) {
  TempDir dir;
  SqliteFile(dir.Path("main.db")).Exec("CREATE TABLE in_main (id INTEGER);");
  SqliteFile(dir.Path("comma.db")).Exec("CREATE TABLE in_comma (id INTEGER);");
  SqliteFile(dir.Path("quote.db")).Exec("CREATE TABLE in_quote (id INTEGER);");
  const std::string connect = "Driver={SQLite3};Database=" + dir.Path("main.db") + ";Attach=a,b=" +
                              dir.Path("comma.db") + ";Attach=q\"x=" + dir.Path("quote.db");
  ExpectSchemas({"--connect", connect},
                {{"\"a,b\"", {"[a,b]: in_comma"}},
                 {"\"A,B\", MAIN,\"Q\"\"X\"", {"[a,b]: in_comma", "[main]: in_main", "[q\"x]: in_quote"}},
                 {"q\"x", {"[q\"x]: in_quote"}}});  // a quote that does not open the name is part of it
  // Unquoted, the comma splits the name, and no database is called a.
  ExpectRuns({{{"--connect", connect, "--schema", "a,b", "--quiet"}, 2, "no database named \"a\""}});
}

}  // namespace
}  // namespace qm::test

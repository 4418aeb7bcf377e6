// Connecting the way users do: URLs, data sources of odbc.ini, the PG*
// environment, the password asked on a terminal, and the messages for the
// usual mistakes; the real executable against the test run's PostgreSQL
// and real SQLite files (a private odbc.ini and odbcinst.ini where needed).
#include "HostProcess.h"

#include <PgServer.h>
#include <PgTestEnv.h>
#include <Terminal.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

namespace qm::test {
namespace {

using namespace std::chrono_literals;

// A URL's percent-encoding of every byte but letters, digits and keep's.
std::string Encoded(const std::string& text, std::string_view keep = {}) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char ch : text) {
    if (std::isalnum(ch) != 0 || keep.find(static_cast<char>(ch)) != std::string_view::npos) {
      out += static_cast<char>(ch);
    } else {
      out += {'%', kHex[ch >> 4], kHex[ch & 15]};
    }
  }
  return out;
}

// One table, and a role whose password holds every character a URL or a
// connection string treats specially; without scripts/pg's PG* variables.
class PgConnectTest : public ::testing::Test {
 protected:
  static constexpr const char* kHostilePassword = "p@ss:w/rd;x}y{z#%?&=+ q'\"";

  void SetUp() override {
    QM_REQUIRE_PG();
    database_ = std::make_unique<TestDatabase>("connect");
    role_ = "qm_url_" + std::to_string(::getpid());
    std::string quoted = kHostilePassword;
    quoted.insert(quoted.find('\''), 1, '\'');
    ASSERT_EQ(RunPsql(database_->Name(), "CREATE TABLE orders (id integer PRIMARY KEY);\nDROP ROLE IF EXISTS " +
                                             role_ + ";\nCREATE ROLE " + role_ + " LOGIN PASSWORD '" + quoted + "';\n"),
              "");
    server_ = EnvText("QM_PG_HOST") + ":" + EnvText("QM_PG_PORT");
    options_.unset = {"PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGDATABASE", "PGPASSFILE", "PGSERVICE"};
    options_.environment["HOME"] = home_.Path();
  }
  void TearDown() override {
    if (database_) RunPsql(database_->Name(), "DROP ROLE IF EXISTS " + role_ + ";");
  }

  // The role's URL of the database; its password when withPassword.
  std::string Url(bool withPassword = true, const std::string& scheme = "postgresql") const {
    return scheme + "://" + role_ + (withPassword ? ":" + Encoded(kHostilePassword) : "") + "@" + server_ + "/" +
           database_->Name();
  }

  TempDir home_;
  ProcessOptions options_;
  std::unique_ptr<TestDatabase> database_;
  std::string role_;
  std::string server_;  // host:port
};

// A password holding @ : / ; } { # % ? & = + and quotes reaches the server
// whole and is never printed; so do the URL's parameters, a Unix-socket
// folder, and what the URL leaves out taken from PG* as psql takes it. No
// password anywhere and no terminal to ask on: exit 3 at once, saying so.
TEST_F(PgConnectTest, UrlsAndTheEnvironmentReachTheServer) {
  const std::string socket = EnvText("QM_PG_SOCKDIR"), port = EnvText("QM_PG_PORT");
  ASSERT_FALSE(socket.empty());
  const Strings orders = {"orders"};
  ExpectRuns(
      {
          {{Url(true, "postgres")}, 0, "", orders},
          {{Url() + "?options=" + Encoded("-c default_transaction_isolation=bogus") + "&application_name=qm"}, 3,
           "bogus"},
          {{Url() + "?sslmode=require"}, 3, "SSL"},
          {{Url() + "?connect_timeout=5"}, 2, "--timeout"},  // --timeout's
          // A wrong password: refused, and what was typed is masked.
          {{"postgresql://" + role_ + ":wrong-secret@" + server_ + "/" + database_->Name() + "?bogus=1"}, 2, ""},
          {{"postgresql:///" + database_->Name() + "?host=" + socket + "&port=" + port + "&user=qm", "--format",
            "json"},
           0, "", orders},
          {{"postgresql://qm@" + Encoded(socket) + ":" + port + "/" + database_->Name()}, 0, "", orders},
          {{Url(false)}, 3, "no terminal to ask on"},
      },
      options_, {"rd;x", "wrong-secret"});

  ProcessOptions environment = options_;
  environment.unset.clear();
  environment.environment.insert({{"PGHOST", EnvText("QM_PG_HOST")}, {"PGPORT", port}, {"PGUSER", role_},
                                  {"PGPASSWORD", kHostilePassword}, {"PGDATABASE", database_->Name()}});
  // What the URL gives wins: another database is asked for, and missed.
  ExpectRuns({{{"postgresql://"}, 0, "", orders},
              {{"postgresql:///no_such_database_here"}, 3, "no_such_database_here"}},
             environment);

  // Names psqlODBC would read with their braces (';', '}', '{' first).
  const std::string database = "{qm;d}b" + role_, role = "{qm;r}o" + role_;
  struct Drop {
    std::string script;
    ~Drop() { RunPsql("postgres", script); }
  } drop{"DROP DATABASE IF EXISTS \"" + database + "\";\nDROP ROLE IF EXISTS \"" + role + "\";\n"};
  ASSERT_EQ(RunPsql("postgres", drop.script + "CREATE ROLE \"" + role + "\" LOGIN PASSWORD 'pw;x}';\nCREATE DATABASE \"" +
                                    database + "\" OWNER \"" + role + "\";\n"),
            "");
  const ProcessResult braced = Host(
      {"postgresql://" + Encoded(role) + ":" + Encoded("pw;x}") + "@" + server_ + "/" + Encoded(database)}, options_);
  ASSERT_EQ(braced.exitCode, 0) << Printed(braced);
  EXPECT_EQ(nlohmann::json::parse(braced.out)["properties"]["databaseName"], database);
}

// A password file that holds the password: the import connects without
// asking, as psql would, from ~/.pgpass or PGPASSFILE.
TEST_F(PgConnectTest, PasswordFileIsUsedWithoutAsking) {
  std::string escaped;
  for (const char ch : std::string(kHostilePassword)) {
    if (ch == ':' || ch == '\\') escaped += '\\';
    escaped += ch;
  }
  TempDir other;
  for (const std::string& file : {home_.Path(".pgpass"), other.Path("passwords")}) {
    WriteFile(file, server_ + ":" + database_->Name() + ":" + role_ + ":" + escaped + "\n");
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  }
  ExpectRuns({{{Url(false)}, 0, "", {"orders"}}}, options_);
  ASSERT_EQ(::unlink(home_.Path(".pgpass").c_str()), 0);
  ProcessOptions withFile = options_;
  withFile.environment["PGPASSFILE"] = other.Path("passwords");
  ExpectRuns({{{Url(false)}, 0, "", {"orders"}}}, withFile);
}

// A password the server wants and the source does not give is asked for
// on the terminal, without echo, as psql asks; Ctrl-D cancels.
TEST_F(PgConnectTest, MissingPasswordIsAskedOnTheTerminal) {
  const struct {
    std::string keys;
    int exitCode;
    std::string shown;
  } answers[] = {{std::string(kHostilePassword) + "\r", 0, "table orders"},
                 {"\x04", 130, ""},
                 {"not-the-password\r", 3, "password authentication failed"}};
  for (const auto& answer : answers) {
    TerminalProcess terminal(QM_IMPORT_EXE, {Url(false), "--format", "tree", "--quiet"}, options_);
    ASSERT_TRUE(terminal.WaitFor("Password for user " + role_ + ":", 60s)) << terminal.Printed();
    terminal.Type(answer.keys);
    EXPECT_EQ(terminal.Wait(60s), answer.exitCode) << terminal.Printed();
    EXPECT_NE(terminal.Output().find(answer.shown), std::string::npos) << terminal.Printed();
    for (const char* typed : {"rd;x}y", "not-the-password"})
      EXPECT_EQ(terminal.Output().find(typed), std::string::npos) << terminal.Printed();
  }
}

// A private ODBC configuration: ODBCSYSINI's drivers and data sources, ODBCINI's.
ProcessOptions OdbcConfiguration(const TempDir& dir, ProcessOptions options, const std::string& drivers,
                                 const std::string& system, const std::string& user = {}) {
  WriteFile(dir.Path("odbcinst.ini"), drivers);
  WriteFile(dir.Path("odbc.ini"), system);
  WriteFile(dir.Path("user.ini"), user);
  options.environment["ODBCSYSINI"] = dir.Path();
  options.environment["ODBCINI"] = dir.Path("user.ini");
  return options;
}

// --dsn NAME and odbc://NAME: the data source's driver picks the plug-in;
// a URL's user, password and settings are added to the data source's. A
// driver that is not installed is named with its Debian package.
TEST_F(PgConnectTest, DataSourcesImportByDsnAndOdbcUrl) {
  TempDir files, config, bare;
  const std::string db = files.Path("lite shop.db");
  SqliteFile(db).Exec("CREATE TABLE items (id INTEGER PRIMARY KEY);");
  const std::string pgshop = "[pgshop]\nDriver=PostgreSQL Unicode\nServername=" + EnvText("QM_PG_HOST") +
                             "\nPort=" + EnvText("QM_PG_PORT") + "\nDatabase=" + database_->Name() + "\n";
  const std::string registry = ReadFile("/etc/odbcinst.ini") + "\n[Warehouse 9]\nDriver=/opt/warehouse/libwh9odbc.so\n";
  const ProcessOptions options =
      OdbcConfiguration(config, options_, registry, pgshop, "[liteshop]\nDriver=SQLite3\nDatabase=" + db + "\n");
  std::vector<HostRun> runs = {
      {{"--dsn", "liteshop"}, 0, "", {"items"}},
      {{"odbc://" + role_ + ":" + Encoded(kHostilePassword) + "@pgshop"}, 0, "", {"orders"}},
      {{"--dsn", "nowhere"}, 2, "there is no ODBC data source named \"nowhere\"; data sources: liteshop, pgshop"},
      {{"odbc://nowhere"}, 2, ""},
  };
  // A parameter's key that would add a setting (a second DSN) to the string.
  for (const std::string key : {"x%3BDSN", "DSN%3Dpgshop%3Bx", "%7BDSN%7D", "DSN%20", "%0ADSN"})
    runs.push_back({{"odbc://liteshop?" + key + "=pgshop"}, 2, "is not a setting's name"});
  ExpectRuns(runs, options, {"rd;x"});
  ProcessOptions withUser = options;
  withUser.environment.insert({{"PGUSER", role_}, {"PGPASSWORD", kHostilePassword}});
  ExpectRuns({{{"--dsn", "PGSHOP"}, 0, "", {"orders"}}}, withUser);

  const ProcessResult list = Host({"--list-dsns"}, options);
  ASSERT_EQ(list.exitCode, 0) << Printed(list);
  EXPECT_TRUE(HasLine(list.out, "liteshop  user    driver SQLite3             plug-in sqlite")) << list.out;
  EXPECT_TRUE(HasLine(list.out, "pgshop    system  driver PostgreSQL Unicode  plug-in postgres")) << list.out;
  const ProcessResult drivers = Host({"--list-drivers"}, options);
  ASSERT_EQ(drivers.exitCode, 0) << Printed(drivers);
  EXPECT_NE(drivers.out.find("plug-in postgres"), std::string::npos) << drivers.out;
  // A driver no plug-in lists is read by the one that reads any driver.
  const std::size_t warehouse = drivers.out.find("Warehouse 9 ");
  ASSERT_NE(warehouse, std::string::npos) << drivers.out;
  const std::string line = drivers.out.substr(warehouse, drivers.out.find('\n', warehouse) - warehouse);
  EXPECT_TRUE(line.ends_with("/opt/warehouse/libwh9odbc.so  plug-in odbc (reads any driver)")) << line;

  const std::string notInstalled = "the ODBC driver \"PostgreSQL Unicode\" is not installed (Debian package "
                                   "odbc-postgresql: apt-get install odbc-postgresql); installed: \"SQLite3\"";
  ExpectRuns({{{Url()}, 3, notInstalled}, {{"--dsn", "pgshop"}, 3, notInstalled}},
             OdbcConfiguration(bare, options_, "[SQLite3]\nDriver=libsqlite3odbc.so\n", pgshop));
}

// diff with a live side: a database checked against its committed model
// fails (exit 1) once it has changed, through a URL or an import option.
TEST_F(PgConnectTest, DiffComparesACommittedModelWithTheLiveDatabase) {
  TempDir dir;
  const std::string committed = dir.Path("committed.json");
  ExpectRuns({{{Url(), "-o", committed}, 0, ""}, {{"diff", committed, Url()}, 0, "", {}, "no differences\n"}},
             options_);
  ASSERT_EQ(RunPsql(database_->Name(), "ALTER TABLE orders ADD COLUMN note text;"), "");
  ExpectRuns({{{"diff", committed, Url()}, 1, "", {},
               "+ column public.orders.note\n    dataType: \"text\"\n    nullable: yes\n    position: 2\n"
               "1 object differs: 1 added, 0 removed, 0 changed\n"}},
             options_, {"rd;x"});
  // By an import option, with --schema and the password braced ('}' doubled);
  // live side first; a live side out of reach is an error, not a difference.
  const std::string connection = "Servername=" + EnvText("QM_PG_HOST") + ";Port=" + EnvText("QM_PG_PORT") +
                                 ";Database=" + database_->Name() + ";UID=" + role_ +
                                 ";PWD={p@ss:w/rd;x}}y{z#%?&=+ q'\"}";
  const ProcessResult byOption =
      Host({"diff", committed, "--schema", "public", "--postgres", connection, "--format", "json"}, options_);
  EXPECT_EQ(byOption.exitCode, 1) << Printed(byOption);
  EXPECT_NE(byOption.out.find("\"added\": 1"), std::string::npos) << byOption.out;
  const ProcessResult reversed = Host({"diff", Url(), committed}, options_);
  EXPECT_EQ(reversed.exitCode, 1) << Printed(reversed);
  EXPECT_NE(reversed.out.find("- column public.orders.note"), std::string::npos) << reversed.out;
  ExpectRuns({{{"diff", committed, "postgresql://" + role_ + "@" + EnvText("QM_PG_HOST") + ":1/x"}, 3, ""}},
             options_);
}

// sqlite: URLs name a file, absolute or relative, any character encoded;
// and the usual mistakes, each with what to do.
TEST(ConnectTest, SqliteUrlsImportTheFileAndMistakesAreExplained) {
  TempDir dir;
  const std::string name = "my shop;v=2 {x}.db";
  SqliteFile(dir.Path(name)).Exec("CREATE TABLE items (id INTEGER PRIMARY KEY);");
  ProcessOptions inDir;
  inDir.workingDirectory = dir.Path();
  ExpectRuns(
      {
          {{"sqlite://" + Encoded(dir.Path(name), "/")}, 0, "", {"items"}},
          {{"sqlite:" + Encoded(name)}, 0, "", {"items"}},
          {{"sqlite://localhost" + Encoded(dir.Path(name), "/.")}, 0, "", {"items"}},
          {{"sqlite://" + dir.Path(name)}, 2, "blanks and control characters must be percent-encoded"},
          {{"sqlite://server/srv/shop.db"}, 2, "not the host \"server\""},
          {{"sqlite:///no/such/file.db"}, 3, ""},
          {{"oracle://db/shop"}, 2,
           "no plug-in found reads oracle: URLs; known: mariadb://, mysql://, postgresql://, postgres://, sqlite://, "
           "odbc://NAME (a data source)"},
          {{"shop.db"}, 2, "\"shop.db\" is not a URL"},
          {{"postgresql://me:secret@db:54x2/shop"}, 2,
           "error: the URL does not parse: the port is not a number from 1 to 65535\n"
           "  postgresql://me:****@db:54x2/shop\n"
           "                            ^\n"},
          {{"postgresql://db/shop", "--sqlite", "x.db"}, 2, ""},
          {{"postgresql://db/shop?sslmod=require"}, 2, "unknown parameter \"sslmod\""},
      },
      inDir);
}

// --schema: quoted names select schemas holding commas, blanks or quotes,
// each plug-in matching names as its database does. (The list's reading:
// ScopeListTest; one not well formed: HostInputTest.)
// Each schema holds a table of its own, so the tables say which were read.
HostRun Schemas(Strings args, const std::string& list, const Strings& tables) {
  args.insert(args.end(), {"--schema", list, "--quiet"});
  return {args, 0, "", tables};
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
                    "CREATE SCHEMA \"q\"\"uote\"; CREATE TABLE \"q\"\"uote\".t6 (id int);"),
            "");
  const Strings postgres = {"--postgres", database.ConnectionString()};
  ExpectRuns({Schemas(postgres, "\"a,b\",\" sp \",\"q\"\"uote\",Sales", {"t2", "t4", "t1", "t6"}),
              Schemas(postgres, "sales, \"sp\"", {"t5", "t3"}),
              // --connect finds the plug-in by the string's Driver.
              Schemas({"--connect", database.ConnectionString()}, "Sales", {"t4"})});
  // No schema is called SALES: refused by name as the user's mistake (the
  // connection worked), with the schemas there are, not imported as sales.
  ExpectRuns({{{"--postgres", database.ConnectionString(), "--schema", "\"SALES\"", "--quiet"}, 2,
               "error: --schema: no schema named \"SALES\" (there is \"Sales\") (there is \"sales\") in database \"" +
                   database.Name() + "\" (its schemas: \" sp \", \"Sales\", \"a,b\", "}},
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
  ExpectRuns({Schemas({"--connect", connect}, "\"a,b\"", {"in_comma"}),
              Schemas({"--connect", connect}, "\"A,B\", MAIN,\"Q\"\"X\"", {"in_main", "in_comma", "in_quote"}),
              // A quote that does not open the name is part of it.
              Schemas({"--connect", connect}, "q\"x", {"in_quote"})});
  // Unquoted, the comma splits the name, and no database is called a.
  ExpectRuns({{{"--connect", connect, "--schema", "a,b", "--quiet"}, 2, "no database named \"a\""}});
}

}  // namespace
}  // namespace qm::test

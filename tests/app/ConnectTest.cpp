// Connecting the way users do: URLs, data sources of odbc.ini, the
// environment psql reads, the password asked on a terminal, and the
// messages for the usual mistakes. The real executable against the test
// run's PostgreSQL and real SQLite files, through the real driver manager
// (with a private odbc.ini and odbcinst.ini where data sources or drivers
// are part of the test; nothing is written to /etc).
#include "HostProcess.h"

#include <ImportHost.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>
#include <Terminal.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A URL's percent-encoding of every byte but letters, digits and those of
// keep.
std::string Encoded(const std::string& text, std::string_view keep = {}) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char ch : text) {
    if (std::isalnum(ch) != 0 || keep.find(static_cast<char>(ch)) != std::string_view::npos) {
      out += static_cast<char>(ch);
    } else {
      out += '%';
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out;
}

// The PG* variables scripts/pg exports, taken away: a URL must stand alone.
ProcessOptions WithoutPgEnvironment(const std::string& home) {
  ProcessOptions options;
  options.unset = {"PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGDATABASE", "PGPASSFILE", "PGSERVICE"};
  options.environment["HOME"] = home;
  return options;
}

// A database with one table and a login role whose password holds every
// character a URL or a connection string treats specially.
class PgConnectTest : public ::testing::Test {
 protected:
  static constexpr const char* kHostilePassword = "p@ss:w/rd;x}y{z#%?&=+ q'\"";

  void SetUp() override {
    QM_REQUIRE_PG();
    database_ = std::make_unique<TestDatabase>("connect");
    role_ = "qm_url_" + std::to_string(::getpid());
    std::string quoted;
    for (const char ch : std::string(kHostilePassword)) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
    const std::string setup = "CREATE TABLE orders (id integer PRIMARY KEY);\n"
                              "DROP ROLE IF EXISTS " + role_ + ";\n"
                              "CREATE ROLE " + role_ + " LOGIN PASSWORD '" + quoted + "';\n";
    ASSERT_EQ(RunPsql(database_->Name(), setup), "");
    host_ = Env("QM_PG_HOST");
    port_ = Env("QM_PG_PORT");
  }
  void TearDown() override {
    if (database_) RunPsql(database_->Name(), "DROP ROLE IF EXISTS " + role_ + ";");
  }

  std::string Url(const std::string& scheme = "postgresql") const {
    return scheme + "://" + role_ + ":" + Encoded(kHostilePassword) + "@" + host_ + ":" + port_ + "/" +
           database_->Name();
  }

  TempDir home_;
  std::unique_ptr<TestDatabase> database_;
  std::string role_;
  std::string host_;
  std::string port_;
};

// Both schemes, with a password holding @ : / ; } { # % ? & = + and quotes:
// the URL reaches the server whole, and the password is never printed.
TEST_F(PgConnectTest, UrlWithEveryPartImports) {
  for (const std::string scheme : {"postgresql", "postgres"}) {
    const ProcessResult result = Host({Url(scheme)}, WithoutPgEnvironment(home_.Path()));
    ASSERT_EQ(result.exitCode, 0) << scheme << "\n" << Printed(result);
    EXPECT_EQ(TableNames(result.out), Strings{"orders"}) << scheme;
    EXPECT_EQ(result.err.find("rd;x"), std::string::npos) << result.err;
  }
  // The parameters reach the server: one it refuses proves it.
  const ProcessResult options =
      Host({Url() + "?options=" + Encoded("-c default_transaction_isolation=bogus") + "&application_name=qm"},
           WithoutPgEnvironment(home_.Path()));
  EXPECT_EQ(options.exitCode, 3) << Printed(options);
  EXPECT_NE(options.err.find("bogus"), std::string::npos) << options.err;
  const ProcessResult ssl = Host({Url() + "?sslmode=require"}, WithoutPgEnvironment(home_.Path()));
  EXPECT_EQ(ssl.exitCode, 3) << Printed(ssl);
  EXPECT_NE(ssl.err.find("SSL"), std::string::npos) << ssl.err;
  // connect_timeout is --timeout's.
  const ProcessResult timeout = Host({Url() + "?connect_timeout=5"}, WithoutPgEnvironment(home_.Path()));
  EXPECT_EQ(timeout.exitCode, 2) << Printed(timeout);
  EXPECT_NE(timeout.err.find("--timeout"), std::string::npos) << timeout.err;
  // A wrong password: refused, and what was typed is masked in the message.
  const ProcessResult wrong = Host({"postgresql://" + role_ + ":wrong-secret@" + host_ + ":" + port_ + "/" +
                                    database_->Name() + "?bogus=1"},
                                   WithoutPgEnvironment(home_.Path()));
  EXPECT_EQ(wrong.exitCode, 2) << Printed(wrong);
  EXPECT_EQ(wrong.err.find("wrong-secret"), std::string::npos) << wrong.err;
}

// A database and a role whose names psqlODBC would read with the braces a
// connection string needs (';', '}', '{' first): the URL psql takes
// connects, and the model names the database.
TEST_F(PgConnectTest, NamesTheDriverWouldMisreadConnect) {
  const std::string database = "{qm;d}b" + role_, role = "{qm;r}o" + role_;
  struct Drop {
    std::string script;
    ~Drop() { RunPsql("postgres", script); }
  } drop{"DROP DATABASE IF EXISTS \"" + database + "\";\nDROP ROLE IF EXISTS \"" + role + "\";\n"};
  ASSERT_EQ(RunPsql("postgres", drop.script + "CREATE ROLE \"" + role + "\" LOGIN PASSWORD 'pw;x}';\nCREATE DATABASE \"" +
                                    database + "\" OWNER \"" + role + "\";\n"),
            "");
  const ProcessResult result =
      Host({"postgresql://" + Encoded(role) + ":" + Encoded("pw;x}") + "@" + host_ + ":" + port_ + "/" + Encoded(database)},
           WithoutPgEnvironment(home_.Path()));
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(nlohmann::json::parse(result.out)["properties"]["databaseName"], database);
}

// A Unix-socket folder, as a parameter or percent-encoded as the host
// (the test server trusts local connections).
TEST_F(PgConnectTest, UnixSocketHostsImport) {
  const std::string folder = Env("QM_PG_SOCKDIR");
  ASSERT_FALSE(folder.empty());
  for (const std::string& url :
       {"postgresql:///" + database_->Name() + "?host=" + folder + "&port=" + port_ + "&user=qm",
        "postgresql://qm@" + Encoded(folder) + ":" + port_ + "/" + database_->Name()}) {
    const ProcessResult result = Host({url, "--format", "json"}, WithoutPgEnvironment(home_.Path()));
    ASSERT_EQ(result.exitCode, 0) << url << "\n" << Printed(result);
    EXPECT_EQ(TableNames(result.out), Strings{"orders"}) << url;
  }
}

// What the URL leaves out comes from PGHOST, PGPORT, PGUSER, PGDATABASE and
// PGPASSWORD, as for psql: psqlODBC hands libpq only what it is given.
TEST_F(PgConnectTest, EnvironmentFillsWhatTheUrlLeavesOut) {
  ProcessOptions options = WithoutPgEnvironment(home_.Path());
  options.unset.clear();
  options.environment["PGHOST"] = host_;
  options.environment["PGPORT"] = port_;
  options.environment["PGUSER"] = role_;
  options.environment["PGPASSWORD"] = kHostilePassword;
  options.environment["PGDATABASE"] = database_->Name();
  const ProcessResult bare = Host({"postgresql://"}, options);
  ASSERT_EQ(bare.exitCode, 0) << Printed(bare);
  EXPECT_EQ(TableNames(bare.out), Strings{"orders"});
  // What the URL gives wins: another database is asked for, and missed.
  const ProcessResult named = Host({"postgresql:///no_such_database_here"}, options);
  EXPECT_EQ(named.exitCode, 3) << Printed(named);
  EXPECT_NE(named.err.find("no_such_database_here"), std::string::npos) << named.err;
}

// The password file, with psql's rules: ~/.pgpass (or PGPASSFILE) read only
// when no one else may read it; otherwise no password, and with no terminal
// to ask on, a message saying what to do and exit code 3 at once.
TEST_F(PgConnectTest, PasswordFileIsUsedAsPsqlUsesIt) {
  std::string escaped;
  for (const char ch : std::string(kHostilePassword)) {
    if (ch == ':' || ch == '\\') escaped += '\\';
    escaped += ch;
  }
  const std::string line = host_ + ":" + port_ + ":" + database_->Name() + ":" + role_ + ":" + escaped + "\n";
  const std::string url = "postgresql://" + role_ + "@" + host_ + ":" + port_ + "/" + database_->Name();
  WriteFile(home_.Path(".pgpass"), line);
  ASSERT_EQ(::chmod(home_.Path(".pgpass").c_str(), 0600), 0);
  const ProcessResult used = Host({url}, WithoutPgEnvironment(home_.Path()));
  ASSERT_EQ(used.exitCode, 0) << Printed(used);
  EXPECT_EQ(TableNames(used.out), Strings{"orders"});

  ASSERT_EQ(::chmod(home_.Path(".pgpass").c_str(), 0644), 0);
  const ProcessResult open = Host({url}, WithoutPgEnvironment(home_.Path()));
  EXPECT_EQ(open.exitCode, 3) << Printed(open);
  EXPECT_NE(open.err.find("permissions should be u=rw"), std::string::npos) << open.err;
  EXPECT_NE(open.err.find("no terminal to ask on"), std::string::npos) << open.err;

  TempDir other;
  WriteFile(other.Path("passwords"), line);
  ASSERT_EQ(::chmod(other.Path("passwords").c_str(), 0600), 0);
  ProcessOptions withFile = WithoutPgEnvironment(home_.Path());
  withFile.environment["PGPASSFILE"] = other.Path("passwords");
  const ProcessResult named = Host({url}, withFile);
  EXPECT_EQ(named.exitCode, 0) << Printed(named);
}

// A password the server wants and the source does not give is asked for
// on the terminal, without echo, as psql asks; Ctrl-D cancels.
TEST_F(PgConnectTest, MissingPasswordIsAskedOnTheTerminal) {
  const std::string url = "postgresql://" + role_ + "@" + host_ + ":" + port_ + "/" + database_->Name();
  ProcessOptions options = WithoutPgEnvironment(home_.Path());
  {
    TerminalProcess terminal(QM_IMPORT_EXE, {url, "--format", "tree", "--quiet"}, options);
    ASSERT_TRUE(terminal.WaitFor("Password for user " + role_ + ":", 60s)) << terminal.Printed();
    terminal.Type(std::string(kHostilePassword) + "\r");
    EXPECT_EQ(terminal.Wait(60s), 0) << terminal.Printed();
    EXPECT_EQ(terminal.Output().find("rd;x}y"), std::string::npos) << terminal.Printed();
    EXPECT_NE(terminal.Output().find("table orders"), std::string::npos) << terminal.Printed();
  }
  {
    TerminalProcess terminal(QM_IMPORT_EXE, {url, "--quiet"}, options);
    ASSERT_TRUE(terminal.WaitFor("Password for user " + role_ + ":", 60s)) << terminal.Printed();
    terminal.Type("\x04");
    EXPECT_EQ(terminal.Wait(60s), 130) << terminal.Printed();
  }
  {
    TerminalProcess terminal(QM_IMPORT_EXE, {url, "--quiet"}, options);
    ASSERT_TRUE(terminal.WaitFor("Password for user " + role_ + ":", 60s)) << terminal.Printed();
    terminal.Type("not-the-password\r");
    EXPECT_EQ(terminal.Wait(60s), 3) << terminal.Printed();
    EXPECT_NE(terminal.Output().find("password authentication failed"), std::string::npos) << terminal.Printed();
    EXPECT_EQ(terminal.Output().find("not-the-password"), std::string::npos) << terminal.Printed();
  }
}

// A private ODBC configuration: the system's drivers, and data sources of
// the test's own (ODBCSYSINI for the system files, ODBCINI for the user's).
class OdbcConfiguration {
 public:
  explicit OdbcConfiguration(const std::string& drivers = ReadFile("/etc/odbcinst.ini")) {
    WriteFile(dir_.Path("odbcinst.ini"), drivers);
    WriteFile(dir_.Path("odbc.ini"), "");
    WriteFile(dir_.Path("user.ini"), "");
  }
  void AddSystem(const std::string& section) { Append("odbc.ini", section); }
  void AddUser(const std::string& section) { Append("user.ini", section); }
  ProcessOptions Options(const std::string& home) const {
    ProcessOptions options = WithoutPgEnvironment(home);
    options.environment["ODBCSYSINI"] = dir_.Path();
    options.environment["ODBCINI"] = dir_.Path("user.ini");
    return options;
  }

 private:
  void Append(const std::string& file, const std::string& text) {
    WriteFile(dir_.Path(file), ReadFile(dir_.Path(file)) + text + "\n");
  }
  TempDir dir_;
};

// --dsn NAME and odbc://NAME: the data source's driver picks the plug-in;
// a URL's user, password and settings are added to the data source's.
TEST_F(PgConnectTest, DataSourcesImportByDsnAndOdbcUrl) {
  TempDir files;
  const std::string db = files.Path("lite shop.db");
  SqliteFile(db).Exec("CREATE TABLE items (id INTEGER PRIMARY KEY);");
  OdbcConfiguration odbc(ReadFile("/etc/odbcinst.ini") + "\n[Warehouse 9]\nDriver=/opt/warehouse/libwh9odbc.so\n");
  odbc.AddSystem("[pgshop]\nDriver=PostgreSQL Unicode\nServername=" + host_ + "\nPort=" + port_ +
                 "\nDatabase=" + database_->Name() + "\n");
  odbc.AddUser("[liteshop]\nDriver=SQLite3\nDatabase=" + db + "\n");
  const ProcessOptions options = odbc.Options(home_.Path());

  const ProcessResult lite = Host({"--dsn", "liteshop"}, options);
  ASSERT_EQ(lite.exitCode, 0) << Printed(lite);
  EXPECT_EQ(TableNames(lite.out), Strings{"items"});
  const ProcessResult url = Host({"odbc://" + role_ + ":" + Encoded(kHostilePassword) + "@pgshop"}, options);
  ASSERT_EQ(url.exitCode, 0) << Printed(url);
  EXPECT_EQ(TableNames(url.out), Strings{"orders"});
  EXPECT_EQ(url.err.find("rd;x"), std::string::npos) << url.err;
  ProcessOptions withUser = options;
  withUser.environment["PGUSER"] = role_;
  withUser.environment["PGPASSWORD"] = kHostilePassword;
  const ProcessResult dsn = Host({"--dsn", "PGSHOP"}, withUser);
  ASSERT_EQ(dsn.exitCode, 0) << Printed(dsn);
  EXPECT_EQ(TableNames(dsn.out), Strings{"orders"});

  const ProcessResult list = Host({"--list-dsns"}, options);
  ASSERT_EQ(list.exitCode, 0) << Printed(list);
  EXPECT_NE(list.out.find("liteshop  user    driver SQLite3             plug-in sqlite"), std::string::npos)
      << list.out;
  EXPECT_NE(list.out.find("pgshop    system  driver PostgreSQL Unicode  plug-in postgres"), std::string::npos)
      << list.out;
  const ProcessResult drivers = Host({"--list-drivers"}, options);
  ASSERT_EQ(drivers.exitCode, 0) << Printed(drivers);
  EXPECT_NE(drivers.out.find("plug-in postgres"), std::string::npos) << drivers.out;
  // A driver no plug-in lists is read by the one that reads any driver.
  const std::size_t warehouse = drivers.out.find("Warehouse 9 ");
  ASSERT_NE(warehouse, std::string::npos) << drivers.out;
  const std::string line = drivers.out.substr(warehouse, drivers.out.find('\n', warehouse) - warehouse);
  EXPECT_TRUE(line.ends_with("/opt/warehouse/libwh9odbc.so  plug-in odbc (reads any driver)")) << line;

  const ProcessResult missing = Host({"--dsn", "nowhere"}, options);
  EXPECT_EQ(missing.exitCode, 2) << Printed(missing);
  EXPECT_NE(missing.err.find("there is no ODBC data source named \"nowhere\"; data sources: liteshop, pgshop"),
            std::string::npos)
      << missing.err;
  const ProcessResult missingUrl = Host({"odbc://nowhere"}, options);
  EXPECT_EQ(missingUrl.exitCode, 2) << Printed(missingUrl);
  // A parameter's key that would write settings of its own (a second DSN)
  // into the connection string.
  for (const std::string key : {"x%3BDSN", "DSN%3Dpgshop%3Bx", "%7BDSN%7D", "DSN%20", "%0ADSN"}) {
    const ProcessResult injected = Host({"odbc://liteshop?" + key + "=pgshop"}, options);
    EXPECT_NE(injected.err.find("is not a setting's name"), std::string::npos) << key << "\n" << Printed(injected);
  }
}

// A driver that is not installed is named with the Debian package that
// brings it, for a URL and for a data source alike.
TEST_F(PgConnectTest, MissingDriverNamesItsPackage) {
  OdbcConfiguration odbc("[SQLite3]\nDriver=libsqlite3odbc.so\n");
  odbc.AddSystem("[pgshop]\nDriver=PostgreSQL Unicode\nServername=" + host_ + "\n");
  const ProcessOptions options = odbc.Options(home_.Path());
  for (const Strings& args : {Strings{Url()}, Strings{"--dsn", "pgshop"}}) {
    const ProcessResult result = Host(args, options);
    EXPECT_EQ(result.exitCode, 3) << Printed(result);
    EXPECT_NE(result.err.find("the ODBC driver \"PostgreSQL Unicode\" is not installed (Debian package "
                              "odbc-postgresql: apt-get install odbc-postgresql); installed: \"SQLite3\""),
              std::string::npos)
        << result.err;
  }
}

// diff with a live side: a database checked against its committed model
// fails (exit 1) once it has changed, through a URL or an import option.
TEST_F(PgConnectTest, DiffComparesACommittedModelWithTheLiveDatabase) {
  TempDir dir;
  const ProcessOptions options = WithoutPgEnvironment(home_.Path());
  const ProcessResult committed = Host({Url(), "-o", dir.Path("committed.json")}, options);
  ASSERT_EQ(committed.exitCode, 0) << Printed(committed);
  const ProcessResult same = Host({"diff", dir.Path("committed.json"), Url()}, options);
  EXPECT_EQ(same.exitCode, 0) << Printed(same);
  EXPECT_EQ(same.out, "no differences\n");
  EXPECT_EQ(same.err, "");

  ASSERT_EQ(RunPsql(database_->Name(), "ALTER TABLE orders ADD COLUMN note text;"), "");
  const ProcessResult changed = Host({"diff", dir.Path("committed.json"), Url()}, options);
  EXPECT_EQ(changed.exitCode, 1) << Printed(changed);
  EXPECT_EQ(changed.out, "+ column public.orders.note\n1 object differs: 1 added, 0 removed, 0 changed\n")
      << changed.out;
  EXPECT_EQ(changed.err.find("rd;x"), std::string::npos) << changed.err;
  // The live side first, and given by an import option, with --schema.
  // The password braced, its '}' doubled, as a connection string holds it.
  const std::string connection = "Servername=" + host_ + ";Port=" + port_ + ";Database=" + database_->Name() +
                                 ";UID=" + role_ + ";PWD={p@ss:w/rd;x}}y{z#%?&=+ q'\"}";
  const ProcessResult byOption = Host({"diff", dir.Path("committed.json"), "--schema", "public", "--postgres",
                                       connection,
                                       "--format", "json"},
                                      options);
  EXPECT_EQ(byOption.exitCode, 1) << Printed(byOption);
  EXPECT_NE(byOption.out.find("\"added\": 1"), std::string::npos) << byOption.out;
  const ProcessResult reversed = Host({"diff", Url(), dir.Path("committed.json")}, options);
  EXPECT_EQ(reversed.exitCode, 1) << Printed(reversed);
  EXPECT_NE(reversed.out.find("- column public.orders.note"), std::string::npos) << reversed.out;
  // A live side that cannot be reached is an error, not a difference.
  const ProcessResult unreachable =
      Host({"diff", dir.Path("committed.json"), "postgresql://" + role_ + "@" + host_ + ":1/x"}, options);
  EXPECT_EQ(unreachable.exitCode, 3) << Printed(unreachable);
}

// sqlite: URLs name a file, absolute or relative, any character encoded.
TEST(ConnectTest, SqliteUrlsImportTheFile) {
  TempDir dir;
  const std::string name = "my shop;v=2 {x}.db";
  SqliteFile(dir.Path(name)).Exec("CREATE TABLE items (id INTEGER PRIMARY KEY);");
  ProcessOptions inDir;
  inDir.workingDirectory = dir.Path();
  for (const std::string& url : {"sqlite://" + Encoded(dir.Path(name), "/"), "sqlite:" + Encoded(name),
                                 "sqlite://localhost" + Encoded(dir.Path(name), "/.")}) {
    const ProcessResult result = Host({url}, inDir);
    ASSERT_EQ(result.exitCode, 0) << url << "\n" << Printed(result);
    EXPECT_EQ(TableNames(result.out), Strings{"items"}) << url;
  }
  // A blank must be encoded: the URL does not parse, and says where.
  const ProcessResult blank = Host({"sqlite://" + dir.Path(name)});
  EXPECT_EQ(blank.exitCode, 2) << Printed(blank);
  EXPECT_NE(blank.err.find("blanks and control characters must be percent-encoded"), std::string::npos) << blank.err;
  const ProcessResult host = Host({"sqlite://server/srv/shop.db"});
  EXPECT_EQ(host.exitCode, 2) << Printed(host);
  EXPECT_NE(host.err.find("not the host \"server\""), std::string::npos) << host.err;
  const ProcessResult none = Host({"sqlite:///no/such/file.db"});
  EXPECT_EQ(none.exitCode, 3) << Printed(none);
}

// The usual mistakes, each with what to do.
TEST(ConnectTest, MistakesAreExplained) {
  const ProcessResult unknown = Host({"oracle://db/shop"});
  EXPECT_EQ(unknown.exitCode, 2) << Printed(unknown);
  EXPECT_NE(unknown.err.find("no plug-in found reads oracle: URLs; known: mariadb://, mysql://, postgresql://, postgres://, sqlite://, "
                             "odbc://NAME (a data source)"),
            std::string::npos)
      << unknown.err;
  const ProcessResult notUrl = Host({"shop.db"});
  EXPECT_EQ(notUrl.exitCode, 2) << Printed(notUrl);
  EXPECT_NE(notUrl.err.find("\"shop.db\" is not a URL"), std::string::npos) << notUrl.err;
  const ProcessResult broken = Host({"postgresql://me:secret@db:54x2/shop"});
  EXPECT_EQ(broken.exitCode, 2) << Printed(broken);
  EXPECT_EQ(broken.err,
            "error: the URL does not parse: the port is not a number from 1 to 65535\n"
            "  postgresql://me:****@db:54x2/shop\n"
            "                            ^\n");
  const ProcessResult twice = Host({"postgresql://db/shop", "--sqlite", "x.db"});
  EXPECT_EQ(twice.exitCode, 2) << Printed(twice);
  const ProcessResult parameter = Host({"postgresql://db/shop?sslmod=require"});
  EXPECT_EQ(parameter.exitCode, 2) << Printed(parameter);
  EXPECT_NE(parameter.err.find("unknown parameter \"sslmod\""), std::string::npos) << parameter.err;
}

}  // namespace
}  // namespace qm::test

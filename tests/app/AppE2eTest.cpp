// End-to-end tests of quillmere-import: the real executable, run as a
// subprocess, loads the real module and plug-ins and reads SQLite databases
// through the real driver manager and SQLite ODBC driver. The models it
// writes are checked against what SQLite itself reports.
#include "ModelFile.h"
#include "PgTestEnv.h"
#include "SqliteCatalogue.h"
#include "Subprocess.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace qm::test {
namespace {

namespace fs = std::filesystem;

const std::string kExe = QM_IMPORT_EXE;
const std::string kSecret = "secret123";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

int LineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Everything the process printed, for failure messages.
std::string Printed(const ProcessResult& result) {
  return "exit " + std::to_string(result.exitCode) + "\n--- stderr\n" + result.err + "--- stdout (" +
         std::to_string(result.out.size()) + " bytes)\n" + result.out.substr(0, 2000);
}

// A private directory per test, removed afterwards.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qm-app-test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  static ProcessResult Run(const std::vector<std::string>& args, const ProcessOptions& options = {}) {
    ProcessResult result = RunProcess(kExe, args, options);
    EXPECT_FALSE(result.timedOut) << Printed(result);
    return result;
  }

  // Runs the import and parses the JSON it wrote on standard output.
  static ModelFile Import(const std::vector<std::string>& args, int expectedExit = 0) {
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, expectedExit) << Printed(result);
    try {
      return ModelFile::Parse(result.out);
    } catch (const std::exception& e) {
      ADD_FAILURE() << "the output is not a model: " << e.what() << "\n" << Printed(result);
      return ModelFile::Parse(R"({"id":1,"type":"model"})");
    }
  }

  fs::path m_dir;
};

std::string SampleScript() {
  const std::string script = ReadFile(QM_SAMPLE_SQL);
  EXPECT_FALSE(script.empty()) << QM_SAMPLE_SQL;
  return script;
}

// The model holds exactly the tables, columns, keys, foreign keys (with
// their referenced tables), indexes, views and triggers SQLite reports.
void ExpectModelMatchesCatalogue(const ModelFile& model, const SqliteCatalogue& catalogue) {
  std::set<std::string> tableNames;
  for (const ModelObject* table : model.OfType("table")) {
    const std::string name = ModelFile::Text(*table, "name");
    SCOPED_TRACE("table " + name);
    EXPECT_TRUE(tableNames.insert(name).second) << "imported twice";
    const auto found = catalogue.tables.find(name);
    if (found == catalogue.tables.end()) {
      ADD_FAILURE() << "not a table SQLite reports";
      continue;
    }
    const SqliteTable& expected = found->second;

    std::vector<std::string> columns;
    for (const ModelObject* column : model.Children(*table, "column")) columns.push_back(ModelFile::Text(*column, "name"));
    EXPECT_EQ(columns, expected.columns);

    int primaryKeys = 0;
    int uniqueKeys = 0;
    for (const ModelObject* key : model.Children(*table, "key")) {
      const std::string type = ModelFile::Text(*key, "keyType");
      if (type == "PRIMARY KEY") {
        ++primaryKeys;
        EXPECT_EQ(model.Names(ModelFile::Ids(*key, "keyColumns")), expected.primaryKey);
      } else {
        EXPECT_EQ(type, "UNIQUE");
        ++uniqueKeys;
        EXPECT_FALSE(ModelFile::Ids(*key, "keyColumns").empty());
      }
    }
    EXPECT_EQ(primaryKeys, expected.primaryKey.empty() ? 0 : 1);
    EXPECT_EQ(uniqueKeys, expected.uniqueConstraints);

    std::multiset<std::string> targets;
    for (const ModelObject* foreignKey : model.Children(*table, "foreignKey")) {
      const std::vector<int> referenced = ModelFile::Ids(*foreignKey, "referencedTable");
      ASSERT_EQ(referenced.size(), 1u) << "foreign key " << ModelFile::Text(*foreignKey, "name");
      targets.insert(ModelFile::Text(model.Object(referenced[0]), "name"));
      EXPECT_EQ(model.Object(referenced[0]).type, "table");
      EXPECT_FALSE(ModelFile::Ids(*foreignKey, "foreignKeyColumns").empty());
    }
    EXPECT_EQ(targets, expected.foreignKeyTargets);

    std::set<std::string> indexes;
    for (const ModelObject* index : model.Children(*table, "index")) indexes.insert(ModelFile::Text(*index, "name"));
    EXPECT_EQ(indexes, expected.indexes);
  }
  std::set<std::string> expectedTables;
  for (const auto& [name, table] : catalogue.tables) expectedTables.insert(name);
  EXPECT_EQ(tableNames, expectedTables);

  std::set<std::string> views;
  for (const ModelObject* view : model.OfType("view")) views.insert(ModelFile::Text(*view, "name"));
  EXPECT_EQ(views, catalogue.views);
  std::set<std::string> triggers;
  for (const ModelObject* trigger : model.OfType("trigger")) triggers.insert(ModelFile::Text(*trigger, "name"));
  EXPECT_EQ(triggers, catalogue.triggers);
}

// ---- The bundled sample

TEST_F(AppTest, SampleModelMatchesWhatSqliteReports) {
  const fs::path reference = m_dir / "reference.db";
  CreateSqliteDatabase(reference, SampleScript());
  const SqliteCatalogue catalogue = ReadSqliteCatalogue(reference);
  ASSERT_GE(catalogue.tables.size(), 12u);

  // No database option: the sample compiled into the executable.
  const ModelFile model = Import({"--quiet"});
  ExpectModelMatchesCatalogue(model, catalogue);

  // Names with quotes, spaces and non-ASCII letters arrive intact.
  std::set<std::string> names;
  for (const std::string type : {"table", "column", "view", "trigger", "index"}) {
    for (const ModelObject* object : model.OfType(type)) names.insert(ModelFile::Text(*object, "name"));
  }
  for (const std::string expected :
       {"Bücher", "Заказы", "номер", "naïve name", "audit log", "changed \"when\"", "O'Brien's note",
        "Bücher \"beliebt\"", "open orders", "trg Bücher löschen", "idx Bücher price"}) {
    EXPECT_EQ(names.count(expected), 1u) << expected;
  }
}

TEST_F(AppTest, SampleSpotChecks) {
  const ModelFile model = Import({"--quiet", "--format", "json"});
  auto table = [&](const std::string& name) -> const ModelObject& {
    for (const ModelObject* object : model.OfType("table")) {
      if (ModelFile::Text(*object, "name") == name) return *object;
    }
    throw std::runtime_error("no table " + name);
  };
  // A composite foreign key onto a composite primary key, with its actions.
  const std::vector<const ModelObject*> movementKeys = model.Children(table("stock_movements"), "foreignKey");
  ASSERT_EQ(movementKeys.size(), 1u);
  EXPECT_EQ(model.Names(ModelFile::Ids(*movementKeys[0], "foreignKeyColumns")),
            (std::vector<std::string>{"warehouse_code", "isbn"}));
  EXPECT_EQ(model.Names(ModelFile::Ids(*movementKeys[0], "referencedTable")), std::vector<std::string>{"stock"});
  EXPECT_EQ(ModelFile::Text(*movementKeys[0], "onUpdate"), "CASCADE");
  EXPECT_EQ(ModelFile::Text(*movementKeys[0], "onDelete"), "NO ACTION");

  // A partial index keeps its predicate; an expression index its expression.
  const std::vector<const ModelObject*> orderIndexes = model.Children(table("Заказы"), "index");
  ASSERT_EQ(orderIndexes.size(), 1u);
  EXPECT_EQ(ModelFile::Text(*orderIndexes[0], "predicate"), "status = 'open'");
  bool sawExpression = false;
  for (const ModelObject* index : model.Children(table("customers"), "index")) {
    if (ModelFile::Text(*index, "name") == "ux_customers_email_lower") {
      sawExpression = true;
      EXPECT_EQ(ModelFile::Text(*index, "expressions"), "lower(email)");
    }
  }
  EXPECT_TRUE(sawExpression);

  // The root carries the names the connector read.
  EXPECT_FALSE(ModelFile::Text(model.Root(), "databaseName").empty());
}

TEST_F(AppTest, TreeOutlinesTheSample) {
  const ProcessResult result = Run({"--format", "tree", "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  const std::string& tree = result.out;
  std::vector<std::string> lines;
  std::istringstream in(tree);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto has = [&](const std::string& wanted) { return std::find(lines.begin(), lines.end(), wanted) != lines.end(); };

  EXPECT_TRUE(has("schema main")) << tree;
  EXPECT_TRUE(has("  table Bücher")) << tree;
  EXPECT_TRUE(has("  table \"audit log\"")) << tree;
  EXPECT_TRUE(has("  view \"Bücher \"\"beliebt\"\"\"")) << tree;
  EXPECT_TRUE(has("    primary key pk_order_lines (номер, line_no)")) << tree;
  EXPECT_TRUE(has("    unique uq_customer_email (email)") || has("    unique sqlite_autoindex_customers_1 (email)"))
      << tree;
  EXPECT_TRUE(has("    index idx_orders_open (customer_id, ordered_at)  where status = 'open'")) << tree;
  EXPECT_TRUE(has("    index ux_customers_email_lower (lower(email))  unique")) << tree;
  EXPECT_TRUE(has("    trigger \"trg Bücher löschen\"  BEFORE DELETE")) << tree;
  // Columns: aligned name and type, then constraints.
  const bool foreignKeyLine = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("(номер) \u2192 Заказы (номер)  ON DELETE CASCADE  ON UPDATE CASCADE") != std::string::npos;
  });
  EXPECT_TRUE(foreignKeyLine) << tree;
  const bool countryColumn = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("country_code") != std::string::npos && line.find("CHAR(2)") != std::string::npos &&
           line.find("NOT NULL  DEFAULT 'DE'") != std::string::npos;
  });
  EXPECT_TRUE(countryColumn) << tree;
}

// ---- A large generated database

class LargeDatabaseTest : public AppTest {
 protected:
  static constexpr int kTables = 1000;

  // kTables tables of 10 columns each: a primary key, a foreign key to the
  // previous table, an index.
  static void CreateLargeDatabase(const fs::path& path) {
    std::string script = "BEGIN;\n";
    char name[16];
    for (int i = 1; i <= kTables; ++i) {
      std::snprintf(name, sizeof name, "t%04d", i);
      script += std::string("CREATE TABLE ") + name + " (id INTEGER PRIMARY KEY, ";
      if (i > 1) {
        char previous[16];
        std::snprintf(previous, sizeof previous, "t%04d", i - 1);
        script += std::string("prev_id INTEGER REFERENCES ") + previous + " (id) ON DELETE CASCADE, ";
      } else {
        script += "prev_id INTEGER, ";
      }
      script += "code TEXT NOT NULL, label TEXT, amount NUMERIC(12,2) DEFAULT 0, created TEXT, "
                "flag INTEGER NOT NULL DEFAULT 0, note TEXT, score REAL, extra BLOB);\n";
      script += std::string("CREATE INDEX idx_") + name + "_code ON " + name + " (code, prev_id);\n";
    }
    script += "COMMIT;\n";
    CreateSqliteDatabase(path, script);
  }
};

TEST_F(LargeDatabaseTest, ThousandTablesMatchWhatSqliteReports) {
  const fs::path database = m_dir / "t1000.db";
  CreateLargeDatabase(database);
  const SqliteCatalogue catalogue = ReadSqliteCatalogue(database);
  ASSERT_EQ(catalogue.tables.size(), static_cast<std::size_t>(kTables));

  const ModelFile model = Import({"--sqlite", database.string(), "--quiet"});
  EXPECT_EQ(model.OfType("table").size(), 1000u);
  EXPECT_EQ(model.OfType("column").size(), 10000u);
  EXPECT_EQ(model.OfType("key").size(), 1000u);
  EXPECT_EQ(model.OfType("foreignKey").size(), 999u);
  EXPECT_EQ(model.OfType("index").size(), 1000u);
  ExpectModelMatchesCatalogue(model, catalogue);

  // Spot checks: a foreign key reaches the table before; index columns.
  for (const ModelObject* table : model.OfType("table")) {
    const std::string name = ModelFile::Text(*table, "name");
    if (name != "t0500" && name != "t1000") continue;
    const std::vector<const ModelObject*> foreignKeys = model.Children(*table, "foreignKey");
    ASSERT_EQ(foreignKeys.size(), 1u);
    EXPECT_EQ(model.Names(ModelFile::Ids(*foreignKeys[0], "referencedTable")),
              std::vector<std::string>{name == "t0500" ? "t0499" : "t0999"});
    EXPECT_EQ(model.Names(ModelFile::Ids(*foreignKeys[0], "referencedColumns")), std::vector<std::string>{"id"});
    EXPECT_EQ(ModelFile::Text(*foreignKeys[0], "onDelete"), "CASCADE");
    const std::vector<const ModelObject*> indexes = model.Children(*table, "index");
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_EQ(model.Names(ModelFile::Ids(*indexes[0], "indexColumns")), (std::vector<std::string>{"code", "prev_id"}));
  }
}

// Ctrl-C during an import: the import stops reading and ends normally, the
// host exits with 130 and writes nothing; an existing output file is kept.
// The host sends itself the SIGINT after the first progress message (a
// test-only switch), so the key press lands inside the import every time.
TEST_F(LargeDatabaseTest, InterruptCancelsAndWritesNothing) {
  const fs::path database = m_dir / "t1000.db";
  CreateLargeDatabase(database);
  const fs::path output = m_dir / "model.json";
  WriteFile(output, "previous model\n");

  ProcessOptions options;
  options.environment["QM_TEST_INTERRUPT_AFTER_PROGRESS"] = "1";
  const ProcessResult toFile = Run({"--sqlite", database.string(), "-o", output.string()}, options);
  EXPECT_EQ(toFile.exitCode, 130) << Printed(toFile);
  EXPECT_NE(toFile.err.find("cancelled"), std::string::npos) << Printed(toFile);
  EXPECT_EQ(ReadFile(output), "previous model\n");
  // Nothing left beside it either.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);

  const ProcessResult toStdout = Run({"--sqlite", database.string()}, options);
  EXPECT_EQ(toStdout.exitCode, 130) << Printed(toStdout);
  EXPECT_TRUE(toStdout.out.empty()) << Printed(toStdout);
}

// ---- Exit codes and messages

TEST_F(AppTest, MissingDatabaseFileIsConnectFailureAndNotCreated) {
  const fs::path missing = m_dir / "missing.db";
  const ProcessResult result = Run({"--sqlite", missing.string()});
  EXPECT_EQ(result.exitCode, 3) << Printed(result);
  EXPECT_EQ(LineCount(result.err), 1) << Printed(result);
  EXPECT_EQ(result.err.rfind("error: could not connect: ", 0), 0u) << Printed(result);
  EXPECT_TRUE(result.out.empty()) << Printed(result);
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(AppTest, DirectoryOrNonSqliteFileIsNotImported) {
  const ProcessResult directory = Run({"--sqlite", m_dir.string()});
  EXPECT_EQ(directory.exitCode, 3) << Printed(directory);
  EXPECT_EQ(LineCount(directory.err), 1) << Printed(directory);
  EXPECT_TRUE(directory.out.empty());

  const fs::path text = m_dir / "notes.txt";
  WriteFile(text, std::string(4096, 'x'));
  const ProcessResult notSqlite = Run({"--sqlite", text.string()});
  EXPECT_EQ(notSqlite.exitCode, 3) << Printed(notSqlite);
  EXPECT_EQ(LineCount(notSqlite.err), 1) << Printed(notSqlite);
  EXPECT_TRUE(notSqlite.out.empty());
  EXPECT_EQ(ReadFile(text), std::string(4096, 'x'));
}

TEST_F(AppTest, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--format", "xml"},
           {"--no-such-option"},
           {"--sqlite", "a.db", "--connect", "Driver={SQLite3};Database=a.db"},
           {"--sqlite"},
           {"--connect", "Driver={NoSuchDriver};Database=x"},
           {"--connect", "Database=x.db"},
       }) {
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << args[0] << "\n" << Printed(result);
    EXPECT_TRUE(result.out.empty()) << Printed(result);
    EXPECT_NE(result.err.find("error: "), std::string::npos) << Printed(result);
  }
  const ProcessResult unknownDriver = Run({"--connect", "Driver={NoSuchDriver};Database=x"});
  EXPECT_NE(unknownDriver.err.find("NoSuchDriver"), std::string::npos) << Printed(unknownDriver);
}

TEST_F(AppTest, HelpAndVersionExitWithZero) {
  const ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--sqlite"), std::string::npos);
  EXPECT_NE(help.out.find("130"), std::string::npos) << "the exit codes are listed";
  const ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("quillmere-import ", 0), 0u) << version.out;
}

// A password given on the command line is never printed, whatever fails.
TEST_F(AppTest, PasswordNeverPrinted) {
  const std::string postgres = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Uid=u;Pwd=" + kSecret;
  const bool havePostgresPlugin = fs::exists(fs::path(kExe).parent_path() / "../lib/libqm_postgres.so");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--connect", postgres},
           {"--postgres", postgres},
           {"--connect", "Driver={Oracle 19};Uid=scott;Password=" + kSecret},
           {"--connect", "DSN=warehouse;PWD={" + kSecret + "}"},
           {"unexpected", "Pwd=" + kSecret},
       }) {
    const ProcessResult result = Run(args);
    EXPECT_NE(result.exitCode, 0) << Printed(result);
    EXPECT_EQ(result.out.find(kSecret), std::string::npos) << Printed(result);
    EXPECT_EQ(result.err.find(kSecret), std::string::npos) << Printed(result);
  }
  // Refused at the port: could not connect, or no plug-in to try with.
  const ProcessResult refused = Run({"--connect", postgres});
  EXPECT_EQ(refused.exitCode, havePostgresPlugin ? 3 : 4) << Printed(refused);
  EXPECT_EQ(LineCount(refused.err), 1) << Printed(refused);
}

// The module and the plug-ins come from QM_LIB_DIR when it is set; what is
// missing there is named, and nothing is imported.
TEST_F(AppTest, MissingModuleOrPluginIsNamed) {
  const fs::path libs = fs::path(kExe).parent_path() / ".." / "lib";
  const fs::path empty = m_dir / "empty";
  fs::create_directory(empty);
  ProcessOptions options;
  options.environment["QM_LIB_DIR"] = empty.string();
  const ProcessResult noModule = Run({"--quiet"}, options);
  EXPECT_EQ(noModule.exitCode, 4) << Printed(noModule);
  EXPECT_NE(noModule.err.find("libschemaimport.so"), std::string::npos) << Printed(noModule);
  EXPECT_TRUE(noModule.out.empty());

  // The module and the SQLite plug-in only: PostgreSQL is not available.
  const fs::path partial = m_dir / "partial";
  fs::create_directory(partial);
  fs::create_symlink(fs::canonical(libs / "libschemaimport.so"), partial / "libschemaimport.so");
  fs::create_symlink(fs::canonical(libs / "libqm_sqlite.so"), partial / "libqm_sqlite.so");
  options.environment["QM_LIB_DIR"] = partial.string();
  const ProcessResult noPlugin =
      Run({"--postgres", "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Pwd=" + kSecret}, options);
  EXPECT_EQ(noPlugin.exitCode, 4) << Printed(noPlugin);
  EXPECT_NE(noPlugin.err.find("PostgreSQL plug-in is not available"), std::string::npos) << Printed(noPlugin);
  EXPECT_EQ(noPlugin.err.find(kSecret), std::string::npos) << Printed(noPlugin);
  EXPECT_EQ(LineCount(noPlugin.err), 1) << Printed(noPlugin);

  // The same directory serves a SQLite import.
  const ProcessResult sample = Run({"--quiet"}, options);
  EXPECT_EQ(sample.exitCode, 0) << Printed(sample);
}

// ---- PostgreSQL, through the test server (scripts/pg)

// Where the value of the Pwd/Password attribute of a connection string
// lies: {offset, length}; {npos, 0} when it has none.
std::pair<std::size_t, std::size_t> PasswordSpan(const std::string& connect) {
  std::string lower = connect;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const std::string key : {"pwd=", "password="}) {
    const std::size_t at = lower.find(key);
    if (at == std::string::npos) continue;
    const std::size_t value = at + key.size();
    const std::size_t end = std::min(connect.find(';', value), connect.size());
    return {value, end - value};
  }
  return {std::string::npos, 0};
}

std::string WithPassword(std::string connect, const std::string& password) {
  const auto [at, length] = PasswordSpan(connect);
  if (at == std::string::npos) return connect + ";Pwd=" + password;
  return connect.replace(at, length, password);
}

TEST_F(AppTest, PostgresImportAndWrongPassword) {
  QM_REQUIRE_PG();
  const std::string connect = *PgConnectionString();
  const std::string schema = "qm_app_e2e_" + std::to_string(::getpid());
  auto psql = [](const std::string& sql) {
    // psql reaches the server through the PG* variables scripts/pg exports.
    return RunProcess("/usr/bin/psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-c", sql});
  };
  const ProcessResult created = psql("CREATE SCHEMA " + schema + ";"
                                     "CREATE TABLE " + schema + ".\"Kunden\" (id int PRIMARY KEY, name text NOT NULL UNIQUE);"
                                     "CREATE TABLE " + schema + ".orders (id bigint PRIMARY KEY, "
                                     "kunde int REFERENCES " + schema + ".\"Kunden\" (id) ON DELETE CASCADE);"
                                     "CREATE INDEX orders_open ON " + schema + ".orders (kunde) WHERE kunde > 0;");
  ASSERT_EQ(created.exitCode, 0) << Printed(created);
  struct DropSchema {
    std::function<void()> drop;
    ~DropSchema() { drop(); }
  } dropSchema{[&] { psql("DROP SCHEMA " + schema + " CASCADE"); }};

  // --postgres, and --connect choosing the plug-in by the Driver.
  for (const std::string option : {"--postgres", "--connect"}) {
    SCOPED_TRACE(option);
    const ModelFile model = Import({option, connect, "--schema", schema, "--quiet"});
    const std::vector<const ModelObject*> schemas = model.OfType("schema");
    ASSERT_EQ(schemas.size(), 1u);
    EXPECT_EQ(ModelFile::Text(*schemas[0], "name"), schema);
    const std::vector<const ModelObject*> tables = model.Children(*schemas[0], "table");
    ASSERT_EQ(tables.size(), 2u);
    const std::vector<const ModelObject*> foreignKeys = model.OfType("foreignKey");
    ASSERT_EQ(foreignKeys.size(), 1u);
    EXPECT_EQ(model.Names(ModelFile::Ids(*foreignKeys[0], "referencedTable")), std::vector<std::string>{"Kunden"});
    EXPECT_EQ(model.OfType("index").size(), 1u);
  }

  // A wrong password: could not connect, in one line, and neither the
  // wrong nor the right password is printed.
  const auto [at, length] = PasswordSpan(connect);
  ASSERT_NE(at, std::string::npos) << "QM_PG_CONNECT has no password";
  const std::string password = connect.substr(at, length);
  ProcessOptions noFallback;
  noFallback.unset = {"PGPASSWORD", "PGPASSFILE"};
  const ProcessResult wrong = Run({"--postgres", WithPassword(connect, kSecret)}, noFallback);
  EXPECT_EQ(wrong.exitCode, 3) << Printed(wrong);
  EXPECT_EQ(LineCount(wrong.err), 1) << Printed(wrong);
  EXPECT_EQ(wrong.err.rfind("error: could not connect: [", 0), 0u) << Printed(wrong);
  for (const std::string& secret : {kSecret, password}) {
    EXPECT_EQ(wrong.err.find(secret), std::string::npos) << Printed(wrong);
    EXPECT_EQ(wrong.out.find(secret), std::string::npos) << Printed(wrong);
  }
}

// ---- Output

TEST_F(AppTest, OutputFileGetsTheModelAndUnwritableTargetsFailEarly) {
  const ProcessResult toStdout = Run({"--quiet"});
  ASSERT_EQ(toStdout.exitCode, 0) << Printed(toStdout);

  const fs::path output = m_dir / "model.json";
  WriteFile(output, "old");
  const ProcessResult toFile = Run({"--quiet", "-o", output.string()});
  ASSERT_EQ(toFile.exitCode, 0) << Printed(toFile);
  EXPECT_TRUE(toFile.out.empty());
  // The same model; the sample's temporary path differs between runs.
  const ModelFile a = ModelFile::Parse(toStdout.out);
  const ModelFile b = ModelFile::Parse(ReadFile(output));
  EXPECT_EQ(a.OfType("column").size(), b.OfType("column").size());
  EXPECT_EQ(a.OfType("table").size(), b.OfType("table").size());

  const ProcessResult toDirectory = Run({"--quiet", "-o", m_dir.string()});
  EXPECT_EQ(toDirectory.exitCode, 4) << Printed(toDirectory);
  EXPECT_EQ(LineCount(toDirectory.err), 1) << Printed(toDirectory);
  const ProcessResult noParent = Run({"--quiet", "-o", (m_dir / "no" / "such" / "dir.json").string()});
  EXPECT_EQ(noParent.exitCode, 4) << Printed(noParent);
}

// A statement that fails leaves the rest of the model: it is written, the
// statement is named with the driver's reason, and the exit code is 5.
TEST_F(AppTest, FailedStatementIsNamedAndModelStillWritten) {
  const fs::path database = m_dir / "ghost.db";
  // A virtual table whose module no connection has: reading its columns
  // fails with "no such module".
  CreateSqliteDatabase(database,
                       "CREATE TABLE plain (id INTEGER PRIMARY KEY, name TEXT NOT NULL);"
                       "PRAGMA writable_schema = ON;"
                       "INSERT INTO sqlite_schema (type, name, tbl_name, rootpage, sql) VALUES "
                       "('table', 'ghost', 'ghost', 0, 'CREATE VIRTUAL TABLE ghost USING nosuchmodule(x)');"
                       "PRAGMA writable_schema = OFF;");
  const fs::path output = m_dir / "model.json";
  const ProcessResult result = Run({"--sqlite", database.string(), "-o", output.string()});
  EXPECT_EQ(result.exitCode, 5) << Printed(result);
  EXPECT_NE(result.err.find("nosuchmodule"), std::string::npos) << Printed(result);
  EXPECT_NE(result.err.find("virtual table columns"), std::string::npos) << Printed(result);
  const ModelFile model = ModelFile::Parse(ReadFile(output));
  bool plain = false;
  for (const ModelObject* table : model.OfType("table")) {
    if (ModelFile::Text(*table, "name") != "plain") continue;
    plain = true;
    EXPECT_EQ(model.Children(*table, "column").size(), 2u);
  }
  EXPECT_TRUE(plain);
}

// The bundled sample's temporary database goes away after a normal run and
// when the process is ended by a reader that went away (SIGPIPE).
TEST_F(AppTest, SampleLeavesNoTemporaryFiles) {
  const fs::path tmp = m_dir / "tmp";
  fs::create_directory(tmp);
  ProcessOptions options;
  options.environment["TMPDIR"] = tmp.string();
  const ProcessResult normal = Run({"--quiet", "--format", "tree"}, options);
  EXPECT_EQ(normal.exitCode, 0) << Printed(normal);
  EXPECT_TRUE(fs::is_empty(tmp));

  options.closeStdout = true;
  const ProcessResult noReader = Run({"--quiet", "--format", "tree"}, options);
  EXPECT_EQ(noReader.exitCode, 128 + SIGPIPE) << Printed(noReader);
  EXPECT_TRUE(fs::is_empty(tmp));
}

// ---- Progress on standard error when it is not a terminal

TEST_F(AppTest, PlainProgressLinesAndSummary) {
  const ProcessResult result = Run({"-o", (m_dir / "m.json").string()});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_NE(result.err.find("\nimporting tables\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("\ntables: 14\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("\nimported 1 schema, 14 tables, "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\r'), std::string::npos) << "no terminal control on a pipe";

  const ProcessResult quiet = Run({"--quiet", "-o", (m_dir / "q.json").string()});
  ASSERT_EQ(quiet.exitCode, 0) << Printed(quiet);
  EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

// ---- The connection form (--prompt), answered on standard input

TEST_F(AppTest, PromptKeepsValuesOnEnterAndCancelsAtEndOfInput) {
  const fs::path first = m_dir / "first.db";
  const fs::path second = m_dir / "second.db";
  CreateSqliteDatabase(first, "CREATE TABLE only_in_first (a INTEGER);");
  CreateSqliteDatabase(second, "CREATE TABLE only_in_second (b INTEGER);");

  // Enter on every field: the string as the plug-in built it.
  ProcessOptions enter;
  enter.input = std::string(20, '\n');
  const ProcessResult kept = Run({"--prompt", "--quiet", "--sqlite", first.string()}, enter);
  ASSERT_EQ(kept.exitCode, 0) << Printed(kept);
  const ModelFile keptModel = ModelFile::Parse(kept.out);
  ASSERT_EQ(keptModel.OfType("table").size(), 1u);
  EXPECT_EQ(ModelFile::Text(*keptModel.OfType("table")[0], "name"), "only_in_first");

  // The form lists the keys in order; answering the database field with
  // another file imports that one.
  std::vector<std::string> keys;
  std::istringstream prompts(kept.err);
  for (std::string line; std::getline(prompts, line, ':');) {
    const std::size_t start = line.rfind("  ");
    if (start == std::string::npos) continue;
    std::string key = line.substr(start + 2);
    key = key.substr(0, key.find(" ["));
    if (!key.empty() && key.find(' ') == std::string::npos) keys.push_back(key);
  }
  const auto database = std::find_if(keys.begin(), keys.end(), [](const std::string& key) {
    return key == "Database" || key == "DATABASE" || key == "database";
  });
  ASSERT_NE(database, keys.end()) << kept.err;
  ProcessOptions answer;
  for (auto key = keys.begin(); key != keys.end(); ++key) answer.input += key == database ? second.string() + "\n" : "\n";
  const ProcessResult changed = Run({"--prompt", "--quiet", "--sqlite", first.string()}, answer);
  ASSERT_EQ(changed.exitCode, 0) << Printed(changed);
  const ModelFile changedModel = ModelFile::Parse(changed.out);
  ASSERT_EQ(changedModel.OfType("table").size(), 1u);
  EXPECT_EQ(ModelFile::Text(*changedModel.OfType("table")[0], "name"), "only_in_second");

  // End of input (Ctrl-D) cancels: 130, nothing written.
  const ProcessResult cancelled = Run({"--prompt", "--sqlite", first.string()});
  EXPECT_EQ(cancelled.exitCode, 130) << Printed(cancelled);
  EXPECT_TRUE(cancelled.out.empty());
}

TEST_F(AppTest, PromptMasksThePassword) {
  const fs::path database = m_dir / "db.db";
  CreateSqliteDatabase(database, "CREATE TABLE t (a INTEGER);");
  ProcessOptions enter;
  enter.input = std::string(20, '\n');
  const ProcessResult result =
      Run({"--prompt", "--connect", "Driver={SQLite3};Database=" + database.string() + ";PWD=" + kSecret}, enter);
  EXPECT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_NE(result.err.find("PWD [****]: "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(kSecret), std::string::npos) << result.err;
  EXPECT_EQ(result.out.find(kSecret), std::string::npos);
}

}  // namespace
}  // namespace qm::test

// The MariaDB plug-in importing the shop: what the catalogue's lines do not
// show, scopes, a lock held past the timeout, an account that sees a part.
#include <ImportHost.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <ModelWords.h>
#include <PgServer.h>
#include <Subprocess.h>
#include <TestBackend.h>
#include <MariaHostileSchema.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace qm::test::mariadb {
namespace {

using Strings = std::vector<std::string>;

constexpr char kMariadb[] = "mariadb";

class MariaImportTest : public ShopSuite<kMariadb> {
 protected:
  static ImportOutcome Import(GenericModel& model, const QmConnectOptions& options = {}) {
    return RunImport(s_plugin->Api(), model, s_database->ConnectionString(), s_database->Name(), options);
  }
  static CMOObject* Object(GenericModel& model, int type, std::string_view table, std::string_view name = {}) {
    CMOObject* schema = Child(model, *model.GetCMOObject(), model::Schema, s_database->Name());
    if (schema == nullptr) return nullptr;
    for (int relationType : {model::Table, model::View})
      if (CMOObject* relation = Child(model, *schema, relationType, table))
        return name.empty() ? relation : Child(model, *relation, type, name);
    return Child(model, *schema, type, table);
  }
};

// The host heard of each kind with its count (keys, foreign keys and
// indexes one row per column).
TEST_F(MariaImportTest, ProgressCountsTheRowsOfEachKind) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), s_database->Name());
  EXPECT_FALSE(Text(*model.GetCMOObject(), model::ServerName).empty());
  std::map<int, long long> finished = ProgressCounts(outcome);  // object type -> the count posted last
  EXPECT_TRUE(outcome.finishedPosted);
  auto count = [&](const std::string& from) {
    return std::stoll(MariaQueryValue("SELECT COUNT(*) AS v FROM information_schema." + from + " AND TABLE_SCHEMA = " +
                                      MariaLiteral(s_database->Name())));
  };
  const std::map<int, long long> rows = {{model::Key, count("STATISTICS WHERE NON_UNIQUE = 0")},
                                         {model::Index, count("STATISTICS WHERE NON_UNIQUE = 1")},
                                         {model::ForeignKey, count("KEY_COLUMN_USAGE WHERE REFERENCED_TABLE_NAME IS NOT NULL")}};
  const int types[] = {model::Schema, model::Table, model::View, model::Sequence, model::Column, model::Key,
                       model::CheckConstraint, model::ForeignKey, model::Index, model::Partition, model::Trigger,
                       model::Routine, model::Parameter};
  for (int type : types) {
    // Subpartitions are rows of their own.
    const long long objects = static_cast<long long>(AllOfType(model, type).size()) + (type == model::Partition ? 2 : 0);
    EXPECT_EQ(finished[type], rows.count(type) ? rows.at(type) : objects) << model::ObjectTypeName(type);
    EXPECT_GT(finished[type], 0) << model::ObjectTypeName(type);
  }
  EXPECT_EQ(finished.size(), std::size(types));
}

// What the catalogue's lines leave out: the partitions' bound values and
// a foreign key's clause. (Bodies with a character outside the BMP, which
// information_schema turns into '?': tests/families/SchemaTest.cpp.)
TEST_F(MariaImportTest, DetailsArriveAsWritten) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_TRUE(ReadInFull(Import(model)));
  CMOObject* north = Object(model, model::Partition, "sales", "north");
  ASSERT_NE(north, nullptr);
  EXPECT_EQ(Text(*north, model::PartitionBound), "'n','it''s'");
  EXPECT_EQ(Text(*Object(model, model::Partition, "sales", "south"), model::PartitionBound), "'s','a,b'");
  CMOObject* rest = Object(model, model::Partition, "sales", "rest");
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(rest->GetProperty(model::PartitionBound), nullptr);
  EXPECT_EQ(Text(*Object(model, model::Partition, "history", "current"), model::PartitionBound), "'MAXVALUE'");
  EXPECT_EQ(Text(*Object(model, model::ForeignKey, "orders", "orders_product"), model::Definition),
            "FOREIGN KEY (`sku`, `variant`) REFERENCES `" + s_database->Name() +
                "`.`product` (`sku`, `variant`) ON DELETE SET NULL ON UPDATE CASCADE");
}

// A scope names schemas exactly; one that is not there is refused at
// connect with the names and the schema spelt the same but for letter case.
TEST_F(MariaImportTest, ScopeNamingAMissingSchemaIsRefused) {
  std::string upper = s_database->Name();
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome =
      RunImport(s_plugin->Api(), model, s_database->ConnectionString(), upper + ", no such schema");
  EXPECT_EQ(outcome.status, ImportStatusConnectFailed);
  const std::string message = Utf8(outcome.connectError.message);
  EXPECT_NE(message.find("no schema named `" + upper + "` (there is `" + s_database->Name() + "`), `no such schema`"),
            std::string::npos)
      << message;
  EXPECT_EQ(model.GetObjectCount(), 1);

  // Without a scope, the database the connection names is the one imported,
  // not every database of the server (another is there).
  MariaDatabase other("scope_other");
  ASSERT_EQ(RunMariaSql(other.Name(), "CREATE TABLE elsewhere (id INT);\n"), "");
  GenericModel named(s_plugin->Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(s_plugin->Api(), named, s_database->ConnectionString(), "")));
  std::vector<std::string> schemas;
  for (CMOObject* schema : AllOfType(named, model::Schema)) schemas.push_back(Text(*schema, model::Name));
  EXPECT_EQ(schemas, std::vector<std::string>{s_database->Name()});
}

// A table another session holds locked: the statement that needs it waits
// no longer than the timeout and fails with the server's reason; the
// statements after it run.
TEST_F(MariaImportTest, LockHeldByAnotherSessionFailsOneStatementAfterTheTimeout) {
  const std::string sequence = MariaIdent(s_database->Name()) + ".invoice_numbers";
  std::thread holder([&] {
    RunMariaSql(s_database->Name(), "LOCK TABLES " + sequence + " WRITE;\nSELECT SLEEP(5);\nUNLOCK TABLES;\n");
  });
  // The lock is held once the holder sleeps.
  for (int i = 0; i < 200; ++i) {
    if (MariaQueryValue("SELECT COUNT(*) AS v FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(5)%'") ==
        "1")
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  QmConnectOptions options;
  options.timeoutSeconds = 1;
  GenericModel model(s_plugin->Api().modelType);
  const auto start = std::chrono::steady_clock::now();
  const ImportOutcome outcome = Import(model, options);
  const auto took = std::chrono::steady_clock::now() - start;
  holder.join();
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  ASSERT_EQ(outcome.failed.size(), 1u);
  EXPECT_EQ(Utf8(outcome.failed[0].name), "sequence values");
  EXPECT_EQ(outcome.failed[0].diagnostic.nativeError, 1205) << Utf8(outcome.failed[0].diagnostic.message);
  EXPECT_NE(Utf8(outcome.failed[0].diagnostic.message)
                .find("(a table is locked by another session; waited 1 s, see --timeout)"),
            std::string::npos)
      << Utf8(outcome.failed[0].diagnostic.message);
  EXPECT_LT(took, std::chrono::seconds(5));
  // Everything else is there.
  EXPECT_NE(Object(model, model::Routine, "greeting"), nullptr);
  EXPECT_FALSE(AllOfType(model, model::Parameter).empty());
}

// An account that sees part of the hostile schema and may not read
// mysql.proc imports exactly what information_schema shows it (its own
// function's body too, which only information_schema gives it).
TEST(MariaAccountTest, AccountThatSeesPartOfTheSchemaImportsWhatItSees) {
  const TestBackend& backend = BackendNamed("mariadb");
  QM_REQUIRE_BACKEND(backend);
  const std::unique_ptr<BackendDatabase> database = backend.Create("account", true);
  ASSERT_EQ(database->Load(backend.Script("hostile", *database)), "");
  const std::string s = MariaIdent(database->Name());
  const std::string error = RunMariaSql(
      "", "DROP USER IF EXISTS 'qm_part'@'127.0.0.1';\nCREATE USER 'qm_part'@'127.0.0.1' IDENTIFIED BY 'part-pw-1';\n"
          "GRANT SELECT ON " + s + "." + MariaIdent("it's") + " TO 'qm_part'@'127.0.0.1';\n"
          "GRANT SELECT (" + MariaIdent("ref we\"ird") + ") ON " + s + "." + MariaIdent("fk we\"ird") +
          " TO 'qm_part'@'127.0.0.1';\nGRANT EXECUTE ON PROCEDURE " + s + "." +
          MariaIdent(hardening::Numbered("fn", 1, "it's")) + " TO 'qm_part'@'127.0.0.1';\n"
          "CREATE DEFINER='qm_part'@'127.0.0.1' FUNCTION " + s + ".own() RETURNS INT RETURN 42;\n"
          "GRANT EXECUTE ON FUNCTION " + s + ".own TO 'qm_part'@'127.0.0.1';\n");
  ASSERT_EQ(error, "");
  const Strings seen = MariaCatalogueLines({database->Name()}, MariaAccount{"qm_part", "part-pw-1"});
  // What the account sees is a part, and a part only.
  ASSERT_GT(seen.size(), 5u);
  EXPECT_LT(seen.size() * 4, database->CatalogueLines().size());

  LoadedPlugin plugin(QM_MARIADB_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  // Every account may use information_schema as its database.
  const std::string source = WithAttribute(
      WithAttribute(WithAttribute(database->Source(), "Uid", "qm_part"), "Pwd", "part-pw-1"), "Database",
      "information_schema");
  const ImportOutcome outcome = RunImport(plugin.Api(), model, source, database->Scope());
  RunMariaSql("", "DROP USER IF EXISTS 'qm_part'@'127.0.0.1';\n");
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(LineDifference(seen, MariaModelLines(model)), "");
  EXPECT_EQ(AllOfType(model, model::Table).size(), 2u);
  EXPECT_NE(std::find(seen.begin(), seen.end(), "body " + database->Name() + ".own function RETURN 42"), seen.end());
}

// A foreign key made before the table it references keeps the referenced
// columns as spelt ("CODE" for "Code"): they are found with ASCII case folded.
TEST(MariaLetterCaseTest, ReferencedColumnsSpeltInOtherLetterCaseAreFound) {
  const TestBackend& backend = BackendNamed("mariadb");
  QM_REQUIRE_BACKEND(backend);
  const std::unique_ptr<BackendDatabase> database = backend.Create("fold");
  ASSERT_EQ(database->Load("SET foreign_key_checks = 0;\n"
                           "CREATE TABLE child (ParentCode INT, ParentKind INT, CONSTRAINT child_fk FOREIGN KEY "
                           "(ParentCode, ParentKind) REFERENCES parent (CODE, kIND));\n"
                           "CREATE TABLE parent (Code INT NOT NULL, Kind INT NOT NULL, PRIMARY KEY (Code, Kind));\n"
                           "SET foreign_key_checks = 1;\n"),
            "");
  LoadedPlugin plugin(QM_MARIADB_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  ASSERT_TRUE(ReadInFull(RunImport(plugin.Api(), model, database->Source(), database->Scope())));
  CMOObject* schema = Child(model, *model.GetCMOObject(), model::Schema, database->Name());
  ASSERT_NE(schema, nullptr);
  CMOObject* parent = Child(model, *schema, model::Table, "parent");
  CMOObject* child = Child(model, *schema, model::Table, "child");
  ASSERT_TRUE(parent != nullptr && child != nullptr);
  CMOObject* code = Child(model, *parent, model::Column, "Code");
  CMOObject* kind = Child(model, *parent, model::Column, "Kind");
  CMOObject* foreignKey = Child(model, *child, model::ForeignKey, "child_fk");
  ASSERT_TRUE(code != nullptr && kind != nullptr && foreignKey != nullptr);
  EXPECT_EQ(Ids(*foreignKey, model::ReferencedColumns), (std::vector<int>{code->GetObjectId(), kind->GetObjectId()}));
}

// A view column's nullability and default depend on the session's
// sql_mode: the model has them as the server's global mode sees them (here
// and in sys). A view the server cannot open is kept without columns and
// reported under its own name.
TEST_F(MariaImportTest, ViewsAreReadAsTheServersOwnSessionsSeeThem) {
  MariaDatabase views("views");
  ASSERT_EQ(RunMariaSql(views.Name(),
                        "CREATE TABLE t (x varchar(10) NOT NULL, n int NOT NULL DEFAULT 5);\n"
                        "CREATE VIEW v AS SELECT lcase(x) AS a, x, n + 1 AS n1, concat(x, 'a') AS c FROM t;\n"
                        "CREATE TABLE gone (a int);\nCREATE VIEW v_table AS SELECT a FROM gone;\n"
                        "CREATE VIEW v_view AS SELECT a FROM v_table;\n"
                        "CREATE TABLE narrowed (a int, b int);\nCREATE VIEW v_column AS SELECT b FROM narrowed;\n"
                        "CREATE FUNCTION f() RETURNS int RETURN 1;\nCREATE VIEW v_function AS SELECT f() AS x;\n"
                        "DROP TABLE gone;\nALTER TABLE narrowed DROP COLUMN b;\nDROP FUNCTION f;\n"),
            "");
  const std::string column = "SELECT CONCAT(IS_NULLABLE, ' ', COALESCE(COLUMN_DEFAULT, '-')) AS v FROM information_schema."
                             "COLUMNS WHERE TABLE_SCHEMA = " + MariaLiteral(views.Name()) + " AND TABLE_NAME = 'v'";
  ASSERT_NE(MariaQueryColumn(column, "SET SESSION sql_mode = @@GLOBAL.sql_mode"), MariaQueryColumn(column))
      << "the server's global sql_mode derives view columns as the import's own does";
  for (const std::string& schema : {views.Name(), std::string("sys")}) {
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome = RunImport(s_plugin->Api(), model, views.ConnectionString(), schema);
    ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
    const Strings expected = MariaCatalogueLines({schema});
    ASSERT_GT(expected.size(), 10u);
    EXPECT_EQ(LineDifference(expected, MariaModelLines(model)), "") << schema;
    Strings failures;
    for (const QmFailedStatement& failure : outcome.failed) {
      failures.push_back(Utf8(failure.name));
      EXPECT_NE(Utf8(failure.diagnostic.message).find("references invalid table(s) or column(s) or function(s)"),
                std::string::npos)
          << Utf8(failure.diagnostic.message);
    }
    if (schema == "sys") {
      EXPECT_EQ(failures, Strings());
      continue;
    }    // The lines hold the views with their definitions and without columns.
    const std::string prefix = "columns of view `" + views.Name() + "`.`";
    EXPECT_EQ(failures, (Strings{prefix + "v_column`", prefix + "v_function`", prefix + "v_table`", prefix + "v_view`"}));
  }
}

}  // namespace
}  // namespace qm::test::mariadb

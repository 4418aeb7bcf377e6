// A MariaDB catalogue full of hostile identifiers and texts in every kind
// of object, made and read while the server's global sql_mode has
// NO_BACKSLASH_ESCAPES and ANSI_QUOTES (which change how a session reads
// and prints quotes and backslashes): quotes, backticks, backslashes, %,
// line breaks, control characters, direction marks, names of 64 characters
// (the server's limit) in one-, two- and three-byte UTF-8, and texts with
// four-byte UTF-8 (which identifiers cannot hold: the server keeps them in
// routine bodies, and turns them into '?' in comments, defaults and checks).
// The import must hand over every name and text exactly as information_schema
// (and mysql.proc for bodies) reports it, read with the mariadb client, hex on
// the wire.
//
// Then an account that sees only part of the schema (table-level and
// column-level grants, no mysql.proc) imports exactly what the catalogue
// shows that account, without a failed statement.
#include "MariaHostileSchema.h"

#include <ImportHost.h>
#include <MariaCatalogue.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <ModelWords.h>
#include <PgServer.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace qm::test::hardening {
namespace {

using Strings = std::vector<std::string>;

// The schema the hostile objects live in; its name has no comma, so that
// a scope quoting it stays simple.
const std::string kSchema = "sch \"q' \\ %s`\n✓";

// A scope list naming exactly this schema (ScopeList.h).
std::string ScopeOf(const std::string& name) { return QuoteIdent(name); }

class MariaHostileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!MariaConnectionString()) return;
    s_globalMode = MariaQueryValue("SELECT @@GLOBAL.sql_mode AS v");
    // New sessions, the importer's among them, start with these modes.
    const std::string error = RunMariaSql("", "SET GLOBAL sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES';\n");
    if (!error.empty()) ADD_FAILURE() << error;
    const std::string create = RunMariaSql("", MariaHostileScript(kSchema));
    if (!create.empty()) ADD_FAILURE() << create;
    s_plugin = std::make_unique<LoadedPlugin>(QM_MARIADB_PLUGIN);
  }
  static void TearDownTestSuite() {
    s_plugin.reset();
    if (!MariaConnectionString()) return;
    RunMariaSql("", "DROP DATABASE IF EXISTS " + MariaIdent(kSchema) + ";\nDROP USER IF EXISTS 'qm_part'@'127.0.0.1';\n"
                    "SET GLOBAL sql_mode = " + MariaLiteral(s_globalMode) + ";\n");
  }
  void SetUp() override {
    QM_REQUIRE_MARIA();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
    const std::string mode = MariaQueryValue("SELECT @@GLOBAL.sql_mode AS v");
    ASSERT_NE(mode.find("ANSI_QUOTES"), std::string::npos) << mode;
    ASSERT_NE(mode.find("NO_BACKSLASH_ESCAPES"), std::string::npos) << mode;
  }

  inline static std::unique_ptr<LoadedPlugin> s_plugin;
  inline static std::string s_globalMode;  // the server's, put back at the end
};

TEST_F(MariaHostileTest, EveryNameAndTextArrivesAsTheCatalogueHasIt) {
  const Strings catalogue = MariaCatalogueLines({kSchema});
  // The catalogue holds what the script made.
  const auto has = [&](const std::string& start, std::size_t minimum = 0) {
    return std::any_of(catalogue.begin(), catalogue.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0 && line.size() > minimum; });
  };
  EXPECT_TRUE(has("table " + kSchema + "." + Repeat("é", 64) + " "));
  EXPECT_TRUE(has("view " + kSchema + ".long view ", 30000));
  for (std::size_t i = 0; i < Names().size(); ++i) {
    const std::string& n = Names()[i];
    EXPECT_TRUE(has("table " + kSchema + "." + n + " table ")) << n;
    EXPECT_TRUE(has("body " + kSchema + "." + Numbered("fn", i, n) + " procedure SET " + MariaIdent("other " + n))) << n;
  }

  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, MariaConnectionString().value(), ScopeOf(kSchema));
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(LineDifference(catalogue, MariaModelLines(model)), "");

  CMOObject* schema = Child(model, *model.GetCMOObject(), model::Schema, kSchema);
  ASSERT_NE(schema, nullptr);
  for (std::size_t i = 0; i < Names().size(); ++i) {
    const std::string& n = Names()[i];
    SCOPED_TRACE(n);
    // Bodies keep the character outside the BMP (mysql.proc has them as
    // written); the trigger's body has it as '?' (the server's copy).
    CMOObject* routine = Child(model, *schema, model::Routine, Numbered("fn", i, n));
    ASSERT_NE(routine, nullptr);
    EXPECT_NE(Text(*routine, model::Definition).find("😀"), std::string::npos) << Text(*routine, model::Definition);
    // Each partition holds the one value it is named after, as a literal.
    CMOObject* partition = Child(model, *Child(model, *schema, model::Table, "parted"), model::Partition, Numbered("part", i, n));
    ASSERT_NE(partition, nullptr);
    std::string literal = "'";
    for (char ch : n) literal += ch == '\'' ? std::string("''") : std::string(1, ch);
    EXPECT_EQ(Text(*partition, model::PartitionBound), literal + "'");
    // The foreign key finds the primary key it references.
    CMOObject* fk = Child(model, *Child(model, *schema, model::Table, "fk " + n), model::ForeignKey, Numbered("fk", i, n));
    ASSERT_NE(fk, nullptr);
    EXPECT_EQ(Value(model, *fk, model::ReferencedKey), "PRIMARY");
  }
}

// An account that may read two tables (one of them only in part) and run
// one procedure, and may not read mysql.proc: the import holds exactly what
// information_schema shows it, and no statement fails.
TEST_F(MariaHostileTest, AccountThatSeesPartOfTheSchemaImportsWhatItSees) {
  const std::string s = MariaIdent(kSchema);
  const std::string error = RunMariaSql(
      "", "DROP USER IF EXISTS 'qm_part'@'127.0.0.1';\nCREATE USER 'qm_part'@'127.0.0.1' IDENTIFIED BY 'part-pw-1';\n"
          "GRANT SELECT ON " + s + "." + MariaIdent("it's") + " TO 'qm_part'@'127.0.0.1';\n"
          "GRANT SELECT (" + MariaIdent("ref we\"ird") + ") ON " + s + "." + MariaIdent("fk we\"ird") +
          " TO 'qm_part'@'127.0.0.1';\nGRANT EXECUTE ON PROCEDURE " + s + "." + MariaIdent(Numbered("fn", 1, "it's")) +
          " TO 'qm_part'@'127.0.0.1';\n");
  ASSERT_EQ(error, "");
  const MariaAccount account{"qm_part", "part-pw-1"};
  const Strings seen = MariaCatalogueLines({kSchema}, account);
  // What the account sees is a part, and a part only.
  const Strings all = MariaCatalogueLines({kSchema});
  ASSERT_GT(seen.size(), 5u);
  EXPECT_LT(seen.size() * 4, all.size());

  GenericModel model(s_plugin->Api().modelType);
  // Every account may use information_schema as its database.
  const std::string source = WithAttribute(
      WithAttribute(WithAttribute(MariaConnectionString().value(), "Uid", "qm_part"), "Pwd", "part-pw-1"), "Database",
      "information_schema");
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, source, ScopeOf(kSchema));
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(LineDifference(seen, MariaModelLines(model)), "");
  EXPECT_EQ(AllOfType(model, model::Table).size(), 2u);
}

}  // namespace
}  // namespace qm::test::hardening

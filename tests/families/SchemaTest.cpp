// Every schema of every backend (TestBackend.h), imported by the dedicated
// plug-in: the model says what the catalogue says, quillmere-import writes
// the same, the generic plug-in agrees but for what its driver is known to
// report otherwise, and the sql format's round trip agrees through the differ.
#include <ImportHost.h>
#include <ModelWords.h>
#include <Subprocess.h>
#include "Families.h"

#include "sql/SqlDialect.h"

#include <platform/Utf.h>
#include <compare/DiffOutput.h>
#include <compare/MigrationPlan.h>
#include <compare/ModelDiff.h>
#include <tillerhold/CMOProperty.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace qm::test {
namespace {

struct SchemaCase {
  const TestBackend* backend;
  std::string schema;
};

void PrintTo(const SchemaCase& c, std::ostream* out) { *out << c.backend->Name() << " " << c.schema; }

std::vector<SchemaCase> AllCases() {
  std::vector<SchemaCase> cases;
  for (const TestBackend* backend : Backends())
    for (const std::string& schema : backend->Schemas()) cases.push_back({backend, schema});
  return cases;
}

// How many lines of the kind hold the text.
std::size_t Count(const std::vector<std::string>& lines, const std::string& kind, const std::string& part) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.starts_with(kind + " ") && line.find(part) != std::string::npos;
  }));
}

// Copies the model into `to` (only its root), ids kept, without what `drop` picks.
void CopyWithout(const GenericModel& from, GenericModel& to,
                 const std::function<bool(const CMOObject& object, int propertyId)>& drop) {
  // Ids follow creation, parents first: copied in id order, each keeps its id.
  for (int id = 1; id <= from.GetObjectCount(); ++id) {
    const CMOObject* object = from.GetCMOObject(id);
    CMOObject& copy = id == 1 ? *to.GetCMOObject() : to.CreateObject(object->GetObjectType(), object->GetParentId());
    for (const auto& property : object->GetProperties())
      if (!drop(*object, property->GetPropertyId())) copy.SetProperty(new CMOProperty(*property));
  }
}

bool IsApplication(const std::string& schema) { return schema != "hostile" && schema != "shop" && schema != "sample"; }

class SchemaTest : public ::testing::TestWithParam<SchemaCase> {
 protected:
  void SetUp() override { QM_REQUIRE_BACKEND(Backend()); }
  const TestBackend& Backend() const { return *GetParam().backend; }
  const std::string& Schema() const { return GetParam().schema; }

  // Imports the database with the plug-in, which must read it in full.
  void Import(const LoadedPlugin& plugin, const std::string& source, const std::string& scope, GenericModel& model,
              ImportOutcome* outcome = nullptr) {
    const ImportOutcome run = RunImport(plugin.Api(), model, source, scope);
    ASSERT_TRUE(ReadInFull(run));
    if (outcome != nullptr) *outcome = run;
  }

  void CommandLineWritesTheSame(const BackendDatabase& database, const std::vector<std::string>& catalogue) {
    std::vector<std::string> args = database.CommandLine();
    args.push_back("--quiet");
    const ProcessResult result = RunProcess(ImportProgram(), args);
    ASSERT_EQ(result.exitCode, 0) << Printed(result);
    EXPECT_EQ(result.err, "");
    GenericModel written(0);
    ReadModelJson(result.out, written);
    EXPECT_EQ(LineDifference(catalogue, database.ModelLines(written)), "");
    if (!Backend().Password().empty()) {
      EXPECT_EQ(result.out.find(Backend().Password()), std::string::npos);
    }
  }

  void GenericPluginAgrees(const BackendDatabase& database, GenericModel& dedicated) {
    LoadedPlugin generic(GenericPluginPath().c_str());
    ASSERT_TRUE(generic.Loaded());
    GenericModel model(generic.Api().modelType);
    Import(generic, database.ConnectionString(), database.Scope(), model);
    EXPECT_TRUE(SoundModel(model));
    const std::vector<std::string> ours = odbc::ComparableLines(dedicated);
    const std::vector<std::string> theirs = odbc::ComparableLines(
        model, [&](const std::string& schema) { return Backend().GenericSchemaName(schema, database); });
    ASSERT_GT(ours.size(), 20u);
    EXPECT_EQ(odbc::UnexplainedDifferences(ours, theirs, Backend().GenericDifferences(dedicated, ours, theirs)), "");
  }

  void RoundTrip(const LoadedPlugin& plugin, BackendDatabase& database, const GenericModel& before,
                 bool fromProperties) {
    SCOPED_TRACE(fromProperties ? "round trip from properties" : "round trip as imported");
    GenericModel written(before.GetModelType());
    if (fromProperties) CopyWithout(before, written, Backend().FromProperties());
    const std::string sql = SqlOf(fromProperties ? written : before, plugin.Api().sqlDialect);
    std::string error;
    const std::unique_ptr<BackendDatabase> copy = database.Remake(sql, &error);
    ASSERT_NE(copy, nullptr) << error << "\n" << sql.substr(0, 4000);
    GenericModel after(before.GetModelType());
    Import(plugin, copy->Source(), copy->Scope(), after);
    EXPECT_EQ(Backend().UnexplainedRoundTrip(compare::DiffModels(before, after), fromProperties), "");
    EXPECT_EQ(copy->CopyFacts(), database.CopyFacts());
  }
};

// The plan from an empty database to the schema makes it as the round
// trip does, and the plan back (--allow-data-loss) empties it again. On
// MariaDB the empty database takes the schema's name, and the plan runs
// again on what it made and changes nothing.
TEST_P(SchemaTest, PlansFromEmptyAndBackMakeAndRemoveTheSchema) {
  const bool postgres = Backend().Name() == "postgres";
  const bool maria = Backend().Name() == "mariadb";
  if (!IsApplication(Schema()) && Schema() != "shop" && Schema() != "hostile") GTEST_SKIP() << "not a schema of its own";
  LoadedPlugin plugin(Backend().PluginPath().c_str());
  ASSERT_TRUE(plugin.Loaded());
  // MariaDB's hostile schema is a database of a hostile name, which its
  // script makes.
  std::unique_ptr<BackendDatabase> database = Backend().Create(Schema(), maria && Schema() == "hostile");
  ASSERT_EQ(database->Load(Backend().Script(Schema(), *database)), "");
  GenericModel model(plugin.Api().modelType), empty(plugin.Api().modelType), from(plugin.Api().modelType);
  ASSERT_NO_FATAL_FAILURE(Import(plugin, database->Source(), database->Scope(), model));
  std::unique_ptr<BackendDatabase> target;
  if (maria) {
    const writers::sql::SqlDialect& mariadb = *writers::sql::DialectNamed("mariadb");
    std::string error;
    target = database->Remake(
        "CREATE DATABASE " + platform::Utf16ToUtf8(mariadb.Name(platform::Utf8ToUtf16(database->Name()))) +
            " CHARACTER SET utf8mb4;\n",
        &error);
    ASSERT_NE(target, nullptr) << error;
  } else {
    target = Backend().Create(Schema() + "_planned");
  }
  if (!postgres && !maria) {
    ASSERT_EQ(target->Load("PRAGMA user_version = 0;"), "");  // SQLite's file, made empty
  }
  ASSERT_NO_FATAL_FAILURE(Import(plugin, target->Source(), target->Scope(), empty));
  ASSERT_NO_FATAL_FAILURE(Import(plugin, target->Source(), target->Scope(), from));
  const std::string dialect = postgres ? "postgresql" : maria ? "mariadb" : "sqlite";
  const compare::MigrationPlan plan = compare::PlanMigration(from, model, {dialect, false, {}});
  if (postgres && Schema() == "shop") {
    // An aggregate the sql format cannot write: the plan is refused, naming it.
    EXPECT_EQ(plan.unplanned, std::vector<std::string>{"routine shop.my_sum: the sql format cannot write it"});
    EXPECT_EQ(plan.script, "");
    return;
  }
  ASSERT_EQ(plan.unplanned, std::vector<std::string>{});
  ASSERT_EQ(plan.dataLoss, std::vector<std::string>{});
  ASSERT_EQ(target->Load(plan.script), "") << plan.script.substr(0, 4000);
  if (maria) {
    ASSERT_EQ(target->Load(plan.script), "") << "run again\n" << plan.script.substr(0, 4000);
  }
  GenericModel made(plugin.Api().modelType);
  ASSERT_NO_FATAL_FAILURE(Import(plugin, target->Source(), target->Scope(), made));
  EXPECT_EQ(Backend().UnexplainedRoundTrip(compare::DiffModels(model, made), false), "");

  const compare::MigrationPlan back = compare::PlanMigration(made, empty, {dialect, true, {}});
  ASSERT_EQ(back.unplanned, std::vector<std::string>{});
  EXPECT_FALSE(back.dataLoss.empty());
  ASSERT_EQ(target->Load(back.script), "") << back.script.substr(0, 4000);
  GenericModel emptied(plugin.Api().modelType);
  ASSERT_NO_FATAL_FAILURE(Import(plugin, target->Source(), target->Scope(), emptied));
  std::ostringstream left;
  compare::WriteDifferenceText(compare::DiffModels(emptied, empty), left);
  EXPECT_EQ(left.str(), "no differences\n") << back.script.substr(0, 4000);
}

TEST_P(SchemaTest, ImportSaysWhatTheCatalogueSaysAndMakesTheSameModelAgain) {
  LoadedPlugin plugin(Backend().PluginPath().c_str());
  ASSERT_TRUE(plugin.Loaded());
  const std::unique_ptr<BackendDatabase> database = Backend().Create(Schema(), Schema() == "hostile");
  const std::string script = Backend().Script(Schema(), *database);
  ASSERT_GT(script.size(), 200u) << "no script for " << Schema();
  ASSERT_EQ(database->Load(script), "");
  const std::string footprint = database->Footprint();

  GenericModel model(plugin.Api().modelType);
  ImportOutcome outcome;
  ASSERT_NO_FATAL_FAILURE(Import(plugin, database->Source(), database->Scope(), model, &outcome));
  EXPECT_TRUE(SoundModel(model));
  const std::vector<std::string> catalogue = database->CatalogueLines();
  EXPECT_EQ(LineDifference(catalogue, database->ModelLines(model, outcome.failed)), "");
  for (const Feature& feature : Backend().Features()) {
    if (feature.schema == Schema()) {
      EXPECT_GE(Count(catalogue, feature.kind, feature.part), feature.atLeast) << feature.kind << " / " << feature.part;
    }
  }
  EXPECT_GE(Count(catalogue, "table", ""), 1u);
  Backend().CheckDetails(Schema(), model);
  EXPECT_EQ(database->Footprint(), footprint) << "the import changed the database";

  if (!IsApplication(Schema())) CommandLineWritesTheSame(*database, catalogue);
  if (IsApplication(Schema())) GenericPluginAgrees(*database, model);
  RoundTrip(plugin, *database, model, false);
  if (Backend().FromProperties()) RoundTrip(plugin, *database, model, true);
}

INSTANTIATE_TEST_SUITE_P(Schemas, SchemaTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<SchemaCase>& info) {
                           return info.param.backend->Name() + "_" + Identifier(info.param.schema);
                         });

// The sql format quotes a name that is one of the database's keywords
// (in its own list) and no other.
class KeywordTest : public ::testing::TestWithParam<const TestBackend*> {};

TEST_P(KeywordTest, NamesAreQuotedAsTheDatabaseQuotesThem) {
  QM_REQUIRE_BACKEND(*GetParam());
  const LoadedPlugin plugin(GetParam()->PluginPath().c_str());
  ASSERT_TRUE(plugin.Loaded());
  const writers::sql::SqlDialect* dialect = writers::sql::DialectNamed(plugin.Api().sqlDialect);
  ASSERT_NE(dialect, nullptr) << plugin.Api().sqlDialect;
  const std::vector<std::pair<std::string, bool>> words = GetParam()->Keywords();
  ASSERT_GT(words.size(), 100u);
  for (const auto& [word, quoted] : words) EXPECT_EQ(dialect->NeedsQuotes(platform::Utf8ToUtf16(word)), quoted) << word;
}

INSTANTIATE_TEST_SUITE_P(Dialects, KeywordTest,
                         ::testing::ValuesIn(BackendsWith([](const TestBackend& b) { return b.ListsKeywords(); })),
                         BackendName);

}  // namespace
}  // namespace qm::test

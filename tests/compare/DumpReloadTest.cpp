// A schema-drift check in CI: every real application's schema, on each of
// the three databases, dumped by the database's own tool and reloaded into
// an empty database, imports to a model that compares equal, with nothing
// allowed. (Dumped by the sql format: SchemaTest's round trip.)
#include <compare/DiffOutput.h>
#include <compare/Expressions.h>

#include <RealSchemas.h>
#include <Subprocess.h>
#include <TestBackend.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace compare::test {
namespace {

// The database's own dump tool: its name (for the case's name) and its
// command for a database of the backend's.
struct DumpTool {
  const char* backend;
  const char* name;
  std::vector<std::string> (*command)(const qm::test::BackendDatabase& database);
};

const DumpTool kDumpTools[] = {
    {"sqlite", "sqlite3_dump",
     [](const qm::test::BackendDatabase& d) -> std::vector<std::string> { return {"/usr/bin/sqlite3", d.Source(), ".dump"}; }},
    {"postgres", "pg_dump",
     [](const qm::test::BackendDatabase& d) -> std::vector<std::string> {
       return {"/usr/bin/pg_dump", "--schema-only", "-d", d.Name()};
     }},
    {"mariadb", "mariadb_dump",
     [](const qm::test::BackendDatabase& d) -> std::vector<std::string> {
       const char* options = std::getenv("QM_MARIA_CLIENT_CNF");
       return {"/usr/bin/mariadb-dump", std::string("--defaults-file=") + (options != nullptr ? options : ""), "--no-data",
               "--routines", "--triggers", "--events", "--databases", d.Name()};
     }},
};

struct Case {
  const qm::test::TestBackend* backend;
  const DumpTool* tool;
  std::string app;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.backend->Name() << ' ' << c.app; }

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const DumpTool& tool : kDumpTools) {
    const qm::test::TestBackend& backend = qm::test::BackendNamed(tool.backend);
    for (const std::string& app : qm::test::RealSchemaApps(backend.Name())) cases.push_back({&backend, &tool, app});
  }
  return cases;
}

// Texts of matched objects that differ as written and are equal as the
// comparison reads them: what the normalisation took back.
int ReWorded(const ModelMatch& match) {
  int count = 0;
  for (const MatchStep& step : match.Steps()) {
    if (step.kind != MatchStep::Kind::Matched) continue;
    const CMOObject& a = *match.Before().Object(step.before);
    const CMOObject& b = *match.After().Object(step.after);
    for (const auto& property : a.GetProperties()) {
      const CMOProperty* other = b.GetProperty(property->GetPropertyId());
      if (other != nullptr && property->GetValueKind() == CMOProperty::ValueKind::WString &&
          other->GetValueKind() == CMOProperty::ValueKind::WString && property->WStringRef() != other->WStringRef() &&
          SameProperty(match, a, *property, *other))
        ++count;
    }
  }
  return count;
}

class DumpReloadTest : public ::testing::TestWithParam<Case> {
 protected:
  static qm::test::LoadedPlugin& Plugin(const qm::test::TestBackend& backend) {
    static std::map<std::string, std::unique_ptr<qm::test::LoadedPlugin>> plugins;
    auto& plugin = plugins[backend.PluginPath()];
    if (!plugin) plugin = std::make_unique<qm::test::LoadedPlugin>(backend.PluginPath().c_str());
    return *plugin;
  }
  static void Import(const qm::test::TestBackend& backend, const qm::test::BackendDatabase& database,
                     GenericModel& model) {
    ASSERT_TRUE(qm::test::ReadInFull(qm::test::RunImport(Plugin(backend).Api(), model, database.Source(), database.Scope())));
  }
};

TEST_P(DumpReloadTest, TheReloadedSchemaIsEqual) {
  const Case& c = GetParam();
  QM_REQUIRE_BACKEND(*c.backend);
  ASSERT_TRUE(Plugin(*c.backend).Loaded());
  const std::unique_ptr<qm::test::BackendDatabase> database = c.backend->Create("dr_" + qm::test::Identifier(c.app));
  ASSERT_EQ(database->Load(qm::test::RealSchemaSql(c.app, c.backend->Name())), "");
  GenericModel before(Plugin(*c.backend).Api().modelType);
  Import(*c.backend, *database, before);
  ASSERT_GT(before.GetObjectCount(), 10) << "the schema made nothing";

  const std::vector<std::string> command = c.tool->command(*database);
  const qm::test::ProcessResult result =
      qm::test::RunProcess(command[0], std::vector<std::string>(command.begin() + 1, command.end()));
  ASSERT_EQ(result.exitCode, 0) << c.tool->name << " failed: " << qm::test::Printed(result);
  const std::string& script = result.out;
  std::string error;
  const std::unique_ptr<qm::test::BackendDatabase> copy = database->Remake(script, &error);
  ASSERT_NE(copy, nullptr) << error << "\n" << script.substr(0, 4000);
  GenericModel after(Plugin(*c.backend).Api().modelType);
  Import(*c.backend, *copy, after);

  const ModelMatch match(before, after);
  const ModelDifference difference = DiffModels(match);
  std::ostringstream text;
  WriteDifferenceText(difference, text);
  EXPECT_TRUE(difference.Empty()) << text.str();
  std::cout << "[ figures  ] " << c.backend->Name() << ' ' << c.app << " through " << c.tool->name << ": "
            << before.GetObjectCount() - 1 << " objects, " << difference.objects.size() << " differing, "
            << ReWorded(match) << " texts re-worded by the server and read as equal\n";
}

INSTANTIATE_TEST_SUITE_P(RealSchemas, DumpReloadTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.backend->Name() + "_" + qm::test::Identifier(info.param.app) + "_" +
                                  info.param.tool->name;
                         });

}  // namespace
}  // namespace compare::test

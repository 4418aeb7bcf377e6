// What a schema-drift check in CI meets: a database dumped and reloaded
// holds the same schema, and the comparison must say so. Every real
// application's schema of tests/data/schemas, on each of the three
// databases, is loaded, imported, dumped (by the database's own tool:
// pg_dump, mariadb-dump, sqlite3's .dump; and by our sql format), the dump
// loaded into an empty database with the database's own client, that
// imported, and the two models compared: they must agree, with nothing
// allowed. One body over the three databases (an Engine each); the
// figures are printed per case.
#include <compare/DiffOutput.h>
#include <compare/Expressions.h>

#include <ImportHost.h>
#include <MariaServer.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <RealSchemas.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <tillerhold/ModelVocabulary.h>
#include <writers/OutputFormats.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

namespace compare::test {
namespace {

// One database of a case, and the copy made from its dump.
class CaseDatabase {
 public:
  virtual ~CaseDatabase() = default;
  // Runs the script in the (empty) database: "" or why it failed.
  virtual std::string Load(const std::string& script) = 0;
  // The database's own dump of its schema, or "" with *error set.
  virtual std::string Dump(std::string* error) = 0;
  // Makes the copy from the script with the database's own client: "" or
  // why it failed.
  virtual std::string LoadCopy(const std::string& script) = 0;
  // What the plug-in is given for the original or the copy.
  virtual std::string Source(bool copy) const = 0;
  virtual std::string Scope() const { return {}; }
};

struct Engine {
  const char* name;      // as RealSchemaApps names the database
  const char* plugin;    // the plug-in that reads it
  const char* dumpTool;  // for the case's name
  bool (*available)();   // whether its server is there (else skipped, or failed in CI)
  std::unique_ptr<CaseDatabase> (*create)(const std::string& tag);
};

std::string Failed(const qm::test::ProcessResult& result, const std::string& what) {
  return result.exitCode == 0 ? std::string() : what + " failed: " + qm::test::Printed(result);
}

class SqliteCase : public CaseDatabase {
 public:
  std::string Load(const std::string& script) override { return Client(Source(false), script); }
  std::string Dump(std::string* error) override {
    const qm::test::ProcessResult result = qm::test::RunProcess("/usr/bin/sqlite3", {Source(false), ".dump"});
    *error = Failed(result, "sqlite3 .dump");
    return result.out;
  }
  std::string LoadCopy(const std::string& script) override { return Client(Source(true), script); }
  std::string Source(bool copy) const override { return m_dir.Path(copy ? "copy.db" : "original.db"); }

 private:
  static std::string Client(const std::string& path, const std::string& script) {
    qm::test::ProcessOptions options;
    options.input = script;
    return Failed(qm::test::RunProcess("/usr/bin/sqlite3", {"-bail", path}, options), "sqlite3");
  }
  qm::test::TempDir m_dir;
};

class PgCase : public CaseDatabase {
 public:
  explicit PgCase(const std::string& tag) : m_original("dr_" + tag), m_copy("dr_" + tag + "_copy") {}
  std::string Load(const std::string& script) override { return qm::test::RunPsql(m_original.Name(), script); }
  std::string Dump(std::string* error) override {
    const qm::test::ProcessResult result =
        qm::test::RunProcess("/usr/bin/pg_dump", {"--schema-only", "-d", m_original.Name()});
    *error = Failed(result, "pg_dump");
    return result.out;
  }
  std::string LoadCopy(const std::string& script) override { return qm::test::RunPsql(m_copy.Name(), script); }
  std::string Source(bool copy) const override { return (copy ? m_copy : m_original).ConnectionString(); }

 private:
  qm::test::TestDatabase m_original;
  qm::test::TestDatabase m_copy;
};

// A MariaDB schema is a database: the dump makes it again under its own
// name once it is dropped.
class MariaCase : public CaseDatabase {
 public:
  explicit MariaCase(const std::string& tag) : m_database("dr_" + tag) {}
  std::string Load(const std::string& script) override { return qm::test::RunMariaSql(m_database.Name(), script); }
  std::string Dump(std::string* error) override {
    const qm::test::ProcessResult result = qm::test::RunProcess(
        "/usr/bin/mariadb-dump", {std::string("--defaults-file=") + std::getenv("QM_MARIA_CLIENT_CNF"),
                                  "--no-data", "--routines", "--triggers", "--events", "--databases", m_database.Name()});
    *error = Failed(result, "mariadb-dump");
    return result.out;
  }
  std::string LoadCopy(const std::string& script) override {
    const std::string dropped = qm::test::RunMariaSql("", "DROP DATABASE " + m_database.Name() + ";\n");
    return dropped.empty() ? qm::test::RunMariaSql("", script) : dropped;
  }
  std::string Source(bool) const override { return *qm::test::MariaConnectionString(); }
  std::string Scope() const override { return "\"" + m_database.Name() + "\""; }

 private:
  qm::test::MariaDatabase m_database;
};

const Engine kEngines[] = {
    {"sqlite", QM_SQLITE_PLUGIN, "sqlite3_dump", [] { return true; },
     [](const std::string&) -> std::unique_ptr<CaseDatabase> { return std::make_unique<SqliteCase>(); }},
    {"postgres", QM_POSTGRES_PLUGIN, "pg_dump", [] { return qm::test::PgConnectionString().has_value(); },
     [](const std::string& tag) -> std::unique_ptr<CaseDatabase> { return std::make_unique<PgCase>(tag); }},
    {"mariadb", QM_MARIADB_PLUGIN, "mariadb_dump", [] { return qm::test::MariaConnectionString().has_value(); },
     [](const std::string& tag) -> std::unique_ptr<CaseDatabase> { return std::make_unique<MariaCase>(tag); }},
};

struct Case {
  const Engine* engine;
  std::string app;
  bool ownSql;  // dumped by our sql format rather than the database's tool
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.engine->name << ' ' << c.app << (c.ownSql ? " (sql format)" : " (dump tool)");
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (const Engine& engine : kEngines)
    for (const std::string& app : qm::test::RealSchemaApps(engine.name))
      for (bool ownSql : {false, true}) cases.push_back({&engine, app, ownSql});
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
  static qm::test::LoadedPlugin& Plugin(const char* path) {
    static std::map<std::string, std::unique_ptr<qm::test::LoadedPlugin>> plugins;
    auto& plugin = plugins[path];
    if (!plugin) plugin = std::make_unique<qm::test::LoadedPlugin>(path);
    return *plugin;
  }
  void Import(const Engine& engine, const CaseDatabase& database, bool copy, GenericModel& model) {
    ASSERT_TRUE(qm::test::ReadInFull(
        qm::test::RunImport(Plugin(engine.plugin).Api(), model, database.Source(copy), database.Scope())));
  }
};

TEST_P(DumpReloadTest, TheReloadedSchemaIsEqual) {
  const Case& c = GetParam();
  if (!c.engine->available()) {
    if (qm::test::RunningInCi()) FAIL() << c.engine->name << "'s test server is not configured in CI";
    GTEST_SKIP() << c.engine->name << "'s test server is not configured (scripts/test starts it)";
  }
  ASSERT_TRUE(Plugin(c.engine->plugin).Loaded());
  const std::unique_ptr<CaseDatabase> database = c.engine->create(qm::test::Identifier(c.app));
  ASSERT_EQ(database->Load(qm::test::RealSchemaSql(c.app, c.engine->name)), "");
  GenericModel before(Plugin(c.engine->plugin).Api().modelType);
  Import(*c.engine, *database, false, before);
  ASSERT_GT(before.GetObjectCount(), 10) << "the schema made nothing";

  std::string error;
  std::string script;
  if (c.ownSql) {
    std::ostringstream out;
    writers::WriteOptions options;
    options.sqlDialect = Plugin(c.engine->plugin).Api().sqlDialect;
    writers::FindOutputFormat("sql")->writer->Write(before, out, options);
    script = out.str();
  } else {
    script = database->Dump(&error);
  }
  ASSERT_EQ(error, "");
  ASSERT_EQ(database->LoadCopy(script), "") << script.substr(0, 4000);
  GenericModel after(Plugin(c.engine->plugin).Api().modelType);
  Import(*c.engine, *database, true, after);

  const ModelMatch match(before, after);
  const ModelDifference difference = DiffModels(match);
  std::ostringstream text;
  WriteDifferenceText(difference, text);
  EXPECT_TRUE(difference.Empty()) << text.str();
  std::cout << "[ figures  ] " << c.engine->name << ' ' << c.app << " through "
            << (c.ownSql ? "the sql format" : c.engine->dumpTool) << ": " << before.GetObjectCount() - 1
            << " objects, " << difference.objects.size() << " differing, " << ReWorded(match)
            << " texts re-worded by the server and read as equal\n";
}

INSTANTIATE_TEST_SUITE_P(RealSchemas, DumpReloadTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.engine->name) + "_" + qm::test::Identifier(info.param.app) +
                                  (info.param.ownSql ? "_sql_format" : "_" + std::string(info.param.engine->dumpTool));
                         });

}  // namespace
}  // namespace compare::test

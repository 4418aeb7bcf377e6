#include "LintBackends.h"

#include <ImportHost.h>
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

namespace lint::test {

namespace {

qm::test::LoadedPlugin& Plugin(const char* path) {
  static std::map<std::string, std::unique_ptr<qm::test::LoadedPlugin>> plugins;
  auto& plugin = plugins[path];
  if (!plugin) plugin = std::make_unique<qm::test::LoadedPlugin>(path);
  return *plugin;
}

std::vector<FailedRead> ImportFrom(const char* plugin, GenericModel& model, const std::string& source,
                                   const std::string& scope, bool failures) {
  std::vector<FailedRead> failed;
  if (!Plugin(plugin).Loaded()) {
    ADD_FAILURE() << "cannot load " << plugin;
    return failed;
  }
  const qm::test::ImportOutcome outcome = qm::test::RunImport(Plugin(plugin).Api(), model, source, scope);
  if (!failures) {
    EXPECT_TRUE(qm::test::ReadInFull(outcome));
  }
  for (const QmFailedStatement& statement : outcome.failed)
    failed.push_back({platform::Utf16ToUtf8(statement.name), platform::Utf16ToUtf8(statement.diagnostic.message)});
  return failed;
}

class SqliteBackend : public Backend {
 public:
  void Run(const std::string& sql) override { qm::test::SqliteFile(m_dir.Path("lint.db")).Exec(sql); }
  std::vector<FailedRead> Import(GenericModel& model, const std::string& scope, bool failures) override {
    return ImportFrom(QM_SQLITE_PLUGIN, model, m_dir.Path("lint.db"), scope, failures);
  }
  unsigned int ModelType() const override { return Plugin(QM_SQLITE_PLUGIN).Api().modelType; }

 private:
  qm::test::TempDir m_dir;
};

class PgBackend : public Backend {
 public:
  void Run(const std::string& sql) override {
    const std::string error = qm::test::RunPsql(m_database.Name(), sql);
    ASSERT_EQ(error, "") << sql;
  }
  std::vector<FailedRead> Import(GenericModel& model, const std::string& scope, bool failures) override {
    return ImportFrom(QM_POSTGRES_PLUGIN, model, m_database.ConnectionString(), scope, failures);
  }
  unsigned int ModelType() const override { return Plugin(QM_POSTGRES_PLUGIN).Api().modelType; }

 private:
  qm::test::TestDatabase m_database{"lint"};
};

class MariaBackend : public Backend {
 public:
  void Run(const std::string& sql) override {
    const std::string error = qm::test::RunMariaSql(m_database.Name(), sql);
    ASSERT_EQ(error, "") << sql;
  }
  std::vector<FailedRead> Import(GenericModel& model, const std::string& scope, bool failures) override {
    return ImportFrom(QM_MARIADB_PLUGIN, model, *qm::test::MariaConnectionString(),
                      scope.empty() ? "\"" + m_database.Name() + "\"" : scope, failures);
  }
  unsigned int ModelType() const override { return Plugin(QM_MARIADB_PLUGIN).Api().modelType; }
  const std::string& Database() const { return m_database.Name(); }

 private:
  qm::test::MariaDatabase m_database{"lint"};
};

}  // namespace

std::unique_ptr<Backend> MakeBackend(const std::string& kind) {
  if (kind == "sqlite") return std::make_unique<SqliteBackend>();
  if (kind == "postgres") {
    if (!qm::test::PgConnectionString()) {
      if (qm::test::RunningInCi()) ADD_FAILURE() << "QM_PG_CONNECT is not set in CI";
      return nullptr;
    }
    return std::make_unique<PgBackend>();
  }
  if (!qm::test::MariaConnectionString()) {
    if (qm::test::RunningInCi()) ADD_FAILURE() << "QM_MARIA_CONNECT is not set in CI";
    return nullptr;
  }
  return std::make_unique<MariaBackend>();
}

std::vector<Finding> LintAll(const GenericModel& model, const std::string& config, const std::vector<FailedRead>& failed) {
  std::string text = config;
  for (const char* rule : {"table-without-comment", "column-without-comment"})
    if (text.find(std::string("[rules.") + rule + "]") == std::string::npos)
      text += std::string("\n[rules.") + rule + "]\nseverity = \"info\"\n";
  LintInput input;
  input.model = &model;
  input.failed = failed;
  return Lint(input, Config::Parse(text, "test"));
}

std::vector<Finding> LintAsConfigured(const GenericModel& model, const std::string& config) {
  LintInput input;
  input.model = &model;
  return Lint(input, Config::Parse(config, "test"));
}

std::vector<std::string> NamesFor(const std::vector<Finding>& findings, std::string_view rule) {
  std::vector<std::string> names;
  for (const Finding& finding : findings)
    if (finding.rule->id == rule) names.push_back(finding.name);
  return names;
}

std::string SarifErrors(const std::string& sarif) {
  static constexpr const char* kValidate =
      "import json, sys, jsonschema\n"
      "schema = json.load(open(sys.argv[1], encoding='utf-8'))\n"
      "document = json.load(open(sys.argv[2], encoding='utf-8'))\n"
      "jsonschema.Draft7Validator.check_schema(schema)\n"
      "validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())\n"
      "errors = sorted(validator.iter_errors(document), key=str)\n"
      "for error in errors[:20]: print(list(error.absolute_path), error.message)\n"
      "sys.exit(1 if errors else 0)\n";
  qm::test::TempDir dir;
  qm::test::WriteFile(dir.Path("report.sarif"), sarif);
  const qm::test::ProcessResult result =
      qm::test::RunProcess("/usr/bin/python3", {"-c", kValidate, QM_SARIF_SCHEMA, dir.Path("report.sarif")});
  if (result.exitCode == 0) return "";
  return "exit " + std::to_string(result.exitCode) + ": " + qm::test::Printed(result);
}

std::string Listed(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings)
    text += std::string(finding.rule->id) + " " + finding.name + ": " + finding.message +
            (finding.fix.empty() ? "" : " [fix: " + finding.fix + "]") + "\n";
  return text;
}

}  // namespace lint::test

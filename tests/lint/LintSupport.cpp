#include "LintSupport.h"

#include <ImportHost.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <map>

namespace lint::test {

namespace {

// The backend's plug-in, loaded once.
const qm::test::LoadedPlugin& PluginOf(const qm::test::TestBackend& backend) {
  static std::map<std::string, std::unique_ptr<qm::test::LoadedPlugin>> plugins;
  auto& plugin = plugins[backend.PluginPath()];
  if (!plugin) plugin = std::make_unique<qm::test::LoadedPlugin>(backend.PluginPath().c_str());
  return *plugin;
}

// The dialect the plug-in that reads models of this type declares, as the
// command line takes it; empty (standard SQL) for another type.
std::string DialectOf(const GenericModel& model) {
  for (const qm::test::TestBackend* backend : qm::test::Backends()) {
    if (backend->ModelType() != model.GetModelType()) continue;
    const qm::test::LoadedPlugin& plugin = PluginOf(*backend);
    return plugin.Loaded() && plugin.Api().sqlDialect != nullptr ? plugin.Api().sqlDialect : "";
  }
  return {};
}

}  // namespace

void Backend::Run(const std::string& sql) { ASSERT_EQ(m_database->Load(sql), "") << sql; }

std::vector<FailedRead> Backend::Import(GenericModel& model, const std::string& scope, bool failures) {
  const qm::test::LoadedPlugin* plugin = &PluginOf(m_backend);
  std::vector<FailedRead> failed;
  if (!plugin->Loaded()) {
    ADD_FAILURE() << "cannot load " << m_backend.PluginPath();
    return failed;
  }
  const qm::test::ImportOutcome outcome = qm::test::RunImport(plugin->Api(), model, m_database->Source(),
                                                              scope.empty() ? m_database->Scope() : scope);
  if (!failures) {
    EXPECT_TRUE(qm::test::ReadInFull(outcome));
  }
  for (const QmFailedStatement& statement : outcome.failed)
    failed.push_back({platform::Utf16ToUtf8(statement.name), platform::Utf16ToUtf8(statement.diagnostic.message)});
  return failed;
}

std::unique_ptr<Backend> MakeBackend(const std::string& kind) {
  const qm::test::TestBackend& backend = qm::test::BackendNamed(kind);
  const std::string why = backend.Unavailable();
  if (why.empty()) return std::make_unique<Backend>(backend);
  if (qm::test::RunningInCi()) ADD_FAILURE() << why << " (in CI)";
  return nullptr;
}

std::vector<Finding> LintAll(const GenericModel& model, const std::string& config, const std::vector<FailedRead>& failed) {
  std::string text = config;
  for (const char* rule : {"table-without-comment", "column-without-comment"})
    if (text.find(std::string("[rules.") + rule + "]") == std::string::npos)
      text += std::string("\n[rules.") + rule + "]\nseverity = \"info\"\n";
  LintInput input;
  input.model = &model;
  input.dialect = DialectOf(model);
  input.failed = failed;
  return Lint(input, Config::Parse(text, "test"));
}

std::vector<Finding> LintAsConfigured(const GenericModel& model, const std::string& config) {
  LintInput input;
  input.model = &model;
  input.dialect = DialectOf(model);
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

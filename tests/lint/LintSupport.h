// The linter's tests' side of the family backends (TestBackend.h): a
// database of a backend's own, loaded and imported as the command line does,
// and the linter run over the model.
#pragma once

#include <lint/Config.h>
#include <lint/Linter.h>

#include <TestBackend.h>
#include <tillerhold/GenericModel.h>

#include <memory>
#include <string>
#include <vector>

namespace lint::test {

// A fresh database of the backend's: scripts run in it must succeed.
class Backend {
 public:
  explicit Backend(const qm::test::TestBackend& backend) : m_backend(backend), m_database(backend.Create("lint")) {}
  void Run(const std::string& sql);
  // Imports the database (only the schemas of `scope` when given, else the
  // database's own) and returns what it could not read; unless `failures`
  // is true, the import must read everything.
  std::vector<FailedRead> Import(GenericModel& model, const std::string& scope = {}, bool failures = false);
  unsigned int ModelType() const { return m_backend.ModelType(); }

 private:
  const qm::test::TestBackend& m_backend;
  std::unique_ptr<qm::test::BackendDatabase> m_database;
};

// "sqlite", "postgres" or "mariadb": a fresh database of that backend.
// Null when its server is not there (a failure in CI).
std::unique_ptr<Backend> MakeBackend(const std::string& kind);

// The linter's findings on the model with the configuration's text: with
// every rule on (the comment rules too), or as configured alone.
std::vector<Finding> LintAll(const GenericModel& model, const std::string& config = {},
                             const std::vector<FailedRead>& failed = {});
std::vector<Finding> LintAsConfigured(const GenericModel& model, const std::string& config = {});

// The findings' full names for the rule.
std::vector<std::string> NamesFor(const std::vector<Finding>& findings, std::string_view rule);

// What the JSON Schema validator (python3-jsonschema, draft 7, formats
// checked) says is wrong with the SARIF text against the tests' SARIF
// schema (data/README.md); "" when it is valid.
std::string SarifErrors(const std::string& sarif);

// Every finding, one a line, for a failure message.
std::string Listed(const std::vector<Finding>& findings);

}  // namespace lint::test

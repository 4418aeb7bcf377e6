// The databases the linter's tests load schemas into and import from, as
// the command line does: a SQLite file through the SQLite plug-in, a
// database of the PostgreSQL and of the MariaDB test server through
// theirs.
#pragma once

#include <lint/Config.h>
#include <lint/Linter.h>

#include <tillerhold/GenericModel.h>

#include <memory>
#include <string>
#include <vector>

namespace lint::test {

class Backend {
 public:
  virtual ~Backend() = default;
  // Runs the script in the database (made empty for the backend object).
  virtual void Run(const std::string& sql) = 0;
  // Imports the database (only the schemas of `scope` when given) and
  // returns what it could not read; unless `failures` is true, the import
  // must read everything. The model holds only its root.
  virtual std::vector<FailedRead> Import(GenericModel& model, const std::string& scope = {}, bool failures = false) = 0;
  // The plug-in's model type.
  virtual unsigned int ModelType() const = 0;
};

// "sqlite", "postgres" or "mariadb": a fresh database of that kind. Null,
// after GTEST_SKIP (or a failure in CI), when the server is not there.
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

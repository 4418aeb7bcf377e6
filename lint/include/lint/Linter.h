// The linter: the schema rules (Rules.h) run over one model, as the
// configuration (Config.h) says, giving findings.
//
// It reads only the model and the model vocabulary. Which database the
// model came from decides the engine-specific rules and the SQL of the
// fixes; it is the dialect the caller names (for a live source, the one its
// plug-in declares): writers/SqlStatements.h writes names and fixes in that
// dialect.
//
// Time is linear in the model: one pass files the objects by table, and
// each rule looks at a table's own objects (a rule that compares a
// table's indexes with each other does so pairwise within the table).
//
// Thread safety: plain functions; the model must not change during a run.
#pragma once

#include <lint/Config.h>
#include <lint/Rules.h>

#include <tillerhold/GenericModel.h>

#include <string>
#include <vector>

namespace lint {

// One thing a rule found. Text is UTF-8 as the model holds it: names are
// not escaped for a terminal (the text report does that).
struct Finding {
  const Rule* rule = nullptr;           // static, never null
  Severity severity = Severity::Warning;  // as configured
  int objectId = 0;                     // the model object; 0 for a failed statement
  std::string kind;                     // "table", "foreign key", ...; "statement" for a failed one
  std::vector<std::string> path;        // its names from the schema down ("public", "orders", "customer_id")
  std::string name;                     // its full name as SQL writes it, the parts quoted as needed
  std::string table;                    // the full name of its table or view, as SQL writes it; empty when none
  std::string message;                  // one line
  std::string fix;                      // SQL statements, one a line; empty when there is none to write
};

// A catalogue statement of a live import that failed.
struct FailedRead {
  std::string name;    // the statement's registered name ("columns of view "main"."v"")
  std::string reason;  // the driver's diagnostic, one line
};

struct LintInput {
  const GenericModel* model = nullptr;  // never null
  // The SQL dialect ("sqlite", "postgresql", "mariadb", "standard"); empty:
  // standard SQL.
  std::string dialect;
  std::vector<FailedRead> failed;  // what a live import could not read
};

// Runs every enabled rule. Findings come in rule order, each rule's in
// model order; excluded objects give none. Throws std::invalid_argument
// for an unknown dialect.
std::vector<Finding> Lint(const LintInput& input, const Config& config);

}  // namespace lint

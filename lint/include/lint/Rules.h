// The schema rules: one table naming every rule the linter has, with its
// default severity, what it finds, why that matters and what fixes it. The
// configuration, the reports, --help and the README's rules table all
// come from this table; a rule is added here and in Linter.cpp.
//
// The table is constant and built before any code runs; it may be read
// from any thread.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace lint {

// How much a finding matters, least first.
enum class Severity { Info, Warning, Error };

// "info", "warning", "error".
std::string_view SeverityName(Severity severity);
// The severity of that name, or nothing.
std::optional<Severity> SeverityNamed(std::string_view name);

// A number a rule's check depends on, set per rule in the configuration.
struct Threshold {
  std::string_view key;      // the configuration key, e.g. "max-columns"
  long long value;           // the default, at least 1
  std::string_view meaning;  // one line for the README
};

struct Rule {
  std::string_view id;        // lower case words joined by '-', unique in the table
  Severity severity;          // the default severity
  bool enabled;               // whether it runs unless the configuration says otherwise
  std::string_view engines;   // the databases whose trap it is ("SQLite"), or empty for every database
  std::string_view what;      // what it finds, one line, no full stop
  std::string_view why;       // why that matters, one line, no full stop
  std::string_view fix;       // the fix, one line, no full stop; "SQL:" leads one written as a statement
  std::span<const Threshold> thresholds = {};  // static
};

// Every rule, in the order the README lists them.
std::span<const Rule> Rules();

// The rule with this id, or null.
const Rule* FindRule(std::string_view id);

}  // namespace lint

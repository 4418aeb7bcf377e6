// The linter's configuration: which rules run, at which severity, with
// which thresholds, and which objects they leave alone. A team keeps it in
// a TOML file it commits (.quillmere-lint.toml):
//
//   exclude = ["audit.*"]            # objects no rule reports
//
//   [rules.foreign-key-without-index]
//   severity = "error"               # error, warning, info, or off
//   exclude = ["public.big_log"]     # objects this rule does not report
//
//   [rules.too-many-columns]
//   max-columns = 60                 # a rule's threshold (Rules.h)
//
// An exclusion pattern is matched against an object's full name, its
// names from the schema down joined by '.' ("public.orders.customer_id"),
// and against the full names of what it belongs to ("public.orders",
// "public"): excluding a table excludes its columns, keys and indexes.
// '*' stands for any run of characters, '?' for one; case matters.
//
// A key, rule or value the linter does not know is an error that names it
// and its place in the file, so that a misspelt rule is never silently
// ignored.
//
// Thread safety: plain values.
#pragma once

#include <lint/Rules.h>

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lint {

// What is wrong with a configuration, in one line that names the file,
// the place and the key.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file the command line reads from the current folder when no
// --config is given.
inline constexpr std::string_view kConfigFileName = ".quillmere-lint.toml";

struct RuleSettings {
  bool enabled = true;
  Severity severity = Severity::Warning;
  std::vector<std::string> exclude;            // patterns, as above
  std::map<std::string, long long, std::less<>> thresholds;  // key -> value, every threshold of the rule
};

class Config {
 public:
  // Every rule with its defaults, nothing excluded.
  Config();

  // The TOML text read over the defaults. `source` names the file in
  // messages. Throws ConfigError.
  static Config Parse(std::string_view text, const std::string& source);
  // The file read and parsed; throws ConfigError when it cannot be read.
  static Config Load(const std::string& path);

  const RuleSettings& For(const Rule& rule) const;
  long long Threshold(const Rule& rule, std::string_view key) const;
  // Whether the rule leaves the object alone: a pattern of the rule or of
  // the whole file matches one of the names (the object's full name and
  // those of what it belongs to).
  bool Excluded(const Rule& rule, const std::vector<std::string>& names) const;

  // Patterns every rule leaves alone.
  std::vector<std::string> exclude;

 private:
  std::map<std::string_view, RuleSettings> m_rules;  // by rule id, every rule
};

// Whether the text matches the pattern ('*' any run, '?' one character;
// both counted in UTF-8 bytes for '*', in characters for '?').
bool MatchesPattern(std::string_view pattern, std::string_view text);

}  // namespace lint

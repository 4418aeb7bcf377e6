#include <lint/Config.h>

#include <toml++/toml.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lint {

namespace {

std::string Where(const std::string& source, const toml::source_region& region) {
  return region.begin.line > 0 ? source + ":" + std::to_string(region.begin.line) : source;
}

std::string KnownKeys(const Rule& rule) {
  std::string keys = "severity, exclude";
  for (const lint::Threshold& threshold : rule.thresholds) keys += ", " + std::string(threshold.key);
  return keys;
}

std::vector<std::string> Patterns(const toml::node& node, const std::string& where, const std::string& key) {
  const toml::array* array = node.as_array();
  if (array == nullptr) throw ConfigError(where + ": " + key + " must be an array of name patterns");
  std::vector<std::string> patterns;
  for (const toml::node& item : *array) {
    const auto text = item.value<std::string>();
    if (!text || text->empty()) throw ConfigError(where + ": " + key + " must hold name patterns (non-empty strings)");
    patterns.push_back(*text);
  }
  return patterns;
}

// '*' and '?' over the text, with backtracking to the last '*' only: linear
// in practice, at most pattern length times text length.
bool Match(std::string_view pattern, std::string_view text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t star = std::string_view::npos;
  std::size_t mark = 0;
  auto characterEnd = [&](std::size_t at) {
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    return end;
  };
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      t = characterEnd(t);
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = mark = characterEnd(mark);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesPattern(std::string_view pattern, std::string_view text) { return Match(pattern, text); }

Config::Config() {
  for (const Rule& rule : Rules()) {
    RuleSettings settings;
    settings.enabled = rule.enabled;
    settings.severity = rule.severity;
    for (const lint::Threshold& threshold : rule.thresholds) settings.thresholds[std::string(threshold.key)] = threshold.value;
    m_rules.emplace(rule.id, std::move(settings));
  }
}

const RuleSettings& Config::For(const Rule& rule) const { return m_rules.at(rule.id); }

long long Config::Threshold(const Rule& rule, std::string_view key) const {
  const RuleSettings& settings = For(rule);
  const auto found = settings.thresholds.find(key);
  return found == settings.thresholds.end() ? 0 : found->second;
}

bool Config::Excluded(const Rule& rule, const std::vector<std::string>& names) const {
  for (const std::vector<std::string>* patterns : {&exclude, &For(rule).exclude})
    for (const std::string& pattern : *patterns)
      for (const std::string& name : names)
        if (Match(pattern, name)) return true;
  return false;
}

Config Config::Parse(std::string_view text, const std::string& source) {
  toml::table document;
  try {
    document = toml::parse(text, source);
  } catch (const toml::parse_error& error) {
    throw ConfigError(Where(source, error.source()) + ": not TOML: " + std::string(error.description()));
  }
  Config config;
  for (const auto& [key, node] : document) {
    const std::string where = Where(source, node.source());
    if (key == "exclude") {
      config.exclude = Patterns(node, where, "exclude");
    } else if (key == "rules") {
      const toml::table* rules = node.as_table();
      if (rules == nullptr) throw ConfigError(where + ": rules must be a table of rules ([rules.RULE])");
      for (const auto& [id, ruleNode] : *rules) {
        const std::string ruleWhere = Where(source, ruleNode.source());
        const Rule* rule = FindRule(id.str());
        if (rule == nullptr) throw ConfigError(ruleWhere + ": unknown rule \"" + std::string(id.str()) + "\"");
        const toml::table* settings = ruleNode.as_table();
        if (settings == nullptr)
          throw ConfigError(ruleWhere + ": rules." + std::string(id.str()) + " must be a table of settings");
        RuleSettings& target = config.m_rules.at(rule->id);
        for (const auto& [name, value] : *settings) {
          const std::string at = Where(source, value.source());
          const std::string full = "rules." + std::string(rule->id) + "." + std::string(name.str());
          if (name == "severity") {
            const auto word = value.value<std::string>();
            if (word && *word == "off") {
              target.enabled = false;
            } else if (const auto severity = word ? SeverityNamed(*word) : std::nullopt) {
              target.enabled = true;
              target.severity = *severity;
            } else {
              throw ConfigError(at + ": " + full + " must be \"error\", \"warning\", \"info\" or \"off\"");
            }
          } else if (name == "exclude") {
            target.exclude = Patterns(value, at, full);
          } else if (auto threshold = target.thresholds.find(name.str()); threshold != target.thresholds.end()) {
            const auto number = value.value_exact<int64_t>();
            if (!number || *number < 1) throw ConfigError(at + ": " + full + " must be a whole number of at least 1");
            threshold->second = *number;
          } else {
            throw ConfigError(at + ": unknown key \"" + std::string(name.str()) + "\" in rules." + std::string(rule->id) +
                              " (it takes " + KnownKeys(*rule) + ")");
          }
        }
      }
    } else {
      throw ConfigError(where + ": unknown key \"" + std::string(key.str()) + "\" (the file takes exclude and [rules.RULE])");
    }
  }
  return config;
}

Config Config::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ConfigError("cannot read the configuration " + path + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw ConfigError("cannot read the configuration " + path + ": " + std::strerror(errno));
  return Parse(text.str(), path);
}

}  // namespace lint

#include <lint/Reports.h>

#include <writers/VisibleText.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <ostream>

namespace lint {

namespace {

using Json = nlohmann::ordered_json;

std::string_view SarifLevel(Severity severity) {
  switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "note";
  }
  return "error";
}

// The JSON text; texts that are not UTF-8 (the model's are) would have
// their bad bytes replaced rather than fail the whole report.
void Dump(const Json& document, std::ostream& out) {
  out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

std::string Counted(std::size_t count, std::string_view word) {
  return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

}  // namespace

void WriteText(const std::vector<Finding>& findings, const ReportContext&, std::ostream& out) {
  struct Group {
    std::string name;
    Severity worst = Severity::Info;
    std::vector<const Finding*> findings;
  };
  std::vector<Group> groups;
  std::map<std::string, std::size_t> groupOf;
  for (const Finding& finding : findings) {
    const std::string& name = finding.table.empty() ? finding.name : finding.table;
    auto [at, added] = groupOf.emplace(name, groups.size());
    if (added) groups.push_back({name, finding.severity, {}});
    Group& group = groups[at->second];
    group.worst = std::max(group.worst, finding.severity);
    group.findings.push_back(&finding);
  }
  std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
    return a.worst != b.worst ? a.worst > b.worst : a.name < b.name;
  });
  std::size_t counts[3] = {0, 0, 0};
  for (Group& group : groups) {
    std::stable_sort(group.findings.begin(), group.findings.end(),
                     [](const Finding* a, const Finding* b) { return a->severity > b->severity; });
    out << writers::VisibleText(group.name) << '\n';
    for (const Finding* finding : group.findings) {
      ++counts[static_cast<int>(finding->severity)];
      std::string severity(SeverityName(finding->severity));
      severity.resize(9, ' ');
      out << "  " << severity << finding->rule->id << ": " << writers::VisibleText(finding->message) << '\n';
      // A line of its own for each line of the statement, but a line break
      // inside a quoted name or text is shown escaped: a name could
      // otherwise start a line that reads as a fix of its own.
      const std::string_view fix = finding->fix;
      char quote = 0;  // a doubled quote closes and opens again
      std::size_t start = 0;
      for (std::size_t at = 0; at < fix.size(); ++at) {
        if (quote != 0) {
          if (fix[at] == quote) quote = 0;
        } else if (fix[at] == '"' || fix[at] == '\'' || fix[at] == '`') {
          quote = fix[at];
        } else if (fix[at] == '\n') {
          out << "          fix: " << writers::VisibleText(fix.substr(start, at - start)) << '\n';
          start = at + 1;
        }
      }
      if (start < fix.size()) out << "          fix: " << writers::VisibleText(fix.substr(start)) << '\n';
    }
  }
  if (findings.empty()) {
    out << "no findings\n";
    return;
  }
  out << Counted(findings.size(), "finding") << ": " << Counted(counts[2], "error") << ", "
      << Counted(counts[1], "warning") << ", " << Counted(counts[0], "info") << '\n';
}

void WriteJson(const std::vector<Finding>& findings, const ReportContext& context, std::ostream& out) {
  Json document;
  document["dialect"] = std::string(context.dialect);
  std::size_t counts[3] = {0, 0, 0};
  Json list = Json::array();
  for (const Finding& finding : findings) {
    ++counts[static_cast<int>(finding.severity)];
    Json entry;
    entry["rule"] = std::string(finding.rule->id);
    entry["severity"] = std::string(SeverityName(finding.severity));
    entry["kind"] = finding.kind;
    entry["name"] = finding.name;
    entry["path"] = finding.path;
    if (!finding.table.empty()) entry["table"] = finding.table;
    entry["message"] = finding.message;
    if (!finding.fix.empty()) entry["fix"] = finding.fix;
    list.push_back(std::move(entry));
  }
  document["counts"] = {{"error", counts[2]}, {"warning", counts[1]}, {"info", counts[0]}};
  document["findings"] = std::move(list);
  Dump(document, out);
}

void WriteSarif(const std::vector<Finding>& findings, const ReportContext& context, std::ostream& out) {
  Json rules = Json::array();
  std::map<std::string_view, std::size_t> ruleIndex;
  for (const Rule& rule : Rules()) {
    const RuleSettings& settings = context.config->For(rule);
    // The rules that ran, and any other whose findings are handed in.
    const bool found = std::any_of(findings.begin(), findings.end(), [&](const Finding& f) { return f.rule == &rule; });
    if (!settings.enabled && !found) continue;
    ruleIndex.emplace(rule.id, rules.size());
    Json descriptor;
    descriptor["id"] = std::string(rule.id);
    descriptor["shortDescription"] = {{"text", std::string(rule.what)}};
    descriptor["fullDescription"] = {{"text", std::string(rule.why)}};
    descriptor["help"] = {{"text", "Fix: " + std::string(rule.fix)}};
    descriptor["defaultConfiguration"] = {{"level", std::string(SarifLevel(settings.severity))}};
    if (!rule.engines.empty()) descriptor["properties"] = {{"engines", std::string(rule.engines)}};
    rules.push_back(std::move(descriptor));
  }
  Json results = Json::array();
  for (const Finding& finding : findings) {
    Json result;
    result["ruleId"] = std::string(finding.rule->id);
    result["ruleIndex"] = ruleIndex.at(finding.rule->id);
    result["level"] = std::string(SarifLevel(finding.severity));
    result["message"] = {{"text", finding.message}};
    Json location;
    location["name"] = finding.path.empty() ? finding.name : finding.path.back();
    location["fullyQualifiedName"] = finding.name;
    location["kind"] = finding.kind;
    result["locations"] = Json::array({{{"logicalLocations", Json::array({location})}}});
    // What tells this finding from others across runs: the rule and the
    // object, not where it happened to be in the list.
    result["partialFingerprints"] = {{"objectName/v1", std::string(finding.rule->id) + ":" + finding.name}};
    if (!finding.fix.empty()) result["properties"] = {{"fixSql", finding.fix}};
    results.push_back(std::move(result));
  }
  Json driver;
  driver["name"] = "quillmere-import lint";
  driver["version"] = std::string(context.version);
  driver["rules"] = std::move(rules);
  Json run;
  run["tool"] = {{"driver", std::move(driver)}};
  run["columnKind"] = "unicodeCodePoints";
  run["results"] = std::move(results);
  run["properties"] = {{"dialect", std::string(context.dialect)}};
  Json document;
  document["$schema"] = "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json";
  document["version"] = "2.1.0";
  document["runs"] = Json::array({std::move(run)});
  Dump(document, out);
}

}  // namespace lint

// The findings written for people (text), for programs (JSON) and for
// code-scanning pages (SARIF 2.1.0).
//
// text: grouped by table (the findings on an object outside any table
// under the object's own name), the groups with the most severe findings
// first, each group's findings most severe first; the fix indented under
// its finding; a count line at the end. Names and texts of the database
// are written with VisibleText's escapes: a terminal shows them as they
// are and acts on none of them.
//
// json: {"dialect", "counts": {"error", "warning", "info"}, "findings":
// [{"rule", "severity", "kind", "name", "path", "table", "message",
// "fix"}]}, "fix" and "table" left out when empty.
//
// sarif: one run whose tool lists the rules that ran (id, descriptions,
// help, default level as configured), a result for each finding (its
// rule, level error / warning / note, message, and the object as a
// logical location with its full name and kind), the fix in the result's
// properties.
//
// Thread safety: plain functions.
#pragma once

#include <lint/Config.h>
#include <lint/Linter.h>

#include <iosfwd>
#include <string_view>
#include <vector>

namespace lint {

struct ReportContext {
  std::string_view dialect;  // the SQL dialect the fixes are written in
  std::string_view version;  // the program's version, for SARIF
  const Config* config = nullptr;  // which rules ran, at which severity; never null
};

void WriteText(const std::vector<Finding>& findings, const ReportContext& context, std::ostream& out);
void WriteJson(const std::vector<Finding>& findings, const ReportContext& context, std::ostream& out);
void WriteSarif(const std::vector<Finding>& findings, const ReportContext& context, std::ostream& out);

}  // namespace lint

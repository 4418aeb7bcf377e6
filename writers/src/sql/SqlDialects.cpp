// The dialects the sql format knows, by the short name a plug-in declares
// for its models (QmPluginDescriptor::sqlDialect) and a user gives. A
// dialect for another product is a class derived from SqlDialect and one
// line here.
#include "MariaDbDialect.h"
#include "PostgresDialect.h"
#include "SqlDialect.h"
#include "SqliteDialect.h"

#include <string_view>
#include <vector>

namespace writers::sql {

namespace {

constinit const SqlDialect kStandard;
constinit const SqliteDialect kSqlite;
constinit const PostgresDialect kPostgres;
constinit const MariaDbDialect kMariaDb;

struct DialectEntry {
  std::string_view name;      // the short name (DialectNamed)
  const SqlDialect* dialect;  // static
};

constexpr DialectEntry kDialects[] = {
    {"sqlite", &kSqlite},
    {"postgresql", &kPostgres},
    {"mariadb", &kMariaDb},
};

constexpr std::string_view kStandardName = "standard";

}  // namespace

const SqlDialect* DialectNamed(std::string_view name) {
  if (name.empty() || name == kStandardName) return &kStandard;
  for (const DialectEntry& entry : kDialects)
    if (entry.name == name) return entry.dialect;
  return nullptr;
}

std::string_view DialectName(const SqlDialect& dialect) {
  for (const DialectEntry& entry : kDialects)
    if (entry.dialect == &dialect) return entry.name;
  return kStandardName;
}

std::vector<std::string_view> DialectNames() {
  std::vector<std::string_view> names;
  for (const DialectEntry& entry : kDialects) names.push_back(entry.name);
  names.push_back(kStandardName);
  return names;
}

}  // namespace writers::sql

// The dialects the sql format knows, by the model type of the plug-in whose
// models they write. This table is the one place in the writers that names
// a plug-in's number; a dialect for another product is a class derived
// from SqlDialect and one line here.
#include "MariaDbDialect.h"
#include "PostgresDialect.h"
#include "SqlDialect.h"
#include "SqliteDialect.h"

#include <tillerhold/GenericModel.h>

#include <string_view>
#include <vector>

namespace writers::sql {

namespace {

constinit const SqlDialect kStandard;
constinit const SqliteDialect kSqlite;
constinit const PostgresDialect kPostgres;
constinit const MariaDbDialect kMariaDb;

struct DialectEntry {
  unsigned int modelType;     // GenericModel::GetModelType of the plug-in's models
  std::string_view name;      // the short name a user gives (DialectNamed)
  const SqlDialect* dialect;  // static
};

constexpr DialectEntry kDialects[] = {
    {1001, "sqlite", &kSqlite},        // plugins/sqlite
    {1002, "postgresql", &kPostgres},  // plugins/postgres
    {1003, "mariadb", &kMariaDb},      // plugins/mariadb
};

constexpr std::string_view kStandardName = "standard";

}  // namespace

const SqlDialect& DialectFor(const GenericModel& model) {
  for (const DialectEntry& entry : kDialects)
    if (entry.modelType == model.GetModelType()) return *entry.dialect;
  return kStandard;
}

const SqlDialect* DialectNamed(std::string_view name) {
  if (name == kStandardName) return &kStandard;
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

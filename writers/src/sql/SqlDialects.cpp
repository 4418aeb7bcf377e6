// The dialects the sql format knows, by the model type of the plug-in whose
// models they write. This table is the one place in the writers that names
// a plug-in's number; a dialect for another product is a class derived
// from SqlDialect and one line here.
#include "MariaDbDialect.h"
#include "PostgresDialect.h"
#include "SqlDialect.h"
#include "SqliteDialect.h"

#include <tillerhold/GenericModel.h>

namespace writers::sql {

namespace {

constinit const SqlDialect kStandard;
constinit const SqliteDialect kSqlite;
constinit const PostgresDialect kPostgres;
constinit const MariaDbDialect kMariaDb;

struct DialectEntry {
  unsigned int modelType;     // GenericModel::GetModelType of the plug-in's models
  const SqlDialect* dialect;  // static
};

constexpr DialectEntry kDialects[] = {
    {1001, &kSqlite},    // plugins/sqlite
    {1002, &kPostgres},  // plugins/postgres
    {1003, &kMariaDb},   // plugins/mariadb
};

}  // namespace

const SqlDialect& DialectFor(const GenericModel& model) {
  for (const DialectEntry& entry : kDialects)
    if (entry.modelType == model.GetModelType()) return *entry.dialect;
  return kStandard;
}

}  // namespace writers::sql

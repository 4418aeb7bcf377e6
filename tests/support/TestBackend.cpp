#include "TestBackend.h"

#include "RealSchemas.h"

#include <sstream>
#include <stdexcept>

namespace qm::test {

const TestBackend& SqliteBackend();
const TestBackend& PgBackend();
const TestBackend& MariaBackend();

std::string TestBackend::Script(const std::string& schema, const BackendDatabase&) const {
  return RealSchemaSql(schema, Name());
}

std::vector<std::string> TestBackend::Schemas() const {
  std::vector<std::string> schemas = RealSchemaApps(Name());
  schemas.insert(schemas.end(), {"hostile", "shop"});
  return schemas;
}

const std::vector<const TestBackend*>& Backends() {
  static const std::vector<const TestBackend*> backends = {&SqliteBackend(), &PgBackend(), &MariaBackend()};
  return backends;
}

std::vector<Feature> KindsOf(const std::string& schema, const std::string& kinds) {
  std::vector<Feature> features;
  std::istringstream in(kinds);
  for (std::string kind; in >> kind;) features.push_back({schema, kind, "", 1});
  return features;
}

const TestBackend& BackendNamed(const std::string& name) {
  for (const TestBackend* backend : Backends())
    if (backend->Name() == name) return *backend;
  throw std::invalid_argument("no backend named " + name);
}

std::string GenericPluginPath() { return QM_ODBC_PLUGIN; }
std::string ImportProgram() { return QM_IMPORT_EXE; }

}  // namespace qm::test

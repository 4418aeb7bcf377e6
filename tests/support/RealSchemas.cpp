#include "RealSchemas.h"

#include "TempDir.h"

#include <algorithm>
#include <filesystem>

namespace qm::test {

std::vector<std::string> RealSchemaApps(const std::string& database) {
  namespace fs = std::filesystem;
  std::vector<std::string> apps;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(QM_SCHEMA_DIR, error))
    if (fs::exists(entry.path() / (database + ".sql"))) apps.push_back(entry.path().filename().string());
  std::sort(apps.begin(), apps.end());
  return apps;
}

std::string RealSchemaSql(const std::string& app, const std::string& database) {
  return ReadFile(std::string(QM_SCHEMA_DIR) + "/" + app + "/" + database + ".sql");
}

std::string RealVersionSql(const std::string& app, const std::string& file) {
  return ReadFile(std::string(QM_SCHEMA_DIR) + "/../versions/" + app + "/" + file);
}

}  // namespace qm::test

#include "PgServer.h"

#include "PgTestEnv.h"
#include "Subprocess.h"

#include <gtest/gtest.h>

#include <strings.h>
#include <unistd.h>

namespace qm::test {
namespace {

const char* const kPsql = "/usr/bin/psql";

}  // namespace

std::string WithAttribute(const std::string& connectionString, const std::string& key, const std::string& value) {
  std::string result;
  for (std::size_t pos = 0; pos < connectionString.size();) {
    std::size_t end = connectionString.find(';', pos);
    if (end == std::string::npos) end = connectionString.size();
    const std::string part = connectionString.substr(pos, end - pos);
    if (!part.empty() && ::strcasecmp(part.substr(0, part.find('=')).c_str(), key.c_str()) != 0) result += part + ";";
    pos = end + 1;
  }
  return result + key + "=" + value;
}

const std::string& ServerTableSpace() {
  static const std::string name = [] {
    const std::string wanted = "qm_shop_space";
    const std::string count = "SELECT count(*) FROM pg_catalog.pg_tablespace WHERE spcname = '" + wanted + "'";
    // Another test may be making it at this moment: its error is ours too.
    if (QueryValue("postgres", count) != "1")
      RunPsql("postgres", "SET allow_in_place_tablespaces = on;\nCREATE TABLESPACE " + wanted + " LOCATION '';\n");
    return QueryValue("postgres", count) == "1" ? wanted : std::string("pg_default");
  }();
  return name;
}

TestDatabase::TestDatabase(const std::string& tag) : m_name("qm_" + tag + "_" + std::to_string(::getpid())) {
  ServerTableSpace();
  const std::string error = RunPsql("postgres", "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE);\nCREATE DATABASE " +
                                                    m_name + " ENCODING 'UTF8' TEMPLATE template0;\n");
  if (!error.empty()) ADD_FAILURE() << error;
}

TestDatabase::~TestDatabase() { RunPsql("postgres", "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE);\n"); }

std::string TestDatabase::ConnectionString() const {
  return WithAttribute(PgConnectionString().value_or(std::string()), "Database", m_name);
}

std::string RunPsql(const std::string& database, const std::string& script) {
  ProcessOptions options;
  options.input = script;
  const ProcessResult result =
      RunProcess(kPsql, {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", database, "-f", "-"}, options);
  return result.exitCode == 0 ? std::string() : "psql failed: " + Printed(result);
}

std::vector<std::string> QueryColumn(const std::string& database, const std::string& query, const std::string& setup) {
  ProcessOptions options;
  options.input = setup + ";\nSET search_path = '';\nSELECT COALESCE('x' || encode(convert_to(q.v::text, 'UTF8'), 'hex'), "
                  "'N') FROM (" + query + ") AS q(v);\n";
  const ProcessResult result =
      RunProcess(kPsql, {"-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database, "-f", "-"}, options);
  if (result.exitCode != 0) ADD_FAILURE() << "psql failed: " << Printed(result) << "\n" << query;
  return result.exitCode == 0 ? HexValues(result.out) : std::vector<std::string>();
}

std::vector<std::string> HexValues(const std::string& output) {
  const auto digit = [](char ch) { return ch >= 'a' ? ch - 'a' + 10 : ch >= 'A' ? ch - 'A' + 10 : ch - '0'; };
  std::vector<std::string> values;
  for (const std::string& line : Lines(output)) {
    if (line.empty()) continue;
    std::string& bytes = values.emplace_back();
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) bytes += static_cast<char>(digit(line[i]) * 16 + digit(line[i + 1]));
  }
  return values;
}

std::string QueryValue(const std::string& database, const std::string& query) {
  const std::vector<std::string> values = QueryColumn(database, query);
  return values.empty() ? std::string() : values[0];
}

}  // namespace qm::test

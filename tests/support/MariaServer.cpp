#include "MariaServer.h"

#include "HostileNames.h"
#include "PgServer.h"
#include "Subprocess.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

namespace qm::test {
namespace {

const char* const kClient = "/usr/bin/mariadb";

// --binary-mode: sent as written, "\r\n" in names too; DELIMITER still works.
std::vector<std::string> ClientArguments(const std::string& database) {
  std::vector<std::string> args = {"--defaults-file=" + EnvText("QM_MARIA_CLIENT_CNF"), "--batch",
                                   "--skip-column-names", "--default-character-set=utf8mb4", "--binary-mode"};
  if (!database.empty()) args.push_back("--database=" + database);
  return args;
}

}  // namespace

MariaDatabase::MariaDatabase(const std::string& tag) : m_name("qm_" + tag + "_" + std::to_string(::getpid())) {
  const std::string error =
      RunMariaSql("", "DROP DATABASE IF EXISTS " + m_name + ";\nCREATE DATABASE " + m_name + " CHARACTER SET utf8mb4;\n");
  if (!error.empty()) ADD_FAILURE() << error;
}

MariaDatabase::~MariaDatabase() { RunMariaSql("", "DROP DATABASE IF EXISTS " + m_name + ";\n"); }

std::string MariaDatabase::ConnectionString() const {
  return WithAttribute(MariaConnectionString().value_or(std::string()), "Database", m_name);
}

std::string RunMariaSql(const std::string& database, const std::string& script) {
  ProcessOptions options;
  options.input = script;
  const ProcessResult result = RunProcess(kClient, ClientArguments(database), options);
  return result.exitCode == 0 ? std::string() : "mariadb failed: " + Printed(result);
}

std::vector<std::string> MariaQueryColumn(const std::string& query, const std::string& setup, const std::string& user,
                                          const std::string& password) {
  ProcessOptions options;
  options.input = std::string("SET SESSION sql_mode = '") + kMariaSessionSqlMode + "';\n" + setup +
                  (setup.empty() ? "" : ";\n") +
                  "SELECT COALESCE(CONCAT('x', HEX(CONVERT(q.v USING utf8mb4))), 'N') FROM (" + query + ") AS q;\n";
  std::vector<std::string> args = ClientArguments("");
  if (!user.empty()) {
    args.push_back("--user=" + user);
    args.push_back("--password=" + password);
  }
  const ProcessResult result = RunProcess(kClient, args, options);
  if (result.exitCode != 0) ADD_FAILURE() << "mariadb failed: " << Printed(result) << "\n" << query;
  return result.exitCode == 0 ? HexValues(result.out) : std::vector<std::string>();
}

std::string MariaQueryValue(const std::string& query) {
  const std::vector<std::string> values = MariaQueryColumn(query);
  return values.empty() ? std::string() : values[0];
}

std::string MariaLiteral(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string literal = "_utf8mb4 X'";
  for (unsigned char byte : text) {
    literal += kDigits[byte >> 4];
    literal += kDigits[byte & 0x0F];
  }
  return literal + "'";
}

std::string MariaIdent(const std::string& name) { return hardening::Quoted(name, '`'); }

}  // namespace qm::test

#include "PgServer.h"

#include "Subprocess.h"

#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace qm::test::hardening {
namespace {

const char* const kPsql = "/usr/bin/psql";

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

std::optional<std::string> Unhex(const std::string& text) {
  if (text == "N") return std::nullopt;
  std::string bytes;
  // "x" marks a value; an empty text is "x" alone.
  for (std::size_t i = 1; i + 1 < text.size(); i += 2)
    bytes += static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
  return bytes;
}

}  // namespace

std::string RunPsql(const std::string& database, const std::string& script) {
  ProcessOptions options;
  options.input = script;
  const ProcessResult result =
      RunProcess(kPsql, {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", database, "-f", "-"}, options);
  if (result.exitCode == 0) return {};
  return "psql exited with " + std::to_string(result.exitCode) + ": " + result.err;
}

std::string Hex(const std::string& expression) {
  return "COALESCE('x' || encode(convert_to((" + expression + ")::text, 'UTF8'), 'hex'), 'N')";
}

std::vector<std::vector<std::optional<std::string>>> QueryRows(const std::string& database, const std::string& query) {
  const ProcessResult result =
      RunProcess(kPsql, {"-X", "-q", "-A", "-t", "-F", "|", "-v", "ON_ERROR_STOP=1", "-d", database, "-c", query});
  std::vector<std::vector<std::optional<std::string>>> rows;
  if (result.exitCode != 0) {
    ADD_FAILURE() << "psql failed (" << result.exitCode << "): " << result.err << "\n" << query;
    return rows;
  }
  std::size_t pos = 0;
  while (pos < result.out.size()) {
    std::size_t end = result.out.find('\n', pos);
    if (end == std::string::npos) end = result.out.size();
    const std::string line = result.out.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;
    std::vector<std::optional<std::string>> row;
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t bar = line.find('|', start);
      if (bar == std::string::npos) bar = line.size();
      row.push_back(Unhex(line.substr(start, bar - start)));
      start = bar + 1;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> QueryColumn(const std::string& database, const std::string& query) {
  std::vector<std::string> values;
  for (const auto& row : QueryRows(database, query)) values.push_back(row.empty() ? "" : row[0].value_or(""));
  return values;
}

std::string WithDatabase(const std::string& connectionString, const std::string& database) {
  std::string result;
  std::size_t pos = 0;
  while (pos < connectionString.size()) {
    std::size_t end = connectionString.find(';', pos);
    if (end == std::string::npos) end = connectionString.size();
    const std::string part = connectionString.substr(pos, end - pos);
    std::string key = part.substr(0, part.find('='));
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (!part.empty() && key != "database") result += part + ";";
    pos = end + 1;
  }
  return result + "Database=" + database;
}

TestDatabase::TestDatabase(const std::string& tag) : m_name("qm_hard_" + tag + "_" + std::to_string(::getpid())) {
  const std::string error = RunPsql("postgres", "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE);\n"
                                                "CREATE DATABASE " + m_name + " ENCODING 'UTF8' TEMPLATE template0;\n");
  if (!error.empty()) ADD_FAILURE() << "cannot create database " << m_name << ": " << error;
}

TestDatabase::~TestDatabase() { RunPsql("postgres", "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE);\n"); }

std::string TestDatabase::ConnectionString() const {
  return WithDatabase(PgConnectionString().value_or(std::string()), m_name);
}

}  // namespace qm::test::hardening

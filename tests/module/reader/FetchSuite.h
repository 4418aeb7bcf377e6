// One body of fetch tests, run over every real driver: each executable
// instantiates FetchTest with the backends it can reach.
#pragma once

#include "ReaderTestSupport.h"

#include <TempDir.h>

#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace qm::test::reader {

enum class Engine { Sqlite, Postgres };

struct Backend {
  const char* name;        // test-name suffix
  Engine engine;           // which SQL dialect the test data is written in
  bool wideText;           // the driver describes text columns with the wide type codes
  const char* connectEnv;  // environment variable holding the connection string; null for SQLite
};

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) { return info.param.name; }
inline void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

class FetchTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Registers the statement under the id with object type 12 and, when
  // wanted, a recording row action logging into m_log; then runs it.
  void Run(int statementId, const std::u16string& sql, bool withAction = true);
  // Runs a statement for the test's data; fails the test on error.
  void Prepare(const std::u16string& sql);
  // An SQL expression giving the text of the SQL expression `unit` repeated
  // n times.
  std::u16string Repeat(const std::u16string& unit, int n) const;

  TempDir m_dir;                               // SQLite database file lives here
  std::unique_ptr<TestConnector> m_connector;  // the open connection
  GenericModel m_model;                        // handed to the row actions
  ActionLog m_log;                             // what the recording action saw; outlives the action
  TestReader m_reader;                         // under test
  std::u16string m_schema;                     // PostgreSQL: this process's schema
};

// The catalogue-call suite (CatalogCallSuite.cpp) on the same data.
class CatalogCallTest : public FetchTest {
 protected:
  // Arguments naming a table of the test's data (in the test's own schema
  // on PostgreSQL).
  CatalogCall::Arguments Table(const std::u16string& name) const {
    CatalogCall::Arguments arguments;
    if (!m_schema.empty()) arguments.schema = m_schema;
    arguments.object = name;
    return arguments;
  }
  void Register(CatalogCall::Function function, std::vector<CatalogCall::Arguments> calls) {
    CatalogCall call;
    call.function = function;
    call.calls = std::move(calls);
    m_reader.AddCatalogCall(1, 12, std::move(call), u"the call");
    m_reader.SetStatementRowAction(1, new RecordingRowAction(&m_log));
  }
};

// Decimal text of a number, for building statements.
inline std::u16string Number(long long n) { return CString::FromUtf8(std::to_string(n)).str(); }

}  // namespace qm::test::reader

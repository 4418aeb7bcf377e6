// The connector base (SchemaSourceConnectorI) over every backend's driver:
// names reported, the completed string cut to its buffer, every handle freed
// (OdbcFaults.h). (Failures at each step: tests/module/source/SqliteConnectorTest.cpp.)
#include <OdbcFaults.h>
#include <OdbcTestSupport.h>
#include "Families.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

class ConnectorTest : public ::testing::TestWithParam<const TestBackend*> {
 protected:
  void SetUp() override { QM_REQUIRE_BACKEND(*GetParam()); }
};

TEST_P(ConnectorTest, ConnectsReportsTheNamesAndHandsBackTheCompletedString) {
  const TestBackend& backend = *GetParam();
  const std::unique_ptr<BackendDatabase> database = backend.Create("connector");
  const auto handles = odbc::LiveHandles();
  {
    TestConnector connector;
    const CString given = CString::FromUtf8(database->ConnectionString());
    CString argument = given;
    ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
    EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"CREATE TABLE kept (a INTEGER)"), "");
    const auto [server, name] = backend.ReportedNames(*database);
    EXPECT_EQ(CString(connector.GetServerName()), CString::FromUtf8(server));
    EXPECT_EQ(CString(connector.GetDatabaseName()), CString::FromUtf8(name));
    EXPECT_EQ(argument, CString(connector.GetConnectionString()));
    EXPECT_EQ(connector.GetConnectionStringLength(), argument.GetLength());
    EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());

    connector.Disconnect();
    connector.Disconnect();  // nothing open: harmless
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    EXPECT_EQ(odbc::LiveHandles(), handles);
    argument = given;
    ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
    EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"SELECT a FROM kept"), "");

    // The string comes back cut to the buffer; the driver manager reports
    // its length, or the driver cuts it itself.
    if (const std::string longer = backend.LongConnectionString(*database); !longer.empty()) {
      argument = CString::FromUtf8(longer);
      ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
      EXPECT_GE(connector.GetConnectionStringLength(), SchemaSourceConnectorI::kBufferLength - 1);
      EXPECT_LE(argument.GetLength(), SchemaSourceConnectorI::kBufferLength - 1);
      EXPECT_EQ(argument, CString(connector.GetConnectionString()));
      EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"SELECT 1"), "");
    }
  }
  EXPECT_EQ(odbc::LiveHandles(), handles) << "the destructor left the connection open";
}

INSTANTIATE_TEST_SUITE_P(Drivers, ConnectorTest, ::testing::ValuesIn(Backends()), BackendName);

class WideNameTest : public ConnectorTest {};

TEST_P(WideNameTest, NameOutsideAsciiTravelsAsUtf16BothWays) {
  const std::unique_ptr<BackendDatabase> database = GetParam()->Create("données_€");
  TestConnector connector;
  CString argument = CString::FromUtf8(database->ConnectionString());
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(CString(connector.GetDatabaseName()), CString::FromUtf8(database->Name()));
  EXPECT_NE(argument.view().find(CString::FromUtf8(database->Name()).view()), std::u16string_view::npos)
      << argument.ToUtf8();
}

INSTANTIATE_TEST_SUITE_P(Drivers, WideNameTest,
                         ::testing::ValuesIn(BackendsWith([](const TestBackend& b) { return b.WideNames(); })), BackendName);

}  // namespace
}  // namespace qm::test

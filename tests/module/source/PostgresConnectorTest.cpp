// psqlODBC's login timeout, through the connector, with no server needed.
// (Connecting on every driver: tests/families/ConnectorTest.cpp.)
#include <OdbcTestSupport.h>
#include <SilentListener.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>

namespace qm::test {
namespace {

CString Utf16(const std::string& utf8) { return CString::FromUtf8(utf8); }

// psqlODBC hands ODBC's login timeout to libpq as its connect_timeout, which
// covers the whole start-up: a server that accepts the connection and then
// says nothing is given up on after it (libpq's shortest is 2 s), rather
// than after the 60 s a new connector waits. No PostgreSQL server is needed,
// only the driver.
TEST(PostgresLoginTimeoutTest, ServerThatNeverAnswersIsGivenUpOnAfterTheLoginTimeout) {
  SilentListener server;
  ASSERT_NE(server.Port(), 0);
  TestConnector connector;
  EXPECT_EQ(connector.GetLoginTimeout(), 60u);
  connector.SetLoginTimeout(2);
  CString argument = Utf16("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(server.Port()) +
                           ";Database=shop;Uid=clerk;Pwd=x;CommLog=0");
  const CString given = argument;
  auto attempt = std::async(std::launch::async, [&] { return connector.Connect(argument); });
  if (attempt.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    // The connect cannot be taken back; a hung test must not hang the run.
    ADD_FAILURE() << "still connecting after 20 s";
    std::abort();
  }
  EXPECT_FALSE(attempt.get());
  EXPECT_TRUE(server.WaitForConnections(1, std::chrono::milliseconds(0))) << "the driver never reached the server";
  EXPECT_EQ(connector.GetLastDiagnostic().sqlState, u"08001") << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(argument, given);
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
}

}  // namespace
}  // namespace qm::test

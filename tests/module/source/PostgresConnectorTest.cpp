// The connector against the real driver manager, psqlODBC and the test run's
// PostgreSQL server (QM_PG_CONNECT). Wrong passwords and refused ports are
// the host's end-to-end and hardening tests' to check.
#include <OdbcTestSupport.h>
#include <PgTestEnv.h>
#include <SilentListener.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <utility>

namespace qm::test {
namespace {

CString Utf16(const std::string& utf8) { return CString::FromUtf8(utf8); }

// Where the value of a key=value attribute (key compared without case)
// begins and how long it is; npos when there is none.
std::pair<std::size_t, std::size_t> ValueSpan(const std::string& connectionString, std::string key) {
  std::string lower = connectionString;
  for (std::string* text : {&lower, &key})
    std::transform(text->begin(), text->end(), text->begin(), [](unsigned char c) { return std::tolower(c); });
  key += '=';
  for (std::size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + 1)) {
    if (at != 0 && lower[at - 1] != ';') continue;
    const std::size_t begin = at + key.size();
    return {begin, std::min(lower.find(';', begin), lower.size()) - begin};
  }
  return {std::string::npos, 0};
}

std::string Attribute(const std::string& connectionString, const std::string& key) {
  const auto [begin, length] = ValueSpan(connectionString, key);
  return begin == std::string::npos ? std::string() : connectionString.substr(begin, length);
}

class PostgresConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QM_REQUIRE_PG();
    m_connect = *PgConnectionString();
  }

  std::string m_connect;  // QM_PG_CONNECT of the test server
};

TEST_F(PostgresConnectorTest, ConnectReportsTheNamesAndTheCompletedStringCutToTheBuffer) {
  TestConnector connector;
  CString argument = Utf16(m_connect);
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"SELECT 1"), "");
  // psqlODBC reports the host it was given.
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(Attribute(m_connect, "Server")));
  EXPECT_EQ(CString(connector.GetDatabaseName()), u"qm_test");
  const std::string completed = argument.ToUtf8();
  EXPECT_EQ(completed.rfind("DRIVER={PostgreSQL Unicode};", 0), 0u) << completed;
  EXPECT_EQ(Attribute(completed, "DATABASE"), "qm_test") << completed;
  EXPECT_EQ(Attribute(completed, "PORT"), Attribute(m_connect, "Port")) << completed;
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));

  // ConnSettings is run at connect and echoed in the completed string, so a
  // long harmless one pushes the string past the buffer. The driver manager
  // reports the full length; psqlODBC cuts at an attribute boundary.
  argument = Utf16(m_connect + ";ConnSettings=SET application_name TO '" + std::string(200, 'q') + "'");
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  EXPECT_GT(connector.GetConnectionStringLength(), SchemaSourceConnectorI::kBufferLength - 1);
  EXPECT_LE(argument.GetLength(), SchemaSourceConnectorI::kBufferLength - 1);
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));
  EXPECT_EQ(argument.ToUtf8().rfind("DRIVER={PostgreSQL Unicode};", 0), 0u) << argument.ToUtf8();
  EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"SELECT 1"), "");
}

TEST_F(PostgresConnectorTest, NonAsciiDatabaseNameTravelsAsUtf16BothWays) {
  // A Unicode driver takes the wide string as it is; the name read back must
  // be the same UTF-16 text, including a character outside Latin-1.
  const std::u16string name = u"qm_données_€";
  TestConnector admin;
  CString adminArgument = Utf16(m_connect);
  ASSERT_TRUE(admin.Connect(adminArgument)) << Describe(admin.GetLastDiagnostic());
  const std::u16string drop = u"DROP DATABASE IF EXISTS \"" + name + u"\"";
  ASSERT_EQ(Exec(admin.GetConnectionHandle(), drop), "");
  ASSERT_EQ(Exec(admin.GetConnectionHandle(), u"CREATE DATABASE \"" + name + u"\""), "");
  {
    std::string connect = m_connect;
    const auto [begin, length] = ValueSpan(connect, "Database");
    ASSERT_NE(begin, std::string::npos) << connect;
    TestConnector connector;
    CString argument = Utf16(connect.replace(begin, length, Utf8(name)));
    EXPECT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
    EXPECT_EQ(CString(connector.GetDatabaseName()), CString(name));
    EXPECT_NE(argument.view().find(u"DATABASE=" + name + u";"), std::u16string_view::npos) << argument.ToUtf8();
  }
  EXPECT_EQ(Exec(admin.GetConnectionHandle(), drop), "");
}

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

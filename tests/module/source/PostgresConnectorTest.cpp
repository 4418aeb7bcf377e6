// The connector against the real driver manager, psqlODBC and the test run's
// PostgreSQL server (QM_PG_CONNECT).
#include "ConnectorTestSupport.h"

#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace qm::test {
namespace {

std::string Describe(const OdbcDiagnostic& d) {
  return CString(d.sqlState).ToUtf8() + " (" + std::to_string(d.nativeError) + ") " + CString(d.message).ToUtf8();
}

// The attributes of a connection string as key=value pieces between
// semicolons (no braces with semicolons inside in the strings used here).
std::vector<std::string> Pieces(const std::string& connectionString) {
  std::vector<std::string> pieces;
  std::size_t begin = 0;
  while (begin <= connectionString.size()) {
    const std::size_t end = std::min(connectionString.find(';', begin), connectionString.size());
    pieces.push_back(connectionString.substr(begin, end - begin));
    begin = end + 1;
  }
  return pieces;
}

bool HasKey(const std::string& piece, const std::string& key) {
  return piece.size() > key.size() && piece[key.size()] == '=' &&
         std::equal(key.begin(), key.end(), piece.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b)); });
}

// The value of a key=value attribute (key compared without case), or empty.
std::string Attribute(const std::string& connectionString, const std::string& key) {
  for (const std::string& piece : Pieces(connectionString))
    if (HasKey(piece, key)) return piece.substr(key.size() + 1);
  return std::string();
}

// The connection string with one attribute's value replaced.
std::string WithAttribute(const std::string& connectionString, const std::string& key, const std::string& value) {
  std::string result;
  for (const std::string& piece : Pieces(connectionString)) {
    if (!result.empty()) result += ';';
    result += HasKey(piece, key) ? piece.substr(0, key.size() + 1) + value : piece;
  }
  return result;
}

class PostgresConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QM_REQUIRE_PG();
    m_connect = *PgConnectionString();
  }

  std::string m_connect;  // QM_PG_CONNECT of the test server
};

TEST_F(PostgresConnectorTest, ConnectReportsServerAndDatabase) {
  TestConnector connector;
  CString argument = Utf16(m_connect);

  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  ASSERT_NE(connector.GetConnectionHandle(), nullptr);
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"SELECT 1"));
  // psqlODBC reports the host it was given.
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(Attribute(m_connect, "Server")));
  EXPECT_EQ(CString(connector.GetDatabaseName()), u"qm_test");
  const std::string completed = argument.ToUtf8();
  EXPECT_EQ(completed.rfind("DRIVER={PostgreSQL Unicode};", 0), 0u) << completed;
  EXPECT_EQ(Attribute(completed, "DATABASE"), "qm_test") << completed;
  EXPECT_EQ(Attribute(completed, "PORT"), Attribute(m_connect, "Port")) << completed;
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));
  EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());

  connector.Disconnect();
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
}

TEST_F(PostgresConnectorTest, NonAsciiDatabaseNameTravelsAsUtf16BothWays) {
  // A Unicode driver takes the wide string as it is; the name read back must
  // be the same UTF-16 text, including a character outside Latin-1.
  const std::u16string name = u"qm_données_€";
  TestConnector admin;
  CString adminArgument = Utf16(m_connect);
  ASSERT_TRUE(admin.Connect(adminArgument)) << Describe(admin.GetLastDiagnostic());
  const std::u16string drop = u"DROP DATABASE IF EXISTS \"" + name + u"\"";
  ASSERT_TRUE(ExecutesOn(admin.GetConnectionHandle(), drop.c_str()));
  ASSERT_TRUE(ExecutesOn(admin.GetConnectionHandle(), (u"CREATE DATABASE \"" + name + u"\"").c_str()));

  {
    TestConnector connector;
    CString argument = Utf16(WithAttribute(m_connect, "Database", CString(name).ToUtf8()));
    EXPECT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
    EXPECT_EQ(CString(connector.GetDatabaseName()), CString(name));
    EXPECT_NE(argument.view().find(u"DATABASE=" + name + u";"), std::u16string_view::npos) << argument.ToUtf8();
  }
  EXPECT_TRUE(ExecutesOn(admin.GetConnectionHandle(), drop.c_str()));
}

TEST_F(PostgresConnectorTest, ServerFailuresKeepTheArgumentAndTheReason) {
  struct Case {
    const char* what;
    std::string connectionString;
    std::u16string expectedText;  // part of the driver's message
  };
  // psqlODBC reports both as 08001 ("unable to connect") and carries the
  // server's own reason in the message.
  const Case cases[] = {
      {"wrong password", WithAttribute(m_connect, "Pwd", "not-the-password"), u"password authentication failed"},
      {"refused port", WithAttribute(m_connect, "Port", "1"), u"Connection refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestConnector connector;
    const CString given = Utf16(c.connectionString);
    CString argument = given;

    EXPECT_FALSE(connector.Connect(argument));

    EXPECT_EQ(argument, given);
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    EXPECT_EQ(CString(connector.GetDatabaseName()), u"");
    const OdbcDiagnostic& diagnostic = connector.GetLastDiagnostic();
    EXPECT_EQ(diagnostic.sqlState, u"08001") << Describe(diagnostic);
    EXPECT_NE(diagnostic.message.find(c.expectedText), std::u16string::npos) << Describe(diagnostic);
  }
}

TEST_F(PostgresConnectorTest, DialogThatFixesThePasswordConnects) {
  const CString wrong = Utf16(WithAttribute(m_connect, "Pwd", "typo"));
  const CString right = Utf16(m_connect);
  CString seen;
  ScopedDialogHook hook([&](HWND, CString& text) {
    seen = text;
    text = right;
    return true;
  });
  TestConnector connector;
  CString argument = wrong;

  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  EXPECT_EQ(seen, wrong);
  EXPECT_EQ(Attribute(argument.ToUtf8(), "PWD"), Attribute(m_connect, "Pwd"));
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"SELECT 1"));
}

TEST_F(PostgresConnectorTest, LongCompletedStringComesBackCut) {
  // ConnSettings is run at connect and echoed in the completed string, so a
  // long harmless one pushes the string past the buffer.
  const std::string padding(200, 'q');
  const std::string given = m_connect + ";ConnSettings=SET application_name TO '" + padding + "'";
  TestConnector connector;
  CString argument = Utf16(given);

  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  // The driver manager reports the full length; psqlODBC cuts at an
  // attribute boundary, so what comes back is at most 254 characters.
  EXPECT_GT(connector.GetConnectionStringLength(), SchemaSourceConnectorI::kBufferLength - 1);
  EXPECT_LE(argument.GetLength(), SchemaSourceConnectorI::kBufferLength - 1);
  EXPECT_FALSE(argument.IsEmpty());
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));
  EXPECT_EQ(argument.ToUtf8().rfind("DRIVER={PostgreSQL Unicode};", 0), 0u) << argument.ToUtf8();
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"SELECT 1"));
}

}  // namespace
}  // namespace qm::test

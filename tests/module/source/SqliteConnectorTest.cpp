// The connector against the real driver manager and the SQLite3 ODBC driver
// on temporary database files.
#include "ConnectorTestSupport.h"

#include <platform/Win32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qm::test {
namespace {

std::string Describe(const OdbcDiagnostic& d) {
  return CString(d.sqlState).ToUtf8() + " (" + std::to_string(d.nativeError) + ") " + CString(d.message).ToUtf8();
}

class SqliteConnectorTest : public ::testing::Test {
 protected:
  TempDir m_dir;
};

TEST_F(SqliteConnectorTest, ConnectReadsNamesAndHandsBackTheCompletedString) {
  const std::filesystem::path file = m_dir.Path() / "model.db";
  TestConnector connector;
  CString argument = SqliteConnectionString(file);

  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  ASSERT_NE(connector.GetConnectionHandle(), nullptr);
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"CREATE TABLE t(a INTEGER)"));
  // The SQLite3 driver reports the database file as both names.
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(file.string()));
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(file.string()));
  EXPECT_TRUE(std::filesystem::exists(file));
  // The argument now holds the driver's completed string, not what was given.
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));
  EXPECT_NE(argument.view().find(u"Database=" + Utf16(file.string()).str() + u";"), std::u16string_view::npos)
      << argument.ToUtf8();
  EXPECT_NE(argument, SqliteConnectionString(file));
  EXPECT_EQ(connector.GetConnectionStringLength(), argument.GetLength());
  EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());
}

TEST_F(SqliteConnectorTest, DisconnectClosesAndTheConnectorConnectsAgain) {
  const std::filesystem::path file = m_dir.Path() / "again.db";
  TestConnector connector;
  const CString given = SqliteConnectionString(file);
  CString argument = given;
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  ASSERT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"CREATE TABLE kept(a INTEGER)"));

  connector.Disconnect();
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
  connector.Disconnect();  // nothing open: harmless
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);

  // The next import connects the same connector again. (The SQLite3
  // driver's completed string names no driver, so the given one is used.)
  argument = given;
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  ASSERT_NE(connector.GetConnectionHandle(), nullptr);
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"SELECT a FROM kept"));
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(file.string()));
}

TEST_F(SqliteConnectorTest, PlugInConnectStepLeavesTheConnectorConnected) {
  const std::filesystem::path file = m_dir.Path() / "plugin.db";
  TestConnector connector(SqliteConnectionString(file));
  ASSERT_TRUE(connector.EstablishConnection()) << Describe(connector.GetLastDiagnostic());
  EXPECT_NE(connector.GetConnectionHandle(), nullptr);
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(file.string()));

  CString scope = u"";
  connector.GetREScope(scope);
  EXPECT_TRUE(scope.IsEmpty());
  scope = u"public";
  connector.GetREScope(scope);
  EXPECT_EQ(scope, u"public");
}

TEST_F(SqliteConnectorTest, RefusedDatabaseFailsWithTheDriversReason) {
  const std::filesystem::path file = m_dir.Path() / "missing.db";
  TestConnector connector;
  const CString given = SqliteConnectionString(file, u";NoCreat=1");
  CString argument = given;

  EXPECT_FALSE(connector.Connect(argument));

  EXPECT_EQ(argument, given);
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(CString(connector.GetServerName()), u"");
  const OdbcDiagnostic& diagnostic = connector.GetLastDiagnostic();
  EXPECT_EQ(diagnostic.sqlState.size(), 5u) << Describe(diagnostic);
  EXPECT_NE(diagnostic.message.find(u"connect failed"), std::u16string::npos) << Describe(diagnostic);
}

TEST_F(SqliteConnectorTest, DriverManagerFailuresKeepTheirReason) {
  struct Case {
    const char16_t* connectionString;
    std::u16string expectedState;
    std::u16string expectedText;
  };
  // unixODBC 2.3 answers an unregistered driver name with only 01000 "Can't
  // open lib"; an unknown data source name is IM002.
  const Case cases[] = {
      {u"Driver={Quillmere No Such Driver};Database=x", u"01000", u"Quillmere No Such Driver"},
      {u"DSN=quillmere_no_such_dsn", u"IM002", u"Data source name not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CString(c.connectionString).ToUtf8());
    TestConnector connector;
    CString argument = c.connectionString;
    EXPECT_FALSE(connector.Connect(argument));
    EXPECT_EQ(argument, c.connectionString);
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    const OdbcDiagnostic& diagnostic = connector.GetLastDiagnostic();
    EXPECT_EQ(diagnostic.sqlState, c.expectedState) << Describe(diagnostic);
    EXPECT_NE(diagnostic.message.find(c.expectedText), std::u16string::npos) << Describe(diagnostic);
  }
}

TEST_F(SqliteConnectorTest, FailedConnectLeavesThePreviousConnectionOpen) {
  const std::filesystem::path first = m_dir.Path() / "first.db";
  const std::filesystem::path second = m_dir.Path() / "second.db";
  TestConnector connector;
  CString argument = SqliteConnectionString(first);
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  void* const open = connector.GetConnectionHandle();

  CString refused = SqliteConnectionString(m_dir.Path() / "missing.db", u";NoCreat=1");
  EXPECT_FALSE(connector.Connect(refused));
  EXPECT_EQ(connector.GetConnectionHandle(), open);
  EXPECT_TRUE(ExecutesOn(open, u"CREATE TABLE still_open(a INTEGER)"));
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(first.string()));
  EXPECT_FALSE(connector.GetLastDiagnostic().IsEmpty());

  // Connecting elsewhere while open switches over and forgets the failure.
  CString other = SqliteConnectionString(second);
  ASSERT_TRUE(connector.Connect(other)) << Describe(connector.GetLastDiagnostic());
  EXPECT_NE(connector.GetConnectionHandle(), nullptr);
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(second.string()));
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(second.string()));
  EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"CREATE TABLE on_second(a INTEGER)"));
}

TEST_F(SqliteConnectorTest, LongCompletedStringComesBackCutTo254Characters) {
  const std::filesystem::path file = m_dir.Path() / (std::string(200, 'n') + ".db");
  TestConnector connector;
  CString argument = SqliteConnectionString(file);
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  EXPECT_EQ(argument.GetLength(), SchemaSourceConnectorI::kBufferLength - 1);
  EXPECT_EQ(argument, CString(connector.GetConnectionString()));
  const std::u16string head = u"DSN=;Database=" + Utf16(file.string()).str() + u";";
  EXPECT_EQ(argument.view().substr(0, head.size()), head);
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"CREATE TABLE t(a INTEGER)"));
}

TEST_F(SqliteConnectorTest, CancelledDialogConnectsNothingAndSaysNothing) {
  const std::filesystem::path file = m_dir.Path() / "cancelled.db";
  const CString given = SqliteConnectionString(file);
  HWND seenParent = nullptr;
  CString seenText;
  ScopedDialogHook hook([&](HWND parent, CString& text) {
    seenParent = parent;
    seenText = text;
    text = u"Driver={SQLite3};Database=/should/not/be/used.db";
    return false;
  });
  TestConnector connector;
  CString argument = given;

  EXPECT_FALSE(connector.Connect(argument));

  EXPECT_EQ(seenParent, GetDesktopWindow());
  EXPECT_NE(seenParent, nullptr);
  EXPECT_EQ(seenText, given);
  EXPECT_EQ(argument, given);
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
  EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SqliteConnectorTest, AcceptedDialogConnectsWithTheEditedString) {
  const std::filesystem::path asked = m_dir.Path() / "asked.db";
  const std::filesystem::path chosen = m_dir.Path() / "chosen.db";
  ScopedDialogHook hook([&](HWND, CString& text) {
    text = SqliteConnectionString(chosen);
    return true;
  });
  TestConnector connector;
  CString argument = SqliteConnectionString(asked);

  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());

  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(chosen.string()));
  EXPECT_NE(argument.view().find(Utf16(chosen.string()).view()), std::u16string_view::npos) << argument.ToUtf8();
  EXPECT_TRUE(std::filesystem::exists(chosen));
  EXPECT_FALSE(std::filesystem::exists(asked));
}

}  // namespace
}  // namespace qm::test

// What the connector allocates from the driver manager it gives back: after
// Disconnect, after a failed Connect at any step, when a new connection
// replaces an open one, and when the connector goes. Handles are counted at
// the driver manager's door (OdbcHandleCounter); failures the real driver
// manager will not produce on demand are injected there.
#include "ConnectorTestSupport.h"
#include "OdbcHandleCounter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace qm::test {
namespace {

using odbc::Fault;
using odbc::LiveConnections;
using odbc::LiveEnvironments;
using odbc::ScopedFault;

std::string Describe(const OdbcDiagnostic& d) {
  return CString(d.sqlState).ToUtf8() + " (" + std::to_string(d.nativeError) + ") " + CString(d.message).ToUtf8();
}

class ConnectorHandlesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LiveEnvironments(), 0);
    ASSERT_EQ(LiveConnections(), 0);
  }

  CString Database(const char* name) const { return SqliteConnectionString(m_dir.Path() / name); }

  TempDir m_dir;
};

TEST_F(ConnectorHandlesTest, DisconnectFreesBothHandlesOnce) {
  TestConnector connector;
  CString argument = Database("a.db");
  ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(LiveEnvironments(), 1);
  EXPECT_EQ(LiveConnections(), 1);

  connector.Disconnect();
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
  connector.Disconnect();
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
}

TEST_F(ConnectorHandlesTest, NewConnectionReplacesTheOpenOneAndAFailedOneKeepsIt) {
  TestConnector connector;
  CString first = Database("first.db");
  ASSERT_TRUE(connector.Connect(first)) << Describe(connector.GetLastDiagnostic());
  CString second = Database("second.db");
  ASSERT_TRUE(connector.Connect(second)) << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(LiveEnvironments(), 1);
  EXPECT_EQ(LiveConnections(), 1);

  CString refused = SqliteConnectionString(m_dir.Path() / "missing.db", u";NoCreat=1");
  EXPECT_FALSE(connector.Connect(refused));
  EXPECT_EQ(LiveEnvironments(), 1);
  EXPECT_EQ(LiveConnections(), 1);
  EXPECT_TRUE(ExecutesOn(connector.GetConnectionHandle(), u"CREATE TABLE t(a INTEGER)"));
}

TEST_F(ConnectorHandlesTest, DestructorReleasesAnOpenConnection) {
  {
    TestConnector connector;
    CString argument = Database("open.db");
    ASSERT_TRUE(connector.Connect(argument)) << Describe(connector.GetLastDiagnostic());
    EXPECT_EQ(LiveConnections(), 1);
  }
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
}

TEST_F(ConnectorHandlesTest, FailureAtEachStepReleasesWhatWasAllocated) {
  struct Case {
    const char* what;
    Fault fault;
    std::u16string expectedState;
    std::u16string expectedText;
  };
  const Case cases[] = {
      // No handle exists to ask, so the connector names the failure itself.
      {"environment allocation", Fault::EnvironmentAllocation, u"HY001", u"environment"},
      // The driver manager's own diagnostic from the environment handle.
      {"ODBC version", Fault::OdbcVersion, u"", u"Invalid attribute value"},
      // A failure without any diagnostic record still carries a reason.
      {"connection allocation", Fault::ConnectionAllocation, u"HY000", u"SQLAllocHandle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestConnector connector;
    const CString given = Database("never.db");
    CString argument = given;
    {
      ScopedFault fault(c.fault);
      EXPECT_FALSE(connector.Connect(argument));
    }
    EXPECT_EQ(argument, given);
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    EXPECT_EQ(LiveEnvironments(), 0);
    EXPECT_EQ(LiveConnections(), 0);
    const OdbcDiagnostic& diagnostic = connector.GetLastDiagnostic();
    if (!c.expectedState.empty()) {
      EXPECT_EQ(diagnostic.sqlState, c.expectedState) << Describe(diagnostic);
    }
    EXPECT_EQ(diagnostic.sqlState.size(), 5u) << Describe(diagnostic);
    EXPECT_NE(diagnostic.message.find(c.expectedText), std::u16string::npos) << Describe(diagnostic);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "never.db"));
  }
}

TEST_F(ConnectorHandlesTest, RepeatedFailedConnectsLeakNothing) {
  // The count is the check that matters: the driver manager keeps every
  // handle on its own lists, so LeakSanitizer does not see a handle that is
  // never freed.
  const CString refused = SqliteConnectionString(m_dir.Path() / "missing.db", u";NoCreat=1");
  const CString unknownDriver = u"Driver={Quillmere No Such Driver};Database=x";
  TestConnector connector;
  for (int i = 0; i < 200; ++i) {
    CString argument = (i % 2 == 0) ? refused : unknownDriver;
    ASSERT_FALSE(connector.Connect(argument)) << "attempt " << i;
    ASSERT_FALSE(connector.GetLastDiagnostic().IsEmpty()) << "attempt " << i;
    ASSERT_EQ(LiveEnvironments(), 0) << "attempt " << i;
    ASSERT_EQ(LiveConnections(), 0) << "attempt " << i;
  }
}

TEST_F(ConnectorHandlesTest, OverlongConnectionStringIsRefusedWithAReason) {
  // The driver manager takes the length as a 16-bit count; a longer string
  // must not reach it with a wrapped length.
  TestConnector connector;
  const CString given = Database("x.db") + u";Padding=" + CString(u'p', 40000);
  CString argument = given;
  EXPECT_FALSE(connector.Connect(argument));
  EXPECT_EQ(argument, given);
  EXPECT_EQ(connector.GetLastDiagnostic().sqlState, u"HY090");
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
}

TEST_F(ConnectorHandlesTest, CancelledOrThrowingDialogReleasesTheHandles) {
  TestConnector connector;
  CString argument = Database("dialog.db");
  {
    ScopedDialogHook hook([](HWND, CString&) { return false; });
    EXPECT_FALSE(connector.Connect(argument));
  }
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
  {
    // A host's dialog that throws: the exception is the host's to handle,
    // the handles are not lost with it.
    ScopedDialogHook hook([](HWND, CString&) -> bool { throw std::runtime_error("dialog broke"); });
    EXPECT_THROW(connector.Connect(argument), std::runtime_error);
  }
  EXPECT_EQ(LiveEnvironments(), 0);
  EXPECT_EQ(LiveConnections(), 0);
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
}

}  // namespace
}  // namespace qm::test

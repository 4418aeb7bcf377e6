// The connector against the real driver manager and SQLite3 driver, with
// handles counted and faults injected at the driver manager's door
// (connecting on every driver: tests/families/ConnectorTest.cpp).
#include <OdbcFaults.h>
#include <OdbcTestSupport.h>
#include <TempDir.h>

#include <platform/ConnectionDialog.h>
#include <schemaimport/OdbcSupport.h>
#include <platform/Win32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test {
namespace {

using odbc::Fault;
using odbc::LiveConnections;
using odbc::LiveEnvironments;

CString Utf16(const std::string& utf8) { return CString::FromUtf8(utf8); }

// Installs a connection-dialog hook and puts the previous one back.
class ScopedDialogHook {
 public:
  explicit ScopedDialogHook(platform::ConnectionDialogHook hook)
      : m_previous(platform::SetConnectionDialogHook(std::move(hook))) {}
  ~ScopedDialogHook() { platform::SetConnectionDialogHook(std::move(m_previous)); }
  ScopedDialogHook(const ScopedDialogHook&) = delete;
  ScopedDialogHook& operator=(const ScopedDialogHook&) = delete;

 private:
  platform::ConnectionDialogHook m_previous;  // restored on destruction
};

class SqliteConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LiveEnvironments(), 0);
    ASSERT_EQ(LiveConnections(), 0);
  }

  // The SQLite3 driver's connection string for a file in the test's directory.
  CString Database(const char* name, const char16_t* extra = u"") const {
    return u"Driver={SQLite3};Database=" + Utf16(m_dir.Path(name)) + extra;
  }
  void ExpectLive(int handles) const {
    EXPECT_EQ(LiveEnvironments(), handles);
    EXPECT_EQ(LiveConnections(), handles);
  }

  TempDir m_dir;
  odbc::Disarm m_disarm;  // no fault outlives its test
};

// A failed attempt leaves the open connection, its names and handles as they were.
TEST_F(SqliteConnectorTest, FailedConnectKeepsTheOpenConnectionAndASuccessfulOneReplacesIt) {
  TestConnector connector;
  CString first = Database("first.db");
  ASSERT_TRUE(connector.Connect(first)) << Describe(connector.GetLastDiagnostic());
  void* const open = connector.GetConnectionHandle();

  const CString refused = Database("missing.db", u";NoCreat=1");
  CString argument = refused;
  EXPECT_FALSE(connector.Connect(argument));
  EXPECT_EQ(argument, refused);
  EXPECT_EQ(connector.GetConnectionHandle(), open);
  EXPECT_EQ(Exec(open, u"CREATE TABLE still_open(a INTEGER)"), "");
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(m_dir.Path("first.db")));
  EXPECT_FALSE(connector.GetLastDiagnostic().IsEmpty());
  ExpectLive(1);

  // Connecting elsewhere switches over and forgets the failure.
  CString second = Database("second.db");
  ASSERT_TRUE(connector.Connect(second)) << Describe(connector.GetLastDiagnostic());
  EXPECT_EQ(CString(connector.GetDatabaseName()), Utf16(m_dir.Path("second.db")));
  EXPECT_EQ(CString(connector.GetServerName()), Utf16(m_dir.Path("second.db")));
  EXPECT_TRUE(connector.GetLastDiagnostic().IsEmpty());
  EXPECT_EQ(Exec(connector.GetConnectionHandle(), u"CREATE TABLE on_second(a INTEGER)"), "");
  ExpectLive(1);
}

TEST_F(SqliteConnectorTest, FailureAtEachStepFreesWhatWasAllocatedAndKeepsTheReason) {
  using Origin = OdbcDiagnostic::Origin;
  struct Case {
    const char* what;
    Fault fault;
    CString connectionString;
    Origin origin;         // who gives the reason
    std::u16string state;  // expected SQLSTATE from the driver; empty: any five characters
    std::u16string text;   // part of the message
  };
  const Case cases[] = {
      // No handle to ask: the module names the failure, with no SQLSTATE.
      {"environment allocation", Fault::EnvironmentAllocation, Database("never.db"), Origin::Module, u"", u"environment"},
      // The driver manager's own diagnostic from the environment handle.
      {"ODBC version", Fault::OdbcVersion, Database("never.db"), Origin::Driver, u"", u"Invalid attribute value"},
      // A failure without any diagnostic record still carries a reason.
      {"connection allocation", Fault::ConnectionAllocation, Database("never.db"), Origin::Module, u"", u"SQLAllocHandle"},
      // unixODBC 2.3 answers an unregistered driver with only 01000 "Can't open lib".
      {"unknown driver", Fault::None, u"Driver={Quillmere No Such Driver};Database=x", Origin::Driver, u"01000",
       u"Quillmere No Such Driver"},
      {"unknown data source", Fault::None, u"DSN=quillmere_no_such_dsn", Origin::Driver, u"IM002",
       u"Data source name not found"},
      {"refused database", Fault::None, Database("never.db", u";NoCreat=1"), Origin::Driver, u"", u"connect failed"},
      // The driver manager takes the length as a 16-bit count: a longer
      // string must not reach it with a wrapped length.
      {"over-long string", Fault::None, Database("never.db") + u";Padding=" + CString(u'p', 40000), Origin::Module, u"",
       u"32767"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestConnector connector;
    CString argument = c.connectionString;
    odbc::InjectFault(c.fault);
    EXPECT_FALSE(connector.Connect(argument));
    odbc::InjectFault(Fault::None);
    EXPECT_EQ(argument, c.connectionString);
    EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
    // Only the count shows a handle never freed; LeakSanitizer does not.
    ExpectLive(0);
    const OdbcDiagnostic& diagnostic = connector.GetLastDiagnostic();
    EXPECT_EQ(diagnostic.origin, c.origin) << Describe(diagnostic);
    if (c.origin != Origin::Driver) {
      EXPECT_EQ(diagnostic.sqlState, u"") << Describe(diagnostic);
      EXPECT_EQ(diagnostic.Describe(), diagnostic.message);
    } else if (c.state.empty()) {
      EXPECT_EQ(diagnostic.sqlState.size(), 5u) << Describe(diagnostic);
    } else {
      EXPECT_EQ(diagnostic.sqlState, c.state) << Describe(diagnostic);
    }
    EXPECT_NE(diagnostic.message.find(c.text), std::u16string::npos) << Describe(diagnostic);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path("never.db")));
  }
}

// An accepted dialog's edit is connected: the host's --prompt test checks it.
TEST_F(SqliteConnectorTest, CancelledOrThrowingDialogConnectsNothing) {
  TestConnector connector;
  const CString asked = Database("asked.db");
  {  // Cancelled: nothing connected, the user's edit dropped, the module says so.
    HWND seenParent = nullptr;
    CString seenText;
    ScopedDialogHook hook([&](HWND parent, CString& text) {
      seenParent = parent;
      seenText = text;
      text = Database("edited.db");
      return false;
    });
    CString argument = asked;
    EXPECT_FALSE(connector.Connect(argument));
    EXPECT_EQ(seenParent, GetDesktopWindow());
    EXPECT_NE(seenParent, nullptr);
    EXPECT_EQ(seenText, asked);
    EXPECT_EQ(argument, asked);
    EXPECT_EQ(connector.GetLastDiagnostic().origin, OdbcDiagnostic::Origin::Module);
    EXPECT_EQ(connector.GetLastDiagnostic().Describe(), u"the connection dialog was cancelled");
  }
  {  // A host's dialog that throws: the exception is the host's, the handles are not lost with it.
    ScopedDialogHook hook([](HWND, CString&) -> bool { throw std::runtime_error("dialog broke"); });
    CString argument = asked;
    EXPECT_THROW(connector.Connect(argument), std::runtime_error);
  }
  EXPECT_EQ(connector.GetConnectionHandle(), nullptr);
  ExpectLive(0);
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path("asked.db")));
  EXPECT_FALSE(std::filesystem::exists(m_dir.Path("edited.db")));
}

}  // namespace
}  // namespace qm::test

// Database names as the plug-in reads them, checked against SQLite itself:
// each name is opened with sqlite3_open_v2 as the SQLite3 ODBC driver opens
// it (URI names on, read-write without create), and what SQLite opened (a
// file, a database in memory, a temporary one, or a refusal with its
// message) must be what ResolveDatabaseName says. Names the plug-in writes
// for the driver (FileUri, DriverUri) must open the same file.
#include <SqliteFileName.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qm::sqlite {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// What SQLite makes of a name, in ResolveDatabaseName's terms.
struct Opened {
  DatabaseTarget::Kind kind = DatabaseTarget::Kind::Invalid;
  std::string file;      // the file SQLite opened (absolute); for File
  std::string error;     // sqlite3_errmsg of a refusal
  bool readOnly = false; // the database was opened read-only
};

Opened OpenWithSqlite(const std::string& name) {
  Opened opened;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
  if (rc != SQLITE_OK) {
    // A file that is not there is a file all the same: it is not created.
    opened.kind = rc == SQLITE_CANTOPEN ? DatabaseTarget::Kind::File : DatabaseTarget::Kind::Invalid;
    opened.error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    return opened;
  }
  const char* file = sqlite3_db_filename(db, "main");
  opened.file = file != nullptr ? file : "";
  opened.readOnly = sqlite3_db_readonly(db, "main") == 1;
  // A database in memory (":memory:", mode=memory, the memdb VFS, which
  // keeps a file's name but never touches the file) keeps its journal in
  // memory too; the private temporary database has an empty name.
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA main.journal_mode", -1, &statement, nullptr);
  const bool memory = sqlite3_step(statement) == SQLITE_ROW &&
                      std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) == "memory";
  sqlite3_finalize(statement);
  if (memory) {
    opened.kind = DatabaseTarget::Kind::Memory;
    opened.file.clear();
  } else {
    opened.kind = opened.file.empty() ? DatabaseTarget::Kind::Temporary : DatabaseTarget::Kind::File;
  }
  sqlite3_close(db);
  return opened;
}

const char* KindName(DatabaseTarget::Kind kind) {
  switch (kind) {
    case DatabaseTarget::Kind::File: return "file";
    case DatabaseTarget::Kind::Memory: return "memory";
    case DatabaseTarget::Kind::Temporary: return "temporary";
    case DatabaseTarget::Kind::Invalid: return "invalid";
  }
  return "?";
}

// Files the names below open; the last ones hold what a connection string
// or a URI must escape, and bytes that are no UTF-8.
const char* const kFiles[] = {"a.db", "a b.db", "a?b.db", "x", "\xC3\xA9.db", "a%zz.db", "with space;semi}brace{.db",
                              "q?h#p%25.db", "caf\xE9.db", "\xF0\x9F\x98\x80.db", "line\nbreak.db"};

class SqliteFileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kFiles) WriteFile(m_dir.Path(name), "");
  }
  std::string D() const { return m_dir.Path(); }

  TempDir m_dir;
};

TEST_F(SqliteFileNameTest, NamesMeanWhatSqliteMakesOfThem) {
  const std::string uri = "file:" + D();
  std::vector<std::string> names = {
      D() + "/missing.db",
      "FILE:" + D() + "/a.db",  // "file:" only in lower case starts a URI
      uri + "/a.db",
      "file://" + D() + "/a.db",
      "file://localhost" + D() + "/a.db",
      "file://LOCALHOST" + D() + "/a.db",
      "file://example.com" + D() + "/a.db",
      uri + "/a%20b.db",
      uri + "/a%3Fb.db",  // a decoded '?' is part of the name
      uri + "/%C3%A9.db",
      uri + "/a%zz.db",   // not an escape: taken as it is
      uri + "/x%00y.db",  // %00 ends the path
      uri + "/a.db?mode=ro",
      uri + "/a.db?mode=rw",
      uri + "/a.db?mode=rwc",
      uri + "/a.db?mode=memory",
      uri + "/a.db?MODE=memory",  // parameter names are case-sensitive
      uri + "/a.db?mode=MEMORY",  // and so are their values
      uri + "/a.db?xmode=memory",
      uri + "/a.db?mo%64e=memory",
      uri + "/a.db?mode=memory&mode=ro",  // the last one counts
      uri + "/a.db?mode=ro%00xyz",
      uri + "/a.db?mode",
      uri + "/a.db?=memory&mode=memory",
      uri + "/a.db?&mode=memory",
      uri + "/a.db#?mode=memory",
      uri + "/a.db?cache=shared",
      uri + "/a.db?cache=weird",
      uri + "/a.db?vfs=memdb",
      uri + "/a.db?vfs=unix-dotfile",
      "file::memory:",
      "file::memory:?cache=shared",
      ":memory:",
      "",
      "file:",
      "file:?mode=ro",
  };
  for (const char* file : kFiles) names.push_back(D() + "/" + file);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const DatabaseTarget target = ResolveDatabaseName(name);
    const Opened opened = OpenWithSqlite(name);
    EXPECT_STREQ(KindName(target.kind), KindName(opened.kind)) << opened.error;
    if (target.kind == DatabaseTarget::Kind::Invalid) {
      EXPECT_EQ(target.error, opened.error);
    }
    if (target.kind != DatabaseTarget::Kind::File || opened.kind != DatabaseTarget::Kind::File) continue;
    if (opened.file.empty()) {
      EXPECT_FALSE(fs::exists(target.path)) << "SQLite could not open " << target.path << ": " << opened.error;
    } else {
      EXPECT_EQ(fs::canonical(target.path).string(), opened.file);
      // What the plug-in hands the driver opens the same file, read-only
      // unless the URI set its own mode.
      const std::string forDriver = target.isUri ? DriverUri(name, !target.hasMode) : FileUri(target.path);
      for (unsigned char byte : forDriver) EXPECT_TRUE(byte > 0x20 && byte < 0x7F && byte != ';') << forDriver;
      const Opened again = OpenWithSqlite(forDriver);
      EXPECT_EQ(again.file, opened.file) << forDriver;
      EXPECT_EQ(again.readOnly, !target.hasMode || opened.readOnly) << forDriver;
      if (!target.isUri) {
        EXPECT_EQ(ResolveDatabaseName(forDriver).path, target.path) << forDriver;
      }
    }
  }
}

TEST(SqlitePathTextTest, NamesAreTheFileSystemsBytesWhereTextCanHoldThem) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"/db/shop.db", u"/db/shop.db"},
      {"/db/B\xC3\xBC" "cher \xF0\x9F\x98\x80.db", u"/db/Bücher 😀.db"},
      {"/db/caf\xE9.db", u"/db/caf\\xe9.db"},
      {"/db/line\nbreak\t\x1B.db", u"/db/line\nbreak\t\x1B.db"},
      // Overlong, surrogate, beyond U+10FFFF, cut short: bytes, not text.
      {"\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80|\xE2\x82", u"\\xc0\\xaf|\\xed\\xa0\\x80|\\xf4\\x90\\x80\\x80|\\xe2\\x82"},
  };
  for (const auto& [path, text] : cases) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(PathText(path) == text);
  }
}

}  // namespace
}  // namespace qm::sqlite

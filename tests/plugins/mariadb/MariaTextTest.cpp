// The MariaDB plug-in's text helpers; literals are read back on the server
// under the sql_modes that change how text is read.
#include "MariaConnector.h"
#include "MariaText.h"
#include "MariaUrl.h"

#include <MariaServer.h>
#include <UrlCases.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <set>

namespace qm::test::mariadb {
namespace {

using namespace qm::mariadb;

std::string U8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }
std::u16string U16(const std::string& text) { return platform::Utf8ToUtf16(text); }

TEST(MariaTextTest, HexLiteralsReadBackAsTheSameBytesUnderEverySqlMode) {
  QM_REQUIRE_MARIA();
  const std::vector<std::string> texts = {"plain", "it's", "back\\slash\\", "x'); DROP TABLE y; --", "\"q\" `b`",
                                          "line\nbreak", "😀 ünï", "%_"};
  for (const char* mode : {"NO_ENGINE_SUBSTITUTION", "NO_BACKSLASH_ESCAPES,ANSI_QUOTES", "ANSI"}) {
    for (const std::string& text : texts) {
      const std::string literal = U8(HexLiteral(U16(text)));
      EXPECT_EQ(MariaQueryColumn("SELECT " + literal + " AS v", std::string("SET SESSION sql_mode = '") + mode + "'"),
                std::vector<std::string>{text})
          << mode << ": " << literal;
    }
  }
}

TEST(MariaTextTest, QuotedIdentifiersAndScopeFilters) {
  EXPECT_EQ(QuoteIdentifier(u"a`b"), u"`a``b`");
  EXPECT_EQ(QuoteIdentifier(u""), u"``");
  EXPECT_EQ(ScopeFilter(u"t.S", {}),
            u"(CAST(t.S AS BINARY) NOT IN (X'696E666F726D6174696F6E5F736368656D61', X'6D7973716C', "
            u"X'706572666F726D616E63655F736368656D61', X'737973'))");
  EXPECT_EQ(ScopeFilter(u"t.S", {u"a"}), u"(t.S = _utf8mb4 X'61' AND CAST(t.S AS BINARY) IN (X'61'))");
  EXPECT_EQ(ScopeFilter(u"t.S", {u"a", u"B'"}), u"(CAST(t.S AS BINARY) IN (X'61', X'4227'))");
}

TEST(MariaTextTest, CacheKeysOfDifferentPartsNeverCollide) {
  const std::vector<std::vector<std::u16string>> parts = {
      {u"ab", u"c"}, {u"a", u"bc"}, {u"a:b", u"c"}, {u"a", u"b:c"}, {u"1:a", u""}, {u"", u"1:a"}, {u"a", u"b", u""}};
  std::set<std::u16string> keys;
  for (const auto& list : parts) {
    std::u16string key = list.size() == 2 ? CacheKey(u'r', {list[0], list[1]}) : CacheKey(u'r', {list[0], list[1], list[2]});
    EXPECT_TRUE(keys.insert(key).second) << U8(key);
  }
  EXPECT_NE(CacheKey(u'r', {u"a"}), CacheKey(u'c', {u"a"}));
}

TEST(MariaTextTest, PartitionValuesAreReadAsMariaDbPrintsThem) {
  const struct {
    const char16_t* description;
    std::vector<std::u16string> values;
  } cases[] = {
      {u"10", {u"10"}},
      {u"MAXVALUE", {u"MAXVALUE"}},
      {u"NULL,1,2", {u"NULL", u"1", u"2"}},
      {u"'it''s','x,y'", {u"it's", u"x,y"}},
      {u"'a\\\\b','c\\'d'", {u"a\\b", u"c'd"}},
      {u"1,'m'", {u"1", u"m"}},
      {u"(1,2),(3,'a,b')", {u"(1,2)", u"(3,'a,b')"}},
      {u"''", {u""}},
      {u"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(PartitionValues(c.description), c.values) << U8(c.description);
  EXPECT_EQ(PartitionBoundClause(u"RANGE", u"MAXVALUE"), u"VALUES LESS THAN MAXVALUE");
  EXPECT_EQ(PartitionBoundClause(u"RANGE COLUMNS", u"MAXVALUE,MAXVALUE"), u"VALUES LESS THAN (MAXVALUE,MAXVALUE)");
  EXPECT_EQ(PartitionBoundClause(u"LIST", u"1,2"), u"VALUES IN (1,2)");
  EXPECT_EQ(PartitionBoundClause(u"LIST COLUMNS", u"MAXVALUE"), u"DEFAULT");  // the default partition
  EXPECT_EQ(PartitionBoundClause(u"HASH", u""), u"");
  EXPECT_EQ(PartitionBoundClause(u"KEY", u"x"), u"");
}

TEST(MariaTextTest, ServerVersionsAndConnectionStrings) {
  EXPECT_EQ(MariaConnector::ParseServerVersion(u"10.11.19-MariaDB-0+deb12u1"), 101119);
  EXPECT_EQ(MariaConnector::ParseServerVersion(u"11.4.2-MariaDB"), 110402);
  EXPECT_EQ(MariaConnector::ParseServerVersion(u"5.5.5-10.6.1-MariaDB"), 50505);
  EXPECT_EQ(MariaConnector::ParseServerVersion(u"MariaDB"), 0);
  EXPECT_EQ(MariaConnector::ParseServerVersion(u"10.6"), 0);

  EXPECT_EQ(MariaConnector::CompleteConnectionString(u"Server=h;Uid=u"),
            u"Driver={MariaDB Unicode};Server=h;Uid=u;CHARSET=utf8mb4");
  EXPECT_EQ(MariaConnector::CompleteConnectionString(u"DSN=shop;"), u"DSN=shop;CHARSET=utf8mb4");
  EXPECT_EQ(MariaConnector::CompleteConnectionString(u"Driver={MariaDB Unicode};charset=latin1"),
            u"Driver={MariaDB Unicode};charset=latin1");
  EXPECT_EQ(MariaConnector::CompleteConnectionString(u"driver=x; "), u"driver=x; CHARSET=utf8mb4");
}

TEST(MariaTextTest, ConnectionLossIsToldFromOtherFailures) {
  EXPECT_TRUE(MariaConnector::MeansConnectionLost({u"08S01", 2013, u"Lost connection"}));
  EXPECT_TRUE(MariaConnector::MeansConnectionLost({u"HY000", 2006, u"gone away"}));
  EXPECT_TRUE(MariaConnector::MeansConnectionLost({u"70100", 1927, u"Connection was killed"}));
  EXPECT_TRUE(MariaConnector::MeansConnectionLost({u"HY000", 5014, u"Write error: Broken pipe (32)"}));
  EXPECT_FALSE(MariaConnector::MeansConnectionLost({u"70100", 1317, u"Query execution was interrupted"}));
  EXPECT_FALSE(MariaConnector::MeansConnectionLost({u"HY000", 1205, u"Lock wait timeout exceeded"}));
}

TEST(MariaUrlTest, UrlBecomesTheDriversConnectionString) {
  const UrlCase cases[] = {
      {"mariadb://", "Driver=MariaDB Unicode"},
      {"mariadb://me@db:3307/shop", "Driver=MariaDB Unicode;SERVER=db;PORT=3307;DATABASE=shop;UID=me"},
      {"mysql://me:p%3Bw%7Dd@db/shop", "Driver=MariaDB Unicode;SERVER=db;DATABASE=shop;UID=me;PWD={p;w}}d}"},
      {"mariadb://[::1]:3306/shop", "Driver=MariaDB Unicode;SERVER=::1;PORT=3306;DATABASE=shop"},
      {"mariadb://%2Frun%2Fmysqld%2Fmysqld.sock/shop", "Driver=MariaDB Unicode;SOCKET=/run/mysqld/mysqld.sock;DATABASE=shop"},
      {"mariadb://db/shop?sslverify=1&use_mycnf=1", "Driver=MariaDB Unicode;SERVER=db;DATABASE=shop;SSLVERIFY=1;USE_MYCNF=1"},
      {"mariadb://db/shop?bogus=1", "error: unknown parameter \"bogus\""},
  };
  ExpectUrlSources(SourceFromUrl, cases);
}

}  // namespace
}  // namespace qm::test::mariadb

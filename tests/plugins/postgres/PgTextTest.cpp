// The plug-in's text handling that decides what reaches the driver and the
// server: the completed connection string, the scope filter with names as
// literals (also run on the server, with names made to break out of a
// literal), and the reading of partition bounds.
#include "PgConnector.h"
#include "PgTestSupport.h"
#include "PgText.h"

#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <map>

namespace qm::test::postgres {
namespace {

using qm::postgres::PgConnector;

std::u16string Complete(const std::u16string& source, std::map<std::u16string, std::u16string> dsnSettings = {}) {
  return PgConnector::CompleteConnectionString(source, [&](const std::u16string&, const std::u16string& key) {
    const auto it = dsnSettings.find(key);
    return it == dsnSettings.end() ? std::u16string() : it->second;
  });
}

TEST(PgConnectionString, AddsBatchedFetchAndTheUnicodeDriverWhenNotGiven) {
  EXPECT_EQ(Complete(u"Server=db;Database=x"),
            u"Driver={PostgreSQL Unicode};Server=db;Database=x;UseDeclareFetch=1;Fetch=2000;CommLog=0");
  EXPECT_EQ(Complete(u"Driver={PostgreSQL ANSI};Server=db;"),
            u"Driver={PostgreSQL ANSI};Server=db;UseDeclareFetch=1;Fetch=2000;CommLog=0");
}

TEST(PgConnectionString, KeepsWhatTheUserSetInAnyLetterCaseOrAbbreviated) {
  EXPECT_EQ(Complete(u"driver={PostgreSQL Unicode};usedeclarefetch=0"),
            u"driver={PostgreSQL Unicode};usedeclarefetch=0;Fetch=2000;CommLog=0");
  EXPECT_EQ(Complete(u"Driver={PostgreSQL Unicode};B6=0;a7=50;b3=1"), u"Driver={PostgreSQL Unicode};B6=0;a7=50;b3=1");
  // A value in braces may hold ';' and '=' without ending the attribute.
  EXPECT_EQ(Complete(u"Driver={PostgreSQL Unicode};Pwd={a;Fetch=1};FETCH = 10"),
            u"Driver={PostgreSQL Unicode};Pwd={a;Fetch=1};FETCH = 10;UseDeclareFetch=1;CommLog=0");
}

TEST(PgConnectionString, ASettingOfTheDataSourceCountsAsTheUsers) {
  EXPECT_EQ(Complete(u"DSN=pg", {{u"UseDeclareFetch", u"0"}}), u"DSN=pg;Fetch=2000;CommLog=0");
  EXPECT_EQ(Complete(u"DSN=pg", {{u"A7", u"10"}, {u"CommLog", u"1"}}), u"DSN=pg;UseDeclareFetch=1");
  EXPECT_EQ(Complete(u"DSN=pg"), u"DSN=pg;UseDeclareFetch=1;Fetch=2000;CommLog=0");
}

TEST(PgScope, NamesAreTrimmedAndRepeatsDropped) {
  EXPECT_EQ(qm::postgres::ParseScope(u" shop , Mixed Case,,shop"), (std::vector<std::u16string>{u"shop", u"Mixed Case"}));
  EXPECT_TRUE(qm::postgres::ParseScope(u" , ").empty());
}

TEST(PgScope, LiteralsDoubleQuotesAndEscapeBackslashes) {
  EXPECT_EQ(qm::postgres::QuoteLiteral(u"it's"), u"'it''s'");
  EXPECT_EQ(qm::postgres::QuoteLiteral(u"a\\' OR true --"), u"E'a\\\\'' OR true --'");
  EXPECT_EQ(qm::postgres::ScopeFilter(u"n.nspname", {u"a", u"b'c"}),
            u"n.nspname = ANY (ARRAY['a', 'b''c']::pg_catalog.name[])");
}

TEST(PgScope, TheFilterSelectsExactlyTheNamedSchemasOnTheServer) {
  QM_REQUIRE_PG();
  PgConnection server(*PgConnectionString());
  ASSERT_TRUE(server.Connected());
  const std::vector<std::u16string> names = {u"it's", u"x') OR true --", u"back\\slash'", u"ünï"};
  std::string values;
  for (const std::u16string& name : names) values += (values.empty() ? "" : ", ") + Utf8(qm::postgres::QuoteLiteral(name));
  // With standard_conforming_strings off, a backslash in a plain literal
  // would escape the quote after it.
  for (const char* setting : {"on", "off"}) {
    server.Exec(std::string("SET standard_conforming_strings = ") + setting);
    const std::string filter = Utf8(qm::postgres::ScopeFilter(u"n.nspname", names));
    const std::vector<std::string> selected = server.Column(
        "SELECT n.nspname FROM (VALUES ('it''s'), ('x'') OR true --'), (E'back\\\\slash'''), ('ünï'), ('other'), "
        "('public')) AS n(nspname) WHERE " + filter + " ORDER BY 1");
    EXPECT_EQ(selected, (std::vector<std::string>{"back\\slash'", "it's", "x') OR true --", "ünï"})) << setting;
  }
  server.Exec("SET standard_conforming_strings = on");
  // Without a scope: everything but PostgreSQL's own schemas.
  const std::vector<std::string> defaults = server.Column(
      "SELECT n.nspname FROM (VALUES ('pg_catalog'), ('information_schema'), ('pg_toast'), ('pg_temp_3'), "
      "('pg_toast_temp_3'), ('pg_temporal'), ('public')) AS n(nspname) WHERE " +
      Utf8(qm::postgres::ScopeFilter(u"n.nspname", {})) + " ORDER BY 1");
  EXPECT_EQ(defaults, (std::vector<std::string>{"pg_temporal", "public"}));
}

TEST(PgCatalogText, PartitionBoundsAsTheServerPrintsThem) {
  using qm::postgres::ParsePartitionBound;
  using Kind = qm::postgres::PartitionBound::Kind;
  const auto list = ParsePartitionBound(u"FOR VALUES IN ('a', 'it''s, (x)', NULL, 10)");
  EXPECT_EQ(list.kind, Kind::List);
  EXPECT_EQ(list.values, (std::vector<std::u16string>{u"a", u"it's, (x)", u"NULL", u"10"}));
  const auto range = ParsePartitionBound(u"FOR VALUES FROM (MINVALUE, '2020-01-01') TO (10, MAXVALUE)");
  EXPECT_EQ(range.kind, Kind::Range);
  EXPECT_EQ(range.values, (std::vector<std::u16string>{u"MINVALUE", u"2020-01-01"}));
  EXPECT_EQ(range.upper, (std::vector<std::u16string>{u"10", u"MAXVALUE"}));
  const auto hash = ParsePartitionBound(u"FOR VALUES WITH (modulus 4, remainder 3)");
  EXPECT_EQ(hash.kind, Kind::Hash);
  EXPECT_EQ(hash.values, (std::vector<std::u16string>{u"modulus 4", u"remainder 3"}));
  EXPECT_EQ(ParsePartitionBound(u"DEFAULT").kind, Kind::Default);
  EXPECT_EQ(ParsePartitionBound(u"").kind, Kind::Unknown);
}

}  // namespace
}  // namespace qm::test::postgres

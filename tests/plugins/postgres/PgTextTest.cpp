// The plug-in's text that decides what reaches the driver and the server:
// the completed connection string, and the scope filter with names as
// literals, run on the server with names made to break out of a literal.
#include "PgConnector.h"
#include "PgText.h"

#include <OdbcTestSupport.h>
#include <PgServer.h>
#include <PgTestEnv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qm::test::postgres {
namespace {

// The batch size and the Unicode driver are added unless the user, the
// data source or an abbreviation (A7 = Fetch, B3 = CommLog) already says
// otherwise; a braced value may hold ';' and '='. Whether results come in
// batches at all is the connector's choice per connection (UseDeclareFetch
// is left to the user); it is never written into the string.
TEST(PgConnectionString, AddsWhatTheUserDidNotSet) {
  struct Case {
    std::u16string source;
    std::map<std::u16string, std::u16string> dsn;  // the data source's settings
    std::u16string completed;
    bool userSetsBatches;
  };
  const Case cases[] = {
      {u"Server=db;Database=x", {}, u"Driver={PostgreSQL Unicode};Server=db;Database=x;Fetch=2000;CommLog=0", false},
      {u"Driver={PostgreSQL ANSI};Server=db;", {}, u"Driver={PostgreSQL ANSI};Server=db;Fetch=2000;CommLog=0", false},
      {u"driver={PostgreSQL Unicode};usedeclarefetch=0", {},
       u"driver={PostgreSQL Unicode};usedeclarefetch=0;Fetch=2000;CommLog=0", true},
      {u"Driver={PostgreSQL Unicode};B6=0;a7=50;b3=1", {}, u"Driver={PostgreSQL Unicode};B6=0;a7=50;b3=1", true},
      {u"Driver={PostgreSQL Unicode};Pwd={a;UseDeclareFetch=1};FETCH = 10", {},
       u"Driver={PostgreSQL Unicode};Pwd={a;UseDeclareFetch=1};FETCH = 10;CommLog=0", false},
      {u"DSN=pg", {{u"UseDeclareFetch", u"0"}}, u"DSN=pg;Fetch=2000;CommLog=0", true},
      {u"DSN=pg", {{u"A7", u"10"}, {u"CommLog", u"1"}}, u"DSN=pg", false},
      {u"DSN=pg", {{u"B6", u"1"}}, u"DSN=pg;Fetch=2000;CommLog=0", true},
  };
  for (const Case& c : cases) {
    const auto dsnSetting = [&](const std::u16string&, const std::u16string& key) {
      const auto it = c.dsn.find(key);
      return it == c.dsn.end() ? std::u16string() : it->second;
    };
    EXPECT_EQ(qm::postgres::PgConnector::CompleteConnectionString(c.source, dsnSetting), c.completed);
    EXPECT_EQ(qm::postgres::PgConnector::UserSetsBatches(c.completed, dsnSetting), c.userSetsBatches) << Utf8(c.source);
  }
}

// With standard_conforming_strings off a backslash in a plain literal would
// escape the quote after it; without a scope, PostgreSQL's own schemas are
// left out.
TEST(PgScope, TheFilterSelectsExactlyTheNamedSchemasOnTheServer) {
  QM_REQUIRE_PG();
  const std::vector<std::u16string> names = {u"it's", u"x') OR true --", u"back\\slash'", u"ünï"};
  const auto select = [](const std::string& values, const std::vector<std::u16string>& scope, const char* setup) {
    std::vector<std::string> selected =
        QueryColumn("postgres", "SELECT n.nspname FROM (VALUES " + values + ") AS n(nspname) WHERE " +
                                    Utf8(qm::postgres::ScopeFilter(u"n.nspname", scope)), setup);
    std::sort(selected.begin(), selected.end());
    return selected;
  };
  const std::string candidates = "('it''s'), ('x'') OR true --'), (E'back\\\\slash'''), ('ünï'), ('other'), ('public')";
  for (const char* setup : {"SET standard_conforming_strings = on", "SET standard_conforming_strings = off"})
    EXPECT_EQ(select(candidates, names, setup), (std::vector<std::string>{"back\\slash'", "it's", "x') OR true --", "ünï"}))
        << setup;
  EXPECT_EQ(select("('pg_catalog'), ('information_schema'), ('pg_toast'), ('pg_temp_3'), ('pg_toast_temp_3'), "
                   "('pg_temporal'), ('public')", {}, ""),
            (std::vector<std::string>{"pg_temporal", "public"}));
}

}  // namespace
}  // namespace qm::test::postgres

// The plug-in's text that reaches the driver and the server; the scope
// filter runs on the server with names made to break out of a literal.
#include "PgConnector.h"
#include "PgText.h"
#include "PgUrl.h"

#include <OdbcTestSupport.h>
#include <PgServer.h>
#include <PgTestEnv.h>
#include <UrlCases.h>

#include <platform/ConnectionDialog.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qm::test::postgres {
namespace {

// The batch size and the Unicode driver are added unless the user, the
// data source or an abbreviation (A7 = Fetch, B3 = CommLog) already says
// otherwise; UseDeclareFetch is never written into the string.
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

TEST(PgUrlTest, UrlBecomesTheDriversConnectionString) {
  const UrlCase cases[] = {
      {"postgresql://", "Driver=PostgreSQL Unicode"},
      {"postgresql://me@db:5432/shop", "Driver=PostgreSQL Unicode;Servername=db;Port=5432;Database=shop;UID=me"},
      {"postgres://me:p%3Bw%7Dd@db/shop",
       "Driver=PostgreSQL Unicode;Servername=db;Database=shop;UID=me;PWD={p;w}}d}"},
      {"postgresql://me:@db", "Driver=PostgreSQL Unicode;Servername=db;UID=me;PWD="},
      {"postgresql://[2001:db8::1]:6432/shop", "Driver=PostgreSQL Unicode;Servername=2001:db8::1;Port=6432;Database=shop"},
      {"postgresql:///shop?host=/run/postgresql&port=5433",
       "Driver=PostgreSQL Unicode;Servername=/run/postgresql;Port=5433;Database=shop"},
      {"postgresql://%2Frun%2Fpostgresql/shop", "Driver=PostgreSQL Unicode;Servername=/run/postgresql;Database=shop"},
      {"postgresql://db?dbname=shop&user=me&password=pw&sslmode=require",
       "Driver=PostgreSQL Unicode;Servername=db;Database=shop;UID=me;PWD=pw;SSLmode=require"},
      {"postgresql://db/shop?options=-c%20search_path%3Dx&application_name=it's",
       "Driver=PostgreSQL Unicode;Servername=db;Database=shop;pqopt=options='-c search_path=x' "
       "application_name='it\\'s'"},
      {"postgresql://db/shop?sslrootcert=/a;b", "Driver=PostgreSQL Unicode;Servername=db;Database=shop;pqopt={sslrootcert='/a;b'}"},
      // Names psqlODBC would read with their braces go to libpq itself.
      {"postgresql://u%3Bv%7Dw:p%3Bw@h%3Bx/a%3Bb?application_name=x",
       "Driver=PostgreSQL Unicode;PWD={p;w};pqopt={application_name='x' host='h;x' dbname='a;b' user='u;v}}w'}"},
      {"postgresql:///%7Bx%7D?user=%20me", "Driver=PostgreSQL Unicode;pqopt=dbname='{x}' user=' me'"},
      {"postgresql://db/shop?bogus=1", "error: unknown parameter \"bogus\""},
      {"postgresql://db/shop?connect_timeout=5", "error: set from --timeout"},
      {"postgresql://db/shop?client_encoding=LATIN1", "error: set by the ODBC driver itself"},
      {"postgresql://db/shop?host=other", "error: gives the host twice"},
      {"postgresql://me@db/shop?user=you", "error: gives the user twice"},
      {"postgresql://db/shop?port=x", "error: the port \"x\" is not a number"},
  };
  ExpectUrlSources(qm::postgres::SourceFromUrl, cases);
}

TEST(PgUrlTest, OnlyAMissingPasswordIsAskedFor) {
  OdbcDiagnostic noPassword;
  noPassword.sqlState = u"08001";
  noPassword.message = u"connection to server at \"db\" failed: fe_sendauth: no password supplied";
  OdbcDiagnostic wrongPassword = noPassword;
  wrongPassword.message = u"FATAL:  password authentication failed for user \"me\"";
  EXPECT_TRUE(qm::postgres::NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me"));
  EXPECT_FALSE(qm::postgres::NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me;PWD=x"));
  EXPECT_FALSE(qm::postgres::NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me;password="));
  EXPECT_FALSE(qm::postgres::NeedsPassword(wrongPassword, u"Driver={PostgreSQL Unicode};UID=me"));
}

// The question names a user given to libpq through pqopt.
TEST(PgUrlTest, PasswordQuestionNamesAUserGivenThroughPqopt) {
  std::u16string asked;
  platform::SetPasswordPromptHook([&](const std::u16string& question, std::u16string&) {
    asked = question;
    return platform::PasswordPromptResult::Cancelled;
  });
  std::u16string completed = u"pqopt={dbname='a;b' user='u;v}}w\\'s'}";
  OdbcDiagnostic failure;
  bool cancelled = false;
  EXPECT_FALSE(qm::postgres::AskForPassword(completed, failure, cancelled));
  platform::SetPasswordPromptHook({});
  EXPECT_EQ(asked, u"Password for user u;v}w's: ");
}

}  // namespace
}  // namespace qm::test::postgres

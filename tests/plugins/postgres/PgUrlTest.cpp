// What the PostgreSQL plug-in makes of a URL: the connection string, part
// by part, and the URLs it refuses. (Each form is imported for real in
// tests/app/ConnectTest.cpp.)
#include "PgUrl.h"

#include <UrlCases.h>

#include <platform/ConnectionDialog.h>

#include <gtest/gtest.h>

namespace qm::postgres {
namespace {

TEST(PgUrlTest, UrlBecomesTheDriversConnectionString) {
  const test::UrlCase cases[] = {
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
  test::ExpectUrlSources(SourceFromUrl, cases);
}

TEST(PgUrlTest, OnlyAMissingPasswordIsAskedFor) {
  OdbcDiagnostic noPassword;
  noPassword.sqlState = u"08001";
  noPassword.message = u"connection to server at \"db\" failed: fe_sendauth: no password supplied";
  OdbcDiagnostic wrongPassword = noPassword;
  wrongPassword.message = u"FATAL:  password authentication failed for user \"me\"";
  EXPECT_TRUE(NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me"));
  EXPECT_FALSE(NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me;PWD=x"));
  EXPECT_FALSE(NeedsPassword(noPassword, u"Driver={PostgreSQL Unicode};UID=me;password="));
  EXPECT_FALSE(NeedsPassword(wrongPassword, u"Driver={PostgreSQL Unicode};UID=me"));
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
  EXPECT_FALSE(AskForPassword(completed, failure, cancelled));
  platform::SetPasswordPromptHook({});
  EXPECT_EQ(asked, u"Password for user u;v}w's: ");
}

}  // namespace
}  // namespace qm::postgres

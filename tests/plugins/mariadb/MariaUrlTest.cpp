// What the MariaDB plug-in makes of a URL: the connection string, part by
// part, and the URLs it refuses. (A URL is imported for real in
// MariaCommandLineTest.)
#include "MariaUrl.h"

#include <UrlCases.h>

#include <gtest/gtest.h>

namespace qm::mariadb {
namespace {

TEST(MariaUrlTest, UrlBecomesTheDriversConnectionString) {
  const test::UrlCase cases[] = {
      {"mariadb://", "Driver=MariaDB Unicode"},
      {"mariadb://me@db:3307/shop", "Driver=MariaDB Unicode;SERVER=db;PORT=3307;DATABASE=shop;UID=me"},
      {"mysql://me:p%3Bw%7Dd@db/shop", "Driver=MariaDB Unicode;SERVER=db;DATABASE=shop;UID=me;PWD={p;w}}d}"},
      {"mariadb://[::1]:3306/shop", "Driver=MariaDB Unicode;SERVER=::1;PORT=3306;DATABASE=shop"},
      {"mariadb://%2Frun%2Fmysqld%2Fmysqld.sock/shop", "Driver=MariaDB Unicode;SOCKET=/run/mysqld/mysqld.sock;DATABASE=shop"},
      {"mariadb://db/shop?sslverify=1&use_mycnf=1", "Driver=MariaDB Unicode;SERVER=db;DATABASE=shop;SSLVERIFY=1;USE_MYCNF=1"},
      {"mariadb://db/shop?bogus=1", "error: unknown parameter \"bogus\""},
  };
  test::ExpectUrlSources(SourceFromUrl, cases);
}

}  // namespace
}  // namespace qm::mariadb

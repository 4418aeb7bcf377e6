// What the MariaDB plug-in makes of a URL: the connection string, part by
// part, and the URLs it refuses. (A URL is imported for real in
// MariaCommandLineTest.)
#include "MariaUrl.h"

#include <platform/Utf.h>

#include <gtest/gtest.h>

namespace qm::mariadb {
namespace {

struct UrlCase {
  const char* url;
  const char* result;  // the connection string, or "error: " and a part of the reason
};

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
  for (const UrlCase& c : cases) {
    const ConnectionUrlResult parsed = ParseConnectionUrl(c.url);
    ASSERT_TRUE(parsed.url.has_value()) << c.url << ": " << parsed.error;
    const QmUrlSource source = SourceFromUrl(*parsed.url);
    const std::string expected = c.result;
    if (expected.starts_with("error: ")) {
      EXPECT_NE(platform::Utf16ToUtf8(source.error).find(expected.substr(7)), std::string::npos)
          << c.url << ": " << platform::Utf16ToUtf8(source.error);
      EXPECT_TRUE(source.connectionString.empty()) << c.url;
    } else {
      EXPECT_EQ(platform::Utf16ToUtf8(source.error), "") << c.url;
      EXPECT_EQ(platform::Utf16ToUtf8(source.connectionString), expected) << c.url;
    }
  }
}

}  // namespace
}  // namespace qm::mariadb

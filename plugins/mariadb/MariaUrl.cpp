#include "MariaUrl.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>

#include <algorithm>
#include <string_view>

namespace qm::mariadb {

const char* const kUrlSchemes[] = {"mariadb", "mysql", nullptr};

namespace {

// MariaDB Connector/ODBC's keys a URL may set (ASCII case ignored).
constexpr std::string_view kDriverKeys[] = {"SOCKET",     "SSLCA",     "SSLCAPATH",   "SSLCERT",   "SSLKEY",
                                            "SSLCIPHER",  "SSLVERIFY", "SSLCRL",      "SSLCRLPATH", "TLSVERSION",
                                            "FORCETLS",   "SERVERKEY", "TLSPEERFP",   "TLSPEERFPLIST",
                                            "USE_MYCNF",  "OPTION",    "INITSTMT",    "READ_TIMEOUT",
                                            "WRITE_TIMEOUT", "COMPRESSED_PROTO"};

}  // namespace

QmUrlSource SourceFromUrl(const ConnectionUrl& url) {
  QmUrlSource source;
  std::vector<Utf8ConnectionAttribute> attributes;
  auto add = [&](std::string key, const std::string& value) {
    Utf8ConnectionAttribute attribute;
    attribute.key = std::move(key);
    attribute.value = value;
    attributes.push_back(std::move(attribute));
  };
  add("Driver", "MariaDB Unicode");
  if (!url.host.empty()) add(url.host.front() == '/' ? "SOCKET" : "SERVER", url.host);
  if (url.port != 0) add("PORT", std::to_string(url.port));
  if (!url.Database().empty()) add("DATABASE", url.Database());
  if (url.user && !url.user->empty()) add("UID", *url.user);
  if (url.password) add("PWD", *url.password);
  for (const ConnectionUrlParameter& parameter : url.parameters) {
    const auto key = std::find_if(std::begin(kDriverKeys), std::end(kDriverKeys), [&](std::string_view known) {
      return EqualsIgnoringAsciiCase(known, parameter.key);
    });
    if (key == std::end(kDriverKeys)) {
      std::string known;
      for (std::string_view name : kDriverKeys) known += (known.empty() ? "" : ", ") + std::string(name);
      source.error = platform::Utf8ToUtf16("unknown parameter \"" + parameter.key +
                                           "\" in the URL; the MariaDB driver's are: " + known);
      return source;
    }
    add(std::string(*key), parameter.value);
  }
  source.connectionString = platform::Utf8ToUtf16(FormatConnectionString(attributes));
  return source;
}

}  // namespace qm::mariadb

// What a plug-in makes of connection URLs, checked case by case: the
// connection string for the driver, or the refusal with its reason.
#pragma once

#include <platform/Utf.h>
#include <schemaimport/PluginApi.h>

#include <gtest/gtest.h>

#include <string>

namespace qm::test {

struct UrlCase {
  const char* url;
  const char* result;  // the connection string, or "error: " and a part of the reason
};

// Reads each URL as the host does and hands it to the plug-in's
// SourceFromUrl: a served URL gives exactly the expected connection string
// and no file or error, a refused one no source and a reason holding the
// expected text.
template <std::size_t N>
void ExpectUrlSources(QmUrlSource (*sourceFromUrl)(const ConnectionUrl&), const UrlCase (&cases)[N]) {
  for (const UrlCase& c : cases) {
    const ConnectionUrlResult parsed = ParseConnectionUrl(c.url);
    ASSERT_TRUE(parsed.url.has_value()) << c.url << ": " << parsed.error;
    const QmUrlSource source = sourceFromUrl(*parsed.url);
    const std::string expected = c.result;
    if (expected.starts_with("error: ")) {
      EXPECT_NE(platform::Utf16ToUtf8(source.error).find(expected.substr(7)), std::string::npos)
          << c.url << ": " << platform::Utf16ToUtf8(source.error);
      EXPECT_TRUE(source.connectionString.empty()) << c.url;
    } else {
      EXPECT_EQ(platform::Utf16ToUtf8(source.error), "") << c.url;
      EXPECT_EQ(platform::Utf16ToUtf8(source.connectionString), expected) << c.url;
    }
    EXPECT_TRUE(source.filePath.empty()) << c.url;
  }
}

}  // namespace qm::test

// What a plug-in makes of connection URLs: a connection string, or a refusal.
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

// Each URL read as the host does through the plug-in's SourceFromUrl gives
// exactly the expected string, or no source and a reason holding the text.
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

#include "SqliteUrl.h"

#include <platform/Utf.h>

namespace qm::sqlite {

const char* const kUrlSchemes[] = {"sqlite", nullptr};

QmUrlSource SourceFromUrl(const ConnectionUrl& url) {
  QmUrlSource source;
  auto refuse = [&](const std::string& reason) {
    source.error = platform::Utf8ToUtf16(reason);
    return source;
  };
  if (url.hasAuthority && !url.host.empty() && url.host != "localhost")
    return refuse("a sqlite URL names a file of this machine, not the host \"" + url.host +
                  "\": sqlite:///ABSOLUTE/PATH or sqlite:RELATIVE/PATH");
  if (url.user || url.port != 0)
    return refuse("a sqlite URL has no user, password or port: sqlite:///ABSOLUTE/PATH or sqlite:RELATIVE/PATH");
  if (!url.parameters.empty())
    return refuse("a sqlite URL takes no parameters (\"" + url.parameters.front().key +
                  "\"): the database is always opened read-only");
  if (url.path.empty() || url.path == "/")
    return refuse("it names no file; write sqlite:///ABSOLUTE/PATH or sqlite:RELATIVE/PATH");
  source.filePath = url.path;
  return source;
}

}  // namespace qm::sqlite

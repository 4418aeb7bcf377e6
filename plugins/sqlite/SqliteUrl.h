// What the SQLite plug-in makes of a URL: sqlite:///srv/shop.db (an
// absolute path: the host part empty, or localhost) or sqlite:shop.db (a
// path relative to the working folder). The path, percent-decoded, is the
// database file, opened as --sqlite PATH opens it (read-only, never
// created); it never becomes a connection string, so any bytes a file name
// holds (';', '{', '=') stay a file name.
#pragma once

#include <schemaimport/PluginApi.h>

namespace qm::sqlite {

// The schemes served, null-terminated.
extern const char* const kUrlSchemes[];

// The database file of a sqlite: URL, or why it names none (a host other
// than localhost, no path, parameters, which the read-only import does not
// take).
QmUrlSource SourceFromUrl(const ConnectionUrl& url);

}  // namespace qm::sqlite

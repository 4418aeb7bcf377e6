#include "SqliteInputFiles.h"

#include "SqliteConnector.h"

#include <platform/Utf.h>
#include <schemaimport/ConnectionString.h>

#include <climits>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace qm::sqlite {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// The file an SQLite URI names, %-escapes decoded; empty when it names
// none SQLite would open (an authority other than localhost).
std::string UriPath(const std::string& uri) {
  std::string rest = uri.substr(5);
  rest = rest.substr(0, rest.find_first_of("?#"));
  if (rest.rfind("//", 0) == 0) {
    const std::size_t slash = rest.find('/', 2);
    const std::string authority = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
    if (!authority.empty() && authority != "localhost") return {};
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
  }
  std::string path;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const int high = rest[i] == '%' && i + 2 < rest.size() ? HexValue(rest[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(rest[i + 2]) : -1;
    if (low < 0) {
      path += rest[i];
      continue;
    }
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

void AddDatabase(std::vector<QmInputFile>& files, const std::string& path, const std::string& kind) {
  if (path.empty()) return;
  static const std::pair<const char*, const char*> kBeside[] = {
      {"-journal", "the rollback journal of "}, {"-wal", "the write-ahead log of "}, {"-shm", "the shared-memory index of "}};
  std::vector<std::string> bases = {path};
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr && path != resolved) bases.emplace_back(resolved);
  const std::string database = kind + " " + path;
  files.push_back({path, database});
  for (const std::string& base : bases) {
    for (const auto& [suffix, what] : kBeside) files.push_back({base + suffix, what + database});
  }
}

}  // namespace

std::vector<QmInputFile> DatabaseInputFiles(const std::string& path) {
  std::vector<QmInputFile> files;
  AddDatabase(files, path, "the database");
  return files;
}

std::vector<QmInputFile> ConnectionInputFiles(const std::string& connectionString) {
  std::vector<QmInputFile> files;
  for (const Utf8ConnectionAttribute& attribute : ParseConnectionString(connectionString)) {
    if (!attribute.assigned) continue;
    if (EqualsIgnoringAsciiCase(attribute.key, "database")) {
      const std::string& value = attribute.value;
      if (value == ":memory:") continue;
      AddDatabase(files, value, "the database");
      if (StartsWithIgnoringCase(value, "file:")) AddDatabase(files, UriPath(value), "the database");
    } else if (EqualsIgnoringAsciiCase(attribute.key, "attach")) {
      const std::size_t equals = attribute.value.find('=');
      if (equals == std::string::npos) continue;
      AddDatabase(files, TrimBlanks(std::string_view(attribute.value).substr(equals + 1)), "the attached database");
    }
  }
  return files;
}

QmSourceFiles SourceInputFiles(const std::u16string& source, const QmConnectOptions& options) {
  QmSourceFiles result;
  if (!options.filePath.empty()) {
    result.files = DatabaseInputFiles(options.filePath);
    return result;
  }
  if (!SqliteConnector::LooksLikeConnectionString(source)) {
    result.files = DatabaseInputFiles(platform::Utf16ToUtf8(source));
    return result;
  }
  const std::string text = platform::Utf16ToUtf8(source);
  result.files = ConnectionInputFiles(text);
  const std::vector<Utf8ConnectionAttribute> attributes = ParseConnectionString(text);
  const std::optional<std::string> database = FindAttribute(attributes, {"Database"});
  if (!HasAttribute(attributes, {"DSN"}) && (!database || database->empty())) {
    std::u16string keys;
    for (const Utf8ConnectionAttribute& attribute : attributes)
      keys += (keys.empty() ? u"" : u", ") + platform::Utf8ToUtf16(attribute.key);
    result.unusable = u"the connection string names no database: it needs Database=PATH (its keys: " + keys + u")";
  }
  return result;
}

}  // namespace qm::sqlite

#include "InputFiles.h"

#include "ConnectionString.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace app {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whether text starts with the lower-case ASCII prefix, ignoring case.
bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool EqualsIgnoringCase(const std::string& text, std::string_view lower) {
  return text.size() == lower.size() && StartsWithIgnoringCase(text, lower);
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
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

void AddDatabase(std::vector<InputFile>& files, const std::string& path, const std::string& kind) {
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

std::vector<InputFile> SqliteInputFiles(const std::string& path) {
  std::vector<InputFile> files;
  AddDatabase(files, path, "the database");
  return files;
}

std::vector<InputFile> SqliteConnectionInputFiles(const std::string& connectionString) {
  std::vector<InputFile> files;
  for (const ConnectionAttribute& attribute : ParseConnectionString(connectionString)) {
    const std::string key = Trim(attribute.key);
    if (EqualsIgnoringCase(key, "database")) {
      const std::string value = Trim(attribute.value);
      if (value == ":memory:") continue;
      AddDatabase(files, value, "the database");
      if (StartsWithIgnoringCase(value, "file:")) AddDatabase(files, UriPath(value), "the database");
    } else if (EqualsIgnoringCase(key, "attach")) {
      const std::size_t equals = attribute.value.find('=');
      if (equals == std::string::npos) continue;
      AddDatabase(files, Trim(attribute.value.substr(equals + 1)), "the attached database");
    }
  }
  return files;
}

}  // namespace app

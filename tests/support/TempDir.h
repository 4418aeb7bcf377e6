// A fresh directory per test, and whole-file reads and writes.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace qm::test {

// A new temporary directory, removed with its content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory joined with name (UTF-8); the directory itself for "".
  std::string Path(std::string_view name = {}) const;

 private:
  std::string m_path;  // absolute, UTF-8
};

// The file's bytes ("" when it cannot be read).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Everything below the directory by path: a file's bytes, "-> target"
// for a link, "<not a file>".
std::map<std::string, std::string> Snapshot(const std::string& directory);

}  // namespace qm::test

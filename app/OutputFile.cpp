#include "OutputFile.h"

#include "Signals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

namespace app {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a temporary file beside target; returns its descriptor and path,
// or -1.
int CreateSibling(const std::string& target, std::string& tempPath) {
  std::string pattern = DirectoryOf(target) + "/." + BaseNameOf(target) + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd >= 0) tempPath = buffer.data();
  return fd;
}

}  // namespace

OutputFile::OutputFile(std::string path) : m_path(std::move(path)) {}

std::string OutputFile::TargetPath() const {
  char resolved[PATH_MAX];
  if (::realpath(m_path.c_str(), resolved) != nullptr) return resolved;
  return m_path;
}

bool OutputFile::Check(std::string& error) const {
  if (IsStandardOutput()) return true;
  struct stat info {};
  if (::stat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) {
      error = "cannot write the model to " + m_path + ": it is a directory";
      return false;
    }
    if (::access(m_path.c_str(), W_OK) != 0) {
      error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }
  std::string tempPath;
  const int fd = CreateSibling(TargetPath(), tempPath);
  if (fd < 0) {
    error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(tempPath.c_str());
  return true;
}

bool OutputFile::Write(const std::function<void(std::ostream&)>& writer, std::string& error) const {
  if (IsStandardOutput()) {
    writer(std::cout);
    std::cout.flush();
    if (!std::cout) {
      error = "cannot write the model to standard output";
      return false;
    }
    return true;
  }
  struct stat info {};
  const bool exists = ::stat(m_path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    std::ofstream out(m_path, std::ios::binary | std::ios::out | std::ios::trunc);
    if (out) writer(out);
    out.flush();
    if (!out) {
      error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  const std::string target = TargetPath();
  std::string tempPath;
  const int fd = CreateSibling(target, tempPath);
  if (fd < 0) {
    error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
    return false;
  }
  signals::RegisterTemporaryFile(tempPath.c_str());
  // The new file gets the old one's permissions, or those a new file
  // would get under the current umask.
  mode_t mode = info.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  ::close(fd);

  bool ok;
  {
    std::ofstream out(tempPath, std::ios::binary | std::ios::out | std::ios::trunc);
    if (out) writer(out);
    out.flush();
    ok = static_cast<bool>(out);
    if (!ok) error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
  }
  if (ok && ::rename(tempPath.c_str(), target.c_str()) != 0) {
    error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) ::unlink(tempPath.c_str());
  signals::ForgetTemporary(tempPath.c_str());
  return ok;
}

}  // namespace app

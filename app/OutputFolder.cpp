#include "OutputFolder.h"

#include "Signals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace app {

namespace fs = std::filesystem;

namespace {

// FNV-1a of a file's bytes: tells a file as written from one changed
// since (not a defence against anyone who wants to fool it).
std::uint64_t Hash(std::string_view bytes) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ULL;
  return hash;
}

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

constexpr const char* kManifestHead =
    "# The files quillmere-import wrote in this folder, each with a hash of its bytes. It replaces the folder\n"
    "# only while it holds these files, unchanged, and nothing else.\n";

// Reads the manifest of a folder: path -> hash; false when there is none
// or it does not read as one.
bool ReadManifest(const std::string& folder, std::map<std::string, std::string>& files) {
  std::ifstream in(folder + "/" + kManifestName, std::ios::binary);
  if (!in) return false;
  std::string line;
  bool head = false;
  while (std::getline(in, line)) {
    if (line.starts_with("#")) {
      head = true;
      continue;
    }
    const std::size_t blank = line.find(' ');
    if (blank != 16) return false;
    files[line.substr(17)] = line.substr(0, 16);
  }
  return head;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Why the folder may not be replaced, or an empty text when it may: it
// holds nothing but the manifest and the files it lists, unchanged.
std::string WhyNotReplaced(const std::string& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  fs::directory_iterator first(folder, error);
  if (error) return error.message();
  if (first == fs::directory_iterator()) return {};  // empty
  if (!ReadManifest(folder, files))
    return "it holds files quillmere-import did not write (no " + std::string(kManifestName) +
           " lists them); give a new or empty folder";
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string relative = fs::relative(it->path(), folder, error).generic_string();
    const fs::file_status status = it->symlink_status(error);
    if (fs::is_directory(status)) continue;
    if (relative == kManifestName) continue;
    const auto listed = files.find(relative);
    if (!fs::is_regular_file(status) || listed == files.end())
      return relative + " was not written by quillmere-import; move it away or give another folder";
    if (Hex(Hash(ReadAll(it->path().string()))) != listed->second)
      return relative + " was changed since quillmere-import wrote it; move it away or give another folder";
  }
  if (error) return error.message();
  return {};
}

// Files written into the temporary folder as the writer adds them.
class FolderFiles : public writers::FolderOutput {
 public:
  explicit FolderFiles(std::string root) : m_root(std::move(root)) {}

  void Add(const std::string& path, std::string_view content) override {
    if (path.empty() || path.front() == '/' || path.find("..") != std::string::npos || !m_written.insert(path).second)
      throw std::runtime_error("the writer gave an unusable file name: " + path);
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && m_folders.insert(path.substr(0, slash)).second) {
      std::error_code error;
      fs::create_directories(m_root + "/" + path.substr(0, slash), error);
      if (error) throw std::runtime_error(path + ": " + error.message());
    }
    const std::string target = m_root + "/" + path;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
      const ssize_t written = ::write(fd, data, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        const int code = written < 0 ? errno : EIO;
        ::close(fd);
        throw std::runtime_error(path + ": " + std::strerror(code));
      }
      data += written;
      left -= static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) throw std::runtime_error(path + ": " + std::strerror(errno));
    m_manifest += Hex(Hash(content)) + " " + path + "\n";
  }

  void Finish() {
    const std::string text = kManifestHead + m_manifest;
    std::ofstream out(m_root + "/" + kManifestName, std::ios::binary);
    out << text;
    out.close();
    if (!out) throw std::runtime_error(std::string(kManifestName) + ": " + std::strerror(errno));
  }

 private:
  std::string m_root;
  std::set<std::string> m_written;
  std::set<std::string> m_folders;  // made already: a page's folder is made once, not looked up per page
  std::string m_manifest;  // one line per file, in the order written
};

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new hidden folder beside target; empty on failure (errno set).
std::string MakeSibling(const std::string& target, const char* what) {
  std::string pattern = ParentOf(target) + "/." + BaseOf(target) + what + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) return {};
  return buffer.data();
}

}  // namespace

OutputFolder::OutputFolder(std::string path) : m_path(std::move(path)) {
  while (m_path.size() > 1 && m_path.back() == '/') m_path.pop_back();
  // A link to a folder: the folder it leads to is replaced, the link stays.
  char resolved[PATH_MAX];
  struct stat info {};
  if (::lstat(m_path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(m_path.c_str(), resolved) != nullptr)
    m_path = resolved;
}

bool OutputFolder::NamesFolder(const std::string& path) {
  if (!path.empty() && path.back() == '/') return true;
  struct stat info {};
  return path != "-" && !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool OutputFolder::Check(std::string& error) const {
  struct stat info {};
  const std::string where = "cannot write the documentation folder " + m_path + "/: ";
  if (::stat(m_path.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) {
      error = where + "it is a file, not a folder";
      return false;
    }
    if (const std::string why = WhyNotReplaced(m_path); !why.empty()) {
      error = where + why;
      return false;
    }
  } else if (errno != ENOENT) {
    error = where + std::strerror(errno);
    return false;
  }
  const std::string probe = MakeSibling(m_path, "");
  if (probe.empty()) {
    error = where + std::strerror(errno);
    return false;
  }
  ::rmdir(probe.c_str());
  return true;
}

WriteOutcome OutputFolder::Write(const std::function<void(writers::FolderOutput&)>& writer, std::string& error) const {
  if (signals::InterruptCount() > 0) return WriteOutcome::Cancelled;
  const std::string where = "cannot write the documentation folder " + m_path + "/: ";
  if (!Check(error)) return WriteOutcome::Failed;
  const std::string temporary = MakeSibling(m_path, "");
  if (temporary.empty()) {
    error = where + std::strerror(errno);
    return WriteOutcome::Failed;
  }
  signals::RegisterTemporaryDirectory(temporary.c_str());
  auto discard = [&](const std::string& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  };
  WriteOutcome outcome = WriteOutcome::Written;
  try {
    FolderFiles files(temporary);
    writer(files);
    files.Finish();
  } catch (const writers::WriteError& refused) {
    // The format cannot show this model as asked: the user's mistake or
    // the model's size, not the folder's.
    error = refused.what();
    outcome = WriteOutcome::Failed;
  } catch (const std::exception& failure) {
    error = where + failure.what();
    outcome = WriteOutcome::Failed;
  }
  // A folder's permissions as a new one's under the umask.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temporary.c_str(), 0777 & ~mask);
  if (outcome == WriteOutcome::Written && signals::InterruptCount() > 0) outcome = WriteOutcome::Cancelled;
  if (outcome == WriteOutcome::Written) {
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) {
      if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = where + std::strerror(errno);
        outcome = WriteOutcome::Failed;
      }
    } else if (const std::string why = WhyNotReplaced(m_path); !why.empty()) {
      // Something came into the folder during the import.
      error = where + why;
      outcome = WriteOutcome::Failed;
    } else if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, m_path.c_str(), RENAME_EXCHANGE) == 0) {
      discard(temporary);  // the old folder, now under the temporary name
      signals::ForgetTemporary(temporary.c_str());
      return WriteOutcome::Written;
    } else {
      // A file system without the exchange: the old folder aside, the new
      // one in its place, then the old one removed.
      const std::string aside = MakeSibling(m_path, ".old");
      if (aside.empty() || ::rename(m_path.c_str(), aside.c_str()) != 0) {
        error = where + std::strerror(errno);
        outcome = WriteOutcome::Failed;
        if (!aside.empty()) ::rmdir(aside.c_str());
      } else if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = where + std::strerror(errno);
        ::rename(aside.c_str(), m_path.c_str());
        outcome = WriteOutcome::Failed;
      } else {
        discard(aside);
      }
    }
  }
  if (outcome != WriteOutcome::Written) discard(temporary);
  signals::ForgetTemporary(temporary.c_str());
  return outcome;
}

}  // namespace app

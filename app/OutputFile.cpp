#include "OutputFile.h"

#include "Signals.h"

#include <writers/ModelWriter.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <ostream>
#include <streambuf>
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

// An output buffer over a file descriptor that carries every write to its
// end: a write that a signal interrupts (EINTR) or cuts short is
// continued, and a descriptor left non-blocking by someone else is waited
// for. The errno of the first failure is kept; later output is dropped.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : m_fd(fd), m_buffer(std::size_t{1} << 16) { Reset(); }

  // 0, or the errno of the write that failed.
  int Error() const { return m_error; }

 protected:
  int_type overflow(int_type c) override {
    if (!Flush()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* data, std::streamsize size) override {
    if (size <= epptr() - pptr()) {
      std::memcpy(pptr(), data, static_cast<std::size_t>(size));
      pbump(static_cast<int>(size));
      return size;
    }
    if (!Flush() || !WriteAll(data, static_cast<std::size_t>(size))) return 0;
    return size;
  }

  int sync() override { return Flush() ? 0 : -1; }

 private:
  void Reset() { setp(m_buffer.data(), m_buffer.data() + m_buffer.size()); }

  bool Flush() {
    const bool ok = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    Reset();
    return ok;
  }

  bool WriteAll(const char* data, std::size_t size) {
    while (m_error == 0 && size > 0) {
      const ssize_t written = ::write(m_fd, data, size);
      if (written >= 0) {
        data += written;
        size -= static_cast<std::size_t>(written);
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        struct pollfd ready {m_fd, POLLOUT, 0};
        ::poll(&ready, 1, -1);
      } else if (errno != EINTR) {
        m_error = errno;
      }
    }
    return m_error == 0;
  }

  int m_fd;                   // where the text goes; not owned
  std::vector<char> m_buffer; // text not yet written
  int m_error = 0;            // errno of the first failed write; 0 while none failed
};

// Runs the writer into fd. Returns why it failed, or an empty text: the
// write's error, or what a writer that gave up threw (a format that
// cannot show this model; writers/ModelWriter.h), for which `refused` is
// set: that is no fault of the output's.
std::string WriteTo(int fd, const std::function<void(std::ostream&)>& writer, bool& refused) {
  DescriptorBuffer buffer(fd);
  std::ostream out(&buffer);
  refused = false;
  try {
    writer(out);
  } catch (const writers::WriteError& e) {
    refused = true;
    return e.what();
  } catch (const std::exception& e) {
    return e.what();
  }
  out.flush();
  if (buffer.Error() != 0) return std::strerror(buffer.Error());
  return out ? std::string() : std::strerror(EIO);
}

// Opens an existing path that is not a regular file for writing. A FIFO is
// opened once a reader is there; a Ctrl-C while waiting for one gives up
// (returns -1 with errno EINTR), since nothing is written yet.
int OpenDirect(const std::string& path, const struct stat& info) {
  if (!S_ISFIFO(info.st_mode)) {
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }
  for (;;) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO && errno != EINTR) return -1;
    if (signals::InterruptCount() > 0) {
      errno = EINTR;
      return -1;
    }
    ::usleep(50 * 1000);
  }
}

// What identifies a file: its device and inode while it exists, and the
// path it resolves to (for one that does not exist, its folder resolved
// and its name).
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string resolved;
};

FileIdentity Identify(const std::string& path) {
  FileIdentity identity;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
  }
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) {
    identity.resolved = resolved;
  } else if (::realpath(DirectoryOf(path).c_str(), resolved) != nullptr) {
    const std::string folder = resolved;
    identity.resolved = (folder == "/" ? "" : folder) + "/" + BaseNameOf(path);
  } else {
    identity.resolved = path;
  }
  return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
  return a.resolved == b.resolved;
}

}  // namespace

OutputFile::OutputFile(std::string path) : m_path(std::move(path)) {}

std::string OutputFile::TargetPath() const {
  char resolved[PATH_MAX];
  if (::realpath(m_path.c_str(), resolved) != nullptr) return resolved;
  return m_path;
}

bool OutputFile::IsTerminal() const {
  if (IsStandardOutput()) return ::isatty(STDOUT_FILENO) == 1;
  struct stat info {};
  if (::stat(m_path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  // Opening a terminal this way neither makes it the controlling one nor
  // waits for a line that is not ready.
  const int fd = ::open(m_path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool terminal = ::isatty(fd) == 1;
  ::close(fd);
  return terminal;
}

const QmInputFile* OutputFile::FindOverwritten(const std::vector<QmInputFile>& inputs) const {
  FileIdentity output;
  if (IsStandardOutput()) {
    // Only a regular file behind standard output can be an input.
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    output.exists = true;
    output.device = info.st_dev;
    output.inode = info.st_ino;
  } else {
    output = Identify(m_path);
  }
  for (const QmInputFile& input : inputs) {
    const FileIdentity identity = Identify(input.path);
    if (IsStandardOutput() ? identity.exists && SameFile(output, identity) : SameFile(output, identity)) return &input;
  }
  return nullptr;
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

WriteOutcome OutputFile::Write(const std::function<void(std::ostream&)>& writer, std::string& error) const {
  if (signals::InterruptCount() > 0) return WriteOutcome::Cancelled;
  if (IsStandardOutput()) {
    std::cout.flush();
    bool refused = false;
    if (const std::string failure = WriteTo(STDOUT_FILENO, writer, refused); !failure.empty()) {
      error = refused ? failure : "cannot write the model to standard output: " + failure;
      return WriteOutcome::Failed;
    }
    return WriteOutcome::Written;
  }
  struct stat info {};
  const bool exists = ::stat(m_path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    const int fd = OpenDirect(m_path, info);
    if (fd < 0 && errno == EINTR) return WriteOutcome::Cancelled;
    bool refused = false;
    const std::string failure = fd < 0 ? std::strerror(errno) : WriteTo(fd, writer, refused);
    if (fd >= 0) ::close(fd);
    if (!failure.empty()) {
      error = refused ? failure : "cannot write the model to " + m_path + ": " + failure;
      return WriteOutcome::Failed;
    }
    return WriteOutcome::Written;
  }

  const std::string target = TargetPath();
  std::string tempPath;
  const int fd = CreateSibling(target, tempPath);
  if (fd < 0) {
    error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
    return WriteOutcome::Failed;
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

  WriteOutcome outcome = WriteOutcome::Written;
  bool refused = false;
  if (const std::string failure = WriteTo(fd, writer, refused); !failure.empty()) {
    error = refused ? failure : "cannot write the model to " + m_path + ": " + failure;
    outcome = WriteOutcome::Failed;
  }
  ::close(fd);
  // The rename is the moment the model is written: a Ctrl-C up to here
  // still cancels, and the target stays as it was.
  if (outcome == WriteOutcome::Written && signals::InterruptCount() > 0) outcome = WriteOutcome::Cancelled;
  if (outcome == WriteOutcome::Written && ::rename(tempPath.c_str(), target.c_str()) != 0) {
    error = "cannot write the model to " + m_path + ": " + std::strerror(errno);
    outcome = WriteOutcome::Failed;
  }
  if (outcome != WriteOutcome::Written) ::unlink(tempPath.c_str());
  signals::ForgetTemporary(tempPath.c_str());
  return outcome;
}

}  // namespace app

#include "Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>

extern char** environ;

namespace qm::test {
namespace {

// The exit status, or 128 + the signal number.
int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

void KillAndReap(int pid) {
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

int Reap(int pid, std::chrono::steady_clock::time_point deadline) {
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() >= deadline) {
      KillAndReap(pid);
      return -1;
    }
    ::usleep(10 * 1000);
  }
  return ExitCodeOf(status);
}

ExecImage::ExecImage(const std::string& program, const std::vector<std::string>& args, const ProcessOptions& options)
    : m_args{program} {
  m_args.insert(m_args.end(), args.begin(), args.end());
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (const char* equals = std::strchr(*entry, '='))
      merged[std::string(*entry, static_cast<std::size_t>(equals - *entry))] = equals + 1;
  for (const std::string& name : options.unset) merged.erase(name);
  for (const auto& [name, value] : options.environment) merged[name] = value;
  for (const auto& [name, value] : merged) m_environment.push_back(name + "=" + value);
  for (std::string& arg : m_args) m_argv.push_back(arg.data());
  for (std::string& entry : m_environment) m_envp.push_back(entry.data());
  m_argv.push_back(nullptr);
  m_envp.push_back(nullptr);
}

void ExecImage::Exec() {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGPIPE, SIG_DFL);
  ::execve(m_argv[0], m_argv.data(), m_envp.data());
  ::_exit(127);
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  ProcessResult result;
  int inPipe[2], outPipe[2], errPipe[2];
  if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    result.err = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  ExecImage image(program, args, options);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(inPipe[0], STDIN_FILENO);
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) ::_exit(127);
    image.Exec();
  }
  for (int fd : {inPipe[0], outPipe[1], errPipe[1]}) ::close(fd);
  if (pid < 0) {
    for (int fd : {inPipe[1], outPipe[0], errPipe[0]}) ::close(fd);
    result.err = std::string("fork: ") + std::strerror(errno);
    return result;
  }

  // Input and both outputs together, so that no side blocks on a full pipe.
  std::size_t written = 0;
  int inFd = inPipe[1];
  if (options.input.empty()) {
    ::close(inFd);
    inFd = -1;
  } else {
    ::fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  int outFd = outPipe[0];
  int errFd = errPipe[0];
  if (options.closeStdout) {
    ::close(outFd);
    outFd = -1;
  }
  ::signal(SIGPIPE, SIG_IGN);
  while (outFd >= 0 || errFd >= 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      result.timedOut = true;
      break;
    }
    struct pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (::poll(fds, 3, 200) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? outFd : errFd;
      if (fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        ::close(fd);
        fd = -1;
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t put = ::write(inFd, options.input.data() + written, options.input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put < 0 || written == options.input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
  }
  for (int fd : {inFd, outFd, errFd})
    if (fd >= 0) ::close(fd);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = ExitCodeOf(status);
  return result;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const ProcessOptions& options, const std::vector<int>& fds) {
  ExecImage image(program, args, options);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const int count = static_cast<int>(fds.size());
  std::vector<int> copies(fds.size());  // made before fork: the child allocates nothing
  m_pid = ::fork();
  if (m_pid == 0) {
    // Moved out of the way first, so that one dup2 cannot close another's source.
    for (int i = 0; i < count; ++i) copies[i] = ::fcntl(fds[i] >= 0 ? fds[i] : null, F_DUPFD_CLOEXEC, count);
    for (int i = 0; i < count; ++i) ::dup2(copies[i], i);
    image.Exec();
  }
  ::close(null);
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0) KillAndReap(m_pid);
}

void ChildProcess::Signal(int signal) const {
  if (m_pid > 0) ::kill(m_pid, signal);
}

int ChildProcess::Wait(int timeoutSeconds) {
  const int code = m_pid > 0 ? Reap(m_pid, std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds)) : -1;
  m_pid = -1;
  return code;
}

std::string Printed(const ProcessResult& result) {
  return "exit " + std::to_string(result.exitCode) + (result.timedOut ? " (timed out)" : "") + "\n--- stderr\n" +
         result.err + "--- stdout (" + std::to_string(result.out.size()) + " bytes)\n" + result.out.substr(0, 2000);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace qm::test

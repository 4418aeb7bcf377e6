// A program (the host, psql) run as a child, and what it printed.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qm::test {

struct ProcessResult {
  int exitCode = -1;       // the exit status, or 128 + signal number when a signal ended it
  bool timedOut = false;   // the child ran past the deadline and was killed
  std::string out;         // everything written to standard output
  std::string err;         // everything written to standard error
};

struct ProcessOptions {
  std::map<std::string, std::string> environment;  // added to (or replacing in) the inherited environment
  std::vector<std::string> unset;                  // removed from the inherited environment
  std::string input;                               // written to standard input, which is then closed
  int timeoutSeconds = 300;                        // killed (SIGKILL) after this long
  bool closeStdout = false;                        // no reader on standard output: the first write fails (EPIPE/SIGPIPE)
  std::string workingDirectory;                    // where the child starts; empty: the test's own
};

// Runs program with args; one that cannot be started exits with 127.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// A child on copies of the caller's descriptors: fds[i] becomes its
// descriptor i, -1 /dev/null (only the environment options used); killed if
// still running when the object goes.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args, const ProcessOptions& options,
               const std::vector<int>& fds);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int Pid() const { return m_pid; }
  void Signal(int signal) const;
  // The exit code; -1 (killed) when still running after timeoutSeconds.
  int Wait(int timeoutSeconds);

 private:
  int m_pid = -1;  // the child; -1 once collected
};

// argv and environment made before fork: the child only calls Exec (SIGINT
// and SIGPIPE at their defaults; exit 127 when the program cannot start).
class ExecImage {
 public:
  ExecImage(const std::string& program, const std::vector<std::string>& args, const ProcessOptions& options);
  ExecImage(const ExecImage&) = delete;
  ExecImage& operator=(const ExecImage&) = delete;
  [[noreturn]] void Exec();

 private:
  std::vector<std::string> m_args, m_environment;  // what argv and envp point into
  std::vector<char*> m_argv, m_envp;
};

void KillAndReap(int pid);
// The child's exit code; -1 when it is killed at the deadline.
int Reap(int pid, std::chrono::steady_clock::time_point deadline);

std::string Printed(const ProcessResult& result);  // for failure messages
std::vector<std::string> Lines(const std::string& text);

}  // namespace qm::test

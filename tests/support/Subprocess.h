// Runs a program (the host, psql) as a child process and collects what it
// printed.
#pragma once

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

// Runs program with args (argv[0] is the program). Standard input gets
// options.input; a program that cannot be started yields exit code 127.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// A child started with descriptors of the test's choosing for its standard
// input, output and error, for tests that drive a program while it runs
// (a slow reader, a signal at a chosen moment). Only options.environment
// and options.unset are used. The descriptors are the caller's; the child
// gets copies. A child still running when the object goes is killed.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args, const ProcessOptions& options,
               int inputFd, int outputFd, int errorFd);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int Pid() const { return m_pid; }
  // Sends the signal to the child.
  void Signal(int signal) const;
  // Whether it has ended (and collects its status if so).
  bool Ended();
  // Waits for the end: the exit status, or 128 + the signal number; -1
  // when it was still running after timeoutSeconds (it is then killed).
  int Wait(int timeoutSeconds);

 private:
  int m_pid = -1;       // the child; -1 once collected
  int m_status = -1;    // exit code once collected
};

// The environment a child gets: the test's, changed as options say
// ("NAME=value" entries).
std::vector<std::string> ChildEnvironment(const ProcessOptions& options);

// Everything the process printed, for failure messages.
std::string Printed(const ProcessResult& result);
// The text's lines, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace qm::test

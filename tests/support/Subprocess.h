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
};

// Runs program with args (argv[0] is the program). Standard input gets
// options.input; a program that cannot be started yields exit code 127.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// Everything the process printed, for failure messages.
std::string Printed(const ProcessResult& result);
// The text's lines, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace qm::test

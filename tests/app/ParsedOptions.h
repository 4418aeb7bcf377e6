// The command line's options parsed in process, as quillmere-import parses
// its own, with what the parser printed; what a console wrote.
#pragma once

#include "Options.h"

#include <TempDir.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace app::test {

struct Parsed {
  int exitCode = 0;
  Options options;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Parses args (without the program's name) with the shortcuts the plug-ins
// found; noPluginsBecause as ParseOptions takes it. Standard error goes
// through a file for the while, so that what the parser prints there is
// caught too.
inline Parsed Parse(std::vector<std::string> args, const std::vector<Shortcut>& shortcuts = {},
                    const std::string& noPluginsBecause = {}) {
  args.insert(args.begin(), "quillmere-import");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  Parsed parsed;
  std::ostringstream out;
  std::streambuf* previous = std::cout.rdbuf(out.rdbuf());
  qm::test::TempDir dir;
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(dir.Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, STDERR_FILENO);
  ::close(file);
  parsed.exitCode = ParseOptions(static_cast<int>(argv.size()), argv.data(), shortcuts, parsed.options, noPluginsBecause);
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::cout.rdbuf(previous);
  parsed.out = out.str();
  parsed.err = qm::test::ReadFile(dir.Path("err"));
  return parsed;
}

// What write printed to the stream it is given (a console's).
template <class Write>
std::string Captured(Write&& write) {
  std::FILE* stream = std::tmpfile();
  write(stream);
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) text.append(buffer, read);
  std::fclose(stream);
  return text;
}

}  // namespace app::test

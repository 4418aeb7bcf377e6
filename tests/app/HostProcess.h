// quillmere-import as the end-to-end tests run it, and what its output says.
#pragma once

#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

using Strings = std::vector<std::string>;

// Runs QM_IMPORT_EXE; a run killed at options.timeoutSeconds fails the test.
inline ProcessResult Host(const Strings& args, const ProcessOptions& options = {}) {
  ProcessResult result = RunProcess(QM_IMPORT_EXE, args, options);
  EXPECT_FALSE(result.timedOut) << Printed(result);
  return result;
}

// Whether one of the lines (or of the text's lines) is exactly line.
inline bool HasLine(const Strings& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
inline bool HasLine(const std::string& text, const std::string& line) { return HasLine(Lines(text), line); }

// The names of the model's tables, from the JSON the host wrote.
inline Strings TableNames(const std::string& json) {
  GenericModel model(0);
  ReadModelJson(json, model);
  return Names(AllOfType(model, model::Table));
}

// One run and what the user sees: the exit code, a part of standard error
// (all of it when it ends with a line end; "" for any), the tables of the
// model on standard output, and when given, all of standard output.
struct HostRun {
  Strings args;
  int exitCode;
  std::string err;
  Strings tables = {};
  std::optional<std::string> out = {};
};

// Runs each; no run may print what is in hidden (a password).
inline void ExpectRuns(const std::vector<HostRun>& runs, const ProcessOptions& options = {},
                       const Strings& hidden = {}) {
  for (const HostRun& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run.args));
    const ProcessResult result = Host(run.args, options);
    EXPECT_EQ(result.exitCode, run.exitCode) << Printed(result);
    if (!run.err.empty() && run.err.back() == '\n') {
      EXPECT_EQ(result.err, run.err);
    } else {
      EXPECT_NE(result.err.find(run.err), std::string::npos) << Printed(result);
    }
    // A refusal writes nothing (1: a difference or finding; 5: a partial model).
    EXPECT_TRUE(run.exitCode < 2 || run.exitCode == 5 || result.out.empty()) << Printed(result);
    EXPECT_EQ(result.out, run.out.value_or(result.out));
    EXPECT_TRUE(run.tables.empty() || TableNames(result.out) == run.tables) << Printed(result);
    for (const std::string& text : hidden) EXPECT_EQ(result.err.find(text), std::string::npos) << Printed(result);
  }
}

// The folder the program's libraries are installed in (lib/quillmere).
inline std::filesystem::path LibraryFolder() {
  return std::filesystem::canonical(std::filesystem::path(QM_IMPORT_EXE).parent_path() / ".." / "lib" / "quillmere");
}

// A database whose model is megabytes of JSON (far more than a pipe holds), slow to import.
inline void CreateLargeDatabase(const std::string& path) {
  std::string script = "BEGIN;\n";
  for (int i = 1; i <= 1000; ++i) {
    const std::string n = std::to_string(i);
    script += "CREATE TABLE t" + n + " (id INTEGER PRIMARY KEY, prev INTEGER REFERENCES t" +
              std::to_string(std::max(i - 1, 1)) + " (id), code TEXT NOT NULL, note TEXT);\nCREATE INDEX ix" + n +
              " ON t" + n + " (code, prev);\n";
  }
  SqliteFile(path).Exec(script + "COMMIT;\n");
}

// Reads from fd until something arrived or the timeout passed.
inline std::string ReadSome(int fd, std::chrono::milliseconds timeout) {
  struct pollfd ready {fd, POLLIN, 0};
  if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return {};
  char buffer[65536];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

// Reads from fd until its writers are gone (or a minute passes without a byte).
inline std::string ReadToEnd(int fd) {
  std::string text;
  for (std::string got; !(got = ReadSome(fd, std::chrono::minutes(1))).empty();) text += got;
  return text;
}

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void CloseWriteEnd() {
    ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

}  // namespace qm::test

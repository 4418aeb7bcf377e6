// quillmere-import as the end-to-end tests run it: a child process with
// the test's arguments and environment, and what its output says.
#pragma once

#include <ImportHost.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qm::test {

// Runs quillmere-import (QM_IMPORT_EXE) with the arguments; a run killed at
// options.timeoutSeconds fails the calling test.
inline ProcessResult Host(const std::vector<std::string>& args, const ProcessOptions& options = {}) {
  ProcessResult result = RunProcess(QM_IMPORT_EXE, args, options);
  EXPECT_FALSE(result.timedOut) << Printed(result);
  return result;
}

// Whether one of the lines (or of the text's lines) is exactly line.
inline bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
inline bool HasLine(const std::string& text, const std::string& line) { return HasLine(Lines(text), line); }

// The names of the model's tables, from the JSON the host wrote.
inline std::vector<std::string> TableNames(const std::string& json) {
  GenericModel model(0);
  ReadModelJson(json, model);
  return Names(AllOfType(model, model::Table));
}

// A database whose model is several megabytes of JSON, far more than a
// pipe holds, and whose import takes a while.
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

}  // namespace qm::test

// quillmere-import as the end-to-end tests run it: a child process with
// the test's arguments and environment, and what its output says.
#pragma once

#include <ImportHost.h>
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

}  // namespace qm::test

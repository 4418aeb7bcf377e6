// Whole outputs compared with their expected files in tests/data/expected:
// for text that is the same on every machine (models built in memory, a
// database made by the test), where every byte is part of the contract.
// QM_UPDATE_EXPECTED=1 writes the output as the expected file instead;
// read the change line by line before committing it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qm::test {

inline void ExpectSameAsFile(const std::string& name, const std::string& text) {
  const std::string path = std::string(QM_EXPECTED_DIR) + "/" + name;
  if (const char* update = std::getenv("QM_UPDATE_EXPECTED"); update != nullptr && std::string(update) == "1") {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    ASSERT_TRUE(out) << "could not write " << path;
    return;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path << " is missing (QM_UPDATE_EXPECTED=1 writes it)";
  std::ostringstream expected;
  expected << file.rdbuf();
  if (expected.str() == text) return;
  // The first line that differs, so that the failure says where.
  std::istringstream want(expected.str()), got(text);
  std::string a, b;
  int line = 1;
  for (;; ++line) {
    const bool inWant = static_cast<bool>(std::getline(want, a)), inGot = static_cast<bool>(std::getline(got, b));
    if (!inWant) a = "(the end)";
    if (!inGot) b = "(the end)";
    if (!inWant || !inGot || a != b) break;
  }
  ADD_FAILURE() << name << " differs at line " << line << "\nexpected: " << a << "\nwritten:  " << b
                << "\n(QM_UPDATE_EXPECTED=1 writes the output as " << path << ")\n";
}

}  // namespace qm::test

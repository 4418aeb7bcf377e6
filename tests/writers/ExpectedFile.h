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
  // gtest shows the lines that differ.
  EXPECT_EQ(expected.str(), text) << name << " (QM_UPDATE_EXPECTED=1 writes the output as " << path << ")";
}

}  // namespace qm::test

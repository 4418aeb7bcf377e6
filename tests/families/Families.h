// What the families share: the backends a family runs over, and their
// names as the tests' names.
#pragma once

#include <TestBackend.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test {

template <class Has>
std::vector<const TestBackend*> BackendsWith(Has has) {
  std::vector<const TestBackend*> backends;
  for (const TestBackend* backend : Backends())
    if (has(*backend)) backends.push_back(backend);
  return backends;
}

inline std::string BackendName(const ::testing::TestParamInfo<const TestBackend*>& info) { return info.param->Name(); }

}  // namespace qm::test

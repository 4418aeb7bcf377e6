// Whether every enum-like text property of a model (tableKind, onDelete,
// ...) holds a value <tillerhold/ModelVocabulary.h> allows on that type.
#pragma once

#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

namespace qm::test {

// Success, or every structural (ImportHost.h) and vocabulary fault, one a line.
::testing::AssertionResult SoundModel(const GenericModel& model);

}  // namespace qm::test

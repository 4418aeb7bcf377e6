// Whether a model keeps to the vocabulary's words: every enum-like text
// property (tableKind, onDelete, triggerEvents, ...) holds one of the
// values <tillerhold/ModelVocabulary.h> lists for it on that object type.
#pragma once

#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test {

// One line per property that breaks the vocabulary: the object (type, id,
// name), the property and its value, or that an enum-like property holds
// no text. Empty when the model keeps to it.
std::vector<std::string> VocabularyFaults(const GenericModel& model);

// Success when the model has neither structural faults (StructuralFaults
// in ImportHost.h) nor vocabulary faults; otherwise every fault, one a
// line.
::testing::AssertionResult SoundModel(const GenericModel& model);

}  // namespace qm::test

// Whether a model keeps to the vocabulary's words: every enum-like text
// property (tableKind, onDelete, triggerEvents, ...) holds one of the
// values <tillerhold/ModelVocabulary.h> lists for it on that object type.
#pragma once

#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

namespace qm::test {

// Success when the model has neither structural faults (StructuralFaults
// in ImportHost.h) nor vocabulary faults; otherwise every fault, one a
// line: the object (type, id, name), the property and its value, or that
// an enum-like property holds no text.
::testing::AssertionResult SoundModel(const GenericModel& model);

}  // namespace qm::test

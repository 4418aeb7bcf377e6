// The sql format's round trip: model, SQL, a new database, a model again,
// compared through the differ; what may differ has a reason.
#pragma once

#include <compare/ModelDiff.h>
#include <compare/DiffOutput.h>

#include <tillerhold/GenericModel.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace writers::test {

using compare::DiffModels;
using compare::ModelDifference;
using compare::ObjectDifference;
using compare::PropertyDifference;
using compare::WriteDifferenceText;

// A difference the round trip may show, and why.
struct Allowance {
  std::string reason;
  // Whether it covers the property (null: the whole object added or removed).
  std::function<bool(const ObjectDifference& object, const PropertyDifference* property)> covers;
};

// The differences no allowance covers, printed; empty when none.
std::string Unexplained(const ModelDifference& difference, const std::vector<Allowance>& allowances);

std::string SqlOf(const GenericModel& model, const std::string& dialect);

// Copies the model into `to` (only its root), ids kept, without what `drop` picks.
void CopyWithout(const GenericModel& from, GenericModel& to,
                 const std::function<bool(const CMOObject& object, int propertyId)>& drop);

}  // namespace writers::test

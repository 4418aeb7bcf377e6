// The sql format's round trip: a model imported from a database is
// written as SQL, the SQL is loaded into an empty database, that database
// is imported again, and the two models are compared through the differ.
// What may differ is listed by the test, each with its reason.
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
  // Whether the allowance covers the property of the object's difference
  // (for an added or removed object, `property` is null and the whole
  // object is meant).
  std::function<bool(const ObjectDifference& object, const PropertyDifference* property)> covers;
};

// The differences the allowances do not cover, printed for a failure
// message; empty when there are none.
std::string Unexplained(const ModelDifference& difference, const std::vector<Allowance>& allowances);

// The model as the sql format writes it in the dialect of that name (the
// one the plug-in that read it declares).
std::string SqlOf(const GenericModel& model, const std::string& dialect);

// Copies the model into `to` (which holds only its root), each object with
// its id, without the properties `drop` picks: the writer then builds
// those objects' statements from the rest.
void CopyWithout(const GenericModel& from, GenericModel& to,
                 const std::function<bool(const CMOObject& object, int propertyId)>& drop);

}  // namespace writers::test

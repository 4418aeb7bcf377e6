#include "RoundTrip.h"

#include <writers/OutputFormats.h>

#include <sstream>

namespace writers::test {

std::string Unexplained(const ModelDifference& difference, const std::vector<Allowance>& allowances) {
  ModelDifference left;
  for (const ObjectDifference& object : difference.objects) {
    auto covered = [&](const PropertyDifference* property) {
      for (const Allowance& allowance : allowances)
        if (allowance.covers(object, property)) return true;
      return false;
    };
    if (object.change != ObjectDifference::Change::Changed) {
      if (!covered(nullptr)) left.objects.push_back(object);
      continue;
    }
    ObjectDifference rest = object;
    rest.properties.clear();
    for (const PropertyDifference& property : object.properties)
      if (!covered(&property)) rest.properties.push_back(property);
    if (!rest.properties.empty()) left.objects.push_back(std::move(rest));
  }
  if (left.Empty()) return {};
  std::ostringstream out;
  WriteDifferenceText(left, out);
  return out.str();
}

std::string SqlOf(const GenericModel& model, const std::string& dialect) {
  std::ostringstream out;
  WriteOptions options;
  options.sqlDialect = dialect;
  FindOutputFormat("sql")->writer->Write(model, out, options);
  return out.str();
}

void CopyWithout(const GenericModel& from, GenericModel& to,
                 const std::function<bool(const CMOObject& object, int propertyId)>& drop) {
  // Ids follow creation, parents first: copied in id order, each keeps its id.
  for (int id = 1; id <= from.GetObjectCount(); ++id) {
    const CMOObject* object = from.GetCMOObject(id);
    CMOObject& copy = id == 1 ? *to.GetCMOObject() : to.CreateObject(object->GetObjectType(), object->GetParentId());
    for (const auto& property : object->GetProperties())
      if (!drop(*object, property->GetPropertyId())) copy.SetProperty(new CMOProperty(*property));
  }
}

}  // namespace writers::test

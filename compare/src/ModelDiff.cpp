#include <compare/ModelDiff.h>

#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <string>
#include <utility>

namespace compare {

namespace {

std::u16string Decimal(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

PropertyValue ValueOf(const KeyedModel& model, const CMOProperty* property) {
  PropertyValue value;
  if (property == nullptr) return value;
  switch (property->GetValueKind()) {
    case CMOProperty::ValueKind::None: value.kind = PropertyValue::Kind::NoValue; break;
    case CMOProperty::ValueKind::WString:
      value.kind = PropertyValue::Kind::Text;
      value.text = property->WStringRef();
      break;
    case CMOProperty::ValueKind::Integer:
      value.kind = PropertyValue::Kind::Integer;
      value.integer = property->GetIntegerValue();
      break;
    case CMOProperty::ValueKind::ObjectIdVector:
      value.kind = PropertyValue::Kind::References;
      for (int id : property->ObjectIdsRef()) {
        if (model.Object(id) != nullptr) {
          value.targets.push_back(model.Path(id));
        } else {
          PathStep missing;
          missing.key = u"#" + Decimal(id);
          value.targets.push_back({missing});
        }
      }
      break;
  }
  return value;
}

bool SameProperty(const ModelMatch& match, const CMOObject& /*before*/, const CMOProperty& a, const CMOProperty& b) {
  if (a.GetValueKind() != b.GetValueKind()) return false;
  switch (a.GetValueKind()) {
    case CMOProperty::ValueKind::None: return true;
    case CMOProperty::ValueKind::WString: return a.WStringRef() == b.WStringRef();
    case CMOProperty::ValueKind::Integer: return a.GetIntegerValue() == b.GetIntegerValue();
    case CMOProperty::ValueKind::ObjectIdVector: {
      const std::vector<int>& idsA = a.ObjectIdsRef();
      const std::vector<int>& idsB = b.ObjectIdsRef();
      if (idsA.size() != idsB.size()) return false;
      for (std::size_t i = 0; i < idsA.size(); ++i) {
        const bool knownA = match.Before().Object(idsA[i]) != nullptr;
        const bool knownB = match.After().Object(idsB[i]) != nullptr;
        if (knownA != knownB) return false;
        if (!knownA ? idsA[i] != idsB[i] : !match.Before().SamePath(idsA[i], match.After(), idsB[i])) return false;
      }
      return true;
    }
  }
  return false;
}

std::vector<PropertyDifference> CompareProperties(const ModelMatch& match, int beforeId, int afterId) {
  const CMOObject& a = *match.Before().Object(beforeId);
  const CMOObject& b = *match.After().Object(afterId);
  std::vector<PropertyDifference> differences;
  for (const auto& property : a.GetProperties()) {
    const CMOProperty* other = b.GetProperty(property->GetPropertyId());
    if (other != nullptr && SameProperty(match, a, *property, *other)) continue;
    differences.push_back(
        {property->GetPropertyId(), ValueOf(match.Before(), property.get()), ValueOf(match.After(), other)});
  }
  for (const auto& property : b.GetProperties()) {
    if (a.GetProperty(property->GetPropertyId()) != nullptr) continue;
    differences.push_back({property->GetPropertyId(), PropertyValue{}, ValueOf(match.After(), property.get())});
  }
  return differences;
}

ModelDifference DiffModels(const GenericModel& before, const GenericModel& after) {
  return DiffModels(ModelMatch(before, after));
}

ModelDifference DiffModels(const ModelMatch& match) {
  ModelDifference result;
  // An object only one model has, with its properties and its descendants
  // counted.
  auto whole = [&](ObjectDifference::Change change, const KeyedModel& model, int id) {
    const CMOObject& object = *model.Object(id);
    ObjectDifference difference;
    difference.change = change;
    difference.type = object.GetObjectType();
    difference.path = model.Path(id);
    for (const auto& property : object.GetProperties()) {
      PropertyValue value = ValueOf(model, property.get());
      if (change == ObjectDifference::Change::Added)
        difference.properties.push_back({property->GetPropertyId(), PropertyValue{}, std::move(value)});
      else
        difference.properties.push_back({property->GetPropertyId(), std::move(value), PropertyValue{}});
    }
    std::vector<int> pending(object.GetChildIds().rbegin(), object.GetChildIds().rend());
    while (!pending.empty()) {
      const CMOObject* descendant = model.Object(pending.back());
      pending.pop_back();
      if (descendant == nullptr) continue;
      ++difference.descendants[descendant->GetObjectType()];
      pending.insert(pending.end(), descendant->GetChildIds().begin(), descendant->GetChildIds().end());
    }
    result.objects.push_back(std::move(difference));
  };
  for (const MatchStep& step : match.Steps()) {
    switch (step.kind) {
      case MatchStep::Kind::Added: whole(ObjectDifference::Change::Added, match.After(), step.after); break;
      case MatchStep::Kind::Removed: whole(ObjectDifference::Change::Removed, match.Before(), step.before); break;
      case MatchStep::Kind::Matched: {
        // The roots' properties are where the models were read.
        if (step.after == 1) break;
        std::vector<PropertyDifference> properties = CompareProperties(match, step.before, step.after);
        if (properties.empty()) break;
        ObjectDifference difference;
        difference.change = ObjectDifference::Change::Changed;
        difference.type = match.After().Object(step.after)->GetObjectType();
        difference.path = match.After().Path(step.after);
        difference.properties = std::move(properties);
        result.objects.push_back(std::move(difference));
        break;
      }
    }
  }
  return result;
}

}  // namespace compare

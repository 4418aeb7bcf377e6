#include <compare/Expressions.h>
#include <compare/ModelDiff.h>
#include <writers/ModelValues.h>

#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <span>
#include <string>
#include <utility>

namespace compare {

namespace {

std::u16string Decimal(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// Whether the property is the object's whole text, which its other
// properties say in parts: a CREATE text, or a constraint's or trigger's
// definition.
bool IsWholeText(int objectType, int propertyId) {
  if (propertyId == model::SqlText) return true;
  return propertyId == model::Definition &&
         (objectType == model::Key || objectType == model::ForeignKey || objectType == model::CheckConstraint ||
          objectType == model::Trigger || objectType == model::Index);
}

// Marks the whole texts of one object's differences as restated when
// another of its properties differs too (for an added or removed object:
// when it has another property beside its name that says something).
void MarkRestated(int objectType, std::vector<PropertyDifference>& properties) {
  for (PropertyDifference& property : properties) {
    if (!IsWholeText(objectType, property.propertyId)) continue;
    property.restated = std::any_of(properties.begin(), properties.end(), [&](const PropertyDifference& other) {
      if (&other == &property || other.propertyId == model::Name || other.propertyId == model::Position) return false;
      // A definition is said by the parts, not by the CREATE text beside it.
      if (IsWholeText(objectType, other.propertyId)) return property.propertyId == model::SqlText &&
                                                            other.propertyId != model::SqlText;
      return true;
    });
  }
}

bool IsDescendantPath(const ObjectPath& path, const ObjectPath& of) {
  return path.size() > of.size() && std::equal(of.begin(), of.end(), path.begin());
}

}  // namespace

bool ObjectDifference::RestatedOnly() const {
  return change == Change::Changed && !properties.empty() &&
         std::all_of(properties.begin(), properties.end(), [](const PropertyDifference& p) { return p.restated; });
}

bool ModelDifference::Empty() const {
  return std::all_of(objects.begin(), objects.end(), [](const ObjectDifference& o) { return o.RestatedOnly(); });
}

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

bool SameProperty(const ModelMatch& match, const CMOObject& before, const CMOProperty& a, const CMOProperty& b) {
  if (a.GetValueKind() != b.GetValueKind()) return false;
  switch (a.GetValueKind()) {
    case CMOProperty::ValueKind::None: return true;
    case CMOProperty::ValueKind::WString:
      if (a.WStringRef() == b.WStringRef()) return true;
      return IsExpressionProperty(before.GetObjectType(), a.GetPropertyId()) &&
             NormalExpression(a.WStringRef()) == NormalExpression(b.WStringRef());
    case CMOProperty::ValueKind::Integer: return a.GetIntegerValue() == b.GetIntegerValue();
    case CMOProperty::ValueKind::ObjectIdVector: {
      const std::span<const int> idsA = a.ObjectIdsRef();
      const std::span<const int> idsB = b.ObjectIdsRef();
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
  MarkRestated(b.GetObjectType(), differences);
  return differences;
}

ModelDifference DiffModels(const GenericModel& before, const GenericModel& after) {
  return DiffModels(ModelMatch(before, after));
}

ModelDifference DiffModels(const ModelMatch& match) {
  ModelDifference result;
  // Grants are compared only when both imports read them: a model read
  // without them says nothing of them.
  const bool grants = writers::values::Flag(*match.Before().Model().GetCMOObject(), model::PrivilegesRead) &&
                      writers::values::Flag(*match.After().Model().GetCMOObject(), model::PrivilegesRead);
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
    MarkRestated(difference.type, difference.properties);
    // Its descendants are only counted: a CREATE text that holds them says
    // what nothing else shown says.
    if (!object.GetChildIds().empty())
      for (PropertyDifference& property : difference.properties)
        if (property.propertyId == model::SqlText) property.restated = false;
    std::vector<int> pending(object.GetChildIds().rbegin(), object.GetChildIds().rend());
    while (!pending.empty()) {
      const CMOObject* descendant = model.Object(pending.back());
      pending.pop_back();
      if (descendant == nullptr || (!grants && descendant->GetObjectType() == model::Grant)) continue;
      ++difference.descendants[descendant->GetObjectType()];
      pending.insert(pending.end(), descendant->GetChildIds().begin(), descendant->GetChildIds().end());
    }
    result.objects.push_back(std::move(difference));
  };
  for (const MatchStep& step : match.Steps()) {
    const KeyedModel& side = step.kind == MatchStep::Kind::Removed ? match.Before() : match.After();
    if (!grants && side.Object(step.kind == MatchStep::Kind::Removed ? step.before : step.after)->GetObjectType() ==
                       model::Grant)
      continue;
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
  // A CREATE text holds its object's columns and constraints too: it is
  // restated when one of them differs. Depth first, such a difference is
  // the next one listed.
  for (std::size_t i = 0; i + 1 < result.objects.size(); ++i) {
    ObjectDifference& object = result.objects[i];
    if (object.change != ObjectDifference::Change::Changed ||
        !IsDescendantPath(result.objects[i + 1].path, object.path))
      continue;
    for (PropertyDifference& property : object.properties)
      if (property.propertyId == model::SqlText) property.restated = true;
  }
  return result;
}

}  // namespace compare

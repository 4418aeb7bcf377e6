#include <writers/ModelDiff.h>

#include "ModelValues.h"

#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

namespace writers {

namespace {

std::u16string Decimal(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// An object's key before siblings that share it are numbered.
PathStep BaseStep(const GenericModel& model, const CMOObject& object) {
  PathStep step;
  step.type = object.GetObjectType();
  step.named = object.GetProperty(model::Name) != nullptr;
  if (step.named) {
    step.key = values::Name(object);
    step.nameLength = step.key.size();
  }
  switch (object.GetObjectType()) {
    case model::Routine: {
      // Argument types in argument order: what the database tells two
      // routines of one name apart by.
      std::vector<std::pair<std::int64_t, const CMOObject*>> arguments;
      for (int id : object.GetChildIds()) {
        const CMOObject* child = model.GetCMOObject(id);
        if (child != nullptr && child->GetObjectType() == model::Parameter && values::IsArgument(*child))
          arguments.emplace_back(values::Integer(*child, model::Position).value_or(0), child);
      }
      std::stable_sort(arguments.begin(), arguments.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      step.key += u'(';
      for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) step.key += u", ";
        step.key += values::Text(*arguments[i].second, model::DataType);
      }
      step.key += u')';
      break;
    }
    case model::Parameter:
      if (const std::optional<std::int64_t> position = values::Integer(object, model::Position)) {
        step.key = u"$" + Decimal(*position);
        step.named = false;
        step.nameLength = 0;
      }
      break;
    default:
      if (!step.named) {
        if (values::HasText(object, model::CheckExpression))
          step.key = u"CHECK (" + values::Text(object, model::CheckExpression) + u")";
        else
          step.key = values::Text(object, model::Definition);
      }
      break;
  }
  return step;
}

// One model with every object's step worked out: the key that is unique
// among its siblings of its type.
class KeyedModel {
 public:
  explicit KeyedModel(const GenericModel& model) : m_model(model), m_steps(static_cast<std::size_t>(model.GetObjectCount()) + 1) {
    std::unordered_map<std::u16string, int> seen;  // type and key -> how many siblings had them so far
    for (int id = 1; id <= model.GetObjectCount(); ++id) {
      const CMOObject* parent = model.GetCMOObject(id);
      if (parent == nullptr || parent->GetChildIds().empty()) continue;
      seen.clear();
      for (int childId : parent->GetChildIds()) {
        const CMOObject* child = model.GetCMOObject(childId);
        if (child == nullptr) continue;
        PathStep step = BaseStep(model, *child);
        const int count = ++seen[TypedKey(step.type, step.key)];
        if (count > 1) step.key += u"#" + Decimal(count);
        m_steps[static_cast<std::size_t>(childId)] = std::move(step);
      }
      // A map that grew for a large parent would cost its buckets at every
      // clear (assigning {} keeps them); a fresh one does not.
      if (seen.bucket_count() > 64) std::unordered_map<std::u16string, int>().swap(seen);
    }
  }

  const GenericModel& Model() const { return m_model; }
  const CMOObject* Object(int id) const { return m_model.GetCMOObject(id); }
  const PathStep& Step(int id) const { return m_steps[static_cast<std::size_t>(id)]; }

  // The key children are matched by: type and key.
  static std::u16string TypedKey(int type, const std::u16string& key) {
    std::u16string typed = Decimal(type);
    typed += u':';
    typed += key;
    return typed;
  }

  ObjectPath Path(int id) const {
    ObjectPath path;
    for (const CMOObject* object = Object(id); object != nullptr && object->GetParentId() != 0;
         object = Object(object->GetParentId()))
      path.push_back(Step(object->GetObjectId()));
    std::reverse(path.begin(), path.end());
    return path;
  }

  // Whether id here and otherId in `other` have the same path, compared
  // step by step from the object up.
  bool SamePath(int id, const KeyedModel& other, int otherId) const {
    const CMOObject* a = Object(id);
    const CMOObject* b = other.Object(otherId);
    while (a != nullptr && b != nullptr) {
      if (a->GetParentId() == 0 || b->GetParentId() == 0) return a->GetParentId() == 0 && b->GetParentId() == 0;
      const PathStep& stepA = Step(a->GetObjectId());
      const PathStep& stepB = other.Step(b->GetObjectId());
      if (stepA.type != stepB.type || stepA.key != stepB.key) return false;
      a = Object(a->GetParentId());
      b = other.Object(b->GetParentId());
    }
    return false;
  }

 private:
  const GenericModel& m_model;
  std::vector<PathStep> m_steps;  // by object id; the root's (and a gap's) is empty
};

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

bool SameValue(const KeyedModel& before, const CMOProperty& a, const KeyedModel& after, const CMOProperty& b) {
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
        const bool knownA = before.Object(idsA[i]) != nullptr;
        const bool knownB = after.Object(idsB[i]) != nullptr;
        if (knownA != knownB) return false;
        if (!knownA ? idsA[i] != idsB[i] : !before.SamePath(idsA[i], after, idsB[i])) return false;
      }
      return true;
    }
  }
  return false;
}

class Differ {
 public:
  Differ(const GenericModel& before, const GenericModel& after) : m_before(before), m_after(after) {}

  ModelDifference Run() {
    std::vector<Frame> stack;
    stack.push_back(Open(1, 1));
    while (!stack.empty()) {
      Frame& frame = stack.back();
      const std::vector<int>& children = m_after.Object(frame.after)->GetChildIds();
      if (frame.next < children.size()) {
        const int child = children[frame.next++];
        const PathStep& step = m_after.Step(child);
        const auto match = frame.unmatched.find(KeyedModel::TypedKey(step.type, step.key));
        if (match == frame.unmatched.end()) {
          AddWhole(ObjectDifference::Change::Added, m_after, child);
          continue;
        }
        const int beforeChild = match->second;
        frame.unmatched.erase(match);
        Compare(beforeChild, child);
        stack.push_back(Open(beforeChild, child));  // `frame` is not used after this
        continue;
      }
      for (int child : m_before.Object(frame.before)->GetChildIds()) {
        const PathStep& step = m_before.Step(child);
        if (frame.unmatched.count(KeyedModel::TypedKey(step.type, step.key)) > 0)
          AddWhole(ObjectDifference::Change::Removed, m_before, child);
      }
      stack.pop_back();
    }
    return std::move(m_result);
  }

 private:
  // A matched pair whose children are being matched.
  struct Frame {
    int before = 0;                                     // the object in the old model
    int after = 0;                                      // and in the new one
    std::size_t next = 0;                               // the new object's next child to visit
    std::unordered_map<std::u16string, int> unmatched;  // the old object's children not matched yet, by typed key
  };

  Frame Open(int before, int after) const {
    Frame frame;
    frame.before = before;
    frame.after = after;
    const std::vector<int>& children = m_before.Object(before)->GetChildIds();
    frame.unmatched.reserve(children.size());
    for (int child : children) {
      const PathStep& step = m_before.Step(child);
      frame.unmatched.emplace(KeyedModel::TypedKey(step.type, step.key), child);
    }
    return frame;
  }

  // The properties of a matched pair; the root's are where the model was
  // read, not what it holds.
  void Compare(int beforeId, int afterId) {
    const CMOObject& a = *m_before.Object(beforeId);
    const CMOObject& b = *m_after.Object(afterId);
    ObjectDifference difference;
    for (const auto& property : a.GetProperties()) {
      const CMOProperty* other = b.GetProperty(property->GetPropertyId());
      if (other != nullptr && SameValue(m_before, *property, m_after, *other)) continue;
      difference.properties.push_back(
          {property->GetPropertyId(), ValueOf(m_before, property.get()), ValueOf(m_after, other)});
    }
    for (const auto& property : b.GetProperties()) {
      if (a.GetProperty(property->GetPropertyId()) != nullptr) continue;
      difference.properties.push_back({property->GetPropertyId(), PropertyValue{}, ValueOf(m_after, property.get())});
    }
    if (difference.properties.empty()) return;
    difference.change = ObjectDifference::Change::Changed;
    difference.type = b.GetObjectType();
    difference.path = m_after.Path(afterId);
    m_result.objects.push_back(std::move(difference));
  }

  // An object only one model has, with its properties and its descendants
  // counted.
  void AddWhole(ObjectDifference::Change change, const KeyedModel& model, int id) {
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
    m_result.objects.push_back(std::move(difference));
  }

  KeyedModel m_before;
  KeyedModel m_after;
  ModelDifference m_result;
};

}  // namespace

std::u16string ObjectKey(const GenericModel& model, const CMOObject& object) { return BaseStep(model, object).key; }

ModelDifference DiffModels(const GenericModel& before, const GenericModel& after) { return Differ(before, after).Run(); }

}  // namespace writers

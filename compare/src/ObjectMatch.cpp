#include <compare/Expressions.h>
#include <compare/ObjectMatch.h>

#include <writers/ModelValues.h>

#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

namespace compare {

namespace values = writers::values;

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
          step.key = u"CHECK (" + NormalExpression(values::Text(object, model::CheckExpression)) + u")";
        else
          step.key = NormalExpression(values::Text(object, model::Definition));
      }
      break;
  }
  return step;
}

// The key children are matched by: type and key.
std::u16string TypedKey(const PathStep& step) {
  std::u16string typed = Decimal(step.type);
  typed += u':';
  typed += step.key;
  return typed;
}

const PathStep kNoStep;

}  // namespace

std::u16string ObjectKey(const GenericModel& model, const CMOObject& object) { return BaseStep(model, object).key; }

KeyedModel::KeyedModel(const GenericModel& model)
    : m_model(model), m_steps(static_cast<std::size_t>(model.GetObjectCount()) + 1) {
  std::unordered_map<std::u16string, int> seen;  // type and key -> how many siblings had them so far
  for (int id = 1; id <= model.GetObjectCount(); ++id) {
    const CMOObject* parent = model.GetCMOObject(id);
    if (parent == nullptr || parent->GetChildIds().empty()) continue;
    seen.clear();
    for (int childId : parent->GetChildIds()) {
      const CMOObject* child = model.GetCMOObject(childId);
      if (child == nullptr) continue;
      PathStep step = BaseStep(model, *child);
      const int count = ++seen[TypedKey(step)];
      if (count > 1) step.key += u"#" + Decimal(count);
      m_steps[static_cast<std::size_t>(childId)] = std::move(step);
    }
    // A map that grew for a large parent would cost its buckets at every
    // clear (assigning {} keeps them); a fresh one does not.
    if (seen.bucket_count() > 64) std::unordered_map<std::u16string, int>().swap(seen);
  }
}

const CMOObject* KeyedModel::Object(int id) const { return m_model.GetCMOObject(id); }

const PathStep& KeyedModel::Step(int id) const {
  if (id <= 0 || static_cast<std::size_t>(id) >= m_steps.size()) return kNoStep;
  return m_steps[static_cast<std::size_t>(id)];
}

ObjectPath KeyedModel::Path(int id) const {
  ObjectPath path;
  for (const CMOObject* object = Object(id); object != nullptr && object->GetParentId() != 0;
       object = Object(object->GetParentId()))
    path.push_back(Step(object->GetObjectId()));
  std::reverse(path.begin(), path.end());
  return path;
}

bool KeyedModel::SamePath(int id, const KeyedModel& other, int otherId) const {
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

ModelMatch::ModelMatch(const GenericModel& before, const GenericModel& after)
    : m_before(before),
      m_after(after),
      m_afterOf(static_cast<std::size_t>(before.GetObjectCount()) + 1, 0),
      m_beforeOf(static_cast<std::size_t>(after.GetObjectCount()) + 1, 0) {
  // A matched pair whose children are being matched.
  struct Frame {
    int before = 0;                                     // the object in the old model
    int after = 0;                                      // and in the new one
    std::size_t next = 0;                               // the new object's next child to visit
    std::unordered_map<std::u16string, int> unmatched;  // the old object's children not matched yet, by typed key
  };
  auto open = [&](int beforeId, int afterId) {
    m_afterOf[static_cast<std::size_t>(beforeId)] = afterId;
    m_beforeOf[static_cast<std::size_t>(afterId)] = beforeId;
    m_steps.push_back({MatchStep::Kind::Matched, beforeId, afterId});
    Frame frame;
    frame.before = beforeId;
    frame.after = afterId;
    const std::vector<int>& children = m_before.Object(beforeId)->GetChildIds();
    frame.unmatched.reserve(children.size());
    for (int child : children) frame.unmatched.emplace(TypedKey(m_before.Step(child)), child);
    return frame;
  };
  std::vector<Frame> stack;
  stack.push_back(open(1, 1));
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const std::vector<int>& children = m_after.Object(frame.after)->GetChildIds();
    if (frame.next < children.size()) {
      const int child = children[frame.next++];
      const auto match = frame.unmatched.find(TypedKey(m_after.Step(child)));
      if (match == frame.unmatched.end()) {
        m_steps.push_back({MatchStep::Kind::Added, 0, child});
        continue;
      }
      const int beforeChild = match->second;
      frame.unmatched.erase(match);
      stack.push_back(open(beforeChild, child));  // `frame` is not used after this
      continue;
    }
    for (int child : m_before.Object(frame.before)->GetChildIds())
      if (frame.unmatched.count(TypedKey(m_before.Step(child))) > 0)
        m_steps.push_back({MatchStep::Kind::Removed, child, 0});
    stack.pop_back();
  }
}

int ModelMatch::AfterOf(int beforeId) const {
  if (beforeId <= 0 || static_cast<std::size_t>(beforeId) >= m_afterOf.size()) return 0;
  return m_afterOf[static_cast<std::size_t>(beforeId)];
}

int ModelMatch::BeforeOf(int afterId) const {
  if (afterId <= 0 || static_cast<std::size_t>(afterId) >= m_beforeOf.size()) return 0;
  return m_beforeOf[static_cast<std::size_t>(afterId)];
}

}  // namespace compare

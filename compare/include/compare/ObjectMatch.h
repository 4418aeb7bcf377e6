// Two models matched object by object: what `quillmere-import diff` lists
// and what a migration between the two is planned from.
//
// Objects are matched by kind, parent and name, never by id: two imports
// of one database give the same objects different ids. Under a matched
// parent, a child matches the child of the same type and key (ObjectKey
// below); the roots always match. An object without a match is added (only
// in the new model) or removed (only in the old one), and so is everything
// under it.
//
// Time and memory are linear in the two models' sizes.
// Thread safety: a ModelMatch is built once and then only read; it keeps
// references to both models, which must outlive it unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CMOObject;
class GenericModel;

namespace compare {

// One step of an object's path from the root: its type and its key.
struct PathStep {
  int type = 0;
  std::u16string key;          // ObjectKey, with "#n" when siblings share it
  std::size_t nameLength = 0;  // the key's first nameLength units are the object's name; the rest
                               // ("(integer)", "$2", "#2") tells it apart
  bool named = false;          // the object has a name (which may be empty)
  bool operator==(const PathStep&) const = default;
};
// The steps from the root's child down to the object; empty for the root.
using ObjectPath = std::vector<PathStep>;

// The key that tells an object from its siblings of the same type: its
// name; for a routine its name and argument types ("f(integer, text)", as
// two routines of one name differ by them); for a parameter its position
// ("$2"); for an object without a name (an unnamed check) its check
// expression or definition, as the comparison reads expressions
// (Expressions.h), so that a re-worded but equal one still matches.
// Siblings that still share a key are told apart by their order: the
// second gets "#2" appended, the third "#3". (ModelMatch computes the keys
// itself; this is the first part, for one object alone.)
std::u16string ObjectKey(const GenericModel& model, const CMOObject& object);

// One model with every object's step worked out.
class KeyedModel {
 public:
  explicit KeyedModel(const GenericModel& model);

  const GenericModel& Model() const { return m_model; }
  // The object with the id, or null.
  const CMOObject* Object(int id) const;
  // The object's step; an empty one for the root and for an id the model
  // does not hold.
  const PathStep& Step(int id) const;
  ObjectPath Path(int id) const;
  // Whether id here and otherId in `other` have the same path.
  bool SamePath(int id, const KeyedModel& other, int otherId) const;

 private:
  const GenericModel& m_model;
  std::vector<PathStep> m_steps;  // by object id; the root's (and a gap's) is empty
};

// What the walk over two matched models meets, in the new model's order,
// depth first: each matched pair (its own children after it), each object
// only the new model has, and after a pair's matched and added children
// the old object's children that have no match. An added or removed object
// stands for everything under it: its descendants are not met on their own.
struct MatchStep {
  enum class Kind { Matched, Added, Removed };
  Kind kind = Kind::Matched;
  int before = 0;  // the object in the old model; 0 for Added
  int after = 0;   // the object in the new model; 0 for Removed
};

class ModelMatch {
 public:
  ModelMatch(const GenericModel& before, const GenericModel& after);

  const KeyedModel& Before() const { return m_before; }
  const KeyedModel& After() const { return m_after; }
  // The matched object of the other model: the new one for an old id, the
  // old one for a new id; 0 when it has none (added, removed, or under
  // one that is).
  int AfterOf(int beforeId) const;
  int BeforeOf(int afterId) const;
  // The walk described at MatchStep; the roots' pair first.
  const std::vector<MatchStep>& Steps() const { return m_steps; }

 private:
  KeyedModel m_before;
  KeyedModel m_after;
  std::vector<int> m_afterOf;   // by old id: the matched new id, or 0
  std::vector<int> m_beforeOf;  // by new id: the matched old id, or 0
  std::vector<MatchStep> m_steps;
};

}  // namespace compare

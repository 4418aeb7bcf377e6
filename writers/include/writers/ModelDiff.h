// The differences between two models: what `quillmere-import diff` prints,
// and what the round-trip tests compare models by.
//
// Objects are matched by kind, parent and name, never by id: two imports
// of one database give the same objects different ids. Under a matched
// parent, a child matches the child of the same type and key (ObjectKey
// below). Matched objects are compared property by property; a property
// that refers to objects (keyColumns, referencedTable, ...) is compared by
// what it points at (the objects' paths), not by the ids. The root's own
// properties (server and database name) say where a model was read, not
// what it holds, and are not compared.
//
// An object without a match is added (only in the new model) or removed
// (only in the old one); its descendants are counted with it rather than
// listed one by one.
//
// Time and memory are linear in the two models' sizes.
// Thread safety: plain functions without state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

class CMOObject;
class GenericModel;

namespace writers {

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

// A property's value on one side.
struct PropertyValue {
  enum class Kind {
    Absent,      // the object has no such property
    NoValue,     // the property is there without a value
    Text,
    Integer,
    References,  // object ids, as the paths of what they name
  };
  Kind kind = Kind::Absent;
  std::u16string text;              // Text
  std::int64_t integer = 0;         // Integer
  std::vector<ObjectPath> targets;  // References, in the property's order; a missing object's
                                    // path is one step of type 0 with the key "#<id>"
  bool operator==(const PropertyValue&) const = default;
};

struct PropertyDifference {
  int propertyId = 0;
  PropertyValue before;  // Absent for an added object
  PropertyValue after;   // Absent for a removed object
};

struct ObjectDifference {
  enum class Change { Added, Removed, Changed };
  Change change = Change::Changed;
  int type = 0;
  ObjectPath path;  // in the new model for Added and Changed, in the old one for Removed
  // Changed: each property that differs. Added / Removed: each property
  // the object has, in its order.
  std::vector<PropertyDifference> properties;
  // Added / Removed: how many descendants of each type go with it.
  std::map<int, long long> descendants;
};

struct ModelDifference {
  // In the new model's order, depth first; an object's removed children
  // after its matched and added ones.
  std::vector<ObjectDifference> objects;
  bool Empty() const { return objects.empty(); }
};

// The key that tells an object from its siblings of the same type: its
// name; for a routine its name and argument types ("f(integer, text)", as
// two routines of one name differ by them); for a parameter its position
// ("$2"); for an object without a name (an unnamed check) its check
// expression or definition. Siblings that still share a key are told apart
// by their order: the second gets "#2" appended, the third "#3".
// (DiffModels computes the keys itself; this is the first part, for one
// object alone.)
std::u16string ObjectKey(const GenericModel& model, const CMOObject& object);

ModelDifference DiffModels(const GenericModel& before, const GenericModel& after);

// For people: one line per object ("+ table main.reviews  (5 columns)",
// "- index ...", "~ column main.orders.total") with the changed properties
// indented below it (name: old → new), then a summary line; names and
// texts shown as the tree format shows them (VisibleText.h), long texts
// cut around their first difference. Nothing but "no differences" when
// the models agree.
void WriteDifferenceText(const ModelDifference& difference, std::ostream& out);

// For programs: {"equal": bool, "added": n, "removed": n, "changed": n,
// "objects": [{"change": "added"|"removed"|"changed", "type": "table",
// "path": [{"type": "schema", "key": "main"}, ...], "properties": {NAME:
// {"old": V, "new": V}}, "descendants": {"column": 5}}]}, where a value V
// is a string, a number, null (a property without value), an array of
// paths (references) or absent from the pair when the object lacks the
// property. Text is UTF-8, indented by two blanks, with a final line break.
void WriteDifferenceJson(const ModelDifference& difference, std::ostream& out);

}  // namespace writers

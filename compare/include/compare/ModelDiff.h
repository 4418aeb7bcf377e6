// The differences between two models: what `quillmere-import diff` prints
// (DiffOutput.h), and what the round-trip tests compare models by.
//
// Objects are matched as ObjectMatch.h says. Matched objects are compared
// property by property: a property that refers to objects (keyColumns,
// referencedTable, ...) by what it points at (the objects' paths), not by
// the ids; an expression as Expressions.h reads it, so that a text the
// server merely printed otherwise is equal; anything else exactly. The
// root's own properties (server and database name, dialect) say where a
// model was read, not what it holds, and are not compared.
//
// An object without a match is added or removed with all its properties
// (its definition); its descendants are counted with it rather than listed
// one by one.
//
// Time and memory are linear in the two models' sizes.
// Thread safety: plain functions without state.
#pragma once

#include <compare/ObjectMatch.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CMOObject;
class CMOProperty;
class GenericModel;

namespace compare {

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
  // The value is the object's whole text made of the other properties
  // listed with it (a constraint's definition beside its columns or rules,
  // a check's definition beside its expression, an index's CREATE text
  // beside its columns, an SQLite table's CREATE text beside the changes
  // of its columns and constraints): the text for people leaves it out,
  // so that no change is said twice.
  bool restated = false;
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
  // Whether every property difference is restated (only for Changed): the
  // object's own change is what its descendants' say.
  bool RestatedOnly() const;
};

struct ModelDifference {
  // In the new model's order, depth first; an object's removed children
  // after its matched and added ones.
  std::vector<ObjectDifference> objects;
  // Whether the models agree: no object differs but by what its
  // descendants' differences say (which cannot happen without them).
  bool Empty() const;
};

// Whether the two properties (of the matched objects `before` and `after`)
// hold the same value as the comparison reads it.
bool SameProperty(const ModelMatch& match, const CMOObject& before, const CMOProperty& a, const CMOProperty& b);

// The value of the property (null: absent) of an object of one side.
PropertyValue ValueOf(const KeyedModel& model, const CMOProperty* property);

// The properties of a matched pair that differ, in the old object's order
// and then the new object's; restated ones marked as far as the pair
// alone shows it.
std::vector<PropertyDifference> CompareProperties(const ModelMatch& match, int beforeId, int afterId);

ModelDifference DiffModels(const GenericModel& before, const GenericModel& after);
ModelDifference DiffModels(const ModelMatch& match);

}  // namespace compare

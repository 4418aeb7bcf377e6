// CMOProperty: one property of a model object: an id from the model
// vocabulary and a value, which is a UTF-16 text, a list of object ids or an
// integer. A property belongs to the object it is attached to.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

class CMOProperty {
 public:
  enum class ValueKind { None, WString, ObjectIdVector, Integer };

  explicit CMOProperty(int propertyId) : m_id(propertyId) {}
  // Defined in the library, so that the class's vtable lives there: a
  // property made by a module or plug-in that is unloaded before the model
  // would otherwise point into unmapped code.
  virtual ~CMOProperty();
  CMOProperty(const CMOProperty&) = default;
  CMOProperty& operator=(const CMOProperty&) = default;

  int GetPropertyId() const { return m_id; }
  ValueKind GetValueKind() const { return m_kind; }

  // Each setter replaces the value, whatever kind it had.
  void SetWStringValue(std::u16string value);
  void SetObjectIdVectorValue(std::vector<int> ids);
  void SetIntegerValue(std::int64_t value);

  // The value as text; empty when the value is not text.
  std::u16string GetWStringValue() const;
  // The value as object ids; empty when the value is not a list of ids.
  std::vector<int> GetObjectIdVectorValue() const;
  // The value as an integer; 0 when the value is not an integer.
  std::int64_t GetIntegerValue() const;

  // Read-only access without copies, for writers of the whole model; empty
  // when the value is of another kind.
  const std::u16string& WStringRef() const;
  const std::vector<int>& ObjectIdsRef() const;

 private:
  // A large import holds hundreds of thousands of properties, so the value
  // is one of its kinds at a time, not a member for each.
  using Value = std::variant<std::monostate, std::u16string, std::vector<int>, std::int64_t>;

  int m_id;                                // property id (model vocabulary)
  ValueKind m_kind = ValueKind::None;      // which alternative m_value holds
  Value m_value;                           // WString, ObjectIdVector or Integer value
};

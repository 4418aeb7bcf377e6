// CMOProperty: one property of a model object: an id from the model
// vocabulary and a value, which is a UTF-16 text, a list of object ids or an
// integer. A property belongs to the object it is attached to.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A large import holds over a million properties, so a property is 16 bytes:
// its id, the value's kind and either the integer itself or one block on the
// heap holding the text's or the ids' length followed by its elements. Nothing
// derives from it (no vtable). An empty text or list holds no block.
class CMOProperty {
 public:
  enum class ValueKind : std::uint8_t { None, WString, ObjectIdVector, Integer };

  explicit CMOProperty(int propertyId) noexcept : m_id(propertyId) {}
  ~CMOProperty() { Release(); }
  CMOProperty(const CMOProperty& other);
  CMOProperty& operator=(const CMOProperty& other);

  int GetPropertyId() const { return m_id; }
  ValueKind GetValueKind() const { return m_kind; }

  // Each setter replaces the value, whatever kind it had.
  void SetWStringValue(std::u16string_view value);
  // Keeps the host's signature (a text by value) for code that passes a
  // string it built.
  void SetWStringValue(const std::u16string& value) { SetWStringValue(std::u16string_view(value)); }
  void SetWStringValue(const char16_t* value) { SetWStringValue(std::u16string_view(value)); }
  void SetObjectIdVectorValue(std::span<const int> ids);
  void SetObjectIdVectorValue(const std::vector<int>& ids) { SetObjectIdVectorValue(std::span<const int>(ids)); }
  void SetObjectIdVectorValue(std::initializer_list<int> ids) {
    SetObjectIdVectorValue(std::span<const int>(ids.begin(), ids.size()));
  }
  void SetIntegerValue(std::int64_t value);

  // The value as text; empty when the value is not text.
  std::u16string GetWStringValue() const { return std::u16string(WStringRef()); }
  // The value as object ids; empty when the value is not a list of ids.
  std::vector<int> GetObjectIdVectorValue() const {
    const std::span<const int> ids = ObjectIdsRef();
    return std::vector<int>(ids.begin(), ids.end());
  }
  // The value as an integer; 0 when the value is not an integer.
  std::int64_t GetIntegerValue() const { return m_kind == ValueKind::Integer ? m_integer : 0; }

  // Read-only access without copies, for writers of the whole model; empty
  // when the value is of another kind. Valid until the value changes.
  std::u16string_view WStringRef() const;
  std::span<const int> ObjectIdsRef() const;

 private:
  void Release() noexcept;
  // A block of count elements of elementSize bytes after a 32-bit count.
  void Store(ValueKind kind, const void* elements, std::size_t count, std::size_t elementSize);

  int m_id;                                // property id (model vocabulary)
  ValueKind m_kind = ValueKind::None;      // which member of the union is live
  union {
    std::int64_t m_integer = 0;            // Integer
    unsigned char* m_block;                // WString, ObjectIdVector: null when empty
  };
};

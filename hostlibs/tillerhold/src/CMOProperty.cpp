#include <tillerhold/CMOProperty.h>

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

// The count ahead of the elements; the elements (char16_t or int) need no
// stricter alignment than it has.
using Count = std::uint32_t;
constexpr std::size_t kHeader = sizeof(Count);

Count CountOf(const unsigned char* block) {
  Count count;
  std::memcpy(&count, block, sizeof count);
  return count;
}

std::size_t BlockSize(Count count, std::size_t elementSize) { return kHeader + count * elementSize; }

}  // namespace

CMOProperty::CMOProperty(const CMOProperty& other) : m_id(other.m_id) {
  switch (other.m_kind) {
    case ValueKind::WString: SetWStringValue(other.WStringRef()); break;
    case ValueKind::ObjectIdVector: SetObjectIdVectorValue(other.ObjectIdsRef()); break;
    case ValueKind::Integer: SetIntegerValue(other.m_integer); break;
    case ValueKind::None: break;
  }
}

CMOProperty& CMOProperty::operator=(const CMOProperty& other) {
  if (this == &other) return *this;
  CMOProperty copy(other);
  Release();
  m_id = copy.m_id;
  m_kind = copy.m_kind;
  if (m_kind == ValueKind::Integer) {
    m_integer = copy.m_integer;
  } else if (m_kind != ValueKind::None) {
    m_block = copy.m_block;  // taken over: the copy must not free it
    copy.m_kind = ValueKind::None;
    copy.m_integer = 0;
  }
  return *this;
}

void CMOProperty::Release() noexcept {
  // Unsized: a compiler without sized deallocation (clang's default) builds it too.
  if ((m_kind == ValueKind::WString || m_kind == ValueKind::ObjectIdVector) && m_block != nullptr)
    ::operator delete(m_block);
  m_kind = ValueKind::None;
  m_integer = 0;
}

void CMOProperty::Store(ValueKind kind, const void* elements, std::size_t count, std::size_t elementSize) {
  if (count > std::numeric_limits<Count>::max()) throw std::length_error("property value too long");
  unsigned char* block = nullptr;
  if (count > 0) {
    // Made before the old value goes, so a failed allocation leaves it as it
    // was, and a value set from the property's own view is still readable.
    block = static_cast<unsigned char*>(::operator new(BlockSize(static_cast<Count>(count), elementSize)));
    const auto stored = static_cast<Count>(count);
    std::memcpy(block, &stored, sizeof stored);
    std::memcpy(block + kHeader, elements, count * elementSize);
  }
  Release();
  m_kind = kind;
  m_block = block;
}

void CMOProperty::SetWStringValue(std::u16string_view value) {
  Store(ValueKind::WString, value.data(), value.size(), sizeof(char16_t));
}

void CMOProperty::SetObjectIdVectorValue(std::span<const int> ids) {
  Store(ValueKind::ObjectIdVector, ids.data(), ids.size(), sizeof(int));
}

void CMOProperty::SetIntegerValue(std::int64_t value) {
  Release();
  m_kind = ValueKind::Integer;
  m_integer = value;
}

std::u16string_view CMOProperty::WStringRef() const {
  if (m_kind != ValueKind::WString || m_block == nullptr) return {};
  return {reinterpret_cast<const char16_t*>(m_block + kHeader), CountOf(m_block)};
}

std::span<const int> CMOProperty::ObjectIdsRef() const {
  if (m_kind != ValueKind::ObjectIdVector || m_block == nullptr) return {};
  return {reinterpret_cast<const int*>(m_block + kHeader), CountOf(m_block)};
}
static_assert(sizeof(CMOProperty) == 16, "a property is its id, kind and one word");

#include <tillerhold/CMOProperty.h>

#include <utility>

CMOProperty::~CMOProperty() = default;

void CMOProperty::SetWStringValue(std::u16string value) {
  m_text = std::move(value);
  m_ids.clear();
  m_integer = 0;
  m_kind = ValueKind::WString;
}

void CMOProperty::SetObjectIdVectorValue(std::vector<int> ids) {
  m_ids = std::move(ids);
  m_text.clear();
  m_integer = 0;
  m_kind = ValueKind::ObjectIdVector;
}

void CMOProperty::SetIntegerValue(std::int64_t value) {
  m_integer = value;
  m_text.clear();
  m_ids.clear();
  m_kind = ValueKind::Integer;
}

std::u16string CMOProperty::GetWStringValue() const {
  return m_kind == ValueKind::WString ? m_text : std::u16string();
}

std::vector<int> CMOProperty::GetObjectIdVectorValue() const {
  return m_kind == ValueKind::ObjectIdVector ? m_ids : std::vector<int>();
}

std::int64_t CMOProperty::GetIntegerValue() const {
  return m_kind == ValueKind::Integer ? m_integer : 0;
}

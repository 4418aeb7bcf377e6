#include <tillerhold/CMOProperty.h>

#include <utility>

namespace {
const std::u16string kNoText;
const std::vector<int> kNoIds;
}  // namespace

CMOProperty::~CMOProperty() = default;

void CMOProperty::SetWStringValue(std::u16string value) {
  m_value = std::move(value);
  m_kind = ValueKind::WString;
}

void CMOProperty::SetObjectIdVectorValue(std::vector<int> ids) {
  m_value = std::move(ids);
  m_kind = ValueKind::ObjectIdVector;
}

void CMOProperty::SetIntegerValue(std::int64_t value) {
  m_value = value;
  m_kind = ValueKind::Integer;
}

std::u16string CMOProperty::GetWStringValue() const { return WStringRef(); }

std::vector<int> CMOProperty::GetObjectIdVectorValue() const { return ObjectIdsRef(); }

std::int64_t CMOProperty::GetIntegerValue() const {
  const auto* value = std::get_if<std::int64_t>(&m_value);
  return value != nullptr ? *value : 0;
}

const std::u16string& CMOProperty::WStringRef() const {
  const auto* value = std::get_if<std::u16string>(&m_value);
  return value != nullptr ? *value : kNoText;
}

const std::vector<int>& CMOProperty::ObjectIdsRef() const {
  const auto* value = std::get_if<std::vector<int>>(&m_value);
  return value != nullptr ? *value : kNoIds;
}

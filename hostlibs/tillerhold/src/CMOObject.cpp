#include <tillerhold/CMOObject.h>

#include <utility>

bool CMOObject::SetProperty(CMOProperty* property) {
  if (property == nullptr) return false;
  for (auto& held : m_properties) {
    if (held->GetPropertyId() != property->GetPropertyId()) continue;
    // Attaching the held property again must not delete it under the caller.
    if (held.get() != property) held.reset(property);
    return true;
  }
  // Owned before the vector grows, so a failed allocation does not leak it.
  std::unique_ptr<CMOProperty> owned(property);
  // Objects carry a handful of properties (a column six): one allocation
  // instead of three or four.
  if (m_properties.empty()) m_properties.reserve(6);
  m_properties.push_back(std::move(owned));
  return true;
}

CMOProperty* CMOObject::GetProperty(int propertyId) const {
  for (const auto& held : m_properties) {
    if (held->GetPropertyId() == propertyId) return held.get();
  }
  return nullptr;
}

void CMOObject::GetChildrenByType(std::vector<int>& ids, int objectType) const {
  ids.clear();
  if (m_children == nullptr) return;
  for (std::size_t i = 0; i < m_children->ids.size(); ++i) {
    if (m_children->types[i] == objectType) ids.push_back(m_children->ids[i]);
  }
}

const std::vector<int>& CMOObject::GetChildIds() const {
  static const std::vector<int> none;
  return m_children != nullptr ? m_children->ids : none;
}

#include <schemaimport/CommonDataObject.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// The Windows names the module is written against, privately.
using namespace platform::win;

namespace {

// Equality of two names by their code units, compared as a block.
bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

}  // namespace

CommonDataObject::CommonDataObject(const CommonDataObject& other) {
  // Only the entries: a copy has no places without a value.
  m_slots.reserve(other.m_size);
  for (const Slot& slot : other.m_slots)
    if (slot.present) m_slots.push_back(slot);
  m_size = m_slots.size();
}

CommonDataObject& CommonDataObject::operator=(const CommonDataObject& other) {
  if (this != &other) {
    // Copy first: a failed allocation leaves this record as it was.
    CommonDataObject copy(other);
    m_slots.swap(copy.m_slots);
    m_size = copy.m_size;
    Relayout();
  }
  return *this;
}

CommonDataObject::CommonDataObject(CommonDataObject&& other) noexcept
    : m_slots(std::move(other.m_slots)), m_size(other.m_size) {
  other.m_slots.clear();
  other.m_size = 0;
  other.Relayout();
}

CommonDataObject& CommonDataObject::operator=(CommonDataObject&& other) noexcept {
  if (this != &other) {
    m_slots = std::move(other.m_slots);
    m_size = other.m_size;
    other.m_slots.clear();
    other.m_size = 0;
    other.Relayout();
    Relayout();
  }
  return *this;
}

CommonDataObject::~CommonDataObject() = default;

void CommonDataObject::Relayout() {
  // The lookups' memo may stay: each guess is checked against the name.
  ++m_layout;
}

void CommonDataObject::ForgetLookups() {
  m_lookups.clear();
  m_nextLookup = 0;
}

std::size_t CommonDataObject::LowerBound(std::u16string_view name) const {
  const auto at = std::lower_bound(m_slots.begin(), m_slots.end(), name,
                                   [](const Slot& slot, std::u16string_view key) { return slot.entry.first < key; });
  return static_cast<std::size_t>(at - m_slots.begin());
}

std::size_t CommonDataObject::SlotOf(std::u16string_view name) const {
  const std::size_t at = LowerBound(name);
  return at < m_slots.size() && SameName(m_slots[at].entry.first, name) ? at : npos;
}

void CommonDataObject::Set(std::u16string name, const COleVariant& value) {
  Set(static_cast<const std::u16string&>(name), COleVariant(value));
}

void CommonDataObject::Set(const std::u16string& name, COleVariant&& value) {
  const std::size_t at = LowerBound(name);
  if (at < m_slots.size() && SameName(m_slots[at].entry.first, name)) {
    Slot& slot = m_slots[at];
    if (slot.present) return;
    slot.entry.second = std::move(value);
    slot.present = true;
    ++m_size;
    return;
  }
  Slot slot{Entry(name, std::move(value)), true};
  m_slots.insert(m_slots.begin() + static_cast<std::ptrdiff_t>(at), std::move(slot));
  ++m_size;
  Relayout();
}

void CommonDataObject::Replace(std::span<const std::u16string* const> names, std::span<COleVariant> values) {
  const std::size_t count = names.size() < values.size() ? names.size() : values.size();
  // The same names as the record holds now, as row after row of one result
  // has: only the values change.
  if (m_size == count) {
    std::size_t i = 0;
    for (const Slot& slot : m_slots) {
      if (!slot.present) continue;
      if (!SameName(slot.entry.first, *names[i])) break;
      ++i;
    }
    if (i == count) {
      i = 0;
      for (Slot& slot : m_slots)
        if (slot.present) slot.entry.second = std::move(values[i++]);
      m_nextLookup = 0;
      return;
    }
  }
  // The places stay, without values, for the names the next row may have
  // again; once they outnumber this row's names by many they all go, so
  // that a record refilled from many results does not grow.
  if (m_slots.size() > 2 * count + 8) {
    Reset();
  } else {
    for (Slot& slot : m_slots) {
      slot.entry.second.Clear();
      slot.present = false;
    }
    m_size = 0;
  }
  // Names in ascending order, as a reader hands a row, are met walking the
  // places forward; any other name is placed by a search.
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::u16string& name = *names[i];
    while (at < m_slots.size() && !SameName(m_slots[at].entry.first, name) && m_slots[at].entry.first < name) ++at;
    if (at == m_slots.size() || !SameName(m_slots[at].entry.first, name)) {
      at = LowerBound(name);
      if (at == m_slots.size() || !SameName(m_slots[at].entry.first, name)) {
        m_slots.insert(m_slots.begin() + static_cast<std::ptrdiff_t>(at), Slot{Entry(name, COleVariant()), false});
        Relayout();
      }
    }
    Slot& slot = m_slots[at++];
    if (slot.present) continue;  // a repeated name keeps its first value
    slot.entry.second = std::move(values[i]);
    slot.present = true;
    ++m_size;
  }
  m_nextLookup = 0;
}

std::uint64_t CommonDataObject::SetRowNames(std::span<const std::u16string* const> names) {
  Reset();
  m_slots.reserve(names.size());
  for (const std::u16string* name : names) m_slots.push_back(Slot{Entry(*name, COleVariant()), false});
  Relayout();
  return m_layout;
}

void CommonDataObject::ReplaceRow(std::span<COleVariant> values) {
  const std::size_t count = values.size() < m_slots.size() ? values.size() : m_slots.size();
  std::size_t size = 0;
  for (std::size_t i = 0; i < count; ++i) {
    Slot& slot = m_slots[i];
    swap(slot.entry.second, values[i]);
    slot.present = slot.entry.second.vt != VT_EMPTY;
    size += slot.present ? 1 : 0;
  }
  m_size = size;
  m_nextLookup = 0;
}

void CommonDataObject::Reset() {
  m_slots.clear();
  m_size = 0;
  Relayout();
}

const COleVariant* CommonDataObject::Find(std::u16string_view name) const {
  if (m_nextLookup < m_lookups.size()) {
    const std::size_t guess = m_lookups[m_nextLookup];
    if (guess < m_slots.size() && SameName(m_slots[guess].entry.first, name)) {
      ++m_nextLookup;
      const Slot& slot = m_slots[guess];
      return slot.present ? &slot.entry.second : nullptr;
    }
  }
  const std::size_t at = SlotOf(name);
  // A record read without rows keeps only a short memo.
  constexpr std::size_t kMaxLookups = 64;
  if (m_nextLookup < m_lookups.size()) {
    m_lookups[m_nextLookup++] = at;
  } else if (m_lookups.size() < kMaxLookups) {
    m_lookups.push_back(at);
    ++m_nextLookup;
  }
  if (at == npos || !m_slots[at].present) return nullptr;
  return &m_slots[at].entry.second;
}

std::u16string_view CommonDataObject::GetText(std::u16string_view name) const {
  const COleVariant* value = Find(name);
  if (value == nullptr || value->vt != VT_BSTR || value->bstrVal == nullptr) return {};
  return std::u16string_view(value->bstrVal);
}

COleVariant CommonDataObject::Get(std::u16string name) const {
  const std::size_t at = SlotOf(name);
  return at == npos || !m_slots[at].present ? COleVariant() : m_slots[at].entry.second;
}

CString CommonDataObject::GetString(std::u16string name) const {
  const std::size_t at = SlotOf(name);
  if (at == npos || !m_slots[at].present || m_slots[at].entry.second.vt != VT_BSTR) return CString();
  return CString(static_cast<const char16_t*>(m_slots[at].entry.second.bstrVal));
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The leading decimal integer of the text, modulo 2^32.
int LeadingInteger(const char16_t* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::uint32_t value = 0;
  for (; i < length && text[i] >= u'0' && text[i] <= u'9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(text[i] - u'0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace

int CommonDataObject::GetInteger(std::u16string name) const { return GetNumber(name); }

int CommonDataObject::GetNumber(std::u16string_view name) const {
  const COleVariant* value = Find(name);
  if (value == nullptr) return 0;
  if (value->vt == VT_I4) return value->lVal;
  if (value->vt == VT_BSTR) return LeadingInteger(value->bstrVal, SysStringLen(value->bstrVal));
  return 0;
}

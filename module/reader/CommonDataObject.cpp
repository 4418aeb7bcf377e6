#include <schemaimport/CommonDataObject.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>
#include <utility>

// The Windows names the module is written against, privately.
using namespace platform::win;

CommonDataObject& CommonDataObject::operator=(const CommonDataObject& other) {
  if (this != &other) {
    // Copy first: a failed allocation leaves this record as it was.
    ValueMap copy(other.m_values);
    m_values.swap(copy);
    ForgetLookups();
  }
  return *this;
}

void CommonDataObject::Set(std::u16string name, const COleVariant& value) {
  Set(static_cast<const std::u16string&>(name), COleVariant(value));
}

void CommonDataObject::Set(const std::u16string& name, COleVariant&& value) {
  const auto next = m_values.lower_bound(name);
  if (next != m_values.end() && next->first == name) return;
  if (m_spare.empty()) {
    m_values.emplace_hint(next, name, std::move(value));
    return;
  }
  // Reuse an entry of an earlier row: assigning the name reuses its storage.
  ValueMap::node_type entry = std::move(m_spare.back());
  m_spare.pop_back();
  entry.key() = name;
  entry.mapped() = std::move(value);
  m_values.insert(next, std::move(entry));
}

namespace {

// Equality of two names by their code units, compared as a block.
bool SameName(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

}  // namespace

void CommonDataObject::Replace(std::span<const std::u16string* const> names, std::span<COleVariant> values) {
  const std::size_t count = names.size() < values.size() ? names.size() : values.size();
  if (m_values.size() == count) {
    auto entry = m_values.begin();
    std::size_t same = 0;
    while (same < count && SameName(entry->first, *names[same])) {
      ++entry;
      ++same;
    }
    if (same == count) {
      entry = m_values.begin();
      for (std::size_t i = 0; i < count; ++i, ++entry) entry->second = std::move(values[i]);
      m_nextLookup = 0;
      return;
    }
  }
  bool ascending = true;
  for (std::size_t i = 1; i < count && ascending; ++i) ascending = *names[i - 1] < *names[i];
  if (!ascending) {
    Reset();
    for (std::size_t i = 0; i < count; ++i) Set(*names[i], std::move(values[i]));
    return;
  }
  // A row of the same statement whose NULL columns differ from the last
  // row's: merge, so that the entries both rows have stay where they are,
  // and with them what the lookups remembered of them.
  auto drop = [this](ValueMap::iterator entry) {
    const ValueMap::value_type* held = &*entry;
    std::erase(m_lookups, held);
    const auto next = std::next(entry);
    ValueMap::node_type node = m_values.extract(entry);
    node.mapped().Clear();
    m_spare.push_back(std::move(node));
    return next;
  };
  m_spare.reserve(m_spare.size() + m_values.size());
  auto entry = m_values.begin();
  for (std::size_t i = 0; i < count;) {
    if (entry != m_values.end() && entry->first < *names[i]) {
      entry = drop(entry);
    } else if (entry != m_values.end() && SameName(entry->first, *names[i])) {
      entry->second = std::move(values[i++]);
      ++entry;
    } else if (m_spare.empty()) {
      m_values.emplace_hint(entry, *names[i], std::move(values[i]));
      ++i;
    } else {
      ValueMap::node_type node = std::move(m_spare.back());
      m_spare.pop_back();
      node.key() = *names[i];
      node.mapped() = std::move(values[i++]);
      m_values.insert(entry, std::move(node));
    }
  }
  while (entry != m_values.end()) entry = drop(entry);
  m_nextLookup = 0;
}

void CommonDataObject::Reset() {
  ForgetLookups();
  m_spare.reserve(m_spare.size() + m_values.size());
  while (!m_values.empty()) {
    ValueMap::node_type entry = m_values.extract(m_values.begin());
    entry.mapped().Clear();
    m_spare.push_back(std::move(entry));
  }
}

void CommonDataObject::ForgetLookups() {
  m_lookups.clear();
  m_nextLookup = 0;
}

const COleVariant* CommonDataObject::Find(std::u16string_view name) const {
  if (m_nextLookup < m_lookups.size()) {
    const ValueMap::value_type* guess = m_lookups[m_nextLookup];
    if (guess->first.size() == name.size() &&
        std::memcmp(guess->first.data(), name.data(), name.size() * sizeof(char16_t)) == 0) {
      ++m_nextLookup;
      return &guess->second;
    }
  }
  const auto it = m_values.find(name);
  if (it == m_values.end()) return nullptr;
  // A record read without rows (Set, no Replace) keeps only a short memo.
  constexpr std::size_t kMaxLookups = 64;
  if (m_nextLookup < m_lookups.size()) {
    m_lookups[m_nextLookup++] = &*it;
  } else if (m_lookups.size() < kMaxLookups) {
    m_lookups.push_back(&*it);
    ++m_nextLookup;
  }
  return &it->second;
}

std::u16string_view CommonDataObject::GetText(std::u16string_view name) const {
  const COleVariant* value = Find(name);
  if (value == nullptr || value->vt != VT_BSTR || value->bstrVal == nullptr) return {};
  return std::u16string_view(value->bstrVal);
}

COleVariant CommonDataObject::Get(std::u16string name) const {
  const auto it = m_values.find(name);
  return it == m_values.end() ? COleVariant() : it->second;
}

CString CommonDataObject::GetString(std::u16string name) const {
  const auto it = m_values.find(name);
  if (it == m_values.end() || it->second.vt != VT_BSTR) return CString();
  return CString(static_cast<const char16_t*>(it->second.bstrVal));
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

#include <schemaimport/ImportedKeysCache.h>

ImportedKeysCache* ImportedKeysCache::Instance() {
  static ImportedKeysCache instance;
  return &instance;
}

void ImportedKeysCache::Set(CMOObject* key, const CString& signature) {
  m_keySignatures.insert_or_assign(key, signature);
}

CString ImportedKeysCache::Get(CMOObject* key) const {
  const auto it = m_keySignatures.find(key);
  return it == m_keySignatures.end() ? CString() : it->second;
}

void ImportedKeysCache::InitReverseSearch() {
  m_keysBySignature.clear();
  // Walking in ascending address order and inserting behind equal
  // signatures puts the lowest address first among keys that share one.
  for (const auto& [key, signature] : m_keySignatures) m_keysBySignature.emplace(signature, key);
}

CMOObject* ImportedKeysCache::FindMatchingKey(const CString& signature) const {
  const auto it = m_keysBySignature.lower_bound(signature);
  if (it == m_keysBySignature.end() || it->first != signature) return nullptr;
  return it->second;
}

void ImportedKeysCache::Reset() {
  m_keysBySignature.clear();
  m_keySignatures.clear();
}

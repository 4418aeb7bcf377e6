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
  m_keysBySignature.reserve(m_keySignatures.size());
  // Walking in ascending address order, the first key recorded for a
  // signature is the lowest address among those that share it.
  for (const auto& [key, signature] : m_keySignatures) m_keysBySignature.emplace(signature, key);
}

CMOObject* ImportedKeysCache::FindMatchingKey(const CString& signature) const {
  const auto it = m_keysBySignature.find(signature);
  return it == m_keysBySignature.end() ? nullptr : it->second;
}

void ImportedKeysCache::Reset() {
  m_keysBySignature.clear();
  m_keySignatures.clear();
}

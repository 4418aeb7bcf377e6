// ImportedKeysCache: a signature text per key object created during one
// import, and the reverse question: which key has a given signature. A
// reader Sets each key's signature, calls InitReverseSearch once they are
// all recorded, then finds keys with FindMatchingKey. Signatures are opaque
// and compared exactly (UTF-16 code units, case-sensitive).
//
// Ownership: key pointers are not owned and never dereferenced; they must
// stay valid while the cache holds them.
//
// Lifetime and threads: the singleton is built on the first call of
// Instance (thread-safe) and destroyed when the module unloads; the reader
// framework resets it at the start of every import and after it. Only the
// thread that runs the import may use it.
#pragma once

#include <platform/CString.h>
#include <schemaimport/Export.h>

#include <functional>
#include <map>
#include <string_view>
#include <unordered_map>

class CMOObject;

class QM_SCHEMAIMPORT_API ImportedKeysCache {
 public:
  // The cache of the process; never null.
  static ImportedKeysCache* Instance();

  ImportedKeysCache() = default;
  ImportedKeysCache(const ImportedKeysCache&) = default;
  ImportedKeysCache& operator=(const ImportedKeysCache&) = default;

  // Records the key's signature, replacing an earlier one. The reverse
  // search does not see it until the next InitReverseSearch.
  void Set(CMOObject* key, const CString& signature);
  // A copy of the key's signature, or an empty text when it was never set.
  CString Get(CMOObject* key) const;

  // Rebuilds the reverse search from the signatures recorded so far.
  void InitReverseSearch();
  // A key with exactly this signature as of the last InitReverseSearch, or
  // null. Among keys sharing a signature, the one with the lowest address.
  CMOObject* FindMatchingKey(const CString& signature) const;

  // Empties the reverse search, then the signatures.
  void Reset();

 private:
  // key -> its signature; one entry per key, ordered by address.
  std::map<CMOObject*, CString, std::less<CMOObject*>> m_keySignatures;
  // signature -> key, a snapshot of m_keySignatures taken by
  // InitReverseSearch: of keys sharing a signature only the lowest address,
  // the one the search answers. Hashed: signatures are long and share their
  // table's prefix, and nothing hands out their order.
  struct SignatureHash {
    std::size_t operator()(const CString& text) const { return std::hash<std::u16string_view>{}(text.view()); }
  };
  std::unordered_map<CString, CMOObject*, SignatureHash> m_keysBySignature;
};

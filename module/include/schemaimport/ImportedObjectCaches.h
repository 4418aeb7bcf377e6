// The caches of imported objects: what the database plug-ins' readers have
// created during one import, found again by a later statement of the same
// import. ImportedObjectCacheBase holds three independent tables (by name,
// by database id, by attribute key); ImportedObjectCache and
// ImportedIndexCache are the process-wide caches built on it.
//
// Keys match exactly: UTF-16 code unit for code unit, case-sensitive, no
// trimming or normalisation; the empty string is an ordinary key.
//
// Ownership: the caches hold plain pointers to model objects and never
// delete or dereference them (ProcessIncludedColumns excepted, which
// attaches properties to the recorded indexes). The model owns the objects.
//
// Lifetime and threads: each singleton is built on the first call of its
// Instance (thread-safe) and destroyed when the module unloads. The reader
// framework resets them at the start of every import and after it. Nothing
// else is synchronised: the thread that runs the import is the only one
// that may use them.
#pragma once

#include <platform/CString.h>
#include <schemaimport/Export.h>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CMOObject;

class QM_SCHEMAIMPORT_API ImportedObjectCacheBase {
 public:
  ImportedObjectCacheBase() = default;
  // Copies share the object pointers; no object is copied.
  ImportedObjectCacheBase(const ImportedObjectCacheBase&) = default;
  ImportedObjectCacheBase& operator=(const ImportedObjectCacheBase&) = default;
  // Not virtual: the caches are singletons and never deleted through a
  // base pointer.
  ~ImportedObjectCacheBase() = default;

  // Records name -> object unless the name has an entry: the first object
  // recorded for a name stays.
  void Add(const CString& name, CMOObject* object);
  // Sets id -> object: the object recorded last for an id wins.
  void AddByDBID(const CString& id, CMOObject* object);
  // Sets key -> object: the object recorded last for a key wins.
  void AddAttribute(const CString& key, CMOObject* object);

  // The object recorded under exactly this name (id, key), or null when
  // there is none. A recorded null is indistinguishable from no entry.
  // Finders never create entries.
  CMOObject* FindObject(const CString& name) const;
  CMOObject* FindObjectById(const CString& id) const;
  CMOObject* FindAttribute(const CString& key) const;

  // The number of names recorded with Add; ids and attribute keys are not
  // counted.
  int GetObjectCount() const;

  // Empties the three tables; the objects are not touched.
  virtual void Reset();

 private:
  // Keys are matched exactly, code unit by code unit. The tables are hashed:
  // no operation hands out their order, and a large import adds and finds
  // tens of thousands of long keys with common prefixes.
  struct KeyHash {
    std::size_t operator()(const CString& key) const { return std::hash<std::u16string_view>{}(key.view()); }
  };
  using Table = std::unordered_map<CString, CMOObject*, KeyHash>;
  Table m_objectsByName;  // name -> object (Add: first wins)
  Table m_objectsById;    // database id as text -> object (last wins)
  Table m_attributes;     // attribute key -> object (last wins)
};

// The process-wide cache of imported objects, with what readers carry from
// one catalogue statement to a later one: tablespaces by id, parameters per
// routine, and four settings of MySQL sources.
class QM_SCHEMAIMPORT_API ImportedObjectCache : public ImportedObjectCacheBase {
 public:
  // The cache of the process; never null.
  static ImportedObjectCache* Instance();

  ImportedObjectCache() = default;
  ImportedObjectCache(const ImportedObjectCache&) = default;
  ImportedObjectCache& operator=(const ImportedObjectCache&) = default;

  // Empties every table (routine parameters included, so that one import's
  // parameters never reach the next), sets the schema number to 0 and both
  // strings to empty. No object is deleted.
  void Reset() override;

  // Records id -> tablespace unless the id has one: the first stays.
  void AddTableSpace(std::int64_t id, CMOObject* tableSpace);
  // The tablespace recorded for the id, or null. Never creates an entry.
  CMOObject* GetTableSpace(std::int64_t id) const;

  void SetMySQLSchema(int value);
  // 0 until set.
  int GetMySQLSchema() const;

  // Sets the number for the name: the value set last wins. 0 means "not
  // set".
  void SetMySQLTriggerFollows(std::u16string name, int value);
  // The number set for the name; -1 when the name has none or it is 0.
  int GetMySQLTriggerFollows(std::u16string name) const;

  void SetMySQLCollation(CString value);
  // Empty until set.
  CString GetMySQLCollation() const;
  void SetMySQLCharacterSet(CString value);
  // Empty until set.
  CString GetMySQLCharacterSet() const;

  // Appends the parameter to the routine's list; duplicates are kept.
  void AddParameter(const CString& routine, const CString& parameter);
  // Appends the routine's parameters, in the order they were added, behind
  // what the array already holds; a routine without parameters leaves the
  // array untouched.
  void GetParameters(const CString& routine, CStringArray& parameters) const;

 private:
  std::map<CString, std::list<CString>> m_routineParameters;  // routine -> parameters, arrival order
  std::map<std::int64_t, CMOObject*> m_tableSpaces;           // tablespace id -> object (first wins)
  int m_mySQLSchema = 0;                                      // set by SetMySQLSchema; 0 until then
  std::map<std::u16string, int> m_mySQLTriggerFollows;        // name -> number (last wins)
  CString m_mySQLCollation;                                   // empty until set
  CString m_mySQLCharacterSet;                                // empty until set
};

// The process-wide cache of index included columns: collected one catalogue
// row at a time, written into the model per index in one step.
class QM_SCHEMAIMPORT_API ImportedIndexCache : public ImportedObjectCacheBase {
 public:
  // The cache of the process; never null.
  static ImportedIndexCache* Instance();

  ImportedIndexCache() = default;
  ImportedIndexCache(const ImportedIndexCache&) = default;
  ImportedIndexCache& operator=(const ImportedIndexCache&) = default;

  // Appends the column's object id to the index's list; the list keeps
  // arrival order and duplicates. The index must stay alive until
  // ProcessIncludedColumns has run.
  void AddIncludedColumn(CMOObject* index, int columnId);
  // Attaches to every recorded index a new property 180 (included columns)
  // holding its list. The lists stay: running it again attaches new
  // properties with the same lists.
  void ProcessIncludedColumns();

  // Empties the lists, then the base tables.
  void Reset() override;

 private:
  // index -> ids of its included columns in arrival order; index not owned,
  // ordered by address (std::less gives pointers a total order).
  std::map<CMOObject*, std::vector<int>, std::less<CMOObject*>> m_includedColumns;
};

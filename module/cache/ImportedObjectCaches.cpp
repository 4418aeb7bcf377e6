#include <schemaimport/ImportedObjectCaches.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

#include <memory>
#include <utility>

namespace {

template <typename Map, typename Key>
auto FindOrNull(const Map& table, const Key& key) -> typename Map::mapped_type {
  const auto it = table.find(key);
  return it == table.end() ? nullptr : it->second;
}

}  // namespace

// --- ImportedObjectCacheBase -------------------------------------------

void ImportedObjectCacheBase::Add(const CString& name, CMOObject* object) {
  m_objectsByName.emplace(name, object);
}

void ImportedObjectCacheBase::AddByDBID(const CString& id, CMOObject* object) {
  m_objectsById.insert_or_assign(id, object);
}

void ImportedObjectCacheBase::AddAttribute(const CString& key, CMOObject* object) {
  m_attributes.insert_or_assign(key, object);
}

CMOObject* ImportedObjectCacheBase::FindObject(const CString& name) const {
  return FindOrNull(m_objectsByName, name);
}

CMOObject* ImportedObjectCacheBase::FindObjectById(const CString& id) const {
  return FindOrNull(m_objectsById, id);
}

CMOObject* ImportedObjectCacheBase::FindAttribute(const CString& key) const {
  return FindOrNull(m_attributes, key);
}

int ImportedObjectCacheBase::GetObjectCount() const {
  return static_cast<int>(m_objectsByName.size());
}

void ImportedObjectCacheBase::Reset() {
  m_objectsByName.clear();
  m_objectsById.clear();
  m_attributes.clear();
}

// --- ImportedObjectCache -----------------------------------------------

ImportedObjectCache* ImportedObjectCache::Instance() {
  static ImportedObjectCache instance;
  return &instance;
}

void ImportedObjectCache::Reset() {
  ImportedObjectCacheBase::Reset();
  m_tableSpaces.clear();
  m_mySQLTriggerFollows.clear();
  m_mySQLSchema = 0;
  m_mySQLCharacterSet.Empty();
  m_mySQLCollation.Empty();
  // Parameters belong to one import; kept, they would be appended behind
  // the next import's parameters of the same routine.
  m_routineParameters.clear();
}

void ImportedObjectCache::AddTableSpace(std::int64_t id, CMOObject* tableSpace) {
  m_tableSpaces.emplace(id, tableSpace);
}

CMOObject* ImportedObjectCache::GetTableSpace(std::int64_t id) const {
  return FindOrNull(m_tableSpaces, id);
}

void ImportedObjectCache::SetMySQLSchema(int value) { m_mySQLSchema = value; }

int ImportedObjectCache::GetMySQLSchema() const { return m_mySQLSchema; }

void ImportedObjectCache::SetMySQLTriggerFollows(std::u16string name, int value) {
  m_mySQLTriggerFollows.insert_or_assign(std::move(name), value);
}

int ImportedObjectCache::GetMySQLTriggerFollows(std::u16string name) const {
  const auto it = m_mySQLTriggerFollows.find(name);
  const int value = it == m_mySQLTriggerFollows.end() ? 0 : it->second;
  return value == 0 ? -1 : value;  // 0 means "not set"
}

void ImportedObjectCache::SetMySQLCollation(CString value) { m_mySQLCollation = std::move(value); }

CString ImportedObjectCache::GetMySQLCollation() const { return m_mySQLCollation; }

void ImportedObjectCache::SetMySQLCharacterSet(CString value) { m_mySQLCharacterSet = std::move(value); }

CString ImportedObjectCache::GetMySQLCharacterSet() const { return m_mySQLCharacterSet; }

void ImportedObjectCache::AddParameter(const CString& routine, const CString& parameter) {
  m_routineParameters[routine].push_back(parameter);
}

void ImportedObjectCache::GetParameters(const CString& routine, CStringArray& parameters) const {
  const auto it = m_routineParameters.find(routine);
  if (it == m_routineParameters.end()) return;
  for (const CString& parameter : it->second) parameters.SetAtGrow(parameters.GetSize(), parameter);
}

// --- ImportedIndexCache ------------------------------------------------

ImportedIndexCache* ImportedIndexCache::Instance() {
  static ImportedIndexCache instance;
  return &instance;
}

void ImportedIndexCache::AddIncludedColumn(CMOObject* index, int columnId) {
  m_includedColumns[index].push_back(columnId);
}

void ImportedIndexCache::ProcessIncludedColumns() {
  for (const auto& [index, columnIds] : m_includedColumns) {
    auto property = std::make_unique<CMOProperty>(model::IncludedColumns);
    property->SetObjectIdVectorValue(columnIds);
    index->SetProperty(property.release());  // the index owns it from here on
  }
}

void ImportedIndexCache::Reset() {
  m_includedColumns.clear();
  ImportedObjectCacheBase::Reset();
}

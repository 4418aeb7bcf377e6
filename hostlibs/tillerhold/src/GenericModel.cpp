#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <climits>
#include <stdexcept>
#include <string>

GenericModel::GenericModel(unsigned int modelType) : m_modelType(modelType) {
  m_objects.push_back(std::make_unique<CMOObject>(1, model::ObjectType::Model, 0));
}

GenericModel::~GenericModel() = default;

CMOObject* GenericModel::GetCMOObject() { return m_objects.front().get(); }

const CMOObject* GenericModel::GetCMOObject() const { return m_objects.front().get(); }

CMOObject* GenericModel::GetCMOObject(int objectId) {
  return const_cast<CMOObject*>(static_cast<const GenericModel*>(this)->GetCMOObject(objectId));
}

const CMOObject* GenericModel::GetCMOObject(int objectId) const {
  if (objectId < 1 || static_cast<std::size_t>(objectId) > m_objects.size()) return nullptr;
  return m_objects[static_cast<std::size_t>(objectId) - 1].get();
}

CMOObject& GenericModel::CreateObject(int objectType) { return CreateObject(objectType, 1); }

CMOObject& GenericModel::CreateObject(int objectType, int parentId) {
  CMOObject* parent = GetCMOObject(parentId);
  if (parent == nullptr) {
    throw std::invalid_argument("GenericModel::CreateObject: no parent object with id " + std::to_string(parentId));
  }
  if (m_objects.size() >= static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("GenericModel::CreateObject: no object ids left");
  }
  const int id = static_cast<int>(m_objects.size()) + 1;
  m_objects.push_back(std::make_unique<CMOObject>(id, objectType, parentId));
  // A failed allocation leaves the model as it was.
  try {
    if (parent->m_children == nullptr) parent->m_children = std::make_unique<CMOObject::Children>();
    CMOObject::Children& children = *parent->m_children;
    children.ids.push_back(id);
    try {
      children.types.push_back(objectType);
    } catch (...) {
      children.ids.pop_back();
      throw;
    }
  } catch (...) {
    m_objects.pop_back();
    throw;
  }
  return *m_objects.back();
}

void GenericModel::PurgeActivityLog() { m_activityLog.clear(); }

void GenericModel::BeginActivity(const std::u16string& name) {
  m_activityLog.push_back(name);
  m_openActivities.fetch_add(1);
}

void GenericModel::EndActivity() {
  int open = m_openActivities.load();
  while (open > 0 && !m_openActivities.compare_exchange_weak(open, open - 1)) {
  }
}

#include <schemaimport/ObjectIdLookup.h>

#include <schemaimport/ModelWriting.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/GenericModel.h>

#include <vector>

void ObjectIdLookupBase::Init(GenericModel* model, int objectType, int propertyId) {
  if (model == nullptr) return;
  const CMOObject* root = model->GetCMOObject();
  if (root == nullptr) return;
  std::vector<int> ids;
  root->GetChildrenByType(ids, objectType);
  for (const int id : ids) {
    const CMOObject* object = model->GetCMOObject(id);
    if (object == nullptr) continue;
    const CMOProperty* name = object->GetProperty(propertyId);
    if (name == nullptr) continue;
    m_objectIdsByName.emplace(name->GetWStringValue(), id);  // first id for a name stays
  }
}

void ObjectIdLookupBase::Add(const std::u16string& name, int objectId) {
  m_objectIdsByName.emplace(name, objectId);
}

int ObjectIdLookupBase::FindObject(GenericModel* /*model*/, const std::u16string& name) const {
  const auto it = m_objectIdsByName.find(name);
  return it == m_objectIdsByName.end() ? 0 : it->second;
}

int ObjectIdLookupBase::FindCreateObject(GenericModel* model, int objectType, int propertyId,
                                         const std::u16string& name) {
  if (const int id = FindObject(model, name); id != 0) return id;
  if (model == nullptr) return 0;
  CMOObject& object = model->CreateObject(objectType);
  const int id = object.GetObjectId();
  SetTextProperty(object, propertyId, name);
  Add(name, id);
  return id;
}

void ObjectIdLookupBase::Reset() { m_objectIdsByName.clear(); }

SchemaLookup* SchemaLookup::Instance() {
  static SchemaLookup instance;
  return &instance;
}

void SchemaLookup::Init(GenericModel* model) { ObjectIdLookupBase::Init(model, kSchemaObjectType, kNamePropertyId); }

int SchemaLookup::FindCreate(GenericModel* model, const std::u16string& name) {
  return FindCreateObject(model, kSchemaObjectType, kNamePropertyId, name);
}

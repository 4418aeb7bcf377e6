// Plain model writing, below both the readers and the caches that name
// objects for them.
#include <schemaimport/ModelWriting.h>

#include <schemaimport/ConnectionString.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <memory>
#include <utility>

void SetTextProperty(CMOObject& object, int propertyId, std::u16string value) {
  auto property = std::make_unique<CMOProperty>(propertyId);
  property->SetWStringValue(std::move(value));
  object.SetProperty(property.release());
}

void SetIntegerProperty(CMOObject& object, int propertyId, std::int64_t value) {
  auto property = std::make_unique<CMOProperty>(propertyId);
  property->SetIntegerValue(value);
  object.SetProperty(property.release());
}

void SetIdsProperty(CMOObject& object, int propertyId, std::vector<int> ids) {
  auto property = std::make_unique<CMOProperty>(propertyId);
  property->SetObjectIdVectorValue(std::move(ids));
  object.SetProperty(property.release());
}

CMOObject& CreateNamedObject(GenericModel& model, int objectType, int parentId, std::u16string name) {
  CMOObject& object = model.CreateObject(objectType, parentId);
  SetTextProperty(object, model::Name, std::move(name));
  return object;
}

CMOObject* FindColumnIgnoringAsciiCase(GenericModel& model, const CMOObject* relation, std::u16string_view name) {
  if (relation == nullptr) return nullptr;
  for (const int childId : relation->GetChildIds()) {
    CMOObject* child = model.GetCMOObject(childId);
    if (child == nullptr || child->GetObjectType() != model::Column) continue;
    const CMOProperty* property = child->GetProperty(model::Name);
    if (property != nullptr && EqualsIgnoringAsciiCase(property->WStringRef(), name)) return child;
  }
  return nullptr;
}

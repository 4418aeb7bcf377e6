// Plain model writing, below both the readers and the caches that name
// objects for them.
#include <schemaimport/ModelWriting.h>

#include <schemaimport/ConnectionString.h>

#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <memory>
#include <utility>

void SetTextProperty(CMOObject& object, int propertyId, std::u16string_view value) {
  auto property = std::make_unique<CMOProperty>(propertyId);
  property->SetWStringValue(value);
  object.SetProperty(property.release());
}

// The forms with the text by value, which plug-ins built against the
// earlier headers of this interface version call.
QM_SCHEMAIMPORT_API void SetTextProperty(CMOObject& object, int propertyId, std::u16string value) {
  SetTextProperty(object, propertyId, std::u16string_view(value));
}
QM_SCHEMAIMPORT_API CMOObject& CreateNamedObject(GenericModel& model, int objectType, int parentId,
                                                std::u16string name) {
  return CreateNamedObject(model, objectType, parentId, std::u16string_view(name));
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

CMOObject& CreateNamedObject(GenericModel& model, int objectType, int parentId, std::u16string_view name) {
  CMOObject& object = model.CreateObject(objectType, parentId);
  SetTextProperty(object, model::Name, name);
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

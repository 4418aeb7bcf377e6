#include <schemaimport/ModelWriting.h>

#include <schemaimport/CommonDataObject.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <memory>
#include <utility>

// The Windows names the module is written against, privately.
using namespace platform::win;

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

void SetTextPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                         std::u16string_view column) {
  const COleVariant* value = record.Find(column);
  if (value == nullptr) return;
  // Text as GetText gives it: up to the first NUL, empty for a non-text value.
  const bool text = value->vt == VT_BSTR && value->bstrVal != nullptr;
  SetTextProperty(object, propertyId, text ? std::u16string(value->bstrVal) : std::u16string());
}

void SetFlagPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                         std::u16string_view column) {
  SetIntegerProperty(object, propertyId, record.GetNumber(column) != 0 ? 1 : 0);
}

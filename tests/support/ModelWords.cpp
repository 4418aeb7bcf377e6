#include "ModelWords.h"

#include "ImportHost.h"

#include <platform/Utf.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

namespace qm::test {

std::vector<std::string> VocabularyFaults(const GenericModel& model) {
  std::vector<std::string> faults;
  for (int id = 1; id <= model.GetObjectCount(); ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    for (const auto& property : object->GetProperties()) {
      const int propertyId = property->GetPropertyId();
      if (!model::IsEnumLike(propertyId)) continue;
      const char* type = model::ObjectTypeName(object->GetObjectType());
      const CMOProperty* name = object->GetProperty(model::Name);
      std::string where = std::string(type != nullptr ? type : "?") + " #" + std::to_string(id);
      if (name != nullptr) where += " \"" + platform::Utf16ToUtf8(name->WStringRef()) + "\"";
      where += std::string(" ") + model::PropertyName(propertyId);
      if (property->GetValueKind() != CMOProperty::ValueKind::WString) {
        faults.push_back(where + " is not text");
      } else if (!model::IsAllowedValue(object->GetObjectType(), propertyId, property->WStringRef())) {
        faults.push_back(where + " = \"" + platform::Utf16ToUtf8(property->WStringRef()) + "\"");
      }
    }
  }
  return faults;
}

::testing::AssertionResult SoundModel(const GenericModel& model) {
  std::vector<std::string> faults = StructuralFaults(model);
  for (std::string& fault : VocabularyFaults(model)) faults.push_back(std::move(fault));
  if (faults.empty()) return ::testing::AssertionSuccess();
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  result << faults.size() << " faults in the model";
  for (const std::string& fault : faults) result << "\n" << fault;
  return result;
}

}  // namespace qm::test

#include <schemaimport/ModelWriting.h>

#include <schemaimport/CommonDataObject.h>
#include <tillerhold/CMOObject.h>

#include <string>

// Properties from a fetched record: these know the reader's record, so they
// live with it, above the plain model writing the caches use as well.

// The Windows names the module is written against, privately.
using namespace platform::win;

void SetTextPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                         std::u16string_view column) {
  const COleVariant* value = record.Find(column);
  if (value == nullptr) return;
  // Text as GetText gives it: up to the first NUL, empty for a non-text value.
  const bool text = value->vt == VT_BSTR && value->bstrVal != nullptr;
  SetTextProperty(object, propertyId, text ? std::u16string_view(value->bstrVal) : std::u16string_view());
}

void SetFlagPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                         std::u16string_view column) {
  SetIntegerProperty(object, propertyId, record.GetNumber(column) != 0 ? 1 : 0);
}

// Writing objects of the host's model, as the module and the plug-ins' row
// actions do: each Set...Property attaches a new property with the value to
// the object, which owns it from then on, replacing any property with the
// same id.
//
// On the import's thread only, as the model itself.
#pragma once

#include <schemaimport/Export.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CMOObject;
class CommonDataObject;
class GenericModel;

// The property keeps a copy of its own, so the text is only read.
QM_SCHEMAIMPORT_API void SetTextProperty(CMOObject& object, int propertyId, std::u16string_view value);
QM_SCHEMAIMPORT_API void SetIntegerProperty(CMOObject& object, int propertyId, std::int64_t value);
QM_SCHEMAIMPORT_API void SetIdsProperty(CMOObject& object, int propertyId, std::vector<int> ids);

// The text of the record's column as the property, when the record has the
// column (a NULL column leaves the object as it was); a value that is not
// text sets an empty text.
QM_SCHEMAIMPORT_API void SetTextPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                                             std::u16string_view column);
// A flag from the record's column: integer 1 when its value is not 0, else
// 0 (an absent column counts as 0).
QM_SCHEMAIMPORT_API void SetFlagPropertyFrom(CMOObject& object, int propertyId, const CommonDataObject& record,
                                             std::u16string_view column);

// The relation's column of that name, ASCII letters compared without case
// as SQLite and MariaDB compare column names; null when the relation is
// null or has no such column. Found among the relation's children, so a
// plug-in need not cache every column under its relation's name.
QM_SCHEMAIMPORT_API CMOObject* FindColumnIgnoringAsciiCase(GenericModel& model, const CMOObject* relation,
                                                           std::u16string_view name);

// A new object of the type under the parent, with its name (model::Name).
// Throws std::invalid_argument, creating nothing, when there is no object
// with the parent's id.
QM_SCHEMAIMPORT_API CMOObject& CreateNamedObject(GenericModel& model, int objectType, int parentId,
                                                std::u16string_view name);

#include <writers/JsonWriter.h>

#include <tillerhold/ModelJson.h>

#include <ostream>

namespace writers {

// The model library owns the JSON form of its model (the module's tests
// compare models through it too); this format hands it on unchanged.
void JsonWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions&) const {
  model::WriteJson(model, out, 2);
  out << '\n';
}

}  // namespace writers

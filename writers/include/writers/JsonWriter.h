// The "json" output format: the whole model as JSON, for programs, as the
// model library writes it (tillerhold/ModelJson.h: every object with its
// id, type, properties and children; ids for references), indented by two
// blanks, with a final line break.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class JsonWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers

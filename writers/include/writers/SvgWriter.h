// The "svg" output format: the entity-relationship diagram of the dot
// format (DotWriter.h), laid out and drawn in process by Graphviz's own
// library (cgraph and gvc), as an SVG document. Table nodes are
// <g class="node" id="d-tN">, foreign-key edges <g class="edge" id="d-fN">
// (N the model object's id), so that a page or a test can find them.
//
// Layout time grows faster than the model: a diagram of more than 1,500
// tables or 2,000 foreign keys (writers/src/Diagram.h) is refused with a
// WriteError that says what helps (--around, --schema, --format dot)
// instead of laying out for minutes or hours.
//
// Thread safety: Graphviz keeps global state, so layouts run one at a time
// in the process (a lock inside); other writers are not held up. The first
// svg written makes the process's one Graphviz context, which stays until
// the process ends.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class SvgWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers

// The "svg" output format: the entity-relationship diagram as an SVG
// document, drawn here (writers/src/Diagram.h, DiagramSvg) from boxes
// measured with the font's metrics; groups of connected tables are laid out
// in process by Graphviz's own library (cgraph and gvc), the groups and the
// tables without foreign keys packed side by side. Table boxes are
// <g class="node" id="d-main.orders">, foreign-key lines
// <g class="edge" id="d-main.orders-fk1"> (the table's stem and the foreign
// key's place among its table's), each with a <title> that names it, so
// that a page or a test can find them and the ids stay when tables are
// added.
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

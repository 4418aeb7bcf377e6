// The "dot" output format: the entity-relationship diagram as a Graphviz
// graph, for `dot -Tpdf` and the like or further editing. Each table is a
// node whose label is a table of its columns (name, type, PK / FK marks);
// each foreign key an edge from its first referencing column to the
// referenced column of the referenced table; each schema a cluster when the
// model has more than one.
//
// Nodes and clusters are named by the tables' and schemas' stems
// ("main.orders", "cluster_main"; ModelIndex.h), ports by the columns'
// name parts, so adding a table changes no other table's lines; database
// text itself appears only in labels, as
// Graphviz HTML-like labels with &, <, > and " written as entities and
// invisible characters as escapes (VisibleText.h), so no name can change
// the graph. The whole graph is written whatever its size: nothing is laid
// out here. WriteOptions::aroundTable and depth narrow it (Diagram.h).
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class DotWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers

#include "Diagram.h"
#include "ModelIndex.h"

#include <writers/DotWriter.h>
#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <ostream>
#include <vector>

namespace writers {

using namespace model;

namespace {

// Text inside a Graphviz HTML-like label: what XML would take as markup
// written as entities. VisibleText has already escaped control characters,
// which XML does not allow even as entities. Graphviz then reads a
// backslash and the letter after it as an escape (\N the node's id, \G the
// graph's name, \L, \E, \T, \H), where "\\" is one backslash: each is
// doubled, so that a name is drawn as it is.
void AppendLabelText(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c; break;
    }
  }
}

// A node's name: the table's stem, which holds only letters, digits and
// "._~" and so needs no escape in double quotes.
std::string Node(const ModelIndex& index, const CMOObject& table) { return "\"" + index.Stem(table.GetObjectId()) + "\""; }

// A column's port: its name's part (ModelIndex.h), unique in its table.
std::string Port(const CMOObject& column) { return "c-" + NamePart(RawText(column, Name)); }

void AppendTable(std::string& out, const ModelIndex& index, const DiagramTable& table) {
  out += "  " + Node(index, *table.table) + " [id=\"" + DiagramNodeId(index, *table.table) + "\", label=<";
  out += "<TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"3\" COLOR=\"#5b7083\">";
  out += "<TR><TD PORT=\"h\" COLSPAN=\"3\" BGCOLOR=\"#d5e3f0\"><B>";
  AppendLabelText(out, DiagramTableName(index, *table.table));
  out += "</B></TD></TR>";
  for (const DiagramColumn& column : table.columns) {
    out += "<TR><TD ALIGN=\"LEFT\" PORT=\"" + Port(*column.column) + "\">";
    const std::string name = VisibleText(RawText(*column.column, Name));
    if (column.primaryKey) out += "<U>";
    AppendLabelText(out, name.empty() ? std::string(" ") : name);
    if (column.primaryKey) out += "</U>";
    out += "</TD><TD ALIGN=\"LEFT\"><FONT COLOR=\"#4a4a4a\">";
    std::string type = VisibleText(RawText(*column.column, DataType));
    if (column.notNull) type += type.empty() ? "NOT NULL" : " NOT NULL";
    AppendLabelText(out, type.empty() ? std::string(" ") : type);
    out += "</FONT></TD><TD PORT=\"" + Port(*column.column) + "r\">";
    out += column.primaryKey ? (column.foreignKey ? "PK FK" : "PK") : (column.foreignKey ? "FK" : " ");
    out += "</TD></TR>";
  }
  out += "</TABLE>>];\n";
}

}  // namespace

std::string DiagramDot(const ModelIndex& index, const Diagram& diagram) {
  std::string out;
  out.reserve(256 + diagram.tables.size() * 1024);
  out += "digraph schema {\n";
  out += "  graph [layout=" + std::string(DiagramLayoutEngine(diagram)) +
         ", rankdir=LR, ranksep=0.9, nodesep=0.35, fontname=\"DejaVu Sans\", fontsize=11, "
         "overlap=false, splines=true, outputorder=edgesfirst, pad=0.2];\n";
  out += "  node [shape=plaintext, margin=0, fontname=\"DejaVu Sans\", fontsize=10];\n";
  out += "  edge [color=\"#5b7083\", arrowsize=0.7, arrowtail=crow, dir=both];\n";
  const bool clusters = diagram.schemas.size() > 1;
  for (const DiagramSchema& schema : diagram.schemas) {
    std::string indent;
    if (clusters) {
      out += "  subgraph \"cluster_" + (schema.schema == nullptr ? std::string("~none") : index.Stem(schema.schema->GetObjectId())) +
             "\" {\n    graph [label=<<B>";
      AppendLabelText(out, schema.schema == nullptr ? std::string("(no schema)")
                                                    : VisibleText(RawText(*schema.schema, Name)));
      out += "</B>>, style=rounded, color=\"#9aa9b8\", bgcolor=\"#f6f8fa\"];\n";
    }
    for (std::size_t table : schema.tables) {
      if (clusters) out += "  ";
      AppendTable(out, index, diagram.tables[table]);
    }
    if (clusters) out += "  }\n";
  }
  // Tables that refer to one other table and that nothing refers to are
  // leaves: the layout would stack all of one table's leaves in one column,
  // one very tall picture. Their edges are made one to three ranks long in
  // turn, which spreads them over three columns.
  std::vector<int> referencing(diagram.tables.size(), 0);
  std::vector<int> referenced(diagram.tables.size(), 0);
  for (const DiagramEdge& edge : diagram.edges) {
    ++referencing[edge.from];
    ++referenced[edge.to];
  }
  std::vector<int> leaves(diagram.tables.size(), 0);  // by referenced table: leaves placed so far
  for (const DiagramEdge& edge : diagram.edges) {
    const DiagramTable& from = diagram.tables[edge.from];
    const DiagramTable& to = diagram.tables[edge.to];
    // A column's row where the table has it, else the table's name.
    // Edges leave a row on its right and reach one on its left, as the
    // layout places referenced tables to the right.
    auto port = [&](const DiagramTable& table, int column, bool tail) {
      const CMOObject* object = index.Object(column);
      if (object != nullptr && object->GetObjectType() == Column &&
          object->GetParentId() == table.table->GetObjectId())
        return "\"" + Port(*object) + (tail ? "r\":e" : "\":w");
      return std::string(tail ? "h:e" : "h:w");
    };
    out += "  " + Node(index, *from.table) + ":" + port(from, edge.fromColumn, true);
    out += " -> " + Node(index, *to.table) + ":" + port(to, edge.toColumn, false);
    out += " [id=\"" + DiagramEdgeId(index, diagram, edge) + "\"";
    if (edge.optional) out += ", style=dashed";
    if (edge.oneToOne) out += ", arrowtail=tee";
    if (referencing[edge.from] == 1 && referenced[edge.from] == 0 && edge.from != edge.to)
      out += ", minlen=" + std::to_string(1 + leaves[edge.to]++ % 3);
    out += "];\n";
  }
  out += "}\n";
  return out;
}

void DotWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  const std::string text = DiagramDot(index, BuildDiagram(index, options));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace writers

#include "Diagram.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <deque>

namespace writers {

using namespace model;

namespace {

std::u16string QualifiedName(const ModelIndex& index, const CMOObject& table) {
  const CMOObject* schema = index.Object(index.SchemaOf(table.GetObjectId()));
  if (schema == nullptr) return RawText(table, Name);
  return RawText(*schema, Name) + u"." + RawText(table, Name);
}

// The table --around names: a table's own name, or schema.table. Throws
// WriteError when there is none or more than one.
const CMOObject& FindAroundTable(const ModelIndex& index, const std::string& text) {
  const std::u16string name = platform::Utf8ToUtf16(text);
  std::vector<const CMOObject*> found;
  for (const CMOObject* table : index.Tables())
    if (RawText(*table, Name) == name) found.push_back(table);
  if (found.empty()) {
    for (const CMOObject* table : index.Tables())
      if (index.SchemaOf(table->GetObjectId()) != 0 && QualifiedName(index, *table) == name) found.push_back(table);
  }
  if (found.size() == 1) return *found.front();
  if (found.empty()) throw WriteError("--around: the model has no table named \"" + VisibleText(name) + "\"");
  std::string names;
  for (const CMOObject* table : found) {
    if (names.size() > 200) {
      names += ", ...";
      break;
    }
    names += (names.empty() ? "" : ", ") + VisibleText(QualifiedName(index, *table));
  }
  throw WriteError("--around: " + std::to_string(found.size()) + " tables are named \"" + VisibleText(name) +
                   "\" (" + names + "); give the one you mean as schema.table");
}

}  // namespace

std::string DiagramTableName(const ModelIndex& index, const CMOObject& table) {
  return VisibleText(index.Schemas().size() > 1 ? QualifiedName(index, table) : RawText(table, Name));
}

Diagram BuildDiagram(const ModelIndex& index, const WriteOptions& options) {
  const std::vector<const CMOObject*>& tables = index.Tables();
  const std::size_t size = static_cast<std::size_t>(index.Model().GetObjectCount()) + 1;
  // Table id -> position in `tables` + 1.
  std::vector<std::size_t> position(size, 0);
  for (std::size_t i = 0; i < tables.size(); ++i) position[static_cast<std::size_t>(tables[i]->GetObjectId())] = i + 1;

  struct Link {
    const CMOObject* foreignKey;
    std::size_t from;  // positions in `tables`
    std::size_t to;
  };
  std::vector<Link> links;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    for (const CMOObject* foreignKey : index.Entry(tables[i]->GetObjectId()).foreignKeys) {
      const int target = index.ReferencedTableOf(*foreignKey);
      if (target == 0 || position[static_cast<std::size_t>(target)] == 0) continue;  // a view or nothing known
      links.push_back({foreignKey, i, position[static_cast<std::size_t>(target)] - 1});
    }
  }

  // Which tables are drawn: all, or those within depth links of one.
  std::vector<char> drawn(tables.size(), options.aroundTable.empty() ? 1 : 0);
  if (!options.aroundTable.empty()) {
    const CMOObject& centre = FindAroundTable(index, options.aroundTable);
    std::vector<std::vector<std::size_t>> neighbours(tables.size());
    for (const Link& link : links) {
      neighbours[link.from].push_back(link.to);
      neighbours[link.to].push_back(link.from);
    }
    std::vector<int> distance(tables.size(), -1);
    std::deque<std::size_t> queue{position[static_cast<std::size_t>(centre.GetObjectId())] - 1};
    distance[queue.front()] = 0;
    while (!queue.empty()) {
      const std::size_t at = queue.front();
      queue.pop_front();
      drawn[at] = 1;
      if (distance[at] >= options.depth) continue;
      for (std::size_t next : neighbours[at]) {
        if (distance[next] >= 0) continue;
        distance[next] = distance[at] + 1;
        queue.push_back(next);
      }
    }
  }

  Diagram diagram;
  diagram.modelTables = tables.size();
  std::vector<std::size_t> diagramIndex(tables.size(), 0);  // position in `tables` -> index in diagram.tables
  int schemaId = -1;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (!drawn[i]) continue;
    const CMOObject& table = *tables[i];
    const int schema = index.SchemaOf(table.GetObjectId());
    if (diagram.schemas.empty() || schema != schemaId) {
      diagram.schemas.push_back({index.Object(schema), {}});
      schemaId = schema;
    }
    diagramIndex[i] = diagram.tables.size();
    diagram.schemas.back().tables.push_back(diagram.tables.size());
    DiagramTable& entry = diagram.tables.emplace_back(DiagramTable{&table, {}});
    for (const CMOObject* column : index.Entry(table.GetObjectId()).columns) {
      entry.columns.push_back({column, index.IsPrimaryKeyColumn(*column), index.IsForeignKeyColumn(*column),
                               IntegerValue(*column, Nullable) == 0});
    }
  }

  for (const Link& link : links) {
    if (!drawn[link.from] || !drawn[link.to]) continue;
    const CMOObject& foreignKey = *link.foreignKey;
    DiagramEdge edge{.foreignKey = &foreignKey, .from = diagramIndex[link.from], .to = diagramIndex[link.to]};
    const std::vector<int>& columns = IdList(foreignKey, ForeignKeyColumns);
    const std::vector<int>& referenced = IdList(foreignKey, ReferencedColumns);
    if (!columns.empty()) edge.fromColumn = columns.front();
    if (!referenced.empty()) edge.toColumn = referenced.front();
    for (int id : columns) {
      const CMOObject* column = index.Object(id);
      if (column != nullptr && IntegerValue(*column, Nullable) != 0) edge.optional = true;
    }
    // One-to-one when the referencing columns are exactly a key of their table.
    std::vector<int> sorted = columns;
    std::sort(sorted.begin(), sorted.end());
    for (const CMOObject* key : index.Entry(tables[link.from]->GetObjectId()).keys) {
      std::vector<int> keyColumns = IdList(*key, KeyColumns);
      std::sort(keyColumns.begin(), keyColumns.end());
      if (!sorted.empty() && keyColumns == sorted) edge.oneToOne = true;
    }
    diagram.edges.push_back(edge);
  }
  return diagram;
}

const char* DiagramLayoutEngine(const Diagram&) { return "dot"; }

bool CanLayOut(const Diagram& diagram) {
  return diagram.tables.size() <= kMaximumLaidOutTables && diagram.edges.size() <= kMaximumLaidOutForeignKeys;
}

std::string LayoutRefusal(const Diagram& diagram) {
  std::string text = "the diagram has " + std::to_string(diagram.tables.size()) + " tables and " +
                     std::to_string(diagram.edges.size()) + " foreign keys, more than the " +
                     std::to_string(kMaximumLaidOutTables) + " tables or " +
                     std::to_string(kMaximumLaidOutForeignKeys) +
                     " foreign keys a layout places in reasonable time and a person can read; draw the tables "
                     "around one with --around TABLE --depth N";
  if (diagram.schemas.size() > 1) text += ", or one schema at a time with --schema NAME";
  return text + " (--format dot writes the whole graph without laying it out)";
}

}  // namespace writers

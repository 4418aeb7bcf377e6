#include "Diagram.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <deque>
#include <map>

namespace writers {

using namespace model;

namespace {

std::u16string QualifiedName(const ModelIndex& index, const CMOObject& table) {
  const CMOObject* schema = index.Object(index.SchemaOf(table.GetObjectId()));
  if (schema == nullptr) return RawText(table, Name);
  return RawText(*schema, Name) + u"." + RawText(table, Name);
}

// Letters the user may have typed another way: ASCII case.
char16_t Folded(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// The edit distance of two names, ASCII case ignored, or `limit` + 1 when
// it is more than limit (a typo is a few edits; longer rows are not
// worth finishing).
std::size_t Distance(std::u16string_view a, std::u16string_view b, std::size_t limit) {
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    std::size_t best = row[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (Folded(a[i - 1]) == Folded(b[j - 1]) ? 0 : 1)});
      diagonal = above;
      best = std::min(best, row[j]);
    }
    if (best > limit) return limit + 1;
  }
  return row[b.size()];
}

// The objects of one kind (tables or views) that `name` names: by their
// own name, else as schema.name.
std::vector<const CMOObject*> Named(const ModelIndex& index, const std::vector<const CMOObject*>& objects,
                                    const std::u16string& name) {
  std::vector<const CMOObject*> found;
  for (const CMOObject* object : objects)
    if (RawText(*object, Name) == name) found.push_back(object);
  if (found.empty()) {
    for (const CMOObject* object : objects)
      if (index.SchemaOf(object->GetObjectId()) != 0 && QualifiedName(index, *object) == name) found.push_back(object);
  }
  return found;
}

// The table --around names: a table's own name, or schema.table. Throws
// WriteError when there is none or more than one, saying what was asked,
// whether it names a view, and which table's name is closest.
const CMOObject& FindAroundTable(const ModelIndex& index, const std::string& text) {
  const std::u16string name = platform::Utf8ToUtf16(text);
  const std::vector<const CMOObject*> found = Named(index, index.Tables(), name);
  if (found.size() == 1) return *found.front();
  const std::string asked = "--around " + VisibleText(name);
  if (found.empty()) {
    std::vector<const CMOObject*> views;
    for (const ModelIndex::SchemaEntry& schema : index.Schemas())
      views.insert(views.end(), schema.views.begin(), schema.views.end());
    if (!Named(index, views, name).empty())
      throw WriteError(asked + ": \"" + VisibleText(name) +
                       "\" is a view, and diagrams draw tables and their foreign keys only; give a table");
    // The closest name, by a few edits at most (a third of the name).
    const std::size_t limit = std::max<std::size_t>(2, name.size() / 3);
    const CMOObject* closest = nullptr;
    std::size_t best = limit + 1;
    for (const CMOObject* table : index.Tables()) {
      for (const std::u16string& candidate : {RawText(*table, Name), QualifiedName(index, *table)}) {
        const std::size_t distance = Distance(name, candidate, std::min(limit, best));
        if (distance < best) {
          best = distance;
          closest = table;
        }
      }
    }
    std::string text = asked + ": the model has no table named \"" + VisibleText(name) + "\"";
    if (closest != nullptr) text += "; did you mean \"" + DiagramTableName(index, *closest) + "\"?";
    else if (index.Tables().empty()) text += " (it has no tables)";
    throw WriteError(text);
  }
  std::string names;
  for (const CMOObject* table : found) {
    if (names.size() > 200) {
      names += ", ...";
      break;
    }
    names += (names.empty() ? "" : ", ") + VisibleText(QualifiedName(index, *table));
  }
  throw WriteError(asked + ": " + std::to_string(found.size()) + " tables are named \"" + VisibleText(name) +
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
    int ordinal;  // DiagramEdge::ordinal
  };
  std::vector<Link> links;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    int ordinal = 0;
    for (const CMOObject* foreignKey : index.Entry(tables[i]->GetObjectId()).foreignKeys) {
      ++ordinal;
      const int target = index.ReferencedTableOf(*foreignKey);
      if (target == 0 || position[static_cast<std::size_t>(target)] == 0) continue;  // a view or nothing known
      links.push_back({foreignKey, i, position[static_cast<std::size_t>(target)] - 1, ordinal});
    }
  }

  // Which tables are drawn: all, or those within depth links of one.
  std::vector<char> drawn(tables.size(), options.aroundTable.empty() ? 1 : 0);
  std::vector<int> distance(tables.size(), -1);
  auto distanceOf = [&](std::size_t i) { return distance[i]; };
  if (!options.aroundTable.empty()) {
    const CMOObject& centre = FindAroundTable(index, options.aroundTable);
    std::vector<std::vector<std::size_t>> neighbours(tables.size());
    for (const Link& link : links) {
      neighbours[link.from].push_back(link.to);
      neighbours[link.to].push_back(link.from);
    }
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
  diagram.depth = options.depth;
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
    if (!options.aroundTable.empty() && distanceOf(i) == 0) diagram.centre = static_cast<int>(diagram.tables.size());
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
    edge.ordinal = link.ordinal;
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

Diagram SchemaPart(const Diagram& all, std::size_t first, std::size_t count) {
  Diagram part;
  part.modelTables = all.modelTables;
  part.tables.assign(all.tables.begin() + static_cast<std::ptrdiff_t>(first),
                     all.tables.begin() + static_cast<std::ptrdiff_t>(first + count));
  for (const DiagramEdge& edge : all.edges) {
    if (edge.from < first || edge.from >= first + count || edge.to < first || edge.to >= first + count) continue;
    DiagramEdge moved = edge;
    moved.from -= first;
    moved.to -= first;
    part.edges.push_back(moved);
  }
  DiagramSchema schema{nullptr, {}};
  for (std::size_t i = 0; i < count; ++i) schema.tables.push_back(i);
  part.schemas.push_back(schema);
  return part;
}

Diagram NeighbourDiagram(const ModelIndex& index, const CMOObject& centre) {
  Diagram diagram;
  diagram.depth = 1;
  diagram.modelTables = index.Tables().size();
  const int centreId = centre.GetObjectId();
  const ModelIndex::TableEntry& entry = index.Entry(centreId);
  // The neighbours and the columns each shows: the joined ones.
  std::map<int, std::vector<int>> joined;  // table id -> column ids
  std::vector<int> referencing, referenced;
  auto isTable = [&](int id) {
    const CMOObject* object = index.Object(id);
    return object != nullptr && object->GetObjectType() == Table;
  };
  for (const CMOObject* foreignKey : entry.foreignKeys) {
    const int target = index.ReferencedTableOf(*foreignKey);
    if (!isTable(target) || target == centreId) continue;
    if (joined.find(target) == joined.end()) referenced.push_back(target);
    for (int id : IdList(*foreignKey, ReferencedColumns)) joined[target].push_back(id);
  }
  for (const CMOObject* foreignKey : entry.referencedBy) {
    const int from = index.TableOf(foreignKey->GetObjectId());
    if (!isTable(from) || from == centreId) continue;
    if (joined.find(from) == joined.end()) referencing.push_back(from);
    for (int id : IdList(*foreignKey, ForeignKeyColumns)) joined[from].push_back(id);
  }
  // The first kMostNeighbours of each side by name; a table on both sides
  // counts with those the centre refers to.
  auto byName = [&](int a, int b) { return RawText(*index.Object(a), Name) < RawText(*index.Object(b), Name); };
  std::sort(referenced.begin(), referenced.end(), byName);
  std::erase_if(referencing, [&](int id) { return std::find(referenced.begin(), referenced.end(), id) != referenced.end(); });
  std::sort(referencing.begin(), referencing.end(), byName);
  for (auto* side : {&referenced, &referencing}) {
    if (side->size() > kMostNeighbours) {
      diagram.leftOut += side->size() - kMostNeighbours;
      side->resize(kMostNeighbours);
    }
  }
  std::map<int, std::size_t> at;  // table id -> index in diagram.tables
  auto add = [&](int id, bool all) {
    at[id] = diagram.tables.size();
    DiagramTable& table = diagram.tables.emplace_back(DiagramTable{index.Object(id), {}});
    const std::vector<int>& wanted = joined[id];
    for (const CMOObject* column : index.Entry(id).columns) {
      if (!all && std::find(wanted.begin(), wanted.end(), column->GetObjectId()) == wanted.end()) continue;
      table.columns.push_back({column, index.IsPrimaryKeyColumn(*column), index.IsForeignKeyColumn(*column),
                               IntegerValue(*column, Nullable) == 0});
    }
  };
  add(centreId, true);
  diagram.centre = 0;
  for (int id : referencing) add(id, false);
  for (int id : referenced) add(id, false);
  diagram.schemas.push_back({index.Object(index.SchemaOf(centreId)), {}});
  for (std::size_t i = 0; i < diagram.tables.size(); ++i) diagram.schemas.back().tables.push_back(i);

  auto addEdge = [&](const CMOObject& foreignKey, int from, int to, int ordinal) {
    const auto a = at.find(from), b = at.find(to);
    if (a == at.end() || b == at.end()) return;
    DiagramEdge edge{.foreignKey = &foreignKey, .from = a->second, .to = b->second, .ordinal = ordinal};
    const std::vector<int>& columns = IdList(foreignKey, ForeignKeyColumns);
    const std::vector<int>& targets = IdList(foreignKey, ReferencedColumns);
    if (!columns.empty()) edge.fromColumn = columns.front();
    if (!targets.empty()) edge.toColumn = targets.front();
    for (int id : columns) {
      const CMOObject* column = index.Object(id);
      if (column != nullptr && IntegerValue(*column, Nullable) != 0) edge.optional = true;
    }
    std::vector<int> sorted = columns;
    std::sort(sorted.begin(), sorted.end());
    for (const CMOObject* key : index.Entry(from).keys) {
      std::vector<int> keyColumns = IdList(*key, KeyColumns);
      std::sort(keyColumns.begin(), keyColumns.end());
      if (!sorted.empty() && keyColumns == sorted) edge.oneToOne = true;
    }
    diagram.edges.push_back(edge);
  };
  int ordinal = 0;
  for (const CMOObject* foreignKey : entry.foreignKeys) addEdge(*foreignKey, centreId, index.ReferencedTableOf(*foreignKey), ++ordinal);
  for (const CMOObject* foreignKey : entry.referencedBy) {
    const int from = index.TableOf(foreignKey->GetObjectId());
    if (from == centreId) continue;  // drawn above
    const auto& own = index.Entry(from).foreignKeys;
    addEdge(*foreignKey, from, centreId,
            static_cast<int>(std::find(own.begin(), own.end(), foreignKey) - own.begin()) + 1);
  }
  return diagram;
}

std::string DiagramNodeId(const ModelIndex& index, const CMOObject& table) {
  return "d-" + index.Stem(table.GetObjectId());
}

std::string DiagramEdgeId(const ModelIndex& index, const Diagram& diagram, const DiagramEdge& edge) {
  return DiagramNodeId(index, *diagram.tables[edge.from].table) + "-fk" + std::to_string(edge.ordinal);
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

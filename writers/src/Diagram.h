// Diagram: what an entity-relationship diagram of the model shows, taken
// from a ModelIndex once and drawn by each diagram format (DOT and the SVG
// laid out from it, Mermaid): the tables with their columns, grouped by
// schema, and one edge per foreign key between two tables that are drawn.
// Views, routines and the rest of the model are not in it.
//
// WriteOptions::aroundTable narrows it to one table and the tables within
// WriteOptions::depth foreign keys of it, in either direction. Building it
// is linear in the model.
#pragma once

#include "ModelIndex.h"

#include <writers/ModelWriter.h>

#include <cstddef>
#include <string>
#include <vector>

namespace writers {

struct DiagramColumn {
  const CMOObject* column;   // in the model
  bool primaryKey = false;   // part of the table's primary key
  bool foreignKey = false;   // part of one of the table's foreign keys
  bool notNull = false;      // the column is declared NOT NULL
};

struct DiagramTable {
  const CMOObject* table;               // in the model
  std::vector<DiagramColumn> columns;   // in the table's order
};

struct DiagramEdge {
  const CMOObject* foreignKey;  // in the model
  std::size_t from = 0;         // index into Diagram::tables: the referencing table
  std::size_t to = 0;           // index into Diagram::tables: the referenced table
  int fromColumn = 0;           // the first referencing column's id; 0 when none is known
  int toColumn = 0;             // the first referenced column's id; 0 when none is known
  bool optional = false;        // a referencing column may be NULL: a row may refer to nothing
  bool oneToOne = false;        // the referencing columns are a primary or unique key of their table
};

struct DiagramSchema {
  const CMOObject* schema;            // null for tables outside any schema
  std::vector<std::size_t> tables;    // indexes into Diagram::tables
};

struct Diagram {
  std::vector<DiagramSchema> schemas;  // those with at least one table drawn, in the model's order
  std::vector<DiagramTable> tables;    // grouped by schema, in the model's order within one
  std::vector<DiagramEdge> edges;      // in the order of the foreign keys' tables
  std::size_t modelTables = 0;         // tables in the whole model
};

// The diagram of the model as the options ask. Throws WriteError when
// aroundTable names no table of the model, or more than one.
Diagram BuildDiagram(const ModelIndex& index, const WriteOptions& options);

// The name of a table as a person reads it in a diagram or a message:
// "orders", or "sales.orders" when the model has more than one schema;
// invisible characters escaped (VisibleText), UTF-8.
std::string DiagramTableName(const ModelIndex& index, const CMOObject& table);

// The diagram as a Graphviz graph (DotWriter.h says what it holds).
std::string DiagramDot(const ModelIndex& index, const Diagram& diagram);

// The diagram as a Mermaid erDiagram (MermaidWriter.h says what it holds);
// without columns when `columns` is false: the entities and relationships
// only, a smaller text for large diagrams.
std::string DiagramMermaid(const ModelIndex& index, const Diagram& diagram, bool columns);

// The Graphviz layout engine for the diagram (the graph's "layout").
const char* DiagramLayoutEngine(const Diagram& diagram);

// The largest diagram that is laid out (SvgWriter and the page's embedded
// diagram). Layout time grows with the tables and faster with the foreign
// keys between them (bench/diagram.py, on 2 cores: 1,000 tables with one
// foreign key each take 0.3 to 1.5 s, 1,000 with two 5 s, 1,500 with three
// 6 minutes, 10,000 with one 46 s to 2.5 minutes); beyond these limits the
// layout takes
// minutes to hours and gives a picture nobody can read, so it is refused
// with LayoutRefusal's advice.
constexpr std::size_t kMaximumLaidOutTables = 1500;
constexpr std::size_t kMaximumLaidOutForeignKeys = 2000;

// Whether the diagram is within the limits above.
bool CanLayOut(const Diagram& diagram);

// "the diagram has N tables and M foreign keys, more than ... --around
// TABLE --depth N ...": one line saying why a diagram is not laid out and
// what helps.
std::string LayoutRefusal(const Diagram& diagram);

}  // namespace writers

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
#include <functional>
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
  int ordinal = 1;              // the foreign key's place among its table's (1 for the first): its id's end
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
  // With --around: the centre table (index into tables) and the depth
  // asked for; -1 when the whole model is drawn.
  int centre = -1;
  int depth = 0;
  // Tables within reach that are not drawn (NeighbourDiagram's limit).
  std::size_t leftOut = 0;
};

// The diagram of the model as the options ask. Throws WriteError when
// aroundTable names no table of the model, or more than one.
Diagram BuildDiagram(const ModelIndex& index, const WriteOptions& options);

// The tables one foreign key from `centre` (a table of the index), as a
// table's own page draws them: the centre with its columns; the tables that
// refer to it and those it refers to, each with the columns the foreign
// keys join, at most kMostNeighbours each way (the first by name; the rest
// counted in leftOut); the foreign keys of the centre and onto it. Its
// cost is what it holds, so drawing every table's page stays linear.
Diagram NeighbourDiagram(const ModelIndex& index, const CMOObject& centre);

// One schema's part of the whole diagram (BuildDiagram without --around):
// the `count` tables from `first`, and the foreign keys between them.
Diagram SchemaPart(const Diagram& all, std::size_t first, std::size_t count);

// The name of a table as a person reads it in a diagram or a message:
// "orders", or "sales.orders" when the model has more than one schema;
// invisible characters escaped (VisibleText), UTF-8.
std::string DiagramTableName(const ModelIndex& index, const CMOObject& table);

// The diagram's id of a table's box ("d-main.orders") and of a foreign
// key's edge ("d-main.orders-fk2"): made of the table's stem, so that they
// do not change when other tables come or go.
std::string DiagramNodeId(const ModelIndex& index, const CMOObject& table);
std::string DiagramEdgeId(const ModelIndex& index, const Diagram& diagram, const DiagramEdge& edge);

// How DiagramSvg draws.
struct DiagramDrawing {
  // Where a click on a table's box leads (an href, escaped by the
  // drawing); empty or unset: nowhere.
  std::function<std::string(const CMOObject& table)> link;
  // Whether boxes show their columns. Auto: they do while the picture,
  // fitted into a window (kFitWidth x kFitHeight), keeps its text at
  // kMinimumFittedText pixels or more, and show the table's name only
  // above that (the tables' own pages carry the detail).
  enum class Columns { Auto, All, NamesOnly } columns = Columns::Auto;
  // Set, where given, to whether the boxes show names only.
  bool* namesOnly = nullptr;
};

// The window a picture is fitted into when its text size is judged, and
// the smallest text that is read there without zooming, in CSS pixels.
constexpr double kFitWidth = 1200;
constexpr double kFitHeight = 680;
constexpr double kMinimumFittedText = 6;

// The diagram drawn as an SVG picture, one <svg> element in CSS pixels
// (its width and height attributes and viewBox). Each table is a box,
// <g class="node" id="DiagramNodeId"> with a <title> naming it, each
// foreign key a line <g class="edge" id="DiagramEdgeId"> with a <title>
// naming both ends; dashed where a referencing column may be NULL. Around
// one table at depth 0 or 1 the centre is in the middle, the tables that
// refer to it on its left and those it refers to on its right, at most
// kMostNeighbours a side (a box says how many more), in two columns where
// one is too tall, the lines of the outer one passing through a gap in the
// inner one; a caption says the picture is part of the schema. Otherwise each group of connected tables
// is laid out by Graphviz's dot (long paths folded) or, for boxes with
// names only, placed in a grid along a space-filling curve in the order a
// walk over the foreign keys meets them; the groups and the tables without
// foreign keys (in a grid) packed side by side into a picture about as
// wide as a window. Texts longer than
// kLongestShownText characters are cut with "…" (the title has them whole).
// Throws WriteError when Graphviz cannot be used.
std::string DiagramSvg(const ModelIndex& index, const Diagram& diagram, const DiagramDrawing& drawing);
// Whether DiagramSvg, left to choose, would draw the tables with their
// columns (the packed layout of the whole diagram, not one table's
// neighbours); false where it cannot be laid out. Throws WriteError when
// Graphviz cannot be used.
bool DiagramShowsColumns(const ModelIndex& index, const Diagram& diagram);
constexpr std::size_t kMostNeighbours = 24;
constexpr std::size_t kLongestShownText = 48;

// Lays out a graph with a Graphviz engine (under the lock SvgWriter.cpp
// holds) and gives the centre of each node "n0", "n1", ... in points, y
// growing downwards, and the graph's width and height. Throws WriteError
// when Graphviz cannot be loaded or refuses the graph.
struct LaidOutGraph {
  std::vector<double> x, y;  // by node number
  double width = 0, height = 0;
};
LaidOutGraph LayOut(const std::string& graph, const char* engine, std::size_t nodes);

// The diagram as a Graphviz graph (DotWriter.h says what it holds).
std::string DiagramDot(const ModelIndex& index, const Diagram& diagram);

// The diagram as a Mermaid erDiagram (MermaidWriter.h says what it holds);
// without columns when `columns` is false: the entities and relationships
// only, a smaller text for large diagrams.
std::string DiagramMermaid(const ModelIndex& index, const Diagram& diagram, bool columns);

// What Mermaid renders by default (its maxTextSize and maxEdges).
constexpr std::size_t kMermaidMaximumText = 50000;
constexpr std::size_t kMermaidMaximumEdges = 500;

// The diagram as Mermaid text that Mermaid's defaults render: with the
// columns, else without them (withoutColumns), else none, with the reason
// (refusal: "its 501 relationships are more than ...").
struct MermaidText {
  std::string text;
  bool withoutColumns = false;
  std::string refusal;
};
MermaidText FittingMermaid(const ModelIndex& index, const Diagram& diagram);

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

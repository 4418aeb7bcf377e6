// The "html" output format: the schema's documentation as one page that
// needs nothing else: no network, no other file. An index of the schemas
// with their tables, views and routines and a filter box; the diagram
// (the svg format's, looked up in the table of formats, so --around and
// --depth narrow it; a note in its place where it cannot be laid out); a
// section per table with its columns (type, null, default, comment), keys,
// foreign keys both ways as links, checks, indexes and triggers; views and
// routines with their definitions.
//
// Every text from the database is written escaped for HTML, after
// invisible characters are made visible (VisibleText.h), so no name can
// add markup or script. The page's own script and style sheet are inline
// and named by their SHA-256 in its Content-Security-Policy, which allows
// nothing else: no other script, style, picture, font or connection.
// Sections are found by stem (ModelIndex.h): "main.orders" a table or view,
// "main" a schema, "routine-main.f" a routine.
//
// As a folder (WriteFolder, -o DIR/): index.html with the counts, a filter
// by name or column, and per schema its diagram (names only where columns
// would not read) and the overview of its objects (name, kind, columns,
// comment); a page per table, view and routine (tables/STEM.html,
// views/..., routines/...), each table's with a diagram of the tables one
// foreign key from it; each view's with the tables its definition names.
// Every page has the same script and style sheet and policy.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class HtmlWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
  bool WritesFolder() const override { return true; }
  void WriteFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options) const override;
};

}  // namespace writers

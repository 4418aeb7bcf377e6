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
// Sections are found by object id: "t12" a table or view, "s3" a schema,
// "r40" a routine.
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

// The "markdown" output format: the schema's documentation as one
// GitHub-flavoured Markdown file for a repository: contents, the diagram as
// a Mermaid code block (the mermaid format's), and a section per table with
// its columns as a table, keys, foreign keys both ways as links, checks,
// indexes and triggers; views and routines with their definitions in SQL
// code blocks. Sections are anchored by stem (<a id="main.orders">;
// ModelIndex.h). As a folder (WriteFolder, -o DIR/): README.md with each
// schema's diagram and overview table, and a page per table, view and
// routine (tables/STEM.md, ...), each table's with a Mermaid diagram of the
// tables one foreign key from it.
//
// Database text is written so that no name can be read as Markdown or HTML:
// every character with a meaning there is escaped with a backslash,
// blanks at either end of a name as &#32;, definitions in code blocks whose
// fence is longer than any run of backticks inside, and invisible
// characters as escapes (VisibleText.h).
//
// Mermaid renderers refuse a diagram above 50,000 characters or 500
// relationships (their defaults): above that the diagram is given without
// columns, and where even that is too large it is left out with a note that
// says what helps (--around, or the svg format).
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class MarkdownWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
  bool WritesFolder() const override { return true; }
  void WriteFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options) const override;
};

}  // namespace writers

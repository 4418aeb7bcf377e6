// The "mermaid" output format: the entity-relationship diagram as a Mermaid
// erDiagram, for Markdown pages that render Mermaid code blocks. Each table
// is an entity with its columns (type, name, PK / FK marks), each foreign
// key a relationship from the referencing table to the referenced one:
// "}o" many rows (or "|o" one, where the referencing columns are a key of
// their table) to "||" exactly one (or "o|" at most one, where a
// referencing column may be NULL); a solid line where the foreign key is
// part of the referencing table's primary key, dotted otherwise.
//
// Entities are named by the table's name in double quotes (the one form
// every renderer from Mermaid 10.x on reads); column names and types are
// written in the ASCII characters Mermaid takes in a word, the others as
// '_', with the exact name as the column's comment where it differs. In
// names and comments the characters Mermaid cannot show in quoted text
// (" % \ # < > & ~) are written as their full-width look-alikes (" as
// U+201D), invisible characters as escapes
// (VisibleText.h): the picture is for reading, the exact names are in the
// other formats. WriteOptions::aroundTable and depth narrow it as for the
// other diagrams. A diagram beyond what Mermaid renders by default (50,000
// characters, 500 relationships) is written without its columns, saying so
// in a %% comment, or refused with WriteError saying what helps.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class MermaidWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers

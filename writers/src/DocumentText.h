// Database text in the documentation formats (html, markdown): the pieces
// both pages write the same way. Every function here returns UTF-8 with
// invisible characters as escapes (VisibleText.h).
#pragma once

#include "ModelIndex.h"

#include <writers/ModelWriter.h>

#include <functional>
#include <string>
#include <string_view>

namespace writers {

// Text for an HTML or SVG element or a quoted attribute value: the
// characters markup gives a meaning as entities.
std::string MarkupText(std::string_view text);

// "Schema of shop", or "Schema" when the model names no database: the
// documentation's title.
std::string DocumentTitle(const ModelIndex& index);

// "(a integer, b text) returns integer, language sql": a routine's
// parameters, result and language.
std::string RoutineSignature(const CMOObject& routine);

// "3 more related tables are listed below, not drawn": what a table's
// diagram leaves out.
std::string LeftOutWords(std::size_t tables);

// A documentation folder: the index page under indexName, then a page per
// table, view and routine at ModelIndex::PagePath with the extension. A
// folder has a diagram around every table, so --around is refused.
void WriteDocumentFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options,
                         const char* indexName, std::string_view extension,
                         const std::function<std::string(const ModelIndex&)>& index,
                         const std::function<std::string(const ModelIndex&, const CMOObject&)>& page);

// A multi-line text (a definition) with its line breaks and tabs kept: only
// the other invisible characters become escapes. "\r\n" counts as one
// line break.
std::string VisibleLines(std::u16string_view text);

// An object's SQL definition: Definition, else the CREATE text (SqlText);
// empty when it has neither.
std::u16string DefinitionOf(const CMOObject& object);

// A table's or view's name as the documentation shows it: "orders", or
// "sales.orders" when the model has more than one schema.
std::string DocumentName(const ModelIndex& index, const CMOObject& object);

// The names of the objects of an id list, joined by ", "; "#N" for an id
// the model does not have.
std::string NameList(const ModelIndex& index, const std::vector<int>& ids);

// "ON DELETE CASCADE  ON UPDATE SET NULL  DEFERRABLE": what a foreign key
// does beyond referring; empty for the defaults.
std::string ForeignKeyRules(const CMOObject& foreignKey);

// "unique, using hash, include (a), where x > 0": what an index is beyond
// its columns.
std::string IndexDetails(const ModelIndex& index, const CMOObject& object);

// The column list of an index: its columns, then its expressions.
std::string IndexParts(const ModelIndex& index, const CMOObject& object);

}  // namespace writers

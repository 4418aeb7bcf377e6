// Database text in the documentation formats (html, markdown): the pieces
// both pages write the same way. Every function here returns UTF-8 with
// invisible characters as escapes (VisibleText.h).
#pragma once

#include "ModelIndex.h"

#include <string>

namespace writers {

// A multi-line text (a definition) with its line breaks and tabs kept: only
// the other invisible characters become escapes. "\r\n" counts as one
// line break.
std::string VisibleLines(std::u16string_view text);

// An object's SQL definition: Definition, else the CREATE text (SqlText);
// empty when it has neither.
const std::u16string& DefinitionOf(const CMOObject& object);

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

#include "DocumentText.h"

#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

namespace writers {

using namespace model;

std::string VisibleLines(std::u16string_view text) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != u'\n' && text[i] != u'\t') continue;
    std::u16string_view piece = text.substr(start, i - start);
    if (i < text.size() && text[i] == u'\n' && !piece.empty() && piece.back() == u'\r') piece.remove_suffix(1);
    out += VisibleText(piece);
    if (i < text.size()) out += static_cast<char>(text[i]);
    start = i + 1;
  }
  return out;
}

const std::u16string& DefinitionOf(const CMOObject& object) {
  const std::u16string& definition = RawText(object, Definition);
  return definition.empty() ? RawText(object, SqlText) : definition;
}

std::string DocumentName(const ModelIndex& index, const CMOObject& object) {
  const std::string name = VisibleText(RawText(object, Name));
  const CMOObject* schema = index.Object(index.SchemaOf(object.GetObjectId()));
  if (index.Schemas().size() < 2 || schema == nullptr) return name;
  return VisibleText(RawText(*schema, Name)) + "." + name;
}

std::string NameList(const ModelIndex& index, const std::vector<int>& ids) {
  std::string list;
  for (int id : ids) {
    if (!list.empty()) list += ", ";
    const CMOObject* object = index.Object(id);
    list += object == nullptr ? "#" + std::to_string(id) : VisibleText(RawText(*object, Name));
  }
  return list;
}

std::string ForeignKeyRules(const CMOObject& foreignKey) {
  std::string rules;
  auto add = [&](const std::string& rule) { rules += (rules.empty() ? "" : "  ") + rule; };
  const std::u16string& onDelete = RawText(foreignKey, OnDelete);
  const std::u16string& onUpdate = RawText(foreignKey, OnUpdate);
  if (!IsDefaultAction(onDelete)) add("ON DELETE " + VisibleText(onDelete));
  if (!IsDefaultAction(onUpdate)) add("ON UPDATE " + VisibleText(onUpdate));
  if (IntegerValue(foreignKey, Deferrable) == 1)
    add(IntegerValue(foreignKey, InitiallyDeferred) == 1 ? "DEFERRABLE INITIALLY DEFERRED" : "DEFERRABLE");
  return rules;
}

std::string IndexParts(const ModelIndex& index, const CMOObject& object) {
  std::string parts = NameList(index, IdList(object, IndexColumns));
  const std::u16string& expressions = RawText(object, Expressions);
  if (!expressions.empty()) parts += (parts.empty() ? "" : ", ") + VisibleText(expressions);
  return parts;
}

std::string IndexDetails(const ModelIndex& index, const CMOObject& object) {
  std::string details;
  auto add = [&](const std::string& detail) { details += (details.empty() ? "" : ", ") + detail; };
  if (IntegerValue(object, IsUnique) == 1) add("unique");
  const std::u16string& method = RawText(object, IndexMethod);
  if (!IsDefaultIndexMethod(method)) add("using " + VisibleText(method));
  const std::vector<int>& included = IdList(object, IncludedColumns);
  if (!included.empty()) add("include (" + NameList(index, included) + ")");
  const std::u16string& predicate = RawText(object, Predicate);
  if (!predicate.empty()) add("where " + VisibleText(predicate));
  return details;
}

}  // namespace writers

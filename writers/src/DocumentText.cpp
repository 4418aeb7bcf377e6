#include "DocumentText.h"

#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

namespace writers {

using namespace model;

std::string MarkupText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string DocumentTitle(const ModelIndex& index) {
  const std::string database = VisibleText(RawText(*index.Model().GetCMOObject(), DatabaseName));
  return database.empty() ? std::string("Schema") : "Schema of " + database;
}

std::string RoutineSignature(const CMOObject& routine) {
  std::string signature = "(" + VisibleText(RawText(routine, ParameterList)) + ")";
  const std::u16string& returns = RawText(routine, ReturnType);
  if (!returns.empty()) signature += " returns " + VisibleText(returns);
  const std::u16string& language = RawText(routine, Language);
  if (!language.empty()) signature += ", language " + VisibleText(language);
  return signature;
}

std::string LeftOutWords(std::size_t tables) {
  return std::to_string(tables) + " more related " + (tables == 1 ? "table is" : "tables are") + " listed below, not drawn";
}

void WriteDocumentFolder(const GenericModel& model, FolderOutput& out, const WriteOptions& options,
                         const char* indexName, std::string_view extension,
                         const std::function<std::string(const ModelIndex&)>& index,
                         const std::function<std::string(const ModelIndex&, const CMOObject&)>& page) {
  if (!options.aroundTable.empty())
    throw WriteError("--around draws part of one diagram; a folder has a diagram around every table");
  const ModelIndex modelIndex(model);
  out.Add(indexName, index(modelIndex));
  for (const CMOObject* object : modelIndex.Pages()) out.Add(modelIndex.PagePath(*object, extension), page(modelIndex, *object));
}

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

std::u16string DefinitionOf(const CMOObject& object) {
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

#include "ModelComparison.h"

#include "ImportHost.h"

#include <tillerhold/CMOObject.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace qm::test::odbc {
namespace {

// "schema.table" of a table or view, the schema mapped.
std::string Qualified(const GenericModel& model, const CMOObject& object,
                      const std::function<std::string(const std::string&)>& schema) {
  const CMOObject* parent = model.GetCMOObject(object.GetParentId());
  std::string schemaName = parent != nullptr ? Name(*parent) : "?";
  if (schema) schemaName = schema(schemaName);
  return schemaName + "." + Name(object);
}

std::string SortedNames(const GenericModel& model, std::vector<int> ids) {
  std::vector<std::string> names;
  for (int id : ids) {
    const CMOObject* object = model.GetCMOObject(id);
    names.push_back(object != nullptr ? Name(*object) : "#" + std::to_string(id));
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

}  // namespace

std::vector<std::string> ComparableLines(GenericModel& model, const std::function<std::string(const std::string&)>& schema) {
  std::vector<std::string> lines;
  std::set<std::string> unique;
  for (int type : {model::Table, model::View}) {
    for (CMOObject* table : AllOfType(model, type)) {
      const std::string name = Qualified(model, *table, schema);
      lines.push_back(Line({type == model::Table ? "table" : "view", name}));
      for (CMOObject* column : Children(model, *table, model::Column))
        lines.push_back(Line({"column", name, Value(model, *column, model::Position), Name(*column),
                              "nullable " + Value(model, *column, model::Nullable)}));
      std::string primary;
      for (CMOObject* key : Children(model, *table, model::Key)) {
        const std::vector<int> columns = Ids(*key, model::KeyColumns);
        if (Text(*key, model::KeyType) == "PRIMARY KEY") {
          primary = SortedNames(model, columns);
          lines.push_back(Line({"primary key", name, NameList(model, columns)}));
        }
      }
      for (CMOObject* key : Children(model, *table, model::Key))
        if (Text(*key, model::KeyType) == "UNIQUE" && SortedNames(model, Ids(*key, model::KeyColumns)) != primary)
          unique.insert(Line({"unique", name, SortedNames(model, Ids(*key, model::KeyColumns))}));
      for (CMOObject* index : Children(model, *table, model::Index)) {
        if (Value(model, *index, model::IsUnique) != "1") continue;
        std::string columns = SortedNames(model, Ids(*index, model::IndexColumns));
        if (!Text(*index, model::Expressions).empty()) columns += " + expressions";
        if (!Text(*index, model::Predicate).empty()) columns += " where ...";
        if (columns != primary) unique.insert(Line({"unique", name, columns}));
      }
      for (CMOObject* foreignKey : Children(model, *table, model::ForeignKey)) {
        const std::vector<int> referenced = Ids(*foreignKey, model::ReferencedTable);
        const CMOObject* parent = referenced.empty() ? nullptr : model.GetCMOObject(referenced[0]);
        const std::string parentName = parent != nullptr ? Qualified(model, *parent, schema) : "?";
        const std::string columns = NameList(model, Ids(*foreignKey, model::ForeignKeyColumns));
        lines.push_back(Line({"foreign key", name, columns, parentName,
                              NameList(model, Ids(*foreignKey, model::ReferencedColumns)),
                              "ON DELETE " + Text(*foreignKey, model::OnDelete),
                              "ON UPDATE " + Text(*foreignKey, model::OnUpdate)}));
        lines.push_back(Line({"deferral", name, columns, parentName,
                              "deferrable " + Value(model, *foreignKey, model::Deferrable),
                              "initially deferred " + Value(model, *foreignKey, model::InitiallyDeferred)}));
      }
    }
  }
  lines.insert(lines.end(), unique.begin(), unique.end());
  std::sort(lines.begin(), lines.end());
  return lines;
}

Notices::Notices() {
  m_options.notice = [this](const std::u16string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_texts.push_back(Utf8(text));
  };
}

std::vector<std::string> Notices::Texts() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_texts;
}

std::vector<std::string> DetailLines(GenericModel& model) {
  std::vector<std::string> lines;
  for (int type : {model::Table, model::View}) {
    for (CMOObject* table : AllOfType(model, type)) {
      lines.push_back(Line({model::ObjectTypeName(type), Name(*table), Text(*table, model::TableKind),
                            Text(*table, model::Comment)}));
      for (CMOObject* column : Children(model, *table, model::Column))
        lines.push_back(Line({"  column", Value(model, *column, model::Position), Name(*column),
                              Text(*column, model::DataType), "nullable " + Value(model, *column, model::Nullable),
                              "default " + Value(model, *column, model::DefaultValue),
                              "pk " + Value(model, *column, model::PrimaryKeyPosition), Text(*column, model::Comment)}));
      for (CMOObject* key : Children(model, *table, model::Key))
        lines.push_back(Line({"  key", Name(*key), Text(*key, model::KeyType), NameList(model, Ids(*key, model::KeyColumns))}));
      for (CMOObject* index : Children(model, *table, model::Index))
        lines.push_back(Line({"  index", Name(*index), "unique " + Value(model, *index, model::IsUnique),
                              NameList(model, Ids(*index, model::IndexColumns))}));
      for (CMOObject* foreignKey : Children(model, *table, model::ForeignKey))
        lines.push_back(Line({"  foreign key", NameList(model, Ids(*foreignKey, model::ForeignKeyColumns)),
                              NameList(model, Ids(*foreignKey, model::ReferencedTable)),
                              NameList(model, Ids(*foreignKey, model::ReferencedColumns)),
                              "key " + NameList(model, Ids(*foreignKey, model::ReferencedKey)),
                              Text(*foreignKey, model::OnDelete), Text(*foreignKey, model::OnUpdate),
                              "deferrable " + Value(model, *foreignKey, model::Deferrable),
                              "deferred " + Value(model, *foreignKey, model::InitiallyDeferred)}));
    }
  }
  for (CMOObject* routine : AllOfType(model, model::Routine)) {
    lines.push_back(Line({"routine", Name(*routine), Text(*routine, model::RoutineKind),
                          "returns " + Value(model, *routine, model::ReturnType)}));
    for (CMOObject* parameter : Children(model, *routine, model::Parameter))
      lines.push_back(Line({"  parameter", Value(model, *parameter, model::Position), Name(*parameter),
                            Text(*parameter, model::ParameterMode), Text(*parameter, model::DataType)}));
  }
  return lines;
}

std::string UnexplainedDifferences(const std::vector<std::string>& dedicated,
                                   const std::vector<std::string>& generic,
                                   const std::vector<KnownDifference>& known,
                                   std::vector<std::size_t>* used) {
  std::string unexplained;
  auto compare = [&](const std::vector<std::string>& own, const std::vector<std::string>& other, Side side) {
    std::multiset<std::string> rest(other.begin(), other.end());
    for (const std::string& line : own) {
      const auto it = rest.find(line);
      if (it != rest.end()) {
        rest.erase(it);
        continue;
      }
      bool explained = false;
      for (std::size_t i = 0; i < known.size(); ++i) {
        const KnownDifference& difference = known[i];
        if (difference.onlyIn != side || line.rfind(std::string(difference.kind) + " | ", 0) != 0 ||
            line.find(difference.part) == std::string::npos || (difference.also && !difference.also(line)))
          continue;
        explained = true;
        if (used != nullptr) used->push_back(i);
        break;
      }
      if (!explained) unexplained += (side == Side::Dedicated ? "only dedicated: " : "only generic: ") + line + "\n";
    }
  };
  compare(dedicated, generic, Side::Dedicated);
  compare(generic, dedicated, Side::Generic);
  return unexplained;
}

namespace {

// "kind | table | a b" with the columns sorted, to compare column sets.
std::string ColumnSet(const std::string& line, const std::string& kind) {
  const std::size_t first = line.find(" | ");
  const std::size_t last = line.rfind(" | ");
  if (first == std::string::npos) return {};
  std::vector<std::string> columns;
  std::stringstream in(line.substr(last + 3));
  for (std::string column; std::getline(in, column, ',');) columns.push_back(column);
  std::sort(columns.begin(), columns.end());
  std::string set = kind + line.substr(first, last - first) + " |";
  for (const std::string& column : columns) set += " " + column;
  return set;
}

}  // namespace

bool SameColumnSetIn(const std::vector<std::string>& lines, const std::string& line, const std::string& kind) {
  const std::string wanted = ColumnSet(line, kind);
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& other) {
    return other.starts_with(kind + " | ") && ColumnSet(other, kind) == wanted;
  });
}

}  // namespace qm::test::odbc

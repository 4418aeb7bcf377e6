#include "LintModel.h"

#include <tillerhold/ModelVocabulary.h>

namespace lint {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

std::u16string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetWStringValue() : std::u16string();
}

std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return std::nullopt;
  if (property->GetValueKind() == CMOProperty::ValueKind::Integer) return property->GetIntegerValue();
  const std::u16string_view text = property->WStringRef();
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  std::size_t i = text[0] == u'-' ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    value = value * 10 + (text[i] - u'0');
  }
  return text[0] == u'-' ? -value : value;
}

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr ? property->GetObjectIdVectorValue() : std::vector<int>();
}

std::u16string NameOf(const CMOObject& object) { return Text(object, model::Name); }

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower) c = Lower(c);
  return lower;
}

bool SameWord(std::u16string_view value, std::u16string_view word) {
  while (!value.empty() && (value.front() == u' ' || value.front() == u'\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == u' ' || value.back() == u'\t')) value.remove_suffix(1);
  if (value.size() != word.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i)
    if (Lower(value[i]) != Lower(word[i])) return false;
  return true;
}

bool ContainsWord(std::u16string_view text, std::u16string_view word) {
  return LowerAscii(text).find(LowerAscii(word)) != std::u16string::npos;
}

bool IsNullable(const CMOObject& column) { return Integer(column, model::Nullable) == 1; }

long long Access::PrefixLength(std::size_t i) const {
  std::size_t start = 0;
  for (std::size_t part = 0; start <= prefixLengths.size(); ++part) {
    std::size_t end = prefixLengths.find(u',', start);
    if (end == std::u16string::npos) end = prefixLengths.size();
    if (part == i) {
      long long value = 0;
      for (std::size_t k = start; k < end; ++k)
        if (prefixLengths[k] >= u'0' && prefixLengths[k] <= u'9') value = value * 10 + (prefixLengths[k] - u'0');
      return value;
    }
    start = end + 1;
  }
  return 0;
}

LintModel::LintModel(const GenericModel& model, const std::function<bool(const CMOObject&)>& madeByDatabase)
    : m_model(model) {
  const int count = model.GetObjectCount();
  m_factsOf.assign(static_cast<std::size_t>(count) + 1, 0);
  m_viewColumns.assign(static_cast<std::size_t>(count) + 1, 0);
  std::vector<const CMOObject*> keys;
  std::vector<const CMOObject*> indexes;
  for (int id = 2; id <= count; ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    const int parent = object->GetParentId();
    switch (object->GetObjectType()) {
      case model::Table: {
        if (madeByDatabase(*object)) break;
        TableFacts facts;
        facts.table = object;
        facts.schema = SchemaOf(*object);
        const std::vector<int>& of = Ids(*object, model::PartitionOf);
        facts.partition = !of.empty() && of.front() != id;
        facts.virtualTable = SameWord(Text(*object, model::TableKind), u"virtual table");
        m_tables.push_back(std::move(facts));
        m_factsOf[static_cast<std::size_t>(id)] = static_cast<int>(m_tables.size());
        break;
      }
      case model::View:
        m_views.push_back(object);
        break;
      case model::Routine:
        m_routines.push_back(object);
        break;
      case model::Column:
        if (parent > 0 && parent <= count && m_factsOf[static_cast<std::size_t>(parent)] > 0)
          m_tables[static_cast<std::size_t>(m_factsOf[static_cast<std::size_t>(parent)] - 1)].columns.push_back(object);
        else if (parent > 0 && parent <= count)
          ++m_viewColumns[static_cast<std::size_t>(parent)];
        break;
      case model::ForeignKey:
        if (parent > 0 && parent <= count && m_factsOf[static_cast<std::size_t>(parent)] > 0)
          m_tables[static_cast<std::size_t>(m_factsOf[static_cast<std::size_t>(parent)] - 1)].foreignKeys.push_back(object);
        break;
      case model::Key:
        keys.push_back(object);
        break;
      case model::Index:
        indexes.push_back(object);
        break;
      case model::Schema:
      case model::Sequence:
      case model::UserType:
      case model::Trigger:
      case model::CheckConstraint:
        if (!madeByDatabase(*object)) m_otherNamed.push_back(object);
        break;
      default:
        break;
    }
  }
  // Keys before indexes, each in creation order: a duplicate is then
  // reported on the index rather than the constraint.
  for (const std::vector<const CMOObject*>* list : {&keys, &indexes}) {
    for (const CMOObject* object : *list) {
      const int parent = object->GetParentId();
      if (parent <= 0 || parent > count || m_factsOf[static_cast<std::size_t>(parent)] == 0) continue;
      Access access;
      access.object = object;
      if (object->GetObjectType() == model::Key) {
        access.primary = SameWord(Text(*object, model::KeyType), u"PRIMARY KEY");
        access.unique = true;
        access.columns = Ids(*object, model::KeyColumns);
      } else {
        access.unique = Integer(*object, model::IsUnique).value_or(0) != 0;
        access.columns = Ids(*object, model::IndexColumns);
        access.expressions = Text(*object, model::Expressions);
        access.predicate = Text(*object, model::Predicate);
      }
      access.method = LowerAscii(Text(*object, model::IndexMethod));
      if (access.method.empty()) access.method = u"btree";
      access.descending = Ids(*object, model::DescendingColumns);
      access.prefixLengths = Text(*object, model::PrefixLengths);
      access.included = Ids(*object, model::IncludedColumns);
      m_tables[static_cast<std::size_t>(m_factsOf[static_cast<std::size_t>(parent)] - 1)].accesses.push_back(
          std::move(access));
    }
  }
}

const TableFacts* LintModel::FactsOf(int tableId) const {
  if (tableId <= 0 || static_cast<std::size_t>(tableId) >= m_factsOf.size()) return nullptr;
  const int index = m_factsOf[static_cast<std::size_t>(tableId)];
  return index > 0 ? &m_tables[static_cast<std::size_t>(index - 1)] : nullptr;
}

std::size_t LintModel::ViewColumnCount(const CMOObject& view) const {
  const auto id = static_cast<std::size_t>(view.GetObjectId());
  return id < m_viewColumns.size() ? m_viewColumns[id] : 0;
}

const CMOObject* LintModel::ReferencedTable(const CMOObject& foreignKey) const {
  const std::vector<int>& table = Ids(foreignKey, model::ReferencedTable);
  if (!table.empty()) return Object(table.front());
  const std::vector<int>& key = Ids(foreignKey, model::ReferencedKey);
  const CMOObject* referencedKey = key.empty() ? nullptr : Object(key.front());
  return referencedKey != nullptr ? Object(referencedKey->GetParentId()) : nullptr;
}

std::vector<int> LintModel::ReferencedColumns(const CMOObject& foreignKey) const {
  const std::vector<int>& columns = Ids(foreignKey, model::ReferencedColumns);
  if (!columns.empty()) return columns;
  const std::vector<int>& key = Ids(foreignKey, model::ReferencedKey);
  const CMOObject* referencedKey = key.empty() ? nullptr : Object(key.front());
  return referencedKey != nullptr ? Ids(*referencedKey, model::KeyColumns) : std::vector<int>();
}

const CMOObject* LintModel::SchemaOf(const CMOObject& object) const {
  for (const CMOObject* step = &object; step != nullptr; step = Object(step->GetParentId()))
    if (step->GetObjectType() == model::Schema) return step;
  return nullptr;
}

std::vector<std::u16string> LintModel::PathOf(const CMOObject& object) const {
  std::vector<std::u16string> path;
  for (const CMOObject* step = &object; step != nullptr && step->GetParentId() != 0; step = Object(step->GetParentId()))
    path.insert(path.begin(), NameOf(*step));
  return path;
}

}  // namespace lint

#include "ModelIndex.h"

#include "ModelValues.h"

#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <cstdint>
#include <unordered_map>

namespace writers {

using namespace model;

// What the model holds is read through ModelValues, the one place that
// knows how the plug-ins spell their values.

std::u16string RawText(const CMOObject& object, int propertyId) { return values::Text(object, propertyId); }

std::optional<long long> IntegerValue(const CMOObject& object, int propertyId) {
  const std::optional<std::int64_t> value = values::Integer(object, propertyId);
  if (!value) return std::nullopt;
  return static_cast<long long>(*value);
}

std::vector<int> IdList(const CMOObject& object, int propertyId) { return values::Ids(object, propertyId); }

bool IsPrimaryKey(const CMOObject& key) { return values::KeyKindOf(key) == values::KeyKind::PrimaryKey; }

bool IsOrdinaryTableKind(std::u16string_view kind) {
  return kind.empty() || values::SameWord(kind, u"table") || values::SameWord(kind, u"base table");
}

bool IsPlainKind(std::u16string_view kind) { return IsOrdinaryTableKind(kind) || values::SameWord(kind, u"view"); }

bool IsDefaultAction(std::u16string_view action) { return action.empty() || values::SameWord(action, u"no action"); }

bool IsDefaultIndexMethod(std::u16string_view method) { return method.empty() || values::SameWord(method, u"btree"); }

namespace {

// FNV-1a over the UTF-16 code units: a fixed function of the text, the
// same on every machine and in every version.
std::uint64_t Hash(std::u16string_view text) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (char16_t unit : text) {
    hash = (hash ^ (unit & 0xFF)) * 1099511628211ULL;
    hash = (hash ^ (unit >> 8)) * 1099511628211ULL;
  }
  return hash;
}

std::string Hex(std::uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return out;
}

bool IsDeviceName(std::string_view part) {
  for (std::string_view name : {"con", "prn", "aux", "nul"})
    if (part == name) return true;
  return part.size() == 4 && (part.starts_with("com") || part.starts_with("lpt")) && part[3] >= '1' && part[3] <= '9';
}

}  // namespace

std::string NamePart(std::u16string_view name) {
  std::string plain;
  bool isPlain = !name.empty() && name.size() <= 64;
  for (char16_t c : name) {
    const bool lower = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
    if (!lower) isPlain = false;
    if (plain.size() >= 40) continue;
    if (lower) {
      plain += static_cast<char>(c);
    } else if (c >= u'A' && c <= u'Z') {
      plain += static_cast<char>(c - u'A' + u'a');
    } else if (plain.empty() || plain.back() != '_') {
      plain += '_';
    }
  }
  if (isPlain && !IsDeviceName(plain)) return plain;
  return plain + "~" + Hex(Hash(name), 8);
}

ModelIndex::ModelIndex(const GenericModel& model) : m_model(model) {
  const int count = model.GetObjectCount();
  const auto size = static_cast<std::size_t>(count) + 1;
  m_schemaOf.assign(size, 0);
  m_tableOf.assign(size, 0);
  m_entryOf.assign(size, 0);
  m_primaryColumn.assign(size, 0);
  m_foreignColumn.assign(size, 0);

  // Parents are created before their children, so one pass in id order
  // knows each parent's schema and table before it meets the child.
  std::vector<int> schemaSlot(size, 0);  // by schema id: index into m_schemas + 1
  int looseSlot = 0;                     // index into m_schemas + 1 of the entry without a schema
  auto slotOf = [&](int schemaId) -> SchemaEntry& {
    int& slot = schemaId == 0 ? looseSlot : schemaSlot[static_cast<std::size_t>(schemaId)];
    if (slot == 0) {
      m_schemas.emplace_back().schema = schemaId == 0 ? nullptr : model.GetCMOObject(schemaId);
      slot = static_cast<int>(m_schemas.size());
    }
    return m_schemas[static_cast<std::size_t>(slot - 1)];
  };
  std::vector<const CMOObject*> foreignKeys;
  for (int id = 2; id <= count; ++id) {
    const CMOObject* object = model.GetCMOObject(id);
    if (object == nullptr) continue;
    const int parentId = object->GetParentId();
    const CMOObject* parent = parentId > 1 && parentId < id ? model.GetCMOObject(parentId) : nullptr;
    const auto at = static_cast<std::size_t>(id);
    if (parent != nullptr) {
      const auto up = static_cast<std::size_t>(parentId);
      m_schemaOf[at] = parent->GetObjectType() == Schema ? parentId : m_schemaOf[up];
      m_tableOf[at] = m_tableOf[up];
    }
    const int type = object->GetObjectType();
    if (type == Schema) {
      slotOf(id);
      continue;
    }
    if (type == Table || type == View) {
      m_tableOf[at] = id;
      m_entries.emplace_back();
      m_entryOf[at] = static_cast<int>(m_entries.size());
      SchemaEntry& schema = slotOf(m_schemaOf[at]);
      (type == Table ? schema.tables : schema.views).push_back(object);
      continue;
    }
    if (type == Routine || type == Sequence || type == UserType) {
      // Only those of a schema (or of the model): a routine inside a
      // table would be listed with the table's objects.
      if (parent != nullptr && parent->GetObjectType() != Schema) continue;
      SchemaEntry& schema = slotOf(m_schemaOf[at]);
      (type == Routine ? schema.routines : type == Sequence ? schema.sequences : schema.userTypes).push_back(object);
      continue;
    }
    // The rest belongs to the table or view it is directly under.
    if (parent == nullptr || m_entryOf[static_cast<std::size_t>(parentId)] == 0 || m_tableOf[at] != parentId) continue;
    TableEntry& entry = m_entries[static_cast<std::size_t>(m_entryOf[static_cast<std::size_t>(parentId)] - 1)];
    switch (type) {
      case Column:
        entry.columns.push_back(object);
        if (IntegerValue(*object, PrimaryKeyPosition).value_or(0) > 0) m_primaryColumn[at] = 1;
        break;
      case Key:
        entry.keys.push_back(object);
        break;
      case ForeignKey:
        entry.foreignKeys.push_back(object);
        foreignKeys.push_back(object);
        break;
      case CheckConstraint:
        entry.checks.push_back(object);
        break;
      case Index:
        entry.indexes.push_back(object);
        break;
      case Trigger:
        entry.triggers.push_back(object);
        break;
      case Partition:
        entry.partitions.push_back(object);
        break;
      default:
        break;
    }
  }
  for (const SchemaEntry& schema : m_schemas) m_tables.insert(m_tables.end(), schema.tables.begin(), schema.tables.end());
  MakeStems();

  auto mark = [&](std::vector<char>& marks, const std::vector<int>& ids) {
    for (int column : ids)
      if (column > 0 && column <= count) marks[static_cast<std::size_t>(column)] = 1;
  };
  for (const SchemaEntry& schema : m_schemas) {
    for (const CMOObject* table : schema.tables) {
      for (const CMOObject* key : Entry(table->GetObjectId()).keys)
        if (IsPrimaryKey(*key)) mark(m_primaryColumn, IdList(*key, KeyColumns));
    }
  }
  // Incoming foreign keys in the order of the foreign keys' creation.
  for (const CMOObject* foreignKey : foreignKeys) {
    mark(m_foreignColumn, IdList(*foreignKey, ForeignKeyColumns));
    const int target = ReferencedTableOf(*foreignKey);
    if (target != 0 && m_entryOf[static_cast<std::size_t>(target)] != 0)
      m_entries[static_cast<std::size_t>(m_entryOf[static_cast<std::size_t>(target)] - 1)].referencedBy.push_back(foreignKey);
  }
}

void ModelIndex::MakeStems() {
  m_stem.resize(m_schemaOf.size());
  std::vector<const CMOObject*> named;  // in the order of Schemas()
  for (const SchemaEntry& schema : m_schemas) {
    if (schema.schema != nullptr) named.push_back(schema.schema);
    for (const auto* list : {&schema.tables, &schema.views, &schema.routines}) {
      named.insert(named.end(), list->begin(), list->end());
      m_pages.insert(m_pages.end(), list->begin(), list->end());
    }
  }
  // Routines have names of their own: a function may be called as a table
  // is, and overloads share a name.
  auto key = [](const CMOObject& object, const std::string& stem) {
    return (object.GetObjectType() == Routine ? "r" : "t") + stem;
  };
  std::unordered_map<std::string, int> uses;
  for (const CMOObject* object : named) {
    const int schemaId = object->GetObjectType() == Schema ? 0 : SchemaOf(object->GetObjectId());
    std::string stem = NamePart(RawText(*object, Name));
    if (const CMOObject* schema = Object(schemaId)) stem = NamePart(RawText(*schema, Name)) + "." + stem;
    ++uses[key(*object, stem)];
    m_stem[static_cast<std::size_t>(object->GetObjectId())] = std::move(stem);
  }
  // Objects that would share a stem each get their identity's hash; the
  // stems others have stay as they are.
  std::unordered_map<std::string, int> taken;
  for (const CMOObject* object : named) {
    std::string& stem = m_stem[static_cast<std::size_t>(object->GetObjectId())];
    if (uses[key(*object, stem)] > 1) {
      std::u16string identity = std::u16string(1, static_cast<char16_t>(object->GetObjectType())) + u"\n" +
                                RawText(*object, Name) + u"\n" + RawText(*object, ParameterList);
      if (const CMOObject* schema = Object(SchemaOf(object->GetObjectId()))) identity += u"\n" + RawText(*schema, Name);
      stem += "~" + Hex(Hash(identity), 8);
    }
    const int seen = ++taken[key(*object, stem)];
    if (seen > 1) stem += "~" + std::to_string(seen);
  }
}

const std::string& ModelIndex::Stem(int objectId) const {
  static const std::string kNone;
  if (objectId <= 0 || static_cast<std::size_t>(objectId) >= m_stem.size()) return kNone;
  return m_stem[static_cast<std::size_t>(objectId)];
}

std::string ModelIndex::SchemaName(const SchemaEntry& schema) const {
  return schema.schema == nullptr ? std::string("(no schema)") : VisibleText(RawText(*schema.schema, Name));
}

const std::string& ModelIndex::SchemaAnchor(const SchemaEntry& schema) const {
  static const std::string kNone = "~none";
  return schema.schema == nullptr ? kNone : Stem(schema.schema->GetObjectId());
}

const char* ModelIndex::FolderOf(const CMOObject& object) {
  switch (object.GetObjectType()) {
    case View: return "views";
    case Routine: return "routines";
    default: return "tables";
  }
}

std::string ModelIndex::PagePath(const CMOObject& object, std::string_view extension) const {
  return std::string(FolderOf(object)) + "/" + Stem(object.GetObjectId()) + std::string(extension);
}

const ModelIndex::TableEntry& ModelIndex::Entry(int tableId) const {
  static const TableEntry kNone;
  if (tableId <= 0 || static_cast<std::size_t>(tableId) >= m_entryOf.size()) return kNone;
  const int slot = m_entryOf[static_cast<std::size_t>(tableId)];
  return slot == 0 ? kNone : m_entries[static_cast<std::size_t>(slot - 1)];
}

int ModelIndex::SchemaOf(int objectId) const {
  if (objectId <= 0 || static_cast<std::size_t>(objectId) >= m_schemaOf.size()) return 0;
  return m_schemaOf[static_cast<std::size_t>(objectId)];
}

int ModelIndex::TableOf(int objectId) const {
  if (objectId <= 0 || static_cast<std::size_t>(objectId) >= m_tableOf.size()) return 0;
  return m_tableOf[static_cast<std::size_t>(objectId)];
}

int ModelIndex::ReferencedTableOf(const CMOObject& foreignKey) const {
  const std::vector<int>& table = IdList(foreignKey, ReferencedTable);
  if (!table.empty()) {
    const CMOObject* target = Object(table[0]);
    return target != nullptr && (target->GetObjectType() == Table || target->GetObjectType() == View) ? table[0] : 0;
  }
  const std::vector<int>& key = IdList(foreignKey, ReferencedKey);
  if (!key.empty() && Object(key[0]) != nullptr) return TableOf(key[0]);
  return 0;
}

bool ModelIndex::IsPrimaryKeyColumn(const CMOObject& column) const {
  const auto id = static_cast<std::size_t>(column.GetObjectId());
  return id < m_primaryColumn.size() && m_primaryColumn[id] != 0;
}

bool ModelIndex::IsForeignKeyColumn(const CMOObject& column) const {
  const auto id = static_cast<std::size_t>(column.GetObjectId());
  return id < m_foreignColumn.size() && m_foreignColumn[id] != 0;
}

}  // namespace writers

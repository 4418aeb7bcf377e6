#include <tillerhold/ModelVocabulary.h>

#include <cstddef>
#include <iterator>
#include <string_view>

namespace model {

const char* ObjectTypeName(int objectType) {
  switch (objectType) {
    case Model: return "model";
    case Schema: return "schema";
    case Table: return "table";
    case Column: return "column";
    case Key: return "key";
    case ForeignKey: return "foreignKey";
    case Index: return "index";
    case View: return "view";
    case Trigger: return "trigger";
    case Sequence: return "sequence";
    case Routine: return "routine";
    case Parameter: return "parameter";
    case UserType: return "userType";
    case TableSpace: return "tableSpace";
    case Partition: return "partition";
    case CheckConstraint: return "checkConstraint";
    case Grant: return "grant";
  }
  return nullptr;
}

const char* PropertyName(int propertyId) {
  switch (propertyId) {
    case Name: return "name";
    case DataType: return "dataType";
    case Nullable: return "nullable";
    case DefaultValue: return "defaultValue";
    case Position: return "position";
    case PrimaryKeyPosition: return "primaryKeyPosition";
    case KeyType: return "keyType";
    case KeyColumns: return "keyColumns";
    case ReferencedKey: return "referencedKey";
    case ReferencedTable: return "referencedTable";
    case OnDelete: return "onDelete";
    case OnUpdate: return "onUpdate";
    case MatchType: return "matchType";
    case Deferrable: return "deferrable";
    case InitiallyDeferred: return "initiallyDeferred";
    case IsUnique: return "isUnique";
    case IndexMethod: return "indexMethod";
    case Predicate: return "predicate";
    case Expressions: return "expressions";
    case Definition: return "definition";
    case Comment: return "comment";
    case Collation: return "collation";
    case Identity: return "identity";
    case GeneratedExpression: return "generatedExpression";
    case TableKind: return "tableKind";
    case TableSpaceRef: return "tableSpaceRef";
    case ReturnType: return "returnType";
    case Language: return "language";
    case RoutineKind: return "routineKind";
    case ParameterMode: return "parameterMode";
    case ParameterList: return "parameterList";
    case PartitionBound: return "partitionBound";
    case AttributeList: return "attributeList";
    case EnumLabels: return "enumLabels";
    case BaseType: return "baseType";
    case CheckExpression: return "checkExpression";
    case TriggerTiming: return "triggerTiming";
    case TriggerEvents: return "triggerEvents";
    case SequenceStart: return "sequenceStart";
    case SequenceIncrement: return "sequenceIncrement";
    case SequenceMin: return "sequenceMin";
    case SequenceMax: return "sequenceMax";
    case SequenceCycle: return "sequenceCycle";
    case IndexColumns: return "indexColumns";
    case ForeignKeyColumns: return "foreignKeyColumns";
    case ReferencedColumns: return "referencedColumns";
    case TypeKind: return "typeKind";
    case PartitionOf: return "partitionOf";
    case Owner: return "owner";
    case SqlText: return "sqlText";
    case GeneratedKind: return "generatedKind";
    case Strict: return "strict";
    case WithoutRowid: return "withoutRowid";
    case CheckOption: return "checkOption";
    case RowFormat: return "rowFormat";
    case CharacterSet: return "characterSet";
    case AutoIncrement: return "autoIncrement";
    case Engine: return "engine";
    case SecurityType: return "securityType";
    case TriggerOrder: return "triggerOrder";
    case PrefixLengths: return "prefixLengths";
    case DescendingColumns: return "descendingColumns";
    case Invisible: return "invisible";
    case UpdateExpression: return "updateExpression";
    case SqlMode: return "sqlMode";
    case OwnedBy: return "ownedBy";
    case Privileges: return "privileges";
    case GrantOption: return "grantOption";
    case PrivilegesRead: return "privilegesRead";
    case IncludedColumns: return "includedColumns";
    case ServerName: return "serverName";
    case DatabaseName: return "databaseName";
    case SqlDialectName: return "sqlDialect";
  }
  return nullptr;
}

bool IsFlag(int propertyId) {
  switch (propertyId) {
    case Nullable:
    case Deferrable:
    case InitiallyDeferred:
    case IsUnique:
    case SequenceCycle:
    case Strict:
    case WithoutRowid:
    case AutoIncrement:
    case Invisible:
    case PrivilegesRead:
      return true;
    default:
      return false;
  }
}

namespace {

// The words of the table in the header, by object type and property.
constexpr const char* kTableKinds[] = {"table", "partitioned table", "unlogged table", "virtual table",
                                       "system-versioned table"};
constexpr const char* kRowFormats[] = {"DYNAMIC", "COMPACT", "REDUNDANT", "COMPRESSED", "FIXED", "PAGE"};
constexpr const char* kViewKinds[] = {"view", "materialized view"};
constexpr const char* kCheckOptions[] = {"CASCADED", "LOCAL"};
constexpr const char* kGeneratedKinds[] = {"STORED", "VIRTUAL"};
constexpr const char* kIdentities[] = {"ALWAYS", "BY DEFAULT"};
constexpr const char* kKeyTypes[] = {"PRIMARY KEY", "UNIQUE"};
constexpr const char* kActions[] = {"NO ACTION", "RESTRICT", "CASCADE", "SET NULL", "SET DEFAULT"};
constexpr const char* kMatchTypes[] = {"SIMPLE", "FULL", "PARTIAL"};
constexpr const char* kIndexMethods[] = {"btree", "hash", "gist", "spgist", "gin", "brin", "fulltext", "spatial"};
constexpr const char* kSecurityTypes[] = {"DEFINER", "INVOKER"};
constexpr const char* kTimings[] = {"BEFORE", "AFTER", "INSTEAD OF"};
constexpr const char* kEvents[] = {"INSERT", "DELETE", "UPDATE", "TRUNCATE"};
constexpr const char* kRoutineKinds[] = {"function", "procedure", "aggregate", "window function"};
constexpr const char* kParameterModes[] = {"IN", "OUT", "INOUT", "VARIADIC", "TABLE"};
constexpr const char* kTypeKinds[] = {"composite", "enum", "domain", "range"};

struct Words {
  int objectType;                       // objects that carry the property
  int propertyId;                       // the enum-like property
  std::span<const char* const> values;  // its words there
};

constexpr Words kWords[] = {
    {Table, TableKind, kTableKinds},         {Table, RowFormat, kRowFormats},
    {View, TableKind, kViewKinds},           {View, CheckOption, kCheckOptions},
    {View, SecurityType, kSecurityTypes},    {Column, GeneratedKind, kGeneratedKinds},
    {Column, Identity, kIdentities},         {Key, KeyType, kKeyTypes},
    {ForeignKey, OnDelete, kActions},        {ForeignKey, OnUpdate, kActions},
    {ForeignKey, MatchType, kMatchTypes},    {Index, IndexMethod, kIndexMethods},
    {Key, IndexMethod, kIndexMethods},       {Trigger, TriggerTiming, kTimings},
    {Trigger, TriggerEvents, kEvents},       {Routine, RoutineKind, kRoutineKinds},
    {Routine, SecurityType, kSecurityTypes}, {Parameter, ParameterMode, kParameterModes},
    {UserType, TypeKind, kTypeKinds},
};

// UTF-16 or UTF-8 text against an ASCII word, unit by unit.
template <typename Char>
bool StartsWith(std::basic_string_view<Char> text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (text[i] != static_cast<Char>(static_cast<unsigned char>(word[i]))) return false;
  return true;
}

template <typename Char>
bool Equals(std::basic_string_view<Char> text, std::string_view word) {
  return text.size() == word.size() && StartsWith(text, word);
}

// Whether the text is event words joined by " OR ", none of them among
// `seen` (bits by index in kEvents) or twice. "UPDATE OF " is followed by
// the database's column list, which is free text (a quoted name may hold
// " OR " or an event word): whatever follows it is taken as part of it.
template <typename Char>
bool IsEventList(std::basic_string_view<Char> text, unsigned seen) {
  for (std::size_t i = 0; i < std::size(kEvents); ++i) {
    const std::string_view event = kEvents[i];
    const unsigned bit = 1u << i;
    if ((seen & bit) != 0 || !StartsWith(text, event)) continue;
    const std::basic_string_view<Char> rest = text.substr(event.size());
    if (rest.empty()) return true;
    if (StartsWith(rest, " OR ") && IsEventList(rest.substr(4), seen | bit)) return true;
    if (event == "UPDATE" && StartsWith(rest, " OF ")) return rest.size() > 4;
  }
  return false;
}

template <typename Char>
bool IsAllowed(int objectType, int propertyId, std::basic_string_view<Char> value) {
  if (!IsEnumLike(propertyId)) return true;
  const std::span<const char* const> values = AllowedValues(objectType, propertyId);
  if (values.empty()) return false;
  if (propertyId == TriggerEvents) return IsEventList(value, 0);
  for (const char* word : values)
    if (Equals(value, word)) return true;
  return false;
}

}  // namespace

std::span<const char* const> AllowedValues(int objectType, int propertyId) {
  for (const Words& words : kWords)
    if (words.objectType == objectType && words.propertyId == propertyId) return words.values;
  return {};
}

bool IsEnumLike(int propertyId) {
  for (const Words& words : kWords)
    if (words.propertyId == propertyId) return true;
  return false;
}

bool IsAllowedValue(int objectType, int propertyId, std::u16string_view value) {
  return IsAllowed(objectType, propertyId, value);
}

bool IsAllowedValue(int objectType, int propertyId, std::string_view value) {
  return IsAllowed(objectType, propertyId, value);
}

}  // namespace model

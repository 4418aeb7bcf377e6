#include <writers/ModelValues.h>

#include <tillerhold/ModelVocabulary.h>

namespace writers::values {

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string_view Trimmed(std::u16string_view value) {
  while (!value.empty() && (value.front() == u' ' || value.front() == u'\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == u' ' || value.back() == u'\t')) value.remove_suffix(1);
  return value;
}

// The first of the words the value is, as its index; words.size() when none.
template <std::size_t N>
std::size_t WordIndex(std::u16string_view value, const std::u16string_view (&words)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (SameWord(value, words[i])) return i;
  return N;
}

}  // namespace

std::u16string Text(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr || property->GetValueKind() != CMOProperty::ValueKind::WString) return {};
  return std::u16string(property->WStringRef());
}

bool HasText(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  return property != nullptr && property->GetValueKind() == CMOProperty::ValueKind::WString;
}

std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr) return std::nullopt;
  if (property->GetValueKind() == CMOProperty::ValueKind::Integer) return property->GetIntegerValue();
  if (property->GetValueKind() != CMOProperty::ValueKind::WString) return std::nullopt;
  std::u16string_view text = Trimmed(property->WStringRef());
  const bool negative = !text.empty() && text.front() == u'-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

bool Flag(const CMOObject& object, int propertyId) { return Integer(object, propertyId).value_or(0) != 0; }

std::vector<int> Ids(const CMOObject& object, int propertyId) {
  const CMOProperty* property = object.GetProperty(propertyId);
  if (property == nullptr || property->GetValueKind() != CMOProperty::ValueKind::ObjectIdVector) return {};
  return property->GetObjectIdVectorValue();
}

std::u16string Name(const CMOObject& object) { return Text(object, model::Name); }

bool SameWord(std::u16string_view value, std::u16string_view word) {
  value = Trimmed(value);
  if (value.size() != word.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i)
    if (LowerAscii(value[i]) != LowerAscii(word[i])) return false;
  return true;
}

std::u16string VocabularyWord(const CMOObject& object, int propertyId) {
  const std::u16string& value = Text(object, propertyId);
  for (const char* word : model::AllowedValues(object.GetObjectType(), propertyId)) {
    const std::u16string listed(word, word + std::char_traits<char>::length(word));
    if (SameWord(value, listed)) return listed;
  }
  return {};
}

KeyKind KeyKindOf(const CMOObject& key) {
  static constexpr std::u16string_view kWords[] = {u"PRIMARY KEY", u"UNIQUE"};
  switch (WordIndex(Text(key, model::KeyType), kWords)) {
    case 0: return KeyKind::PrimaryKey;
    case 1: return KeyKind::Unique;
    default: return KeyKind::Unknown;
  }
}

RelationKind RelationKindOf(const CMOObject& object) {
  static constexpr std::u16string_view kWords[] = {u"table",         u"unlogged table",         u"partitioned table",
                                                   u"virtual table", u"system-versioned table", u"view",
                                                   u"materialized view"};
  if (!HasText(object, model::TableKind))
    return object.GetObjectType() == model::View ? RelationKind::View : RelationKind::Table;
  switch (WordIndex(Text(object, model::TableKind), kWords)) {
    case 0: return RelationKind::Table;
    case 1: return RelationKind::UnloggedTable;
    case 2: return RelationKind::PartitionedTable;
    case 3: return RelationKind::VirtualTable;
    case 4: return RelationKind::SystemVersionedTable;
    case 5: return RelationKind::View;
    case 6: return RelationKind::MaterializedView;
    default: return RelationKind::Unknown;
  }
}

TypeKind TypeKindOf(const CMOObject& type) {
  static constexpr std::u16string_view kWords[] = {u"composite", u"enum", u"domain", u"range"};
  switch (WordIndex(Text(type, model::TypeKind), kWords)) {
    case 0: return TypeKind::Composite;
    case 1: return TypeKind::Enum;
    case 2: return TypeKind::Domain;
    case 3: return TypeKind::Range;
    default: return TypeKind::Unknown;
  }
}

RoutineKind RoutineKindOf(const CMOObject& routine) {
  static constexpr std::u16string_view kWords[] = {u"function", u"procedure", u"aggregate", u"window function"};
  if (!HasText(routine, model::RoutineKind)) return RoutineKind::Function;
  switch (WordIndex(Text(routine, model::RoutineKind), kWords)) {
    case 0: return RoutineKind::Function;
    case 1: return RoutineKind::Procedure;
    case 2: return RoutineKind::Aggregate;
    case 3: return RoutineKind::WindowFunction;
    default: return RoutineKind::Unknown;
  }
}

ParameterMode ParameterModeOf(const CMOObject& parameter) {
  static constexpr std::u16string_view kWords[] = {u"IN", u"OUT", u"INOUT", u"VARIADIC", u"TABLE"};
  if (!HasText(parameter, model::ParameterMode)) return ParameterMode::In;
  switch (WordIndex(Text(parameter, model::ParameterMode), kWords)) {
    case 0: return ParameterMode::In;
    case 1: return ParameterMode::Out;
    case 2: return ParameterMode::InOut;
    case 3: return ParameterMode::Variadic;
    case 4: return ParameterMode::Table;
    default: return ParameterMode::Unknown;
  }
}

bool IsArgument(const CMOObject& parameter) {
  const ParameterMode mode = ParameterModeOf(parameter);
  return mode == ParameterMode::In || mode == ParameterMode::InOut || mode == ParameterMode::Variadic;
}

Identity IdentityOf(const CMOObject& column) {
  static constexpr std::u16string_view kWords[] = {u"ALWAYS", u"BY DEFAULT"};
  const std::u16string& text = Text(column, model::Identity);
  if (Trimmed(text).empty()) return Identity::None;
  switch (WordIndex(text, kWords)) {
    case 0: return Identity::Always;
    case 1: return Identity::ByDefault;
    default: return Identity::Unknown;
  }
}

GeneratedKind GeneratedKindOf(const CMOObject& column) {
  if (!HasText(column, model::GeneratedExpression)) return GeneratedKind::None;
  return SameWord(Text(column, model::GeneratedKind), u"VIRTUAL") ? GeneratedKind::Virtual : GeneratedKind::Stored;
}

std::u16string ReferentialAction(const CMOObject& foreignKey, int propertyId) {
  static constexpr std::u16string_view kWords[] = {u"CASCADE", u"SET NULL", u"SET DEFAULT", u"RESTRICT"};
  const std::size_t index = WordIndex(Text(foreignKey, propertyId), kWords);
  return index < std::size(kWords) ? std::u16string(kWords[index]) : std::u16string();
}

std::u16string MatchClause(const CMOObject& foreignKey) {
  static constexpr std::u16string_view kWords[] = {u"FULL", u"PARTIAL"};
  const std::size_t index = WordIndex(Text(foreignKey, model::MatchType), kWords);
  return index < std::size(kWords) ? std::u16string(kWords[index]) : std::u16string();
}

}  // namespace writers::values

// Reading a model's properties, and the one place where the writers read
// the enum-like text values the plug-ins write (a key's type, a table's
// kind, a column's identity, a referential action, ...).
//
// The plug-ins spell these values in words ("PRIMARY KEY", "unlogged
// table", "BY DEFAULT", "SET NULL"); which letter case a value has is not
// part of what it means. Every value is compared here, ignoring ASCII
// letter case and blanks at either end, so that a change of spelling in a
// plug-in is met in this file only. A value none of the words below match
// reads as Unknown (or is handed on as the model holds it, where the
// writers need the text).
//
// Thread safety: plain functions without state.
#pragma once

#include <tillerhold/CMOObject.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace writers::values {

// ---- Properties of any kind.

// The text, or empty when the property is absent or holds no text. A copy:
// the model holds its texts and id lists in compact blocks, not as strings.
std::u16string Text(const CMOObject& object, int propertyId);
// Whether the object has the property with a text value (possibly empty).
bool HasText(const CMOObject& object, int propertyId);
// The integer; a text that holds a decimal number counts too.
std::optional<std::int64_t> Integer(const CMOObject& object, int propertyId);
// The integer as a flag: true for a value other than 0; false when absent.
bool Flag(const CMOObject& object, int propertyId);
// The object ids; empty when absent or not a list of ids.
std::vector<int> Ids(const CMOObject& object, int propertyId);
// The object's name (model::Name); empty when it has none.
std::u16string Name(const CMOObject& object);

// ASCII letter case ignored, blanks at either end of `value` ignored.
bool SameWord(std::u16string_view value, std::u16string_view word);

// ---- Enum-like values.

// The word model::AllowedValues lists for the property on the object's
// type that the value spells, in the vocabulary's spelling ("Dynamic" is
// "DYNAMIC"); empty when the property is absent or spells none of them.
std::u16string VocabularyWord(const CMOObject& object, int propertyId);

// model::KeyType of a key.
enum class KeyKind { Unknown, PrimaryKey, Unique };
KeyKind KeyKindOf(const CMOObject& key);

// model::TableKind of a table or view. A view without the property is a
// View, a table without it a Table.
enum class RelationKind {
  Unknown, Table, UnloggedTable, PartitionedTable, VirtualTable, SystemVersionedTable, View, MaterializedView
};
RelationKind RelationKindOf(const CMOObject& object);

// model::TypeKind of a user-defined type.
enum class TypeKind { Unknown, Composite, Enum, Domain, Range };
TypeKind TypeKindOf(const CMOObject& type);

// model::RoutineKind of a routine; Function when the property is absent.
enum class RoutineKind { Unknown, Function, Procedure, Aggregate, WindowFunction };
RoutineKind RoutineKindOf(const CMOObject& routine);

// model::ParameterMode of a parameter; In when the property is absent.
enum class ParameterMode { Unknown, In, Out, InOut, Variadic, Table };
ParameterMode ParameterModeOf(const CMOObject& parameter);
// Whether the parameter is one of the routine's arguments (IN, INOUT,
// VARIADIC): what tells two routines of one name apart.
bool IsArgument(const CMOObject& parameter);

// model::Identity of a column: None when the property is absent or empty.
enum class Identity { None, Unknown, Always, ByDefault };
Identity IdentityOf(const CMOObject& column);

// model::GeneratedKind of a generated column (one with a
// GeneratedExpression): Stored when the property is absent, as a plug-in
// whose database keeps only stored ones writes no kind.
enum class GeneratedKind { None, Stored, Virtual };
GeneratedKind GeneratedKindOf(const CMOObject& column);

// A referential action (model::OnDelete, model::OnUpdate) in upper case
// as SQL writes it ("CASCADE", "SET NULL"); empty when absent, when it is
// NO ACTION (what SQL does when none is written) or a word none of the
// dialects knows (then the model's text is not SQL to hand on).
std::u16string ReferentialAction(const CMOObject& foreignKey, int propertyId);

// model::MatchType as SQL writes it ("FULL", "PARTIAL"); empty when absent,
// SIMPLE (the default) or NONE (SQLite's word for no MATCH clause).
std::u16string MatchClause(const CMOObject& foreignKey);

}  // namespace writers::values

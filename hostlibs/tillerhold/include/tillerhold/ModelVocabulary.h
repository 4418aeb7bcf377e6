// The model vocabulary: the object types and property ids that the module,
// the database plug-ins and the host agree on, their names for output, and
// the values of the properties whose text is one of a few words. The
// numbers are fixed once given out: models written by one build are read by
// the next, so a number is never changed or reused, and a value listed
// below is never respelt.
#pragma once

#include <span>
#include <string_view>

namespace model {

enum ObjectType : int {
  Model = 1,             // the root object of every model
  Schema = 59,
  Table = 60,
  Column = 61,
  Key = 62,              // primary key or unique constraint (see KeyType)
  ForeignKey = 63,
  Index = 64,
  View = 65,
  Trigger = 66,
  Sequence = 67,
  Routine = 68,          // function or procedure (see RoutineKind)
  Parameter = 69,
  UserType = 70,
  TableSpace = 71,
  Partition = 72,
  CheckConstraint = 73,
  Grant = 74,            // privileges one grantee holds on its parent object (schema, table, view,
                         // sequence, column, routine, type); named after the grantee
};

// Value kinds: "text" unless noted; "integer" is CMOProperty's integer value,
// "ids" a list of model object ids; "word" a text that is one of the values
// listed for it under "Words" below.
enum PropertyId : int {
  Name = 1,
  DataType = 2,
  Nullable = 3,             // integer 0/1
  DefaultValue = 4,
  Position = 5,             // integer, from 1
  PrimaryKeyPosition = 6,   // integer, from 1
  KeyType = 7,              // word
  KeyColumns = 8,           // ids
  ReferencedKey = 9,        // ids, one
  ReferencedTable = 10,     // ids, one
  OnDelete = 11,            // word
  OnUpdate = 12,            // word
  MatchType = 13,           // word
  Deferrable = 14,          // integer 0/1
  InitiallyDeferred = 15,   // integer 0/1
  IsUnique = 16,            // integer 0/1
  IndexMethod = 17,         // word
  Predicate = 18,
  Expressions = 19,
  Definition = 20,          // SQL text
  Comment = 21,
  Collation = 22,
  Identity = 23,            // word
  GeneratedExpression = 24,
  TableKind = 25,           // word
  TableSpaceRef = 26,       // ids
  ReturnType = 27,
  Language = 28,
  RoutineKind = 29,         // word
  ParameterMode = 30,       // word
  ParameterList = 31,
  PartitionBound = 32,
  AttributeList = 33,
  EnumLabels = 34,
  BaseType = 35,
  CheckExpression = 36,
  TriggerTiming = 37,       // word
  TriggerEvents = 38,       // words joined by " OR " (see below)
  SequenceStart = 39,
  SequenceIncrement = 40,
  SequenceMin = 41,
  SequenceMax = 42,
  SequenceCycle = 43,       // integer 0/1
  IndexColumns = 44,        // ids
  ForeignKeyColumns = 45,   // ids
  ReferencedColumns = 46,   // ids
  TypeKind = 47,            // word
  PartitionOf = 48,         // ids
  Owner = 49,
  SqlText = 50,             // the full CREATE text as the database stores it
  GeneratedKind = 51,       // word: how a generated column keeps its value
  Strict = 52,              // integer 0/1: the table enforces its columns' declared types (SQLite STRICT)
  WithoutRowid = 53,        // integer 0/1: the table is stored by its primary key, without a rowid
  CheckOption = 54,         // word: what a view's WITH CHECK OPTION checks; absent: no check option
  RowFormat = 55,           // word: how the storage engine lays out a table's rows
  CharacterSet = 56,        // character set of a text column, or a schema's default
  AutoIncrement = 57,       // integer 0/1: the column takes the next number when none is given
  Engine = 58,              // the storage engine of a table, as the database names it ("InnoDB", "Aria")
  SecurityType = 59,        // word: whose rights a view or routine runs with
  TriggerOrder = 60,        // integer, from 1: the order in which the triggers of one table, timing and
                            // event fire; absent: the database orders them itself (e.g. by name)
  PrefixLengths = 61,       // per index column, comma-separated: the prefix length indexed, 0 for the whole column
  DescendingColumns = 62,   // ids: the index columns kept in descending order
  Invisible = 63,           // integer 0/1: an index the optimizer ignores, a column SELECT * leaves out
  UpdateExpression = 64,    // what a column is set to when its row is updated (ON UPDATE current_timestamp())
  SqlMode = 65,             // the session settings a routine's or trigger's body is read under (MariaDB's sql_mode)
  OwnedBy = 66,             // ids, one: the column a sequence belongs to (dropped with it)
  Privileges = 67,          // on a grant: the privileges held, upper-case keywords joined by ", " ("INSERT, SELECT")
  GrantOption = 68,         // on a grant: those of its privileges the grantee may grant on, joined likewise
  PrivilegesRead = 69,      // integer 0/1, on the root: the import read owners and grants (grant objects); without
                            // it the model says nothing of grants, whatever the database held
  IncludedColumns = 180,    // ids: included (non-key) columns of an index
  ServerName = 214,         // on the root object
  DatabaseName = 215,       // on the root object
  SqlDialectName = 216,     // on the root object: the SQL dialect of the database the model was read from
                            // ("postgresql", "sqlite", "mariadb", "standard"); absent in models saved before
};

// The lowerCamel name of an object type or property id for output ("table",
// "foreignKey", "name", "includedColumns"), or null for a number the
// vocabulary does not know. The text is static.
const char* ObjectTypeName(int objectType);
const char* PropertyName(int propertyId);

// Whether the property is a flag: an integer, 0 for no and 1 for yes (the
// properties marked "integer 0/1" above).
bool IsFlag(int propertyId);

// ---- Words: the values of the enum-like text properties.
//
// Every plug-in writes these properties with exactly these values (ASCII
// case included), whatever its database calls them, so that writers and
// readers of the model can rely on them. Spelling: what SQL writes as
// keywords is upper case as SQL writes it ("NO ACTION", "INSTEAD OF",
// "PRIMARY KEY"); the kinds of objects are lower-case words ("partitioned
// table", "window function", "btree"). A property an object lacks means
// its database did not say, or, where noted, the default.
//
//   on          property            values
//   Table       TableKind           "table", "partitioned table", "unlogged table", "virtual table",
//                                   "system-versioned table"  (keeps the history of its rows)
//   Table       RowFormat           "DYNAMIC", "COMPACT", "REDUNDANT", "COMPRESSED", "FIXED", "PAGE"
//   View        TableKind           "view", "materialized view"
//   View        CheckOption         "CASCADED", "LOCAL"
//   View        SecurityType        "DEFINER", "INVOKER"
//   Column      GeneratedKind       "STORED", "VIRTUAL"
//   Column      Identity            "ALWAYS", "BY DEFAULT"
//   Key         KeyType             "PRIMARY KEY", "UNIQUE"
//   ForeignKey  OnDelete, OnUpdate  "NO ACTION", "RESTRICT", "CASCADE", "SET NULL", "SET DEFAULT"
//   ForeignKey  MatchType           "SIMPLE", "FULL", "PARTIAL"  (SIMPLE: no MATCH clause, or a
//                                   database that, like SQLite, treats every foreign key so)
//   Index, Key  IndexMethod         "btree", "hash", "gist", "spgist", "gin", "brin"  (PostgreSQL's
//                                   own access methods; one an extension adds keeps its own name
//                                   and is not listed), "fulltext", "spatial"
//   Trigger     TriggerTiming       "BEFORE", "AFTER", "INSTEAD OF"
//   Trigger     TriggerEvents       "INSERT", "DELETE", "UPDATE", "TRUNCATE": one or more, each at
//                                   most once, joined by " OR "; UPDATE may be followed by " OF "
//                                   and the column list as the database prints it, which runs to
//                                   the next " OR " and event word, or to the end
//                                   ("INSERT OR UPDATE OF a, b OR TRUNCATE")
//   Routine     RoutineKind         "function", "procedure", "aggregate", "window function"
//   Routine     SecurityType        "DEFINER", "INVOKER"
//   Parameter   ParameterMode       "IN", "OUT", "INOUT", "VARIADIC", "TABLE"
//   UserType    TypeKind            "composite", "enum", "domain", "range"
//
// A plug-in for another database maps its own words onto these and adds a
// value here (in the same spelling) only for a notion none of them names.

// The values of the property on objects of the type, in the order of the
// table above (for TriggerEvents, the event words). Empty when the property
// is not enum-like on that type. The texts are static ASCII.
std::span<const char* const> AllowedValues(int objectType, int propertyId);
// Whether the property is enum-like on some object type.
bool IsEnumLike(int propertyId);
// Whether the text may stand as the property's value on an object of the
// type: for an enum-like property, one of its values there (TriggerEvents:
// a list as described); false on a type where the property takes no
// words. True for every other property, whose text is free. Case matters.
bool IsAllowedValue(int objectType, int propertyId, std::u16string_view value);
bool IsAllowedValue(int objectType, int propertyId, std::string_view value);

}  // namespace model

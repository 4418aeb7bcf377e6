// The model vocabulary: the object types and property ids that the module,
// the database plug-ins and the host agree on, and their names for output.
// The numbers are fixed once given out: models written by one build are read
// by the next, so a number is never changed or reused.
#pragma once

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
};

// Value kinds: "text" unless noted; "integer" is CMOProperty's integer value,
// "ids" a list of model object ids.
enum PropertyId : int {
  Name = 1,
  DataType = 2,
  Nullable = 3,             // integer 0/1
  DefaultValue = 4,
  Position = 5,             // integer, from 1
  PrimaryKeyPosition = 6,   // integer, from 1
  KeyType = 7,              // "PRIMARY KEY" or "UNIQUE"
  KeyColumns = 8,           // ids
  ReferencedKey = 9,        // ids, one
  ReferencedTable = 10,     // ids, one
  OnDelete = 11,
  OnUpdate = 12,
  MatchType = 13,
  Deferrable = 14,          // integer 0/1
  InitiallyDeferred = 15,   // integer 0/1
  IsUnique = 16,            // integer 0/1
  IndexMethod = 17,
  Predicate = 18,
  Expressions = 19,
  Definition = 20,          // SQL text
  Comment = 21,
  Collation = 22,
  Identity = 23,
  GeneratedExpression = 24,
  TableKind = 25,
  TableSpaceRef = 26,       // ids
  ReturnType = 27,
  Language = 28,
  RoutineKind = 29,
  ParameterMode = 30,
  ParameterList = 31,
  PartitionBound = 32,
  AttributeList = 33,
  EnumLabels = 34,
  BaseType = 35,
  CheckExpression = 36,
  TriggerTiming = 37,
  TriggerEvents = 38,
  SequenceStart = 39,
  SequenceIncrement = 40,
  SequenceMin = 41,
  SequenceMax = 42,
  SequenceCycle = 43,       // integer 0/1
  IndexColumns = 44,        // ids
  ForeignKeyColumns = 45,   // ids
  ReferencedColumns = 46,   // ids
  TypeKind = 47,
  PartitionOf = 48,         // ids
  Owner = 49,
  SqlText = 50,             // the full CREATE text as the database stores it
  GeneratedKind = 51,       // "STORED" or "VIRTUAL": how a generated column keeps its value
  Strict = 52,              // integer 0/1: the table enforces its columns' declared types (SQLite STRICT)
  WithoutRowid = 53,        // integer 0/1: the table is stored by its primary key, without a rowid
  Engine = 54,              // the storage engine of a table (MariaDB: "InnoDB", "Aria", ...)
  RowFormat = 55,           // how the engine lays out a table's rows (MariaDB: "Dynamic", "Compressed", ...)
  CharacterSet = 56,        // character set of a text column, or a schema's default
  AutoIncrement = 57,       // integer 0/1: the column takes the next number when none is given
  CheckOption = 58,         // a view's WITH CHECK OPTION: "NONE", "CASCADED" or "LOCAL"
  SecurityType = 59,        // whose rights a view or routine runs with: "DEFINER" or "INVOKER"
  TriggerOrder = 60,        // integer, from 1: the order among triggers of one table, timing and event
  PrefixLengths = 61,       // per index column, comma-separated: the prefix length indexed, 0 for the whole column
  DescendingColumns = 62,   // ids: the index columns kept in descending order
  Invisible = 63,           // integer 0/1: an index the optimizer ignores, a column SELECT * leaves out
  IncludedColumns = 180,    // ids: included (non-key) columns of an index
  ServerName = 214,         // on the root object
  DatabaseName = 215,       // on the root object
};

// The lowerCamel name of an object type or property id for output ("table",
// "foreignKey", "name", "includedColumns"), or null for a number the
// vocabulary does not know. The text is static.
const char* ObjectTypeName(int objectType);
const char* PropertyName(int propertyId);

}  // namespace model

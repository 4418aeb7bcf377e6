#include <tillerhold/ModelVocabulary.h>

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
    case Engine: return "engine";
    case RowFormat: return "rowFormat";
    case CharacterSet: return "characterSet";
    case AutoIncrement: return "autoIncrement";
    case CheckOption: return "checkOption";
    case SecurityType: return "securityType";
    case TriggerOrder: return "triggerOrder";
    case PrefixLengths: return "prefixLengths";
    case DescendingColumns: return "descendingColumns";
    case Invisible: return "invisible";
    case IncludedColumns: return "includedColumns";
    case ServerName: return "serverName";
    case DatabaseName: return "databaseName";
  }
  return nullptr;
}

}  // namespace model

#include "MariaCatalog.h"

#include "MariaText.h"

#include <tillerhold/ModelVocabulary.h>

#include <string_view>

namespace qm::mariadb {
namespace {

// A statement template: {scope} is replaced with the scope filter on the
// statement's schema column, {scope:COLUMN} with the filter on that column.
// information_schema is filled per table of the join, and only a filter on
// the table's own schema column keeps the server from reading every table
// of every database into it: each table joined or read in a subquery gets
// the scope of its own.
struct Statement {
  int id;
  int objectType;
  std::u16string_view name;
  std::u16string_view schemaColumn;
  std::u16string_view text;
};

// information_schema has no dictionary of sequences in this version: they
// are the tables of type SEQUENCE. Columns of sequences are left out.
#define QM_NOT_A_SEQUENCE(schema, table)                                                              \
  u"(" schema u", " table u") NOT IN (SELECT q.TABLE_SCHEMA, q.TABLE_NAME FROM information_schema.TABLES q " \
  u"WHERE {scope:q.TABLE_SCHEMA} AND q.TABLE_TYPE = 'SEQUENCE') "

const Statement kStatements[] = {
    {kSchemas, model::Schema, u"schemas", u"s.SCHEMA_NAME",
     u"SELECT s.SCHEMA_NAME AS schema_name, s.DEFAULT_CHARACTER_SET_NAME AS character_set, "
     u"s.DEFAULT_COLLATION_NAME AS collation_name, s.SCHEMA_COMMENT AS comment "
     u"FROM information_schema.SCHEMATA s WHERE {scope} ORDER BY s.SCHEMA_NAME"},

    // CREATE_OPTIONS says "partitioned" for a partitioned table.
    {kTables, model::Table, u"tables", u"t.TABLE_SCHEMA",
     u"SELECT t.TABLE_SCHEMA AS schema_name, t.TABLE_NAME AS table_name, t.TABLE_TYPE AS table_type, "
     u"t.ENGINE AS engine, t.ROW_FORMAT AS row_format, t.TABLE_COLLATION AS collation_name, "
     u"t.CREATE_OPTIONS AS create_options, t.TABLE_COMMENT AS comment "
     u"FROM information_schema.TABLES t WHERE {scope} AND t.TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED') "
     u"ORDER BY t.TABLE_SCHEMA, t.TABLE_NAME"},

    {kViews, model::View, u"views", u"v.TABLE_SCHEMA",
     u"SELECT v.TABLE_SCHEMA AS schema_name, v.TABLE_NAME AS view_name, v.VIEW_DEFINITION AS definition, "
     u"v.CHECK_OPTION AS check_option, v.SECURITY_TYPE AS security_type, v.DEFINER AS definer "
     u"FROM information_schema.VIEWS v WHERE {scope} ORDER BY v.TABLE_SCHEMA, v.TABLE_NAME"},

    {kSequences, model::Sequence, u"sequences", u"t.TABLE_SCHEMA",
     u"SELECT t.TABLE_SCHEMA AS schema_name, t.TABLE_NAME AS sequence_name, t.TABLE_COMMENT AS comment "
     u"FROM information_schema.TABLES t WHERE {scope} AND t.TABLE_TYPE = 'SEQUENCE' "
     u"ORDER BY t.TABLE_SCHEMA, t.TABLE_NAME"},

    // Made from the sequences found (SequenceValuesText).
    {kSequenceValues, 0, u"sequence values", u"", u""},

    // COLUMN_DEFAULT is as MariaDB writes the default: a literal quoted
    // ('x', 3), an expression as written (current_timestamp()), NULL as
    // the word NULL; no default is SQL NULL. EXTRA holds auto_increment,
    // "on update <expression>", INVISIBLE and the kind of a generated
    // column.
    {kColumns, model::Column, u"columns", u"c.TABLE_SCHEMA",
     u"SELECT c.TABLE_SCHEMA AS schema_name, c.TABLE_NAME AS table_name, c.COLUMN_NAME AS column_name, "
     u"c.ORDINAL_POSITION AS position, c.COLUMN_TYPE AS data_type, c.IS_NULLABLE AS is_nullable, "
     u"c.COLUMN_DEFAULT AS default_value, c.EXTRA AS extra, c.IS_GENERATED AS is_generated, "
     u"c.GENERATION_EXPRESSION AS generation_expression, c.CHARACTER_SET_NAME AS character_set, "
     u"c.COLLATION_NAME AS collation_name, c.COLUMN_COMMENT AS comment "
     u"FROM information_schema.COLUMNS c WHERE {scope} AND " QM_NOT_A_SEQUENCE(u"c.TABLE_SCHEMA", u"c.TABLE_NAME")
     u"ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, c.ORDINAL_POSITION"},

    // Every unique index is a key (information_schema lists each as a
    // UNIQUE constraint); the primary key is named PRIMARY. COLLATION is
    // D for a descending part; SUB_PART the prefix length.
    {kKeys, model::Key, u"keys", u"i.TABLE_SCHEMA",
     u"SELECT i.TABLE_SCHEMA AS schema_name, i.TABLE_NAME AS table_name, i.INDEX_NAME AS key_name, "
     u"i.SEQ_IN_INDEX AS column_position, i.COLUMN_NAME AS column_name, i.COLLATION AS column_order, "
     u"i.SUB_PART AS prefix_length, i.INDEX_TYPE AS index_type, i.IGNORED AS ignored, i.INDEX_COMMENT AS comment "
     u"FROM information_schema.STATISTICS i WHERE {scope} AND i.NON_UNIQUE = 0 "
     u"ORDER BY i.TABLE_SCHEMA, i.TABLE_NAME, i.INDEX_NAME = 'PRIMARY' DESC, i.INDEX_NAME, i.SEQ_IN_INDEX"},

    // LEVEL says whether the check was written with a column (named after
    // it) or with the table.
    {kCheckConstraints, model::CheckConstraint, u"check constraints", u"k.CONSTRAINT_SCHEMA",
     u"SELECT k.CONSTRAINT_SCHEMA AS schema_name, k.TABLE_NAME AS table_name, k.CONSTRAINT_NAME AS constraint_name, "
     u"k.LEVEL AS check_level, k.CHECK_CLAUSE AS check_expression "
     u"FROM information_schema.CHECK_CONSTRAINTS k WHERE {scope} "
     u"ORDER BY k.CONSTRAINT_SCHEMA, k.TABLE_NAME, k.CONSTRAINT_NAME"},

    // The referenced key is named by UNIQUE_CONSTRAINT_NAME (an index of
    // the referenced table, which InnoDB lets be a non-unique one). Joined
    // as a table, KEY_COLUMN_USAGE is filled from every table of every
    // database (the join's conditions do not narrow what the server reads):
    // its rows are read once, for the scope, as a derived table that the
    // LIMIT keeps the server from merging into the join (a constraint lives
    // in its table's schema).
    {kForeignKeys, model::ForeignKey, u"foreign keys", u"r.CONSTRAINT_SCHEMA",
     u"SELECT r.CONSTRAINT_SCHEMA AS schema_name, r.TABLE_NAME AS table_name, r.CONSTRAINT_NAME AS constraint_name, "
     u"u.ORDINAL_POSITION AS column_position, u.COLUMN_NAME AS column_name, "
     u"u.REFERENCED_TABLE_SCHEMA AS referenced_schema, u.REFERENCED_TABLE_NAME AS referenced_table, "
     u"u.REFERENCED_COLUMN_NAME AS referenced_column, r.UNIQUE_CONSTRAINT_NAME AS referenced_key, "
     u"r.MATCH_OPTION AS match_option, r.UPDATE_RULE AS on_update, r.DELETE_RULE AS on_delete "
     u"FROM information_schema.REFERENTIAL_CONSTRAINTS r JOIN (SELECT k.TABLE_SCHEMA, k.TABLE_NAME, "
     u"k.CONSTRAINT_SCHEMA, k.CONSTRAINT_NAME, k.ORDINAL_POSITION, k.COLUMN_NAME, k.REFERENCED_TABLE_SCHEMA, "
     u"k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME FROM information_schema.KEY_COLUMN_USAGE k "
     u"WHERE {scope:k.TABLE_SCHEMA} AND k.REFERENCED_TABLE_NAME IS NOT NULL LIMIT 18446744073709551615) u "
     u"ON u.TABLE_SCHEMA = r.CONSTRAINT_SCHEMA AND u.TABLE_NAME = r.TABLE_NAME AND u.CONSTRAINT_SCHEMA = r.CONSTRAINT_SCHEMA "
     u"AND u.CONSTRAINT_NAME = r.CONSTRAINT_NAME "
     u"WHERE {scope} ORDER BY r.CONSTRAINT_SCHEMA, r.TABLE_NAME, r.CONSTRAINT_NAME, u.ORDINAL_POSITION"},

    {kIndexes, model::Index, u"indexes", u"i.TABLE_SCHEMA",
     u"SELECT i.TABLE_SCHEMA AS schema_name, i.TABLE_NAME AS table_name, i.INDEX_NAME AS index_name, "
     u"i.SEQ_IN_INDEX AS column_position, i.COLUMN_NAME AS column_name, i.COLLATION AS column_order, "
     u"i.SUB_PART AS prefix_length, i.INDEX_TYPE AS index_type, i.IGNORED AS ignored, i.INDEX_COMMENT AS comment "
     u"FROM information_schema.STATISTICS i WHERE {scope} AND i.NON_UNIQUE = 1 "
     u"ORDER BY i.TABLE_SCHEMA, i.TABLE_NAME, i.INDEX_NAME, i.SEQ_IN_INDEX"},

    // A table that is not partitioned has one row without a partition name.
    {kPartitions, model::Partition, u"partitions", u"p.TABLE_SCHEMA",
     u"SELECT p.TABLE_SCHEMA AS schema_name, p.TABLE_NAME AS table_name, p.PARTITION_NAME AS partition_name, "
     u"p.SUBPARTITION_NAME AS subpartition_name, p.PARTITION_ORDINAL_POSITION AS partition_position, "
     u"p.PARTITION_METHOD AS partition_method, p.PARTITION_EXPRESSION AS partition_expression, "
     u"p.SUBPARTITION_METHOD AS subpartition_method, p.SUBPARTITION_EXPRESSION AS subpartition_expression, "
     u"p.PARTITION_DESCRIPTION AS partition_description, p.PARTITION_COMMENT AS comment "
     u"FROM information_schema.PARTITIONS p WHERE {scope} AND p.PARTITION_NAME IS NOT NULL "
     u"ORDER BY p.TABLE_SCHEMA, p.TABLE_NAME, p.PARTITION_ORDINAL_POSITION, p.SUBPARTITION_ORDINAL_POSITION"},

    // ACTION_ORDER numbers the triggers of one table, timing and event;
    // SQL_MODE is the mode the body was written in (and is read in).
    {kTriggers, model::Trigger, u"triggers", u"g.EVENT_OBJECT_SCHEMA",
     u"SELECT g.EVENT_OBJECT_SCHEMA AS schema_name, g.EVENT_OBJECT_TABLE AS table_name, "
     u"g.TRIGGER_NAME AS trigger_name, g.ACTION_TIMING AS timing, g.EVENT_MANIPULATION AS event, "
     u"g.ACTION_ORDER AS action_order, g.ACTION_STATEMENT AS definition, g.DEFINER AS definer, "
     u"g.SQL_MODE AS sql_mode "
     u"FROM information_schema.TRIGGERS g WHERE {scope} "
     u"ORDER BY g.EVENT_OBJECT_SCHEMA, g.EVENT_OBJECT_TABLE, g.TRIGGER_NAME"},

    // DTD_IDENTIFIER is a function's full return type; SQL_MODE the mode
    // the body was written in.
    {kRoutines, model::Routine, u"routines", u"r.ROUTINE_SCHEMA",
     u"SELECT r.ROUTINE_SCHEMA AS schema_name, r.ROUTINE_NAME AS routine_name, r.ROUTINE_TYPE AS routine_type, "
     u"r.DTD_IDENTIFIER AS return_type, r.ROUTINE_BODY AS language_name, r.ROUTINE_DEFINITION AS body, "
     u"r.SECURITY_TYPE AS security_type, r.DEFINER AS definer, r.ROUTINE_COMMENT AS comment, "
     u"r.SQL_MODE AS sql_mode "
     u"FROM information_schema.ROUTINES r WHERE {scope} "
     u"ORDER BY r.ROUTINE_SCHEMA, r.ROUTINE_NAME, r.ROUTINE_TYPE"},

    // The body as the client sent it, in the client's character set at
    // creation; bodies in another character set keep information_schema's.
    {kRoutineBodies, 0, u"routine bodies", u"p.db",
     u"SELECT p.db AS schema_name, p.name AS routine_name, CAST(p.type AS CHAR) AS routine_type, "
     u"CASE p.character_set_client WHEN 'utf8mb4' THEN CONVERT(p.body USING utf8mb4) "
     u"WHEN 'utf8mb3' THEN CONVERT(p.body USING utf8mb3) WHEN 'utf8' THEN CONVERT(p.body USING utf8mb3) "
     u"WHEN 'latin1' THEN CONVERT(p.body USING latin1) WHEN 'ascii' THEN CONVERT(p.body USING ascii) "
     u"ELSE CONVERT(p.body_utf8 USING utf8mb3) END AS body "
     u"FROM mysql.proc p WHERE {scope} AND p.type IN ('FUNCTION', 'PROCEDURE') ORDER BY p.db, p.name, p.type"},

    // Position 0 is a function's result, not a parameter.
    {kParameters, model::Parameter, u"parameters", u"a.SPECIFIC_SCHEMA",
     u"SELECT a.SPECIFIC_SCHEMA AS schema_name, a.SPECIFIC_NAME AS routine_name, a.ROUTINE_TYPE AS routine_type, "
     u"a.ORDINAL_POSITION AS parameter_position, a.PARAMETER_MODE AS parameter_mode, "
     u"a.PARAMETER_NAME AS parameter_name, a.DTD_IDENTIFIER AS data_type "
     u"FROM information_schema.PARAMETERS a WHERE {scope} AND a.ORDINAL_POSITION > 0 "
     u"ORDER BY a.SPECIFIC_SCHEMA, a.SPECIFIC_NAME, a.ROUTINE_TYPE, a.ORDINAL_POSITION"},

    // What information_schema shows the account: every grant when it may
    // read the mysql schema, else its own. GRANTEE is 'user'@'host' as
    // written, quotes in the names not doubled.
    {kPrivileges, model::Grant, u"privileges", u"s.TABLE_SCHEMA",
     u"SELECT s.TABLE_SCHEMA AS schema_name, NULL AS table_name, NULL AS column_name, s.GRANTEE AS grantee, "
     u"s.PRIVILEGE_TYPE AS privilege_type, s.IS_GRANTABLE AS is_grantable "
     u"FROM information_schema.SCHEMA_PRIVILEGES s WHERE {scope} "
     u"UNION ALL SELECT t.TABLE_SCHEMA, t.TABLE_NAME, NULL, t.GRANTEE, t.PRIVILEGE_TYPE, t.IS_GRANTABLE "
     u"FROM information_schema.TABLE_PRIVILEGES t WHERE {scope:t.TABLE_SCHEMA} "
     u"UNION ALL SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.GRANTEE, c.PRIVILEGE_TYPE, c.IS_GRANTABLE "
     u"FROM information_schema.COLUMN_PRIVILEGES c WHERE {scope:c.TABLE_SCHEMA} "
     u"ORDER BY schema_name, table_name, column_name, grantee, privilege_type"},
};

#undef QM_NOT_A_SEQUENCE

const Statement* Find(int statementId) {
  for (const Statement& statement : kStatements)
    if (statement.id == statementId) return &statement;
  return nullptr;
}

}  // namespace

const std::vector<int>& StatementIds() {
  static const std::vector<int> ids = [] {
    std::vector<int> all;
    for (const Statement& statement : kStatements) all.push_back(statement.id);
    return all;
  }();
  return ids;
}

std::u16string StatementName(int statementId) {
  if (const Statement* statement = Find(statementId)) return std::u16string(statement->name);
  return u"statement " + Decimal(statementId);
}

int StatementObjectType(int statementId) {
  const Statement* statement = Find(statementId);
  return statement != nullptr ? statement->objectType : 0;
}

std::u16string StatementText(int statementId, const std::vector<std::u16string>& scope) {
  const Statement* statement = Find(statementId);
  if (statement == nullptr || statement->text.empty()) return {};
  std::u16string text(statement->text);
  const std::u16string filter = ScopeFilter(statement->schemaColumn, scope);
  if (const std::size_t pos = text.find(u"{scope}"); pos != std::u16string::npos) text.replace(pos, 7, filter);
  for (std::size_t pos = text.find(u"{scope:"); pos != std::u16string::npos; pos = text.find(u"{scope:", pos)) {
    const std::size_t end = text.find(u'}', pos);
    const std::u16string other = ScopeFilter(std::u16string_view(text).substr(pos + 7, end - pos - 7), scope);
    text.replace(pos, end + 1 - pos, other);
    pos += other.size();
  }
  return text;
}

std::u16string SequenceValuesText(const std::vector<SequenceName>& sequences) {
  std::u16string text;
  for (const SequenceName& sequence : sequences) {
    if (!text.empty()) text += u" UNION ALL ";
    text += u"SELECT " + HexLiteral(sequence.schema) + u" AS schema_name, " + HexLiteral(sequence.name) +
            u" AS sequence_name, CAST(s.start_value AS CHAR) AS start_value, CAST(s.increment AS CHAR) AS increment_by, "
            u"CAST(s.minimum_value AS CHAR) AS min_value, CAST(s.maximum_value AS CHAR) AS max_value, "
            u"s.cycle_option AS cycles, CAST(s.cache_size AS CHAR) AS cache_size FROM " +
            QuoteIdentifier(sequence.schema) + u"." + QuoteIdentifier(sequence.name) + u" s";
  }
  return text;
}

}  // namespace qm::mariadb

#include "PgCatalog.h"

#include <tillerhold/ModelVocabulary.h>

#include <string_view>

namespace qm::postgres {
namespace {

// Statement templates. {scope} is replaced with the schema filter on
// n.nspname (the namespace of the object read), {body} with the routine
// body expression for the server's version.
//
// Conventions: every result column has an alias (the record's keys are the
// names the driver reports); oids come as oid (an integer column), flags as
// int, and the single-character catalogue codes ("char") and arrays as text,
// since the driver has no plain mapping for them. Names are left as the
// name type. The connector empties search_path, so every name that is not
// in pg_catalog comes out schema-qualified (format_type, pg_get_expr, ...).
struct Statement {
  int id;
  int objectType;
  std::u16string_view name;
  std::u16string_view text;
};

// The comment of an object of the catalogue `catalog`, joined as d.
#define QM_COMMENT(object, catalog)                                                          \
  u"LEFT JOIN pg_description d ON d.objoid = " object u" AND d.classoid = '" catalog         \
  u"'::regclass AND d.objsubid = 0 "

// A column's collation when it is not its type's: bare for pg_catalog's,
// schema-qualified otherwise, each part quoted as needed.
#define QM_COLLATION(attribute, type)                                                        \
  u"CASE WHEN " attribute u".attcollation <> 0 AND " attribute u".attcollation <> " type     \
  u".typcollation THEN (SELECT CASE WHEN cn.nspname = 'pg_catalog' THEN quote_ident(co.collname) " \
  u"ELSE quote_ident(cn.nspname) || '.' || quote_ident(co.collname) END "                    \
  u"FROM pg_collation co JOIN pg_namespace cn ON cn.oid = co.collnamespace "                 \
  u"WHERE co.oid = " attribute u".attcollation) END"

// The referential action codes of pg_constraint.
#define QM_FK_ACTION(column)                                                                 \
  u"CASE " column u" WHEN 'r' THEN 'RESTRICT' WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' " \
  u"WHEN 'd' THEN 'SET DEFAULT' ELSE 'NO ACTION' END"

const Statement kStatements[] = {
    // Tablespaces belong to the cluster, not to a schema: all of them.
    {kTableSpaces, model::TableSpace, u"tablespaces",
     u"SELECT t.oid AS tablespace_oid, t.spcname AS tablespace_name, "
     u"pg_get_userbyid(t.spcowner) AS owner_name, shobj_description(t.oid, 'pg_tablespace') AS comment "
     u"FROM pg_tablespace t ORDER BY t.spcname"},

    {kSchemas, model::Schema, u"schemas",
     u"SELECT n.oid AS schema_oid, n.nspname AS schema_name, pg_get_userbyid(n.nspowner) AS owner_name, "
     u"d.description AS comment "
     u"FROM pg_namespace n " QM_COMMENT(u"n.oid", u"pg_namespace")
     u"WHERE {scope} ORDER BY n.nspname"},

    // Composite types made with CREATE TYPE (not the row types of tables),
    // enums, domains and ranges. A domain's constraints come as one text.
    {kTypes, model::UserType, u"types",
     u"SELECT t.oid AS type_oid, n.nspname AS schema_name, t.typname AS type_name, "
     u"CASE t.typtype WHEN 'c' THEN 'composite' WHEN 'e' THEN 'enum' WHEN 'd' THEN 'domain' "
     u"ELSE 'range' END AS type_kind, "
     u"CASE t.typtype WHEN 'd' THEN format_type(t.typbasetype, t.typtypmod) "
     u"WHEN 'r' THEN format_type(r.rngsubtype, NULL) END AS base_type, "
     u"CASE WHEN t.typtype = 'd' THEN t.typnotnull::int END AS not_null, "
     u"CASE WHEN t.typtype = 'd' THEN t.typdefault END AS default_value, "
     u"CASE WHEN t.typtype = 'd' THEN (SELECT string_agg(pg_get_constraintdef(k.oid), ' ' ORDER BY k.conname) "
     u"FROM pg_constraint k WHERE k.contypid = t.oid) END AS check_expression, "
     u"CASE WHEN t.typtype = 'e' THEN (SELECT string_agg(quote_literal(e.enumlabel), ', ' ORDER BY e.enumsortorder) "
     u"FROM pg_enum e WHERE e.enumtypid = t.oid) END AS enum_labels, "
     u"pg_get_userbyid(t.typowner) AS owner_name, d.description AS comment "
     u"FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
     u"LEFT JOIN pg_class c ON c.oid = t.typrelid "
     u"LEFT JOIN pg_range r ON r.rngtypid = t.oid " QM_COMMENT(u"t.oid", u"pg_type")
     u"WHERE {scope} AND (t.typtype IN ('e', 'd', 'r') OR (t.typtype = 'c' AND c.relkind = 'c')) "
     u"ORDER BY n.nspname, t.typname"},

    // The attribute name comes quoted as needed: it goes into the type's
    // attribute list, which is SQL text.
    {kTypeAttributes, 0, u"type attributes",
     u"SELECT t.oid AS type_oid, n.nspname AS schema_name, t.typname AS type_name, "
     u"a.attnum AS attribute_number, quote_ident(a.attname) AS attribute_name, "
     u"format_type(a.atttypid, a.atttypmod) || COALESCE(' COLLATE ' || " QM_COLLATION(u"a", u"ty") u", '') "
     u"AS data_type, a.attnotnull::int AS not_null "
     u"FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
     u"JOIN pg_class c ON c.oid = t.typrelid AND c.relkind = 'c' "
     u"JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
     u"JOIN pg_type ty ON ty.oid = a.atttypid "
     u"WHERE {scope} AND t.typtype = 'c' ORDER BY t.oid, a.attnum"},

    // 64-bit numbers come as text: the fetch keeps 32 bits of integers.
    {kSequences, model::Sequence, u"sequences",
     u"SELECT c.oid AS sequence_oid, n.nspname AS schema_name, c.relname AS sequence_name, "
     u"format_type(s.seqtypid, NULL) AS data_type, s.seqstart::text AS start_value, "
     u"s.seqincrement::text AS increment_by, s.seqmin::text AS min_value, s.seqmax::text AS max_value, "
     u"s.seqcycle::int AS cycles, pg_get_userbyid(c.relowner) AS owner_name, d.description AS comment "
     u"FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"JOIN pg_sequence s ON s.seqrelid = c.oid " QM_COMMENT(u"c.oid", u"pg_class")
     u"WHERE {scope} AND c.relkind = 'S' ORDER BY n.nspname, c.relname"},

    {kTables, model::Table, u"tables",
     u"SELECT c.oid AS table_oid, n.nspname AS schema_name, c.relname AS table_name, "
     u"c.relkind::text AS table_kind, c.relpersistence::text AS persistence, c.reltablespace AS tablespace_oid, "
     u"CASE WHEN c.relkind = 'p' THEN pg_get_partkeydef(c.oid) END AS partition_key, "
     u"pg_get_userbyid(c.relowner) AS owner_name, d.description AS comment "
     u"FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace " QM_COMMENT(u"c.oid", u"pg_class")
     u"WHERE {scope} AND c.relkind IN ('r', 'p') ORDER BY n.nspname, c.relname"},

    // pg_get_viewdef opens the view, which fails for a view dropped since
    // the snapshot was taken; pg_relation_size opens it first, catching up
    // with the server's latest catalogue, and is NULL for a view that is
    // gone: its definition is then NULL and the view left out.
    {kViews, model::View, u"views",
     u"SELECT c.oid AS view_oid, n.nspname AS schema_name, c.relname AS view_name, c.relkind::text AS view_kind, "
     u"CASE WHEN pg_relation_size(c.oid) IS NOT NULL THEN pg_get_viewdef(c.oid) END AS definition, "
     u"c.reltablespace AS tablespace_oid, "
     u"pg_get_userbyid(c.relowner) AS owner_name, d.description AS comment "
     u"FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace " QM_COMMENT(u"c.oid", u"pg_class")
     u"WHERE {scope} AND c.relkind IN ('v', 'm') ORDER BY n.nspname, c.relname"},

    // Defaults come from the next statement: pg_attrdef may be closed to
    // the importing role while the columns are not.
    {kColumns, model::Column, u"columns",
     u"SELECT a.attrelid AS table_oid, a.attnum AS column_number, a.attname AS column_name, "
     u"format_type(a.atttypid, a.atttypmod) AS data_type, a.attnotnull::int AS not_null, "
     u"CASE a.attidentity WHEN 'a' THEN 'ALWAYS' WHEN 'd' THEN 'BY DEFAULT' END AS identity_kind, "
     QM_COLLATION(u"a", u"ty") u" AS collation_name, d.description AS comment "
     u"FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_type ty ON ty.oid = a.atttypid "
     u"LEFT JOIN pg_description d ON d.objoid = a.attrelid AND d.classoid = 'pg_class'::regclass "
     u"AND d.objsubid = a.attnum "
     u"WHERE {scope} AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped "
     u"ORDER BY a.attrelid, a.attnum"},

    // A generated column's expression is kept apart from defaults.
    {kColumnDefaults, 0, u"column defaults",
     u"SELECT ad.adrelid AS table_oid, ad.adnum AS column_number, "
     u"CASE WHEN a.attgenerated = '' THEN pg_get_expr(ad.adbin, ad.adrelid) END AS default_value, "
     u"CASE WHEN a.attgenerated <> '' THEN pg_get_expr(ad.adbin, ad.adrelid) END AS generated_expression "
     u"FROM pg_attrdef ad JOIN pg_attribute a ON a.attrelid = ad.adrelid AND a.attnum = ad.adnum "
     u"JOIN pg_class c ON c.oid = ad.adrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"WHERE {scope} AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped "
     u"ORDER BY ad.adrelid, ad.adnum"},

    // A sequence that belongs to a column (deptype 'a': serial, OWNED BY);
    // an identity column's own sequence (deptype 'i') is written with it.
    {kSequenceOwners, 0, u"sequence owners",
     u"SELECT c.oid AS sequence_oid, a.attrelid AS table_oid, a.attnum AS column_number "
     u"FROM pg_depend dep JOIN pg_class c ON c.oid = dep.objid AND c.relkind = 'S' "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"JOIN pg_attribute a ON a.attrelid = dep.refobjid AND a.attnum = dep.refobjsubid "
     u"WHERE {scope} AND dep.classid = 'pg_class'::regclass AND dep.refclassid = 'pg_class'::regclass "
     u"AND dep.deptype = 'a' AND dep.refobjsubid > 0 ORDER BY c.oid"},

    // Primary keys before unique constraints, per table; with their
    // index's columns, for INCLUDE columns.
    {kKeys, model::Key, u"keys",
     u"SELECT k.oid AS constraint_oid, k.conrelid AS table_oid, k.conname AS constraint_name, "
     u"CASE k.contype WHEN 'p' THEN 'PRIMARY KEY' ELSE 'UNIQUE' END AS key_type, "
     u"k.conkey::text AS key_columns, k.conindid AS index_oid, "
     u"ix.indnkeyatts AS key_count, ix.indkey::text AS index_columns, "
     u"k.condeferrable::int AS is_deferrable, k.condeferred::int AS initially_deferred, "
     u"pg_get_constraintdef(k.oid) AS definition, d.description AS comment "
     u"FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"LEFT JOIN pg_index ix ON ix.indexrelid = k.conindid " QM_COMMENT(u"k.oid", u"pg_constraint")
     u"WHERE {scope} AND k.contype IN ('p', 'u') ORDER BY k.conrelid, k.contype, k.conname"},

    {kCheckConstraints, model::CheckConstraint, u"check constraints",
     u"SELECT k.oid AS constraint_oid, k.conrelid AS table_oid, k.conname AS constraint_name, "
     u"pg_get_expr(k.conbin, k.conrelid) AS check_expression, pg_get_constraintdef(k.oid) AS definition, "
     u"d.description AS comment "
     u"FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace " QM_COMMENT(u"k.oid", u"pg_constraint")
     u"WHERE {scope} AND k.contype = 'c' ORDER BY k.conrelid, k.conname"},

    // A foreign key to a partitioned table has, besides its own row, one
    // internal row per partition of the referenced table on the same
    // referencing table and under the same name; only the row the user made
    // is read. The copies a partition of the referencing table inherits are
    // its own constraints and are read.
    {kForeignKeys, model::ForeignKey, u"foreign keys",
     u"SELECT k.oid AS constraint_oid, k.conrelid AS table_oid, k.conname AS constraint_name, "
     u"k.confrelid AS referenced_table_oid, k.conkey::text AS key_columns, "
     u"k.confkey::text AS referenced_columns, k.conindid AS index_oid, "
     u"CASE k.confmatchtype WHEN 'f' THEN 'FULL' WHEN 'p' THEN 'PARTIAL' ELSE 'SIMPLE' END AS match_type, "
     QM_FK_ACTION(u"k.confupdtype") u" AS on_update, " QM_FK_ACTION(u"k.confdeltype") u" AS on_delete, "
     u"k.condeferrable::int AS is_deferrable, k.condeferred::int AS initially_deferred, "
     u"pg_get_constraintdef(k.oid) AS definition, d.description AS comment "
     u"FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace " QM_COMMENT(u"k.oid", u"pg_constraint")
     u"WHERE {scope} AND k.contype = 'f' AND NOT EXISTS (SELECT 1 FROM pg_constraint pk "
     u"WHERE pk.oid = k.conparentid AND pk.conrelid = k.conrelid) "
     u"ORDER BY k.conrelid, k.conname"},

    // Indexes behind primary keys and unique constraints are read as keys.
    // indkey lists the key columns, then the INCLUDE columns; 0 marks an
    // expression. An index another session is dropping CONCURRENTLY is no
    // longer live: that drop does not wait for the locks of a reader that
    // came later, so its catalogue rows may go while the statement runs.
    {kIndexes, model::Index, u"indexes",
     u"SELECT i.indexrelid AS index_oid, i.indrelid AS table_oid, ic.relname AS index_name, "
     u"i.indisunique::int AS is_unique, am.amname AS index_method, i.indnkeyatts AS key_count, "
     u"i.indkey::text AS index_columns, pg_get_expr(i.indexprs, i.indrelid) AS expressions, "
     u"pg_get_expr(i.indpred, i.indrelid) AS predicate, pg_get_indexdef(i.indexrelid) AS definition, "
     u"ic.reltablespace AS tablespace_oid, d.description AS comment "
     u"FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid JOIN pg_class c ON c.oid = i.indrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_am am ON am.oid = ic.relam "
     QM_COMMENT(u"i.indexrelid", u"pg_class")
     u"WHERE {scope} AND c.relkind IN ('r', 'p', 'm') AND i.indislive AND NOT EXISTS (SELECT 1 FROM pg_constraint k "
     u"WHERE k.conindid = i.indexrelid AND k.conrelid = i.indrelid AND k.contype IN ('p', 'u')) "
     u"ORDER BY i.indrelid, ic.relname"},

    {kPartitions, model::Partition, u"partitions",
     u"SELECT c.oid AS partition_oid, c.relname AS partition_name, inh.inhparent AS parent_oid, "
     u"pg_get_expr(c.relpartbound, c.oid) AS partition_bound "
     u"FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"JOIN pg_inherits inh ON inh.inhrelid = c.oid "
     u"WHERE {scope} AND c.relispartition AND c.relkind IN ('r', 'p') ORDER BY inh.inhparent, c.relname"},

    // tgtype bits: 1 row, 2 before, 4 insert, 8 delete, 16 update,
    // 32 truncate, 64 instead of. Events in the order the server prints
    // them; an UPDATE trigger limited to columns (tgattr, in the order
    // written) reads UPDATE OF a, b.
    {kTriggers, model::Trigger, u"triggers",
     u"SELECT t.oid AS trigger_oid, t.tgrelid AS table_oid, t.tgname AS trigger_name, "
     u"CASE WHEN (t.tgtype::int & 2) <> 0 THEN 'BEFORE' WHEN (t.tgtype::int & 64) <> 0 THEN 'INSTEAD OF' "
     u"ELSE 'AFTER' END AS timing, "
     u"concat_ws(' OR ', CASE WHEN (t.tgtype::int & 4) <> 0 THEN 'INSERT' END, "
     u"CASE WHEN (t.tgtype::int & 8) <> 0 THEN 'DELETE' END, "
     u"CASE WHEN (t.tgtype::int & 16) <> 0 THEN 'UPDATE' || COALESCE(' OF ' || (SELECT string_agg(quote_ident(ta.attname), "
     u"', ' ORDER BY u.ord) FROM unnest(t.tgattr::int2[]) WITH ORDINALITY u(attnum, ord) "
     u"JOIN pg_attribute ta ON ta.attrelid = t.tgrelid AND ta.attnum = u.attnum), '') END, "
     u"CASE WHEN (t.tgtype::int & 32) <> 0 THEN 'TRUNCATE' END) AS events, "
     u"pg_get_triggerdef(t.oid) AS definition, d.description AS comment "
     u"FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace " QM_COMMENT(u"t.oid", u"pg_trigger")
     u"WHERE {scope} AND NOT t.tgisinternal ORDER BY t.tgrelid, t.tgname"},

    // pg_get_functiondef refuses aggregates, so only functions and
    // procedures get the full CREATE text.
    {kRoutines, model::Routine, u"routines",
     u"SELECT p.oid AS routine_oid, n.nspname AS schema_name, p.proname AS routine_name, "
     u"CASE p.prokind WHEN 'p' THEN 'procedure' WHEN 'a' THEN 'aggregate' WHEN 'w' THEN 'window function' "
     u"ELSE 'function' END AS routine_kind, "
     u"pg_get_function_result(p.oid) AS return_type, l.lanname AS language_name, {body} AS body, "
     u"CASE WHEN p.prokind IN ('f', 'p') THEN pg_get_functiondef(p.oid) END AS sql_text, "
     u"pg_get_userbyid(p.proowner) AS owner_name, d.description AS comment "
     u"FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace JOIN pg_language l ON l.oid = p.prolang "
     QM_COMMENT(u"p.oid", u"pg_proc")
     u"WHERE {scope} ORDER BY n.nspname, p.proname, p.oid"},

    // All arguments in declaration order: proallargtypes when there are
    // OUT arguments, otherwise proargtypes; modes and names are NULL when
    // all are IN or none is named. The argument number of
    // pg_get_function_arg_default counts all arguments. An ordered-set
    // aggregate's direct arguments come before its ORDER BY arguments.
    {kParameters, model::Parameter, u"parameters",
     u"SELECT p.oid AS routine_oid, a.arg_position AS parameter_position, a.arg_name AS parameter_name, "
     u"CASE WHEN a.arg_name <> '' THEN quote_ident(a.arg_name) END AS parameter_sql_name, "
     u"COALESCE(a.arg_mode::text, 'i') AS parameter_mode, format_type(a.arg_type, NULL) AS data_type, "
     u"pg_get_function_arg_default(p.oid, a.arg_position::int) AS default_value, "
     u"(p.prokind = 'p')::int AS is_procedure, "
     u"(SELECT ag.aggnumdirectargs FROM pg_aggregate ag WHERE ag.aggfnoid = p.oid AND ag.aggkind <> 'n') "
     u"AS direct_arguments "
     u"FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
     u"CROSS JOIN LATERAL unnest(COALESCE(p.proallargtypes, p.proargtypes::oid[]), p.proargmodes, p.proargnames) "
     u"WITH ORDINALITY AS a(arg_type, arg_mode, arg_name, arg_position) "
     u"WHERE {scope} ORDER BY p.oid, a.arg_position"},

    // The access control lists of schemas, relations, columns, types and
    // routines, one row per object and grantee (privileges from several
    // grantors merged); PUBLIC, which no role can be named, as "public".
    // A NULL list (the defaults) grants nothing beyond them: no rows.
    {kPrivileges, model::Grant, u"privileges",
     u"SELECT o.schema_name, o.schema_oid, o.table_oid, o.column_number, o.type_oid, o.routine_oid, "
     u"CASE WHEN a.grantee = 0 THEN 'public' ELSE pg_get_userbyid(a.grantee) END AS grantee_name, "
     u"string_agg(DISTINCT a.privilege_type, ', ' ORDER BY a.privilege_type) AS privileges, "
     u"string_agg(DISTINCT a.privilege_type, ', ' ORDER BY a.privilege_type) FILTER (WHERE a.is_grantable) AS grant_option "
     u"FROM (SELECT n.nspname AS schema_name, n.oid AS schema_oid, NULL::oid AS table_oid, NULL::int AS column_number, "
     u"NULL::oid AS type_oid, NULL::oid AS routine_oid, n.nspacl AS acl FROM pg_namespace n "
     u"WHERE {scope} AND n.nspacl IS NOT NULL "
     u"UNION ALL SELECT NULL, NULL, c.oid, NULL, NULL, NULL, c.relacl FROM pg_class c "
     u"JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"WHERE {scope} AND c.relkind IN ('r', 'p', 'v', 'm', 'S') AND c.relacl IS NOT NULL "
     u"UNION ALL SELECT NULL, NULL, c.oid, at.attnum, NULL, NULL, at.attacl FROM pg_attribute at "
     u"JOIN pg_class c ON c.oid = at.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
     u"WHERE {scope} AND c.relkind IN ('r', 'p', 'v', 'm') AND at.attnum > 0 AND NOT at.attisdropped "
     u"AND at.attacl IS NOT NULL "
     u"UNION ALL SELECT NULL, NULL, NULL, NULL, t.oid, NULL, t.typacl FROM pg_type t "
     u"JOIN pg_namespace n ON n.oid = t.typnamespace WHERE {scope} AND t.typacl IS NOT NULL "
     u"UNION ALL SELECT NULL, NULL, NULL, NULL, NULL, p.oid, p.proacl FROM pg_proc p "
     u"JOIN pg_namespace n ON n.oid = p.pronamespace WHERE {scope} AND p.proacl IS NOT NULL) o "
     u"CROSS JOIN LATERAL aclexplode(o.acl) a "
     u"GROUP BY o.schema_name, o.schema_oid, o.table_oid, o.column_number, o.type_oid, o.routine_oid, a.grantee "
     u"ORDER BY o.schema_oid, o.table_oid, o.column_number, o.type_oid, o.routine_oid, grantee_name"},
};

#undef QM_COMMENT
#undef QM_COLLATION
#undef QM_FK_ACTION

const Statement* Find(int statementId) {
  for (const Statement& statement : kStatements)
    if (statement.id == statementId) return &statement;
  return nullptr;
}

void ReplaceAll(std::u16string& text, std::u16string_view placeholder, std::u16string_view value) {
  for (std::size_t pos = text.find(placeholder); pos != std::u16string::npos;
       pos = text.find(placeholder, pos + value.size()))
    text.replace(pos, placeholder.size(), value);
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
  const std::string digits = std::to_string(statementId);
  return u"statement " + std::u16string(digits.begin(), digits.end());
}

const std::vector<int>& OwnerStatements(int statementId) {
  static const std::vector<int> none;
  static const std::vector<int> types = {kTypes};
  static const std::vector<int> relations = {kTables, kViews};
  static const std::vector<int> routines = {kRoutines};
  static const std::vector<int> sequences = {kSequences};
  switch (statementId) {
    case kSequenceOwners:
      return sequences;
    case kTypeAttributes:
      return types;
    case kColumns:
    case kColumnDefaults:
    case kKeys:
    case kCheckConstraints:
    case kForeignKeys:
    case kIndexes:
    case kPartitions:
    case kTriggers:
      return relations;
    case kParameters:
      return routines;
    default:
      return none;
  }
}

int StatementObjectType(int statementId) {
  const Statement* statement = Find(statementId);
  return statement != nullptr ? statement->objectType : 0;
}

bool ReadsRelations(int statementId) {
  switch (statementId) {
    case kTables:
    case kViews:
    case kColumns:
    case kColumnDefaults:
    case kKeys:
    case kCheckConstraints:
    case kForeignKeys:
    case kIndexes:
    case kPartitions:
    case kTriggers:
      return true;
    default:
      return false;
  }
}

namespace {

// "FROM ... WHERE ...": the relations of the kinds (relkind codes, quoted
// and comma-separated) in the schemas the filter on n.nspname admits.
std::u16string RelationsOfScope(const std::u16string& scopeFilter, std::u16string_view kinds) {
  return u"FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE " + scopeFilter +
         u" AND c.relkind IN (" + std::u16string(kinds) + u")";
}

}  // namespace

std::u16string RelationsInScopeText(const std::u16string& scopeFilter) {
  std::u16string text =
      u"SELECT GREATEST(pg_catalog.current_setting('max_locks_per_transaction')::int, "
      u"pg_catalog.current_setting('max_locks_per_transaction')::int * "
      u"(pg_catalog.current_setting('max_connections')::int + "
      u"pg_catalog.current_setting('max_prepared_transactions')::int) / 4) || "
      u"COALESCE(' ' || pg_catalog.string_agg(c.oid::text, ' ' ORDER BY c.oid), '') AS relations ";
  return text + RelationsOfScope(scopeFilter, u"'r', 'p', 'v', 'm'");
}

namespace {

std::u16string OidArray(std::span<const std::uint32_t> oids) {
  std::u16string text = u"'{";
  for (std::size_t i = 0; i < oids.size(); ++i) {
    if (i > 0) text += u',';
    const std::string digits = std::to_string(oids[i]);
    text.append(digits.begin(), digits.end());
  }
  return text + u"}'::pg_catalog.oid[]";
}

}  // namespace

std::u16string RelationFilter(std::span<const std::uint32_t> relations) {
  return u"c.oid = ANY (" + OidArray(relations) + u")";
}

std::u16string LockRelationsText(std::span<const std::uint32_t> relations) {
  // All at once first, in one LOCK; should one of them be gone or not
  // lockable, one at a time. A relation's name is the one it has now
  // (regclass), so a table renamed since it was listed is locked all the
  // same; a relation that is gone prints as its number and is passed over.
  // Materialized views cannot be locked (42809); the subtransaction of a
  // failed LOCK gives back the locks it took.
  std::u16string text =
      u"DO $qm$\n"
      u"DECLARE\n"
      u"  relation pg_catalog.oid;\n"
      u"  names pg_catalog.text;\n"
      u"BEGIN\n"
      u"  SELECT pg_catalog.string_agg(c.oid::pg_catalog.regclass::pg_catalog.text, ', ' ORDER BY c.oid) INTO names\n"
      u"    FROM pg_catalog.pg_class c WHERE c.oid = ANY ({oids}) AND c.relkind IN ('r', 'p', 'v');\n"
      u"  IF names IS NULL THEN RETURN; END IF;\n"
      u"  BEGIN\n"
      u"    EXECUTE 'LOCK TABLE ONLY ' || names || ' IN ACCESS SHARE MODE';\n"
      u"    RETURN;\n"
      u"  EXCEPTION WHEN undefined_table OR syntax_error OR insufficient_privilege OR wrong_object_type THEN\n"
      u"    NULL;\n"
      u"  END;\n"
      u"  FOR relation IN SELECT c.oid FROM pg_catalog.pg_class c\n"
      u"      WHERE c.oid = ANY ({oids}) AND c.relkind IN ('r', 'p', 'v') ORDER BY c.oid LOOP\n"
      u"    FOR attempt IN 1..3 LOOP\n"
      u"      names := relation::pg_catalog.regclass::pg_catalog.text;\n"
      u"      EXIT WHEN names ~ '^[0-9]+$';\n"
      u"      BEGIN\n"
      u"        EXECUTE 'LOCK TABLE ONLY ' || names || ' IN ACCESS SHARE MODE';\n"
      u"        EXIT;\n"
      u"      EXCEPTION WHEN undefined_table THEN\n"
      u"        NULL;\n"
      u"      WHEN syntax_error OR insufficient_privilege OR wrong_object_type THEN\n"
      u"        EXIT;\n"
      u"      END;\n"
      u"    END LOOP;\n"
      u"  END LOOP;\n"
      u"END\n"
      u"$qm$";
  ReplaceAll(text, u"{oids}", OidArray(relations));
  return text;
}

std::u16string LiveObjectsText(const std::u16string& scopeFilter) {
  std::u16string text =
      u"SELECT 'n' || n.oid AS live_object FROM pg_namespace n WHERE {scope} "
      u"UNION ALL SELECT 'r' || c.oid {relations} "
      u"UNION ALL SELECT 't' || t.oid FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
      u"WHERE {scope} AND (t.typtype IN ('e', 'd', 'r') OR (t.typtype = 'c' AND EXISTS (SELECT 1 FROM pg_class x "
      u"WHERE x.oid = t.typrelid AND x.relkind = 'c'))) "
      u"UNION ALL SELECT 'p' || p.oid FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE {scope}";
  // Relations first: the filter holds names, which may look like a placeholder.
  ReplaceAll(text, u"{relations}", RelationsOfScope(u"{scope}", u"'r', 'p', 'v', 'm', 'S'"));
  ReplaceAll(text, u"{scope}", scopeFilter);
  return text;
}

std::u16string StatementText(int statementId, const std::u16string& scopeFilter, int serverVersion) {
  const Statement* statement = Find(statementId);
  if (statement == nullptr) return {};
  std::u16string text(statement->text);
  // SQL-standard bodies (BEGIN ATOMIC ... END, PostgreSQL 14) have no
  // source text; their body is printed from the parsed form.
  const bool sqlBodies = serverVersion == 0 || serverVersion >= 140000;
  ReplaceAll(text, u"{body}",
             sqlBodies ? u"CASE WHEN p.prosqlbody IS NOT NULL THEN pg_get_function_sqlbody(p.oid) ELSE p.prosrc END"
                       : u"p.prosrc");
  // Last: the filter holds names, which may look like a placeholder.
  ReplaceAll(text, u"{scope}", scopeFilter);
  return text;
}

}  // namespace qm::postgres

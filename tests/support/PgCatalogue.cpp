#include "PgCatalogue.h"

#include "ImportHost.h"
#include "PgServer.h"

#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

namespace qm::test {
namespace {

// Every schema but PostgreSQL's own (user schemas cannot start with pg_).
constexpr const char* kUserSchemas = "n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema'";

// The names of a relation's attnums (int2[] or int2vector), `where` on u.ord.
std::string ColumnNames(const std::string& relation, const std::string& attnums, const std::string& where = "true") {
  return "coalesce((SELECT string_agg(a.attname, ',' ORDER BY u.ord) FROM unnest(" + attnums +
         "::int2[]) WITH ORDINALITY u(attnum, ord) JOIN pg_attribute a ON a.attrelid = " + relation +
         " AND a.attnum = u.attnum WHERE " + where + "), '')";
}

std::string Action(const std::string& code) {
  return "CASE " + code +
         " WHEN 'r' THEN 'RESTRICT' WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' "
         "ELSE 'NO ACTION' END";
}

std::string TableSpace(const std::string& oid) {
  return "coalesce((SELECT spcname FROM pg_tablespace WHERE oid = " + oid + "), '-')";
}

}  // namespace

std::vector<std::string> PgCatalogueLines(const std::string& database) {
  const std::string filter = kUserSchemas;
  const std::vector<std::string> queries = {
      "SELECT format('schema %s owner=%s comment=%s', n.nspname, pg_get_userbyid(n.nspowner), "
      "coalesce(obj_description(n.oid, 'pg_namespace'), '-')) FROM pg_namespace n WHERE " + filter,

      "SELECT format('table %s.%s %s ts=%s def=%s owner=%s comment=%s', n.nspname, c.relname, "
      "CASE WHEN c.relkind = 'p' THEN 'partitioned table' WHEN c.relpersistence = 'u' THEN 'unlogged table' "
      "ELSE 'table' END, " + TableSpace("c.reltablespace") + ", "
      "coalesce('PARTITION BY ' || pg_get_partkeydef(c.oid), '-'), pg_get_userbyid(c.relowner), "
      "coalesce(obj_description(c.oid, 'pg_class'), '-')) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter + " AND c.relkind IN ('r', 'p')",

      "SELECT format('view %s.%s %s ts=%s comment=%s def=%s', n.nspname, c.relname, "
      "CASE c.relkind WHEN 'm' THEN 'materialized view' ELSE 'view' END, " + TableSpace("c.reltablespace") + ", "
      "coalesce(obj_description(c.oid, 'pg_class'), '-'), pg_get_viewdef(c.oid)) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter + " AND c.relkind IN ('v', 'm')",

      "SELECT format('column %s.%s.%s #%s %s null=%s default=%s gen=%s identity=%s collation=%s pk=%s comment=%s', "
      "n.nspname, c.relname, a.attname, row_number() OVER (PARTITION BY a.attrelid ORDER BY a.attnum), "
      "format_type(a.atttypid, a.atttypmod), CASE WHEN a.attnotnull THEN 0 ELSE 1 END, "
      "coalesce(CASE WHEN a.attgenerated = '' THEN pg_get_expr(ad.adbin, ad.adrelid) END, '-'), "
      "coalesce(CASE WHEN a.attgenerated <> '' THEN pg_get_expr(ad.adbin, ad.adrelid) END, '-'), "
      "CASE a.attidentity WHEN 'a' THEN 'ALWAYS' WHEN 'd' THEN 'BY DEFAULT' ELSE '-' END, "
      "CASE WHEN a.attcollation <> t.typcollation THEN a.attcollation::regcollation::text ELSE '-' END, "
      "coalesce((SELECT array_position(k.conkey, a.attnum)::text FROM pg_constraint k "
      "WHERE k.conrelid = a.attrelid AND k.contype = 'p'), '-'), coalesce(col_description(a.attrelid, a.attnum), '-')) "
      "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "JOIN pg_type t ON t.oid = a.atttypid "
      "LEFT JOIN pg_attrdef ad ON ad.adrelid = a.attrelid AND ad.adnum = a.attnum "
      "WHERE " + filter + " AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped",

      "SELECT format('key %s.%s.%s %s (%s) include(%s) deferrable=%s deferred=%s', n.nspname, c.relname, k.conname, "
      "CASE k.contype WHEN 'p' THEN 'PRIMARY KEY' ELSE 'UNIQUE' END, " + ColumnNames("k.conrelid", "k.conkey") + ", "
      "coalesce((SELECT " + ColumnNames("ix.indrelid", "ix.indkey", "u.ord > ix.indnkeyatts") +
      " FROM pg_index ix WHERE ix.indexrelid = k.conindid), ''), k.condeferrable::int, k.condeferred::int) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter + " AND k.contype IN ('p', 'u')",

      "SELECT format('check %s.%s.%s %s', n.nspname, c.relname, k.conname, pg_get_expr(k.conbin, k.conrelid)) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter + " AND k.contype = 'c'",

      // A foreign key's rows per referenced partition (same table) are internal.
      "SELECT format('fk %s.%s.%s (%s) -> %s.%s (%s) key=%s match=%s del=%s upd=%s deferrable=%s deferred=%s', "
      "n.nspname, c.relname, k.conname, " + ColumnNames("k.conrelid", "k.conkey") + ", rn.nspname, rc.relname, " +
      ColumnNames("k.confrelid", "k.confkey") + ", "
      "coalesce((SELECT pk.conname FROM pg_constraint pk WHERE pk.conrelid = k.confrelid AND pk.conindid = k.conindid "
      "AND pk.contype IN ('p', 'u')), '-'), "
      "CASE k.confmatchtype WHEN 'f' THEN 'FULL' WHEN 'p' THEN 'PARTIAL' ELSE 'SIMPLE' END, " +
      Action("k.confdeltype") + ", " + Action("k.confupdtype") + ", k.condeferrable::int, k.condeferred::int) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "JOIN pg_class rc ON rc.oid = k.confrelid JOIN pg_namespace rn ON rn.oid = rc.relnamespace "
      "WHERE " + filter + " AND k.contype = 'f' AND NOT EXISTS (SELECT 1 FROM pg_constraint p "
      "WHERE p.oid = k.conparentid AND p.conrelid = k.conrelid)",

      "SELECT format('index %s.%s.%s unique=%s method=%s (%s) include(%s) expr=%s where=%s ts=%s comment=%s', "
      "n.nspname, c.relname, ic.relname, i.indisunique::int, am.amname, " +
      ColumnNames("i.indrelid", "i.indkey", "u.ord <= i.indnkeyatts") + ", " +
      ColumnNames("i.indrelid", "i.indkey", "u.ord > i.indnkeyatts") + ", "
      "coalesce(pg_get_expr(i.indexprs, i.indrelid), '-'), coalesce(pg_get_expr(i.indpred, i.indrelid), '-'), " +
      TableSpace("ic.reltablespace") + ", coalesce(obj_description(i.indexrelid, 'pg_class'), '-')) "
      "FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid JOIN pg_class c ON c.oid = i.indrelid "
      "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_am am ON am.oid = ic.relam "
      "WHERE " + filter + " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = i.indexrelid "
      "AND k.conrelid = i.indrelid AND k.contype IN ('p', 'u'))",

      "SELECT format('sequence %s.%s %s start=%s inc=%s min=%s max=%s cycle=%s owned=%s', n.nspname, c.relname, "
      "format_type(s.seqtypid, NULL), s.seqstart, s.seqincrement, s.seqmin, s.seqmax, s.seqcycle::int, "
      "coalesce((SELECT format('%s.%s.%s', tn.nspname, t.relname, a.attname) FROM pg_depend d "
      "JOIN pg_class t ON t.oid = d.refobjid JOIN pg_namespace tn ON tn.oid = t.relnamespace "
      "JOIN pg_attribute a ON a.attrelid = d.refobjid AND a.attnum = d.refobjsubid "
      "WHERE d.classid = 'pg_class'::regclass AND d.objid = c.oid AND d.refclassid = 'pg_class'::regclass "
      "AND d.deptype = 'a'), '-')) "
      "FROM pg_sequence s JOIN pg_class c ON c.oid = s.seqrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter,

      // Enum labels as literals; attributes "(name  type[ COLLATE c]  NULL,...)".
      "SELECT format('type %s.%s %s base=%s comment=%s labels=%s attributes=%s', n.nspname, t.typname, "
      "CASE t.typtype WHEN 'c' THEN 'composite' WHEN 'e' THEN 'enum' WHEN 'd' THEN 'domain' ELSE 'range' END, "
      "coalesce(CASE t.typtype WHEN 'd' THEN format_type(t.typbasetype, t.typtypmod) "
      "WHEN 'r' THEN (SELECT format_type(r.rngsubtype, NULL) FROM pg_range r WHERE r.rngtypid = t.oid) END, '-'), "
      "coalesce(obj_description(t.oid, 'pg_type'), '-'), "
      "coalesce((SELECT string_agg(quote_literal(e.enumlabel), ', ' ORDER BY e.enumsortorder) FROM pg_enum e "
      "WHERE e.enumtypid = t.oid), '-'), "
      "CASE WHEN t.typtype = 'c' THEN '(' || coalesce((SELECT string_agg(quote_ident(a.attname) || '  ' || "
      "format_type(a.atttypid, a.atttypmod) || CASE WHEN a.attcollation <> at.typcollation THEN ' COLLATE ' || "
      "a.attcollation::regcollation::text ELSE '' END || '  ' || CASE WHEN a.attnotnull THEN 'NOT NULL' ELSE 'NULL' "
      "END, ',' ORDER BY a.attnum) FROM pg_attribute a JOIN pg_type at ON at.oid = a.atttypid "
      "WHERE a.attrelid = t.typrelid AND a.attnum > 0 AND NOT a.attisdropped), '') || ')' ELSE '-' END) "
      "FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
      "WHERE " + filter + " AND (t.typtype IN ('e', 'd', 'r') "
      "OR (t.typtype = 'c' AND (SELECT c.relkind FROM pg_class c WHERE c.oid = t.typrelid) = 'c'))",

      "SELECT format('routine %s.%s %s (%s) returns=%s lang=%s comment=%s', n.nspname, p.proname, "
      "CASE p.prokind WHEN 'p' THEN 'procedure' WHEN 'a' THEN 'aggregate' WHEN 'w' THEN 'window function' "
      "ELSE 'function' END, pg_get_function_arguments(p.oid), coalesce(pg_get_function_result(p.oid), '-'), "
      "l.lanname, coalesce(obj_description(p.oid, 'pg_proc'), '-')) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace JOIN pg_language l ON l.oid = p.prolang "
      "WHERE " + filter,

      "SELECT format('body %s.%s(%s) %s', n.nspname, p.proname, pg_get_function_arguments(p.oid), "
      "CASE WHEN p.prosqlbody IS NOT NULL THEN pg_get_function_sqlbody(p.oid) ELSE p.prosrc END) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE " + filter,

      "SELECT format('param %s.%s(%s) #%s %s %s %s', n.nspname, p.proname, pg_get_function_arguments(p.oid), a.ord, "
      "CASE coalesce(a.mode, 'i') WHEN 'i' THEN 'IN' WHEN 'o' THEN 'OUT' WHEN 'b' THEN 'INOUT' WHEN 'v' THEN 'VARIADIC' "
      "ELSE 'TABLE' END, coalesce(nullif(a.name, ''), '-'), format_type(a.type, NULL)) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace CROSS JOIN LATERAL "
      "unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]), p.proargmodes, p.proargnames) "
      "WITH ORDINALITY a(type, mode, name, ord) WHERE " + filter,

      // Timing and events as in the server's CREATE TRIGGER (UPDATE OF columns).
      "SELECT format('trigger %s.%s.%s %s %s def=%s', n.nspname, c.relname, t.tgname, m[1], m[2], def) "
      "FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "CROSS JOIN LATERAL (SELECT pg_get_triggerdef(t.oid) AS def) d "
      "CROSS JOIN LATERAL regexp_match(d.def, '^CREATE (?:CONSTRAINT )?TRIGGER .*? (BEFORE|AFTER|INSTEAD OF) (.*?) ON ') m "
      "WHERE " + filter + " AND NOT t.tgisinternal",

      "SELECT format('partition %s.%s of %s.%s %s', n.nspname, c.relname, pn.nspname, pc.relname, "
      "pg_get_expr(c.relpartbound, c.oid)) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_inherits i ON i.inhrelid = c.oid "
      "JOIN pg_class pc ON pc.oid = i.inhparent JOIN pg_namespace pn ON pn.oid = pc.relnamespace "
      "WHERE " + filter + " AND c.relispartition AND c.relkind IN ('r', 'p')",
  };
  std::vector<std::string> lines;
  for (const std::string& query : queries)
    for (std::string& line : QueryColumn(database, query)) lines.push_back(std::move(line));
  return lines;
}

std::vector<std::string> PgModelLines(GenericModel& model) {
  std::vector<std::string> lines;
  const auto add = [&lines](std::string line) { lines.push_back(std::move(line)); };
  const auto tableSpaceOf = [&model](const CMOObject& object) {
    return Dash(NameList(model, Ids(object, model::TableSpaceRef)));
  };
  // "schema.table.column" of the column a sequence belongs to, or "-".
  const auto ownedBy = [&model](const CMOObject& sequence) {
    const std::vector<int> ids = Ids(sequence, model::OwnedBy);
    const CMOObject* column = ids.empty() ? nullptr : model.GetCMOObject(ids.front());
    const CMOObject* table = column != nullptr ? model.GetCMOObject(column->GetParentId()) : nullptr;
    return table != nullptr ? ParentName(model, *table) + "." + Name(*table) + "." + Name(*column) : "-";
  };
  // What tables and views have in common.
  const auto relationLines = [&](const std::string& s, CMOObject& relation) {
    const std::string prefix = s + "." + Name(relation) + ".";
    for (CMOObject* column : Children(model, relation, model::Column))
      add("column " + prefix + Name(*column) + " #" + NumberOf(*column, model::Position) + " " +
          Text(*column, model::DataType) + " null=" + NumberOf(*column, model::Nullable) + " default=" +
          Dash(Text(*column, model::DefaultValue)) + " gen=" + Dash(Text(*column, model::GeneratedExpression)) +
          " identity=" + Dash(Text(*column, model::Identity)) + " collation=" + Dash(Text(*column, model::Collation)) +
          " pk=" + NumberOf(*column, model::PrimaryKeyPosition) + " comment=" + Dash(Text(*column, model::Comment)));
    for (CMOObject* key : Children(model, relation, model::Key))
      add("key " + prefix + Name(*key) + " " + Text(*key, model::KeyType) + " (" +
          NameList(model, Ids(*key, model::KeyColumns)) + ") include(" +
          NameList(model, Ids(*key, model::IncludedColumns)) + ") deferrable=" + NumberOf(*key, model::Deferrable) +
          " deferred=" + NumberOf(*key, model::InitiallyDeferred));
    for (CMOObject* check : Children(model, relation, model::CheckConstraint))
      add("check " + prefix + Name(*check) + " " + Text(*check, model::CheckExpression));
    for (CMOObject* fk : Children(model, relation, model::ForeignKey)) {
      const std::vector<int> referenced = Ids(*fk, model::ReferencedTable);
      const CMOObject* target = referenced.empty() ? nullptr : model.GetCMOObject(referenced[0]);
      add("fk " + prefix + Name(*fk) + " (" + NameList(model, Ids(*fk, model::ForeignKeyColumns)) + ") -> " +
          (target != nullptr ? ParentName(model, *target) + "." + Name(*target) : "?") + " (" +
          NameList(model, Ids(*fk, model::ReferencedColumns)) + ") key=" +
          Dash(NameList(model, Ids(*fk, model::ReferencedKey))) + " match=" + Text(*fk, model::MatchType) + " del=" +
          Text(*fk, model::OnDelete) + " upd=" + Text(*fk, model::OnUpdate) + " deferrable=" +
          NumberOf(*fk, model::Deferrable) + " deferred=" + NumberOf(*fk, model::InitiallyDeferred));
    }
    for (CMOObject* index : Children(model, relation, model::Index))
      add("index " + prefix + Name(*index) + " unique=" + NumberOf(*index, model::IsUnique) + " method=" +
          Text(*index, model::IndexMethod) + " (" + NameList(model, Ids(*index, model::IndexColumns)) +
          ") include(" + NameList(model, Ids(*index, model::IncludedColumns)) + ") expr=" +
          Dash(Text(*index, model::Expressions)) + " where=" + Dash(Text(*index, model::Predicate)) + " ts=" +
          tableSpaceOf(*index) + " comment=" + Dash(Text(*index, model::Comment)));
    for (CMOObject* trigger : Children(model, relation, model::Trigger))
      add("trigger " + prefix + Name(*trigger) + " " + Text(*trigger, model::TriggerTiming) + " " +
          Text(*trigger, model::TriggerEvents) + " def=" + Text(*trigger, model::Definition));
  };
  const auto tableLines = [&](const std::string& s, CMOObject& table) {
    const std::string t = Name(table);
    add("table " + s + "." + t + " " + Text(table, model::TableKind) + " ts=" + tableSpaceOf(table) + " def=" +
        Dash(Text(table, model::Definition)) + " owner=" + Text(table, model::Owner) + " comment=" +
        Dash(Text(table, model::Comment)));
    const std::vector<int> parent = Ids(table, model::PartitionOf);
    if (!parent.empty()) {
      const CMOObject* parentTable = model.GetCMOObject(parent[0]);
      add("partition " + s + "." + t + " of " + ParentName(model, *parentTable) + "." + Name(*parentTable) + " " +
          Text(table, model::PartitionBound));
    }
    relationLines(s, table);
  };
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    const std::string s = Name(*schema);
    add("schema " + s + " owner=" + Text(*schema, model::Owner) + " comment=" + Dash(Text(*schema, model::Comment)));
    for (CMOObject* table : Children(model, *schema, model::Table)) tableLines(s, *table);
    for (CMOObject* view : Children(model, *schema, model::View)) {
      add("view " + s + "." + Name(*view) + " " + Text(*view, model::TableKind) + " ts=" + tableSpaceOf(*view) +
          " comment=" + Dash(Text(*view, model::Comment)) + " def=" + Text(*view, model::Definition));
      relationLines(s, *view);
    }
    for (CMOObject* sequence : Children(model, *schema, model::Sequence))
      add("sequence " + s + "." + Name(*sequence) + " " + Text(*sequence, model::DataType) + " start=" +
          NumberOf(*sequence, model::SequenceStart) + " inc=" + NumberOf(*sequence, model::SequenceIncrement) +
          " min=" + NumberOf(*sequence, model::SequenceMin) + " max=" + NumberOf(*sequence, model::SequenceMax) +
          " cycle=" + NumberOf(*sequence, model::SequenceCycle) + " owned=" + ownedBy(*sequence));
    for (CMOObject* type : Children(model, *schema, model::UserType))
      add("type " + s + "." + Name(*type) + " " + Text(*type, model::TypeKind) + " base=" +
          Dash(Text(*type, model::BaseType)) + " comment=" + Dash(Text(*type, model::Comment)) + " labels=" +
          Dash(Text(*type, model::EnumLabels)) + " attributes=" + Dash(Text(*type, model::AttributeList)));
    for (CMOObject* routine : Children(model, *schema, model::Routine)) {
      const std::string id = s + "." + Name(*routine) + "(" + Text(*routine, model::ParameterList) + ")";
      add("routine " + s + "." + Name(*routine) + " " + Text(*routine, model::RoutineKind) + " (" +
          Text(*routine, model::ParameterList) + ") returns=" + Dash(Text(*routine, model::ReturnType)) +
          " lang=" + Text(*routine, model::Language) + " comment=" + Dash(Text(*routine, model::Comment)));
      add("body " + id + " " + Text(*routine, model::Definition));
      for (CMOObject* parameter : Children(model, *routine, model::Parameter))
        add("param " + id + " #" + NumberOf(*parameter, model::Position) + " " + Text(*parameter, model::ParameterMode) +
            " " + Dash(Name(*parameter)) + " " + Text(*parameter, model::DataType));
    }
  }
  return lines;
}

std::vector<std::string> PgPrivilegeLines(const std::string& database) {
  const std::string filter = kUserSchemas;
  return QueryColumn(database,
      "WITH o AS (SELECT n.nspname AS path, n.nspowner AS owner, n.nspacl AS acl FROM pg_namespace n WHERE " + filter +
      " UNION ALL SELECT n.nspname || '.' || c.relname, c.relowner, c.relacl FROM pg_class c "
      "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter + " AND c.relkind IN ('r', 'p', 'v', 'm', 'S') "
      "UNION ALL SELECT n.nspname || '.' || c.relname || '.' || a.attname, NULL, a.attacl FROM pg_attribute a "
      "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter +
      " AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped "
      "UNION ALL SELECT n.nspname || '.' || t.typname, t.typowner, t.typacl FROM pg_type t "
      "JOIN pg_namespace n ON n.oid = t.typnamespace WHERE " + filter + " AND (t.typtype IN ('e', 'd', 'r') OR "
      "(t.typtype = 'c' AND EXISTS (SELECT 1 FROM pg_class x WHERE x.oid = t.typrelid AND x.relkind = 'c'))) "
      "UNION ALL SELECT n.nspname || '.' || p.proname, p.proowner, p.proacl FROM pg_proc p "
      "JOIN pg_namespace n ON n.oid = p.pronamespace WHERE " + filter + ") "
      "SELECT 'owner ' || path || ' ' || pg_get_userbyid(owner) FROM o WHERE owner IS NOT NULL "
      "UNION SELECT 'grant ' || o.path || ' ' || CASE WHEN a.grantee = 0 THEN 'public' "
      "ELSE pg_get_userbyid(a.grantee) END || ' ' || a.privilege_type || CASE WHEN a.is_grantable THEN ' *' ELSE '' END "
      "FROM o CROSS JOIN LATERAL aclexplode(o.acl) a");
}

}  // namespace qm::test

#include "MariaCatalogue.h"

#include "ImportHost.h"
#include "MariaServer.h"

#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

namespace qm::test {
namespace {

// "-" for NULL and for the empty text.
std::string Or(const std::string& expression) { return "COALESCE(NULLIF(" + expression + ", ''), '-')"; }

// Exactly the schemas given, or all but MariaDB's own.
std::string SchemaFilter(const std::string& column, const std::vector<std::string>& schemas) {
  if (schemas.empty())
    return "CAST(" + column + " AS BINARY) NOT IN ('information_schema', 'mysql', 'performance_schema', 'sys')";
  std::string list;
  for (const std::string& schema : schemas) list += (list.empty() ? "" : ", ") + MariaLiteral(schema);
  return "CAST(" + column + " AS BINARY) IN (" + list + ")";
}

// Sequences have columns in information_schema; they are not a table's.
std::string NotASequence(const std::string& schema, const std::string& table) {
  return "(" + schema + ", " + table + ") NOT IN (SELECT q.TABLE_SCHEMA, q.TABLE_NAME FROM information_schema.TABLES q "
         "WHERE q.TABLE_TYPE = 'SEQUENCE')";
}

// The lines of one index kind (keys: the unique ones).
std::string IndexQuery(bool keys, const std::string& filter) {
  return std::string("SELECT CONCAT('") + (keys ? "key " : "index ") +
         "', i.TABLE_SCHEMA, '.', i.TABLE_NAME, '.', i.INDEX_NAME, ' ', " +
         (keys ? "IF(i.INDEX_NAME = 'PRIMARY', 'PRIMARY KEY', 'UNIQUE')" : "'unique=0'") +
         ", ' (', GROUP_CONCAT(i.COLUMN_NAME ORDER BY i.SEQ_IN_INDEX SEPARATOR ','), ') method=', "
         "LOWER(MAX(i.INDEX_TYPE)), ' prefix=', IF(MAX(i.SUB_PART) IS NULL, '-', "
         "GROUP_CONCAT(COALESCE(i.SUB_PART, 0) ORDER BY i.SEQ_IN_INDEX SEPARATOR ',')), ' desc=', "
         "COALESCE(GROUP_CONCAT(IF(i.COLLATION = 'D', i.COLUMN_NAME, NULL) ORDER BY i.SEQ_IN_INDEX SEPARATOR ','), '-'), "
         "' invisible=', IF(MAX(i.IGNORED) = 'YES', '1', '-'), ' comment=', " + Or("MAX(i.INDEX_COMMENT)") +
         ") AS v FROM information_schema.STATISTICS i WHERE " + filter + " AND i.NON_UNIQUE = " + (keys ? "0" : "1") +
         " GROUP BY BINARY i.TABLE_SCHEMA, BINARY i.TABLE_NAME, i.INDEX_NAME";
}

}  // namespace

std::vector<std::string> MariaCatalogueLines(const std::vector<std::string>& schemas, const MariaAccount& account) {
  auto filter = [&](const std::string& column) { return SchemaFilter(column, schemas); };
  auto query = [&](const std::string& text) { return MariaQueryColumn(text, {}, account.user, account.password); };
  // Whether the account may read mysql.proc (asked: a failing query fails the test).
  const bool procReadable =
      !query("SELECT 'yes' AS v FROM information_schema.USER_PRIVILEGES WHERE PRIVILEGE_TYPE = 'SELECT' "
             "UNION SELECT 'yes' FROM information_schema.SCHEMA_PRIVILEGES WHERE TABLE_SCHEMA = 'mysql' "
             "AND PRIVILEGE_TYPE = 'SELECT' UNION SELECT 'yes' FROM information_schema.TABLE_PRIVILEGES "
             "WHERE TABLE_SCHEMA = 'mysql' AND TABLE_NAME = 'proc' AND PRIVILEGE_TYPE = 'SELECT'")
           .empty();
  const std::string partitionClause =
      "CONCAT('PARTITION BY ', p.PARTITION_METHOD, ' (', p.PARTITION_EXPRESSION, ')', "
      "COALESCE(CONCAT(' SUBPARTITION BY ', p.SUBPARTITION_METHOD, ' (', p.SUBPARTITION_EXPRESSION, ')'), ''))";
  const std::string onUpdate =
      "IF(LOCATE('on update ', c.EXTRA) > 0, TRIM(REPLACE(SUBSTRING(c.EXTRA, LOCATE('on update ', c.EXTRA) + 10), "
      "'INVISIBLE', '')), '-')";
  const std::string body =
      procReadable ? "COALESCE((SELECT CASE p.character_set_client WHEN 'utf8mb4' THEN CONVERT(p.body USING utf8mb4) "
                     "WHEN 'latin1' THEN CONVERT(p.body USING latin1) ELSE CONVERT(p.body USING utf8mb3) END "
                     "FROM mysql.proc p WHERE BINARY p.db = BINARY r.ROUTINE_SCHEMA AND p.name = r.ROUTINE_NAME "
                     "AND p.type = r.ROUTINE_TYPE), r.ROUTINE_DEFINITION)"
                   : "r.ROUTINE_DEFINITION";
  const std::vector<std::string> queries = {
      "SELECT CONCAT('schema ', s.SCHEMA_NAME, ' charset=', s.DEFAULT_CHARACTER_SET_NAME, ' collation=', "
      "s.DEFAULT_COLLATION_NAME, ' comment=', " + Or("s.SCHEMA_COMMENT") + ") AS v "
      "FROM information_schema.SCHEMATA s WHERE " + filter("s.SCHEMA_NAME"),

      "SELECT CONCAT('table ', t.TABLE_SCHEMA, '.', t.TABLE_NAME, ' ', CASE WHEN t.CREATE_OPTIONS LIKE '%partitioned%' "
      "THEN 'partitioned table' WHEN t.TABLE_TYPE = 'SYSTEM VERSIONED' THEN 'system-versioned table' ELSE 'table' END, "
      "' engine=', " + Or("t.ENGINE") + ", ' rowformat=', " + Or("UPPER(t.ROW_FORMAT)") + ", ' collation=', " +
      Or("t.TABLE_COLLATION") + ", ' def=', " +
      Or(partitionClause) + ", ' comment=', " + Or("t.TABLE_COMMENT") + ") AS v FROM information_schema.TABLES t "
      // Joined, not a subquery per table: each look at PARTITIONS opens tables.
      "LEFT JOIN information_schema.PARTITIONS p ON BINARY p.TABLE_SCHEMA = BINARY t.TABLE_SCHEMA "
      "AND BINARY p.TABLE_NAME = BINARY t.TABLE_NAME AND p.PARTITION_ORDINAL_POSITION = 1 "
      "AND COALESCE(p.SUBPARTITION_ORDINAL_POSITION, 1) = 1 AND " + filter("p.TABLE_SCHEMA") + " WHERE " +
      filter("t.TABLE_SCHEMA") + " AND t.TABLE_TYPE IN ('BASE TABLE', 'SYSTEM VERSIONED')",

      "SELECT CONCAT('view ', v.TABLE_SCHEMA, '.', v.TABLE_NAME, ' check=', IF(v.CHECK_OPTION = 'NONE', '-', v.CHECK_OPTION), ' security=', "
      "v.SECURITY_TYPE, ' owner=', v.DEFINER, ' def=', v.VIEW_DEFINITION) AS v FROM information_schema.VIEWS v WHERE " +
      filter("v.TABLE_SCHEMA"),

      "SELECT CONCAT('column ', c.TABLE_SCHEMA, '.', c.TABLE_NAME, '.', c.COLUMN_NAME, ' #', c.ORDINAL_POSITION, ' ', "
      "c.COLUMN_TYPE, ' null=', IF(c.IS_NULLABLE = 'YES', 1, 0), ' default=', "
      "IF(c.IS_GENERATED = 'ALWAYS', '-', COALESCE(c.COLUMN_DEFAULT, '-')), ' gen=', "
      "IF(c.IS_GENERATED = 'ALWAYS', COALESCE(c.GENERATION_EXPRESSION, '-'), '-'), ' kind=', "
      "CASE WHEN c.IS_GENERATED <> 'ALWAYS' THEN '-' WHEN c.EXTRA LIKE '%VIRTUAL GENERATED%' THEN 'VIRTUAL' "
      "WHEN c.EXTRA LIKE '%STORED GENERATED%' THEN 'STORED' ELSE '-' END, "
      "' autoinc=', IF(c.EXTRA LIKE '%auto_increment%', '1', '-'), ' invisible=', IF(c.EXTRA LIKE '%INVISIBLE%', '1', '-'), "
      "' onupdate=', " + onUpdate + ", ' charset=', COALESCE(c.CHARACTER_SET_NAME, '-'), ' collation=', "
      "COALESCE(c.COLLATION_NAME, '-'), ' pk=', COALESCE(i.SEQ_IN_INDEX, '-'), ' comment=', " + Or("c.COLUMN_COMMENT") +
      ") AS v FROM information_schema.COLUMNS c LEFT JOIN information_schema.STATISTICS i "
      "ON BINARY i.TABLE_SCHEMA = BINARY c.TABLE_SCHEMA AND BINARY i.TABLE_NAME = BINARY c.TABLE_NAME "
      "AND i.INDEX_NAME = 'PRIMARY' AND i.COLUMN_NAME = c.COLUMN_NAME AND " + filter("i.TABLE_SCHEMA") + " WHERE " +
      filter("c.TABLE_SCHEMA") + " AND " + NotASequence("c.TABLE_SCHEMA", "c.TABLE_NAME"),

      IndexQuery(true, filter("i.TABLE_SCHEMA")),
      IndexQuery(false, filter("i.TABLE_SCHEMA")),

      "SELECT CONCAT('check ', k.CONSTRAINT_SCHEMA, '.', k.TABLE_NAME, '.', k.CONSTRAINT_NAME, ' ', k.CHECK_CLAUSE) AS v "
      "FROM information_schema.CHECK_CONSTRAINTS k WHERE " + filter("k.CONSTRAINT_SCHEMA"),

      "SELECT CONCAT('fk ', r.CONSTRAINT_SCHEMA, '.', r.TABLE_NAME, '.', r.CONSTRAINT_NAME, ' (', "
      "GROUP_CONCAT(u.COLUMN_NAME ORDER BY u.ORDINAL_POSITION SEPARATOR ','), ') -> ', MAX(u.REFERENCED_TABLE_SCHEMA), "
      "'.', r.REFERENCED_TABLE_NAME, ' (', GROUP_CONCAT(u.REFERENCED_COLUMN_NAME ORDER BY u.ORDINAL_POSITION "
      "SEPARATOR ','), ') key=', r.UNIQUE_CONSTRAINT_NAME, ' match=', IF(r.MATCH_OPTION IN ('FULL', 'PARTIAL'), "
      "r.MATCH_OPTION, 'SIMPLE'), ' del=', r.DELETE_RULE, ' upd=', r.UPDATE_RULE) AS v "
      "FROM information_schema.REFERENTIAL_CONSTRAINTS r JOIN information_schema.KEY_COLUMN_USAGE u "
      "ON BINARY u.CONSTRAINT_SCHEMA = BINARY r.CONSTRAINT_SCHEMA AND BINARY u.TABLE_NAME = BINARY r.TABLE_NAME "
      "AND u.CONSTRAINT_NAME = r.CONSTRAINT_NAME AND u.REFERENCED_TABLE_NAME IS NOT NULL WHERE " +
      filter("r.CONSTRAINT_SCHEMA") + " GROUP BY BINARY r.CONSTRAINT_SCHEMA, BINARY r.TABLE_NAME, r.CONSTRAINT_NAME",

      "SELECT DISTINCT CONCAT('partition ', p.TABLE_SCHEMA, '.', p.TABLE_NAME, '.', p.PARTITION_NAME, ' def=', "
      "COALESCE(CASE WHEN p.PARTITION_METHOD = 'RANGE' AND p.PARTITION_DESCRIPTION = 'MAXVALUE' "
      "THEN 'VALUES LESS THAN MAXVALUE' WHEN p.PARTITION_METHOD LIKE 'RANGE%' "
      "THEN CONCAT('VALUES LESS THAN (', p.PARTITION_DESCRIPTION, ')') WHEN p.PARTITION_METHOD LIKE 'LIST%' "
      "AND p.PARTITION_DESCRIPTION = 'MAXVALUE' THEN 'DEFAULT' WHEN p.PARTITION_METHOD LIKE 'LIST%' "
      "THEN CONCAT('VALUES IN (', p.PARTITION_DESCRIPTION, ')') END, '-'), ' comment=', " + Or("p.PARTITION_COMMENT") +
      ") AS v FROM information_schema.PARTITIONS p WHERE " + filter("p.TABLE_SCHEMA") + " AND p.PARTITION_NAME IS NOT NULL",

      "SELECT CONCAT('trigger ', g.EVENT_OBJECT_SCHEMA, '.', g.EVENT_OBJECT_TABLE, '.', g.TRIGGER_NAME, ' ', "
      "g.ACTION_TIMING, ' ', g.EVENT_MANIPULATION, ' order=', g.ACTION_ORDER, ' owner=', g.DEFINER, ' mode=', "
      "g.SQL_MODE, ' def=', "
      "g.ACTION_STATEMENT) AS v FROM information_schema.TRIGGERS g WHERE " + filter("g.EVENT_OBJECT_SCHEMA"),

      "SELECT CONCAT('routine ', r.ROUTINE_SCHEMA, '.', r.ROUTINE_NAME, ' ', LOWER(r.ROUTINE_TYPE), ' returns=', "
      "COALESCE(r.DTD_IDENTIFIER, '-'), ' lang=', LOWER(r.ROUTINE_BODY), ' security=', r.SECURITY_TYPE, ' owner=', "
      "r.DEFINER, ' mode=', r.SQL_MODE, ' comment=', " + Or("r.ROUTINE_COMMENT") + ", ' params=(', COALESCE((SELECT GROUP_CONCAT(CONCAT("
      "IF(a.ROUTINE_TYPE = 'PROCEDURE', CONCAT(a.PARAMETER_MODE, ' '), ''), '`', REPLACE(a.PARAMETER_NAME, '`', '``'), "
      "'` ', a.DTD_IDENTIFIER) ORDER BY a.ORDINAL_POSITION SEPARATOR ', ') FROM information_schema.PARAMETERS a "
      "WHERE BINARY a.SPECIFIC_SCHEMA = BINARY r.ROUTINE_SCHEMA AND a.SPECIFIC_NAME = r.ROUTINE_NAME AND a.ROUTINE_TYPE = r.ROUTINE_TYPE "
      "AND a.ORDINAL_POSITION > 0), ''), ')') AS v FROM information_schema.ROUTINES r WHERE " + filter("r.ROUTINE_SCHEMA"),

      "SELECT CONCAT('body ', r.ROUTINE_SCHEMA, '.', r.ROUTINE_NAME, ' ', LOWER(r.ROUTINE_TYPE), ' ', " +
      Or(body) + ") AS v FROM information_schema.ROUTINES r WHERE " + filter("r.ROUTINE_SCHEMA"),

      "SELECT CONCAT('param ', a.SPECIFIC_SCHEMA, '.', a.SPECIFIC_NAME, ' ', LOWER(a.ROUTINE_TYPE), ' #', "
      "a.ORDINAL_POSITION, ' ', COALESCE(a.PARAMETER_MODE, 'IN'), ' ', a.PARAMETER_NAME, ' ', a.DTD_IDENTIFIER) AS v "
      "FROM information_schema.PARAMETERS a WHERE " + filter("a.SPECIFIC_SCHEMA") + " AND a.ORDINAL_POSITION > 0",
  };
  std::vector<std::string> lines;
  // Columns in the global sql_mode, by which the server derives a view's.
  for (const std::string& text : queries) {
    const std::string setup = text.starts_with("SELECT CONCAT('column ") ? "SET SESSION sql_mode = @@GLOBAL.sql_mode" : "";
    for (std::string& line : MariaQueryColumn(text, setup, account.user, account.password)) lines.push_back(std::move(line));
  }

  // Sequences: their values are in the sequences themselves.
  const std::vector<std::string> sequences =
      query("SELECT CONCAT(HEX(t.TABLE_SCHEMA), ' ', HEX(t.TABLE_NAME)) AS v FROM information_schema.TABLES t WHERE " +
            filter("t.TABLE_SCHEMA") + " AND t.TABLE_TYPE = 'SEQUENCE'");
  for (const std::string& pair : sequences) {
    const std::size_t blank = pair.find(' ');
    const std::string schema = MariaQueryValue("SELECT UNHEX('" + pair.substr(0, blank) + "') AS v");
    const std::string name = MariaQueryValue("SELECT UNHEX('" + pair.substr(blank + 1) + "') AS v");
    for (std::string& line :
         query("SELECT CONCAT('sequence ', " + MariaLiteral(schema) + ", '.', " + MariaLiteral(name) +
               ", ' start=', s.start_value, ' inc=', s.increment, ' min=', s.minimum_value, ' max=', s.maximum_value, "
               "' cycle=', s.cycle_option, ' comment=', " +
               Or("(SELECT t.TABLE_COMMENT FROM information_schema.TABLES t WHERE BINARY t.TABLE_SCHEMA = " +
                  MariaLiteral(schema) + " AND BINARY t.TABLE_NAME = " + MariaLiteral(name) + ")") +
               ") AS v FROM " + MariaIdent(schema) + "." + MariaIdent(name) + " s"))
      lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> MariaModelLines(GenericModel& model) {
  std::vector<std::string> lines;
  const auto add = [&lines](std::string line) { lines.push_back(std::move(line)); };
  const auto names = [&model](const CMOObject& object, int propertyId) {
    return Dash(NameList(model, Ids(object, propertyId)));
  };
  // What tables and views have in common.
  const auto relationLines = [&](const std::string& s, CMOObject& relation) {
    const std::string prefix = s + "." + Name(relation) + ".";
    for (CMOObject* column : Children(model, relation, model::Column))
      add("column " + prefix + Name(*column) + " #" + NumberOf(*column, model::Position) + " " +
          Text(*column, model::DataType) + " null=" + NumberOf(*column, model::Nullable) + " default=" +
          Dash(Text(*column, model::DefaultValue)) + " gen=" + Dash(Text(*column, model::GeneratedExpression)) +
          " kind=" + Dash(Text(*column, model::GeneratedKind)) + " autoinc=" + NumberOf(*column, model::AutoIncrement) +
          " invisible=" + NumberOf(*column, model::Invisible) + " onupdate=" + Dash(Text(*column, model::UpdateExpression)) +
          " charset=" + Dash(Text(*column, model::CharacterSet)) + " collation=" + Dash(Text(*column, model::Collation)) +
          " pk=" + NumberOf(*column, model::PrimaryKeyPosition) + " comment=" + Dash(Text(*column, model::Comment)));
    for (int type : {model::Key, model::Index})
      for (CMOObject* index : Children(model, relation, type))
        add((type == model::Key ? "key " : "index ") + prefix + Name(*index) + " " +
            (type == model::Key ? Text(*index, model::KeyType) : "unique=" + NumberOf(*index, model::IsUnique)) + " (" +
            NameList(model, Ids(*index, type == model::Key ? model::KeyColumns : model::IndexColumns)) +
            ") method=" + Text(*index, model::IndexMethod) + " prefix=" + Dash(Text(*index, model::PrefixLengths)) +
            " desc=" + names(*index, model::DescendingColumns) + " invisible=" + NumberOf(*index, model::Invisible) +
            " comment=" + Dash(Text(*index, model::Comment)));
    for (CMOObject* check : Children(model, relation, model::CheckConstraint))
      add("check " + prefix + Name(*check) + " " + Text(*check, model::CheckExpression));
    for (CMOObject* fk : Children(model, relation, model::ForeignKey)) {
      const std::vector<int> referenced = Ids(*fk, model::ReferencedTable);
      const CMOObject* target = referenced.empty() ? nullptr : model.GetCMOObject(referenced[0]);
      add("fk " + prefix + Name(*fk) + " (" + NameList(model, Ids(*fk, model::ForeignKeyColumns)) + ") -> " +
          (target != nullptr ? ParentName(model, *target) + "." + Name(*target) : "?") + " (" +
          NameList(model, Ids(*fk, model::ReferencedColumns)) + ") key=" + names(*fk, model::ReferencedKey) +
          " match=" + Text(*fk, model::MatchType) + " del=" + Text(*fk, model::OnDelete) + " upd=" +
          Text(*fk, model::OnUpdate));
    }
    for (CMOObject* partition : Children(model, relation, model::Partition))
      add("partition " + prefix + Name(*partition) + " def=" + Dash(Text(*partition, model::Definition)) + " comment=" +
          Dash(Text(*partition, model::Comment)));
    for (CMOObject* trigger : Children(model, relation, model::Trigger))
      add("trigger " + prefix + Name(*trigger) + " " + Text(*trigger, model::TriggerTiming) + " " +
          Text(*trigger, model::TriggerEvents) + " order=" + NumberOf(*trigger, model::TriggerOrder) + " owner=" +
          Text(*trigger, model::Owner) + " mode=" + Text(*trigger, model::SqlMode) + " def=" +
          Text(*trigger, model::Definition));
  };
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    const std::string s = Name(*schema);
    add("schema " + s + " charset=" + Text(*schema, model::CharacterSet) + " collation=" +
        Text(*schema, model::Collation) + " comment=" + Dash(Text(*schema, model::Comment)));
    for (CMOObject* table : Children(model, *schema, model::Table)) {
      add("table " + s + "." + Name(*table) + " " + Text(*table, model::TableKind) + " engine=" +
          Dash(Text(*table, model::Engine)) + " rowformat=" + Dash(Text(*table, model::RowFormat)) + " collation=" +
          Dash(Text(*table, model::Collation)) + " def=" + Dash(Text(*table, model::Definition)) + " comment=" +
          Dash(Text(*table, model::Comment)));
      relationLines(s, *table);
    }
    for (CMOObject* view : Children(model, *schema, model::View)) {
      add("view " + s + "." + Name(*view) + " check=" + Dash(Text(*view, model::CheckOption)) + " security=" +
          Text(*view, model::SecurityType) + " owner=" + Text(*view, model::Owner) + " def=" +
          Text(*view, model::Definition));
      relationLines(s, *view);
    }
    for (CMOObject* sequence : Children(model, *schema, model::Sequence))
      add("sequence " + s + "." + Name(*sequence) + " start=" + NumberOf(*sequence, model::SequenceStart) + " inc=" +
          NumberOf(*sequence, model::SequenceIncrement) + " min=" + NumberOf(*sequence, model::SequenceMin) + " max=" +
          NumberOf(*sequence, model::SequenceMax) + " cycle=" + NumberOf(*sequence, model::SequenceCycle) + " comment=" +
          Dash(Text(*sequence, model::Comment)));
    for (CMOObject* routine : Children(model, *schema, model::Routine)) {
      const std::string id = s + "." + Name(*routine) + " " + Text(*routine, model::RoutineKind);
      add("routine " + id + " returns=" + Dash(Text(*routine, model::ReturnType)) + " lang=" +
          Text(*routine, model::Language) + " security=" + Text(*routine, model::SecurityType) + " owner=" +
          Text(*routine, model::Owner) + " mode=" + Text(*routine, model::SqlMode) + " comment=" +
          Dash(Text(*routine, model::Comment)) + " params=(" +
          Text(*routine, model::ParameterList) + ")");
      add("body " + id + " " + Dash(Text(*routine, model::Definition)));
      for (CMOObject* parameter : Children(model, *routine, model::Parameter))
        add("param " + id + " #" + NumberOf(*parameter, model::Position) + " " + Text(*parameter, model::ParameterMode) +
            " " + Name(*parameter) + " " + Text(*parameter, model::DataType));
    }
  }
  return lines;
}

std::vector<std::string> MariaPrivilegeLines(const std::string& schema) {
  // GRANTEE is 'user'@'host', quotes in the names as they are.
  const std::string host = "SUBSTRING_INDEX(GRANTEE, '''@''', -1)";
  const std::string grantee = "CONCAT(SUBSTRING(GRANTEE, 2, CHAR_LENGTH(GRANTEE) - CHAR_LENGTH(" + host + ") - 4), IF(" +
                              host + " = '''', '', CONCAT('@', LEFT(" + host + ", CHAR_LENGTH(" + host + ") - 1))))";
  const std::string rest = ", ' ', " + grantee + ", ' ', PRIVILEGE_TYPE, IF(IS_GRANTABLE = 'YES', ' *', '')) AS v ";
  const std::string where = "WHERE TABLE_SCHEMA = " + MariaLiteral(schema);
  return MariaQueryColumn("SELECT CONCAT('grant ', TABLE_SCHEMA" + rest + "FROM information_schema.SCHEMA_PRIVILEGES " +
                          where + " UNION ALL SELECT CONCAT('grant ', TABLE_SCHEMA, '.', TABLE_NAME" + rest +
                          "FROM information_schema.TABLE_PRIVILEGES " + where +
                          " UNION ALL SELECT CONCAT('grant ', TABLE_SCHEMA, '.', TABLE_NAME, '.', COLUMN_NAME" + rest +
                          "FROM information_schema.COLUMN_PRIVILEGES " + where);
}

}  // namespace qm::test

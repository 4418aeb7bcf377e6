#include "SqliteCatalog.h"

#include "SqliteSqlText.h"

#include <tillerhold/ModelVocabulary.h>

#include <string_view>

namespace qm::sqlite {
namespace {

// A statement run once per database: `body` is one SELECT (or a compound
// of SELECTs) with the placeholders {N} (the database's position), {L} (its
// name as a string literal) and {S} (its name as an identifier);
// `orderBy` follows the UNION ALL of all databases' bodies. Every result
// column has an alias: the driver names unaliased expressions after their
// text, and the record keys are the names it reports.
struct PerDatabaseStatement {
  int id;
  std::u16string_view body;
  std::u16string_view orderBy;
};

// SQLite's own tables (sqlite_sequence, sqlite_stat1, ...) are left out. The
// names are reserved case-insensitively, as LIKE compares.
#define QM_USER_TABLES u"m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
// Virtual tables have no b-tree of their own (rootpage 0). Reading their
// columns loads their module, which fails for a module the connection does
// not have ("no such module"); they are read by a statement of their own so
// that such a table cannot cost the columns of every other table. They have
// no keys, foreign keys or indexes.
#define QM_STORED_TABLES QM_USER_TABLES u" AND m.rootpage <> 0"
#define QM_VIRTUAL_TABLES QM_USER_TABLES u" AND m.rootpage = 0"

constexpr std::u16string_view kDatabaseListText =
    u"SELECT d.seq AS schema_seq, d.name AS schema_name, d.file AS file_name "
    u"FROM pragma_database_list AS d "
    u"WHERE d.name <> 'temp' OR EXISTS (SELECT 1 FROM temp.sqlite_master) "
    u"ORDER BY d.seq";

const PerDatabaseStatement kPerDatabase[] = {
    {kTables,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"m.sql AS sql_text "
     u"FROM {S}.sqlite_master AS m WHERE " QM_USER_TABLES,
     u"schema_seq, object_seq"},
    // Hidden columns of virtual tables (hidden = 1) are not the table's;
    // generated columns are: hidden 2 VIRTUAL, 3 STORED. (The row action
    // makes an INTEGER PRIMARY KEY not null: SQLite reports it without NOT
    // NULL.)
    {kColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"c.cid AS column_index, c.name AS column_name, c.type AS data_type, c.\"notnull\" AS not_null, "
     u"c.dflt_value AS default_value, c.pk AS pk_position, c.hidden AS hidden_kind "
     u"FROM {S}.sqlite_master AS m JOIN pragma_table_xinfo(m.name, {L}) AS c "
     u"WHERE " QM_STORED_TABLES u" AND c.hidden <> 1",
     u"schema_seq, object_seq, column_index"},
    {kVirtualTableColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"c.cid AS column_index, c.name AS column_name, c.type AS data_type, c.\"notnull\" AS not_null, "
     u"c.dflt_value AS default_value, c.pk AS pk_position "
     u"FROM {S}.sqlite_master AS m JOIN pragma_table_xinfo(m.name, {L}) AS c "
     u"WHERE " QM_VIRTUAL_TABLES u" AND c.hidden <> 1",
     u"schema_seq, object_seq, column_index"},
    // The primary key (one row per table that has one), then the unique
    // constraints: their indexes have origin 'u'. index_list numbers the
    // newest index 0, so descending seq is declaration order.
    {kKeys,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"0 AS key_kind, 0 AS key_seq, '' AS index_name "
     u"FROM {S}.sqlite_master AS m JOIN pragma_table_xinfo(m.name, {L}) AS c "
     u"WHERE " QM_STORED_TABLES u" AND c.pk = 1 "
     u"UNION ALL "
     u"SELECT {N}, {L}, m.rowid, m.name, 1, il.seq, il.name "
     u"FROM {S}.sqlite_master AS m JOIN pragma_index_list(m.name, {L}) AS il "
     u"WHERE " QM_STORED_TABLES u" AND il.origin = 'u'",
     u"schema_seq, object_seq, key_kind, key_seq DESC"},
    {kKeyColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"'' AS index_name, c.pk AS column_seq, c.name AS column_name "
     u"FROM {S}.sqlite_master AS m JOIN pragma_table_xinfo(m.name, {L}) AS c "
     u"WHERE " QM_STORED_TABLES u" AND c.pk > 0 "
     u"UNION ALL "
     u"SELECT {N}, {L}, m.rowid, m.name, il.name, x.seqno + 1, x.name "
     u"FROM {S}.sqlite_master AS m JOIN pragma_index_list(m.name, {L}) AS il "
     u"JOIN pragma_index_xinfo(il.name, {L}) AS x "
     u"WHERE " QM_STORED_TABLES u" AND il.origin = 'u' AND x.key = 1",
     u"schema_seq, object_seq, index_name, column_seq"},
    // foreign_key_list numbers the last declared foreign key 0: descending
    // id is declaration order.
    {kForeignKeys,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"f.id AS fk_id, f.\"table\" AS referenced_table, f.on_update AS on_update, "
     u"f.on_delete AS on_delete, f.\"match\" AS match_type "
     u"FROM {S}.sqlite_master AS m JOIN pragma_foreign_key_list(m.name, {L}) AS f "
     u"WHERE " QM_STORED_TABLES u" AND f.seq = 0",
     u"schema_seq, object_seq, fk_id DESC"},
    {kForeignKeyColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"f.id AS fk_id, f.seq AS column_seq, f.\"table\" AS referenced_table, "
     u"f.\"from\" AS from_column, f.\"to\" AS to_column "
     u"FROM {S}.sqlite_master AS m JOIN pragma_foreign_key_list(m.name, {L}) AS f "
     u"WHERE " QM_STORED_TABLES,
     u"schema_seq, object_seq, fk_id DESC, column_seq"},
    // Indexes made with CREATE INDEX (origin 'c'); those behind primary
    // keys and unique constraints are imported as keys.
    {kIndexes,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"s.rowid AS index_seq, il.name AS index_name, il.\"unique\" AS is_unique, il.partial AS is_partial, "
     u"s.sql AS sql_text "
     // CROSS JOIN keeps the index list outside the second catalogue scan;
     // left to the planner, the pragma runs once per catalogue row pair.
     u"FROM {S}.sqlite_master AS m JOIN pragma_index_list(m.name, {L}) AS il "
     u"CROSS JOIN {S}.sqlite_master AS s ON s.type = 'index' AND s.name = il.name "
     u"WHERE " QM_STORED_TABLES u" AND il.origin = 'c'",
     u"schema_seq, object_seq, index_seq"},
    // Key terms only (key = 1); cid -2 marks an expression, -1 the rowid.
    {kIndexColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"il.name AS index_name, x.seqno AS column_seq, x.cid AS column_id, x.name AS column_name "
     u"FROM {S}.sqlite_master AS m JOIN pragma_index_list(m.name, {L}) AS il "
     u"JOIN pragma_index_xinfo(il.name, {L}) AS x "
     u"WHERE " QM_STORED_TABLES u" AND il.origin = 'c' AND x.key = 1",
     u"schema_seq, object_seq, index_name, column_seq"},
    {kViews,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS view_name, "
     u"m.sql AS sql_text "
     u"FROM {S}.sqlite_master AS m WHERE m.type = 'view'",
     u"schema_seq, object_seq"},
    // Reading a view's columns compiles the view; the row action is the
    // columns' one, with the view as the relation.
    {kViewColumns,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS table_name, "
     u"c.cid AS column_index, c.name AS column_name, c.type AS data_type, c.\"notnull\" AS not_null, "
     u"c.dflt_value AS default_value, c.pk AS pk_position "
     u"FROM {S}.sqlite_master AS m JOIN pragma_table_xinfo(m.name, {L}) AS c "
     u"WHERE m.type = 'view'",
     u"schema_seq, object_seq, column_index"},
    {kTriggers,
     u"SELECT {N} AS schema_seq, {L} AS schema_name, m.rowid AS object_seq, m.name AS trigger_name, "
     u"m.tbl_name AS table_name, m.sql AS sql_text "
     u"FROM {S}.sqlite_master AS m WHERE m.type = 'trigger'",
     u"schema_seq, object_seq"},
};

#undef QM_VIRTUAL_TABLES
#undef QM_STORED_TABLES
#undef QM_USER_TABLES

const PerDatabaseStatement* FindPerDatabase(int statementId) {
  for (const PerDatabaseStatement& statement : kPerDatabase)
    if (statement.id == statementId) return &statement;
  return nullptr;
}

// Replaces the placeholders in one pass, so that a database name holding
// "{S}" or a quote is never read as part of the template.
void AppendInstance(std::u16string& out, std::u16string_view body, const DatabaseName& database) {
  const std::u16string seq = [&] {
    const std::string digits = std::to_string(database.seq);
    return std::u16string(digits.begin(), digits.end());
  }();
  const std::u16string literal = QuoteLiteral(database.name);
  const std::u16string identifier = QuoteIdentifier(database.name);
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == u'{' && i + 2 < body.size() && body[i + 2] == u'}') {
      const char16_t which = body[i + 1];
      if (which == u'N' || which == u'L' || which == u'S') {
        out += which == u'N' ? seq : which == u'L' ? literal : identifier;
        i += 2;
        continue;
      }
    }
    out += body[i];
  }
}

}  // namespace

const std::vector<int>& ReadStatementIds() {
  static const std::vector<int> ids = {kTables,  kColumns,      kVirtualTableColumns, kKeys,        kKeyColumns,
                                       kForeignKeys, kForeignKeyColumns, kIndexes,   kIndexColumns, kViews,
                                       kViewColumns, kTriggers};
  return ids;
}

std::u16string StatementName(int statementId) {
  switch (statementId) {
    case kDatabases: return u"databases";
    case kTables: return u"tables";
    case kColumns: return u"columns";
    case kVirtualTableColumns: return u"virtual table columns";
    case kKeys: return u"keys";
    case kKeyColumns: return u"key columns";
    case kForeignKeys: return u"foreign keys";
    case kForeignKeyColumns: return u"foreign key columns";
    case kIndexes: return u"indexes";
    case kIndexColumns: return u"index columns";
    case kViews: return u"views";
    case kViewColumns: return u"view columns";
    case kTriggers: return u"triggers";
    default: {
      const std::string digits = std::to_string(statementId);
      return u"statement " + std::u16string(digits.begin(), digits.end());
    }
  }
}

int StatementObjectType(int statementId) {
  switch (statementId) {
    case kDatabases: return model::Schema;
    case kTables: return model::Table;
    case kColumns:
    case kVirtualTableColumns:
    case kViewColumns: return model::Column;
    case kKeys: return model::Key;
    case kForeignKeys: return model::ForeignKey;
    case kIndexes: return model::Index;
    case kViews: return model::View;
    case kTriggers: return model::Trigger;
    default: return 0;  // column lists of keys, foreign keys and indexes
  }
}

std::u16string StatementText(int statementId, const std::vector<DatabaseName>& databases) {
  if (statementId == kDatabases) return std::u16string(kDatabaseListText);
  const PerDatabaseStatement* statement = FindPerDatabase(statementId);
  if (statement == nullptr) return {};

  static const std::vector<DatabaseName> kMainOnly = {DatabaseName{0, u"main"}};
  const std::vector<DatabaseName>& targets = databases.empty() ? kMainOnly : databases;
  std::u16string text;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (i > 0) text += u" UNION ALL ";
    AppendInstance(text, statement->body, targets[i]);
  }
  text += u" ORDER BY ";
  text += statement->orderBy;
  return text;
}

bool HasObjectForm(int statementId) { return statementId == kVirtualTableColumns || statementId == kViewColumns; }

std::u16string ObjectStatementText(int statementId, const std::vector<const RelationName*>& relations) {
  if (!HasObjectForm(statementId) || relations.empty()) return {};
  const PerDatabaseStatement* statement = FindPerDatabase(statementId);
  // Both bodies end in their WHERE clause.
  std::u16string text;
  AppendInstance(text, statement->body, relations.front()->database);
  text += u" AND m.rowid IN (";
  for (std::size_t i = 0; i < relations.size(); ++i) {
    if (i > 0) text += u", ";
    const std::string rowid = std::to_string(relations[i]->rowid);
    text.append(rowid.begin(), rowid.end());
  }
  text += u") ORDER BY object_seq, column_index";
  return text;
}

}  // namespace qm::sqlite

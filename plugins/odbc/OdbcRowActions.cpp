#include "OdbcRowActions.h"

#include <platform/CString.h>
#include <schemaimport/CommonDataObject.h>
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>
#include <schemaimport/ModelWriting.h>
#include <schemaimport/ObjectIdLookup.h>
#include <tillerhold/CMOObject.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace qm::odbc {
namespace {

// ODBC's codes in the catalogue functions' result sets (sql.h, sqlext.h),
// spelt out here so that no C header reaches the row actions.
constexpr int kSqlChar = 1, kSqlVarchar = 12, kSqlWChar = -8, kSqlWVarchar = -9, kSqlBinary = -2,
              kSqlVarbinary = -3, kSqlNumeric = 2, kSqlDecimal = 3;
constexpr int kNoNulls = 0, kNullable = 1;                      // SQLColumns NULLABLE
constexpr int kTableStat = 0;                                   // SQLStatistics TYPE: the table's own row
constexpr int kPtProcedure = 1, kPtFunction = 2;                // SQLProcedures PROCEDURE_TYPE
constexpr int kParamInput = 1, kParamInputOutput = 2, kResultColumn = 3, kParamOutput = 4,
              kReturnValue = 5;                                 // SQLProcedureColumns COLUMN_TYPE
constexpr int kInitiallyDeferred = 5, kInitiallyImmediate = 6;  // SQLForeignKeys DEFERRABILITY

std::u16string Decimal(long long n) { return CString::FromUtf8(std::to_string(n)).str(); }

// The value of the first of the names (an ODBC 3 name, then its ODBC 2
// spelling) the row has, each tried as written and in lower case: psqlODBC
// names the columns of some results (SQLProcedures) in lower case. Null
// when none.
std::optional<std::u16string> KeyOf(const CommonDataObject& record, std::initializer_list<const char16_t*> names) {
  for (const char16_t* name : names) {
    if (record.Has(name)) return std::u16string(name);
    std::u16string lower(name);
    for (char16_t& ch : lower)
      if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
    if (record.Has(lower)) return lower;
  }
  return std::nullopt;
}

std::optional<std::u16string> OptionalText(const CommonDataObject& record, std::initializer_list<const char16_t*> names) {
  const std::optional<std::u16string> key = KeyOf(record, names);
  if (!key) return std::nullopt;
  return record.Text(*key);
}

std::u16string Text(const CommonDataObject& record, std::initializer_list<const char16_t*> names) {
  return OptionalText(record, names).value_or(std::u16string());
}

std::optional<int> OptionalNumber(const CommonDataObject& record, std::initializer_list<const char16_t*> names) {
  const std::optional<std::u16string> key = KeyOf(record, names);
  if (!key) return std::nullopt;
  return record.GetNumber(*key);
}

int Number(const CommonDataObject& record, std::initializer_list<const char16_t*> names) {
  return OptionalNumber(record, names).value_or(0);
}

// Keys of the object cache (see OdbcRowActions.h): lengths first, so that no
// two names give one key.
CString TableKey(const std::u16string& schema, const std::u16string& table) {
  return CString(u"T" + Decimal(static_cast<long long>(schema.size())) + u":" + schema + table);
}
CString ColumnKey(int tableId, const std::u16string& column) { return CString(u"C" + Decimal(tableId) + u":" + column); }
CString RoutineKey(const std::u16string& schema, const std::u16string& routine) {
  return CString(u"R" + Decimal(static_cast<long long>(schema.size())) + u":" + schema + routine);
}

// The model schema of a row whose catalog and schema come under these
// column names.
std::u16string RowSchema(const ReadState& state, const CommonDataObject& record, const char16_t* catalog,
                         const char16_t* catalog2, const char16_t* schema, const char16_t* schema2) {
  return state.facts.SchemaName(Text(record, {catalog, catalog2}), Text(record, {schema, schema2}));
}

std::u16string TableSchema(const ReadState& state, const CommonDataObject& record) {
  return RowSchema(state, record, u"TABLE_CAT", u"TABLE_QUALIFIER", u"TABLE_SCHEM", u"TABLE_OWNER");
}

CMOObject* FindTable(const std::u16string& schema, const std::u16string& table) {
  return ImportedObjectCache::Instance()->FindObjectById(TableKey(schema, table));
}

CMOObject* FindColumn(const CMOObject& table, const std::u16string& column) {
  return ImportedObjectCache::Instance()->FindObjectById(ColumnKey(table.GetObjectId(), column));
}

// Ids of the named columns of the table; empty unless every one is known,
// since a partial list would pair columns wrongly.
std::vector<int> ColumnIds(const CMOObject& table, const std::vector<std::u16string>& names) {
  std::vector<int> ids;
  for (const std::u16string& name : names)
    if (CMOObject* column = FindColumn(table, name)) ids.push_back(column->GetObjectId());
  return ids.size() == names.size() ? ids : std::vector<int>();
}

// A key's signature: its table and its column ids as a set (a foreign key
// may list the referenced columns in another order than the key).
CString KeySignature(const CMOObject& table, std::vector<int> columnIds) {
  std::sort(columnIds.begin(), columnIds.end());
  std::u16string signature = Decimal(table.GetObjectId()) + u":";
  for (std::size_t i = 0; i < columnIds.size(); ++i) signature += (i > 0 ? u"," : u"") + Decimal(columnIds[i]);
  return CString(std::move(signature));
}

std::u16string Upper(std::u16string text) {
  for (char16_t& ch : text)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
  return text;
}

// ---- Tables and views. TABLE_TYPE is the driver's word: "TABLE" and
// "VIEW" are ODBC's, the rest the driver's own ("SYSTEM TABLE", "ALIAS",
// "SYNONYM", "LOCAL TEMPORARY", "MATERIALIZED VIEW", "FOREIGN TABLE",
// "PARTITIONED TABLE", ...). The database's own tables, aliases, synonyms
// and temporary tables are left out.

class TablesAction : public QueryResultRowActionI {
 public:
  explicit TablesAction(ReadState& state) : m_state(state) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string type = Upper(Text(record, {u"TABLE_TYPE"}));
    const bool view = type.find(u"VIEW") != std::u16string::npos;
    if (type.find(u"SYSTEM") != std::u16string::npos || type.find(u"TEMPORARY") != std::u16string::npos ||
        type == u"ALIAS" || type == u"SYNONYM" || (!view && type.find(u"TABLE") == std::u16string::npos)) {
      ++m_state.skippedTypes;
      return;
    }
    const std::u16string name = Text(record, {u"TABLE_NAME"});
    const std::u16string schema = TableSchema(m_state, record);
    const int schemaId = SchemaLookup::Instance()->FindCreate(model, schema);
    CMOObject& object = CreateNamedObject(*model, view ? model::View : model::Table, schemaId, name);
    const char16_t* kind = u"table";
    if (view) kind = type.find(u"MATERIALIZED") != std::u16string::npos ? u"materialized view" : u"view";
    else if (type.find(u"PARTITIONED") != std::u16string::npos) kind = u"partitioned table";
    SetTextProperty(object, model::TableKind, kind);
    if (!Text(record, {u"REMARKS"}).empty()) SetTextProperty(object, model::Comment, Text(record, {u"REMARKS"}));
    ImportedObjectCache::Instance()->AddByDBID(TableKey(schema, name), &object);
    m_state.tables.push_back(FoundTable{OptionalText(record, {u"TABLE_CAT", u"TABLE_QUALIFIER"}),
                                        OptionalText(record, {u"TABLE_SCHEM", u"TABLE_OWNER"}), name, view});
  }

 private:
  ReadState& m_state;
};

// ---- Columns, in the order the driver lists them per table (ODBC orders
// them by table and ORDINAL_POSITION). Position counts them from 1, so that
// a gap a driver leaves for a dropped column does not show.

class ColumnsAction : public QueryResultRowActionI {
 public:
  explicit ColumnsAction(ReadState& state) : m_state(state) {}

  void PreExecute(GenericModel*) override { m_counts.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* table = FindTable(TableSchema(m_state, record), Text(record, {u"TABLE_NAME"}));
    if (table == nullptr) return;  // a table the scope or the type left out
    const std::u16string name = Text(record, {u"COLUMN_NAME"});
    CMOObject& column = CreateNamedObject(*model, model::Column, table->GetObjectId(), name);
    const std::u16string typeName = Text(record, {u"TYPE_NAME"});
    if (!typeName.empty())
      SetTextProperty(column, model::DataType,
                      ColumnType(typeName, Number(record, {u"DATA_TYPE"}), OptionalNumber(record, {u"COLUMN_SIZE", u"PRECISION"}),
                                 OptionalNumber(record, {u"DECIMAL_DIGITS", u"SCALE"})));
    // NULLABLE says SQL_NULLABLE_UNKNOWN for some; IS_NULLABLE may know.
    const std::optional<int> nullable = OptionalNumber(record, {u"NULLABLE"});
    if (nullable == kNoNulls || nullable == kNullable) {
      SetIntegerProperty(column, model::Nullable, *nullable);
    } else if (const std::optional<std::u16string> text = OptionalText(record, {u"IS_NULLABLE"})) {
      if (*text == u"NO" || *text == u"YES") SetIntegerProperty(column, model::Nullable, *text == u"YES" ? 1 : 0);
    }
    // ODBC writes a default of NULL as the word NULL: the same as none.
    if (OptionalText(record, {u"COLUMN_DEF"}).has_value() && Text(record, {u"COLUMN_DEF"}) != u"NULL")
      SetTextProperty(column, model::DefaultValue, Text(record, {u"COLUMN_DEF"}));
    if (!Text(record, {u"REMARKS"}).empty()) SetTextProperty(column, model::Comment, Text(record, {u"REMARKS"}));
    SetIntegerProperty(column, model::Position, ++m_counts[table->GetObjectId()]);
    ImportedObjectCache::Instance()->AddByDBID(ColumnKey(table->GetObjectId(), name), &column);
  }

  void PostExecute(GenericModel*) override { m_counts.clear(); }

 private:
  ReadState& m_state;
  std::map<int, int> m_counts;  // table object id -> columns made so far; emptied around the statement
};

// ---- Primary keys: one key per table, named PK_NAME (or "pk_<table>"
// when the driver names none), its columns in KEY_SEQ order, each column's
// position in it, and the key's signature for the foreign keys.

class PrimaryKeysAction : public QueryResultRowActionI {
 public:
  explicit PrimaryKeysAction(ReadState& state) : m_state(state) {}

  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* table = FindTable(TableSchema(m_state, record), Text(record, {u"TABLE_NAME"}));
    if (table == nullptr) return;
    auto [it, added] = m_pending.try_emplace(table, Pending{});
    if (added) {
      it->second.arrival = m_pending.size();
      it->second.name = Text(record, {u"PK_NAME"});
      it->second.tableName = Text(record, {u"TABLE_NAME"});
    }
    it->second.columns.emplace_back(Number(record, {u"KEY_SEQ"}), Text(record, {u"COLUMN_NAME"}));
  }

  void PostExecute(GenericModel* model) override {
    std::vector<std::pair<CMOObject*, Pending*>> ordered;
    for (auto& [table, pending] : m_pending) ordered.emplace_back(table, &pending);
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.second->arrival < b.second->arrival; });
    ImportedKeysCache* signatures = ImportedKeysCache::Instance();
    for (auto& [table, pending] : ordered) {
      std::stable_sort(pending->columns.begin(), pending->columns.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      std::vector<std::u16string> names;
      for (const auto& entry : pending->columns) names.push_back(entry.second);
      const std::u16string name = pending->name.empty() ? u"pk_" + pending->tableName : pending->name;
      CMOObject& key = CreateNamedObject(*model, model::Key, table->GetObjectId(), name);
      SetTextProperty(key, model::KeyType, u"PRIMARY KEY");
      std::vector<int> ids = ColumnIds(*table, names);
      for (std::size_t i = 0; i < ids.size(); ++i)
        if (CMOObject* column = model->GetCMOObject(ids[i]))
          SetIntegerProperty(*column, model::PrimaryKeyPosition, static_cast<std::int64_t>(i) + 1);
      if (!ids.empty()) {
        signatures->Set(&key, KeySignature(*table, ids));
        m_state.primaryKeys[table->GetObjectId()] = ids;
      }
      SetIdsProperty(key, model::KeyColumns, std::move(ids));
    }
    m_pending.clear();
    signatures->InitReverseSearch();
  }

 private:
  struct Pending {
    std::size_t arrival = 0;                               // order of the table's first row
    std::u16string name;                                   // PK_NAME; empty when the driver gave none
    std::u16string tableName;                              // TABLE_NAME
    std::vector<std::pair<int, std::u16string>> columns;   // (KEY_SEQ, column name)
  };
  ReadState& m_state;
  std::map<CMOObject*, Pending, std::less<CMOObject*>> m_pending;  // table -> its key's rows; emptied by PostExecute
};

// ---- Indexes: a row per column of each index (TYPE SQL_TABLE_STAT rows,
// the table's own figures, are skipped); the columns in ORDINAL_POSITION
// order. A part that names no column of the table (an expression) goes to
// the index's expressions, as the driver printed it.

class IndexesAction : public QueryResultRowActionI {
 public:
  explicit IndexesAction(ReadState& state) : m_state(state) {}

  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    if (Number(record, {u"TYPE"}) == kTableStat || !OptionalText(record, {u"INDEX_NAME"}).has_value()) return;
    CMOObject* table = FindTable(TableSchema(m_state, record), Text(record, {u"TABLE_NAME"}));
    if (table == nullptr) return;
    const std::u16string name = Text(record, {u"INDEX_NAME"});
    auto [it, added] = m_pending.try_emplace(std::make_pair(table->GetObjectId(), name), Pending{});
    Pending& pending = it->second;
    if (added) {
      pending.arrival = m_pending.size();
      pending.name = name;
      pending.table = table;
      pending.unique = Number(record, {u"NON_UNIQUE"}) == 0;
      pending.filter = Text(record, {u"FILTER_CONDITION"});
    }
    pending.parts.emplace_back(Number(record, {u"ORDINAL_POSITION"}), Text(record, {u"COLUMN_NAME"}));
  }

  void PostExecute(GenericModel* model) override {
    std::vector<Pending*> ordered;
    for (auto& [key, pending] : m_pending) ordered.push_back(&pending);
    std::sort(ordered.begin(), ordered.end(), [](const Pending* a, const Pending* b) { return a->arrival < b->arrival; });
    for (Pending* pending : ordered) {
      std::stable_sort(pending->parts.begin(), pending->parts.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      CMOObject& index = CreateNamedObject(*model, model::Index, pending->table->GetObjectId(), pending->name);
      SetIntegerProperty(index, model::IsUnique, pending->unique ? 1 : 0);
      std::vector<int> ids;
      std::u16string expressions;
      for (const auto& [position, part] : pending->parts) {
        if (CMOObject* column = FindColumn(*pending->table, part)) {
          ids.push_back(column->GetObjectId());
        } else if (!part.empty()) {
          expressions += (expressions.empty() ? u"" : u", ") + part;
        }
      }
      SetIdsProperty(index, model::IndexColumns, std::move(ids));
      if (!expressions.empty()) SetTextProperty(index, model::Expressions, expressions);
      if (!pending->filter.empty()) SetTextProperty(index, model::Predicate, pending->filter);
    }
    m_pending.clear();
  }

 private:
  struct Pending {
    std::size_t arrival = 0;                             // order of the index's first row
    std::u16string name;                                 // INDEX_NAME
    CMOObject* table = nullptr;                          // its table; the model's
    bool unique = false;                                 // NON_UNIQUE is 0
    std::u16string filter;                               // FILTER_CONDITION; empty: none
    std::vector<std::pair<int, std::u16string>> parts;   // (ORDINAL_POSITION, COLUMN_NAME)
  };
  ReadState& m_state;
  std::map<std::pair<int, std::u16string>, Pending> m_pending;  // (table id, index name) -> rows; emptied by PostExecute
};

// ---- Foreign keys of the tables (the foreign-key side). Rows of one key
// share FK_NAME and the referenced table; ODBC orders them by KEY_SEQ
// within the table, so the keys of one table may interleave. A driver that
// names no key: the rows for one referenced table are split where a
// KEY_SEQ repeats.

const char16_t* RuleWord(std::optional<int> rule) {
  switch (rule.value_or(-1)) {
    case 0: return u"CASCADE";      // SQL_CASCADE
    case 1: return u"RESTRICT";     // SQL_RESTRICT
    case 2: return u"SET NULL";     // SQL_SET_NULL
    case 3: return u"NO ACTION";    // SQL_NO_ACTION
    case 4: return u"SET DEFAULT";  // SQL_SET_DEFAULT
    default: return nullptr;
  }
}

class ForeignKeysAction : public QueryResultRowActionI {
 public:
  explicit ForeignKeysAction(ReadState& state) : m_state(state) {}

  void PreExecute(GenericModel*) override { m_pending.clear(); }

  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    CMOObject* table = FindTable(
        RowSchema(m_state, record, u"FKTABLE_CAT", u"FKTABLE_QUALIFIER", u"FKTABLE_SCHEM", u"FKTABLE_OWNER"),
        Text(record, {u"FKTABLE_NAME"}));
    if (table == nullptr) return;
    const std::u16string referencedSchema =
        RowSchema(m_state, record, u"PKTABLE_CAT", u"PKTABLE_QUALIFIER", u"PKTABLE_SCHEM", u"PKTABLE_OWNER");
    const std::u16string referencedTable = Text(record, {u"PKTABLE_NAME"});
    const std::u16string name = Text(record, {u"FK_NAME"});
    const int seq = Number(record, {u"KEY_SEQ"});
    Pending* target = nullptr;
    for (Pending& pending : m_pending) {
      if (pending.table != table || pending.name != name || pending.referencedSchema != referencedSchema ||
          pending.referencedTable != referencedTable)
        continue;
      const bool seen = std::any_of(pending.columns.begin(), pending.columns.end(),
                                    [seq](const Column& column) { return column.seq == seq; });
      if (!seen) {
        target = &pending;
        break;
      }
    }
    if (target == nullptr) {
      m_pending.push_back(Pending{table, Text(record, {u"FKTABLE_NAME"}), name, referencedSchema, referencedTable,
                                  OptionalNumber(record, {u"UPDATE_RULE"}), OptionalNumber(record, {u"DELETE_RULE"}),
                                  OptionalNumber(record, {u"DEFERRABILITY"}), {}});
      target = &m_pending.back();
    }
    target->columns.push_back(Column{seq, Text(record, {u"FKCOLUMN_NAME"}), Text(record, {u"PKCOLUMN_NAME"})});
  }

  void PostExecute(GenericModel* model) override {
    std::map<int, int> unnamed;  // table id -> keys named so far by the plug-in
    for (Pending& pending : m_pending) {
      std::stable_sort(pending.columns.begin(), pending.columns.end(),
                       [](const Column& a, const Column& b) { return a.seq < b.seq; });
      std::u16string name = pending.name;
      if (name.empty())
        name = u"fk_" + pending.tableName + u"_" + Decimal(++unnamed[pending.table->GetObjectId()]);
      CMOObject& foreignKey = CreateNamedObject(*model, model::ForeignKey, pending.table->GetObjectId(), name);
      std::vector<std::u16string> own;
      std::vector<std::u16string> referenced;
      for (const Column& column : pending.columns) {
        own.push_back(column.own);
        referenced.push_back(column.referenced);
      }
      SetIdsProperty(foreignKey, model::ForeignKeyColumns, ColumnIds(*pending.table, own));
      if (CMOObject* parent = FindTable(pending.referencedSchema, pending.referencedTable)) {
        SetIdsProperty(foreignKey, model::ReferencedTable, {parent->GetObjectId()});
        std::vector<int> ids = ColumnIds(*parent, referenced);
        // "REFERENCES t" names t's primary key; a driver may report its
        // columns as empty.
        const bool unnamed = std::all_of(referenced.begin(), referenced.end(),
                                         [](const std::u16string& name) { return name.empty(); });
        const auto primary = m_state.primaryKeys.find(parent->GetObjectId());
        if (unnamed && primary != m_state.primaryKeys.end() && primary->second.size() == referenced.size())
          ids = primary->second;
        if (!ids.empty())
          if (CMOObject* key = ImportedKeysCache::Instance()->FindMatchingKey(KeySignature(*parent, ids)))
            SetIdsProperty(foreignKey, model::ReferencedKey, {key->GetObjectId()});
        SetIdsProperty(foreignKey, model::ReferencedColumns, std::move(ids));
      }
      if (const char16_t* word = RuleWord(pending.deleteRule)) SetTextProperty(foreignKey, model::OnDelete, word);
      if (const char16_t* word = RuleWord(pending.updateRule)) SetTextProperty(foreignKey, model::OnUpdate, word);
      if (pending.deferrability) {
        const int value = *pending.deferrability;
        SetIntegerProperty(foreignKey, model::Deferrable,
                           value == kInitiallyDeferred || value == kInitiallyImmediate ? 1 : 0);
        SetIntegerProperty(foreignKey, model::InitiallyDeferred, value == kInitiallyDeferred ? 1 : 0);
      }
    }
    m_pending.clear();
  }

 private:
  struct Column {
    int seq;                  // KEY_SEQ
    std::u16string own;       // FKCOLUMN_NAME
    std::u16string referenced;  // PKCOLUMN_NAME
  };
  struct Pending {
    CMOObject* table;                   // the table the key belongs to; the model's
    std::u16string tableName;           // its name
    std::u16string name;                // FK_NAME; empty when the driver gave none
    std::u16string referencedSchema;    // model schema of the referenced table
    std::u16string referencedTable;     // its name
    std::optional<int> updateRule;      // UPDATE_RULE
    std::optional<int> deleteRule;      // DELETE_RULE
    std::optional<int> deferrability;   // DEFERRABILITY
    std::vector<Column> columns;        // in row order until PostExecute sorts them
  };
  ReadState& m_state;
  std::vector<Pending> m_pending;  // keys in the order of their first row; emptied by PostExecute
};

// ---- Routines. ODBC names a procedure without its argument types, so
// overloads share a name: the first the driver lists is imported, and the
// parameter rows of the others are told apart by their positions (a
// position seen already belongs to another overload). A name's ";n" suffix
// (a procedure group number some drivers add) is dropped.

std::u16string RoutineName(std::u16string name) {
  const std::size_t semicolon = name.rfind(u';');
  if (semicolon != std::u16string::npos && semicolon + 1 < name.size() &&
      std::all_of(name.begin() + static_cast<std::ptrdiff_t>(semicolon) + 1, name.end(),
                  [](char16_t ch) { return ch >= u'0' && ch <= u'9'; }))
    name.resize(semicolon);
  return name;
}

// psqlODBC names SQLProcedureColumns' schema column PROCEDUR_SCHEM.
std::u16string RoutineSchema(const ReadState& state, const CommonDataObject& record) {
  return state.facts.SchemaName(Text(record, {u"PROCEDURE_CAT", u"PROCEDURE_QUALIFIER"}),
                                Text(record, {u"PROCEDURE_SCHEM", u"PROCEDURE_OWNER", u"PROCEDUR_SCHEM"}));
}

class RoutinesAction : public QueryResultRowActionI {
 public:
  explicit RoutinesAction(ReadState& state) : m_state(state) {}

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    const std::u16string schema = RoutineSchema(m_state, record);
    const std::u16string name = RoutineName(Text(record, {u"PROCEDURE_NAME"}));
    const CString key = RoutineKey(schema, name);
    if (ImportedObjectCache::Instance()->FindObjectById(key) != nullptr) return;  // an overload
    CMOObject& routine =
        CreateNamedObject(*model, model::Routine, SchemaLookup::Instance()->FindCreate(model, schema), name);
    const int type = Number(record, {u"PROCEDURE_TYPE"});
    if (type == kPtProcedure || type == kPtFunction)
      SetTextProperty(routine, model::RoutineKind, type == kPtProcedure ? u"procedure" : u"function");
    if (!Text(record, {u"REMARKS"}).empty()) SetTextProperty(routine, model::Comment, Text(record, {u"REMARKS"}));
    ImportedObjectCache::Instance()->AddByDBID(key, &routine);
  }

 private:
  ReadState& m_state;
};

class ParametersAction : public QueryResultRowActionI {
 public:
  explicit ParametersAction(ReadState& state) : m_state(state) {}

  void PreExecute(GenericModel*) override { m_positions.clear(); }

  void ProcessRow(GenericModel* model, CommonDataObject& record) override {
    CMOObject* routine = ImportedObjectCache::Instance()->FindObjectById(
        RoutineKey(RoutineSchema(m_state, record), RoutineName(Text(record, {u"PROCEDURE_NAME"}))));
    if (routine == nullptr) return;
    const int position = Number(record, {u"ORDINAL_POSITION"});
    if (!m_positions[routine->GetObjectId()].insert(position).second) return;  // another overload's
    const int type = Number(record, {u"COLUMN_TYPE"});
    const std::u16string typeName = Text(record, {u"TYPE_NAME"});
    if (type == kReturnValue) {
      if (!typeName.empty()) SetTextProperty(*routine, model::ReturnType, typeName);
      return;
    }
    CMOObject& parameter = CreateNamedObject(*model, model::Parameter, routine->GetObjectId(), Text(record, {u"COLUMN_NAME"}));
    const char16_t* mode = type == kParamInput         ? u"IN"
                           : type == kParamInputOutput ? u"INOUT"
                           : type == kParamOutput      ? u"OUT"
                           : type == kResultColumn     ? u"TABLE"
                                                       : nullptr;
    if (mode != nullptr) SetTextProperty(parameter, model::ParameterMode, mode);
    if (!typeName.empty()) SetTextProperty(parameter, model::DataType, typeName);
    SetIntegerProperty(parameter, model::Position, position);
  }

  void PostExecute(GenericModel*) override { m_positions.clear(); }

 private:
  ReadState& m_state;
  std::map<int, std::set<int>> m_positions;  // routine id -> positions taken; emptied around the statement
};

}  // namespace

std::u16string ColumnType(std::u16string_view typeName, int sqlType, std::optional<int> size, std::optional<int> digits) {
  std::u16string type(typeName);
  if (type.find(u'(') != std::u16string::npos || !size || *size <= 0) return type;
  switch (sqlType) {
    case kSqlChar:
    case kSqlVarchar:
    case kSqlWChar:
    case kSqlWVarchar:
    case kSqlBinary:
    case kSqlVarbinary:
      return type + u"(" + Decimal(*size) + u")";
    case kSqlNumeric:
    case kSqlDecimal:
      return type + u"(" + Decimal(*size) + u"," + Decimal(digits.value_or(0)) + u")";
    default:
      return type;
  }
}

QueryResultRowActionI* NewTablesAction(ReadState& state) { return new TablesAction(state); }
QueryResultRowActionI* NewColumnsAction(ReadState& state) { return new ColumnsAction(state); }
QueryResultRowActionI* NewPrimaryKeysAction(ReadState& state) { return new PrimaryKeysAction(state); }
QueryResultRowActionI* NewIndexesAction(ReadState& state) { return new IndexesAction(state); }
QueryResultRowActionI* NewForeignKeysAction(ReadState& state) { return new ForeignKeysAction(state); }
QueryResultRowActionI* NewRoutinesAction(ReadState& state) { return new RoutinesAction(state); }
QueryResultRowActionI* NewParametersAction(ReadState& state) { return new ParametersAction(state); }

}  // namespace qm::odbc

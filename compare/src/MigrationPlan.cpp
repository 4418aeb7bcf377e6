#include <compare/MigrationPlan.h>
#include <compare/ModelDiff.h>
#include <compare/ObjectMatch.h>

#include "sql/PostgresDialect.h"
#include "sql/SqlDialect.h"
#include "sql/SqlScript.h"
#include "sql/SqlTokens.h"

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>
#include <writers/ModelValues.h>
#include <writers/VisibleText.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace compare {

namespace {

using namespace writers::sql;
namespace values = writers::values;

std::string U8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Lower(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return lower;
}

// ---- Types: whether every value of the old type is a value of the new one.

// Integers by width (MariaDB's tinyint and mediumint among them); 0 for
// another type.
int IntegerRank(std::u16string_view base) {
  if (base == u"tinyint") return 1;
  if (base == u"smallint" || base == u"int2") return 2;
  if (base == u"mediumint") return 3;
  if (base == u"integer" || base == u"int" || base == u"int4") return 4;
  if (base == u"bigint" || base == u"int8") return 5;
  return 0;
}

struct TypeName {
  std::u16string base;            // lower case, blanks collapsed
  std::vector<long long> sizes;   // the numbers in parentheses
  std::u16string rest;            // what follows them ("unsigned"), lower case
};

TypeName ReadType(std::u16string_view text) {
  TypeName type;
  const std::u16string lower = Lower(text);
  const std::size_t open = lower.find(u'(');
  std::u16string base = lower.substr(0, open);
  while (!base.empty() && base.back() == u' ') base.pop_back();
  type.base = base;
  if (open != std::u16string::npos) {
    long long value = -1;
    for (std::size_t i = open + 1; i < lower.size() && lower[i] != u')'; ++i) {
      if (lower[i] >= u'0' && lower[i] <= u'9') {
        value = (value < 0 ? 0 : value * 10) + (lower[i] - u'0');
      } else if (lower[i] == u',') {
        type.sizes.push_back(value);
        value = -1;
      }
    }
    type.sizes.push_back(value);
    const std::size_t close = lower.find(u')', open);
    if (close != std::u16string::npos) type.rest = lower.substr(close + 1);
  } else if (const std::size_t blank = base.find(u' '); blank != std::u16string::npos && IntegerRank(base.substr(0, blank)) > 0) {
    // "int unsigned": the integer and what qualifies it.
    type.base = base.substr(0, blank);
    type.rest = base.substr(blank);
  }
  while (!type.rest.empty() && type.rest.front() == u' ') type.rest.erase(0, 1);
  while (!type.rest.empty() && type.rest.back() == u' ') type.rest.pop_back();
  return type;
}

bool IsTextType(std::u16string_view base) {
  return base == u"character varying" || base == u"varchar" || base == u"text";
}

bool Widens(std::u16string_view from, std::u16string_view to) {
  const TypeName a = ReadType(from);
  const TypeName b = ReadType(to);
  if (a.base == b.base && a.sizes == b.sizes && a.rest == b.rest) return true;
  if (IntegerRank(a.base) > 0 && IntegerRank(b.base) > 0) {
    // An unsigned integer fits a signed one only of a larger width, and a
    // signed one no unsigned one (MariaDB's display width in parentheses
    // holds no value).
    const bool unsignedA = a.rest.find(u"unsigned") != std::u16string::npos;
    const bool unsignedB = b.rest.find(u"unsigned") != std::u16string::npos;
    if (unsignedA == unsignedB) return IntegerRank(b.base) >= IntegerRank(a.base);
    return unsignedA && IntegerRank(b.base) > IntegerRank(a.base);
  }
  if (IntegerRank(a.base) > 0 && a.rest.empty() && b.base == u"numeric" && b.sizes.empty()) return true;
  if (!a.rest.empty() || !b.rest.empty()) return false;
  if (a.base == u"real" && b.base == u"double precision") return true;
  if (IsTextType(a.base) && IsTextType(b.base)) {
    if (b.sizes.empty()) return true;                       // unlimited
    return !a.sizes.empty() && a.base != u"text" && b.sizes[0] >= a.sizes[0];
  }
  if (a.base == b.base && (a.base == u"numeric" || a.base == u"decimal")) {
    if (b.sizes.empty()) return true;
    if (a.sizes.empty()) return false;
    const long long scaleA = a.sizes.size() > 1 ? a.sizes[1] : 0;
    const long long scaleB = b.sizes.size() > 1 ? b.sizes[1] : 0;
    return scaleB >= scaleA && b.sizes[0] - scaleB >= a.sizes[0] - scaleA;
  }
  return false;
}

// ---- The planner.

class Planner {
 public:
  Planner(const GenericModel& before, const GenericModel& after, const SqlDialect& dialect, bool sqlite, bool maria,
          const PlanOptions& options, const std::unordered_map<int, std::u16string>& originalNames,
          std::u16string renames)
      : m_d(dialect),
        m_sqlite(sqlite),
        m_maria(maria),
        m_options(options),
        m_originalNames(originalNames),
        m_old(before),
        m_new(after),
        m_match(before, after),
        m_creates(m_new, dialect),
        m_renames(std::move(renames)) {
    dialect.Prepare(m_old);
    dialect.Prepare(m_new);
  }

  MigrationPlan Run();

 private:
  const CMOObject& Old(int id) const { return *m_old.Object(id); }
  const CMOObject& New(int id) const { return *m_new.Object(id); }
  std::string Describe(const SqlModel& model, const CMOObject& object) const { return U8(m_d.Describe(model, object)); }
  std::u16string Q(const SqlModel& model, const CMOObject& object) const { return m_d.QualifiedName(model, object); }
  std::u16string N(const CMOObject& object) const { return m_d.Name(values::Name(object)); }
  // The table's name in the old database: before a rename the plan does
  // not state (SQLite's renames are rebuilds).
  std::u16string OldName(const CMOObject& object) const {
    const auto found = m_originalNames.find(object.GetObjectId());
    return found == m_originalNames.end() ? values::Name(object) : found->second;
  }

  // The old table's qualified name before the renames the plan states.
  std::u16string OldQ(const CMOObject& table) const {
    const CMOObject* schema = m_old.Parent(table);
    if (schema == nullptr || m_originalNames.count(table.GetObjectId()) == 0) return Q(m_old, table);
    return Q(m_old, *schema) + u"." + m_d.Name(OldName(table));
  }

  void Unplanned(const std::string& what) { m_plan.unplanned.push_back(what); }
  // SQLite: what the rebuild of the table loses, said before it.
  void RebuildLoses(int table, const std::string& what) {
    m_plan.dataLoss.push_back(what);
    m_rebuildLosses[table] += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
  }
  // A step that can lose data: listed, and written after a comment saying so.
  void Lose(std::u16string& section, const std::string& what, std::u16string_view statement) {
    m_plan.dataLoss.push_back(what);
    section += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
    section += statement;
  }

  // Every object of the subtree written as the sql format writes it.
  void WriteNew(const CMOObject& object);
  void Matched(int before, int after);
  void Added(int after);
  void Removed(int before);
  void MatchedColumn(const CMOObject& oldColumn, const CMOObject& newColumn);
  void DropConstraint(const CMOObject& oldObject);
  // A check added to a table that stays (the table's CREATE holds the others).
  void AddCheck(const CMOObject& newObject);
  void ColumnOrder(const CMOObject& oldTable, const CMOObject& newTable);
  const std::unordered_set<std::u16string>& NamesRead(int view);
  void FindTouchedViews();
  void DropViews();
  void TieSequences();
  void RebuildTables();
  void RecreateForeignKeys();
  // MariaDB: a key, index or check added to a table that stays.
  void AddToTable(const CMOObject& newObject);
  // MariaDB: columns added where NEW has them, and the columns moved when
  // those that stay change their order.
  void PlaceColumns(const CMOObject& oldTable, const CMOObject& newTable);
  // MariaDB: the triggers of each table whose triggers change, dropped and
  // made again in the order they fire.
  void RemakeTriggers();
  void AlterTableOptions(const CMOObject& newObject, const std::vector<PropertyDifference>& differences);
  // PostgreSQL: a routine whose arguments, result or kind change is
  // another routine to the server: the old one is dropped before the new
  // is made (views that read it around it); one whose body alone changes
  // is replaced in place.
  void ChangeRoutines();
  void DropRoutine(const CMOObject& routine, std::u16string& section);
  // PostgreSQL: enum values added, composite attributes added, dropped and
  // retyped, domain defaults, NOT NULL and checks.
  void ChangeType(const CMOObject& oldType, const CMOObject& newType, const std::vector<PropertyDifference>& differences);
  // PostgreSQL: a table that leaves its partitioned table, joins one or
  // changes its bounds is detached before and attached after the changes.
  void MovePartitions();
  bool Postgres() const { return !m_sqlite && !m_maria; }

  bool IsTableChild(const CMOObject& object, const SqlModel& model) const {
    const CMOObject* parent = model.Parent(object);
    return parent != nullptr && parent->GetObjectType() == model::Table;
  }

  const SqlDialect& m_d;
  bool m_sqlite;
  bool m_maria;  // statement by statement: every step may be run again
  const PlanOptions& m_options;
  const std::unordered_map<int, std::u16string>& m_originalNames;
  SqlModel m_old;
  SqlModel m_new;
  ModelMatch m_match;
  Script m_creates;  // creates and changes of the new model's objects, ordered as the sql format orders
  MigrationPlan m_plan;

  std::u16string m_untied;  // sequences that leave their column, before anything is dropped
  std::u16string m_renames;
  std::vector<int> m_ownerChanged;  // new sequences added, or whose column changes
  std::u16string m_dropForeignKeys;
  std::u16string m_dropViews;
  std::u16string m_dropOthers;   // triggers, indexes, checks, keys
  std::u16string m_dropColumns;
  std::u16string m_dropTables;
  std::u16string m_dropLast;     // schemas; at the end all of the last drops
  std::u16string m_dropRoutines;
  std::u16string m_dropSequences;
  std::u16string m_dropTypes;
  std::vector<std::u16string> m_droppedTables;  // PostgreSQL: the tables of the one DROP TABLE

  std::set<int> m_touched;           // old tables whose columns or name change, and old views dropped
  std::set<int> m_viewsDropped;      // old views dropped (and made again when they have a match)
  std::set<int> m_foreignKeysDropped;  // old foreign keys dropped
  std::set<int> m_keysDropped;       // old keys dropped
  std::set<int> m_retyped;           // old columns whose type changes
  std::set<int> m_rebuilt;           // old tables rebuilt (SQLite)
  std::vector<std::pair<int, int>> m_matchedTables;
  std::unordered_set<int> m_written;
  std::map<int, std::u16string> m_rebuildLosses;  // old table id -> comments before its rebuild
  std::set<int> m_addedColumns;      // MariaDB: new columns of tables that stay, added by PlaceColumns
  std::set<int> m_triggerTables;     // MariaDB: new tables that stay whose triggers are made again
  std::set<int> m_triggersDropped;   // old triggers dropped
  std::set<int> m_routinesRemade;    // PostgreSQL: old routines dropped or made again (views that read them too)
  std::map<int, int> m_changedRoutines;  // PostgreSQL: old routine -> new, changed
  std::set<int> m_signatureChanged;  // PostgreSQL: old routines whose parameters change
  std::vector<int> m_removedRoutines;  // PostgreSQL: old routines without a match
  std::u16string m_dropRoutinesFirst;  // PostgreSQL: routines dropped before they are made again
  std::u16string m_outsideTransaction;  // PostgreSQL: enum values added, each committed by itself
  std::vector<std::pair<int, int>> m_movedPartitions;  // PostgreSQL: old and new table whose partition changes
  std::unordered_map<int, std::unordered_set<std::u16string>> m_namesRead;  // old view -> the names its text reads
};

void Planner::WriteNew(const CMOObject& object) {
  if (m_new.Omitted(object.GetObjectId()) || !m_written.insert(object.GetObjectId()).second) return;
  try {
    switch (object.GetObjectType()) {
      case model::Schema: m_d.WriteSchema(m_creates, m_new, object); break;
      case model::UserType: m_d.WriteType(m_creates, m_new, object); break;
      case model::Sequence: m_d.WriteSequence(m_creates, m_new, object); break;
      case model::Table: m_d.WriteTable(m_creates, m_new, object); break;
      case model::Key: m_d.WriteKey(m_creates, m_new, object); break;
      case model::CheckConstraint: m_d.WriteCheck(m_creates, m_new, object); break;
      case model::ForeignKey: m_d.WriteForeignKey(m_creates, m_new, object); break;
      case model::Index: m_d.WriteIndex(m_creates, m_new, object); break;
      case model::View: m_d.WriteView(m_creates, m_new, object); break;
      case model::Routine: m_d.WriteRoutine(m_creates, m_new, object); break;
      case model::Trigger: m_d.WriteTrigger(m_creates, m_new, object); break;
      case model::Column: case model::Parameter: break;  // with their table, view or routine
      default: m_d.WriteOther(m_creates, m_new, object); break;  // as the sql format: a partition is its table
    }
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, object) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
    return;
  }
  for (int statement : m_creates.StatementsOf(object.GetObjectId()))
    if (m_creates.Text(statement).starts_with(u"-- Not written"))
      Unplanned(Describe(m_new, object) + ": the sql format cannot write it");
  for (int child : object.GetChildIds()) WriteNew(New(child));
}

void Planner::DropConstraint(const CMOObject& oldObject) {
  const CMOObject* table = m_old.Parent(oldObject);
  if (table == nullptr) return;
  const std::u16string tableName = Q(m_old, *table);
  if (m_maria) {
    // Each drop does nothing when a run before did it.
    const std::u16string alter = u"ALTER TABLE " + tableName;
    switch (oldObject.GetObjectType()) {
      case model::ForeignKey:
        // Dropped before the renames, by the table's name before them:
        // MariaDB refuses to rename a column of a foreign key in a table it
        // alters by copying it (one with a long unique key, say). A run
        // again finds a renamed table under its new name, its keys dropped
        // already.
        m_foreignKeysDropped.insert(oldObject.GetObjectId());
        m_dropForeignKeys += u"ALTER TABLE IF EXISTS " + OldQ(*table) + u" DROP FOREIGN KEY IF EXISTS " + N(oldObject) +
                             u";\n";
        break;
      case model::Key:
        m_keysDropped.insert(oldObject.GetObjectId());
        // A primary key is the index PRIMARY, whatever the model calls it.
        m_dropOthers += alter + u" DROP INDEX IF EXISTS " +
                        (values::KeyKindOf(oldObject) == values::KeyKind::PrimaryKey ? m_d.Name(u"PRIMARY") : N(oldObject)) +
                        u";\n";
        break;
      case model::Index: m_dropOthers += alter + u" DROP INDEX IF EXISTS " + N(oldObject) + u";\n"; break;
      case model::CheckConstraint: m_dropOthers += alter + u" DROP CONSTRAINT IF EXISTS " + N(oldObject) + u";\n"; break;
      case model::Trigger:
        m_triggersDropped.insert(oldObject.GetObjectId());
        m_dropOthers += u"DROP TRIGGER IF EXISTS " + Q(m_old, oldObject) + u";\n";
        break;
      default: break;
    }
    return;
  }
  switch (oldObject.GetObjectType()) {
    case model::ForeignKey:
      m_foreignKeysDropped.insert(oldObject.GetObjectId());
      m_dropForeignKeys += u"ALTER TABLE " + tableName + u" DROP CONSTRAINT " + N(oldObject) + u";\n";
      break;
    case model::Key:
      m_keysDropped.insert(oldObject.GetObjectId());
      [[fallthrough]];
    case model::CheckConstraint:
      m_dropOthers += u"ALTER TABLE " + tableName + u" DROP CONSTRAINT " + N(oldObject) + u";\n";
      break;
    case model::Index: {
      const CMOObject* schema = m_old.SchemaOf(oldObject);
      m_dropOthers += u"DROP INDEX " + (schema != nullptr ? N(*schema) + u"." : u"") + N(oldObject) + u";\n";
      break;
    }
    case model::Trigger:
      m_dropOthers += u"DROP TRIGGER " + N(oldObject) + (m_sqlite ? u"" : u" ON " + tableName) + u";\n";
      break;
    default: break;
  }
}

void Planner::MatchedColumn(const CMOObject& oldColumn, const CMOObject& newColumn) {
  const std::vector<PropertyDifference> differences =
      CompareProperties(m_match, oldColumn.GetObjectId(), newColumn.GetObjectId());
  // Most columns of a large schema stay as they are: nothing to name or say.
  if (differences.empty()) return;
  const CMOObject& newTable = *m_new.Parent(newColumn);
  const std::u16string table = Q(m_new, newTable);
  const std::u16string alter = u"ALTER TABLE " + table + u" ALTER COLUMN " + N(newColumn);
  std::u16string text;
  bool typeChanged = false;
  bool defaultChanged = false;
  for (const PropertyDifference& difference : differences) {
    switch (difference.propertyId) {
      case model::Position: break;  // ColumnOrder
      case model::DataType: typeChanged = true; break;
      case model::DefaultValue: defaultChanged = true; break;
      case model::Nullable: break;
      case model::Comment: break;
      default:
        if (m_sqlite || m_maria) break;  // the table is rebuilt from the new text; MODIFY states the whole column
        Unplanned(Describe(m_new, newColumn) + ": its " + model::PropertyName(difference.propertyId) +
                  " changes, which the planner does not state");
        return;
    }
  }
  const std::u16string& oldType = values::Text(oldColumn, model::DataType);
  const std::u16string& newType = values::Text(newColumn, model::DataType);
  const bool loses = typeChanged && !Widens(oldType, newType);
  const std::string typeLoss = !loses ? std::string()
                                      : Describe(m_new, newColumn) + " changes type from " + writers::VisibleText(oldType) +
                                            " to " + writers::VisibleText(newType) + ": values may be cut or fail to convert";
  const bool notNullAdded = values::Integer(oldColumn, model::Nullable).value_or(1) != 0 &&
                            values::Integer(newColumn, model::Nullable).value_or(1) == 0;
  const std::string nullLoss =
      !notNullAdded ? std::string() : Describe(m_new, newColumn) + " becomes NOT NULL: rows with NULL in it make the change fail";
  if (m_maria) {
    // One MODIFY states the column whole (type, nullability, default,
    // collation, generation, comment), and states it again when run again.
    if (std::all_of(differences.begin(), differences.end(),
                    [](const PropertyDifference& difference) { return difference.propertyId == model::Position; }))
      return;
    if (typeChanged) {
      m_retyped.insert(oldColumn.GetObjectId());
      m_touched.insert(m_old.Parent(oldColumn)->GetObjectId());
    }
    try {
      const std::u16string statement = u"ALTER TABLE " + table + u" MODIFY COLUMN " + m_d.ColumnClause(m_new, newColumn) + u";\n";
      if (loses) Lose(text, typeLoss, u"");
      if (notNullAdded) Lose(text, nullLoss, u"");
      text += statement;
    } catch (const RefusedText& refused) {
      Unplanned(Describe(m_new, newColumn) + ": its " + model::PropertyName(refused.propertyId) +
                " is not what a script may hold (" + U8(refused.why) + ")");
      return;
    }
    m_creates.Add(kTables, newColumn, std::move(text));
    return;
  }
  if (m_sqlite) {
    const int table = oldColumn.GetParentId();
    if (!differences.empty()) m_rebuilt.insert(table);
    if (loses) RebuildLoses(table, typeLoss);
    if (notNullAdded) RebuildLoses(table, nullLoss);
    return;
  }
  try {
    if (typeChanged) {
      m_retyped.insert(oldColumn.GetObjectId());
      m_touched.insert(m_old.Parent(oldColumn)->GetObjectId());
      const std::u16string& type = m_d.ProvenText(newColumn, model::DataType, TextKind::Type);
      if (values::HasText(oldColumn, model::DefaultValue)) text += alter + u" DROP DEFAULT;\n";
      const std::u16string statement =
          alter + u" TYPE " + type + u" USING " + N(newColumn) + u"::" + type + u";\n";
      if (loses) {
        Lose(text, typeLoss, statement);
      } else {
        text += statement;
      }
    }
    if (defaultChanged || (typeChanged && values::HasText(oldColumn, model::DefaultValue))) {
      text += values::HasText(newColumn, model::DefaultValue) ? alter + u" SET DEFAULT " + m_d.DefaultOf(newColumn) + u";\n"
                                                              : alter + u" DROP DEFAULT;\n";
    }
    if (values::Integer(oldColumn, model::Nullable) != values::Integer(newColumn, model::Nullable)) {
      if (notNullAdded) {
        Lose(text, nullLoss, alter + u" SET NOT NULL;\n");
      } else {
        text += alter + u" DROP NOT NULL;\n";
      }
    }
    if (values::Text(oldColumn, model::Comment) != values::Text(newColumn, model::Comment) ||
        values::HasText(oldColumn, model::Comment) != values::HasText(newColumn, model::Comment))
      text += m_d.CommentStatement(u"COLUMN", table + u"." + N(newColumn), newColumn);
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, newColumn) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
    return;
  }
  if (!text.empty()) m_creates.Add(kTables, newColumn, std::move(text));
}

void Planner::ColumnOrder(const CMOObject& oldTable, const CMOObject& newTable) {
  if (m_sqlite) return;  // a rebuilt table takes the new order
  if (m_maria) {
    PlaceColumns(oldTable, newTable);
    return;
  }
  // PostgreSQL keeps the columns that stay in their order and adds new
  // ones at the end.
  auto ordered = [](const SqlModel& model, const CMOObject& table) {
    std::vector<const CMOObject*> columns = model.Children(table, model::Column);
    std::stable_sort(columns.begin(), columns.end(), [](const CMOObject* a, const CMOObject* b) {
      return values::Integer(*a, model::Position).value_or(0) < values::Integer(*b, model::Position).value_or(0);
    });
    return columns;
  };
  std::vector<int> planned;
  for (const CMOObject* column : ordered(m_old, oldTable))
    if (int after = m_match.AfterOf(column->GetObjectId())) planned.push_back(after);
  std::vector<int> wanted;
  for (const CMOObject* column : ordered(m_new, newTable)) {
    wanted.push_back(column->GetObjectId());
    if (m_match.BeforeOf(column->GetObjectId()) == 0) planned.push_back(column->GetObjectId());
  }
  if (planned == wanted) return;
  // ALTER TABLE cannot move a column: the plan keeps the rows where they
  // are and says the order differs, which a diff after it shows too.
  std::string order;
  for (int column : planned) order += (order.empty() ? "" : ", ") + writers::VisibleText(values::Name(New(column)));
  m_plan.notes.push_back(Describe(m_new, newTable) + ": its columns' order differs from the new model's, and PostgreSQL "
                         "adds a column only at the end; after the plan its columns are " + order);
}

void Planner::Matched(int before, int after) {
  const CMOObject& oldObject = Old(before);
  const CMOObject& newObject = New(after);
  const int type = newObject.GetObjectType();
  if (type == model::Model) return;
  if (type == model::Column) {
    if (IsTableChild(newObject, m_new)) MatchedColumn(oldObject, newObject);
    else if (!CompareProperties(m_match, before, after).empty()) m_viewsDropped.insert(oldObject.GetParentId());
    return;
  }
  if (Postgres() && type == model::Parameter) {
    if (!CompareProperties(m_match, before, after).empty()) {
      m_changedRoutines[oldObject.GetParentId()] = newObject.GetParentId();
      m_signatureChanged.insert(oldObject.GetParentId());
    }
    return;
  }
  if (Postgres() && type == model::Partition) return;  // its table says how it changes
  if (type == model::Table) m_matchedTables.emplace_back(before, after);
  if (type == model::Sequence && m_new.Omitted(after)) return;
  const std::vector<PropertyDifference> differences = CompareProperties(m_match, before, after);
  if (type == model::Table && m_originalNames.count(before) > 0) {
    // Renamed, or a column of it: what reads it is made again.
    m_touched.insert(before);
    if (m_sqlite) m_rebuilt.insert(before);
  }
  if (differences.empty()) return;
  if (m_maria) {
    switch (type) {
      case model::Schema:
      case model::Table: AlterTableOptions(newObject, differences); return;
      case model::Key:
      case model::CheckConstraint:
      case model::Index:
        DropConstraint(oldObject);
        AddToTable(newObject);
        return;
      case model::Trigger:
        DropConstraint(oldObject);
        m_triggerTables.insert(newObject.GetParentId());
        return;
      case model::Routine:
        // Made again in place (CREATE OR REPLACE); a function that becomes
        // a procedure is another object to MariaDB.
        if (values::RoutineKindOf(oldObject) == values::RoutineKindOf(newObject)) {
          WriteNew(newObject);
          return;
        }
        break;
      default: break;
    }
  }
  switch (type) {
    case model::Schema:
    case model::Table: {
      bool moved = false;
      for (const PropertyDifference& difference : differences) {
        if (m_sqlite && type == model::Table) {
          m_rebuilt.insert(before);
        } else if (Postgres() && type == model::Table &&
                   (difference.propertyId == model::PartitionBound || difference.propertyId == model::PartitionOf)) {
          moved = true;
        } else if (difference.propertyId == model::Comment) {
          m_creates.Add(kTables, newObject,
                        m_d.CommentStatement(type == model::Schema ? u"SCHEMA" : u"TABLE", Q(m_new, newObject), newObject));
        } else {
          Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(difference.propertyId) +
                    " changes, which the planner does not state");
        }
      }
      if (moved) m_movedPartitions.emplace_back(before, after);
      return;
    }
    case model::Routine:
      if (!Postgres()) break;
      m_changedRoutines[before] = after;
      return;
    case model::UserType:
      if (!Postgres()) break;
      ChangeType(oldObject, newObject, differences);
      return;
    case model::Key:
    case model::CheckConstraint:
    case model::ForeignKey:
      if (m_sqlite) {
        m_rebuilt.insert(oldObject.GetParentId());
        return;
      }
      DropConstraint(oldObject);
      // The table's CREATE holds its checks; one that changes on a table
      // that stays (a column renamed under it, say) is added on its own.
      if (type == model::CheckConstraint) AddCheck(newObject);
      else WriteNew(newObject);
      return;
    case model::Index:
    case model::Trigger:
      DropConstraint(oldObject);
      WriteNew(newObject);
      return;
    case model::View:
      m_viewsDropped.insert(before);
      return;
    case model::Sequence: {
      if (m_sqlite) break;
      std::u16string text = u"ALTER SEQUENCE " + Q(m_new, newObject);
      std::u16string comment;
      auto number = [&](const char16_t* clause, int propertyId) {
        if (const std::optional<std::int64_t> value = values::Integer(newObject, propertyId))
          text += clause + platform::Utf8ToUtf16(std::to_string(*value));
      };
      for (const PropertyDifference& difference : differences) {
        switch (difference.propertyId) {
          case model::SequenceStart: number(u" START WITH ", model::SequenceStart); break;
          case model::SequenceIncrement: number(u" INCREMENT BY ", model::SequenceIncrement); break;
          case model::SequenceMin: number(u" MINVALUE ", model::SequenceMin); break;
          case model::SequenceMax: number(u" MAXVALUE ", model::SequenceMax); break;
          case model::SequenceCycle:
            text += values::Flag(newObject, model::SequenceCycle) ? u" CYCLE" : (m_maria ? u" NOCYCLE" : u" NO CYCLE");
            break;
          case model::Comment:
            // A MariaDB sequence is a table, and keeps its comment as one.
            comment = m_maria ? u"ALTER TABLE " + Q(m_new, newObject) + u" COMMENT = " +
                                    m_d.Literal(values::Text(newObject, model::Comment)) + u";\n"
                              : m_d.CommentStatement(u"SEQUENCE", Q(m_new, newObject), newObject);
            break;
          case model::OwnedBy: m_ownerChanged.push_back(after); break;
          default:
            Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(difference.propertyId) +
                      " changes, which the planner does not state");
            return;
        }
      }
      const bool altered = text.size() > (u"ALTER SEQUENCE " + Q(m_new, newObject)).size();
      m_creates.Add(kTypes, newObject, (altered ? text + u";\n" : u"") + comment);
      return;
    }
    default: break;
  }
  for (const PropertyDifference& difference : differences)
    Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(difference.propertyId) +
              " changes, which the planner does not state");
}

void Planner::Added(int after) {
  const CMOObject& object = New(after);
  const int type = object.GetObjectType();
  const bool onTable = IsTableChild(object, m_new);
  if (type == model::Column) {
    if (!onTable) {
      m_viewsDropped.insert(m_match.BeforeOf(object.GetParentId()));
      return;
    }
    const int oldTable = m_match.BeforeOf(object.GetParentId());
    if (m_sqlite) {
      m_rebuilt.insert(oldTable);
      return;
    }
    if (m_maria) {
      m_touched.insert(oldTable);
      m_addedColumns.insert(after);
      return;
    }
    m_touched.insert(oldTable);
    try {
      const std::u16string table = Q(m_new, *m_new.Parent(object));
      m_creates.Add(kTables, object,
                    u"ALTER TABLE " + table + u" ADD COLUMN " + m_d.ColumnClause(m_new, object) + u";\n" +
                        (values::HasText(object, model::Comment)
                             ? m_d.CommentStatement(u"COLUMN", table + u"." + N(object), object)
                             : u""));
    } catch (const RefusedText& refused) {
      Unplanned(Describe(m_new, object) + ": its " + model::PropertyName(refused.propertyId) +
                " is not what a script may hold (" + U8(refused.why) + ")");
    }
    return;
  }
  if (Postgres() && type == model::Parameter) {
    // An argument or result column more: another routine to the server.
    if (const int routine = m_match.BeforeOf(object.GetParentId())) {
      m_changedRoutines[routine] = object.GetParentId();
      m_signatureChanged.insert(routine);
    }
    return;
  }
  if (m_sqlite && onTable && (type == model::Key || type == model::CheckConstraint || type == model::ForeignKey)) {
    m_rebuilt.insert(m_match.BeforeOf(object.GetParentId()));
    return;
  }
  if (m_maria && onTable && m_match.BeforeOf(object.GetParentId()) != 0) {
    if (type == model::Key || type == model::CheckConstraint || type == model::Index) {
      AddToTable(object);
      return;
    }
    if (type == model::Trigger) {
      m_triggerTables.insert(object.GetParentId());
      return;
    }
  }
  if (!m_sqlite && type == model::CheckConstraint && onTable) {
    AddCheck(object);
    return;
  }
  if (type == model::Sequence && m_new.Referenced(object, model::OwnedBy) != nullptr) m_ownerChanged.push_back(after);
  WriteNew(object);
}

void Planner::AddCheck(const CMOObject& newObject) {
  if (!m_written.insert(newObject.GetObjectId()).second) return;
  try {
    const std::u16string table = Q(m_new, *m_new.Parent(newObject));
    m_creates.Add(kKeys, newObject,
                  u"ALTER TABLE " + table + u" ADD " + m_d.ConstraintClause(m_new, newObject) + u";\n" +
                      (values::HasText(newObject, model::Comment)
                           ? m_d.CommentStatement(u"CONSTRAINT", N(newObject) + u" ON " + table, newObject)
                           : u""));
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
  }
}

void Planner::Removed(int before) {
  const CMOObject& object = Old(before);
  const int type = object.GetObjectType();
  const bool onTable = IsTableChild(object, m_old);
  switch (type) {
    case model::Schema: {
      if (m_sqlite) {
        Unplanned(Describe(m_old, object) + ": the planner does not detach SQLite databases");
        return;
      }
      for (const CMOObject* table : m_old.Children(object, model::Table)) {
        m_touched.insert(table->GetObjectId());
        const std::string what = Describe(m_old, *table) + " is dropped with its schema, and its rows with it";
        m_plan.dataLoss.push_back(what);
        m_dropLast += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
      }
      m_dropLast += m_maria ? u"DROP DATABASE IF EXISTS " + N(object) + u";\n" : u"DROP SCHEMA " + N(object) + u" CASCADE;\n";
      return;
    }
    case model::Table: {
      if (m_old.Omitted(before)) return;  // a virtual table's shadow table goes with it
      m_touched.insert(before);
      const std::string what = Describe(m_old, object) + " is dropped, and its rows with it";
      if (m_sqlite) {
        Lose(m_dropTables, what, u"DROP TABLE " + m_d.Name(OldName(object)) + u";\n");
        return;
      }
      // One DROP TABLE for all, which may reference each other; a
      // partition goes with its parent.
      const CMOObject* parent = m_old.PartitionParent(object);
      if (parent != nullptr && m_match.AfterOf(parent->GetObjectId()) == 0) {
        m_plan.dataLoss.push_back(what);
        m_dropTables += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
        return;
      }
      m_droppedTables.push_back(Q(m_old, object));
      Lose(m_dropTables, what, u"");
      return;
    }
    case model::Routine: {
      if (m_sqlite) break;
      if (Postgres()) {
        m_removedRoutines.push_back(before);
        return;
      }
      DropRoutine(object, m_dropRoutines);
      return;
    }
    case model::UserType:
      if (m_sqlite) break;
      // Dropped in the reverse of their order in the model: a type after
      // the types made later that may use it.
      m_dropTypes = (values::TypeKindOf(object) == values::TypeKind::Domain ? u"DROP DOMAIN " : u"DROP TYPE ") +
                    Q(m_old, object) + u";\n" + m_dropTypes;
      return;
    case model::View:
      m_viewsDropped.insert(before);
      m_touched.insert(before);
      return;
    case model::Column:
      if (!onTable) {
        m_viewsDropped.insert(object.GetParentId());
        return;
      }
      m_touched.insert(object.GetParentId());
      if (m_sqlite) {
        m_rebuilt.insert(object.GetParentId());
        RebuildLoses(object.GetParentId(), Describe(m_old, object) + " is dropped, and its values with it");
        return;
      }
      Lose(m_dropColumns, Describe(m_old, object) + " is dropped, and its values with it",
           u"ALTER TABLE " + Q(m_old, *m_old.Parent(object)) + (m_maria ? u" DROP COLUMN IF EXISTS " : u" DROP COLUMN ") +
               N(object) + u";\n");
      return;
    case model::Key:
    case model::CheckConstraint:
    case model::ForeignKey:
      if (m_sqlite) {
        m_rebuilt.insert(object.GetParentId());
        return;
      }
      DropConstraint(object);
      return;
    case model::Index:
    case model::Trigger:
      DropConstraint(object);
      return;
    case model::Parameter:
      if (!Postgres()) break;
      if (const int routine = m_match.AfterOf(object.GetParentId())) {
        m_changedRoutines[object.GetParentId()] = routine;
        m_signatureChanged.insert(object.GetParentId());
      }
      return;
    case model::Partition:
      if (Postgres()) return;  // its table is dropped or detached
      break;
    case model::Sequence:
      if (m_old.Omitted(before)) return;
      // IF EXISTS: a sequence a dropped table's column owned goes with it.
      m_dropSequences += u"DROP SEQUENCE IF EXISTS " + Q(m_old, object) + u";\n";
      return;
    default:
      break;
  }
  Unplanned(Describe(m_old, object) + ": the planner does not drop this kind of object");
}

// The names an old view's text reads, each as the database holds it
// (what a quoted reference names exactly, an unquoted one after the
// dialect's folding); read once per view.
const std::unordered_set<std::u16string>& Planner::NamesRead(int view) {
  const auto found = m_namesRead.find(view);
  if (found != m_namesRead.end()) return found->second;
  std::unordered_set<std::u16string>& names = m_namesRead[view];
  for (const std::vector<NamePart>& run : ReferencedNames(values::Text(Old(view), model::Definition), m_d.Tokens()))
    for (const NamePart& part : run) names.insert(m_d.MatchKey(part.name, part.quoted));
  return names;
}

// Views that read what changes are dropped and made again: a view whose
// text names a table, view or routine that changes, and the views that
// read those.
void Planner::FindTouchedViews() {
  std::unordered_set<std::u16string> names;
  auto addName = [&](const CMOObject& object) {
    names.insert(m_d.MatchKey(values::Name(object), false));
    names.insert(m_d.MatchKey(values::Name(object), true));
    names.insert(m_d.MatchKey(OldName(object), true));
    names.insert(m_d.MatchKey(OldName(object), false));
  };
  for (int id : m_touched) addName(Old(id));
  for (int id : m_rebuilt) addName(Old(id));
  for (int id : m_viewsDropped) addName(Old(id));
  for (int id : m_routinesRemade) addName(Old(id));
  const GenericModel& model = m_old.Model();
  std::vector<int> views;
  for (int id = 2; id <= model.GetObjectCount(); ++id) {
    const CMOObject* view = model.GetCMOObject(id);
    if (view != nullptr && view->GetObjectType() == model::View) views.push_back(id);
  }
  bool grew = true;
  while (grew) {
    grew = false;
    for (int id : views) {
      if (m_viewsDropped.count(id) > 0) continue;
      const std::unordered_set<std::u16string>& read = NamesRead(id);
      if (std::none_of(read.begin(), read.end(), [&](const std::u16string& name) { return names.count(name) > 0; }))
        continue;
      m_viewsDropped.insert(id);
      addName(Old(id));
      grew = true;
    }
  }
}

void Planner::DropViews() {
  // A view is dropped after the views that read it: each view counts the
  // dropped views that read it, and is dropped when none is left.
  std::unordered_map<std::u16string, std::vector<int>> byName;  // name as the database holds it -> dropped views
  for (int id : m_viewsDropped) byName[m_d.MatchKey(values::Name(Old(id)), true)].push_back(id);
  std::map<int, int> readers;                        // view -> dropped views still to drop that read it
  std::unordered_map<int, std::vector<int>> reads;  // view -> dropped views it reads
  for (int id : m_viewsDropped) readers[id];
  for (int reader : m_viewsDropped)
    for (const std::u16string& name : NamesRead(reader))
      if (const auto found = byName.find(name); found != byName.end())
        for (int read : found->second)
          if (read != reader) {
            reads[reader].push_back(read);
            ++readers[read];
          }
  // In id order among those ready, as the views were picked before.
  std::set<int> ready;
  for (const auto& [id, count] : readers)
    if (count == 0) ready.insert(id);
  std::set<int> done;
  while (done.size() < readers.size()) {
    // A cycle (which the database does not allow) is broken at its first view.
    const int pick = !ready.empty() ? *ready.begin() : [&] {
      for (const auto& [id, count] : readers)
        if (done.count(id) == 0) return id;
      return 0;
    }();
    ready.erase(pick);
    done.insert(pick);
    const CMOObject& view = Old(pick);
    const bool materialized = values::RelationKindOf(view) == values::RelationKind::MaterializedView;
    m_dropViews += (materialized ? u"DROP MATERIALIZED VIEW " : m_maria ? u"DROP VIEW IF EXISTS " : u"DROP VIEW ") +
                   Q(m_old, view) + u";\n";
    if (const int after = m_match.AfterOf(pick)) WriteNew(New(after));
    for (int read : reads[pick])
      if (done.count(read) == 0 && --readers[read] == 0) ready.insert(read);
  }
}

// SQLite: each changed table made again from the new model, its rows
// copied from the old one under its old name.
void Planner::RebuildTables() {
  for (int before : m_rebuilt) {
    const int after = m_match.AfterOf(before);
    if (after == 0) continue;
    const CMOObject& oldTable = Old(before);
    const CMOObject& newTable = New(after);
    const std::u16string aside = m_d.Name(u"qm_old_" + OldName(oldTable));
    m_dropTables += m_rebuildLosses[before];
    m_dropTables += u"ALTER TABLE " + m_d.Name(OldName(oldTable)) + u" RENAME TO " + aside + u";\n";
    WriteNew(newTable);
    std::u16string into, from;
    for (const CMOObject* column : m_new.Children(newTable, model::Column)) {
      const int oldColumn = m_match.BeforeOf(column->GetObjectId());
      if (oldColumn == 0 || values::GeneratedKindOf(*column) != values::GeneratedKind::None) continue;
      into += (into.empty() ? u"" : u", ") + N(*column);
      from += (from.empty() ? u"" : u", ") + m_d.Name(OldName(Old(oldColumn)));
    }
    // A copy that fails (NULL into NOT NULL, a duplicate into a new key)
    // rolls the whole plan back: a client that goes on after a failed
    // statement then finds no table set aside (every one is set aside
    // before the first copy) and drops no rows.
    std::u16string copy;
    if (!into.empty())
      copy = u"INSERT OR ROLLBACK INTO " + N(newTable) + u" (" + into + u") SELECT " + from + u" FROM " + aside + u";\n";
    const std::vector<int> made = m_creates.StatementsOf(after);
    const int moved = m_creates.Add(kTables, newTable, copy + u"DROP TABLE " + aside + u";\n");
    for (int statement : made) m_creates.Follow(moved, statement);
    m_touched.insert(before);
  }
}

// Foreign keys onto a key that is dropped, or onto columns whose type
// changes, are dropped before and made again after.
void Planner::RecreateForeignKeys() {
  if (m_sqlite) return;
  for (const auto& [before, after] : m_matchedTables) {
    for (const CMOObject* foreignKey : m_old.Children(Old(before), model::ForeignKey)) {
      const int id = foreignKey->GetObjectId();
      const int newId = m_match.AfterOf(id);
      if (newId == 0 || m_foreignKeysDropped.count(id) > 0) continue;
      bool recreate = false;
      for (int key : values::Ids(*foreignKey, model::ReferencedKey)) recreate = recreate || m_keysDropped.count(key) > 0;
      for (int column : values::Ids(*foreignKey, model::ReferencedColumns)) recreate = recreate || m_retyped.count(column) > 0;
      for (int column : values::Ids(*foreignKey, model::ForeignKeyColumns)) recreate = recreate || m_retyped.count(column) > 0;
      // MariaDB: a column of the key renamed (see DropConstraint).
      if (m_maria)
        for (int property : {model::ForeignKeyColumns, model::ReferencedColumns})
          for (int column : values::Ids(*foreignKey, property)) recreate = recreate || m_originalNames.count(column) > 0;
      if (const CMOObject* target = m_old.Referenced(*foreignKey, model::ReferencedTable))
        for (const CMOObject* key : m_old.Children(*target, model::Key))
          recreate = recreate || m_keysDropped.count(key->GetObjectId()) > 0;
      if (!recreate) continue;
      DropConstraint(*foreignKey);
      WriteNew(New(newId));
    }
  }
}

void Planner::AddToTable(const CMOObject& newObject) {
  const CMOObject* table = m_new.Parent(newObject);
  if (table == nullptr) return;
  const std::u16string alter = u"ALTER TABLE " + Q(m_new, *table);
  try {
    std::u16string text;
    if (newObject.GetObjectType() == model::Key && values::KeyKindOf(newObject) == values::KeyKind::PrimaryKey) {
      // ADD PRIMARY KEY has no IF NOT EXISTS: a run again drops what the
      // failed run added (the drops come first).
      m_dropOthers += alter + u" DROP INDEX IF EXISTS " + m_d.Name(u"PRIMARY") + u";\n";
    }
    text = alter + u" ADD " + m_d.ConstraintClause(m_new, newObject) + u";\n";
    m_creates.Add(newObject.GetObjectType() == model::Index ? kIndexes : kKeys, newObject, std::move(text));
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
  }
}

void Planner::PlaceColumns(const CMOObject& oldTable, const CMOObject& newTable) {
  auto ordered = [](const SqlModel& model, const CMOObject& table) {
    std::vector<const CMOObject*> columns = model.Children(table, model::Column);
    std::stable_sort(columns.begin(), columns.end(), [](const CMOObject* a, const CMOObject* b) {
      return values::Integer(*a, model::Position).value_or(0) < values::Integer(*b, model::Position).value_or(0);
    });
    return columns;
  };
  const std::u16string alter = u"ALTER TABLE " + Q(m_new, newTable);
  auto place = [&](const CMOObject* previous) {
    return previous == nullptr ? std::u16string(u" FIRST") : u" AFTER " + N(*previous);
  };
  const std::vector<const CMOObject*> wanted = ordered(m_new, newTable);
  // Each new column after the one before it in NEW, in NEW's order, each
  // add after the one before it.
  int last = -1;
  const CMOObject* previous = nullptr;
  try {
    for (const CMOObject* column : wanted) {
      if (m_addedColumns.count(column->GetObjectId()) > 0) {
        std::u16string text = alter + u" ADD COLUMN IF NOT EXISTS " + m_d.ColumnClause(m_new, *column) + place(previous) + u";\n";
        const int statement = m_creates.Add(kTables, *column, std::move(text));
        if (last >= 0) m_creates.Follow(statement, last);
        last = statement;
      }
      previous = column;
    }
    // The columns that stay, in their old order with the new ones in
    // place: when that is not NEW's order, each column is moved after the
    // one before it in NEW, left to right (which a run again repeats).
    std::vector<int> planned;
    for (const CMOObject* column : ordered(m_old, oldTable))
      if (int after = m_match.AfterOf(column->GetObjectId())) planned.push_back(after);
    std::vector<int> inOrder;
    for (const CMOObject* column : wanted)
      if (m_addedColumns.count(column->GetObjectId()) == 0 && m_match.BeforeOf(column->GetObjectId()) != 0)
        inOrder.push_back(column->GetObjectId());
    if (planned == inOrder) return;
    std::u16string text;
    previous = nullptr;
    for (const CMOObject* column : wanted) {
      text += alter + u" MODIFY COLUMN " + m_d.ColumnClause(m_new, *column) + place(previous) + u";\n";
      previous = column;
    }
    // Made a statement of the last column, not of the table: what is made
    // on the table follows the table's statements.
    const int moved = m_creates.Add(kTables, *wanted.back(), std::move(text));
    for (const CMOObject* column : wanted)
      for (int statement : m_creates.StatementsOf(column->GetObjectId()))
        if (statement != moved) m_creates.Follow(moved, statement);
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, newTable) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
  }
}

void Planner::RemakeTriggers() {
  // A table's triggers fire in the order they were made: all of them are
  // dropped and made again, in NEW's order.
  for (int after : m_triggerTables) {
    const int before = m_match.BeforeOf(after);
    if (before != 0)
      for (const CMOObject* trigger : m_old.Children(Old(before), model::Trigger))
        if (m_triggersDropped.count(trigger->GetObjectId()) == 0) DropConstraint(*trigger);
    const std::vector<const CMOObject*> triggers = m_new.Children(New(after), model::Trigger);
    if (!triggers.empty()) WriteNew(*triggers.front());
  }
}

void Planner::AlterTableOptions(const CMOObject& newObject, const std::vector<PropertyDifference>& differences) {
  const bool schema = newObject.GetObjectType() == model::Schema;
  std::u16string options;
  for (const PropertyDifference& difference : differences) {
    const std::u16string& text = values::Text(newObject, difference.propertyId);
    const std::u16string rowFormat = values::VocabularyWord(newObject, model::RowFormat);
    const int id = difference.propertyId;
    if (id == model::Comment) {
      options += u" COMMENT = " + m_d.Literal(text);
    } else if (id == model::CharacterSet && schema && !text.empty()) {
      options += u" CHARACTER SET = " + m_d.Name(text);
    } else if (id == model::Collation && !text.empty()) {
      options += u" COLLATE = " + m_d.Name(text);
    } else if (id == model::Engine && !schema && !text.empty()) {
      options += u" ENGINE = " + m_d.Name(text);
    } else if (id == model::RowFormat && !schema && !rowFormat.empty()) {
      options += u" ROW_FORMAT = " + rowFormat;
    } else {
      Unplanned(Describe(m_new, newObject) + ": its " + model::PropertyName(id) + " changes, which the planner does not state");
      return;
    }
  }
  m_creates.Add(kTables, newObject,
                (schema ? u"ALTER DATABASE " + N(newObject) : u"ALTER TABLE " + Q(m_new, newObject)) + options + u";\n");
}

void Planner::TieSequences() {
  // A sequence belongs to its column once both exist (a serial column's):
  // the tie is made after what it names is made, and undone before any
  // drop, since dropping the old column would drop the sequence with it.
  for (int after : m_ownerChanged) {
    const CMOObject& sequence = New(after);
    const CMOObject* column = m_new.Referenced(sequence, model::OwnedBy);
    const CMOObject* table = column != nullptr ? m_new.Parent(*column) : nullptr;
    if (table == nullptr) {
      m_untied += u"ALTER SEQUENCE " + Q(m_new, sequence) + u" OWNED BY NONE;\n";
      continue;
    }
    // Moved from another column: untied first, or dropping the old column's
    // table would drop the sequence with it.
    const int old = m_match.BeforeOf(after);
    if (old != 0 && m_old.Referenced(Old(old), model::OwnedBy) != nullptr)
      m_untied += u"ALTER SEQUENCE " + Q(m_old, Old(old)) + u" OWNED BY NONE;\n";
    const int statement = m_creates.Add(
        kKeys, sequence, u"ALTER SEQUENCE " + Q(m_new, sequence) + u" OWNED BY " + Q(m_new, *table) + u"." + N(*column) + u";\n");
    for (const CMOObject* made : {&sequence, table, column})
      for (int before : m_creates.StatementsOf(made->GetObjectId()))
        if (before != statement) m_creates.Follow(statement, before);
  }
}

void Planner::DropRoutine(const CMOObject& routine, std::u16string& section) {
  const values::RoutineKind kind = values::RoutineKindOf(routine);
  const std::u16string_view word = kind == values::RoutineKind::Procedure ? u"PROCEDURE"
                                   : kind == values::RoutineKind::Aggregate ? u"AGGREGATE"
                                                                            : u"FUNCTION";
  try {
    section += u"DROP " + std::u16string(word) + (m_maria ? u" IF EXISTS " : u" ") + m_d.RoutineDropName(m_old, routine) + u";\n";
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_old, routine) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
  }
}

void Planner::ChangeRoutines() {
  auto key = [&](const SqlModel& model, const CMOObject& routine) {
    const CMOObject* schema = model.SchemaOf(routine);
    return (schema != nullptr ? values::Name(*schema) : u"") + u'\0' + values::Name(routine);
  };
  // The names of the routines made: an old routine of such a name is
  // another overload, dropped before it so that nothing made binds to it.
  std::unordered_set<std::u16string> made;
  for (const auto& [before, after] : m_changedRoutines) made.insert(key(m_new, New(after)));
  for (const MatchStep& step : m_match.Steps())
    if (step.kind == MatchStep::Kind::Added && New(step.after).GetObjectType() == model::Routine)
      made.insert(key(m_new, New(step.after)));
  for (int before : m_removedRoutines) {
    m_routinesRemade.insert(before);
    DropRoutine(Old(before), made.count(key(m_old, Old(before))) > 0 ? m_dropRoutinesFirst : m_dropRoutines);
  }
  for (const auto& [before, after] : m_changedRoutines) {
    const CMOObject& oldRoutine = Old(before);
    const CMOObject& newRoutine = New(after);
    // CREATE OR REPLACE keeps the arguments, their names, the result and
    // the kind; anything else is another routine.
    const std::u16string& text = values::Text(newRoutine, model::SqlText);
    const std::size_t start = text.find_first_not_of(u" \t\r\n");
    const bool replaces = start != std::u16string::npos && Lower(text.substr(start, 17)) == u"create or replace";
    if (!replaces || m_signatureChanged.count(before) > 0 ||
        values::RoutineKindOf(oldRoutine) != values::RoutineKindOf(newRoutine) ||
        values::Text(oldRoutine, model::ReturnType) != values::Text(newRoutine, model::ReturnType)) {
      m_routinesRemade.insert(before);
      DropRoutine(oldRoutine, m_dropRoutinesFirst);
    }
    WriteNew(newRoutine);
  }
}

namespace {

// The literals of an enum's label list ('a', 'b', E'c\\d'), as written.
std::vector<std::u16string> EnumLabels(std::u16string_view list, const TokenRules& rules) {
  std::vector<std::u16string> labels;
  for (const Token& token : Tokenize(list, rules))
    if (token.kind == TokenKind::String) labels.emplace_back(list.substr(token.begin, token.end - token.begin));
  return labels;
}

// A domain's checks as the import joins them ("CHECK (a) CHECK (b) NOT
// VALID"), one clause each.
std::vector<std::u16string> CheckClauses(std::u16string_view text, const TokenRules& rules) {
  std::vector<std::u16string> clauses;
  int depth = 0;
  std::size_t start = std::u16string_view::npos;
  for (const Token& token : Tokenize(text, rules)) {
    const std::u16string_view word = text.substr(token.begin, token.end - token.begin);
    if (token.kind == TokenKind::Punctuation && word == u"(") ++depth;
    if (token.kind == TokenKind::Punctuation && word == u")") --depth;
    if (token.kind == TokenKind::Word && depth == 0 && Lower(word) == u"check") {
      if (start != std::u16string_view::npos) clauses.emplace_back(text.substr(start, token.begin - start));
      start = token.begin;
    }
  }
  if (start != std::u16string_view::npos) clauses.emplace_back(text.substr(start));
  for (std::u16string& clause : clauses)
    while (!clause.empty() && (clause.back() == u' ' || clause.back() == u'\n')) clause.pop_back();
  return clauses;
}

// "name type": the name as written (quoted as needed) and the type.
std::pair<std::u16string, std::u16string> Attribute(const std::u16string& entry, const TokenRules& rules) {
  const std::vector<Token> tokens = Tokenize(entry, rules);
  if (tokens.empty() || (tokens.front().kind != TokenKind::Word && tokens.front().kind != TokenKind::QuotedName)) return {};
  std::u16string type = entry.substr(tokens.front().end);
  while (!type.empty() && type.front() == u' ') type.erase(0, 1);
  return {entry.substr(0, tokens.front().end), type};
}

}  // namespace

void Planner::ChangeType(const CMOObject& oldType, const CMOObject& newType,
                         const std::vector<PropertyDifference>& differences) {
  const std::u16string name = Q(m_new, newType);
  const bool domain = values::TypeKindOf(newType) == values::TypeKind::Domain;
  auto refuse = [&](const std::string& why) { Unplanned(Describe(m_new, newType) + ": " + why); };
  if (values::TypeKindOf(oldType) != values::TypeKindOf(newType)) {
    refuse("its kind changes, which ALTER TYPE cannot do (the type would be made again with every column that uses it)");
    return;
  }
  std::u16string text;
  try {
    for (const PropertyDifference& difference : differences) {
      switch (difference.propertyId) {
        case model::Comment: text += m_d.CommentStatement(domain ? u"DOMAIN" : u"TYPE", name, newType); break;
        case model::EnumLabels: {
          // Values are only added: ALTER TYPE cannot remove or move one.
          const std::vector<std::u16string> was = EnumLabels(values::Text(oldType, model::EnumLabels), m_d.Tokens());
          const std::vector<std::u16string> wanted =
              EnumLabels(m_d.ProvenText(newType, model::EnumLabels, TextKind::ExpressionList), m_d.Tokens());
          std::size_t kept = 0;
          for (const std::u16string& label : wanted)
            if (kept < was.size() && label == was[kept]) ++kept;
          if (kept < was.size()) {
            refuse("its enum values are removed or reordered, which ALTER TYPE cannot do (the type would be made again "
                   "with every column that uses it)");
            return;
          }
          std::u16string previous;
          for (std::size_t i = 0, next = 0; i < wanted.size(); ++i) {
            if (next < was.size() && wanted[i] == was[next]) {
              ++next;
            } else {
              m_outsideTransaction += u"ALTER TYPE " + name + u" ADD VALUE IF NOT EXISTS " + wanted[i] +
                                      (!previous.empty() ? u" AFTER " + previous
                                       : !was.empty()    ? u" BEFORE " + was.front()
                                                         : u"") +
                                      u";\n";
            }
            previous = wanted[i];
          }
          break;
        }
        case model::AttributeList: {
          // Attributes are added at the end only: those that stay keep
          // their order, and the new ones follow them.
          std::vector<std::pair<std::u16string, std::u16string>> was, wanted;
          // The old names go into the script too: both lists are proven.
          for (const std::u16string& entry :
               CompositeAttributes(m_d.ProvenText(oldType, model::AttributeList, TextKind::Clause), m_d.Tokens()))
            was.push_back(Attribute(entry, m_d.Tokens()));
          for (const std::u16string& entry :
               CompositeAttributes(m_d.ProvenText(newType, model::AttributeList, TextKind::Clause), m_d.Tokens()))
            wanted.push_back(Attribute(entry, m_d.Tokens()));
          for (const auto& list : {was, wanted})
            for (const auto& [attribute, type] : list)
              if (attribute.empty() || type.empty()) {
                refuse("its attribute list is not one the planner can read");
                return;
              }
          auto find = [](const auto& list, const std::u16string& attribute) {
            return std::find_if(list.begin(), list.end(), [&](const auto& each) { return each.first == attribute; });
          };
          std::vector<std::u16string> actions;
          std::vector<std::u16string> stay;
          for (const auto& [attribute, type] : was) {
            const auto found = find(wanted, attribute);
            if (found == wanted.end()) {
              const std::string what = Describe(m_new, newType) + ": its attribute " + writers::VisibleText(attribute) +
                                       " is dropped, and its values in columns of the type with it";
              m_plan.dataLoss.push_back(what);
              text += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
              actions.push_back(u"DROP ATTRIBUTE " + attribute);
              continue;
            }
            stay.push_back(attribute);
            if (found->second == type) continue;
            if (!Widens(type, found->second)) {
              const std::string what = Describe(m_new, newType) + ": its attribute " + writers::VisibleText(attribute) +
                                       " changes type from " + writers::VisibleText(type) + " to " + writers::VisibleText(found->second) +
                                       ": values may be cut or fail to convert";
              m_plan.dataLoss.push_back(what);
              text += u"-- loses data: " + platform::Utf8ToUtf16(what) + u"\n";
            }
            actions.push_back(u"ALTER ATTRIBUTE " + attribute + u" TYPE " + found->second);
          }
          // Those that stay come first in NEW, in their old order.
          for (std::size_t i = 0; i < wanted.size(); ++i) {
            const auto& [attribute, type] = wanted[i];
            if (find(was, attribute) == was.end()) {
              actions.push_back(u"ADD ATTRIBUTE " + attribute + u" " + type);
            } else if (i >= stay.size() || stay[i] != attribute) {
              refuse("its attributes' order changes, which ALTER TYPE cannot do (it adds an attribute at the end only)");
              return;
            }
          }
          if (actions.empty()) break;
          text += u"ALTER TYPE " + name;
          for (std::size_t i = 0; i < actions.size(); ++i) text += (i > 0 ? u",\n    " : u" ") + actions[i];
          text += u";\n";
          break;
        }
        case model::DefaultValue:
          text += u"ALTER DOMAIN " + name +
                  (values::HasText(newType, model::DefaultValue) ? u" SET DEFAULT " + m_d.DefaultOf(newType) : u" DROP DEFAULT") +
                  u";\n";
          break;
        case model::Nullable:
          if (values::Integer(newType, model::Nullable).value_or(1) == 0) {
            Lose(text, Describe(m_new, newType) + " becomes NOT NULL: values that are NULL make the change fail",
                 u"ALTER DOMAIN " + name + u" SET NOT NULL;\n");
          } else {
            text += u"ALTER DOMAIN " + name + u" DROP NOT NULL;\n";
          }
          break;
        case model::CheckExpression: {
          // The model keeps a domain's checks without their names: all of
          // them are dropped, by the names the server gave them, and the
          // new ones added.
          const std::vector<std::u16string> checks =
              values::HasText(newType, model::CheckExpression)
                  ? CheckClauses(m_d.ProvenText(newType, model::CheckExpression, TextKind::Clause), m_d.Tokens())
                  : std::vector<std::u16string>{};
          std::u16string body = u"DECLARE c name; BEGIN FOR c IN SELECT conname FROM pg_catalog.pg_constraint WHERE contypid = " +
                                m_d.Literal(name) + u"::pg_catalog.regtype AND contype = 'c' ORDER BY conname LOOP " +
                                u"EXECUTE pg_catalog.format('ALTER DOMAIN %s DROP CONSTRAINT %I', " + m_d.Literal(name) +
                                u", c); END LOOP; END";
          std::u16string tag = u"$qm$";
          for (int n = 1; body.find(tag) != std::u16string::npos; ++n) tag = u"$qm" + platform::Utf8ToUtf16(std::to_string(n)) + u"$";
          text += u"DO " + tag + body + tag + u";\n";
          for (const std::u16string& check : checks) text += u"ALTER DOMAIN " + name + u" ADD " + check + u";\n";
          break;
        }
        default:
          refuse(std::string("its ") + model::PropertyName(difference.propertyId) + " changes, which the planner does not state");
          return;
      }
    }
  } catch (const RefusedText& refused) {
    Unplanned(Describe(m_new, newType) + ": its " + model::PropertyName(refused.propertyId) +
              " is not what a script may hold (" + U8(refused.why) + ")");
    return;
  }
  if (!text.empty()) m_creates.Add(kTypes, newType, std::move(text));
}

void Planner::MovePartitions() {
  for (const auto& [before, after] : m_movedPartitions) {
    const CMOObject& oldTable = Old(before);
    const CMOObject& newTable = New(after);
    // Detached first, so that a new bound may take over another's range;
    // a parent that is dropped then leaves the table standing.
    if (const CMOObject* parent = m_old.PartitionParent(oldTable))
      m_dropOthers += u"ALTER TABLE " + Q(m_old, *parent) + u" DETACH PARTITION " + Q(m_old, oldTable) + u";\n";
    const CMOObject* parent = m_new.PartitionParent(newTable);
    if (parent == nullptr) continue;
    try {
      const std::u16string bound = values::Text(newTable, model::PartitionBound).empty()
                                       ? std::u16string(u"DEFAULT")
                                       : m_d.ProvenText(newTable, model::PartitionBound, TextKind::Clause);
      // Attached once its parent is made and its columns changed: the
      // server checks that its rows fit the bound, and fails the plan when
      // they do not.
      const int statement = m_creates.Add(kTables, newTable, u"ALTER TABLE " + Q(m_new, *parent) + u" ATTACH PARTITION " +
                                                                 Q(m_new, newTable) + u" " + bound + u";\n");
      std::vector<int> made = m_creates.StatementsOf(parent->GetObjectId());
      for (const CMOObject* column : m_new.Children(newTable, model::Column))
        for (int each : m_creates.StatementsOf(column->GetObjectId())) made.push_back(each);
      for (int each : made)
        if (each != statement) m_creates.Follow(statement, each);
    } catch (const RefusedText& refused) {
      Unplanned(Describe(m_new, newTable) + ": its " + model::PropertyName(refused.propertyId) +
                " is not what a script may hold (" + U8(refused.why) + ")");
    }
  }
}

MigrationPlan Planner::Run() {
  for (const MatchStep& step : m_match.Steps()) {
    switch (step.kind) {
      case MatchStep::Kind::Matched: Matched(step.before, step.after); break;
      case MatchStep::Kind::Added: Added(step.after); break;
      case MatchStep::Kind::Removed: Removed(step.before); break;
    }
  }
  for (const auto& [before, after] : m_matchedTables) ColumnOrder(Old(before), New(after));
  if (Postgres()) {
    ChangeRoutines();
    MovePartitions();
  }
  TieSequences();
  if (!m_droppedTables.empty()) {
    m_dropTables += m_maria ? u"DROP TABLE IF EXISTS " : u"DROP TABLE ";
    for (std::size_t i = 0; i < m_droppedTables.size(); ++i) m_dropTables += (i > 0 ? u", " : u"") + m_droppedTables[i];
    m_dropTables += u";\n";
  }
  // Routines, sequences (which may be of a domain), types, schemas.
  m_dropLast = m_dropRoutines + m_dropSequences + m_dropTypes + m_dropLast;
  RebuildTables();
  RecreateForeignKeys();
  if (m_maria) RemakeTriggers();
  FindTouchedViews();
  DropViews();

  m_plan.empty = m_plan.unplanned.empty() && m_plan.dataLoss.empty() && m_untied.empty() && m_renames.empty() &&
                 m_dropRoutinesFirst.empty() && m_outsideTransaction.empty() &&
                 m_dropForeignKeys.empty() && m_dropViews.empty() && m_dropOthers.empty() && m_dropColumns.empty() &&
                 m_dropTables.empty() && m_dropLast.empty() && DiffModels(m_match).Empty();
  if (!m_plan.unplanned.empty() || (!m_plan.dataLoss.empty() && !m_options.allowDataLoss)) return std::move(m_plan);
  if (m_plan.empty) return std::move(m_plan);

  std::u16string header = u"-- The changes that make a database shaped like the old model into one shaped like the new,\n"
                          u"-- in " + std::u16string(m_d.Product()) + u".\n-- Written by quillmere-import diff --format sql.\n\n";
  for (const std::string& note : m_plan.notes) header += u"-- Note: " + platform::Utf8ToUtf16(note) + u"\n";
  if (!m_plan.notes.empty()) header += u"\n";
  if (m_maria)
    header += u"-- MariaDB commits each change of a table by itself: the script runs statement by statement,\n"
              u"-- not as one transaction. Each step does nothing where an earlier run did it, so that a run\n"
              u"-- that failed half way is finished by running the same script again.\n\n";
  std::u16string begin;
  std::u16string end;
  if (m_sqlite) {
    // The documented way to change what ALTER TABLE cannot: no foreign key
    // is checked or followed while tables are made again, and renaming a
    // table aside rewrites no other table's text.
    begin = u"PRAGMA foreign_keys = OFF;\nBEGIN;\nPRAGMA legacy_alter_table = ON;\n";
    // The rows of each rebuilt table checked against their foreign keys
    // (a table only made has none to check).
    end = u"PRAGMA legacy_alter_table = OFF;\n";
    for (int before : m_rebuilt)
      if (const int after = m_match.AfterOf(before))
        end += u"PRAGMA foreign_key_check(" + N(New(after)) + u");\n";
    end += u"COMMIT;\nPRAGMA foreign_keys = ON;\n";
  } else {
    begin = m_d.Begin();
    end = m_d.End();
    if (!m_outsideTransaction.empty()) {
      // A value added to an enum cannot be used in the transaction that
      // adds it (nor, before PostgreSQL 12, be added in one): each is
      // committed by itself before the transaction, and skipped when a run
      // before added it.
      const std::size_t at = begin.find(u"BEGIN;\n");
      begin.insert(at == std::u16string::npos ? 0 : at,
                   u"\n-- Enum values added, each committed before the transaction\n\n" + m_outsideTransaction + u"\n");
    }
  }
  auto section = [](std::u16string_view title, const std::u16string& text) {
    return text.empty() ? std::u16string() : u"\n-- " + std::u16string(title) + u"\n\n" + text;
  };
  begin += section(u"Sequences untied from their columns", m_untied) +
           (m_maria ? section(u"Foreign keys dropped", m_dropForeignKeys) + section(u"Renames", m_renames)
                    : section(u"Renames", m_renames) + section(u"Foreign keys dropped", m_dropForeignKeys)) +
           section(u"Views dropped", m_dropViews) + section(u"Triggers, indexes and constraints dropped", m_dropOthers) +
           section(u"Routines dropped to be made again", m_dropRoutinesFirst) +
           section(u"Columns dropped", m_dropColumns) + section(m_sqlite ? u"Tables dropped, and tables to rebuild set aside" : u"Tables dropped", m_dropTables);
  if (!begin.empty() && begin.back() == u'\n') begin += u'\n';
  end = section(u"Routines, sequences, types and schemas dropped", m_dropLast) + (m_dropLast.empty() ? u"" : u"\n") + end;
  std::ostringstream out;
  m_creates.Write(out, header, begin, end);
  m_plan.script = out.str();
  return std::move(m_plan);
}

CMOObject* ChildNamed(GenericModel& model, const CMOObject& parent, int type, std::u16string_view name) {
  for (int id : parent.GetChildIds()) {
    CMOObject* child = model.GetCMOObject(id);
    if (child != nullptr && child->GetObjectType() == type && values::Name(*child) == name) return child;
  }
  return nullptr;
}

}  // namespace

Rename ReadRename(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos)
    throw std::invalid_argument("a rename is schema.table=new or schema.table.column=new");
  const std::u16string left = platform::Utf8ToUtf16(text.substr(0, equals));
  std::vector<std::u16string> parts(1);
  for (char16_t c : left) {
    if (c == u'.') parts.emplace_back();
    else parts.back() += c;
  }
  Rename rename;
  rename.to = platform::Utf8ToUtf16(text.substr(equals + 1));
  if (parts.size() < 2 || parts.size() > 3 || rename.to.empty() ||
      std::any_of(parts.begin(), parts.end(), [](const std::u16string& part) { return part.empty(); }))
    throw std::invalid_argument("a rename is schema.table=new or schema.table.column=new");
  rename.schema = parts[0];
  rename.table = parts[1];
  if (parts.size() == 3) rename.column = parts[2];
  return rename;
}

MigrationPlan PlanMigration(GenericModel& before, const GenericModel& after, const PlanOptions& options) {
  const SqlDialect* dialect = DialectNamed(options.dialect);
  const bool sqlite = options.dialect == "sqlite";
  const bool maria = options.dialect == "mariadb";
  if (dialect == nullptr || (options.dialect != "postgresql" && !sqlite && !maria)) {
    MigrationPlan plan;
    plan.unplanned.push_back("the planner writes PostgreSQL, SQLite and MariaDB; it does not write plans in " +
                             (options.dialect.empty() ? std::string("standard SQL") : options.dialect));
    return plan;
  }
  dialect = &dialect->ForPlans();
  // The renames, made in the old model so that the matching pairs the
  // objects; PostgreSQL states them first, SQLite rebuilds the table.
  std::unordered_map<int, std::u16string> originalNames;
  std::u16string statements;
  {
    SqlModel names(before);
    for (const Rename& rename : options.renames) {
      const std::string shown = writers::VisibleText(rename.schema) + "." + writers::VisibleText(rename.table) +
                                (rename.column.empty() ? "" : "." + writers::VisibleText(rename.column));
      CMOObject* schema = ChildNamed(before, *before.GetCMOObject(), model::Schema, rename.schema);
      CMOObject* table = schema != nullptr ? ChildNamed(before, *schema, model::Table, rename.table) : nullptr;
      CMOObject* object = table;
      if (table != nullptr && !rename.column.empty()) object = ChildNamed(before, *table, model::Column, rename.column);
      if (object == nullptr) throw PlanError("--rename " + shown + ": the old model has no such table or column");
      if (ChildNamed(before, *before.GetCMOObject(object->GetParentId()), object->GetObjectType(), rename.to) != nullptr)
        throw PlanError("--rename " + shown + ": the old model already has " + writers::VisibleText(rename.to));
      if (maria) {
        // A rename run again finds nothing of the old name (nor a column's
        // table, renamed after it); the new name is qualified, as the
        // script uses no database.
        statements += rename.column.empty()
                          ? u"ALTER TABLE IF EXISTS " + dialect->QualifiedName(names, *table) + u" RENAME TO " +
                                dialect->Name(values::Name(*schema)) + u"." + dialect->Name(rename.to) + u";\n"
                          : u"ALTER TABLE IF EXISTS " + dialect->QualifiedName(names, *table) + u" RENAME COLUMN IF EXISTS " +
                                dialect->Name(rename.column) + u" TO " + dialect->Name(rename.to) + u";\n";
      } else if (!sqlite) {
        statements += rename.column.empty()
                          ? u"ALTER TABLE " + dialect->QualifiedName(names, *table) + u" RENAME TO " +
                                dialect->Name(rename.to) + u";\n"
                          : u"ALTER TABLE " + dialect->QualifiedName(names, *table) + u" RENAME COLUMN " +
                                dialect->Name(rename.column) + u" TO " + dialect->Name(rename.to) + u";\n";
      }
      originalNames.emplace(object->GetObjectId(), values::Name(*object));
      if (!rename.column.empty()) originalNames.emplace(table->GetObjectId(), values::Name(*table));
      auto* name = new CMOProperty(model::Name);
      name->SetWStringValue(rename.to);
      object->SetProperty(name);
    }
  }
  Planner planner(before, after, *dialect, sqlite, maria, options, originalNames, std::move(statements));
  return planner.Run();
}

}  // namespace compare

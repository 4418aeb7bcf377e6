#include <lint/Linter.h>

#include "LintModel.h"
#include "TypeNames.h"

#include <writers/ObjectTypeWords.h>
#include <writers/SqlStatements.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <unordered_map>

namespace lint {

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

std::u16string Number(long long value) { return Utf8ToUtf16(std::to_string(value)); }

// One run of the rules over a model.
class Run {
 public:
  Run(const LintInput& input, const Config& config)
      : m_input(input),
        m_config(config),
        m_sql(*input.model, input.dialect),
        m_model(*input.model, [this](const CMOObject& object) { return m_sql.MadeByDatabase(object); }) {}

  const LintModel& Model() const { return m_model; }
  const writers::SqlStatements& Sql() const { return m_sql; }
  std::string_view Dialect() const { return m_sql.Dialect(); }
  bool DialectIs(std::string_view name) const { return m_sql.Dialect() == name; }
  const LintInput& Input() const { return m_input; }
  long long Threshold(const Rule& rule, std::string_view key) const { return m_config.Threshold(rule, key); }
  std::vector<Finding>& Findings() { return m_findings; }

  // A name as statements write it.
  std::u16string N(std::u16string_view name) const { return m_sql.Name(name); }
  std::u16string N(const CMOObject& object) const { return m_sql.Name(NameOf(object)); }
  // "(a, b)" for the columns.
  std::u16string Columns(const std::vector<int>& ids) const {
    std::u16string text = u"(";
    for (std::size_t i = 0; i < ids.size(); ++i) {
      const CMOObject* column = m_model.Object(ids[i]);
      text += (i > 0 ? u", " : u"") + (column != nullptr ? N(*column) : u"?");
    }
    return text + u')';
  }
  // "table orders", "view v", "index ix"...
  std::u16string Kind(const CMOObject& object) const {
    return Utf8ToUtf16(writers::ObjectTypeWords(object.GetObjectType(), false)) + u' ' + N(object);
  }
  // The full name of the object as SQL writes it: each name quoted as needed.
  std::u16string FullName(const CMOObject& object) const {
    std::u16string name;
    for (const std::u16string& part : m_model.PathOf(object)) name += (name.empty() ? u"" : u".") + N(part);
    return name;
  }

  void Report(const Rule& rule, const CMOObject& object, const std::u16string& message, const std::u16string& fix = {}) {
    const std::vector<std::u16string> path = m_model.PathOf(object);
    Finding finding;
    finding.rule = &rule;
    finding.objectId = object.GetObjectId();
    finding.kind = writers::ObjectTypeWords(object.GetObjectType(), false);
    std::vector<std::string> names;
    std::string joined;
    for (const std::u16string& part : path) {
      finding.path.push_back(Utf16ToUtf8(part));
      joined += (joined.empty() ? "" : ".") + finding.path.back();
      names.push_back(joined);
    }
    if (m_config.Excluded(rule, names)) return;
    finding.name = Utf16ToUtf8(FullName(object));
    for (const CMOObject* step = &object; step != nullptr; step = m_model.Object(step->GetParentId())) {
      if (step->GetObjectType() == model::Table || step->GetObjectType() == model::View) {
        finding.table = Utf16ToUtf8(FullName(*step));
        break;
      }
    }
    finding.severity = m_config.For(rule).severity;
    finding.message = Utf16ToUtf8(message);
    finding.fix = Utf16ToUtf8(fix);
    m_findings.push_back(std::move(finding));
  }

  // A finding about a statement of the import rather than an object.
  void ReportFailedRead(const Rule& rule, const FailedRead& failed) {
    if (m_config.Excluded(rule, {failed.name})) return;
    Finding finding;
    finding.rule = &rule;
    finding.kind = "statement";
    finding.path = {failed.name};
    finding.name = failed.name;
    finding.severity = m_config.For(rule).severity;
    finding.message = "the import could not read " + failed.name + ": " + failed.reason;
    m_findings.push_back(std::move(finding));
  }

 private:
  const LintInput& m_input;
  const Config& m_config;
  writers::SqlStatements m_sql;
  LintModel m_model;
  std::vector<Finding> m_findings;
};

// Tables that are tables of their own: not a partition (its parent is
// checked) and not a virtual table (whose module decides its storage).
bool Ordinary(const TableFacts& facts) { return !facts.partition && !facts.virtualTable; }

// ---- Keys and indexes.

void TableWithoutPrimaryKey(Run& run, const Rule& rule) {
  for (const TableFacts& facts : run.Model().Tables()) {
    if (!Ordinary(facts)) continue;
    if (std::any_of(facts.accesses.begin(), facts.accesses.end(), [](const Access& a) { return a.primary; })) continue;
    // A unique key over columns that are all NOT NULL can become the key.
    std::u16string fix;
    for (const Access& access : facts.accesses) {
      if (!access.unique || access.columns.empty() || !access.expressions.empty() || !access.predicate.empty()) continue;
      const bool notNull = std::all_of(access.columns.begin(), access.columns.end(), [&](int id) {
        const CMOObject* column = run.Model().Object(id);
        return column != nullptr && Integer(*column, model::Nullable) == 0;
      });
      if (!notNull) continue;
      fix = run.Sql().AddPrimaryKey(*facts.table, access.columns);
      break;
    }
    run.Report(rule, *facts.table, run.Kind(*facts.table) + u" has no primary key", fix);
  }
}

// Whether the access's leading columns are exactly the set, as the engine
// can use them to find the rows that hold given values.
bool Leads(const Access& access, const std::vector<int>& set) {
  if (set.empty() || access.columns.size() < set.size() || !access.expressions.empty() || !access.predicate.empty())
    return false;
  if (access.method == u"hash") {
    if (access.columns.size() != set.size() || set.size() != 1) return false;
  } else if (access.method != u"btree") {
    return false;
  }
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (access.PrefixLength(i) != 0) return false;
    if (std::find(set.begin(), set.end(), access.columns[i]) == set.end()) return false;
  }
  return true;
}

std::u16string IndexName(const CMOObject& table, const std::vector<int>& columns, const LintModel& model) {
  std::string name = Utf16ToUtf8(NameOf(table));
  for (int id : columns)
    if (const CMOObject* column = model.Object(id)) name += "_" + Utf16ToUtf8(NameOf(*column));
  // Room for "_idx" within the 63 bytes PostgreSQL keeps (MariaDB: 64),
  // cut at a character's start.
  std::size_t length = std::min<std::size_t>(name.size(), 59);
  while (length > 0 && length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
  return Utf8ToUtf16(name.substr(0, length) + "_idx");
}

void ForeignKeyWithoutIndex(Run& run, const Rule& rule) {
  for (const TableFacts& facts : run.Model().Tables()) {
    if (facts.virtualTable) continue;
    for (const CMOObject* foreignKey : facts.foreignKeys) {
      std::vector<int> columns = Ids(*foreignKey, model::ForeignKeyColumns);
      if (columns.empty()) continue;
      if (std::any_of(facts.accesses.begin(), facts.accesses.end(), [&](const Access& a) { return Leads(a, columns); }))
        continue;
      run.Report(rule, *foreignKey,
                 run.Kind(*foreignKey) + u' ' + run.Columns(columns) + u" has no index that its columns lead",
                 run.Sql().CreateIndex(*facts.table, IndexName(*facts.table, columns, run.Model()), columns));
    }
  }
}

// Whether the two compare equal as indexes: the same columns in the same
// order, uniqueness, method, expressions, condition, directions, prefix
// lengths and included columns.
bool SameIndex(const Access& a, const Access& b) {
  return a.columns == b.columns && a.unique == b.unique && a.method == b.method && a.expressions == b.expressions &&
         a.predicate == b.predicate && a.descending == b.descending && a.included == b.included &&
         [&] {
           for (std::size_t i = 0; i < a.columns.size(); ++i)
             if (a.PrefixLength(i) != b.PrefixLength(i)) return false;
           return true;
         }();
}

std::u16string Describe(Run& run, const Access& access) {
  return run.Kind(*access.object) + u' ' + run.Columns(access.columns);
}

// The duplicates of each table: for each key or index, an earlier one it
// equals (keys come first: a constraint is kept over a plain index, a
// primary key over a unique one).
std::vector<const Access*> DuplicatesOf(const TableFacts& facts) {
  std::vector<const Access*> original(facts.accesses.size(), nullptr);
  for (std::size_t j = 0; j < facts.accesses.size(); ++j) {
    const Access& later = facts.accesses[j];
    for (std::size_t i = 0; i < facts.accesses.size() && original[j] == nullptr; ++i) {
      const Access& other = facts.accesses[i];
      if (i == j || original[i] != nullptr || !SameIndex(other, later)) continue;
      // Keep the primary key, then whichever comes first.
      if (later.primary || (!other.primary && i > j)) continue;
      original[j] = &other;
    }
  }
  return original;
}

void DuplicateIndex(Run& run, const Rule& rule) {
  for (const TableFacts& facts : run.Model().Tables()) {
    const std::vector<const Access*> original = DuplicatesOf(facts);
    for (std::size_t j = 0; j < facts.accesses.size(); ++j)
      if (original[j] != nullptr)
        run.Report(rule, *facts.accesses[j].object,
                   Describe(run, facts.accesses[j]) + u" duplicates " + Describe(run, *original[j]),
                   run.Sql().DropIndex(*facts.accesses[j].object));
  }
}

void RedundantIndex(Run& run, const Rule& rule) {
  for (const TableFacts& facts : run.Model().Tables()) {
    const std::vector<const Access*> original = DuplicatesOf(facts);
    for (std::size_t j = 0; j < facts.accesses.size(); ++j) {
      const Access& shorter = facts.accesses[j];
      if (original[j] != nullptr || shorter.unique || shorter.columns.empty() || shorter.method != u"btree" ||
          !shorter.expressions.empty() || !shorter.predicate.empty() || !shorter.included.empty())
        continue;
      for (const Access& longer : facts.accesses) {
        if (&longer == &shorter || longer.method != u"btree" || !longer.predicate.empty() ||
            longer.columns.size() <= shorter.columns.size() ||
            !std::equal(shorter.columns.begin(), shorter.columns.end(), longer.columns.begin()))
          continue;
        bool alike = true;
        for (std::size_t i = 0; i < shorter.columns.size() && alike; ++i) {
          const int column = shorter.columns[i];
          const bool down = std::count(shorter.descending.begin(), shorter.descending.end(), column) > 0;
          alike = down == (std::count(longer.descending.begin(), longer.descending.end(), column) > 0) &&
                  (longer.PrefixLength(i) == 0 || longer.PrefixLength(i) == shorter.PrefixLength(i));
        }
        if (!alike) continue;
        run.Report(rule, *shorter.object,
                   Describe(run, shorter) + u" leads " + Describe(run, longer) + u", which serves its lookups",
                   run.Sql().DropIndex(*shorter.object));
        break;
      }
    }
  }
}

void UniqueKeyNullable(Run& run, const Rule& rule) {
  if (!run.DialectIs("sqlite") && !run.DialectIs("postgresql") && !run.DialectIs("mariadb")) return;
  for (const TableFacts& facts : run.Model().Tables()) {
    for (const Access& access : facts.accesses) {
      if (!access.unique || access.primary) continue;
      // PostgreSQL 15's NULLS NOT DISTINCT lets no NULL repeat.
      const std::u16string& definition = Text(*access.object, model::Definition);
      if (ContainsWord(definition, u"NULLS NOT DISTINCT")) continue;
      std::u16string names;
      std::u16string fix;
      for (int id : access.columns) {
        const CMOObject* column = run.Model().Object(id);
        if (column == nullptr || !IsNullable(*column)) continue;
        names += (names.empty() ? u"" : u", ") + run.N(*column);
        const std::u16string statement = run.Sql().SetNotNull(*column);
        if (!statement.empty()) fix += (fix.empty() ? u"" : u"\n") + statement;
      }
      if (names.empty()) continue;
      run.Report(rule, *access.object,
                 Describe(run, access) + u" lets rows repeat with NULL in " + names + u", which may be NULL", fix);
    }
  }
}

// ---- Foreign keys.

void ForeignKeyTypeMismatch(Run& run, const Rule& rule) {
  for (const TableFacts& facts : run.Model().Tables()) {
    for (const CMOObject* foreignKey : facts.foreignKeys) {
      const std::vector<int>& columns = Ids(*foreignKey, model::ForeignKeyColumns);
      const std::vector<int> referenced = run.Model().ReferencedColumns(*foreignKey);
      if (columns.size() != referenced.size()) continue;
      std::u16string pairs;
      std::u16string fix;
      for (std::size_t i = 0; i < columns.size(); ++i) {
        const CMOObject* column = run.Model().Object(columns[i]);
        const CMOObject* target = run.Model().Object(referenced[i]);
        if (column == nullptr || target == nullptr) continue;
        const std::u16string& type = Text(*column, model::DataType);
        const std::u16string& targetType = Text(*target, model::DataType);
        if (type.empty() || targetType.empty() || TypeKey(run.Dialect(), type) == TypeKey(run.Dialect(), targetType))
          continue;
        pairs += (pairs.empty() ? u"" : u"; ") + run.N(*column) + u" is " + type + u", " +
                 run.FullName(*target) + u" is " + targetType;
        const std::u16string statement = run.Sql().SetColumnType(*column, targetType);
        if (!statement.empty()) fix += (fix.empty() ? u"" : u"\n") + statement;
      }
      if (pairs.empty()) continue;
      if (run.DialectIs("sqlite")) pairs += u" (their affinities differ)";
      run.Report(rule, *foreignKey, run.Kind(*foreignKey) + u": " + pairs, fix);
    }
  }
}

// Whether the columns are, as a set, those of a primary key, unique key or
// unique index (without condition or expressions) of the table.
bool UniquelyReferenced(const TableFacts& facts, std::vector<int> columns) {
  std::sort(columns.begin(), columns.end());
  for (const Access& access : facts.accesses) {
    if (!access.unique || !access.predicate.empty() || !access.expressions.empty()) continue;
    std::vector<int> own = access.columns;
    std::sort(own.begin(), own.end());
    if (own == columns) return true;
  }
  return false;
}

void ForeignKeyTargets(Run& run, const Rule& rule, bool sqlite) {
  for (const TableFacts& facts : run.Model().Tables()) {
    for (const CMOObject* foreignKey : facts.foreignKeys) {
      const CMOObject* target = run.Model().ReferencedTable(*foreignKey);
      if (target == nullptr) {
        if (sqlite)
          run.Report(rule, *foreignKey,
                     run.Kind(*foreignKey) + u" references a table that does not exist: " +
                         Text(*foreignKey, model::Definition));
        continue;
      }
      const TableFacts* targetFacts = run.Model().FactsOf(target->GetObjectId());
      const std::vector<int> referenced = run.Model().ReferencedColumns(*foreignKey);
      if (targetFacts == nullptr) continue;
      const std::size_t count = Ids(*foreignKey, model::ForeignKeyColumns).size();
      if (referenced.empty()) {
        if (sqlite)
          run.Report(rule, *foreignKey,
                     run.Kind(*foreignKey) + u" references the primary key of " + run.FullName(*target) +
                         u", which has none");
        continue;
      }
      if (sqlite && referenced.size() != count) {
        run.Report(rule, *foreignKey,
                   run.Kind(*foreignKey) + u" has " + Number(static_cast<long long>(count)) + u" columns but references " +
                       Number(static_cast<long long>(referenced.size())));
        continue;
      }
      if (UniquelyReferenced(*targetFacts, referenced)) continue;
      run.Report(rule, *foreignKey,
                 run.Kind(*foreignKey) + u" references " + run.FullName(*target) + u' ' + run.Columns(referenced) +
                     u", which are no primary key or unique key");
    }
  }
}

void SqliteForeignKeyMismatch(Run& run, const Rule& rule) {
  if (run.DialectIs("sqlite")) ForeignKeyTargets(run, rule, true);
}

void MariaDbForeignKeyNonUnique(Run& run, const Rule& rule) {
  if (run.DialectIs("mariadb")) ForeignKeyTargets(run, rule, false);
}

void ForeignKeyOutsideScope(Run& run, const Rule& rule) {
  if (run.DialectIs("sqlite")) return;  // there the table does not exist: sqlite-foreign-key-mismatch
  for (const TableFacts& facts : run.Model().Tables())
    for (const CMOObject* foreignKey : facts.foreignKeys)
      if (run.Model().ReferencedTable(*foreignKey) == nullptr)
        run.Report(rule, *foreignKey,
                   run.Kind(*foreignKey) + u" references a table outside the imported schemas: " +
                       Text(*foreignKey, model::Definition));
}

void MariaDbForeignKeyEngine(Run& run, const Rule& rule) {
  if (!run.DialectIs("mariadb")) return;
  for (const TableFacts& facts : run.Model().Tables()) {
    const std::u16string& engine = Text(*facts.table, model::Engine);
    for (const CMOObject* foreignKey : facts.foreignKeys) {
      const CMOObject* target = run.Model().ReferencedTable(*foreignKey);
      if (target == nullptr || engine.empty() || Text(*target, model::Engine).empty() ||
          SameWord(engine, Text(*target, model::Engine)))
        continue;
      run.Report(rule, *foreignKey,
                 run.Kind(*foreignKey) + u" of an " + engine + u" table references " + run.FullName(*target) +
                     u", an " + Text(*target, model::Engine) + u" table");
    }
  }
}

void MariaDbForeignKeyCollation(Run& run, const Rule& rule) {
  if (!run.DialectIs("mariadb")) return;
  for (const TableFacts& facts : run.Model().Tables()) {
    for (const CMOObject* foreignKey : facts.foreignKeys) {
      const std::vector<int>& columns = Ids(*foreignKey, model::ForeignKeyColumns);
      const std::vector<int> referenced = run.Model().ReferencedColumns(*foreignKey);
      std::u16string pairs;
      for (std::size_t i = 0; i < columns.size() && i < referenced.size(); ++i) {
        const CMOObject* column = run.Model().Object(columns[i]);
        const CMOObject* target = run.Model().Object(referenced[i]);
        if (column == nullptr || target == nullptr) continue;
        const std::u16string& collation = Text(*column, model::Collation);
        const std::u16string& targetCollation = Text(*target, model::Collation);
        if (collation.empty() || targetCollation.empty() || SameWord(collation, targetCollation)) continue;
        pairs += (pairs.empty() ? u"" : u"; ") + run.N(*column) + u" is " + collation + u", " + run.FullName(*target) +
                 u" is " + targetCollation;
      }
      if (!pairs.empty()) run.Report(rule, *foreignKey, run.Kind(*foreignKey) + u": " + pairs);
    }
  }
}

// Tarjan's strongly connected components, without recursion, over the
// tables with an edge for each foreign key that is not deferrable (a
// table's references to itself aside).
void ForeignKeyCycle(Run& run, const Rule& rule) {
  const std::vector<TableFacts>& tables = run.Model().Tables();
  const std::size_t count = tables.size();
  std::vector<std::vector<std::pair<std::size_t, const CMOObject*>>> edges(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (const CMOObject* foreignKey : tables[i].foreignKeys) {
      if (Integer(*foreignKey, model::Deferrable).value_or(0) != 0) continue;
      const CMOObject* target = run.Model().ReferencedTable(*foreignKey);
      const TableFacts* facts = target != nullptr ? run.Model().FactsOf(target->GetObjectId()) : nullptr;
      if (facts == nullptr || facts == &tables[i]) continue;
      edges[i].emplace_back(static_cast<std::size_t>(facts - tables.data()), foreignKey);
    }
  }
  constexpr std::size_t kUnseen = static_cast<std::size_t>(-1);
  std::vector<std::size_t> order(count, kUnseen);
  std::vector<std::size_t> low(count, 0);
  std::vector<char> onStack(count, 0);
  std::vector<std::size_t> stack;
  std::vector<std::pair<std::size_t, std::size_t>> calls;  // table, next edge
  std::size_t next = 0;
  for (std::size_t start = 0; start < count; ++start) {
    if (order[start] != kUnseen) continue;
    calls.emplace_back(start, 0);
    order[start] = low[start] = next++;
    stack.push_back(start);
    onStack[start] = 1;
    while (!calls.empty()) {
      auto& [table, edge] = calls.back();
      if (edge < edges[table].size()) {
        const std::size_t to = edges[table][edge++].first;
        if (order[to] == kUnseen) {
          order[to] = low[to] = next++;
          stack.push_back(to);
          onStack[to] = 1;
          calls.emplace_back(to, 0);
        } else if (onStack[to]) {
          low[table] = std::min(low[table], order[to]);
        }
        continue;
      }
      const std::size_t done = table;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
      if (low[done] != order[done]) continue;
      std::vector<std::size_t> component;
      for (;;) {
        const std::size_t member = stack.back();
        stack.pop_back();
        onStack[member] = 0;
        component.push_back(member);
        if (member == done) break;
      }
      if (component.size() < 2) continue;
      std::sort(component.begin(), component.end());
      // Reported on the first foreign key of the first table that stays
      // inside the circle; the message names the tables.
      const CMOObject* reported = nullptr;
      bool nullable = false;
      for (std::size_t member : component) {
        for (const auto& [to, foreignKey] : edges[member]) {
          if (!std::binary_search(component.begin(), component.end(), to)) continue;
          if (reported == nullptr) reported = foreignKey;
          for (int id : Ids(*foreignKey, model::ForeignKeyColumns))
            if (const CMOObject* column = run.Model().Object(id); column != nullptr && IsNullable(*column)) nullable = true;
        }
      }
      std::u16string names;
      for (std::size_t k = 0; k < component.size(); ++k) {
        if (k == 8) {
          names += u" and " + Number(static_cast<long long>(component.size() - k)) + u" more";
          break;
        }
        names += (k > 0 ? u", " : u"") + run.FullName(*tables[component[k]].table);
      }
      run.Report(rule, *reported,
                 u"tables " + names + u" reference each other in a circle of foreign keys that are not deferrable" +
                     (nullable ? u"; rows go in only with a NULL first" : u"; no column of them may be NULL, so no row can go in first"),
                 run.Sql().MakeDeferrable(*reported));
    }
  }
}

// ---- Columns and names.

void InconsistentColumnType(Run& run, const Rule& rule) {
  struct TypeCount {
    std::u16string key;
    std::u16string shown;  // the type as the first column of this kind has it
    std::size_t count;
  };
  const bool foldNames = run.DialectIs("sqlite") || run.DialectIs("mariadb");
  std::unordered_map<std::u16string, std::vector<TypeCount>> byName;
  // Within a schema: two schemas (two MariaDB databases) are often two
  // applications.
  auto nameKey = [&](const TableFacts& facts, const CMOObject& column) {
    const std::u16string schema = facts.schema != nullptr ? Number(facts.schema->GetObjectId()) : u"";
    return schema + u'\0' + (foldNames ? LowerAscii(NameOf(column)) : NameOf(column));
  };
  for (const TableFacts& facts : run.Model().Tables()) {
    if (!Ordinary(facts)) continue;
    for (const CMOObject* column : facts.columns) {
      const std::u16string& type = Text(*column, model::DataType);
      if (type.empty()) continue;
      std::vector<TypeCount>& counts = byName[nameKey(facts, *column)];
      const std::u16string key = TypeKey(run.Dialect(), type);
      auto found = std::find_if(counts.begin(), counts.end(), [&](const TypeCount& c) { return c.key == key; });
      if (found == counts.end())
        counts.push_back({key, type, 1});
      else
        ++found->count;
    }
  }
  for (const TableFacts& facts : run.Model().Tables()) {
    if (!Ordinary(facts)) continue;
    for (const CMOObject* column : facts.columns) {
      const std::u16string& type = Text(*column, model::DataType);
      if (type.empty()) continue;
      const std::vector<TypeCount>& counts = byName[nameKey(facts, *column)];
      if (counts.size() < 2) continue;
      // The type most of the columns of this name have (the first seen of
      // those as many) is taken as meant; the others are reported.
      const TypeCount* most = &counts.front();
      for (const TypeCount& c : counts)
        if (c.count > most->count) most = &c;
      if (TypeKey(run.Dialect(), type) == most->key) continue;
      run.Report(rule, *column,
                 u"column " + run.FullName(*column) + u" is " + type + u", where " + Number(static_cast<long long>(most->count)) +
                     (most->count == 1 ? u" other table has it as " : u" other tables have it as ") + most->shown);
    }
  }
}

void SqliteNullablePrimaryKey(Run& run, const Rule& rule) {
  if (!run.DialectIs("sqlite")) return;
  for (const TableFacts& facts : run.Model().Tables()) {
    if (facts.virtualTable || Integer(*facts.table, model::WithoutRowid).value_or(0) != 0) continue;
    for (const Access& access : facts.accesses) {
      if (!access.primary) continue;
      for (int id : access.columns)
        if (const CMOObject* column = run.Model().Object(id); column != nullptr && IsNullable(*column))
          run.Report(rule, *column,
                     u"column " + run.N(*column) + u" of primary key " + run.Columns(access.columns) + u" of " +
                         run.Kind(*facts.table) + u" may hold NULL");
    }
  }
}

void TableWithoutSecondaryIndex(Run& run, const Rule& rule) {
  const long long least = run.Threshold(rule, "min-columns");
  for (const TableFacts& facts : run.Model().Tables()) {
    if (!Ordinary(facts) || static_cast<long long>(facts.columns.size()) < least) continue;
    if (std::any_of(facts.accesses.begin(), facts.accesses.end(), [](const Access& a) { return !a.primary; })) continue;
    run.Report(rule, *facts.table,
               run.Kind(*facts.table) + u" has " + Number(static_cast<long long>(facts.columns.size())) +
                   u" columns and no index beside its primary key");
  }
}

void TooManyColumns(Run& run, const Rule& rule) {
  const long long most = run.Threshold(rule, "max-columns");
  for (const TableFacts& facts : run.Model().Tables())
    if (!facts.partition && static_cast<long long>(facts.columns.size()) > most)
      run.Report(rule, *facts.table,
                 run.Kind(*facts.table) + u" has " + Number(static_cast<long long>(facts.columns.size())) +
                     u" columns, more than " + Number(most));
}

bool HasComment(const CMOObject& object) { return !Text(object, model::Comment).empty(); }

void TableWithoutComment(Run& run, const Rule& rule) {
  if (run.DialectIs("sqlite")) return;  // SQLite keeps no comments
  for (const TableFacts& facts : run.Model().Tables())
    if (!facts.partition && !HasComment(*facts.table))
      run.Report(rule, *facts.table, run.Kind(*facts.table) + u" has no comment");
  for (const CMOObject* view : run.Model().Views())
    if (!HasComment(*view)) run.Report(rule, *view, run.Kind(*view) + u" has no comment");
}

void ColumnWithoutComment(Run& run, const Rule& rule) {
  if (run.DialectIs("sqlite")) return;
  for (const TableFacts& facts : run.Model().Tables())
    if (!facts.partition)
      for (const CMOObject* column : facts.columns)
        if (!HasComment(*column)) run.Report(rule, *column, u"column " + run.FullName(*column) + u" has no comment");
}

// Why the name must be quoted; empty when it need not be.
std::u16string QuotingReason(const Run& run, std::u16string_view name) {
  bool ascii = true;
  bool upper = false;
  bool odd = name.empty() || (name[0] >= u'0' && name[0] <= u'9');
  for (char16_t c : name) {
    if (c >= 0x80) {
      ascii = false;
      // Letters of other scripts are names; spaces and controls are not.
      if (c == 0x00A0 || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) || c == 0x3000 || c == 0xFEFF)
        odd = true;
    } else if (c >= u'A' && c <= u'Z') {
      upper = true;
    } else if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$')) {
      odd = true;
    }
  }
  if (odd) return u"holds characters a bare name cannot (blanks, punctuation) or starts with a digit";
  if (upper && run.DialectIs("postgresql")) return u"has upper-case letters, which PostgreSQL folds to lower case unless quoted";
  if (ascii && name.find(u'$') == std::u16string_view::npos && run.Sql().NeedsQuotes(name))
    return u"is a reserved word";
  return {};
}

void NameNeedsQuoting(Run& run, const Rule& rule) {
  const bool sqlite = run.DialectIs("sqlite");
  auto check = [&](const CMOObject& object) {
    const std::u16string reason = QuotingReason(run, NameOf(object));
    if (!reason.empty()) run.Report(rule, object, run.Kind(object) + u' ' + reason);
  };
  for (const CMOObject* object : run.Model().OtherNamed())
    if (!(sqlite && object->GetObjectType() == model::CheckConstraint && NameOf(*object).empty())) check(*object);
  for (const TableFacts& facts : run.Model().Tables()) {
    check(*facts.table);
    for (const CMOObject* column : facts.columns) check(*column);
    for (const Access& access : facts.accesses) {
      // SQLite names no key (the import makes the names up); MariaDB names
      // every primary key PRIMARY.
      if (access.object->GetObjectType() == model::Key && (sqlite || access.primary)) continue;
      check(*access.object);
    }
    if (!sqlite)
      for (const CMOObject* foreignKey : facts.foreignKeys) check(*foreignKey);
  }
  for (const CMOObject* view : run.Model().Views()) check(*view);
  for (const CMOObject* routine : run.Model().Routines()) check(*routine);
}

void ObjectNotImported(Run& run, const Rule& rule) {
  // The dedicated plug-ins read every view's definition and columns and
  // every routine's body; a source read through ODBC alone has no
  // definitions to miss.
  if (run.DialectIs("sqlite") || run.DialectIs("postgresql") || run.DialectIs("mariadb")) {
    for (const CMOObject* view : run.Model().Views()) {
      if (Text(*view, model::Definition).empty())
        run.Report(rule, *view, run.Kind(*view) + u" was imported without its definition");
      else if (!run.DialectIs("postgresql") && run.Model().ViewColumnCount(*view) == 0)
        run.Report(rule, *view, run.Kind(*view) + u" was imported without columns: the database could not compile it");
    }
    for (const CMOObject* routine : run.Model().Routines())
      if (Text(*routine, model::Definition).empty() && Text(*routine, model::SqlText).empty())
        run.Report(rule, *routine, run.Kind(*routine) + u" was imported without its definition");
  }
  for (const FailedRead& failed : run.Input().failed) run.ReportFailedRead(rule, failed);
}

struct Check {
  std::string_view id;
  void (*run)(Run&, const Rule&);
};

constexpr Check kChecks[] = {
    {"table-without-primary-key", TableWithoutPrimaryKey},
    {"foreign-key-without-index", ForeignKeyWithoutIndex},
    {"duplicate-index", DuplicateIndex},
    {"redundant-index", RedundantIndex},
    {"unique-key-nullable", UniqueKeyNullable},
    {"foreign-key-type-mismatch", ForeignKeyTypeMismatch},
    {"inconsistent-column-type", InconsistentColumnType},
    {"sqlite-nullable-primary-key", SqliteNullablePrimaryKey},
    {"table-without-secondary-index", TableWithoutSecondaryIndex},
    {"table-without-comment", TableWithoutComment},
    {"column-without-comment", ColumnWithoutComment},
    {"name-needs-quoting", NameNeedsQuoting},
    {"foreign-key-cycle", ForeignKeyCycle},
    {"object-not-imported", ObjectNotImported},
    {"too-many-columns", TooManyColumns},
    {"foreign-key-outside-scope", ForeignKeyOutsideScope},
    {"sqlite-foreign-key-mismatch", SqliteForeignKeyMismatch},
    {"mariadb-foreign-key-non-unique", MariaDbForeignKeyNonUnique},
    {"mariadb-foreign-key-engine", MariaDbForeignKeyEngine},
    {"mariadb-foreign-key-collation", MariaDbForeignKeyCollation},
};

}  // namespace

std::vector<Finding> Lint(const LintInput& input, const Config& config) {
  Run run(input, config);
  for (const Rule& rule : Rules()) {
    if (!config.For(rule).enabled) continue;
    const auto check = std::find_if(std::begin(kChecks), std::end(kChecks), [&](const Check& c) { return c.id == rule.id; });
    if (check == std::end(kChecks)) throw std::logic_error("the rule " + std::string(rule.id) + " has no check");
    check->run(run, rule);
  }
  return std::move(run.Findings());
}

}  // namespace lint

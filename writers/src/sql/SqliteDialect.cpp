#include "SqliteDialect.h"

#include "ModelValues.h"

#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace writers::sql {

namespace {

using namespace values;

// SQLite's keywords (sqlite3_keyword_name), upper case, sorted. SQLite
// takes many of them as names where it can, but not everywhere: a name
// that is one is always quoted.
const std::vector<std::u16string_view> kKeywords = {
    u"ABORT", u"ACTION", u"ADD", u"AFTER", u"ALL", u"ALTER", u"ALWAYS", u"ANALYZE", u"AND", u"AS", u"ASC", u"ATTACH",
    u"AUTOINCREMENT", u"BEFORE", u"BEGIN", u"BETWEEN", u"BY", u"CASCADE", u"CASE", u"CAST", u"CHECK", u"COLLATE",
    u"COLUMN", u"COMMIT", u"CONFLICT", u"CONSTRAINT", u"CREATE", u"CROSS", u"CURRENT", u"CURRENT_DATE",
    u"CURRENT_TIME", u"CURRENT_TIMESTAMP", u"DATABASE", u"DEFAULT", u"DEFERRABLE", u"DEFERRED", u"DELETE", u"DESC",
    u"DETACH", u"DISTINCT", u"DO", u"DROP", u"EACH", u"ELSE", u"END", u"ESCAPE", u"EXCEPT", u"EXCLUDE", u"EXCLUSIVE",
    u"EXISTS", u"EXPLAIN", u"FAIL", u"FILTER", u"FIRST", u"FOLLOWING", u"FOR", u"FOREIGN", u"FROM", u"FULL",
    u"GENERATED", u"GLOB", u"GROUP", u"GROUPS", u"HAVING", u"IF", u"IGNORE", u"IMMEDIATE", u"IN", u"INDEX", u"INDEXED",
    u"INITIALLY", u"INNER", u"INSERT", u"INSTEAD", u"INTERSECT", u"INTO", u"IS", u"ISNULL", u"JOIN", u"KEY", u"LAST",
    u"LEFT", u"LIKE", u"LIMIT", u"MATCH", u"MATERIALIZED", u"NATURAL", u"NO", u"NOT", u"NOTHING", u"NOTNULL", u"NULL",
    u"NULLS", u"OF", u"OFFSET", u"ON", u"OR", u"ORDER", u"OTHERS", u"OUTER", u"OVER", u"PARTITION", u"PLAN",
    u"PRAGMA", u"PRECEDING", u"PRIMARY", u"QUERY", u"RAISE", u"RANGE", u"RECURSIVE", u"REFERENCES", u"REGEXP",
    u"REINDEX", u"RELEASE", u"RENAME", u"REPLACE", u"RESTRICT", u"RETURNING", u"RIGHT", u"ROLLBACK", u"ROW", u"ROWS",
    u"SAVEPOINT", u"SELECT", u"SET", u"TABLE", u"TEMP", u"TEMPORARY", u"THEN", u"TIES", u"TO", u"TRANSACTION",
    u"TRIGGER", u"UNBOUNDED", u"UNION", u"UNIQUE", u"UPDATE", u"USING", u"VACUUM", u"VALUES", u"VIEW", u"VIRTUAL",
    u"WHEN", u"WHERE", u"WINDOW", u"WITH", u"WITHOUT",
};

// The tables a virtual table's module makes beside it, by the suffix after
// the virtual table's name and "_".
const std::map<std::u16string, std::vector<std::u16string_view>> kShadowTables = {
    {u"fts3", {u"content", u"segments", u"segdir", u"docsize", u"stat"}},
    {u"fts4", {u"content", u"segments", u"segdir", u"docsize", u"stat"}},
    {u"fts5", {u"data", u"idx", u"content", u"docsize", u"config"}},
    {u"rtree", {u"node", u"parent", u"rowid"}},
    {u"rtree_i32", {u"node", u"parent", u"rowid"}},
    {u"geopoly", {u"node", u"parent", u"rowid"}},
};

std::u16string Folded(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return folded;
}

// The module a CREATE VIRTUAL TABLE text names after USING, folded; empty
// when the text names none.
std::u16string ModuleOf(const std::u16string& text, const TokenRules& rules) {
  bool afterUsing = false;
  for (const Token& token : Tokenize(text, rules)) {
    if (token.kind == TokenKind::Space || token.kind == TokenKind::Comment) continue;
    if (afterUsing) return token.kind == TokenKind::Word || token.kind == TokenKind::QuotedName ? Folded(NameOf(text, token)) : u"";
    afterUsing = token.kind == TokenKind::Word && SameWord(NameOf(text, token), u"USING");
  }
  return {};
}

// The number n of a key SQLite named "sqlite_autoindex_<table>_<n>" (its
// place among the table's keys), or 0.
int AutoindexNumber(const CMOObject& key, const std::u16string& table) {
  const std::u16string prefix = u"sqlite_autoindex_" + table + u"_";
  const std::u16string& name = values::Name(key);
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  int number = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < u'0' || name[i] > u'9' || number > 100000) return 0;
    number = number * 10 + (name[i] - u'0');
  }
  return number;
}

}  // namespace

bool SqliteDialect::NeedsQuotes(std::u16string_view name) const {
  if (name.empty() || (name[0] >= u'0' && name[0] <= u'9') || name[0] == u'$' || NeedsEscapes(name)) return true;
  for (char16_t c : name)
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
          c == u'$' || c >= 0x80))
      return true;
  std::u16string upper(name);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return std::binary_search(kKeywords.begin(), kKeywords.end(), std::u16string_view(upper));
}

std::u16string SqliteDialect::MatchKey(std::u16string_view name, bool) const { return Folded(name); }

bool SqliteDialect::InMain(const SqlModel& model, const CMOObject& object) const {
  const CMOObject* schema = model.SchemaOf(object);
  return schema == nullptr || SameWord(values::Name(*schema), u"main");
}

std::u16string SqliteDialect::QualifiedName(const SqlModel& model, const CMOObject& object) const {
  if (InMain(model, object)) return Name(values::Name(object));
  return SqlDialect::QualifiedName(model, object);
}

std::u16string SqliteDialect::ForDatabase(const SqlModel& model, const CMOObject& object, const std::u16string& text) const {
  if (InMain(model, object)) return text;
  // SQLite keeps the text without the database's name: it goes before the
  // object's name, after CREATE [TEMP] [UNIQUE|VIRTUAL] TABLE|INDEX|VIEW|
  // TRIGGER [IF NOT EXISTS].
  static constexpr std::u16string_view kLeading[] = {u"CREATE", u"TEMP", u"TEMPORARY", u"UNIQUE", u"VIRTUAL", u"TABLE",
                                                     u"INDEX",  u"VIEW", u"TRIGGER",   u"IF",     u"NOT",     u"EXISTS"};
  for (const Token& token : Tokenize(text, Tokens())) {
    if (token.kind == TokenKind::Space || token.kind == TokenKind::Comment) continue;
    const std::u16string word = NameOf(text, token);
    if (token.kind == TokenKind::Word &&
        std::any_of(std::begin(kLeading), std::end(kLeading), [&](std::u16string_view w) { return SameWord(word, w); }))
      continue;
    std::u16string qualified = text;
    qualified.insert(token.begin, Name(values::Name(*model.SchemaOf(object))) + u'.');
    return qualified;
  }
  return text;
}

std::u16string SqliteDialect::Stored(const CMOObject& object, int propertyId, std::u16string_view kind,
                                            std::initializer_list<std::u16string_view> modifiers) const {
  const std::u16string& text = Text(object, propertyId);
  if (!Creates(text, kind, modifiers, Tokens()))
    throw RefusedText(object.GetObjectId(), propertyId, TextKind::Statement, u"it is no CREATE " + std::u16string(kind), text);
  return Proven(object, propertyId, TextKind::Statement);
}

void SqliteDialect::Prepare(SqlModel& model) const {
  // Virtual tables by database; the tables named after one and a suffix
  // of its module are its shadow tables.
  const GenericModel& whole = model.Model();
  std::set<std::u16string> shadows;  // folded database name, '\0', folded table name
  for (int id = 2; id <= whole.GetObjectCount(); ++id) {
    const CMOObject* table = whole.GetCMOObject(id);
    if (table == nullptr || table->GetObjectType() != model::Table || RelationKindOf(*table) != RelationKind::VirtualTable)
      continue;
    const auto module = kShadowTables.find(ModuleOf(Text(*table, model::SqlText), Tokens()));
    if (module == kShadowTables.end()) continue;
    const CMOObject* schema = model.SchemaOf(*table);
    const std::u16string prefix = (schema != nullptr ? Folded(values::Name(*schema)) : u"") + u'\0' +
                                  Folded(values::Name(*table)) + u'_';
    for (std::u16string_view suffix : module->second) shadows.insert(prefix + std::u16string(suffix));
  }
  if (shadows.empty()) return;
  for (int id = 2; id <= whole.GetObjectCount(); ++id) {
    const CMOObject* table = whole.GetCMOObject(id);
    if (table == nullptr || table->GetObjectType() != model::Table || RelationKindOf(*table) == RelationKind::VirtualTable)
      continue;
    const CMOObject* schema = model.SchemaOf(*table);
    if (shadows.count((schema != nullptr ? Folded(values::Name(*schema)) : u"") + u'\0' + Folded(values::Name(*table))) > 0)
      model.Omit(id);
  }
}

void SqliteDialect::WriteSchema(Script& script, const SqlModel&, const CMOObject& schema) const {
  // Every connection has main and temp; another database is attached.
  if (SameWord(values::Name(schema), u"main") || SameWord(values::Name(schema), u"temp")) return;
  // The name as the ATTACH statement writes it, shown visibly: a line
  // break in it cannot end the comment.
  const std::u16string name = platform::Utf8ToUtf16(VisibleText(Name(values::Name(schema))));
  script.Add(kSchemas, schema,
             u"-- The database " + name + u" is attached before this script runs: ATTACH DATABASE 'FILE' AS " + name +
                 u";\n");
}

void SqliteDialect::WriteType(Script& script, const SqlModel&, const CMOObject& type) const {
  NotWritten(script, kTypes, type, u"SQLite has no user-defined types");
}

void SqliteDialect::WriteSequence(Script& script, const SqlModel&, const CMOObject& sequence) const {
  NotWritten(script, kTypes, sequence, u"SQLite has no sequences");
}

void SqliteDialect::WriteRoutine(Script& script, const SqlModel&, const CMOObject& routine) const {
  NotWritten(script, kRoutines, routine, u"SQLite has no stored routines");
}

std::vector<const CMOObject*> SqliteDialect::KeysInOrder(const SqlModel& model, const CMOObject& table) const {
  // SQLite numbers the indexes it makes for keys in the order the keys
  // are declared; declared in that order, they get the same names again.
  // The primary key, named by the import, takes the first number no
  // unique constraint has.
  std::vector<const CMOObject*> keys = model.Children(table, model::Key);
  std::set<int> taken;
  for (const CMOObject* key : keys)
    if (int number = AutoindexNumber(*key, values::Name(table)); number > 0) taken.insert(number);
  int free = 1;
  while (taken.count(free) > 0) ++free;
  auto place = [&](const CMOObject* key) {
    const int number = AutoindexNumber(*key, values::Name(table));
    if (number > 0) return number;
    return KeyKindOf(*key) == KeyKind::PrimaryKey ? free : 1 << 30;
  };
  std::stable_sort(keys.begin(), keys.end(), [&](const CMOObject* a, const CMOObject* b) { return place(a) < place(b); });
  return keys;
}

std::u16string SqliteDialect::DefaultClause(std::u16string_view value) const {
  // SQLite reports a default as written, without the parentheses around
  // an expression: a single literal goes as it is, anything else in
  // parentheses, which SQLite drops again.
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(value, Tokens()))
    if (token.kind != TokenKind::Space && token.kind != TokenKind::Comment) tokens.push_back(token);
  auto literal = [&](const Token& token) {
    if (token.kind == TokenKind::String || token.kind == TokenKind::Number || token.kind == TokenKind::QuotedName) return true;
    const std::u16string word = NameOf(value, token);
    return token.kind == TokenKind::Word &&
           (SameWord(word, u"NULL") || SameWord(word, u"TRUE") || SameWord(word, u"FALSE") ||
            SameWord(word, u"CURRENT_TIME") || SameWord(word, u"CURRENT_DATE") || SameWord(word, u"CURRENT_TIMESTAMP"));
  };
  const bool single = (tokens.size() == 1 && literal(tokens[0])) ||
                      (tokens.size() == 2 && tokens[0].kind == TokenKind::Punctuation &&
                       (value[tokens[0].begin] == u'-' || value[tokens[0].begin] == u'+') &&
                       tokens[1].kind == TokenKind::Number);
  return single ? std::u16string(value) : u"(" + std::u16string(value) + u")";
}

std::u16string SqliteDialect::ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const {
  // The clause as SQLite understood it, when the model keeps it: it names
  // the parent's columns only where the table's text did.
  const CMOObject* target = ReferencedTable(model, foreignKey);
  if (target == nullptr || StartsWithWord(Text(foreignKey, model::Definition), u"FOREIGN", Tokens()))
    return Proven(foreignKey, model::Definition, TextKind::Clause);
  // The parent table is always in the child's database, named alone.
  std::u16string text = u"FOREIGN KEY " + NameList(model, Ids(foreignKey, model::ForeignKeyColumns)) + u" REFERENCES " +
                        Name(values::Name(*target));
  if (!ReferencedColumns(model, foreignKey).empty()) text += u' ' + NameList(model, ReferencedColumns(model, foreignKey));
  if (!ReferentialAction(foreignKey, model::OnDelete).empty())
    text += u" ON DELETE " + ReferentialAction(foreignKey, model::OnDelete);
  if (!ReferentialAction(foreignKey, model::OnUpdate).empty())
    text += u" ON UPDATE " + ReferentialAction(foreignKey, model::OnUpdate);
  if (!MatchClause(foreignKey).empty()) text += u" MATCH " + MatchClause(foreignKey);
  if (Flag(foreignKey, model::Deferrable))
    text += Flag(foreignKey, model::InitiallyDeferred) ? u" DEFERRABLE INITIALLY DEFERRED" : u" DEFERRABLE";
  return text;
}

void SqliteDialect::WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const {
  const std::u16string& stored = Text(table, model::SqlText);
  const bool isVirtual = RelationKindOf(table) == RelationKind::VirtualTable;
  std::optional<RefusedText> refused;  // the stored text, when the table is made from its properties instead
  if (StartsWithWord(stored, u"CREATE", Tokens())) {
    try {
      const std::u16string& proven =
          isVirtual ? Stored(table, model::SqlText, u"VIRTUAL", {}) : Stored(table, model::SqlText, u"TABLE");
      script.Add(kTables, table, Statement(ForDatabase(model, table, proven), Tokens()), true);
      return;
    } catch (const RefusedText& refusal) {
      // A virtual table is nothing but its text; any other is made from
      // its columns and constraints, as SQLite read them.
      if (isVirtual) throw;
      refused = refusal;
    }
  }
  if (isVirtual) {
    NotWritten(script, kTables, table, u"the model holds no CREATE VIRTUAL TABLE statement for it");
    return;
  }
  std::u16string text = CreateTable(model, table, true);
  if (Flag(table, model::Strict)) text += u" STRICT";
  if (Flag(table, model::WithoutRowid)) text += Flag(table, model::Strict) ? u", WITHOUT ROWID" : u" WITHOUT ROWID";
  if (refused) script.Refuse(kTables, table, *refused, u"the table is made from its columns and constraints instead");
  script.Add(kTables, table, Statement(text, Tokens()), true);
  for (const CMOObject* foreignKey : model.Children(table, model::ForeignKey))
    if (ForeignKeyClause(model, *foreignKey).empty())
      NotWritten(script, kTables, *foreignKey, u"the model holds neither its referenced table nor its clause");
}

// Inside CREATE TABLE: SQLite adds no constraint to a table afterwards.
void SqliteDialect::WriteKey(Script&, const SqlModel&, const CMOObject&) const {}
void SqliteDialect::WriteForeignKey(Script&, const SqlModel&, const CMOObject&) const {}

void SqliteDialect::WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const {
  const std::u16string& stored = Text(index, model::SqlText);
  std::optional<RefusedText> refused;  // the stored text, when the index is made from its properties instead
  if (StartsWithWord(stored, u"CREATE", Tokens())) {
    try {
      const std::u16string& proven = Stored(index, model::SqlText, u"INDEX", {u"UNIQUE"});
      script.Add(kIndexes, index, Statement(ForDatabase(model, index, proven), Tokens()));
      return;
    } catch (const RefusedText& refusal) {
      if (!InMain(model, index)) throw;
      refused = refusal;
    }
  }
  if (InMain(model, index)) {
    const std::u16string text = Statement(CreateIndex(model, index), Tokens());
    if (refused) script.Refuse(kIndexes, index, *refused, u"the index is made from its columns and expressions instead");
    script.Add(kIndexes, index, text);
  } else {
    NotWritten(script, kIndexes, index, u"the model holds no CREATE INDEX statement for it");
  }
}

void SqliteDialect::WriteView(Script& script, const SqlModel& model, const CMOObject& view) const {
  const std::u16string& stored = Text(view, model::Definition);
  if (!StartsWithWord(stored, u"CREATE", Tokens())) {
    SqlDialect::WriteView(script, model, view);
    return;
  }
  const std::u16string& proven = Stored(view, model::Definition, u"VIEW");
  script.Add(kViews, view, Statement(ForDatabase(model, view, proven), Tokens()), true);
}

void SqliteDialect::WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const {
  const std::u16string& stored = Text(trigger, model::Definition);
  if (!StartsWithWord(stored, u"CREATE", Tokens())) {
    NotWritten(script, kTriggers, trigger, u"the model holds no CREATE TRIGGER statement for it");
    return;
  }
  const std::u16string& proven = Stored(trigger, model::Definition, u"TRIGGER");
  script.Add(kTriggers, trigger, Statement(ForDatabase(model, trigger, proven), Tokens()));
}

}  // namespace writers::sql

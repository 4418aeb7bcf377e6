#include "SqlDialect.h"

#include "ModelValues.h"

#include <writers/ObjectTypeWords.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>

namespace writers::sql {

namespace {

using namespace values;

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// The reserved words of SQL:2016 (upper case, sorted): a name that is one
// is quoted in standard SQL.
const std::vector<std::u16string_view> kStandardReserved = {
    u"ABS", u"ALL", u"ALLOCATE", u"ALTER", u"AND", u"ANY", u"ARE", u"ARRAY", u"AS", u"ASENSITIVE", u"ASYMMETRIC", u"AT",
    u"ATOMIC", u"AUTHORIZATION", u"AVG", u"BEGIN", u"BETWEEN", u"BIGINT", u"BINARY", u"BLOB", u"BOOLEAN", u"BOTH",
    u"BY", u"CALL", u"CALLED", u"CASCADED", u"CASE", u"CAST", u"CEIL", u"CHAR", u"CHARACTER", u"CHECK", u"CLOB",
    u"CLOSE", u"COLLATE", u"COLUMN", u"COMMIT", u"CONDITION", u"CONNECT", u"CONSTRAINT", u"CONVERT", u"CORRESPONDING",
    u"COUNT", u"CREATE", u"CROSS", u"CUBE", u"CURRENT", u"CURRENT_DATE", u"CURRENT_ROLE", u"CURRENT_TIME",
    u"CURRENT_TIMESTAMP", u"CURRENT_USER", u"CURSOR", u"CYCLE", u"DATE", u"DAY", u"DEALLOCATE", u"DEC", u"DECIMAL",
    u"DECLARE", u"DEFAULT", u"DELETE", u"DEREF", u"DESCRIBE", u"DETERMINISTIC", u"DISCONNECT", u"DISTINCT", u"DOUBLE",
    u"DROP", u"DYNAMIC", u"EACH", u"ELEMENT", u"ELSE", u"END", u"ESCAPE", u"EXCEPT", u"EXEC", u"EXECUTE", u"EXISTS",
    u"EXTERNAL", u"EXTRACT", u"FALSE", u"FETCH", u"FILTER", u"FLOAT", u"FOR", u"FOREIGN", u"FREE", u"FROM", u"FULL",
    u"FUNCTION", u"GET", u"GLOBAL", u"GRANT", u"GROUP", u"GROUPING", u"HAVING", u"HOLD", u"HOUR", u"IDENTITY", u"IN",
    u"INDICATOR", u"INNER", u"INOUT", u"INSENSITIVE", u"INSERT", u"INT", u"INTEGER", u"INTERSECT", u"INTERVAL",
    u"INTO", u"IS", u"JOIN", u"LANGUAGE", u"LARGE", u"LATERAL", u"LEADING", u"LEFT", u"LIKE", u"LOCAL", u"LOCALTIME",
    u"LOCALTIMESTAMP", u"MATCH", u"MAX", u"MEMBER", u"MERGE", u"METHOD", u"MIN", u"MINUTE", u"MOD", u"MODIFIES",
    u"MODULE", u"MONTH", u"MULTISET", u"NATIONAL", u"NATURAL", u"NCHAR", u"NCLOB", u"NEW", u"NO", u"NONE", u"NOT",
    u"NULL", u"NUMERIC", u"OF", u"OLD", u"ON", u"ONLY", u"OPEN", u"OR", u"ORDER", u"OUT", u"OUTER", u"OVER",
    u"OVERLAPS", u"PARAMETER", u"PARTITION", u"POSITION", u"PRECISION", u"PREPARE", u"PRIMARY", u"PROCEDURE",
    u"RANGE", u"READS", u"REAL", u"RECURSIVE", u"REF", u"REFERENCES", u"REFERENCING", u"RELEASE", u"RESULT",
    u"RETURN", u"RETURNS", u"REVOKE", u"RIGHT", u"ROLLBACK", u"ROLLUP", u"ROW", u"ROWS", u"SAVEPOINT", u"SCOPE",
    u"SCROLL", u"SEARCH", u"SECOND", u"SELECT", u"SENSITIVE", u"SESSION_USER", u"SET", u"SIMILAR", u"SMALLINT",
    u"SOME", u"SPECIFIC", u"SQL", u"SQLEXCEPTION", u"SQLSTATE", u"SQLWARNING", u"START", u"STATIC", u"SUBMULTISET",
    u"SUM", u"SYMMETRIC", u"SYSTEM", u"SYSTEM_USER", u"TABLE", u"TABLESAMPLE", u"THEN", u"TIME", u"TIMESTAMP",
    u"TIMEZONE_HOUR", u"TIMEZONE_MINUTE", u"TO", u"TRAILING", u"TRANSLATION", u"TREAT", u"TRIGGER", u"TRUE",
    u"UNION", u"UNIQUE", u"UNKNOWN", u"UNNEST", u"UPDATE", u"USER", u"USING", u"VALUE", u"VALUES", u"VARCHAR",
    u"VARYING", u"WHEN", u"WHENEVER", u"WHERE", u"WINDOW", u"WITH", u"WITHIN", u"WITHOUT", u"YEAR",
};

// Whether the text begins as an expression may: with a word, a name, a
// literal, a number, a parenthesis or a sign. A default a driver reports
// that begins otherwise (a blank, a line break, a '.', "==") is text whose
// quotes the driver dropped. (An empty one is written as it always was.)
bool StartsAsExpression(std::u16string_view text) {
  const std::vector<Token> tokens = Tokenize(text.substr(0, std::min<std::size_t>(text.size(), 64)), {});
  if (tokens.empty()) return true;
  const Token& first = tokens.front();
  if (first.kind == TokenKind::Word || first.kind == TokenKind::QuotedName || first.kind == TokenKind::String ||
      first.kind == TokenKind::Number)
    return true;
  const char16_t c = text[first.begin];
  return first.kind == TokenKind::Punctuation && (c == u'(' || c == u'+' || c == u'-' || c == u'~');
}

bool IsAsciiIdentifier(std::u16string_view name) {
  if (name.empty() || (name[0] >= u'0' && name[0] <= u'9')) return false;
  return std::all_of(name.begin(), name.end(), [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
  });
}

}  // namespace

std::vector<const CMOObject*> SqlDialect::ColumnsInOrder(const SqlModel& model, const CMOObject& table) {
  std::vector<const CMOObject*> columns = model.Children(table, model::Column);
  std::stable_sort(columns.begin(), columns.end(), [](const CMOObject* a, const CMOObject* b) {
    return Integer(*a, model::Position).value_or(0) < Integer(*b, model::Position).value_or(0);
  });
  return columns;
}

std::u16string SqlDialect::Name(std::u16string_view name) const {
  return NeedsQuotes(name) ? Quote(name) : std::u16string(name);
}

bool SqlDialect::NeedsQuotes(std::u16string_view name) const {
  if (!IsAsciiIdentifier(name)) return true;
  std::u16string upper(name);
  for (char16_t& c : upper) c = UpperAscii(c);
  const std::vector<std::u16string_view>& reserved = ReservedWords();
  // Standard SQL folds a bare name to upper case: one in lower case is
  // another name.
  return upper != name || std::binary_search(reserved.begin(), reserved.end(), std::u16string_view(upper));
}

std::u16string SqlDialect::Quote(std::u16string_view name) const {
  std::u16string quoted = u"\"";
  for (char16_t c : name) {
    if (c == u'"') quoted += u'"';
    quoted += c;
  }
  return quoted + u'"';
}

std::u16string SqlDialect::Literal(std::u16string_view text) const {
  std::u16string quoted = u"'";
  for (char16_t c : text) {
    if (c == u'\'') quoted += u'\'';
    quoted += c;
  }
  return quoted + u'\'';
}

std::u16string SqlDialect::MatchKey(std::u16string_view name, bool quoted) const {
  std::u16string key(name);
  if (!quoted)
    for (char16_t& c : key) c = UpperAscii(c);
  return key;
}

std::u16string SqlDialect::QualifiedName(const SqlModel& model, const CMOObject& object) const {
  const CMOObject* schema = model.SchemaOf(object);
  if (schema == nullptr || schema == &object) return Name(values::Name(object));
  return Name(values::Name(*schema)) + u'.' + Name(values::Name(object));
}

const std::vector<std::u16string_view>& SqlDialect::ReservedWords() const { return kStandardReserved; }

// ---- Texts of the model.

std::vector<ClientRules> SqlDialect::Clients() const { return {Psql(), Sqlite3()}; }

std::u16string SqlDialect::Refusal(std::u16string_view text, TextKind kind) const {
  for (const ClientRules& client : Clients())
    if (std::u16string why = sql::Refusal(text, kind, client); !why.empty()) return why;
  return {};
}

std::u16string SqlDialect::Proven(const CMOObject& object, int propertyId, TextKind kind) const {
  std::u16string text = Text(object, propertyId);
  Prove(object, propertyId, text, kind);
  return text;
}

void SqlDialect::Prove(const CMOObject& object, int propertyId, std::u16string_view text, TextKind kind) const {
  if (std::u16string why = Refusal(text, kind); !why.empty())
    throw RefusedText(object.GetObjectId(), propertyId, kind, std::move(why), std::u16string(text));
}

// ---- Shared parts.

std::u16string SqlDialect::Describe(const SqlModel& model, const CMOObject& object) const {
  std::string path;
  for (const CMOObject* step = &object; step != nullptr && step->GetParentId() != 0; step = model.Parent(*step)) {
    const std::string part = VisibleName(values::Name(*step));
    path = path.empty() ? part : part + "." + path;
  }
  return platform::Utf8ToUtf16(ObjectTypeWords(object.GetObjectType(), false) + " " + path);
}

void SqlDialect::NotWritten(Script& script, Phase phase, const CMOObject& object, std::u16string_view why) const {
  script.Add(phase, object, u"-- Not written: " + Describe(script.Model(), object) + u" (" + std::u16string(why) + u").\n");
}

std::u16string SqlDialect::NameList(const SqlModel& model, const std::vector<int>& ids) const {
  std::u16string list = u"(";
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) list += u", ";
    const CMOObject* object = model.Object(ids[i]);
    list += object != nullptr ? Name(values::Name(*object)) : u"?";
  }
  return list + u')';
}

std::u16string SqlDialect::DefaultClause(std::u16string_view value) const { return std::u16string(value); }

std::u16string SqlDialect::Default(const CMOObject& object) const {
  const std::u16string& value = Text(object, model::DefaultValue);
  if (UnquotedTextDefaults() && (!StartsAsExpression(value) || !Refusal(value, TextKind::Expression).empty()))
    return Literal(value);
  return DefaultClause(Proven(object, model::DefaultValue, TextKind::Expression));
}

std::u16string SqlDialect::ColumnDefinition(const SqlModel&, const CMOObject& column) const {
  std::u16string text = Name(values::Name(column));
  if (!Text(column, model::DataType).empty()) text += u' ' + Proven(column, model::DataType, TextKind::Type);
  if (!Text(column, model::Collation).empty()) text += u" COLLATE " + Proven(column, model::Collation, TextKind::Type);
  switch (IdentityOf(column)) {
    case Identity::Always: text += u" GENERATED ALWAYS AS IDENTITY"; break;
    case Identity::ByDefault: text += u" GENERATED BY DEFAULT AS IDENTITY"; break;
    default: break;
  }
  if (HasText(column, model::DefaultValue)) text += u" DEFAULT " + Default(column);
  switch (GeneratedKindOf(column)) {
    case GeneratedKind::Stored:
      text += u" GENERATED ALWAYS AS (" + Proven(column, model::GeneratedExpression, TextKind::Expression) + u") STORED";
      break;
    case GeneratedKind::Virtual:
      text += u" GENERATED ALWAYS AS (" + Proven(column, model::GeneratedExpression, TextKind::Expression) + u") VIRTUAL";
      break;
    case GeneratedKind::None: break;
  }
  if (Integer(column, model::Nullable) == 0) text += u" NOT NULL";
  return text;
}

std::u16string SqlDialect::KeyClause(const SqlModel& model, const CMOObject& key) const {
  std::u16string text;
  if (KeepsConstraintNames() && !values::Name(key).empty()) text = u"CONSTRAINT " + Name(values::Name(key)) + u' ';
  text += KeyKindOf(key) == KeyKind::PrimaryKey ? u"PRIMARY KEY " : u"UNIQUE ";
  text += NameList(model, Ids(key, model::KeyColumns));
  if (!Ids(key, model::IncludedColumns).empty()) text += u" INCLUDE " + NameList(model, Ids(key, model::IncludedColumns));
  if (Flag(key, model::Deferrable))
    text += Flag(key, model::InitiallyDeferred) ? u" DEFERRABLE INITIALLY DEFERRED" : u" DEFERRABLE";
  return text;
}

std::u16string SqlDialect::CheckClause(const CMOObject& check) const {
  std::u16string text;
  if (!values::Name(check).empty()) text = u"CONSTRAINT " + Name(values::Name(check)) + u' ';
  if (HasText(check, model::CheckExpression))
    return text + u"CHECK (" + Proven(check, model::CheckExpression, TextKind::Expression) + u')';
  return text + Proven(check, model::Definition, TextKind::Clause);
}

const CMOObject* SqlDialect::ReferencedTable(const SqlModel& model, const CMOObject& foreignKey) const {
  if (const CMOObject* table = model.Referenced(foreignKey, model::ReferencedTable)) return table;
  const CMOObject* key = model.Referenced(foreignKey, model::ReferencedKey);
  return key != nullptr ? model.Parent(*key) : nullptr;
}

std::vector<int> SqlDialect::ReferencedColumns(const SqlModel& model, const CMOObject& foreignKey) const {
  if (!Ids(foreignKey, model::ReferencedColumns).empty()) return Ids(foreignKey, model::ReferencedColumns);
  // A foreign key known by the key it references names that key's columns.
  if (model.Referenced(foreignKey, model::ReferencedTable) != nullptr) return {};
  const CMOObject* key = model.Referenced(foreignKey, model::ReferencedKey);
  return key != nullptr ? Ids(*key, model::KeyColumns) : std::vector<int>();
}

std::u16string SqlDialect::ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const {
  const CMOObject* target = ReferencedTable(model, foreignKey);
  std::u16string text;
  if (KeepsConstraintNames() && !values::Name(foreignKey).empty())
    text = u"CONSTRAINT " + Name(values::Name(foreignKey)) + u' ';
  if (target == nullptr) {
    // The database keeps a reference to a table that is not in the model
    // only as the clause.
    const std::u16string& definition = Proven(foreignKey, model::Definition, TextKind::Clause);
    return definition.empty() ? std::u16string() : text + definition;
  }
  text += u"FOREIGN KEY " + NameList(model, Ids(foreignKey, model::ForeignKeyColumns)) + u" REFERENCES " +
          QualifiedName(model, *target);
  if (!ReferencedColumns(model, foreignKey).empty()) text += u' ' + NameList(model, ReferencedColumns(model, foreignKey));
  if (!MatchClause(foreignKey).empty()) text += u" MATCH " + MatchClause(foreignKey);
  if (!ReferentialAction(foreignKey, model::OnDelete).empty())
    text += u" ON DELETE " + ReferentialAction(foreignKey, model::OnDelete);
  if (!ReferentialAction(foreignKey, model::OnUpdate).empty())
    text += u" ON UPDATE " + ReferentialAction(foreignKey, model::OnUpdate);
  if (Flag(foreignKey, model::Deferrable))
    text += Flag(foreignKey, model::InitiallyDeferred) ? u" DEFERRABLE INITIALLY DEFERRED" : u" DEFERRABLE";
  return text;
}

std::vector<const CMOObject*> SqlDialect::KeysInOrder(const SqlModel& model, const CMOObject& table) const {
  return model.Children(table, model::Key);
}

std::u16string SqlDialect::CreateTable(const SqlModel& model, const CMOObject& table, bool inlineConstraints) const {
  std::vector<std::u16string> lines;
  for (const CMOObject* column : ColumnsInOrder(model, table)) lines.push_back(ColumnDefinition(model, *column));
  if (inlineConstraints)
    for (const CMOObject* key : KeysInOrder(model, table)) lines.push_back(KeyClause(model, *key));
  for (const CMOObject* check : model.Children(table, model::CheckConstraint))
    if (!model.InheritedFromParent(*check)) lines.push_back(CheckClause(*check));
  if (inlineConstraints)
    for (const CMOObject* foreignKey : model.Children(table, model::ForeignKey)) {
      std::u16string clause = ForeignKeyClause(model, *foreignKey);
      if (!clause.empty()) lines.push_back(std::move(clause));
    }
  std::u16string text = u"CREATE TABLE " + QualifiedName(model, table) + u" (";
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? u",\n    " : u"\n    ") + lines[i];
  return text + (lines.empty() ? u")" : u"\n)");
}

std::u16string SqlDialect::CreateIndex(const SqlModel& model, const CMOObject& index) const {
  const CMOObject* table = model.Parent(index);
  std::u16string text = Flag(index, model::IsUnique) ? u"CREATE UNIQUE INDEX " : u"CREATE INDEX ";
  text += Name(values::Name(index)) + u" ON " + (table != nullptr ? QualifiedName(model, *table) : u"?") +
          IndexMethodClause(index) + u" (";
  std::u16string terms = NameList(model, Ids(index, model::IndexColumns));
  terms = terms.substr(1, terms.size() - 2);
  if (!Text(index, model::Expressions).empty())
    terms += (terms.empty() ? u"" : u", ") + Proven(index, model::Expressions, TextKind::ExpressionList);
  text += terms + u')';
  if (!Ids(index, model::IncludedColumns).empty()) text += u" INCLUDE " + NameList(model, Ids(index, model::IncludedColumns));
  if (!Text(index, model::Predicate).empty()) text += u" WHERE " + Proven(index, model::Predicate, TextKind::Expression);
  return text;
}

std::u16string SqlDialect::CommentOn(std::u16string_view kind, std::u16string_view name, const CMOObject& object) const {
  if (!HasText(object, model::Comment)) return {};
  return u"COMMENT ON " + std::u16string(kind) + u' ' + std::u16string(name) + u" IS " +
         Literal(Text(object, model::Comment)) + u";\n";
}

std::u16string SqlDialect::CommentStatement(std::u16string_view kind, std::u16string_view name,
                                            const CMOObject& object) const {
  if (HasText(object, model::Comment)) return CommentOn(kind, name, object);
  return u"COMMENT ON " + std::u16string(kind) + u' ' + std::u16string(name) + u" IS NULL;\n";
}

std::u16string SqlDialect::ConstraintClause(const SqlModel& model, const CMOObject& constraint) const {
  switch (constraint.GetObjectType()) {
    case model::Key: return KeyClause(model, constraint);
    case model::ForeignKey: return ForeignKeyClause(model, constraint);
    default: return CheckClause(constraint);
  }
}

// ---- The objects.

void SqlDialect::WriteSchema(Script& script, const SqlModel&, const CMOObject& schema) const {
  script.Add(kSchemas, schema, u"CREATE SCHEMA " + Name(values::Name(schema)) + u";\n" +
                                   CommentOn(u"SCHEMA", Name(values::Name(schema)), schema));
}

void SqlDialect::WriteTableSpace(Script&, const SqlModel&, const CMOObject&) const {}

void SqlDialect::WriteType(Script& script, const SqlModel&, const CMOObject& type) const {
  NotWritten(script, kTypes, type, u"standard SQL has no form for it");
}

void SqlDialect::WriteSequence(Script& script, const SqlModel& model, const CMOObject& sequence) const {
  std::u16string text = u"CREATE SEQUENCE " + QualifiedName(model, sequence);
  if (!Text(sequence, model::DataType).empty()) text += u" AS " + Proven(sequence, model::DataType, TextKind::Type);
  auto number = [&](const char16_t* clause, int propertyId) {
    if (const std::optional<std::int64_t> value = Integer(sequence, propertyId))
      text += std::u16string(clause) + platform::Utf8ToUtf16(std::to_string(*value));
  };
  number(u" START WITH ", model::SequenceStart);
  number(u" INCREMENT BY ", model::SequenceIncrement);
  number(u" MINVALUE ", model::SequenceMin);
  number(u" MAXVALUE ", model::SequenceMax);
  text += Flag(sequence, model::SequenceCycle) ? u" CYCLE" : u" NO CYCLE";
  script.Add(kTypes, sequence, Statement(text, Tokens()) + CommentOn(u"SEQUENCE", QualifiedName(model, sequence), sequence),
             true);
}

void SqlDialect::WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const {
  script.Add(kTables, table, Statement(CreateTable(model, table, false), Tokens()), true);
}

void SqlDialect::WriteKey(Script& script, const SqlModel& model, const CMOObject& key) const {
  const CMOObject* table = model.Parent(key);
  if (table == nullptr) return;
  script.Add(kKeys, key, Statement(u"ALTER TABLE " + QualifiedName(model, *table) + u" ADD " + KeyClause(model, key), Tokens()));
}

void SqlDialect::WriteCheck(Script&, const SqlModel&, const CMOObject&) const {}

void SqlDialect::WriteForeignKey(Script& script, const SqlModel& model, const CMOObject& foreignKey) const {
  const CMOObject* table = model.Parent(foreignKey);
  const std::u16string clause = ForeignKeyClause(model, foreignKey);
  if (table == nullptr || clause.empty()) {
    NotWritten(script, kForeignKeys, foreignKey, u"the model holds neither its referenced table nor its definition");
    return;
  }
  script.Add(kForeignKeys, foreignKey, Statement(u"ALTER TABLE " + QualifiedName(model, *table) + u" ADD " + clause, Tokens()));
}

void SqlDialect::WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const {
  script.Add(kIndexes, index, Statement(CreateIndex(model, index), Tokens()));
}

void SqlDialect::WriteView(Script& script, const SqlModel& model, const CMOObject& view) const {
  const std::u16string& definition = Text(view, model::Definition);
  if (definition.empty()) {
    NotWritten(script, kViews, view, u"the model holds no definition of it");
    return;
  }
  const bool complete = StartsWithWord(definition, u"CREATE", Tokens());
  Prove(view, model::Definition, definition, complete ? TextKind::Statement : TextKind::Query);
  script.Add(kViews, view,
             Statement(complete ? definition : u"CREATE VIEW " + QualifiedName(model, view) + u" AS\n" + Trimmed(definition),
                       Tokens()),
             true);
}

void SqlDialect::WriteRoutine(Script& script, const SqlModel&, const CMOObject& routine) const {
  const std::u16string& text = Text(routine, model::SqlText);
  if (!StartsWithWord(text, u"CREATE", Tokens())) {
    NotWritten(script, kRoutines, routine, u"the model holds no CREATE statement for it");
    return;
  }
  Prove(routine, model::SqlText, text, TextKind::Statement);
  script.Add(kRoutines, routine, Statement(text, Tokens()), true);
}

void SqlDialect::WriteTrigger(Script& script, const SqlModel&, const CMOObject& trigger) const {
  const std::u16string& text = Text(trigger, model::Definition);
  if (!StartsWithWord(text, u"CREATE", Tokens())) {
    NotWritten(script, kTriggers, trigger, u"the model holds no CREATE statement for it");
    return;
  }
  Prove(trigger, model::Definition, text, TextKind::Statement);
  script.Add(kTriggers, trigger, Statement(text, Tokens()));
}

std::u16string SqlDialect::PrivilegeList(const CMOObject& grant, bool grantable, std::u16string_view column) const {
  const int property = grantable ? model::GrantOption : model::Privileges;
  const std::u16string& text = Text(grant, property);
  // Keywords joined by ", " and nothing else: a text of the database that
  // is one privilege's words cannot be anything else in a statement.
  bool wordStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') {
      wordStart = false;
    } else if (!wordStart && c == u' ') {
      wordStart = true;
    } else if (!wordStart && c == u',' && i + 1 < text.size() && text[i + 1] == u' ') {
      wordStart = true;
      ++i;
    } else {
      throw RefusedText(grant.GetObjectId(), property, TextKind::Clause, u"it is not privilege keywords", text);
    }
  }
  if (wordStart && !text.empty())
    throw RefusedText(grant.GetObjectId(), property, TextKind::Clause, u"it is not privilege keywords", text);
  if (column.empty() || text.empty()) return text;
  std::u16string each;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find(u", ", start);
    if (end == std::u16string::npos) end = text.size();
    each.append(each.empty() ? u"" : u", ").append(text, start, end - start).append(column);
    start = end + 2;
  }
  return each;
}

void SqlDialect::WriteOther(Script& script, const SqlModel&, const CMOObject& object) const {
  if (object.GetObjectType() == model::Partition || object.GetObjectType() == model::Parameter) return;
  NotWritten(script, kTriggers, object, u"the sql format does not know objects of its type");
}

}  // namespace writers::sql

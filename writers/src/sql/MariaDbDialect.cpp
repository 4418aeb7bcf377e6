#include "MariaDbDialect.h"

#include "ModelValues.h"

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <utility>

namespace writers::sql {

namespace {

using namespace values;

// The words MariaDB reserves (upper case, sorted): the keywords of
// information_schema.KEYWORDS that 10.11 takes as no name without quotes.
const std::vector<std::u16string_view> kReserved = {
    u"ACCESSIBLE", u"ADD", u"ALL", u"ALTER", u"ANALYZE", u"AND", u"AS", u"ASC", u"ASENSITIVE", u"BEFORE", u"BETWEEN",
    u"BIGINT", u"BINARY", u"BLOB", u"BOTH", u"BY", u"CALL", u"CASCADE", u"CASE", u"CHANGE", u"CHAR", u"CHARACTER",
    u"CHECK", u"COLLATE", u"COLUMN", u"CONDITION", u"CONSTRAINT", u"CONTINUE", u"CONVERT", u"CREATE", u"CROSS",
    u"CURRENT_DATE", u"CURRENT_ROLE", u"CURRENT_TIME", u"CURRENT_TIMESTAMP", u"CURRENT_USER", u"CURSOR", u"DATABASES",
    u"DAY_HOUR", u"DAY_MICROSECOND", u"DAY_MINUTE", u"DAY_SECOND", u"DEC", u"DECIMAL", u"DECLARE", u"DEFAULT",
    u"DELAYED", u"DELETE", u"DELETE_DOMAIN_ID", u"DESC", u"DESCRIBE", u"DETERMINISTIC", u"DISTINCT", u"DISTINCTROW",
    u"DIV", u"DOUBLE", u"DO_DOMAIN_IDS", u"DROP", u"DUAL", u"EACH", u"ELSE", u"ELSEIF", u"ENCLOSED", u"ESCAPED",
    u"EXCEPT", u"EXISTS", u"EXIT", u"EXPLAIN", u"FALSE", u"FETCH", u"FLOAT", u"FLOAT4", u"FLOAT8", u"FOR", u"FORCE",
    u"FOREIGN", u"FROM", u"FULLTEXT", u"GRANT", u"GROUP", u"HAVING", u"HIGH_PRIORITY", u"HOUR_MICROSECOND",
    u"HOUR_MINUTE", u"HOUR_SECOND", u"IF", u"IGNORE", u"IGNORE_DOMAIN_IDS", u"IN", u"INDEX", u"INFILE", u"INNER",
    u"INOUT", u"INSENSITIVE", u"INSERT", u"INT", u"INT1", u"INT2", u"INT3", u"INT4", u"INT8", u"INTEGER",
    u"INTERSECT", u"INTERVAL", u"INTO", u"IS", u"ITERATE", u"JOIN", u"KEY", u"KEYS", u"KILL", u"LEADING", u"LEAVE",
    u"LEFT", u"LIKE", u"LIMIT", u"LINEAR", u"LINES", u"LOAD", u"LOCALTIME", u"LOCALTIMESTAMP", u"LOCK", u"LONG",
    u"LONGBLOB", u"LONGTEXT", u"LOOP", u"LOW_PRIORITY", u"MASTER_DEMOTE_TO_REPLICA", u"MASTER_DEMOTE_TO_SLAVE",
    u"MASTER_SSL_VERIFY_SERVER_CERT", u"MATCH", u"MAXVALUE", u"MEDIUMBLOB", u"MEDIUMINT", u"MEDIUMTEXT", u"MIDDLEINT",
    u"MINUTE_MICROSECOND", u"MINUTE_SECOND", u"MOD", u"MODIFIES", u"NATURAL", u"NOT", u"NO_WRITE_TO_BINLOG", u"NULL",
    u"NUMERIC", u"OFFSET", u"ON", u"OPTIMIZE", u"OPTIONALLY", u"OR", u"ORDER", u"OUT", u"OUTER", u"OUTFILE", u"OVER",
    u"PAGE_CHECKSUM", u"PARSE_VCOL_EXPR", u"PARTITION", u"PORTION", u"PRECISION", u"PRIMARY", u"PROCEDURE", u"PURGE",
    u"RANGE", u"READ", u"READS", u"READ_WRITE", u"REAL", u"RECURSIVE", u"REFERENCES", u"REF_SYSTEM_ID", u"REGEXP",
    u"RELEASE", u"RENAME", u"REPEAT", u"REPLACE", u"REQUIRE", u"RESIGNAL", u"RESTRICT", u"RETURN", u"RETURNING",
    u"REVOKE", u"RIGHT", u"RLIKE", u"ROWS", u"ROW_NUMBER", u"SCHEMAS", u"SECOND_MICROSECOND", u"SELECT", u"SENSITIVE",
    u"SEPARATOR", u"SET", u"SHOW", u"SIGNAL", u"SMALLINT", u"SPATIAL", u"SPECIFIC", u"SQL", u"SQLEXCEPTION",
    u"SQLSTATE", u"SQLWARNING", u"SQL_BIG_RESULT", u"SQL_CALC_FOUND_ROWS", u"SQL_SMALL_RESULT", u"SSL", u"STARTING",
    u"STATS_AUTO_RECALC", u"STATS_PERSISTENT", u"STATS_SAMPLE_PAGES", u"STRAIGHT_JOIN", u"TABLE", u"TERMINATED",
    u"THEN", u"TINYBLOB", u"TINYINT", u"TINYTEXT", u"TO", u"TRAILING", u"TRIGGER", u"TRUE", u"UNDO", u"UNION",
    u"UNIQUE", u"UNLOCK", u"UNSIGNED", u"UPDATE", u"USAGE", u"USE", u"USING", u"UTC_DATE", u"UTC_TIME",
    u"UTC_TIMESTAMP", u"VALUES", u"VARBINARY", u"VARCHAR", u"VARCHARACTER", u"VARYING", u"WHEN", u"WHERE", u"WHILE",
    u"WITH", u"WRITE", u"XOR", u"YEAR_MONTH", u"ZEROFILL",
};

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }
char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string Decimal(std::int64_t value) { return platform::Utf8ToUtf16(std::to_string(value)); }

// Whether the sql_mode (a comma-separated list) holds one of the words.
bool ModeHas(std::u16string_view sqlMode, std::initializer_list<std::u16string_view> words) {
  for (std::size_t start = 0; start <= sqlMode.size();) {
    std::size_t end = sqlMode.find(u',', start);
    if (end == std::u16string_view::npos) end = sqlMode.size();
    for (std::u16string_view word : words)
      if (SameWord(sqlMode.substr(start, end - start), word)) return true;
    start = end + 1;
  }
  return false;
}

// Whether the sql_mode reads a backslash in a string as itself.
bool NoBackslashEscapes(std::u16string_view sqlMode) { return ModeHas(sqlMode, {u"NO_BACKSLASH_ESCAPES"}); }

// Whether the sql_mode reads "..." as a name (ANSI_QUOTES, and the modes
// that stand for a set holding it).
bool AnsiQuotes(std::u16string_view sqlMode) {
  return ModeHas(sqlMode, {u"ANSI_QUOTES", u"ANSI", u"DB2", u"MAXDB", u"MSSQL", u"ORACLE", u"POSTGRESQL"});
}

// The text the client ends the next statement at: one the statement does
// not hold, so that a body ends only where the script ends it.
std::u16string DelimiterFor(std::u16string_view text) {
  for (std::u16string_view candidate : {u"$$", u";;", u"//"})
    if (text.find(candidate) == std::u16string_view::npos) return std::u16string(candidate);
  for (int n = 1;; ++n) {
    std::u16string candidate = u"$$" + Decimal(n);
    if (text.find(candidate) == std::u16string_view::npos) return candidate;
  }
}

// A trigger's place among those of its table: by timing and event, then
// by the order it fires in (creation order where the model has none).
bool FiresBefore(const CMOObject* a, const CMOObject* b) {
  const std::u16string timingA = VocabularyWord(*a, model::TriggerTiming);
  const std::u16string timingB = VocabularyWord(*b, model::TriggerTiming);
  if (timingA != timingB) return timingA < timingB;
  if (Text(*a, model::TriggerEvents) != Text(*b, model::TriggerEvents))
    return Text(*a, model::TriggerEvents) < Text(*b, model::TriggerEvents);
  return Integer(*a, model::TriggerOrder).value_or(0) < Integer(*b, model::TriggerOrder).value_or(0);
}

}  // namespace

const std::vector<std::u16string_view>& MariaDbDialect::ReservedWords() const { return kReserved; }

const SqlDialect& MariaDbDialect::ForPlans() const {
  static constinit const MariaDbDialect plans(true);
  return plans;
}

bool MariaDbDialect::NeedsQuotes(std::u16string_view name) const {
  if (name.empty() || (name[0] >= u'0' && name[0] <= u'9')) return true;
  for (char16_t c : name)
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_')) return true;
  std::u16string upper(name);
  for (char16_t& c : upper) c = UpperAscii(c);
  return std::binary_search(kReserved.begin(), kReserved.end(), std::u16string_view(upper));
}

std::u16string MariaDbDialect::Quote(std::u16string_view name) const {
  std::u16string quoted = u"`";
  for (char16_t c : name) {
    if (c == u'`') quoted += u'`';
    quoted += c;
  }
  return quoted + u'`';
}

std::u16string MariaDbDialect::LiteralIn(std::u16string_view text, std::u16string_view sqlMode) const {
  const bool backslashes = !NoBackslashEscapes(sqlMode);
  std::u16string quoted = u"'";
  for (char16_t c : text) {
    if (c == u'\'') {
      quoted += u"''";
    } else if (c == u'\\' && backslashes) {
      quoted += u"\\\\";
    } else if (c == u'\0' && backslashes) {
      quoted += u"\\0";
    } else if (c == u'\r' && backslashes) {
      quoted += u"\\r";
    } else {
      quoted += c;
    }
  }
  return quoted + u'\'';
}

std::u16string MariaDbDialect::Literal(std::u16string_view text) const { return LiteralIn(text, kSessionSqlMode); }

void MariaDbDialect::ProveInMode(const CMOObject& object, int propertyId, std::u16string_view text, TextKind kind) const {
  const std::u16string mode = HasText(object, model::SqlMode) ? Text(object, model::SqlMode) : std::u16string(kSessionSqlMode);
  std::u16string why = sql::Refusal(text, kind, MariaDbClient(!NoBackslashEscapes(mode), AnsiQuotes(mode)));
  if (!why.empty()) throw RefusedText(object.GetObjectId(), propertyId, kind, std::move(why), std::u16string(text));
}

std::u16string MariaDbDialect::MatchKey(std::u16string_view name, bool) const {
  std::u16string key(name);
  for (char16_t& c : key) c = LowerAscii(c);
  return key;
}

std::u16string MariaDbDialect::Begin() const {
  return u"SET NAMES utf8mb4;\nSET SESSION sql_mode = " + Literal(kSessionSqlMode) +
         u";\nSET SESSION foreign_key_checks = 0;\n";
}

std::u16string MariaDbDialect::End() const { return u"SET SESSION foreign_key_checks = 1;\n"; }

std::u16string MariaDbDialect::CommentClause(const CMOObject& object, std::u16string_view sqlMode) const {
  if (!HasText(object, model::Comment)) return {};
  return u" COMMENT " + LiteralIn(Text(object, model::Comment), sqlMode);
}

// ---- Schemas and sequences.

void MariaDbDialect::WriteSchema(Script& script, const SqlModel&, const CMOObject& schema) const {
  std::u16string text = u"CREATE DATABASE " + IfMissing() + Name(values::Name(schema));
  if (!Text(schema, model::CharacterSet).empty()) text += u" CHARACTER SET " + Name(Text(schema, model::CharacterSet));
  if (!Text(schema, model::Collation).empty()) text += u" COLLATE " + Name(Text(schema, model::Collation));
  script.Add(kSchemas, schema, Statement(text + CommentClause(schema), Tokens()));
}

void MariaDbDialect::WriteType(Script& script, const SqlModel&, const CMOObject& type) const {
  NotWritten(script, kTypes, type, u"MariaDB has no user-defined types");
}

void MariaDbDialect::WriteSequence(Script& script, const SqlModel& model, const CMOObject& sequence) const {
  std::u16string text = u"CREATE SEQUENCE " + IfMissing() + QualifiedName(model, sequence);
  auto number = [&](const char16_t* clause, int propertyId) {
    if (const std::optional<std::int64_t> value = Integer(sequence, propertyId)) text += clause + Decimal(*value);
  };
  number(u" START WITH ", model::SequenceStart);
  number(u" INCREMENT BY ", model::SequenceIncrement);
  number(u" MINVALUE ", model::SequenceMin);
  number(u" MAXVALUE ", model::SequenceMax);
  text += Flag(sequence, model::SequenceCycle) ? u" CYCLE" : u" NOCYCLE";
  script.Add(kTypes, sequence, Statement(text + CommentClause(sequence), Tokens()), true);
}

// ---- Tables.

std::u16string MariaDbDialect::DefaultClause(std::u16string_view value) const {
  // MariaDB reports a literal as written ('x', 3, NULL) and any other
  // default as its expression, which DEFAULT takes in parentheses.
  std::vector<Token> tokens;
  for (const Token& token : Tokenize(value, Tokens()))
    if (token.kind != TokenKind::Space && token.kind != TokenKind::Comment) tokens.push_back(token);
  auto literal = [&](const Token& token) {
    return token.kind == TokenKind::String || token.kind == TokenKind::Number ||
           (token.kind == TokenKind::Word && (SameWord(NameOf(value, token), u"NULL") ||
                                              SameWord(NameOf(value, token), u"TRUE") ||
                                              SameWord(NameOf(value, token), u"FALSE")));
  };
  const bool single = (tokens.size() == 1 && literal(tokens[0])) ||
                      (tokens.size() == 2 && tokens[0].kind == TokenKind::Punctuation &&
                       (value[tokens[0].begin] == u'-' || value[tokens[0].begin] == u'+') &&
                       tokens[1].kind == TokenKind::Number);
  return single ? std::u16string(value) : u"(" + std::u16string(value) + u")";
}

std::u16string MariaDbDialect::ColumnDefinition(const SqlModel&, const CMOObject& column) const {
  std::u16string text = Name(values::Name(column));
  if (!Text(column, model::DataType).empty()) text += u' ' + Proven(column, model::DataType, TextKind::Type);
  if (!Text(column, model::CharacterSet).empty()) text += u" CHARACTER SET " + Name(Text(column, model::CharacterSet));
  if (!Text(column, model::Collation).empty()) text += u" COLLATE " + Name(Text(column, model::Collation));
  if (GeneratedKindOf(column) != GeneratedKind::None) {
    text += u" GENERATED ALWAYS AS (" + Proven(column, model::GeneratedExpression, TextKind::Expression) + u')' +
            (GeneratedKindOf(column) == GeneratedKind::Virtual ? u" VIRTUAL" : u" STORED");
  } else {
    text += Integer(column, model::Nullable) == 0 ? u" NOT NULL" : u" NULL";
    if (HasText(column, model::DefaultValue)) text += u" DEFAULT " + Default(column);
    if (HasText(column, model::UpdateExpression))
      text += u" ON UPDATE " + Proven(column, model::UpdateExpression, TextKind::Expression);
    if (Flag(column, model::AutoIncrement)) text += u" AUTO_INCREMENT";
  }
  if (Flag(column, model::Invisible)) text += u" INVISIBLE";
  return text + CommentClause(column);
}

std::u16string MariaDbDialect::IndexLine(const SqlModel& model, const CMOObject& index, std::u16string_view ifMissing) const {
  const bool key = index.GetObjectType() == model::Key;
  const bool primary = key && KeyKindOf(index) == KeyKind::PrimaryKey;
  const std::u16string method = VocabularyWord(index, model::IndexMethod);
  const std::u16string name = std::u16string(ifMissing) + Name(values::Name(index));
  std::u16string text = primary                 ? u"PRIMARY KEY"
                        : key                   ? u"UNIQUE KEY " + name
                        : method == u"fulltext" ? u"FULLTEXT KEY " + name
                        : method == u"spatial"  ? u"SPATIAL KEY " + name
                                                : u"KEY " + name;
  // Each column with its prefix length ("10,0": 10 characters of the
  // first, all of the second) and its order.
  const std::vector<int>& columns = Ids(index, key ? model::KeyColumns : model::IndexColumns);
  const std::vector<int>& descending = Ids(index, model::DescendingColumns);
  const std::u16string& prefixes = Text(index, model::PrefixLengths);
  if (!std::all_of(prefixes.begin(), prefixes.end(), [](char16_t c) { return (c >= u'0' && c <= u'9') || c == u','; }))
    throw RefusedText(index.GetObjectId(), model::PrefixLengths, TextKind::ExpressionList,
                      u"it is no list of numbers", prefixes);
  std::size_t prefixAt = 0;
  text += u" (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const CMOObject* column = model.Object(columns[i]);
    text += (i > 0 ? u", " : u"") + (column != nullptr ? Name(values::Name(*column)) : u"?");
    const std::size_t comma = std::min(prefixes.find(u',', prefixAt), prefixes.size());
    const std::u16string prefix = prefixAt < prefixes.size() ? prefixes.substr(prefixAt, comma - prefixAt) : u"";
    prefixAt = comma + 1;
    // A spatial index always covers its whole value, and the catalogue
    // gives its part a length (32) that the server refuses as a prefix.
    if (!prefix.empty() && prefix != u"0" && method != u"spatial") text += u'(' + prefix + u')';
    if (std::find(descending.begin(), descending.end(), columns[i]) != descending.end()) text += u" DESC";
  }
  text += u')';
  if (method == u"btree") text += u" USING BTREE";
  if (method == u"hash") text += u" USING HASH";
  text += CommentClause(index);
  if (Flag(index, model::Invisible)) text += u" IGNORED";
  return text;
}

std::u16string MariaDbDialect::TableOptions(const SqlModel&, const CMOObject& table) const {
  std::u16string text;
  if (!Text(table, model::Engine).empty()) text += u" ENGINE=" + Name(Text(table, model::Engine));
  if (!VocabularyWord(table, model::RowFormat).empty()) text += u" ROW_FORMAT=" + VocabularyWord(table, model::RowFormat);
  if (!Text(table, model::Collation).empty()) text += u" COLLATE=" + Name(Text(table, model::Collation));
  if (HasText(table, model::Comment)) text += u" COMMENT=" + Literal(Text(table, model::Comment));
  if (RelationKindOf(table) == RelationKind::SystemVersionedTable) text += u" WITH SYSTEM VERSIONING";
  return text;
}

std::u16string MariaDbDialect::Partitions(const SqlModel& model, const CMOObject& table) const {
  // The table keeps its partitioning clause, each partition its bound.
  const std::u16string& clause = Text(table, model::Definition);
  const std::vector<const CMOObject*> partitions = model.Children(table, model::Partition);
  if (!StartsWithWord(clause, u"PARTITION", Tokens())) return {};
  std::u16string text = u"\n" + Trimmed(Proven(table, model::Definition, TextKind::Clause));
  if (partitions.empty()) return text;
  text += u"\n(";
  for (std::size_t i = 0; i < partitions.size(); ++i) {
    text += (i > 0 ? u",\n " : u"") + std::u16string(u"PARTITION ") + Name(values::Name(*partitions[i]));
    if (!Text(*partitions[i], model::Definition).empty())
      text += u' ' + Proven(*partitions[i], model::Definition, TextKind::Clause);
    if (HasText(*partitions[i], model::Comment)) text += u" COMMENT = " + Literal(Text(*partitions[i], model::Comment));
  }
  return text + u')';
}

void MariaDbDialect::WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const {
  std::vector<std::u16string> lines;
  for (const CMOObject* column : ColumnsInOrder(model, table)) lines.push_back(ColumnDefinition(model, *column));
  // The primary key first, as MariaDB lists it.
  std::vector<const CMOObject*> keys = model.Children(table, model::Key);
  std::stable_partition(keys.begin(), keys.end(), [](const CMOObject* key) { return KeyKindOf(*key) == KeyKind::PrimaryKey; });
  for (const CMOObject* key : keys) lines.push_back(IndexLine(model, *key));
  for (const CMOObject* index : model.Children(table, model::Index)) lines.push_back(IndexLine(model, *index));
  for (const CMOObject* check : model.Children(table, model::CheckConstraint)) lines.push_back(CheckClause(*check));
  std::u16string text = u"CREATE TABLE " + IfMissing() + QualifiedName(model, table) + u" (";
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? u",\n    " : u"\n    ") + lines[i];
  text += lines.empty() ? u")" : u"\n)";
  script.Add(kTables, table, Statement(text + TableOptions(model, table) + Partitions(model, table), Tokens()), true);
}

std::u16string MariaDbDialect::ForeignKeyClause(const SqlModel& model, const CMOObject& foreignKey) const {
  std::u16string text;
  if (!values::Name(foreignKey).empty()) text = u"CONSTRAINT " + Name(values::Name(foreignKey)) + u' ';
  const CMOObject* target = ReferencedTable(model, foreignKey);
  if (target == nullptr) {
    // A table outside the model is named by the clause the model keeps.
    const std::u16string& definition = Proven(foreignKey, model::Definition, TextKind::Clause);
    return definition.empty() ? std::u16string() : text + definition;
  }
  text += u"FOREIGN KEY " + IfMissing() + NameList(model, Ids(foreignKey, model::ForeignKeyColumns)) + u" REFERENCES " +
          QualifiedName(model, *target);
  if (!ReferencedColumns(model, foreignKey).empty()) text += u' ' + NameList(model, ReferencedColumns(model, foreignKey));
  // Every action but RESTRICT written: RESTRICT is MariaDB's default, which
  // it keeps apart from NO ACTION; and a RESTRICT written out in ALTER TABLE
  // under foreign_key_checks = 0, as this script runs, is stored as
  // NO ACTION.
  for (auto [clause, propertyId] : {std::pair{u" ON DELETE ", model::OnDelete}, std::pair{u" ON UPDATE ", model::OnUpdate}}) {
    const std::u16string action = VocabularyWord(foreignKey, propertyId);
    if (!action.empty() && action != u"RESTRICT") text += clause + action;
  }
  return text;
}

std::u16string MariaDbDialect::ConstraintClause(const SqlModel& model, const CMOObject& constraint) const {
  switch (constraint.GetObjectType()) {
    case model::Key:
    case model::Index: return IndexLine(model, constraint, IfMissing());
    case model::ForeignKey: return ForeignKeyClause(model, constraint);
    default: {
      const std::u16string clause = CheckClause(constraint);
      if (!m_rerunnable || !clause.starts_with(u"CONSTRAINT ")) return clause;
      return u"CONSTRAINT IF NOT EXISTS " + clause.substr(11);
    }
  }
}

// ---- Views, routines, triggers.

void MariaDbDialect::WriteView(Script& script, const SqlModel& model, const CMOObject& view) const {
  const std::u16string& definition = Text(view, model::Definition);
  if (definition.empty()) {
    NotWritten(script, kViews, view, u"the model holds no definition of it");
    return;
  }
  std::u16string query = Trimmed(definition);
  if (!query.empty() && query.back() == u';') query = Trimmed(std::u16string_view(query).substr(0, query.size() - 1));
  Prove(view, model::Definition, query, TextKind::Query);
  std::u16string text = Create();
  if (!VocabularyWord(view, model::SecurityType).empty()) text += u" SQL SECURITY " + VocabularyWord(view, model::SecurityType);
  text += u" VIEW " + QualifiedName(model, view) + u" AS\n" + query;
  if (!VocabularyWord(view, model::CheckOption).empty())
    text += u"\nWITH " + VocabularyWord(view, model::CheckOption) + u" CHECK OPTION";
  script.Add(kViews, view, Statement(text, Tokens()), true);
}

std::u16string MariaDbDialect::WithBody(const CMOObject& object, const std::u16string& create) const {
  const std::u16string& mode = Text(object, model::SqlMode);
  const bool ownMode = HasText(object, model::SqlMode) && mode != kSessionSqlMode;
  std::u16string text;
  if (ownMode) text += u"SET SESSION sql_mode = " + Literal(mode) + u";\n";
  // The body ends on a line of its own: it may end in a comment.
  const std::u16string delimiter = DelimiterFor(create);
  text += u"DELIMITER " + delimiter + u"\n" + create + u"\n" + delimiter + u"\nDELIMITER ;\n";
  if (ownMode) text += u"SET SESSION sql_mode = " + Literal(kSessionSqlMode) + u";\n";
  return text;
}

void MariaDbDialect::WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const {
  const RoutineKind kind = RoutineKindOf(routine);
  if (!HasText(routine, model::Definition) || (kind != RoutineKind::Function && kind != RoutineKind::Procedure)) {
    NotWritten(script, kRoutines, routine, u"the model holds no body of it");
    return;
  }
  // Literals in the characteristics are read in the routine's mode.
  const std::u16string mode = HasText(routine, model::SqlMode) ? Text(routine, model::SqlMode) : std::u16string(kSessionSqlMode);
  const std::u16string& parameters = Text(routine, model::ParameterList);
  const std::u16string& returns = Text(routine, model::ReturnType);
  const std::u16string& body = Text(routine, model::Definition);
  ProveInMode(routine, model::ParameterList, parameters, TextKind::Clause);
  ProveInMode(routine, model::ReturnType, returns, TextKind::Type);
  ProveInMode(routine, model::Definition, body, TextKind::Body);
  const std::u16string name = QualifiedName(model, routine);
  std::u16string text = Create() + (kind == RoutineKind::Function ? u" FUNCTION " : u" PROCEDURE ") + name + u'(' +
                        parameters + u')';
  if (kind == RoutineKind::Function && !returns.empty()) text += u" RETURNS " + returns;
  // A comment with a line break after a carriage return cannot be written
  // in a mode without backslash escapes, as the client drops the carriage
  // return: it is set afterwards, in the script's mode.
  const bool commentAfter = NoBackslashEscapes(mode) && Text(routine, model::Comment).find(u"\r\n") != std::u16string::npos;
  if (HasText(routine, model::Comment) && !commentAfter) text += u"\n   " + CommentClause(routine, mode);
  if (!VocabularyWord(routine, model::SecurityType).empty())
    text += u"\n    SQL SECURITY " + VocabularyWord(routine, model::SecurityType);
  text += u'\n' + body;
  text = WithBody(routine, text);
  if (commentAfter)
    text += Statement((kind == RoutineKind::Function ? u"ALTER FUNCTION " : u"ALTER PROCEDURE ") + name +
                          CommentClause(routine),
                      Tokens());
  script.Add(kRoutines, routine, text, true);
}

void MariaDbDialect::WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const {
  // A table's triggers are made together, in the order they fire: a
  // trigger made later fires after those of its timing and event.
  const CMOObject* table = model.Parent(trigger);
  if (table == nullptr) return;
  std::vector<const CMOObject*> triggers = model.Children(*table, model::Trigger);
  if (triggers.empty() || triggers.front() != &trigger) return;
  std::stable_sort(triggers.begin(), triggers.end(), FiresBefore);
  std::u16string text;
  for (const CMOObject* each : triggers) {
    if (!HasText(*each, model::Definition)) {
      text += u"-- Not written: " + Describe(model, *each) + u" (the model holds no body of it).\n";
      continue;
    }
    try {
      ProveInMode(*each, model::TriggerEvents, Text(*each, model::TriggerEvents), TextKind::Type);
      ProveInMode(*each, model::Definition, Text(*each, model::Definition), TextKind::Body);
    } catch (const RefusedText& refused) {
      script.Refuse(kTriggers, *each, refused);
      continue;
    }
    text += WithBody(*each, Create() + u" TRIGGER " + QualifiedName(model, *each) + u' ' +
                                VocabularyWord(*each, model::TriggerTiming) + u' ' + Text(*each, model::TriggerEvents) +
                                u" ON " + QualifiedName(model, *table) + u" FOR EACH ROW\n" + Text(*each, model::Definition));
  }
  if (!text.empty()) script.Add(kTriggers, trigger, text);
}

std::u16string MariaDbDialect::Privileges(const SqlModel& model, const CMOObject& object) const {
  std::u16string target;
  std::u16string column;  // a column's grants: "(name)" after each privilege
  switch (object.GetObjectType()) {
    case model::Schema: target = Name(values::Name(object)) + u".*"; break;
    case model::Table:
    case model::View: target = QualifiedName(model, object); break;
    case model::Column: {
      const CMOObject* table = model.Parent(object);
      if (table == nullptr || table->GetObjectType() == model::Column) return {};
      target = QualifiedName(model, *table);
      column = u" (" + Name(values::Name(object)) + u")";
      break;
    }
    default: return {};
  }
  std::u16string text;
  for (const CMOObject* grant : model.Children(object, model::Grant)) {
    // "user@host" is 'user'@'host'; a role, without a host, its name.
    const std::u16string& name = values::Name(*grant);
    const std::size_t at = name.rfind(u'@');
    const std::u16string grantee = at == std::u16string::npos
                                       ? Literal(name)
                                       : Literal(name.substr(0, at)) + u"@" + Literal(name.substr(at + 1));
    // Names are literals and identifiers, the privileges keywords; each
    // statement is proven all the same.
    auto add = [&](const std::u16string& statement) {
      Prove(*grant, model::Name, statement, TextKind::Statement);
      text += Statement(statement, Tokens());
    };
    const std::u16string all = PrivilegeList(*grant, false, column);
    const std::u16string grantable = PrivilegeList(*grant, true, column);
    if (!all.empty()) add(u"GRANT " + all + u" ON " + target + u" TO " + grantee);
    if (!grantable.empty())
      add(u"GRANT " + grantable + u" ON " + target + u" TO " + grantee + u" WITH GRANT OPTION");
  }
  return text;
}

}  // namespace writers::sql

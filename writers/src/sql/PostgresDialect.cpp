#include "PostgresDialect.h"

#include "ModelValues.h"

#include <platform/Utf.h>
#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <algorithm>
#include <unordered_map>

namespace writers::sql {

namespace {

using namespace values;

// The words quote_ident quotes: every keyword of the server that is not
// unreserved (pg_get_keywords, catcode other than U), up to PostgreSQL 17,
// sorted. A name that is one is quoted, as the server prints it.
const std::vector<std::u16string_view> kKeywords = {
    u"all", u"analyse", u"analyze", u"and", u"any", u"array", u"as", u"asc", u"asymmetric", u"authorization",
    u"between", u"bigint", u"binary", u"bit", u"boolean", u"both", u"case", u"cast", u"char", u"character", u"check",
    u"coalesce", u"collate", u"collation", u"column", u"concurrently", u"constraint", u"create", u"cross",
    u"current_catalog", u"current_date", u"current_role", u"current_schema", u"current_time", u"current_timestamp",
    u"current_user", u"dec", u"decimal", u"default", u"deferrable", u"desc", u"distinct", u"do", u"else", u"end",
    u"except", u"exists", u"extract", u"false", u"fetch", u"float", u"for", u"foreign", u"freeze", u"from", u"full",
    u"grant", u"greatest", u"group", u"grouping", u"having", u"ilike", u"in", u"initially", u"inner", u"inout",
    u"int", u"integer", u"intersect", u"interval", u"into", u"is", u"isnull", u"join", u"json_array",
    u"json_arrayagg", u"json_exists", u"json_object", u"json_objectagg", u"json_query", u"json_scalar",
    u"json_serialize", u"json_table", u"json_value", u"lateral", u"leading", u"least", u"left", u"like", u"limit",
    u"localtime", u"localtimestamp", u"merge_action", u"national", u"natural", u"nchar", u"none", u"normalize",
    u"not", u"notnull", u"null", u"nullif", u"numeric", u"offset", u"on", u"only", u"or", u"order", u"out", u"outer",
    u"overlaps", u"overlay", u"placing", u"position", u"precision", u"primary", u"real", u"references", u"returning",
    u"right", u"row", u"select", u"session_user", u"setof", u"similar", u"smallint", u"some", u"substring",
    u"symmetric", u"system_user", u"table", u"tablesample", u"then", u"time", u"timestamp", u"to", u"trailing",
    u"treat", u"trim", u"true", u"union", u"unique", u"user", u"using", u"values", u"varchar", u"variadic",
    u"verbose", u"when", u"where", u"window", u"with", u"xmlattributes", u"xmlconcat", u"xmlelement", u"xmlexists",
    u"xmlforest", u"xmlnamespaces", u"xmlparse", u"xmlpi", u"xmlroot", u"xmlserialize", u"xmltable",
};

std::u16string Decimal(std::int64_t value) { return platform::Utf8ToUtf16(std::to_string(value)); }

// The length of the longest prefix of at most `limit` bytes of the UTF-8
// text that ends at a character boundary (pg_mbcliplen).
std::size_t ClipUtf8(const std::string& text, std::size_t limit) {
  std::size_t length = std::min(limit, text.size());
  while (length > 0 && length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}

// The name the server gives an object it makes for another
// (makeObjectName): name1_name2_label, the two names shortened, the longer
// first, to fit 63 bytes.
std::u16string ServerMadeName(const std::u16string& first, const std::u16string& second, const std::string& label) {
  const std::string name1 = platform::Utf16ToUtf8(first);
  const std::string name2 = platform::Utf16ToUtf8(second);
  const std::size_t available = 63 - (label.size() + 1) - 1;
  std::size_t length1 = name1.size();
  std::size_t length2 = name2.size();
  while (length1 + length2 > available) {
    if (length1 > length2)
      --length1;
    else
      --length2;
  }
  return platform::Utf8ToUtf16(name1.substr(0, ClipUtf8(name1, length1)) + "_" +
                               name2.substr(0, ClipUtf8(name2, length2)) + "_" + label);
}

// Whether the text ends with the word, ASCII letter case ignored, after a
// blank.
bool EndsWithWords(const std::u16string& text, std::u16string_view words) {
  const std::u16string trimmed = Trimmed(text);
  if (trimmed.size() <= words.size()) return false;
  return SameWord(std::u16string_view(trimmed).substr(trimmed.size() - words.size()), words) &&
         trimmed[trimmed.size() - words.size() - 1] == u' ';
}

// The entries of a composite type's attribute list as the import writes
// it, "(a  integer  NULL,b  text COLLATE \"C\"  NULL)", as CREATE TYPE
// takes them: "a integer", "b text COLLATE \"C\"".
std::vector<std::u16string> AttributeEntries(std::u16string_view list, const TokenRules& rules) {
  std::vector<std::u16string> entries;
  const std::u16string text = Trimmed(list);
  if (text.size() < 2 || text.front() != u'(' || text.back() != u')') return entries;
  const std::u16string_view inner = std::u16string_view(text).substr(1, text.size() - 2);
  std::size_t start = 0;
  int depth = 0;
  std::vector<std::u16string_view> parts;
  for (const Token& token : Tokenize(inner, rules)) {
    if (token.kind != TokenKind::Punctuation) continue;
    const char16_t c = inner[token.begin];
    if (c == u'(') ++depth;
    if (c == u')') --depth;
    if (c == u',' && depth == 0) {
      parts.push_back(inner.substr(start, token.begin - start));
      start = token.end;
    }
  }
  if (start < inner.size()) parts.push_back(inner.substr(start));
  for (std::u16string_view part : parts) {
    std::u16string entry = Trimmed(part);
    for (std::u16string_view suffix : {std::u16string_view(u"  NOT NULL"), std::u16string_view(u"  NULL")}) {
      if (entry.size() > suffix.size() && entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0) {
        entry.resize(entry.size() - suffix.size());
        break;
      }
    }
    // The name is the first token; the type follows after two blanks.
    const std::vector<Token> tokens = Tokenize(entry, rules);
    if (!tokens.empty()) {
      const std::u16string name = entry.substr(0, tokens.front().end);
      entry = name + u' ' + Trimmed(std::u16string_view(entry).substr(tokens.front().end));
    }
    if (!Trimmed(entry).empty()) entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace

std::vector<std::u16string> CompositeAttributes(std::u16string_view list, const TokenRules& rules) {
  return AttributeEntries(list, rules);
}

bool PostgresDialect::NeedsQuotes(std::u16string_view name) const {
  if (name.empty() || !((name[0] >= u'a' && name[0] <= u'z') || name[0] == u'_')) return true;
  for (char16_t c : name)
    if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_')) return true;
  return std::binary_search(kKeywords.begin(), kKeywords.end(), name);
}

std::u16string PostgresDialect::MatchKey(std::u16string_view name, bool quoted) const {
  std::u16string key(name);
  if (!quoted)
    for (char16_t& c : key)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return key;
}

void PostgresDialect::Prepare(SqlModel& model) const {
  // Sequences by schema and name, for the identity columns to find theirs.
  std::unordered_map<std::u16string, const CMOObject*> sequences;
  const GenericModel& whole = model.Model();
  for (int id = 2; id <= whole.GetObjectCount(); ++id) {
    const CMOObject* object = whole.GetCMOObject(id);
    if (object == nullptr || object->GetObjectType() != model::Sequence) continue;
    const CMOObject* schema = model.SchemaOf(*object);
    sequences.emplace((schema != nullptr ? values::Name(*schema) : u"") + u'\0' + values::Name(*object), object);
  }
  // An identity column's sequence is made with the column, named by the
  // server after the table and the column (a number after "seq" when the
  // name was taken).
  for (int id = 2; id <= whole.GetObjectCount(); ++id) {
    const CMOObject* column = whole.GetCMOObject(id);
    if (column == nullptr || column->GetObjectType() != model::Column || IdentityOf(*column) == Identity::None) continue;
    const CMOObject* table = model.Parent(*column);
    const CMOObject* schema = table != nullptr ? model.SchemaOf(*table) : nullptr;
    if (schema == nullptr) continue;
    for (int pass = 0; pass < 10; ++pass) {
      const std::u16string name =
          ServerMadeName(values::Name(*table), values::Name(*column), pass == 0 ? "seq" : "seq" + std::to_string(pass));
      const auto found = sequences.find(values::Name(*schema) + u'\0' + name);
      if (found == sequences.end() || model.Omitted(found->second->GetObjectId())) continue;
      model.SetIdentitySequence(column->GetObjectId(), found->second);
      model.Omit(found->second->GetObjectId());
      break;
    }
  }
}

std::u16string PostgresDialect::Begin() const {
  // The texts the server printed for the model name every object outside
  // pg_catalog with its schema (the import read them with an empty
  // search_path): read with nothing but pg_catalog on the path, they mean
  // the same. Function bodies are checked when they run, not when made, so
  // that a function may come before what its body uses.
  return u"SET client_encoding = 'UTF8';\n"
         u"SET standard_conforming_strings = on;\n"
         u"BEGIN;\n"
         u"SET LOCAL search_path = pg_catalog;\n"
         u"SET LOCAL check_function_bodies = false;\n"
         u"SET LOCAL client_min_messages = warning;\n";
}

std::u16string PostgresDialect::ServerStatement(const CMOObject& object, int propertyId,
                                                      std::initializer_list<std::u16string_view> kinds) const {
  const std::u16string& text = Text(object, propertyId);
  bool expected = false;
  for (std::u16string_view kind : kinds)
    expected = expected || Creates(text, kind, {u"OR", u"REPLACE", u"UNIQUE", u"CONSTRAINT"}, Tokens());
  if (!expected) throw RefusedText(object.GetObjectId(), propertyId, TextKind::Statement, u"it creates no such object", text);
  return Proven(object, propertyId, TextKind::Statement);
}

std::u16string PostgresDialect::TableSpaceClause(const SqlModel& model, const CMOObject& object) const {
  const CMOObject* tableSpace = model.Referenced(object, model::TableSpaceRef);
  return tableSpace != nullptr ? u" TABLESPACE " + Name(values::Name(*tableSpace)) : std::u16string();
}

std::u16string PostgresDialect::RelationComments(const SqlModel& model, const CMOObject& relation,
                                                 std::u16string_view kind) const {
  const std::u16string name = QualifiedName(model, relation);
  std::u16string text = CommentOn(kind, name, relation);
  for (const CMOObject* column : model.Children(relation, model::Column))
    text += CommentOn(u"COLUMN", name + u'.' + Name(values::Name(*column)), *column);
  return text;
}

std::u16string PostgresDialect::ConstraintText(const SqlModel& model, const CMOObject& constraint) const {
  const std::u16string& definition = Text(constraint, model::Definition);
  if (definition.empty()) {
    switch (constraint.GetObjectType()) {
      case model::Key: return KeyClause(model, constraint);
      case model::ForeignKey: return ForeignKeyClause(model, constraint);
      default: return CheckClause(constraint);
    }
  }
  return (values::Name(constraint).empty() ? u"" : u"CONSTRAINT " + Name(values::Name(constraint)) + u' ') +
         Proven(constraint, model::Definition, TextKind::Clause);
}

std::u16string PostgresDialect::RoutineSignature(const SqlModel& model, const CMOObject& routine) const {
  std::vector<std::pair<std::int64_t, const CMOObject*>> arguments;
  for (const CMOObject* parameter : model.Children(routine, model::Parameter))
    if (IsArgument(*parameter)) arguments.emplace_back(Integer(*parameter, model::Position).value_or(0), parameter);
  std::stable_sort(arguments.begin(), arguments.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::u16string text = QualifiedName(model, routine) + u'(';
  for (std::size_t i = 0; i < arguments.size(); ++i)
    text += (i > 0 ? u", " : u"") + Proven(*arguments[i].second, model::DataType, TextKind::Type);
  return text + u')';
}

void PostgresDialect::WriteSchema(Script& script, const SqlModel&, const CMOObject& schema) const {
  // Every new database has public.
  const std::u16string name = Name(values::Name(schema));
  const bool everyDatabase = values::Name(schema) == u"public";
  script.Add(kSchemas, schema,
             (everyDatabase ? u"CREATE SCHEMA IF NOT EXISTS " : u"CREATE SCHEMA ") + name + u";\n" +
                 CommentOn(u"SCHEMA", name, schema));
}

void PostgresDialect::WriteTableSpace(Script& script, const SqlModel&, const CMOObject& tableSpace) const {
  // The cluster's own two always exist.
  if (values::Name(tableSpace) == u"pg_default" || values::Name(tableSpace) == u"pg_global") return;
  NotWritten(script, kSchemas, tableSpace,
             u"CREATE TABLESPACE names a folder of the server; the TABLESPACE clauses below expect it to exist");
}

void PostgresDialect::WriteType(Script& script, const SqlModel& model, const CMOObject& type) const {
  const std::u16string name = QualifiedName(model, type);
  std::u16string text;
  std::u16string_view kind = u"TYPE";
  switch (TypeKindOf(type)) {
    case TypeKind::Enum:
      text = u"CREATE TYPE " + name + u" AS ENUM (" + Proven(type, model::EnumLabels, TextKind::ExpressionList) + u")";
      break;
    case TypeKind::Composite: {
      text = u"CREATE TYPE " + name + u" AS (";
      const std::vector<std::u16string> entries =
          AttributeEntries(Proven(type, model::AttributeList, TextKind::Clause), Tokens());
      for (std::size_t i = 0; i < entries.size(); ++i) text += (i > 0 ? u",\n    " : u"\n    ") + entries[i];
      text += entries.empty() ? u")" : u"\n)";
      break;
    }
    case TypeKind::Domain:
      kind = u"DOMAIN";
      text = u"CREATE DOMAIN " + name + u" AS " + Proven(type, model::BaseType, TextKind::Type);
      if (HasText(type, model::DefaultValue)) text += u" DEFAULT " + Proven(type, model::DefaultValue, TextKind::Expression);
      if (Integer(type, model::Nullable) == 0) text += u" NOT NULL";
      if (!Text(type, model::CheckExpression).empty())
        text += u' ' + Proven(type, model::CheckExpression, TextKind::Clause);
      break;
    case TypeKind::Range:
      text = u"CREATE TYPE " + name + u" AS RANGE (subtype = " + Proven(type, model::BaseType, TextKind::Type) + u")";
      break;
    case TypeKind::Unknown:
      NotWritten(script, kTypes, type, u"the model does not say what kind of type it is");
      return;
  }
  script.Add(kTypes, type, Statement(text, Tokens()) + CommentOn(kind, name, type), true);
}

std::u16string PostgresDialect::ColumnDefinition(const SqlModel& model, const CMOObject& column) const {
  const CMOObject* sequence = model.IdentitySequence(column.GetObjectId());
  if (sequence == nullptr) return SqlDialect::ColumnDefinition(model, column);
  // The identity's own sequence, with the name and numbers the model holds.
  std::u16string text = Name(values::Name(column)) + u' ' + Proven(column, model::DataType, TextKind::Type);
  text += IdentityOf(column) == Identity::Always ? u" GENERATED ALWAYS AS IDENTITY (" : u" GENERATED BY DEFAULT AS IDENTITY (";
  text += u"SEQUENCE NAME " + QualifiedName(model, *sequence);
  auto number = [&](const char16_t* clause, int propertyId) {
    if (const std::optional<std::int64_t> value = Integer(*sequence, propertyId)) text += clause + Decimal(*value);
  };
  number(u" START WITH ", model::SequenceStart);
  number(u" INCREMENT BY ", model::SequenceIncrement);
  number(u" MINVALUE ", model::SequenceMin);
  number(u" MAXVALUE ", model::SequenceMax);
  text += Flag(*sequence, model::SequenceCycle) ? u" CYCLE)" : u" NO CYCLE)";
  if (!Text(column, model::Collation).empty()) text += u" COLLATE " + Proven(column, model::Collation, TextKind::Type);
  if (Integer(column, model::Nullable) == 0) text += u" NOT NULL";
  return text;
}

void PostgresDialect::WriteTable(Script& script, const SqlModel& model, const CMOObject& table) const {
  const std::u16string name = QualifiedName(model, table);
  const RelationKind kind = RelationKindOf(table);
  const std::u16string create = kind == RelationKind::UnloggedTable ? u"CREATE UNLOGGED TABLE " : u"CREATE TABLE ";
  std::u16string text;
  std::u16string after;  // statements after CREATE TABLE
  // Checks a NOT VALID leaves unchecked are added on their own (WriteCheck).
  auto inlineCheck = [&](const CMOObject& check) {
    return !model.InheritedFromParent(check) && !EndsWithWords(Text(check, model::Definition), u"NOT VALID");
  };
  if (const CMOObject* parent = model.PartitionParent(table)) {
    // A partition has its parent's columns, with their defaults and NOT
    // NULL; only what differs is written.
    std::vector<std::u16string> lines;
    for (const CMOObject* column : model.Children(table, model::Column)) {
      const CMOObject* inherited = nullptr;
      for (const CMOObject* candidate : model.Children(*parent, model::Column))
        if (values::Name(*candidate) == values::Name(*column)) inherited = candidate;
      std::u16string options;
      if (Integer(*column, model::Nullable) == 0 && (inherited == nullptr || Integer(*inherited, model::Nullable) != 0))
        options += u" NOT NULL";
      const bool ownDefault = HasText(*column, model::DefaultValue);
      const bool parentDefault = inherited != nullptr && HasText(*inherited, model::DefaultValue);
      if (ownDefault && (!parentDefault || Text(*column, model::DefaultValue) != Text(*inherited, model::DefaultValue)))
        options += u" DEFAULT " + Proven(*column, model::DefaultValue, TextKind::Expression);
      if (!ownDefault && parentDefault)
        after += u"ALTER TABLE " + name + u" ALTER COLUMN " + Name(values::Name(*column)) + u" DROP DEFAULT;\n";
      if (!options.empty()) lines.push_back(Name(values::Name(*column)) + u" WITH OPTIONS" + options);
    }
    for (const CMOObject* check : model.Children(table, model::CheckConstraint))
      if (inlineCheck(*check)) lines.push_back(ConstraintText(model, *check));
    text = create + name + u" PARTITION OF " + QualifiedName(model, *parent);
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? u",\n    " : u" (\n    ") + lines[i];
    if (!lines.empty()) text += u"\n)";
    text += u' ' + (Text(table, model::PartitionBound).empty() ? u"DEFAULT"
                                                               : Proven(table, model::PartitionBound, TextKind::Clause));
  } else {
    std::vector<std::u16string> lines;
    std::vector<const CMOObject*> columns = model.Children(table, model::Column);
    std::stable_sort(columns.begin(), columns.end(), [](const CMOObject* a, const CMOObject* b) {
      return Integer(*a, model::Position).value_or(0) < Integer(*b, model::Position).value_or(0);
    });
    for (const CMOObject* column : columns) lines.push_back(ColumnDefinition(model, *column));
    for (const CMOObject* check : model.Children(table, model::CheckConstraint))
      if (inlineCheck(*check)) lines.push_back(ConstraintText(model, *check));
    text = create + name + u" (";
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? u",\n    " : u"\n    ") + lines[i];
    text += lines.empty() ? u")" : u"\n)";
  }
  if (!Text(table, model::Definition).empty()) text += u' ' + Proven(table, model::Definition, TextKind::Clause);
  text += TableSpaceClause(model, table);
  std::u16string comments = RelationComments(model, table, u"TABLE");
  // The identity sequences' comments, made with their columns.
  for (const CMOObject* column : model.Children(table, model::Column))
    if (const CMOObject* sequence = model.IdentitySequence(column->GetObjectId()))
      comments += CommentOn(u"SEQUENCE", QualifiedName(model, *sequence), *sequence);
  script.Add(kTables, table, Statement(text, Tokens()) + after + comments, true);
}

void PostgresDialect::WriteKey(Script& script, const SqlModel& model, const CMOObject& key) const {
  const CMOObject* table = model.Parent(key);
  if (table == nullptr) return;
  const std::u16string tableName = QualifiedName(model, *table);
  script.Add(kKeys, key,
             Statement(u"ALTER TABLE " + tableName + u" ADD " + ConstraintText(model, key), Tokens()) +
                 CommentOn(u"CONSTRAINT", Name(values::Name(key)) + u" ON " + tableName, key));
}

void PostgresDialect::WriteCheck(Script& script, const SqlModel& model, const CMOObject& check) const {
  const CMOObject* table = model.Parent(check);
  if (table == nullptr || model.InheritedFromParent(check)) return;
  const std::u16string tableName = QualifiedName(model, *table);
  std::u16string text;
  if (EndsWithWords(Text(check, model::Definition), u"NOT VALID"))
    text = Statement(u"ALTER TABLE " + tableName + u" ADD " + ConstraintText(model, check), Tokens());
  text += CommentOn(u"CONSTRAINT", Name(values::Name(check)) + u" ON " + tableName, check);
  if (!text.empty()) script.Add(kKeys, check, std::move(text));
}

void PostgresDialect::WriteForeignKey(Script& script, const SqlModel& model, const CMOObject& foreignKey) const {
  const CMOObject* table = model.Parent(foreignKey);
  const std::u16string clause = ConstraintText(model, foreignKey);
  if (table == nullptr || Trimmed(clause).empty()) {
    NotWritten(script, kForeignKeys, foreignKey, u"the model holds neither its referenced table nor its definition");
    return;
  }
  const std::u16string tableName = QualifiedName(model, *table);
  script.Add(kForeignKeys, foreignKey,
             Statement(u"ALTER TABLE " + tableName + u" ADD " + clause, Tokens()) +
                 CommentOn(u"CONSTRAINT", Name(values::Name(foreignKey)) + u" ON " + tableName, foreignKey));
}

std::u16string PostgresDialect::IndexMethodClause(const CMOObject& index) const {
  const std::u16string& method = Text(index, model::IndexMethod);
  return method.empty() ? std::u16string() : u" USING " + Name(method);
}

void PostgresDialect::WriteIndex(Script& script, const SqlModel& model, const CMOObject& index) const {
  const CMOObject* table = model.Parent(index);
  std::u16string text = Text(index, model::SqlText);
  if (!StartsWithWord(text, u"CREATE", Tokens())) {
    text = CreateIndex(model, index);
  } else {
    ServerStatement(index, model::SqlText, {u"INDEX"});
    if (table != nullptr && RelationKindOf(*table) == RelationKind::PartitionedTable) {
      // The server prints a partitioned table's index ON ONLY the table;
      // made on the whole table, it takes over its partitions' indexes.
      const std::u16string only = u" ON ONLY " + QualifiedName(model, *table) + u' ';
      const std::size_t at = text.find(only);
      if (at != std::u16string::npos) text.replace(at, only.size(), u" ON " + QualifiedName(model, *table) + u' ');
    }
  }
  const std::u16string tableSpace = TableSpaceClause(model, index);
  if (!tableSpace.empty()) {
    // TABLESPACE stands before a partial index's WHERE.
    const std::u16string where = u" WHERE " + Text(index, model::Predicate);
    const bool partial = !Text(index, model::Predicate).empty() && text.size() > where.size() &&
                         text.compare(text.size() - where.size(), where.size(), where) == 0;
    text.insert(partial ? text.size() - where.size() : text.size(), tableSpace);
  }
  const CMOObject* schema = model.SchemaOf(index);
  const std::u16string indexName =
      (schema != nullptr ? Name(values::Name(*schema)) + u'.' : u"") + Name(values::Name(index));
  script.Add(kIndexes, index, Statement(text, Tokens()) + CommentOn(u"INDEX", indexName, index));
}

void PostgresDialect::WriteView(Script& script, const SqlModel& model, const CMOObject& view) const {
  std::u16string query = Trimmed(Text(view, model::Definition));
  if (query.empty()) {
    NotWritten(script, kViews, view, u"the model holds no definition of it");
    return;
  }
  if (query.back() == u';') query = Trimmed(std::u16string_view(query).substr(0, query.size() - 1));
  Prove(view, model::Definition, query, TextKind::Query);
  const std::u16string name = QualifiedName(model, view);
  const bool materialized = RelationKindOf(view) == RelationKind::MaterializedView;
  const std::u16string text = materialized ? u"CREATE MATERIALIZED VIEW " + name + TableSpaceClause(model, view) +
                                                 u" AS\n" + query + u"\n  WITH NO DATA"
                                           : u"CREATE VIEW " + name + u" AS\n" + query;
  script.Add(kViews, view,
             Statement(text, Tokens()) + RelationComments(model, view, materialized ? u"MATERIALIZED VIEW" : u"VIEW"),
             true);
}

void PostgresDialect::WriteRoutine(Script& script, const SqlModel& model, const CMOObject& routine) const {
  const std::u16string& text = Text(routine, model::SqlText);
  if (!StartsWithWord(text, u"CREATE", Tokens())) {
    NotWritten(script, kRoutines, routine,
               RoutineKindOf(routine) == RoutineKind::Aggregate
                   ? u"the model holds the aggregate's arguments and result but not its functions and state"
                   : u"the model holds no CREATE statement for it");
    return;
  }
  const std::u16string_view kind = RoutineKindOf(routine) == RoutineKind::Procedure ? u"PROCEDURE" : u"FUNCTION";
  ServerStatement(routine, model::SqlText, {u"FUNCTION", u"PROCEDURE"});
  script.Add(kRoutines, routine, Statement(text, Tokens()) + CommentOn(kind, RoutineSignature(model, routine), routine),
             true);
}

void PostgresDialect::WriteTrigger(Script& script, const SqlModel& model, const CMOObject& trigger) const {
  // A partitioned table's trigger is copied to its partitions by the server.
  if (model.InheritedFromParent(trigger)) return;
  const CMOObject* table = model.Parent(trigger);
  const std::u16string& text = Text(trigger, model::Definition);
  if (table == nullptr || !StartsWithWord(text, u"CREATE", Tokens())) {
    NotWritten(script, kTriggers, trigger, u"the model holds no CREATE statement for it");
    return;
  }
  ServerStatement(trigger, model::Definition, {u"TRIGGER"});
  script.Add(kTriggers, trigger,
             Statement(text, Tokens()) +
                 CommentOn(u"TRIGGER", Name(values::Name(trigger)) + u" ON " + QualifiedName(model, *table), trigger));
}

void PostgresDialect::Finish(Script& script, const SqlModel& model) const {
  // A sequence that belongs to a column (a serial column's) is tied to it
  // once both exist: it is then dropped with the column, and pg_dump and
  // the server's serial handling know it as the column's.
  const GenericModel& whole = model.Model();
  for (int id = 2; id <= whole.GetObjectCount(); ++id) {
    const CMOObject* sequence = whole.GetCMOObject(id);
    if (sequence == nullptr || sequence->GetObjectType() != model::Sequence || model.Omitted(id)) continue;
    const CMOObject* column = model.Referenced(*sequence, model::OwnedBy);
    const CMOObject* table = column != nullptr ? model.Parent(*column) : nullptr;
    if (table == nullptr || table->GetObjectType() != model::Table || model.Omitted(table->GetObjectId()) ||
        script.StatementsOf(id).empty() || script.StatementsOf(table->GetObjectId()).empty())
      continue;
    const int statement = script.Add(kKeys, *sequence,
                                     Statement(u"ALTER SEQUENCE " + QualifiedName(model, *sequence) + u" OWNED BY " +
                                                   QualifiedName(model, *table) + u'.' + Name(values::Name(*column)),
                                               Tokens()));
    for (int before : script.StatementsOf(table->GetObjectId())) script.Follow(statement, before);
  }
}

std::u16string PostgresDialect::Privileges(const SqlModel& model, const CMOObject& object) const {
  // What ALTER ... OWNER TO names the object as, and what GRANT does.
  std::u16string alter;
  std::u16string target;
  std::u16string column;  // a column's grants: "(name)" after each privilege
  const CMOObject* on = &object;
  switch (object.GetObjectType()) {
    case model::Schema:
      alter = target = u"SCHEMA " + Name(values::Name(object));
      break;
    case model::Table:
      alter = u"TABLE " + QualifiedName(model, object);
      target = alter;
      break;
    case model::View:
      alter = (RelationKindOf(object) == RelationKind::MaterializedView ? u"MATERIALIZED VIEW " : u"VIEW ") +
              QualifiedName(model, object);
      target = u"TABLE " + QualifiedName(model, object);
      break;
    case model::Sequence:
      // One that belongs to a column has its table's owner, and the server
      // refuses to give it another.
      if (Ids(object, model::OwnedBy).empty()) alter = u"SEQUENCE " + QualifiedName(model, object);
      target = u"SEQUENCE " + QualifiedName(model, object);
      break;
    case model::Routine:
      alter = target = u"ROUTINE " + RoutineSignature(model, object);
      break;
    case model::UserType:
      alter = target = (TypeKindOf(object) == TypeKind::Domain ? u"DOMAIN " : u"TYPE ") + QualifiedName(model, object);
      break;
    case model::Column:
      on = model.Parent(object);
      if (on == nullptr || on->GetObjectType() == model::Column) return {};
      target = u"TABLE " + QualifiedName(model, *on);
      column = u" (" + Name(values::Name(object)) + u")";
      break;
    default:
      return {};
  }
  // Every name is quoted as needed and the privileges are keywords; each
  // statement is proven all the same.
  std::u16string text;
  auto add = [&](const CMOObject& from, int propertyId, const std::u16string& statement) {
    Prove(from, propertyId, statement, TextKind::Statement);
    text += Statement(statement, Tokens());
  };
  if (!alter.empty() && HasText(object, model::Owner))
    add(object, model::Owner, u"ALTER " + alter + u" OWNER TO " + Name(Text(object, model::Owner)));
  const std::vector<const CMOObject*> grants = model.Children(object, model::Grant);
  // The grants are the object's whole list: what the server grants by
  // default (to PUBLIC, to the owner) goes first, as it went there.
  if (!grants.empty() && column.empty()) {
    add(object, model::Owner, u"REVOKE ALL ON " + target + u" FROM PUBLIC");
    if (HasText(object, model::Owner))
      add(object, model::Owner, u"REVOKE ALL ON " + target + u" FROM " + Name(Text(object, model::Owner)));
  }
  for (const CMOObject* grant : grants) {
    // "public" is PUBLIC, which no role may be named.
    const std::u16string grantee = values::Name(*grant) == u"public" ? u"PUBLIC" : Name(values::Name(*grant));
    const std::u16string all = PrivilegeList(*grant, false, column);
    const std::u16string grantable = PrivilegeList(*grant, true, column);
    // Those with the grant option once more, with it.
    if (!all.empty()) add(*grant, model::Name, u"GRANT " + all + u" ON " + target + u" TO " + grantee);
    if (!grantable.empty())
      add(*grant, model::Name,
          u"GRANT " + grantable + u" ON " + target + u" TO " + grantee + u" WITH GRANT OPTION");
  }
  return text;
}

}  // namespace writers::sql

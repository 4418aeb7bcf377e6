#include <writers/SqlStatements.h>

#include "ModelValues.h"
#include "SqlDialect.h"
#include "SqlScript.h"

#include <tillerhold/ModelVocabulary.h>

#include <stdexcept>

namespace writers {

namespace {

using namespace sql;

bool Is(const SqlDialect& dialect, std::string_view name) { return DialectName(dialect) == name; }

// Whether the text holds only what a type name is made of: words, quoted
// names, numbers, blanks and ( ) , . [ ]. A type so made cannot end the
// statement or start another.
bool PlainType(std::u16string_view type, const TokenRules& rules) {
  if (Trimmed(type).empty()) return false;
  for (const Token& token : Tokenize(type, rules)) {
    switch (token.kind) {
      case TokenKind::Word:
      case TokenKind::QuotedName:
      case TokenKind::Number:
      case TokenKind::Space:
        break;
      case TokenKind::Punctuation:
        if (std::u16string_view(u"(),.[]").find(type[token.begin]) == std::u16string_view::npos) return false;
        break;
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

SqlStatements::SqlStatements(const GenericModel& model, std::string_view dialect)
    : m_dialect(DialectNamed(dialect)) {
  if (m_dialect == nullptr) throw std::invalid_argument("no SQL dialect is named " + std::string(dialect));
  m_sql = std::make_unique<SqlModel>(model);
  m_dialect->Prepare(*m_sql);
}

SqlStatements::~SqlStatements() = default;

std::vector<std::string_view> SqlStatements::DialectNames() { return sql::DialectNames(); }

std::string_view SqlStatements::Dialect() const { return DialectName(*m_dialect); }

bool SqlStatements::NeedsQuotes(std::u16string_view name) const {
  if (!Is(*m_dialect, "standard")) return m_dialect->NeedsQuotes(name);
  std::u16string upper(name);
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return m_dialect->NeedsQuotes(upper);
}

std::u16string SqlStatements::Name(std::u16string_view name) const { return m_dialect->Name(name); }

std::u16string SqlStatements::QualifiedName(const CMOObject& object) const {
  return m_dialect->QualifiedName(*m_sql, object);
}

bool SqlStatements::MadeByDatabase(const CMOObject& object) const {
  for (const CMOObject* step = &object; step != nullptr; step = m_sql->Parent(*step))
    if (m_sql->Omitted(step->GetObjectId())) return true;
  return false;
}

std::u16string SqlStatements::CreateIndex(const CMOObject& table, std::u16string_view indexName,
                                          const std::vector<int>& columns) const {
  std::u16string text = u"CREATE INDEX ";
  const CMOObject* schema = m_sql->SchemaOf(table);
  if (Is(*m_dialect, "sqlite") && schema != nullptr && m_dialect->QualifiedName(*m_sql, table) != Name(values::Name(table))) {
    // SQLite names the database before the index, and the table alone.
    text += Name(values::Name(*schema)) + u'.' + Name(indexName) + u" ON " + Name(values::Name(table));
  } else {
    text += Name(indexName) + u" ON " + QualifiedName(table);
  }
  text += u" (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const CMOObject* column = m_sql->Object(columns[i]);
    text += (i > 0 ? u", " : u"") + (column != nullptr ? Name(values::Name(*column)) : u"?");
  }
  return text + u");";
}

std::u16string SqlStatements::DropIndex(const CMOObject& indexOrKey) const {
  const CMOObject* table = m_sql->Parent(indexOrKey);
  if (table == nullptr) return {};
  if (indexOrKey.GetObjectType() == model::Key) {
    if (values::KeyKindOf(indexOrKey) != values::KeyKind::Unique || Is(*m_dialect, "sqlite")) return {};
    if (Is(*m_dialect, "mariadb"))
      return u"ALTER TABLE " + QualifiedName(*table) + u" DROP INDEX " + Name(values::Name(indexOrKey)) + u';';
    return u"ALTER TABLE " + QualifiedName(*table) + u" DROP CONSTRAINT " + Name(values::Name(indexOrKey)) + u';';
  }
  if (Is(*m_dialect, "mariadb"))
    return u"DROP INDEX " + Name(values::Name(indexOrKey)) + u" ON " + QualifiedName(*table) + u';';
  return u"DROP INDEX " + QualifiedName(indexOrKey) + u';';
}

std::u16string SqlStatements::AddPrimaryKey(const CMOObject& table, const std::vector<int>& columns) const {
  if (Is(*m_dialect, "sqlite")) return {};
  std::u16string text = u"ALTER TABLE " + QualifiedName(table) + u" ADD PRIMARY KEY (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const CMOObject* column = m_sql->Object(columns[i]);
    text += (i > 0 ? u", " : u"") + (column != nullptr ? Name(values::Name(*column)) : u"?");
  }
  return text + u");";
}

std::u16string SqlStatements::SetNotNull(const CMOObject& column) const {
  const CMOObject* table = m_sql->Parent(column);
  if (!Is(*m_dialect, "postgresql") || table == nullptr) return {};
  return u"ALTER TABLE " + QualifiedName(*table) + u" ALTER COLUMN " + Name(values::Name(column)) + u" SET NOT NULL;";
}

std::u16string SqlStatements::SetColumnType(const CMOObject& column, std::u16string_view type) const {
  const CMOObject* table = m_sql->Parent(column);
  if (!Is(*m_dialect, "postgresql") || table == nullptr || !PlainType(type, m_dialect->Tokens())) return {};
  return u"ALTER TABLE " + QualifiedName(*table) + u" ALTER COLUMN " + Name(values::Name(column)) + u" TYPE " +
         Trimmed(type) + u';';
}

std::u16string SqlStatements::MakeDeferrable(const CMOObject& foreignKey) const {
  const CMOObject* table = m_sql->Parent(foreignKey);
  if (!Is(*m_dialect, "postgresql") || table == nullptr) return {};
  return u"ALTER TABLE " + QualifiedName(*table) + u" ALTER CONSTRAINT " + Name(values::Name(foreignKey)) +
         u" DEFERRABLE INITIALLY IMMEDIATE;";
}

}  // namespace writers

// The sql format's round trip on SQLite: each test schema (the bundled
// sample, the real applications' schemas of tests/data/schemas, the
// hostile names of tests/hardening) is loaded into a real file and
// imported through the real driver; the model is written as SQL, the SQL
// run in an empty file with SQLite itself, that file imported again, and
// the two models compared through the differ: they agree object by
// object. Twice: as imported (SQLite's own CREATE texts are written as
// the model holds them), and with those texts taken out of the model, so
// that every table and index is built from its properties.
#include "RoundTrip.h"
#include "sql/SqlDialect.h"

#include <HostileNames.h>
#include <ImportHost.h>
#include <RealSchemas.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

namespace writers::test {
namespace {

using qm::test::hardening::HostileNames;
using qm::test::hardening::MixedText;
using qm::test::hardening::QuoteIdent;
using qm::test::hardening::QuoteText;

// Every kind of object SQLite has, named with the hostile names (but
// "mixed", which SQLite takes for "Mixed"), the empty name and names of
// 2,000 characters: tables with keys, checks, defaults and a generated
// column, foreign keys, indexes, views and triggers.
std::string HostileScript() {
  std::vector<std::string> names;
  for (const std::string& name : HostileNames())
    if (name != "mixed") names.push_back(name);
  for (const std::string& name : {std::string(), std::string(2000, 'N'), MixedText(2000)}) names.push_back(name);
  std::string sql = "BEGIN;\n";
  for (const std::string& n : names) {
    const std::string t = QuoteIdent(n);
    const std::string other = QuoteIdent("other " + n);
    sql += "CREATE TABLE " + t + " (" + t + " INTEGER PRIMARY KEY, " + other + " TEXT UNIQUE DEFAULT " + QuoteText(n) +
           " CONSTRAINT " + QuoteIdent("ck " + n) + " CHECK (" + other + " <> " + QuoteText(n + "!") + "), " +
           QuoteIdent("gen " + n) + " TEXT GENERATED ALWAYS AS (" + other + " || 'x') VIRTUAL);\n";
    sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + other + " DESC, lower(" + other + ")) WHERE " +
           t + " > 0;\n";
    sql += "CREATE VIEW " + QuoteIdent("v " + n) + " AS SELECT " + t + " AS " + t + " FROM " + t + ";\n";
    sql += "CREATE VIEW " + QuoteIdent("vv " + n) + " AS SELECT * FROM " + QuoteIdent("v " + n) + ";\n";
    sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " BEGIN SELECT " + QuoteText(n) +
           "; END;\n";
    sql += "CREATE TABLE " + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " INTEGER REFERENCES " + t +
           " (" + t + ") ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED, " + QuoteIdent("k " + n) +
           " TEXT, PRIMARY KEY (" + QuoteIdent("k " + n) + ", " + QuoteIdent("ref " + n) + ")) WITHOUT ROWID;\n";
  }
  return sql + "CREATE VIEW \"long view\" AS SELECT '" + std::string(100000, 'L') + "' AS t;\nCOMMIT;\n";
}

// The foreign key clause SQLite reports (FOREIGN KEY ("a") REFERENCES "t"
// ("b") ...) without the parent's column list.
std::u16string WithoutParentColumns(const std::u16string& clause) {
  const std::size_t references = clause.find(u") REFERENCES \"");
  if (references == std::u16string::npos) return clause;
  std::size_t end = references + 14;  // past the table name's opening quote
  while (end < clause.size() && !(clause[end] == u'"' && (end + 1 == clause.size() || clause[end + 1] != u'"')))
    end += clause[end] == u'"' ? 2 : 1;
  const std::size_t open = end + 1;
  if (clause.compare(open, 2, u" (") != 0) return clause;
  const std::size_t close = clause.find(u')', open);
  return close == std::u16string::npos ? clause : clause.substr(0, open) + clause.substr(close + 1);
}

struct Source {
  std::string name;    // for the test's name
  std::string script;  // what makes the database
};

std::vector<Source> Sources() {
  std::vector<Source> sources = {{"sample", qm::test::ReadFile(QM_SAMPLE_SQL)}, {"hostile", HostileScript()}};
  for (const std::string& application : qm::test::RealSchemaApps("sqlite"))
    sources.push_back({application, qm::test::RealSchemaSql(application, "sqlite")});
  return sources;
}

enum class Variant { AsImported, FromProperties };

void PrintTo(Variant variant, std::ostream* out) {
  *out << (variant == Variant::AsImported ? "as imported" : "from properties");
}

class SqliteRoundTrip : public ::testing::TestWithParam<std::tuple<std::size_t, Variant>> {
 protected:
  static qm::test::LoadedPlugin& Plugin() {
    static qm::test::LoadedPlugin plugin(QM_SQLITE_PLUGIN);
    return plugin;
  }
  static const std::vector<Source>& AllSources() {
    static const std::vector<Source> sources = Sources();
    return sources;
  }

  // Imports the file; the import must succeed without a failed statement.
  void Import(const std::string& path, GenericModel& model) {
    const qm::test::ImportOutcome outcome = qm::test::RunImport(Plugin().Api(), model, path);
    ASSERT_TRUE(qm::test::ReadInFull(outcome));
  }

  qm::test::TempDir m_dir;
};

TEST_P(SqliteRoundTrip, ModelsAgreeObjectByObject) {
  ASSERT_TRUE(Plugin().Loaded());
  const auto [index, variant] = GetParam();
  const Source& source = AllSources()[index];
  const std::string original = m_dir.Path("original.db");
  qm::test::SqliteFile(original).Exec(source.script);

  GenericModel before(Plugin().Api().modelType);
  Import(original, before);
  ASSERT_GT(before.GetObjectCount(), 10) << "the schema made nothing";

  std::vector<Allowance> allowances;
  GenericModel written(before.GetModelType());
  if (variant == Variant::FromProperties) {
    // A virtual table is nothing but its text (the module's arguments), a
    // foreign key to a table that does not exist nothing but its clause.
    CopyWithout(before, written, [](const CMOObject& object, int propertyId) {
      const int type = object.GetObjectType();
      const CMOProperty* kind = object.GetProperty(model::TableKind);
      const bool isVirtual = kind != nullptr && kind->GetWStringValue().find(u"virtual") != std::u16string::npos;
      return (propertyId == model::SqlText && ((type == model::Table && !isVirtual) || type == model::Index)) ||
             (propertyId == model::Definition && type == model::ForeignKey &&
              object.GetProperty(model::ReferencedTable) != nullptr);
    });
    allowances.push_back(PropertyOf(model::Table, model::SqlText,
                                    "the table is written from its properties: the CREATE text is the writer's"));
    allowances.push_back(PropertyOf(model::Index, model::SqlText,
                                    "the index is written from its properties: the CREATE text is the writer's"));
    allowances.push_back(
        {"a foreign key that names no parent columns refers to the parent's primary key; written from its "
         "properties it names those columns, and SQLite's clause then lists them",
         [](const ObjectDifference& object, const PropertyDifference* property) {
           return object.change == ObjectDifference::Change::Changed && object.type == model::ForeignKey &&
                  property != nullptr && property->propertyId == model::Definition &&
                  WithoutParentColumns(property->after.text) == property->before.text;
         }});
  }
  const std::string sql = SqlOf(variant == Variant::FromProperties ? written : before);

  const std::string copy = m_dir.Path("copy.db");
  const std::string loaded = LoadIntoSqlite(copy, sql);
  ASSERT_EQ(loaded, "") << sql.substr(0, 4000);
  GenericModel after(Plugin().Api().modelType);
  Import(copy, after);
  EXPECT_EQ(Unexplained(DiffModels(before, after), allowances), "") << sql.substr(0, 20000);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::size_t, Variant>>& info) {
  std::string name = Sources()[std::get<0>(info.param)].name;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name + (std::get<1>(info.param) == Variant::AsImported ? "_AsImported" : "_FromProperties");
}

// SQLite's own list of its keywords: every one is quoted, in any case.
TEST(SqliteKeywordsTest, EveryKeywordIsQuoted) {
  const GenericModel model(1001);
  const sql::SqlDialect& dialect = sql::DialectFor(model);
  ASSERT_GT(sqlite3_keyword_count(), 100);
  for (int i = 0; i < sqlite3_keyword_count(); ++i) {
    const char* word = nullptr;
    int length = 0;
    ASSERT_EQ(sqlite3_keyword_name(i, &word, &length), SQLITE_OK);
    std::string lower(word, static_cast<std::size_t>(length));
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(dialect.NeedsQuotes(platform::Utf8ToUtf16(std::string(word, static_cast<std::size_t>(length))))) << word;
    EXPECT_TRUE(dialect.NeedsQuotes(platform::Utf8ToUtf16(lower))) << lower;
  }
}

INSTANTIATE_TEST_SUITE_P(Schemas, SqliteRoundTrip,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Sources().size()),
                                            ::testing::Values(Variant::AsImported, Variant::FromProperties)),
                         CaseName);

}  // namespace
}  // namespace writers::test

// The sql format's round trip on PostgreSQL: each test schema (the real
// applications' schemas of tests/data/schemas, the plug-in tests' shop
// schema with partitions, every kind of type and routine, and a schema of
// hostile names) is loaded into a database of the test server and
// imported; the model is written as SQL, the SQL run with psql in an empty
// database, that database imported again, and the two models compared
// through the differ: they agree object by object, but for what is listed
// with its reason. Twice: as imported (the server's constraint and index
// definitions written as the model holds them), and with those texts taken
// out of the model, so that keys, checks, foreign keys and indexes are
// built from their properties.
#include "RoundTrip.h"
#include "sql/SqlDialect.h"

#include <HostileNames.h>
#include <ImportHost.h>
#include <PgServer.h>
#include <PgShopSchema.h>
#include <PgTestEnv.h>
#include <RealSchemas.h>
#include <TempDir.h>

#include <platform/Utf.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace writers::test {
namespace {

using qm::test::hardening::HostileNames;
using qm::test::hardening::MixedText;
using qm::test::hardening::QuoteIdent;
using qm::test::hardening::QuoteText;

// Hostile names in every kind of object the plug-in reads: schemas,
// enum and composite types, a domain, sequences, tables with identity,
// generated and defaulted columns, keys, checks, foreign keys, indexes,
// views over views, functions with hostile parameter names and defaults,
// triggers, comments and list partitions.
std::string HostileScript() {
  const std::string s = QuoteIdent("sch \"q' \\ %s\n\xF0\x9F\x98\x80");
  std::string sql = "CREATE SCHEMA " + s + ";\nCREATE SCHEMA \"Mixed\"; CREATE SCHEMA mixed;\n"
                    "CREATE TABLE \"Mixed\".t (\"Mixed\" integer); CREATE TABLE mixed.t (mixed integer);\n"
                    "CREATE FUNCTION " + s + ".\"trg fn\"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN RETURN NEW; END $f$;\n"
                    "CREATE TABLE " + s + ".parted (k text, n integer DEFAULT 7) PARTITION BY LIST (k);\n";
  std::string labels;
  std::string attributes;
  for (const std::string& n : HostileNames()) {
    const std::string t = s + "." + QuoteIdent(n);
    const std::string other = QuoteIdent("other " + n);
    sql += "CREATE SEQUENCE " + s + "." + QuoteIdent("seq " + n) + " START 5;\n";
    sql += "CREATE TABLE " + t + " (" + QuoteIdent(n) + " integer CONSTRAINT " + QuoteIdent("pk " + n) + " PRIMARY KEY, " +
           other + " text DEFAULT " + QuoteText(n) + ", " + QuoteIdent("id " + n) + " bigint GENERATED ALWAYS AS IDENTITY, " +
           QuoteIdent("gen " + n) + " text GENERATED ALWAYS AS (" + other + " || 'x') STORED, CONSTRAINT " +
           QuoteIdent("uq " + n) + " UNIQUE (" + other + "), CONSTRAINT " + QuoteIdent("ck " + n) + " CHECK (" +
           QuoteIdent(n) + " > 0 OR " + other + " <> " + QuoteText(n) + "));\n";
    sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + other + " DESC, lower(" + other + ")) WHERE " +
           QuoteIdent(n) + " > 0;\n";
    sql += "CREATE VIEW " + s + "." + QuoteIdent("v " + n) + " AS SELECT " + QuoteIdent(n) + " FROM " + t + ";\n";
    sql += "CREATE VIEW " + s + "." + QuoteIdent("vv " + n) + " AS SELECT * FROM " + s + "." + QuoteIdent("v " + n) + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " integer CONSTRAINT " +
           QuoteIdent("fk " + n) + " REFERENCES " + t + " (" + QuoteIdent(n) + ") ON DELETE CASCADE);\n";
    sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " FOR EACH ROW EXECUTE FUNCTION " + s +
           ".\"trg fn\"();\n";
    sql += "CREATE FUNCTION " + s + "." + QuoteIdent("fn " + n) + "(" + QuoteIdent(n) + " integer, " + other +
           " text DEFAULT " + QuoteText(n) + ") RETURNS integer LANGUAGE sql AS $f$ SELECT 1 $f$;\n";
    sql += "COMMENT ON TABLE " + t + " IS " + QuoteText(n) + ";\n";
    sql += "COMMENT ON COLUMN " + t + "." + QuoteIdent(n) + " IS " + QuoteText("column " + n) + ";\n";
    sql += "COMMENT ON INDEX " + s + "." + QuoteIdent("ix " + n) + " IS " + QuoteText(n) + ";\n";
    sql += "COMMENT ON CONSTRAINT " + QuoteIdent("ck " + n) + " ON " + t + " IS " + QuoteText(n) + ";\n";
    sql += "COMMENT ON FUNCTION " + s + "." + QuoteIdent("fn " + n) + "(integer, text) IS " + QuoteText(n) + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("part " + n) + " PARTITION OF " + s + ".parted FOR VALUES IN (" +
           QuoteText(n) + ");\n";
    labels += (labels.empty() ? "" : ", ") + QuoteText(n);
    attributes += (attributes.empty() ? "" : ", ") + QuoteIdent(n) + " text";
  }
  sql += "CREATE TYPE " + s + ".\"enum \xF0\x9F\x98\x80\" AS ENUM (" + labels + ");\n";
  sql += "CREATE TYPE " + s + ".\"comp \"\"q\"\"\" AS (" + attributes + ");\n";
  sql += "CREATE DOMAIN " + s + ".\"dom 'd'\" AS text DEFAULT 'it''s' NOT NULL CHECK (VALUE <> '\\');\n";
  // Made on the partitioned table once it has partitions: each partition
  // gets its own copy, linked to the parent's.
  sql += "CREATE INDEX \"ix parted\" ON " + s + ".parted (n, lower(k));\n"
         "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"uq parted\" UNIQUE (k, n);\n"
         "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"ck parted\" CHECK (n > 0);\n"
         "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"fk parted\" FOREIGN KEY (n) REFERENCES " + s + ".\"Mixed\" (\"Mixed\");\n"
         "CREATE TRIGGER \"tr parted\" AFTER INSERT ON " + s + ".parted FOR EACH ROW EXECUTE FUNCTION " + s + ".\"trg fn\"();\n";
  return sql + "CREATE VIEW " + s + ".\"long view\" AS SELECT " + QuoteText(MixedText(100000)) + "::text AS t;\n";
}

struct Source {
  const char* name;     // for the test's name: an application of tests/data/schemas, or one of ours
  const char* mustHave; // kinds of object the schema must yield, so that one that loaded nothing fails
};

const Source kSources[] = {
    {"shop", "table key foreignKey index view routine trigger userType sequence partition checkConstraint"},
    {"hostile", "table key foreignKey index view routine trigger userType sequence partition checkConstraint"},
    {"davical", "table foreignKey trigger view routine"},
    {"freeradius", "table index"},
    {"gammu", "table trigger routine"},
    {"icinga2-ido", "table index routine"},
    {"kamailio", "table key index"},
    {"mediawiki", "table key index"},
    {"pdns", "table foreignKey checkConstraint index"},
    {"roundcube", "table foreignKey index sequence"},
};

enum class Variant { AsImported, FromProperties };

void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }
void PrintTo(Variant variant, std::ostream* out) {
  *out << (variant == Variant::AsImported ? "as imported" : "from properties");
}

class PgRoundTrip : public ::testing::TestWithParam<std::tuple<Source, Variant>> {
 protected:
  static void SetUpTestSuite() {
    if (!qm::test::PgConnectionString()) return;
    s_plugin = std::make_unique<qm::test::LoadedPlugin>(QM_POSTGRES_PLUGIN);
    // The shop keeps a table and an index in a tablespace of its own: one
    // in the server's folder, where the server allows it.
    s_tableSpace = "qm_rt_ts_" + std::to_string(::getpid());
    qm::test::RunPsql("postgres",
                      "SET allow_in_place_tablespaces = on;\nCREATE TABLESPACE " + s_tableSpace + " LOCATION '';\n");
    if (qm::test::QueryValue("postgres", "SELECT count(*) FROM pg_catalog.pg_tablespace WHERE spcname = '" +
                                             s_tableSpace + "'") != "1")
      s_tableSpace = "pg_default";
  }
  static void TearDownTestSuite() {
    if (s_tableSpace != "pg_default" && !s_tableSpace.empty())
      qm::test::RunPsql("postgres", "DROP TABLESPACE IF EXISTS " + s_tableSpace + ";\n");
    s_plugin.reset();
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static std::string Script(const std::string& name) {
    if (name == "shop") return qm::test::postgres::ShopSchemaScript(s_tableSpace);
    if (name == "hostile") return HostileScript();
    return qm::test::RealSchemaSql(name, "postgres");
  }

  void Import(const qm::test::TestDatabase& database, GenericModel& model) {
    const qm::test::ImportOutcome outcome = qm::test::RunImport(s_plugin->Api(), model, database.ConnectionString());
    ASSERT_TRUE(qm::test::ReadInFull(outcome));
  }

  inline static std::unique_ptr<qm::test::LoadedPlugin> s_plugin;
  inline static std::string s_tableSpace;
};

// What a round trip cannot carry, with the reason.
std::vector<Allowance> Allowances(Variant variant) {
  std::vector<Allowance> allowances = {
      {"the model holds an aggregate's arguments and result, not its transition function and state: it is "
       "not written",
       [](const ObjectDifference& object, const PropertyDifference* property) {
         if (property != nullptr || object.change != ObjectDifference::Change::Removed || object.type != model::Routine)
           return false;
         return std::any_of(object.properties.begin(), object.properties.end(), [](const PropertyDifference& p) {
           std::u16string kind = p.before.text;
           for (char16_t& c : kind) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
           return p.propertyId == model::RoutineKind && kind == u"aggregate";
         });
       }},
  };
  allowances.push_back(
      {"tablespaces belong to the cluster, not to the database: the script does not make them, and other tests "
       "make and drop their own while this one runs (the tables' and indexes' tablespaces are compared by name)",
       [](const ObjectDifference& object, const PropertyDifference* property) {
         return property == nullptr && object.type == model::TableSpace &&
                object.change != ObjectDifference::Change::Changed;
       }});
  if (variant == Variant::FromProperties)
    allowances.push_back(PropertyOf(model::Index, model::SqlText,
                                    "written from its properties, an index lists its expressions after its columns "
                                    "and without ordering options, which the model does not hold"));
  return allowances;
}

// What the model does not hold but a sound copy has as the original:
// every index valid, a partitioned table's indexes, constraints and
// triggers taken over by its partitions' (their links to the parent's).
std::vector<std::string> Links(const std::string& database) {
  return {
      "invalid indexes " + qm::test::QueryValue(database, "SELECT count(*) FROM pg_catalog.pg_index WHERE NOT indisvalid"),
      "attached indexes " + qm::test::QueryValue(database, "SELECT count(*) FROM pg_catalog.pg_inherits i JOIN "
                                                           "pg_catalog.pg_class c ON c.oid = i.inhrelid WHERE c.relkind "
                                                           "IN ('i', 'I')"),
      "attached constraints " +
          qm::test::QueryValue(database, "SELECT count(*) FROM pg_catalog.pg_constraint WHERE conparentid <> 0"),
      "attached triggers " +
          qm::test::QueryValue(database, "SELECT count(*) FROM pg_catalog.pg_trigger WHERE tgparentid <> 0"),
  };
}

TEST_P(PgRoundTrip, ModelsAgreeObjectByObject) {
  const auto& [source, variant] = GetParam();
  std::string tag = source.name;
  std::replace(tag.begin(), tag.end(), '-', '_');
  qm::test::TestDatabase original("rt_" + tag);
  ASSERT_EQ(qm::test::RunPsql(original.Name(), Script(source.name)), "");

  GenericModel before(s_plugin->Api().modelType);
  Import(original, before);
  std::string present;
  for (int id = 2; id <= before.GetObjectCount(); ++id)
    present += std::string(" ") + model::ObjectTypeName(before.GetCMOObject(id)->GetObjectType()) + " ";
  std::istringstream kinds(source.mustHave);
  for (std::string kind; kinds >> kind;) EXPECT_NE(present.find(" " + kind + " "), std::string::npos) << kind;

  GenericModel written(before.GetModelType());
  if (variant == Variant::FromProperties)
    CopyWithout(before, written, [](const CMOObject& object, int propertyId) {
      const int type = object.GetObjectType();
      return (propertyId == model::Definition &&
              (type == model::Key || type == model::ForeignKey || type == model::CheckConstraint)) ||
             (propertyId == model::SqlText && type == model::Index);
    });
  const std::string sql = SqlOf(variant == Variant::FromProperties ? written : before);

  qm::test::TestDatabase copy("rt_" + tag + "_copy");
  const std::string loaded = qm::test::RunPsql(copy.Name(), sql);
  ASSERT_EQ(loaded, "") << sql.substr(0, 4000);
  GenericModel after(s_plugin->Api().modelType);
  Import(copy, after);
  EXPECT_EQ(Unexplained(DiffModels(before, after), Allowances(variant)), "");
  EXPECT_EQ(Links(copy.Name()), Links(original.Name()));
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Source, Variant>>& info) {
  std::string name = std::get<0>(info.param).name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name + (std::get<1>(info.param) == Variant::AsImported ? "_AsImported" : "_FromProperties");
}

// The server's own list: a word it reserves in any way is quoted, as
// quote_ident quotes it; an unreserved one is not.
TEST(PgKeywordsTest, NamesAreQuotedAsTheServerQuotesThem) {
  QM_REQUIRE_PG();
  const GenericModel model(1002);
  const sql::SqlDialect& dialect = sql::DialectFor(model);
  const std::vector<std::string> reserved =
      qm::test::QueryColumn("postgres", "SELECT word FROM pg_catalog.pg_get_keywords() WHERE catcode <> 'U'");
  const std::vector<std::string> unreserved =
      qm::test::QueryColumn("postgres", "SELECT word FROM pg_catalog.pg_get_keywords() WHERE catcode = 'U'");
  ASSERT_GT(reserved.size(), 50u);
  ASSERT_GT(unreserved.size(), 200u);
  for (const std::string& word : reserved) EXPECT_TRUE(dialect.NeedsQuotes(platform::Utf8ToUtf16(word))) << word;
  for (const std::string& word : unreserved) EXPECT_FALSE(dialect.NeedsQuotes(platform::Utf8ToUtf16(word))) << word;
}

INSTANTIATE_TEST_SUITE_P(Schemas, PgRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kSources),
                                            ::testing::Values(Variant::AsImported, Variant::FromProperties)),
                         CaseName);

}  // namespace
}  // namespace writers::test

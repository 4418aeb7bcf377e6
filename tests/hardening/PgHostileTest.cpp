// A PostgreSQL catalogue full of hostile identifiers and texts (see
// HostileNames.h) in every kind of object, names of 63 bytes (the server's
// limit; a longer one is cut by the server), a view whose definition is
// 100,000 characters, and hostile enum labels, composite attributes,
// partition values, parameter names and comments. The import must hand
// over every name and text exactly as pg_catalog reports it, read with psql
// hex on the wire so that nothing between the server and the comparison
// can alter a byte.
#include "HostileNames.h"

#include <ImportHost.h>
#include <ModelWords.h>
#include <PgCatalogue.h>
#include <PgServer.h>
#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test::hardening {
namespace {

using Strings = std::vector<std::string>;

// The schema the hostile objects live in (no comma: scopes split at commas).
const std::string kSchema = "sch \"q' \\ %s\n😀";

std::string CreateScript() {
  const std::string s = QuoteIdent(kSchema);
  std::string sql = "CREATE SCHEMA " + s + ";\nCREATE SCHEMA \"Mixed\"; CREATE SCHEMA mixed;\n"
                    "CREATE TABLE \"Mixed\".t (\"Mixed\" integer); CREATE TABLE mixed.t (mixed integer);\n"
                    "CREATE FUNCTION " + s + ".\"trg fn\"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN RETURN NEW; END $f$;\n"
                    "CREATE TABLE " + s + ".parted (k text) PARTITION BY LIST (k);\n";
  std::string labels;
  std::string attributes;
  for (const std::string& n : HostileNames()) {
    const std::string t = s + "." + QuoteIdent(n);
    const std::string other = QuoteIdent("other " + n);
    sql += "CREATE TABLE " + t + " (" + QuoteIdent(n) + " integer CONSTRAINT " + QuoteIdent("pk " + n) + " PRIMARY KEY, " +
           other + " text, CONSTRAINT " + QuoteIdent("uq " + n) + " UNIQUE (" + other + "), CONSTRAINT " +
           QuoteIdent("ck " + n) + " CHECK (" + QuoteIdent(n) + " > 0 OR " + other + " <> " + QuoteText(n) + "));\n";
    sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + other + ");\n";
    sql += "CREATE VIEW " + s + "." + QuoteIdent("v " + n) + " AS SELECT " + QuoteIdent(n) + " FROM " + t + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " integer CONSTRAINT " +
           QuoteIdent("fk " + n) + " REFERENCES " + t + " (" + QuoteIdent(n) + "));\n";
    sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " FOR EACH ROW EXECUTE FUNCTION " + s +
           ".\"trg fn\"();\n";
    sql += "CREATE FUNCTION " + s + "." + QuoteIdent("fn " + n) + "(" + QuoteIdent(n) + " integer, " + other +
           " text DEFAULT " + QuoteText(n) + ") RETURNS integer LANGUAGE sql AS $f$ SELECT 1 $f$;\n";
    sql += "COMMENT ON TABLE " + t + " IS " + QuoteText(n) + ";\n";
    sql += "COMMENT ON COLUMN " + t + "." + QuoteIdent(n) + " IS " + QuoteText("column " + n) + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("part " + n) + " PARTITION OF " + s + ".parted FOR VALUES IN (" +
           QuoteText(n) + ");\n";
    labels += (labels.empty() ? "" : ", ") + QuoteText(n);
    attributes += (attributes.empty() ? "" : ", ") + QuoteIdent(n) + " text";
  }
  sql += "CREATE TYPE " + s + ".\"enum 😀\" AS ENUM (" + labels + ");\n";
  sql += "CREATE TYPE " + s + ".\"comp \"\"q\"\"\" AS (" + attributes + ");\n";
  // 63 bytes of one-, two- and four-byte characters, and 80 bytes the
  // server cuts at a character boundary to 62.
  for (const std::string& n : {std::string(63, 'L'), Repeat("é", 31) + "x", Repeat("😀", 15) + "abc", Repeat("é", 40)})
    sql += "CREATE TABLE " + s + "." + QuoteIdent(n) + " (" + QuoteIdent(n) + " integer);\n";
  return sql + "CREATE VIEW " + s + ".\"long view\" AS SELECT " + QuoteText(MixedText(100000)) + "::text AS t;\n";
}

TEST(PgHostileTest, EveryNameAndTextArrivesAsTheCatalogueHasIt) {
  QM_REQUIRE_PG();
  TestDatabase database("hostile");
  ASSERT_EQ(RunPsql(database.Name(), CreateScript()), "");
  const Strings catalogue = PgCatalogueLines(database.Name());
  // The catalogue holds what the script made: the cut name is cut, the
  // long view is long.
  const auto has = [&](const std::string& start, std::size_t minimum = 0) {
    return std::any_of(catalogue.begin(), catalogue.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0 && line.size() > minimum; });
  };
  EXPECT_TRUE(has("table " + kSchema + "." + Repeat("é", 31) + " "));
  EXPECT_TRUE(has("view " + kSchema + ".long view ", 100000));
  for (const std::string& n : HostileNames()) EXPECT_TRUE(has("table " + kSchema + "." + n + " table ")) << n;

  LoadedPlugin plugin(QM_POSTGRES_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  const ImportOutcome outcome = RunImport(plugin.Api(), model, database.ConnectionString());
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(LineDifference(catalogue, PgModelLines(model)), "");

  // Each partition of "parted" holds the one value it is named after: its
  // bound clause is the partition table's, its value quoted as a literal.
  CMOObject* schema = Child(model, *model.GetCMOObject(), model::Schema, kSchema);
  ASSERT_NE(schema, nullptr);
  CMOObject* parted = Child(model, *schema, model::Table, "parted");
  ASSERT_NE(parted, nullptr);
  const std::vector<CMOObject*> partitions = Children(model, *parted, model::Partition);
  EXPECT_EQ(partitions.size(), HostileNames().size());
  for (CMOObject* partition : partitions) {
    const std::string name = Name(*partition);
    SCOPED_TRACE(name);
    CMOObject* table = Child(model, *schema, model::Table, name);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Text(*partition, model::Definition), Text(*table, model::PartitionBound));
    EXPECT_EQ(Text(*partition, model::PartitionBound), QuoteText(name.substr(5)));
  }
}

}  // namespace
}  // namespace qm::test::hardening

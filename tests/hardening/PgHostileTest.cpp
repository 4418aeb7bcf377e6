// A PostgreSQL catalogue full of hostile identifiers and texts (see
// HostileNames.h), 63-byte names (the server's limit; a longer one is cut
// by the server), a view whose definition is 100,000 characters, and
// hostile enum labels, composite attributes, partition values, parameter
// names and comments. The import must hand over every name and text
// exactly as pg_catalog reports it; pg_catalog is read with psql, hex on
// the wire, so that nothing between the server and the comparison can
// alter a byte.
#include "HostileNames.h"
#include "ImportHost.h"
#include "PgServer.h"

#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/CMOProperty.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test::hardening {
namespace {

// The schema the hostile objects live in (no comma: scopes split at commas).
const std::string kSchema = "sch \"q' \\ %s\n😀";

// Line breaks and tabs written as escapes, so that a catalogue line stays one line.
std::string Escape(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch == '\n') out += "\\n";
    else if (ch == '\r') out += "\\r";
    else if (ch == '\t') out += "\\t";
    else if (ch == '\\') out += "\\\\";
    else out += ch;
  }
  return out;
}

std::string Line(std::initializer_list<std::string> fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : " | ") + Escape(field);
  return line;
}

std::string Repeat(const std::string& unit, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += unit;
  return text;
}

// Names of 63 bytes, the longest the server keeps (one-, two- and
// four-byte characters), and one of 80 bytes that it cuts at a character
// boundary to 62.
std::vector<std::string> LongNames() {
  return {std::string(63, 'L'), Repeat("é", 31) + "x", Repeat("😀", 15) + "abc", Repeat("é", 40)};
}

// The 100,000-character text of the long view's literal.
std::string LongLiteralText() { return MixedText(100000); }

std::string CreateScript() {
  const std::string s = QuoteIdent(kSchema);
  std::string sql = "CREATE SCHEMA " + s + ";\n";
  sql += "CREATE SCHEMA \"Mixed\"; CREATE SCHEMA mixed;\n"
         "CREATE TABLE \"Mixed\".t (\"Mixed\" integer); CREATE TABLE mixed.t (mixed integer);\n";
  sql += "CREATE FUNCTION " + s + ".\"trg fn\"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN RETURN NEW; END $f$;\n";
  sql += "CREATE TABLE " + s + ".parted (k text) PARTITION BY LIST (k);\n";
  std::string labels;
  std::string attributes;
  for (const std::string& n : HostileNames()) {
    const std::string t = s + "." + QuoteIdent(n);
    sql += "CREATE TABLE " + t + " (" + QuoteIdent(n) + " integer CONSTRAINT " + QuoteIdent("pk " + n) +
           " PRIMARY KEY, " + QuoteIdent("other " + n) + " text, CONSTRAINT " + QuoteIdent("uq " + n) + " UNIQUE (" +
           QuoteIdent("other " + n) + "), CONSTRAINT " + QuoteIdent("ck " + n) + " CHECK (" + QuoteIdent(n) +
           " > 0 OR " + QuoteIdent("other " + n) + " <> " + QuoteText(n) + "));\n";
    sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + QuoteIdent("other " + n) + ");\n";
    sql += "CREATE VIEW " + s + "." + QuoteIdent("v " + n) + " AS SELECT " + QuoteIdent(n) + " FROM " + t + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " integer CONSTRAINT " +
           QuoteIdent("fk " + n) + " REFERENCES " + t + " (" + QuoteIdent(n) + "));\n";
    sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " FOR EACH ROW EXECUTE FUNCTION " +
           s + ".\"trg fn\"();\n";
    sql += "CREATE FUNCTION " + s + "." + QuoteIdent("fn " + n) + "(" + QuoteIdent(n) + " integer, " +
           QuoteIdent("other " + n) + " text DEFAULT " + QuoteText(n) + ") RETURNS integer LANGUAGE sql AS $f$ SELECT 1 $f$;\n";
    sql += "COMMENT ON TABLE " + t + " IS " + QuoteText(n) + ";\n";
    sql += "COMMENT ON COLUMN " + t + "." + QuoteIdent(n) + " IS " + QuoteText("column " + n) + ";\n";
    sql += "CREATE TABLE " + s + "." + QuoteIdent("part " + n) + " PARTITION OF " + s + ".parted FOR VALUES IN (" +
           QuoteText(n) + ");\n";
    labels += (labels.empty() ? "" : ", ") + QuoteText(n);
    attributes += (attributes.empty() ? "" : ", ") + QuoteIdent(n) + " text";
  }
  sql += "CREATE TYPE " + s + ".\"enum 😀\" AS ENUM (" + labels + ");\n";
  sql += "CREATE TYPE " + s + ".\"comp \"\"q\"\"\" AS (" + attributes + ");\n";
  // 63 bytes: the longest name the server keeps; a longer one it cuts at a
  // character boundary.
  for (const std::string& n : LongNames())
    sql += "CREATE TABLE " + s + "." + QuoteIdent(n) + " (" + QuoteIdent(n) + " integer);\n";
  sql += "CREATE VIEW " + s + ".\"long view\" AS SELECT " + QuoteText(LongLiteralText()) + "::text AS t;\n";
  return sql;
}

// What pg_catalog reports, as lines in the shape ModelLines writes.
std::vector<std::string> CatalogueLines(const std::string& database) {
  const std::string userSchemas =
      "n.nspname NOT IN ('pg_catalog', 'information_schema', 'pg_toast') AND n.nspname NOT LIKE 'pg\\_temp\\_%' "
      "AND n.nspname NOT LIKE 'pg\\_toast\\_temp\\_%'";
  std::vector<std::string> lines;
  auto add = [&](const std::string& kind, const std::string& query) {
    for (const auto& row : QueryRows(database, query)) {
      std::string line = kind;
      for (const auto& value : row) line += " | " + Escape(value.value_or("<null>"));
      lines.push_back(std::move(line));
    }
  };
  add("schema", "SELECT " + Hex("n.nspname") + " FROM pg_namespace n WHERE " + userSchemas);
  add("table", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") +
                   " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + userSchemas +
                   " AND c.relkind IN ('r', 'p')");
  add("column", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " +
                    Hex("row_number() OVER (PARTITION BY c.oid ORDER BY a.attnum)") + ", " + Hex("a.attname") +
                    " FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = "
                    "c.relnamespace WHERE " + userSchemas +
                    " AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped");
  add("column comment", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("a.attname") + ", " +
                            Hex("col_description(c.oid, a.attnum)") +
                            " FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = "
                            "c.relnamespace WHERE " + userSchemas +
                            " AND a.attnum > 0 AND col_description(c.oid, a.attnum) IS NOT NULL");
  add("table comment", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " +
                           Hex("obj_description(c.oid, 'pg_class')") +
                           " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + userSchemas +
                           " AND c.relkind IN ('r', 'p') AND obj_description(c.oid, 'pg_class') IS NOT NULL");
  add("view", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("pg_get_viewdef(c.oid)") +
                  " FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + userSchemas +
                  " AND c.relkind = 'v'");
  const std::string constraints = " FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON "
                                  "n.oid = c.relnamespace WHERE " + userSchemas;
  add("key", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("k.conname") + constraints +
                 " AND k.contype IN ('p', 'u')");
  add("check", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("k.conname") + constraints +
                   " AND k.contype = 'c'");
  add("foreign key", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("k.conname") + ", " +
                         Hex("(SELECT r.relname FROM pg_class r WHERE r.oid = k.confrelid)") + constraints +
                         " AND k.contype = 'f'");
  add("index", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("ic.relname") +
                   " FROM pg_index i JOIN pg_class c ON c.oid = i.indrelid JOIN pg_class ic ON ic.oid = i.indexrelid "
                   "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + userSchemas +
                   " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = i.indexrelid "
                   "AND k.contype IN ('p', 'u'))");
  add("trigger", "SELECT " + Hex("n.nspname") + ", " + Hex("c.relname") + ", " + Hex("t.tgname") +
                     " FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = "
                     "c.relnamespace WHERE " + userSchemas + " AND NOT t.tgisinternal");
  add("routine", "SELECT " + Hex("n.nspname") + ", " + Hex("p.proname") + ", " + Hex("pg_get_function_arguments(p.oid)") +
                     " FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE " + userSchemas);
  add("parameter", "SELECT " + Hex("n.nspname") + ", " + Hex("p.proname") + ", " + Hex("a.position") + ", " +
                       Hex("a.name") +
                       " FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace CROSS JOIN LATERAL "
                       "unnest(p.proargnames) WITH ORDINALITY AS a(name, position) WHERE " + userSchemas +
                       " AND a.name <> ''");
  add("enum", "SELECT " + Hex("n.nspname") + ", " + Hex("t.typname") + ", " +
                  Hex("(SELECT string_agg(quote_literal(e.enumlabel), ', ' ORDER BY e.enumsortorder) FROM pg_enum e "
                      "WHERE e.enumtypid = t.oid)") +
                  " FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace WHERE " + userSchemas +
                  " AND t.typtype = 'e'");
  // The attribute list as the model writes it: "(name  type  NULL,...)",
  // names quoted as SQL needs.
  add("composite", "SELECT " + Hex("n.nspname") + ", " + Hex("t.typname") + ", " +
                       Hex("'(' || (SELECT string_agg(quote_ident(a.attname) || '  ' || format_type(a.atttypid, "
                           "a.atttypmod) || '  ' || CASE WHEN a.attnotnull THEN 'NOT NULL' ELSE 'NULL' END, ',' "
                           "ORDER BY a.attnum) FROM pg_attribute a WHERE a.attrelid = t.typrelid AND a.attnum > 0) "
                           "|| ')'") +
                       " FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace JOIN pg_class c ON c.oid = "
                       "t.typrelid WHERE " + userSchemas + " AND t.typtype = 'c' AND c.relkind = 'c'");
  // Each partition "part <value>" holds the one value it is named after;
  // the model lists it between single quotes, quotes doubled.
  add("partition", "SELECT " + Hex("n.nspname") + ", " + Hex("p.relname") + ", " + Hex("c.relname") + ", " +
                       Hex("pg_get_expr(c.relpartbound, c.oid)") + ", " +
                       Hex("'''' || replace(substr(c.relname, 6), '''', '''''') || ''''") +
                       " FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid JOIN pg_class p ON p.oid = "
                       "i.inhparent JOIN pg_namespace n ON n.oid = p.relnamespace WHERE " + userSchemas +
                       " AND p.relkind = 'p'");
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string Utf8Text(const CMOObject& object, int property) { return Utf8(Text(object, property)); }

// The model, as lines in the shape CatalogueLines writes.
std::vector<std::string> ModelLines(GenericModel& model) {
  std::vector<std::string> lines;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) {
    const std::string s = Utf8(Name(*schema));
    lines.push_back(Line({"schema", s}));
    auto relation = [&](CMOObject& relation) {
      const std::string r = Utf8(Name(relation));
      int position = 0;
      for (CMOObject* column : Children(model, relation, model::Column)) {
        lines.push_back(Line({"column", s, r, std::to_string(++position), Utf8(Name(*column))}));
        if (column->GetProperty(model::Comment) != nullptr)
          lines.push_back(Line({"column comment", s, r, Utf8(Name(*column)), Utf8Text(*column, model::Comment)}));
      }
      for (CMOObject* trigger : Children(model, relation, model::Trigger))
        lines.push_back(Line({"trigger", s, r, Utf8(Name(*trigger))}));
      return r;
    };
    for (CMOObject* table : Children(model, *schema, model::Table)) {
      const std::string t = relation(*table);
      lines.push_back(Line({"table", s, t}));
      if (table->GetProperty(model::Comment) != nullptr)
        lines.push_back(Line({"table comment", s, t, Utf8Text(*table, model::Comment)}));
      for (CMOObject* key : Children(model, *table, model::Key)) lines.push_back(Line({"key", s, t, Utf8(Name(*key))}));
      for (CMOObject* check : Children(model, *table, model::CheckConstraint))
        lines.push_back(Line({"check", s, t, Utf8(Name(*check))}));
      for (CMOObject* foreignKey : Children(model, *table, model::ForeignKey)) {
        const std::vector<int> referenced = Ids(*foreignKey, model::ReferencedTable);
        const CMOObject* target = referenced.size() == 1 ? model.GetCMOObject(referenced[0]) : nullptr;
        lines.push_back(Line({"foreign key", s, t, Utf8(Name(*foreignKey)), target ? Utf8(Name(*target)) : "<none>"}));
      }
      for (CMOObject* index : Children(model, *table, model::Index))
        lines.push_back(Line({"index", s, t, Utf8(Name(*index))}));
      for (CMOObject* partition : Children(model, *table, model::Partition))
        lines.push_back(Line({"partition", s, t, Utf8(Name(*partition)), Utf8Text(*partition, model::Definition),
                              Utf8Text(*partition, model::PartitionBound)}));
    }
    for (CMOObject* view : Children(model, *schema, model::View)) {
      const std::string v = relation(*view);
      lines.push_back(Line({"view", s, v, Utf8Text(*view, model::Definition)}));
    }
    for (CMOObject* routine : Children(model, *schema, model::Routine)) {
      const std::string r = Utf8(Name(*routine));
      lines.push_back(Line({"routine", s, r, Utf8Text(*routine, model::ParameterList)}));
      for (CMOObject* parameter : Children(model, *routine, model::Parameter)) {
        const CMOProperty* position = parameter->GetProperty(model::Position);
        if (parameter->GetProperty(model::Name) != nullptr)
          lines.push_back(Line({"parameter", s, r, position ? std::to_string(position->GetIntegerValue()) : "?",
                                Utf8(Name(*parameter))}));
      }
    }
    for (CMOObject* type : Children(model, *schema, model::UserType)) {
      const std::u16string kind = Text(*type, model::TypeKind);
      if (kind == u"enum") lines.push_back(Line({"enum", s, Utf8(Name(*type)), Utf8Text(*type, model::EnumLabels)}));
      if (kind == u"composite")
        lines.push_back(Line({"composite", s, Utf8(Name(*type)), Utf8Text(*type, model::AttributeList)}));
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class PgHostileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = new TestDatabase("hostile");
    const std::string error = RunPsql(s_database->Name(), CreateScript());
    if (!error.empty()) ADD_FAILURE() << error;
    s_plugin = new LoadedPlugin(QM_POSTGRES_PLUGIN);
  }
  static void TearDownTestSuite() {
    delete s_plugin;
    s_plugin = nullptr;
    delete s_database;
    s_database = nullptr;
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  static TestDatabase* s_database;
  static LoadedPlugin* s_plugin;
};

TestDatabase* PgHostileTest::s_database = nullptr;
LoadedPlugin* PgHostileTest::s_plugin = nullptr;

TEST_F(PgHostileTest, EveryNameAndTextArrivesAsTheCatalogueHasIt) {
  const std::vector<std::string> catalogue = CatalogueLines(s_database->Name());
  // The catalogue holds what the script made: the cut name is cut, the
  // long view is long, the hostile names are there.
  ASSERT_FALSE(catalogue.empty());
  const auto has = [&](const std::string& line) {
    return std::find(catalogue.begin(), catalogue.end(), line) != catalogue.end();
  };
  EXPECT_TRUE(has(Line({"table", kSchema, Repeat("é", 31)}))) << "the server keeps 62 bytes of this 80-byte name";
  EXPECT_TRUE(has(Line({"table", kSchema, Repeat("😀", 15) + "abc"})));
  for (const std::string& n : HostileNames()) EXPECT_TRUE(has(Line({"table", kSchema, n}))) << n;
  const auto longView = std::find_if(catalogue.begin(), catalogue.end(), [](const std::string& line) {
    return line.rfind("view | " + Escape(kSchema) + " | long view | ", 0) == 0;
  });
  ASSERT_NE(longView, catalogue.end());
  EXPECT_GT(longView->size(), 100000u);

  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), model, Utf16(s_database->ConnectionString()));
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": " << Utf8(failed.diagnostic.message);
  EXPECT_EQ(StructuralFaults(model), std::vector<std::string>());
  const std::vector<std::string> imported = ModelLines(model);
  EXPECT_TRUE(imported == catalogue) << LineDifference(catalogue, imported);
}

TEST_F(PgHostileTest, ScopeNamesAHostileSchemaExactly) {
  for (const std::string& scope : {kSchema, std::string("Mixed"), std::string("mixed")}) {
    SCOPED_TRACE(scope);
    GenericModel model(s_plugin->Api().modelType);
    const ImportOutcome outcome =
        RunImport(s_plugin->Api(), model, Utf16(s_database->ConnectionString()), Utf16(scope));
    ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(outcome.connectError.message);
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_EQ(ChildNames(model, *model.GetCMOObject(), model::Schema), std::vector<std::u16string>{Utf16(scope)});
    const std::vector<CMOObject*> schemas = Children(model, *model.GetCMOObject(), model::Schema);
    ASSERT_EQ(schemas.size(), 1u);
    const std::size_t tables = Children(model, *schemas[0], model::Table).size();
    if (scope == kSchema) {
      EXPECT_GT(tables, 3 * HostileNames().size());
    } else {
      ASSERT_EQ(tables, 1u);
      EXPECT_EQ(ChildNames(model, *Children(model, *schemas[0], model::Table)[0], model::Column),
                std::vector<std::u16string>{Utf16(scope)});
    }
  }
}

}  // namespace
}  // namespace qm::test::hardening

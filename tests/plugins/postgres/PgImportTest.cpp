// A whole import of a database that holds every kind of object, compared
// object by object with what pg_catalog says about it (asked over a second
// connection), then the details that a one-line comparison does not show.
#include "ExecuteHook.h"
#include "PgShopSchema.h"
#include "PgTestSupport.h"

#include <PgTestEnv.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

namespace qm::test::postgres {
namespace {

// Every schema but PostgreSQL's own (user schemas cannot start with pg_).
constexpr const char* kUserSchemas = "n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema'";

// The column names of attnums (an int2[] or int2vector expression) of a
// relation, in array order; `where` may limit the ordinality u.ord.
std::string ColumnNames(const std::string& relation, const std::string& attnums, const std::string& where = "true") {
  return "coalesce((SELECT string_agg(a.attname, ',' ORDER BY u.ord) FROM unnest(" + attnums +
         "::int2[]) WITH ORDINALITY u(attnum, ord) JOIN pg_attribute a ON a.attrelid = " + relation +
         " AND a.attnum = u.attnum WHERE " + where + "), '')";
}

std::string Action(const std::string& code) {
  return "CASE " + code +
         " WHEN 'r' THEN 'RESTRICT' WHEN 'c' THEN 'CASCADE' WHEN 'n' THEN 'SET NULL' WHEN 'd' THEN 'SET DEFAULT' "
         "ELSE 'NO ACTION' END";
}

// One line per object and fact, as pg_catalog gives them.
std::vector<std::string> CatalogLines(PgConnection& pg) {
  const std::string filter = kUserSchemas;
  const std::string spc = "coalesce((SELECT spcname FROM pg_tablespace WHERE oid = %s), '-')";
  auto tablespace = [&](const std::string& column) {
    std::string text = spc;
    text.replace(text.find("%s"), 2, column);
    return text;
  };
  const std::vector<std::string> queries = {
      "SELECT format('schema %s owner=%s comment=%s', n.nspname, pg_get_userbyid(n.nspowner), "
      "coalesce(obj_description(n.oid, 'pg_namespace'), '-')) FROM pg_namespace n WHERE " + filter,

      "SELECT format('table %s.%s %s ts=%s def=%s owner=%s comment=%s', n.nspname, c.relname, "
      "CASE WHEN c.relkind = 'p' THEN 'partitioned table' WHEN c.relpersistence = 'u' THEN 'unlogged table' "
      "ELSE 'table' END, " + tablespace("c.reltablespace") + ", "
      "coalesce('PARTITION BY ' || pg_get_partkeydef(c.oid), '-'), pg_get_userbyid(c.relowner), "
      "coalesce(obj_description(c.oid, 'pg_class'), '-')) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter + " AND c.relkind IN ('r', 'p')",

      "SELECT format('view %s.%s %s ts=%s comment=%s def=%s', n.nspname, c.relname, "
      "CASE c.relkind WHEN 'm' THEN 'materialized view' ELSE 'view' END, " + tablespace("c.reltablespace") + ", "
      "coalesce(obj_description(c.oid, 'pg_class'), '-'), pg_get_viewdef(c.oid)) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE " + filter + " AND c.relkind IN ('v', 'm')",

      "SELECT format('column %s.%s.%s #%s %s null=%s default=%s gen=%s identity=%s collation=%s pk=%s comment=%s', "
      "n.nspname, c.relname, a.attname, row_number() OVER (PARTITION BY a.attrelid ORDER BY a.attnum), "
      "format_type(a.atttypid, a.atttypmod), CASE WHEN a.attnotnull THEN 0 ELSE 1 END, "
      "coalesce(CASE WHEN a.attgenerated = '' THEN pg_get_expr(ad.adbin, ad.adrelid) END, '-'), "
      "coalesce(CASE WHEN a.attgenerated <> '' THEN pg_get_expr(ad.adbin, ad.adrelid) END, '-'), "
      "CASE a.attidentity WHEN 'a' THEN 'ALWAYS' WHEN 'd' THEN 'BY DEFAULT' ELSE '-' END, "
      "CASE WHEN a.attcollation <> t.typcollation THEN a.attcollation::regcollation::text ELSE '-' END, "
      "coalesce((SELECT array_position(k.conkey, a.attnum)::text FROM pg_constraint k "
      "WHERE k.conrelid = a.attrelid AND k.contype = 'p'), '-'), coalesce(col_description(a.attrelid, a.attnum), '-')) "
      "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "JOIN pg_type t ON t.oid = a.atttypid "
      "LEFT JOIN pg_attrdef ad ON ad.adrelid = a.attrelid AND ad.adnum = a.attnum "
      "WHERE " + filter + " AND c.relkind IN ('r', 'p', 'v', 'm') AND a.attnum > 0 AND NOT a.attisdropped",

      "SELECT format('key %s.%s.%s %s (%s) include(%s) deferrable=%s deferred=%s', n.nspname, c.relname, k.conname, "
      "CASE k.contype WHEN 'p' THEN 'PRIMARY KEY' ELSE 'UNIQUE' END, " + ColumnNames("k.conrelid", "k.conkey") + ", "
      "coalesce((SELECT " + ColumnNames("ix.indrelid", "ix.indkey", "u.ord > ix.indnkeyatts") +
      " FROM pg_index ix WHERE ix.indexrelid = k.conindid), ''), k.condeferrable::int, k.condeferred::int) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter + " AND k.contype IN ('p', 'u')",

      "SELECT format('check %s.%s.%s %s', n.nspname, c.relname, k.conname, pg_get_expr(k.conbin, k.conrelid)) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter + " AND k.contype = 'c'",

      // The internal rows of a foreign key to a partitioned table (one per
      // referenced partition, on the same table) are not the user's.
      "SELECT format('fk %s.%s.%s (%s) -> %s.%s (%s) key=%s match=%s del=%s upd=%s deferrable=%s deferred=%s', "
      "n.nspname, c.relname, k.conname, " + ColumnNames("k.conrelid", "k.conkey") + ", rn.nspname, rc.relname, " +
      ColumnNames("k.confrelid", "k.confkey") + ", "
      "coalesce((SELECT pk.conname FROM pg_constraint pk WHERE pk.conrelid = k.confrelid AND pk.conindid = k.conindid "
      "AND pk.contype IN ('p', 'u')), '-'), "
      "CASE k.confmatchtype WHEN 'f' THEN 'FULL' WHEN 'p' THEN 'PARTIAL' ELSE 'SIMPLE' END, " +
      Action("k.confdeltype") + ", " + Action("k.confupdtype") + ", k.condeferrable::int, k.condeferred::int) "
      "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "JOIN pg_class rc ON rc.oid = k.confrelid JOIN pg_namespace rn ON rn.oid = rc.relnamespace "
      "WHERE " + filter + " AND k.contype = 'f' AND NOT EXISTS (SELECT 1 FROM pg_constraint p "
      "WHERE p.oid = k.conparentid AND p.conrelid = k.conrelid)",

      "SELECT format('index %s.%s.%s unique=%s method=%s (%s) include(%s) expr=%s where=%s ts=%s comment=%s', "
      "n.nspname, c.relname, ic.relname, i.indisunique::int, am.amname, " +
      ColumnNames("i.indrelid", "i.indkey", "u.ord <= i.indnkeyatts") + ", " +
      ColumnNames("i.indrelid", "i.indkey", "u.ord > i.indnkeyatts") + ", "
      "coalesce(pg_get_expr(i.indexprs, i.indrelid), '-'), coalesce(pg_get_expr(i.indpred, i.indrelid), '-'), " +
      tablespace("ic.reltablespace") + ", coalesce(obj_description(i.indexrelid, 'pg_class'), '-')) "
      "FROM pg_index i JOIN pg_class ic ON ic.oid = i.indexrelid JOIN pg_class c ON c.oid = i.indrelid "
      "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_am am ON am.oid = ic.relam "
      "WHERE " + filter + " AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conindid = i.indexrelid "
      "AND k.conrelid = i.indrelid AND k.contype IN ('p', 'u'))",

      "SELECT format('sequence %s.%s %s start=%s inc=%s min=%s max=%s cycle=%s', n.nspname, c.relname, "
      "format_type(s.seqtypid, NULL), s.seqstart, s.seqincrement, s.seqmin, s.seqmax, s.seqcycle::int) "
      "FROM pg_sequence s JOIN pg_class c ON c.oid = s.seqrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter,

      "SELECT format('type %s.%s %s base=%s comment=%s', n.nspname, t.typname, "
      "CASE t.typtype WHEN 'c' THEN 'composite' WHEN 'e' THEN 'enum' WHEN 'd' THEN 'domain' ELSE 'range' END, "
      "coalesce(CASE t.typtype WHEN 'd' THEN format_type(t.typbasetype, t.typtypmod) "
      "WHEN 'r' THEN (SELECT format_type(r.rngsubtype, NULL) FROM pg_range r WHERE r.rngtypid = t.oid) END, '-'), "
      "coalesce(obj_description(t.oid, 'pg_type'), '-')) "
      "FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace "
      "WHERE " + filter + " AND (t.typtype IN ('e', 'd', 'r') "
      "OR (t.typtype = 'c' AND (SELECT c.relkind FROM pg_class c WHERE c.oid = t.typrelid) = 'c'))",

      "SELECT format('routine %s.%s %s (%s) returns=%s lang=%s comment=%s', n.nspname, p.proname, "
      "CASE p.prokind WHEN 'p' THEN 'procedure' WHEN 'a' THEN 'aggregate' WHEN 'w' THEN 'window function' "
      "ELSE 'function' END, pg_get_function_arguments(p.oid), coalesce(pg_get_function_result(p.oid), '-'), "
      "l.lanname, coalesce(obj_description(p.oid, 'pg_proc'), '-')) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace JOIN pg_language l ON l.oid = p.prolang "
      "WHERE " + filter,

      "SELECT format('body %s.%s(%s) %s', n.nspname, p.proname, pg_get_function_arguments(p.oid), "
      "CASE WHEN p.prosqlbody IS NOT NULL THEN pg_get_function_sqlbody(p.oid) ELSE p.prosrc END) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace WHERE " + filter,

      "SELECT format('param %s.%s(%s) #%s %s %s %s', n.nspname, p.proname, pg_get_function_arguments(p.oid), a.ord, "
      "CASE coalesce(a.mode, 'i') WHEN 'i' THEN 'IN' WHEN 'o' THEN 'OUT' WHEN 'b' THEN 'INOUT' WHEN 'v' THEN 'VARIADIC' "
      "ELSE 'TABLE' END, coalesce(nullif(a.name, ''), '-'), format_type(a.type, NULL)) "
      "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace CROSS JOIN LATERAL "
      "unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]), p.proargmodes, p.proargnames) "
      "WITH ORDINALITY a(type, mode, name, ord) WHERE " + filter,

      "SELECT format('trigger %s.%s.%s %s', n.nspname, c.relname, t.tgname, pg_get_triggerdef(t.oid)) "
      "FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE " + filter + " AND NOT t.tgisinternal",

      "SELECT format('partition %s.%s of %s.%s %s', n.nspname, c.relname, pn.nspname, pc.relname, "
      "pg_get_expr(c.relpartbound, c.oid)) "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_inherits i ON i.inhrelid = c.oid "
      "JOIN pg_class pc ON pc.oid = i.inhparent JOIN pg_namespace pn ON pn.oid = pc.relnamespace "
      "WHERE " + filter + " AND c.relispartition AND c.relkind IN ('r', 'p')",
  };
  std::vector<std::string> lines;
  for (const std::string& query : queries)
    for (std::string& line : pg.Column(query)) lines.push_back(std::move(line));
  return lines;
}

// The same lines from the model.
class ModelLines {
 public:
  explicit ModelLines(GenericModel& model) : m_model(model) {}

  std::vector<std::string> Lines() {
    m_lines.clear();
    for (CMOObject* schema : Children(m_model, *m_model.GetCMOObject(), model::Schema)) Schema(*schema);
    return m_lines;
  }

 private:
  static std::string Or(const std::string& text) { return text.empty() ? "-" : text; }

  std::string SchemaOf(const CMOObject& object) {
    const CMOObject* parent = m_model.GetCMOObject(object.GetParentId());
    return parent != nullptr ? Name(*parent) : "?";
  }
  std::string TableSpaceOf(const CMOObject& object) {
    const std::vector<int> ids = Ids(object, model::TableSpaceRef);
    return ids.empty() ? "-" : NameList(m_model, ids);
  }
  std::string Number(const CMOObject& object, int propertyId) {
    const std::optional<std::int64_t> value = Integer(object, propertyId);
    return value ? std::to_string(*value) : "-";
  }
  void Add(std::string line) { m_lines.push_back(std::move(line)); }

  void Schema(CMOObject& schema) {
    const std::string s = Name(schema);
    Add("schema " + s + " owner=" + Text(schema, model::Owner) + " comment=" + Or(Text(schema, model::Comment)));
    for (CMOObject* table : Children(m_model, schema, model::Table)) Table(s, *table);
    for (CMOObject* view : Children(m_model, schema, model::View)) {
      Add("view " + s + "." + Name(*view) + " " + Text(*view, model::TableKind) + " ts=" + TableSpaceOf(*view) +
          " comment=" + Or(Text(*view, model::Comment)) + " def=" + Text(*view, model::Definition));
      Relation(s, *view);
    }
    for (CMOObject* sequence : Children(m_model, schema, model::Sequence))
      Add("sequence " + s + "." + Name(*sequence) + " " + Text(*sequence, model::DataType) + " start=" +
          Number(*sequence, model::SequenceStart) + " inc=" + Number(*sequence, model::SequenceIncrement) +
          " min=" + Number(*sequence, model::SequenceMin) + " max=" + Number(*sequence, model::SequenceMax) +
          " cycle=" + Number(*sequence, model::SequenceCycle));
    for (CMOObject* type : Children(m_model, schema, model::UserType))
      Add("type " + s + "." + Name(*type) + " " + Text(*type, model::TypeKind) + " base=" +
          Or(Text(*type, model::BaseType)) + " comment=" + Or(Text(*type, model::Comment)));
    for (CMOObject* routine : Children(m_model, schema, model::Routine)) {
      const std::string id = s + "." + Name(*routine) + "(" + Text(*routine, model::ParameterList) + ")";
      Add("routine " + s + "." + Name(*routine) + " " + Text(*routine, model::RoutineKind) + " (" +
          Text(*routine, model::ParameterList) + ") returns=" + Or(Text(*routine, model::ReturnType)) +
          " lang=" + Text(*routine, model::Language) + " comment=" + Or(Text(*routine, model::Comment)));
      Add("body " + id + " " + Text(*routine, model::Definition));
      for (CMOObject* parameter : Children(m_model, *routine, model::Parameter))
        Add("param " + id + " #" + Number(*parameter, model::Position) + " " + Text(*parameter, model::ParameterMode) +
            " " + Or(Name(*parameter)) + " " + Text(*parameter, model::DataType));
    }
  }

  void Table(const std::string& s, CMOObject& table) {
    const std::string t = Name(table);
    Add("table " + s + "." + t + " " + Text(table, model::TableKind) + " ts=" + TableSpaceOf(table) + " def=" +
        Or(Text(table, model::Definition)) + " owner=" + Text(table, model::Owner) + " comment=" +
        Or(Text(table, model::Comment)));
    const std::vector<int> parent = Ids(table, model::PartitionOf);
    if (!parent.empty()) {
      const CMOObject* parentTable = m_model.GetCMOObject(parent[0]);
      Add("partition " + s + "." + t + " of " + SchemaOf(*parentTable) + "." + Name(*parentTable) + " " +
          Text(table, model::PartitionBound));
    }
    Relation(s, table);
  }

  // What tables and views have in common.
  void Relation(const std::string& s, CMOObject& relation) {
    const std::string prefix = s + "." + Name(relation) + ".";
    for (CMOObject* column : Children(m_model, relation, model::Column))
      Add("column " + prefix + Name(*column) + " #" + Number(*column, model::Position) + " " +
          Text(*column, model::DataType) + " null=" + Number(*column, model::Nullable) + " default=" +
          Or(Text(*column, model::DefaultValue)) + " gen=" + Or(Text(*column, model::GeneratedExpression)) +
          " identity=" + Or(Text(*column, model::Identity)) + " collation=" + Or(Text(*column, model::Collation)) +
          " pk=" + Number(*column, model::PrimaryKeyPosition) + " comment=" + Or(Text(*column, model::Comment)));
    for (CMOObject* key : Children(m_model, relation, model::Key))
      Add("key " + prefix + Name(*key) + " " + Text(*key, model::KeyType) + " (" +
          NameList(m_model, Ids(*key, model::KeyColumns)) + ") include(" +
          NameList(m_model, Ids(*key, model::IncludedColumns)) + ") deferrable=" + Number(*key, model::Deferrable) +
          " deferred=" + Number(*key, model::InitiallyDeferred));
    for (CMOObject* check : Children(m_model, relation, model::CheckConstraint))
      Add("check " + prefix + Name(*check) + " " + Text(*check, model::CheckExpression));
    for (CMOObject* fk : Children(m_model, relation, model::ForeignKey)) {
      const std::vector<int> referenced = Ids(*fk, model::ReferencedTable);
      const CMOObject* target = referenced.empty() ? nullptr : m_model.GetCMOObject(referenced[0]);
      Add("fk " + prefix + Name(*fk) + " (" + NameList(m_model, Ids(*fk, model::ForeignKeyColumns)) + ") -> " +
          (target != nullptr ? SchemaOf(*target) + "." + Name(*target) : "?") + " (" +
          NameList(m_model, Ids(*fk, model::ReferencedColumns)) + ") key=" +
          Or(NameList(m_model, Ids(*fk, model::ReferencedKey))) + " match=" + Text(*fk, model::MatchType) + " del=" +
          Text(*fk, model::OnDelete) + " upd=" + Text(*fk, model::OnUpdate) + " deferrable=" +
          Number(*fk, model::Deferrable) + " deferred=" + Number(*fk, model::InitiallyDeferred));
    }
    for (CMOObject* index : Children(m_model, relation, model::Index))
      Add("index " + prefix + Name(*index) + " unique=" + Number(*index, model::IsUnique) + " method=" +
          Text(*index, model::IndexMethod) + " (" + NameList(m_model, Ids(*index, model::IndexColumns)) +
          ") include(" + NameList(m_model, Ids(*index, model::IncludedColumns)) + ") expr=" +
          Or(Text(*index, model::Expressions)) + " where=" + Or(Text(*index, model::Predicate)) + " ts=" +
          TableSpaceOf(*index) + " comment=" + Or(Text(*index, model::Comment)));
    for (CMOObject* trigger : Children(m_model, relation, model::Trigger))
      Add("trigger " + prefix + Name(*trigger) + " " + Text(*trigger, model::Definition));
  }

  GenericModel& m_model;
  std::vector<std::string> m_lines;
};

class PgImportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PgConnectionString()) return;
    s_database = new TestDatabase("import");
    s_tableSpace = "qm_ts_" + std::to_string(::getpid());
    std::unique_ptr<PgConnection> pg = s_database->Connect();
    s_haveTableSpace = CreateTableSpace(*pg, s_tableSpace);
    CreateShopSchema(*pg, s_haveTableSpace ? s_tableSpace : "pg_default");
    s_plugin = new LoadedPlugin();
  }
  static void TearDownTestSuite() {
    delete s_plugin;
    s_plugin = nullptr;
    if (s_database != nullptr) {
      delete s_database;
      s_database = nullptr;
      PgConnection server(*PgConnectionString());
      DropTableSpace(server, s_tableSpace);
    }
  }
  void SetUp() override {
    QM_REQUIRE_PG();
    ASSERT_TRUE(s_plugin != nullptr && s_plugin->Loaded());
  }

  ImportOutcome Import(GenericModel& model, const std::string& scope = {}) {
    return RunImport(s_plugin->Api(), model, s_database->ConnectionString(), scope);
  }

  // The model object of a relation (table or view) of a schema.
  static CMOObject* Relation(GenericModel& model, std::u16string_view schema, std::u16string_view name) {
    CMOObject* schemaObject = Child(model, *model.GetCMOObject(), model::Schema, schema);
    if (schemaObject == nullptr) return nullptr;
    if (CMOObject* table = Child(model, *schemaObject, model::Table, name)) return table;
    return Child(model, *schemaObject, model::View, name);
  }

  static TestDatabase* s_database;
  static LoadedPlugin* s_plugin;
  static std::string s_tableSpace;
  static bool s_haveTableSpace;
};

TestDatabase* PgImportTest::s_database = nullptr;
LoadedPlugin* PgImportTest::s_plugin = nullptr;
std::string PgImportTest::s_tableSpace;
bool PgImportTest::s_haveTableSpace = false;

TEST_F(PgImportTest, ModelMatchesTheCatalogObjectByObject) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  for (const QmFailedStatement& failed : outcome.failed)
    ADD_FAILURE() << Utf8(failed.name) << ": " << Utf8(failed.diagnostic.message);

  std::unique_ptr<PgConnection> pg = s_database->Connect();
  const std::vector<std::string> expected = CatalogLines(*pg);
  const std::vector<std::string> actual = ModelLines(model).Lines();
  ASSERT_GT(expected.size(), 150u);
  EXPECT_EQ(LineDifference(expected, actual), "");

  const CMOObject& root = *model.GetCMOObject();
  EXPECT_EQ(Text(root, model::DatabaseName), s_database->Name());
  EXPECT_FALSE(Text(root, model::ServerName).empty());
}

TEST_F(PgImportTest, TypesCarryTheirAttributesLabelsAndConstraints) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_EQ(Import(model).status, ImportStatusConnected);
  CMOObject* shop = Child(model, *model.GetCMOObject(), model::Schema, u"shop");
  ASSERT_NE(shop, nullptr);

  // The attribute list is assembled in the scratch store: the quote in an
  // attribute name survives it, and the name is quoted as SQL needs.
  CMOObject* address = Child(model, *shop, model::UserType, u"address");
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(Text(*address, model::AttributeList),
            "(street  text  NULL,\"it's \"\"x\"\"\"  integer  NULL,city  character varying(40) COLLATE \"C\"  NULL)");
  CMOObject* empty = Child(model, *shop, model::UserType, u"empty_type");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(Text(*empty, model::AttributeList), "()");

  CMOObject* mood = Child(model, *shop, model::UserType, u"mood");
  ASSERT_NE(mood, nullptr);
  EXPECT_EQ(Text(*mood, model::EnumLabels), "'sad', 'o''k', 'ünï 😀'");
  EXPECT_EQ(Text(*mood, model::Comment), "how it went");

  CMOObject* domain = Child(model, *shop, model::UserType, u"posint");
  ASSERT_NE(domain, nullptr);
  EXPECT_EQ(Text(*domain, model::BaseType), "integer");
  EXPECT_EQ(Integer(*domain, model::Nullable), 0);
  EXPECT_EQ(Text(*domain, model::DefaultValue), "1");
  EXPECT_EQ(Text(*domain, model::CheckExpression), "CHECK ((VALUE < 1000000)) CHECK ((VALUE > 0))");

  CMOObject* countdown = Child(model, *shop, model::Sequence, u"countdown");
  ASSERT_NE(countdown, nullptr);
  EXPECT_EQ(Integer(*countdown, model::SequenceMin), INT64_MIN);
  EXPECT_EQ(Integer(*countdown, model::SequenceIncrement), -5);
}

TEST_F(PgImportTest, LongTextsArriveWhole) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_EQ(Import(model).status, ImportStatusConnected);
  std::unique_ptr<PgConnection> pg = s_database->Connect();

  CMOObject* view = Relation(model, u"shop", u"v_long");
  ASSERT_NE(view, nullptr);
  const std::string definition = Text(*view, model::Definition);
  // Several pieces of the transfer buffer, whatever the text's encoding.
  EXPECT_GT(definition.size(), 7000u);
  EXPECT_EQ(definition, pg->Scalar("SELECT pg_get_viewdef('shop.v_long'::regclass)"));
  EXPECT_NE(definition.find("'ünïcødé 😀 149'::text AS \"Col ✓ 149\""), std::string::npos);

  CMOObject* shop = Child(model, *model.GetCMOObject(), model::Schema, u"shop");
  CMOObject* longFunction = Child(model, *shop, model::Routine, u"f_long");
  ASSERT_NE(longFunction, nullptr);
  EXPECT_GT(Text(*longFunction, model::Definition).size(), 4000u);
  EXPECT_EQ(Text(*longFunction, model::SqlText), pg->Scalar("SELECT pg_get_functiondef('shop.f_long'::regproc)"));
}

TEST_F(PgImportTest, PartitionsCarryTheirBoundValues) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_EQ(Import(model).status, ImportStatusConnected);
  auto partition = [&](std::u16string_view parent, std::u16string_view name) -> CMOObject* {
    CMOObject* table = Relation(model, u"shop", parent);
    return table != nullptr ? Child(model, *table, model::Partition, name) : nullptr;
  };
  struct Case {
    std::u16string_view parent, name;
    const char* values;      // PartitionBound of the partition object; null: none
    const char* definition;  // the bound clause
  };
  const Case cases[] = {
      {u"regions", u"regions_north", "'north','it''s','NULL'", "FOR VALUES IN ('north', 'it''s', NULL)"},
      {u"regions", u"regions_rest", nullptr, "DEFAULT"},
      {u"events", u"events_2020", "'2020-01-01','2021-01-01'", "FOR VALUES FROM ('2020-01-01') TO ('2021-01-01')"},
      {u"events", u"events_old", "'MINVALUE','2020-01-01'", "FOR VALUES FROM (MINVALUE) TO ('2020-01-01')"},
      {u"buckets", u"buckets_1", "'modulus 2','remainder 1'", "FOR VALUES WITH (modulus 2, remainder 1)"},
      {u"buckets", u"buckets_0", "'modulus 2','remainder 0'", "FOR VALUES WITH (modulus 2, remainder 0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.name));
    CMOObject* object = partition(c.parent, c.name);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Text(*object, model::Definition), c.definition);
    if (c.values != nullptr) {
      EXPECT_EQ(Text(*object, model::PartitionBound), c.values);
    } else {
      EXPECT_EQ(object->GetProperty(model::PartitionBound), nullptr);
    }
  }
  // A partition in another schema than its parent is linked all the same.
  CMOObject* crossSchema = Relation(model, u"Mixed Case", u"buckets_0");
  ASSERT_NE(crossSchema, nullptr);
  EXPECT_EQ(Ids(*crossSchema, model::PartitionOf), std::vector<int>{Relation(model, u"shop", u"buckets")->GetObjectId()});
}

TEST_F(PgImportTest, TriggersTimingAndEventsAndTableSpaces) {
  GenericModel model(s_plugin->Api().modelType);
  ASSERT_EQ(Import(model).status, ImportStatusConnected);
  struct Case {
    std::u16string_view table, trigger;
    const char* timing;
    const char* events;
  };
  const Case cases[] = {
      {u"customer", u"trg_before", "BEFORE", "INSERT OR UPDATE"},
      {u"orders", u"trg_truncate", "AFTER", "TRUNCATE"},
      {u"v_customers", u"trg_view", "INSTEAD OF", "INSERT OR DELETE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.trigger));
    CMOObject* relation = Relation(model, u"shop", c.table);
    ASSERT_NE(relation, nullptr);
    CMOObject* trigger = Child(model, *relation, model::Trigger, c.trigger);
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(Text(*trigger, model::TriggerTiming), c.timing);
    EXPECT_EQ(Text(*trigger, model::TriggerEvents), c.events);
  }

  std::vector<std::string> spaces;
  for (CMOObject* space : Children(model, *model.GetCMOObject(), model::TableSpace)) spaces.push_back(Name(*space));
  EXPECT_NE(std::find(spaces.begin(), spaces.end(), "pg_default"), spaces.end());
  EXPECT_NE(std::find(spaces.begin(), spaces.end(), "pg_global"), spaces.end());
  if (!s_haveTableSpace) GTEST_SKIP() << "the server refused an in-place tablespace";
  EXPECT_NE(std::find(spaces.begin(), spaces.end(), s_tableSpace), spaces.end());
  EXPECT_EQ(NameList(model, Ids(*Relation(model, u"shop", u"orders"), model::TableSpaceRef)), s_tableSpace);
}

TEST_F(PgImportTest, ProgressCountsEveryObjectKindOnceStartedAndFinished) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model);
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  std::map<int, int> started;
  std::map<int, long long> finished;
  for (const MSG& message : outcome.messages) {
    if (message.message != WM_IMPORT_PROGRESS) continue;
    const int type = static_cast<int>(message.wParam);
    if (!started.count(type)) {
      started[type] = 1;
      EXPECT_EQ(message.lParam, 0) << "type " << type << " finished before it started";
    } else {
      finished[type] = static_cast<long long>(message.lParam);
    }
  }
  ASSERT_EQ(outcome.messages.back().message, WM_IMPORT_FINISHED);
  const int types[] = {model::TableSpace, model::Schema, model::UserType, model::Sequence, model::Table,
                       model::View, model::Column, model::Key, model::CheckConstraint, model::ForeignKey,
                       model::Index, model::Partition, model::Trigger, model::Routine, model::Parameter};
  for (int type : types) {
    SCOPED_TRACE(model::ObjectTypeName(type));
    ASSERT_TRUE(finished.count(type));
    EXPECT_EQ(finished[type], static_cast<long long>(AllOfType(model, type).size()));
    EXPECT_GT(finished[type], 0);
  }
  EXPECT_EQ(finished.size(), std::size(types));
}

TEST_F(PgImportTest, ASecondImportGivesTheSameModel) {
  GenericModel first(s_plugin->Api().modelType);
  GenericModel second(s_plugin->Api().modelType);
  ASSERT_EQ(Import(first).status, ImportStatusConnected);
  ASSERT_EQ(Import(second).status, ImportStatusConnected);
  // Tablespaces belong to the cluster, where other tests make and drop
  // theirs; everything else must be there once per import.
  EXPECT_EQ(first.GetObjectCount() - AllOfType(first, model::TableSpace).size(),
            second.GetObjectCount() - AllOfType(second, model::TableSpace).size());
  EXPECT_EQ(LineDifference(ModelLines(first).Lines(), ModelLines(second).Lines()), "");
}

// The ANSI driver hands text over as narrow columns in the client's
// encoding; names and long texts outside ASCII must come out the same.
TEST_F(PgImportTest, TheAnsiDriverGivesTheSameModel) {
  GenericModel unicode(s_plugin->Api().modelType);
  ASSERT_EQ(Import(unicode).status, ImportStatusConnected);
  std::string connection = s_database->ConnectionString();
  const std::size_t driver = connection.find("{PostgreSQL Unicode}");
  ASSERT_NE(driver, std::string::npos);
  connection.replace(driver, std::string("{PostgreSQL Unicode}").size(), "{PostgreSQL ANSI}");
  GenericModel ansi(s_plugin->Api().modelType);
  const ImportOutcome outcome = RunImport(s_plugin->Api(), ansi, connection);
  ASSERT_EQ(outcome.status, ImportStatusConnected) << Utf8(s_plugin->Api().LastConnectError().message);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_EQ(LineDifference(ModelLines(unicode).Lines(), ModelLines(ansi).Lines()), "");
}

TEST_F(PgImportTest, TheScopeNamesTheSchemasAndLinksOutsideItAreLeftOpen) {
  GenericModel model(s_plugin->Api().modelType);
  const ImportOutcome outcome = Import(model, "quote's \"q\" ünï, Mixed Case");
  ASSERT_EQ(outcome.status, ImportStatusConnected);
  EXPECT_TRUE(outcome.failed.empty());
  std::vector<std::string> schemas;
  for (CMOObject* schema : Children(model, *model.GetCMOObject(), model::Schema)) schemas.push_back(Name(*schema));
  std::sort(schemas.begin(), schemas.end());
  EXPECT_EQ(schemas, (std::vector<std::string>{"Mixed Case", "quote's \"q\" ünï"}));

  // The foreign key to shop.customer keeps its clause but no link.
  CMOObject* table = Relation(model, u"Mixed Case", u"Täble \"Q\"");
  ASSERT_NE(table, nullptr);
  const std::vector<CMOObject*> fks = Children(model, *table, model::ForeignKey);
  ASSERT_EQ(fks.size(), 1u);
  EXPECT_TRUE(Ids(*fks[0], model::ReferencedTable).empty());
  EXPECT_EQ(Text(*fks[0], model::Definition), "FOREIGN KEY (\"CamelCol\") REFERENCES shop.customer(id)");
  // A partition whose parent is outside the scope has its bound only.
  CMOObject* partition = Relation(model, u"Mixed Case", u"buckets_0");
  ASSERT_NE(partition, nullptr);
  EXPECT_TRUE(Ids(*partition, model::PartitionOf).empty());
  EXPECT_EQ(Text(*partition, model::PartitionBound), "FOR VALUES WITH (modulus 2, remainder 0)");
  EXPECT_TRUE(AllOfType(model, model::Partition).empty());

  // Every table in the model is in one of the two schemas, all of theirs.
  std::unique_ptr<PgConnection> pg = s_database->Connect();
  const std::string tables = pg->Scalar(
      "SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('r', 'p') AND n.nspname IN ('Mixed Case', 'quote''s \"q\" ünï')");
  EXPECT_EQ(std::to_string(AllOfType(model, model::Table).size()), tables);
}

// The fetch delivers integer columns as 32-bit signed values; an oid of
// 2^31 or more comes back negative. Shifting the oids of the relations that
// statements return (consistently, in every statement) puts them there: the
// columns, keys, indexes and triggers must still find their tables.
TEST_F(PgImportTest, OidsAbove2To31StillLinkObjects) {
  GenericModel reference(s_plugin->Api().modelType);
  ASSERT_EQ(Import(reference).status, ImportStatusConnected);

  const std::pair<std::u16string, std::u16string> shifts[] = {
      {u"c.oid AS table_oid", u"(c.oid::int8 + 3000000000)::oid AS table_oid"},
      {u"c.oid AS view_oid", u"(c.oid::int8 + 3000000000)::oid AS view_oid"},
      {u"a.attrelid AS table_oid", u"(a.attrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"k.conrelid AS table_oid", u"(k.conrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"k.confrelid AS referenced_table_oid", u"(k.confrelid::int8 + 3000000000)::oid AS referenced_table_oid"},
      {u"i.indrelid AS table_oid", u"(i.indrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"t.tgrelid AS table_oid", u"(t.tgrelid::int8 + 3000000000)::oid AS table_oid"},
      {u"c.oid AS partition_oid", u"(c.oid::int8 + 3000000000)::oid AS partition_oid"},
      {u"inh.inhparent AS parent_oid", u"(inh.inhparent::int8 + 3000000000)::oid AS parent_oid"},
  };
  int rewritten = 0;
  hook::Install shift([&](const std::u16string& statement) -> std::optional<std::u16string> {
    std::u16string text = statement;
    for (const auto& [from, to] : shifts) {
      for (std::size_t pos = text.find(from); pos != std::u16string::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
        ++rewritten;
      }
    }
    if (text == statement) return std::nullopt;
    return text;
  });
  GenericModel shifted(s_plugin->Api().modelType);
  ASSERT_EQ(Import(shifted).status, ImportStatusConnected);
  EXPECT_GE(rewritten, 9);
  EXPECT_EQ(LineDifference(ModelLines(reference).Lines(), ModelLines(shifted).Lines()), "");
}

}  // namespace
}  // namespace qm::test::postgres

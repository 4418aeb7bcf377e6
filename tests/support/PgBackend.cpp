// PostgreSQL: a database of the test's own on the test server (PgServer.h).
#include "TestBackend.h"

#include "HostileNames.h"
#include "PgCatalogue.h"
#include "PgServer.h"
#include "PgShopSchema.h"
#include "PgTestEnv.h"
#include "SilentListener.h"

#include <tillerhold/ModelVocabulary.h>

#include <algorithm>

namespace qm::test {
namespace {

using hardening::HostileNames;
using hardening::QuoteIdent;
using hardening::QuoteText;
using hardening::Repeat;
using odbc::KnownDifference;
using odbc::Side;

// The schema the hostile objects live in (no comma: scopes split at commas).
const std::string kHostileSchema = "sch \"q' \\ %s\n\xF0\x9F\x98\x80";

class PgDatabase : public BackendDatabase {
 public:
  explicit PgDatabase(const std::string& tag) : m_tag(tag), m_database(tag) {}

  std::string Name() const override { return m_database.Name(); }
  std::string Load(const std::string& script) override { return RunPsql(m_database.Name(), script); }
  std::string Source() const override { return m_database.ConnectionString(); }
  std::string ConnectionString() const override { return m_database.ConnectionString(); }
  std::vector<std::string> CommandLine() const override { return {"--postgres", Source()}; }
  std::vector<std::string> CatalogueLines() const override { return PgCatalogueLines(Name()); }
  std::vector<std::string> ModelLines(GenericModel& model, const std::vector<QmFailedStatement>&) const override {
    return PgModelLines(model);
  }
  std::vector<std::string> PrivilegeLines() const override { return PgPrivilegeLines(Name()); }
  std::unique_ptr<BackendDatabase> Remake(const std::string& script, std::string* error) override {
    auto copy = std::make_unique<PgDatabase>(m_tag + "_copy");
    *error = copy->Load(script);
    return error->empty() ? std::move(copy) : nullptr;
  }
  // Every index valid; a partitioned table's objects linked from its partitions'.
  std::vector<std::string> CopyFacts() const override {
    const std::string& d = Name();
    return {
        "invalid indexes " + QueryValue(d, "SELECT count(*) FROM pg_catalog.pg_index WHERE NOT indisvalid"),
        "attached indexes " + QueryValue(d, "SELECT count(*) FROM pg_catalog.pg_inherits i JOIN pg_catalog.pg_class c "
                                            "ON c.oid = i.inhrelid WHERE c.relkind IN ('i', 'I')"),
        "attached constraints " + QueryValue(d, "SELECT count(*) FROM pg_catalog.pg_constraint WHERE conparentid <> 0"),
        "attached triggers " + QueryValue(d, "SELECT count(*) FROM pg_catalog.pg_trigger WHERE tgparentid <> 0"),
    };
  }

 private:
  std::string m_tag;
  TestDatabase m_database;
};

class Postgres : public TestBackend {
 public:
  std::string Name() const override { return "postgres"; }
  std::string PluginPath() const override { return QM_POSTGRES_PLUGIN; }
  unsigned ModelType() const override { return 1002; }
  std::string Unavailable() const override {
    return PgConnectionString() ? "" : "QM_PG_CONNECT is not set (scripts/pg start DIR exports it)";
  }
  std::unique_ptr<BackendDatabase> Create(const std::string& tag, bool) const override {
    return std::make_unique<PgDatabase>(Identifier(tag));
  }

  // ConnSettings is echoed in the completed string: a long one passes the buffer.
  std::string LongConnectionString(const BackendDatabase& database) const override {
    return database.Source() + ";ConnSettings=SET application_name TO '" + std::string(200, 'q') + "'";
  }

  // Hostile names in every kind of object, names of 63 bytes and longer, a long view.
  std::string Script(const std::string& schema, const BackendDatabase& database) const override {
    if (schema == "shop") return postgres::ShopSchemaScript(ServerTableSpace());
    if (schema != "hostile") return TestBackend::Script(schema, database);
    const std::string s = QuoteIdent(kHostileSchema);
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
      sql += "CREATE TABLE " + t + " (" + QuoteIdent(n) + " integer CONSTRAINT " + QuoteIdent("pk " + n) +
             " PRIMARY KEY, " + other + " text DEFAULT " + QuoteText(n) + ", " + QuoteIdent("id " + n) +
             " bigint GENERATED ALWAYS AS IDENTITY, " + QuoteIdent("gen " + n) + " text GENERATED ALWAYS AS (" + other +
             " || 'x') STORED, CONSTRAINT " + QuoteIdent("uq " + n) + " UNIQUE (" + other + "), CONSTRAINT " +
             QuoteIdent("ck " + n) + " CHECK (" + QuoteIdent(n) + " > 0 OR " + other + " <> " + QuoteText(n) + "));\n";
      sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + other + " DESC, lower(" + other +
             ")) WHERE " + QuoteIdent(n) + " > 0;\n";
      sql += "CREATE VIEW " + s + "." + QuoteIdent("v " + n) + " AS SELECT " + QuoteIdent(n) + " FROM " + t + ";\n";
      sql += "CREATE VIEW " + s + "." + QuoteIdent("vv " + n) + " AS SELECT * FROM " + s + "." + QuoteIdent("v " + n) + ";\n";
      sql += "CREATE TABLE " + s + "." + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " integer CONSTRAINT " +
             QuoteIdent("fk " + n) + " REFERENCES " + t + " (" + QuoteIdent(n) + ") ON DELETE CASCADE);\n";
      sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " FOR EACH ROW EXECUTE FUNCTION " +
             s + ".\"trg fn\"();\n";
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
    // 63 bytes of one-, two- and four-byte characters; 80 the server cuts to 62.
    for (const std::string& n : {std::string(63, 'L'), Repeat("é", 31) + "x", Repeat("😀", 15) + "abc", Repeat("é", 40)})
      sql += "CREATE TABLE " + s + "." + QuoteIdent(n) + " (" + QuoteIdent(n) + " integer);\n";
    // Made once there are partitions: each gets its own copy, linked to the parent's.
    sql += "CREATE INDEX \"ix parted\" ON " + s + ".parted (n, lower(k));\n"
           "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"uq parted\" UNIQUE (k, n);\n"
           "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"ck parted\" CHECK (n > 0);\n"
           "ALTER TABLE " + s + ".parted ADD CONSTRAINT \"fk parted\" FOREIGN KEY (n) REFERENCES " + s +
           ".\"Mixed\" (\"Mixed\");\n"
           "CREATE TRIGGER \"tr parted\" AFTER INSERT ON " + s + ".parted FOR EACH ROW EXECUTE FUNCTION " + s +
           ".\"trg fn\"();\n";
    return sql + "CREATE VIEW " + s + ".\"long view\" AS SELECT " + QuoteText(hardening::MixedText(100000)) +
           "::text AS t;\n";
  }

  std::vector<Feature> Features() const override {
    std::vector<Feature> features = KindsOf({
        {"pdns", "table fk check index"},
        {"roundcube", "table fk index sequence"},
        {"icinga2-ido", "table index routine"},
        {"mediawiki", "table key index"},
        {"kamailio", "table key index"},
        {"davical", "table fk trigger view routine"},
        {"gammu", "table trigger routine"},
        {"freeradius", "table index"},
        {"shop", "table key fk index view routine trigger type sequence partition check"},
        {"hostile", "table key fk index view routine trigger type sequence partition check"},
    });
    // The name the server cut is cut; the long view is long.
    features.push_back({"hostile", "table", kHostileSchema + "." + Repeat("é", 31) + " ", 1});
    features.push_back({"hostile", "view", kHostileSchema + ".long view ", 1});
    return features;
  }

  // Each hostile partition's bound is its table's: the value it is named after.
  void CheckDetails(const std::string& schema, GenericModel& model) const override {
    if (schema != "hostile") return;
    CMOObject* hostile = Child(model, *model.GetCMOObject(), model::Schema, kHostileSchema);
    ASSERT_NE(hostile, nullptr);
    CMOObject* parted = Child(model, *hostile, model::Table, "parted");
    ASSERT_NE(parted, nullptr);
    const std::vector<CMOObject*> partitions = Children(model, *parted, model::Partition);
    EXPECT_EQ(partitions.size(), HostileNames().size());
    for (CMOObject* partition : partitions) {
      const std::string name = qm::test::Name(*partition);
      CMOObject* table = Child(model, *hostile, model::Table, name);
      ASSERT_NE(table, nullptr) << name;
      EXPECT_EQ(Text(*partition, model::Definition), Text(*table, model::PartitionBound)) << name;
      EXPECT_EQ(Text(*partition, model::PartitionBound), QuoteText(name.substr(5))) << name;
    }
  }

  // What psqlODBC does not report (plugins/odbc/README.md).
  std::vector<KnownDifference> GenericDifferences(GenericModel&, const std::vector<std::string>& ours,
                                                  const std::vector<std::string>&) const override {
    const char* partial = "SQLStatistics gives no FILTER_CONDITION: a partial unique index looks unique on the whole table";
    return {
        {Side::Dedicated, "unique", " where ...", partial},
        {Side::Generic, "unique", "", partial,
         [&ours](const std::string& line) { return std::find(ours.begin(), ours.end(), line + " where ...") != ours.end(); }},
    };
  }

  std::function<bool(const CMOObject&, int)> FromProperties() const override {
    return [](const CMOObject& object, int propertyId) {
      const int type = object.GetObjectType();
      return (propertyId == model::Definition &&
              (type == model::Key || type == model::ForeignKey || type == model::CheckConstraint)) ||
             (propertyId == model::SqlText && type == model::Index);
    };
  }

  // The server's list: a word it reserves in any way is quoted, as quote_ident does.
  bool ListsKeywords() const override { return true; }
  std::vector<std::pair<std::string, bool>> Keywords() const override {
    std::vector<std::pair<std::string, bool>> words;
    for (const std::string& line :
         QueryColumn("postgres", "SELECT word || ' ' || (catcode <> 'U') FROM pg_catalog.pg_get_keywords()"))
      words.emplace_back(line.substr(0, line.find(' ')), line.ends_with("true"));
    return words;
  }

  std::vector<FaultCase> FaultCases() const override {
    return {
        {"WhileTheSessionIsPrepared", Moment::BeforeExecute, "server_version_num", 0, "", 0, {}, {}},
        {"BetweenStatements", Moment::BeforeExecute, "FROM pg_attribute a JOIN pg_class c", 0, "columns", 11,
         {"schema", "sequence", "table", "view"}, {}},
        {"WhileTheServerExecutes", Moment::DuringExecute, "pg_get_viewdef(c.oid)", 0, "views", 12,
         {"schema", "sequence", "table"}, {}},
        // A column for every row the driver delivered, then the loss.
        {"HalfWayThroughAFetch", Moment::DuringFetch, "FROM pg_attribute a JOIN pg_class c", 30, "columns", 11,
         {"schema", "sequence", "table", "view"}, {}, "column"},
    };
  }
  std::string FaultScript() const override {
    return R"sql(
      CREATE TABLE public.locked (id integer PRIMARY KEY, note text);
      CREATE VIEW public.locked_view AS SELECT id, note FROM public.locked;
      DO $$ BEGIN FOR i IN 1..60 LOOP
        EXECUTE format('CREATE TABLE public.t%s (id integer PRIMARY KEY, a integer CHECK (a > 0), b text, '
                       'c integer REFERENCES public.t%s (id))', i, greatest(i - 1, 1));
        EXECUTE format('CREATE INDEX t%s_b ON public.t%s (b)', i, i);
      END LOOP; END $$;
      CREATE SEQUENCE public.counter;
      CREATE FUNCTION public.f(x integer) RETURNS integer LANGUAGE sql AS $f$ SELECT x $f$;
    )sql";
  }
  // Small batches from a server-side cursor: columns arrive over many round trips.
  std::string FaultSource(const BackendDatabase& database) const override {
    return database.Source() + ";UseDeclareFetch=1;Fetch=20";
  }
  // psql as the superuser (PG* variables), its sessions named qm_fault: never ended.
  SessionControl Sessions(const BackendDatabase& database) const override {
    const auto psql = [](const std::string& connect) {
      return std::vector<std::string>{"/usr/bin/psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", connect, "-f", "-"};
    };
    const std::string importer = "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity "
                                 "WHERE datname = '" + database.Name() + "' AND backend_type = 'client backend' AND "
                                 "application_name NOT LIKE 'qm\\_fault%'";
    return {psql("dbname=postgres application_name=qm_fault"),
            psql("dbname=" + database.Name() + " application_name=qm_fault_holder"),
            importer + ";",
            importer + " AND wait_event_type = 'Lock';",
            "BEGIN; LOCK TABLE public.locked IN ACCESS EXCLUSIVE MODE; SELECT pg_sleep(60);",
            // The holder of this test's database only: other tests may hold theirs.
            "SELECT count(*) FROM pg_stat_activity WHERE application_name = 'qm_fault_holder' AND datname = '" +
                database.Name() + "' AND query LIKE '%pg\\_sleep%' AND state = 'active';",
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = 'qm_fault_holder' AND "
            "datname = '" + database.Name() + "';"};
  }
  bool LostConnection(const OdbcDiagnostic& diagnostic) const override {
    return diagnostic.sqlState == u"57P01" || diagnostic.sqlState.starts_with(u"08");
  }
  std::vector<RefusedConnection> Refusals(const BackendDatabase& database) const override {
    return {{WithAttribute(database.Source(), "Port", std::to_string(UnusedLoopbackPort())), "refused"},
            {WithAttribute(database.Source(), "Pwd", "wrong-pw-4"), "password authentication failed"}};
  }
  // Roles are the cluster's: made once, holding nothing in a new database.
  std::string PrivilegesScript(const std::string&, bool grants) const override {
    std::string sql =
        "DO $$ DECLARE r text; BEGIN FOREACH r IN ARRAY ARRAY['qm_owner', 'qm_reader', E'qm \"we''ird\\nrole'] LOOP\n"
        "  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN EXECUTE format('CREATE ROLE %I', r); END IF;\n"
        "END LOOP; END $$;\n";
    if (grants)
      sql += R"sql(
        CREATE SCHEMA priv AUTHORIZATION qm_owner;
        CREATE TYPE priv.mood AS ENUM ('a');
        CREATE TABLE priv.item (id serial PRIMARY KEY, secret text);
        CREATE VIEW priv.v AS SELECT id FROM priv.item;
        CREATE FUNCTION priv.f(x integer) RETURNS integer LANGUAGE sql AS 'SELECT x';
        ALTER TABLE priv.item OWNER TO qm_owner; ALTER TYPE priv.mood OWNER TO qm_owner;
        GRANT SELECT, INSERT ON priv.item TO qm_reader WITH GRANT OPTION; GRANT UPDATE ON priv.item TO qm_reader;
        GRANT SELECT (secret) ON priv.item TO "qm ""we'ird
role";
        GRANT USAGE ON SCHEMA priv TO qm_reader; GRANT SELECT ON priv.v TO PUBLIC;
        REVOKE EXECUTE ON FUNCTION priv.f(integer) FROM PUBLIC;
        GRANT EXECUTE ON FUNCTION priv.f(integer) TO "qm ""we'ird
role";
        GRANT USAGE ON TYPE priv.mood TO qm_reader; GRANT USAGE ON SEQUENCE priv.item_id_seq TO qm_reader;
        REVOKE TRUNCATE ON priv.item FROM qm_owner;
      )sql";
    return sql;
  }
  std::string Password() const override { return EnvText("QM_PG_PASSWORD"); }
};

}  // namespace

const TestBackend& PgBackend() {
  static const Postgres backend;
  return backend;
}

}  // namespace qm::test

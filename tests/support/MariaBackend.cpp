// MariaDB: a schema of the test's own on the test server (MariaServer.h).
#include "TestBackend.h"

#include "MariaCatalogue.h"
#include "MariaHostileSchema.h"
#include "MariaServer.h"
#include "MariaShopSchema.h"
#include "PgServer.h"
#include "SilentListener.h"

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <optional>

namespace qm::test {
namespace {

using odbc::KnownDifference;
using odbc::SameColumnSetIn;
using odbc::Side;

class MariaDb : public BackendDatabase {
 public:
  // A hostile one has a hostile name, made by its script under global hostile
  // sql_modes (ANSI_QUOTES, NO_BACKSLASH_ESCAPES), the importer's session too.
  MariaDb(const std::string& tag, bool hostile) {
    if (!hostile) {
      m_database = std::make_unique<MariaDatabase>(tag);
      return;
    }
    m_name = "sch \"q' \\ %s`\n✓ " + std::to_string(::getpid());
    m_globalMode = MariaQueryValue("SELECT @@GLOBAL.sql_mode AS v");
    const std::string error =
        RunMariaSql("", "SET GLOBAL sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES';\n");
    if (!error.empty()) ADD_FAILURE() << error;
  }
  // A database the sql format's script made again, under its own name.
  explicit MariaDb(std::string name) : m_name(std::move(name)) {}
  ~MariaDb() override {
    if (m_database) return;
    RunMariaSql("", "DROP DATABASE IF EXISTS " + MariaIdent(m_name) + ";\n" +
                        (m_globalMode ? "SET GLOBAL sql_mode = " + MariaLiteral(*m_globalMode) + ";\n" : ""));
  }

  std::string Name() const override { return m_database ? m_database->Name() : m_name; }
  std::string Load(const std::string& script) override { return RunMariaSql(m_database ? Name() : "", script); }
  std::string Source() const override {
    return m_database ? m_database->ConnectionString() : MariaConnectionString().value_or("");
  }
  // A scope list naming exactly this schema (ScopeList.h).
  std::string Scope() const override { return hardening::QuoteIdent(Name()); }
  std::string ConnectionString() const override { return Source(); }
  std::vector<std::string> CommandLine() const override { return {"--mariadb", Source(), "--schema", Scope()}; }
  std::vector<std::string> CatalogueLines() const override { return MariaCatalogueLines({Name()}); }
  std::vector<std::string> ModelLines(GenericModel& model, const std::vector<QmFailedStatement>&) const override {
    return MariaModelLines(model);
  }
  std::vector<std::string> PrivilegeLines() const override { return MariaPrivilegeLines(Name()); }
  // The script makes the database again under its name: this one goes first.
  std::unique_ptr<BackendDatabase> Remake(const std::string& script, std::string* error) override {
    *error = RunMariaSql("", "DROP DATABASE " + MariaIdent(Name()) + ";\n");
    if (error->empty()) *error = RunMariaSql("", script);
    return error->empty() ? std::make_unique<MariaDb>(Name()) : nullptr;
  }

 private:
  std::unique_ptr<MariaDatabase> m_database;  // a plain one
  std::string m_name;                          // a hostile or remade one
  std::optional<std::string> m_globalMode;     // the server's sql_mode, put back at the end
};

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The line with its end `from` made `to`; empty when it does not end so.
std::string EndSwapped(const std::string& line, const std::string& from, const std::string& to) {
  if (!line.ends_with(from)) return {};
  return line.substr(0, line.size() - from.size()) + to;
}

// KILL CONNECTION of the sessions on the test's database, waiting until
// they are gone; prints how many.
std::string EndSessions(const std::string& database, const std::string& also) {
  const std::string importer = "FROM information_schema.PROCESSLIST WHERE DB = " + MariaLiteral(database) +
                               " AND ID <> CONNECTION_ID()";
  return "DELIMITER //\nBEGIN NOT ATOMIC\n  DECLARE ended INT DEFAULT 0;\n  DECLARE tries INT DEFAULT 0;\n"
         "  FOR s IN (SELECT ID " + importer + also + ") DO\n    KILL CONNECTION s.ID;\n    SET ended = ended + 1;\n"
         "  END FOR;\n  WHILE tries < 200 AND (SELECT COUNT(*) " + importer + " AND COMMAND <> 'Killed') > 0 DO\n"
         "    DO SLEEP(0.01);\n    SET tries = tries + 1;\n  END WHILE;\n  SELECT ended;\nEND//\nDELIMITER ;";
}

class Maria : public TestBackend {
 public:
  // Accounts are the server's and outlive databases: made anew, they hold nothing.
  std::string PrivilegesScript(const std::string& database, bool grants) const override {
    const std::string hostile = "'o''q\"x\ny'@'local host'";
    std::string sql = "DROP USER IF EXISTS 'qm_reader'@'%', " + hostile + ";\nDROP ROLE IF EXISTS qm_auditor;\n"
                      "CREATE USER 'qm_reader'@'%';\nCREATE USER " + hostile + ";\nCREATE ROLE qm_auditor;\n";
    if (grants)
      sql += "CREATE TABLE t (id int PRIMARY KEY, secret text);\n"
             "GRANT SELECT, INSERT ON " + MariaIdent(database) + ".* TO 'qm_reader'@'%' WITH GRANT OPTION;\n"
             "GRANT UPDATE, SELECT ON " + MariaIdent(database) + ".t TO " + hostile + ";\n"
             "GRANT SELECT (secret) ON " + MariaIdent(database) + ".t TO qm_auditor;\n";
    return sql;
  }
  std::string Name() const override { return "mariadb"; }
  std::string PluginPath() const override { return QM_MARIADB_PLUGIN; }
  unsigned ModelType() const override { return 1003; }
  std::string Unavailable() const override {
    return MariaConnectionString() ? "" : "QM_MARIA_CONNECT is not set (scripts/mariadb start DIR exports it)";
  }
  std::unique_ptr<BackendDatabase> Create(const std::string& tag, bool hostile) const override {
    return std::make_unique<MariaDb>(Identifier(tag), hostile);
  }

  std::string Script(const std::string& schema, const BackendDatabase& database) const override {
    if (schema == "shop") return mariadb::MariaShopScript();
    if (schema == "hostile") return hardening::MariaHostileScript(database.Name());
    return TestBackend::Script(schema, database);
  }

  std::vector<Feature> Features() const override {
    std::vector<Feature> features = KindsOf({
        {"pdns", "table fk key index"},
        {"roundcube", "table fk key index"},
        {"icinga2-ido", "table key index"},
        {"mediawiki", "table key index"},
        {"freeradius", "table index view routine body"},
        {"bacula", "table key index"},
        {"gammu", "table key index"},
        {"shop", "table key fk index view routine trigger sequence partition check"},
        {"hostile", "table key fk index view routine body trigger sequence partition check"},
    });
    features.push_back({"hostile", "table", "." + hardening::Repeat("é", 64) + " ", 1});
    features.push_back({"hostile", "view", ".long view ", 1});
    return features;
  }

  void CheckDetails(const std::string& schema, GenericModel& model) const override {
    if (schema != "hostile") return;
    const std::vector<CMOObject*> schemas = Children(model, *model.GetCMOObject(), model::Schema);
    ASSERT_EQ(schemas.size(), 1u);
    CMOObject& hostile = *schemas[0];
    for (std::size_t i = 0; i < hardening::Names().size(); ++i) {
      const std::string& n = hardening::Names()[i];
      SCOPED_TRACE(n);
      // Bodies keep the character outside the BMP (mysql.proc has them as written).
      CMOObject* routine = Child(model, hostile, model::Routine, hardening::Numbered("fn", i, n));
      ASSERT_NE(routine, nullptr);
      EXPECT_NE(Text(*routine, model::Definition).find("😀"), std::string::npos) << Text(*routine, model::Definition);
      // Each partition holds the one value it is named after, as a literal.
      CMOObject* partition =
          Child(model, *Child(model, hostile, model::Table, "parted"), model::Partition, hardening::Numbered("part", i, n));
      ASSERT_NE(partition, nullptr);
      EXPECT_EQ(Text(*partition, model::PartitionBound), hardening::QuoteText(n));
      // The foreign key finds the primary key it references.
      CMOObject* fk = Child(model, *Child(model, hostile, model::Table, "fk " + n), model::ForeignKey,
                            hardening::Numbered("fk", i, n));
      ASSERT_NE(fk, nullptr);
      EXPECT_EQ(Value(model, *fk, model::ReferencedKey), "PRIMARY");
    }
  }

  // What MariaDB's driver reports otherwise (plugins/odbc/README.md).
  std::vector<KnownDifference> GenericDifferences(GenericModel&, const std::vector<std::string>& ours,
                                                  const std::vector<std::string>& generic) const override {
    const char* nullable =
        "SQLColumns reports a NOT NULL column that fills itself in when NULL is inserted (AUTO_INCREMENT, "
        "TIMESTAMP DEFAULT CURRENT_TIMESTAMP) as nullable";
    const char* order = "SQLPrimaryKeys gives a composite key's columns in table order, not the key's";
    const char* implicit =
        "SQLPrimaryKeys reports a table's first UNIQUE index over NOT NULL columns as its primary key when it "
        "declares none (the server's COLUMN_KEY = 'PRI')";
    return {
        {Side::Dedicated, "column", "| nullable 0", nullable,
         [&generic](const std::string& l) { return Holds(generic, EndSwapped(l, "| nullable 0", "| nullable 1")); }},
        {Side::Generic, "column", "| nullable 1", nullable,
         [&ours](const std::string& l) { return Holds(ours, EndSwapped(l, "| nullable 1", "| nullable 0")); }},
        {Side::Dedicated, "primary key", "", order,
         [&generic](const std::string& l) { return SameColumnSetIn(generic, l, "primary key"); }},
        {Side::Generic, "primary key", "", order,
         [&ours](const std::string& l) { return SameColumnSetIn(ours, l, "primary key"); }},
        {Side::Generic, "primary key", "", implicit,
         [&ours](const std::string& l) {
           return !SameColumnSetIn(ours, l, "primary key") && SameColumnSetIn(ours, "unique" + l.substr(l.find(" | ")), "unique");
         }},
        {Side::Dedicated, "unique", "", implicit,
         [&generic](const std::string& l) {
           return SameColumnSetIn(generic, "primary key" + l.substr(l.find(" | ")), "primary key");
         }},
    };
  }

  // The driver (3.1.15) reads a whole result while executing: killed half-way
  // through the fetch, the session loses no row; the next statement fails.
  std::vector<FaultCase> FaultCases() const override {
    return {
        {"WhileTheSessionIsPrepared", Moment::BeforeExecute, "SET SESSION sql_mode", 0, "", 0, {}, {}},
        {"BetweenStatements", Moment::BeforeExecute, "FROM information_schema.COLUMNS c", 0, "columns", 10,
         {"schema", "table", "view", "sequence"}, {}},
        // The sequences are there without their values.
        {"WhileTheServerExecutes", Moment::DuringExecute, "start_value", 0, "sequence values", 11,
         {"schema", "table", "view"}, {"sequence"}},
        // Every column is there, without its position in the primary key.
        {"HalfWayThroughAFetch", Moment::DuringFetch, "FROM information_schema.COLUMNS c", 30, "keys", 9,
         {"schema", "table", "view", "sequence"}, {}, "column"},
    };
  }
  std::string FaultScript() const override {
    std::string script = "CREATE SEQUENCE counter;\nCREATE PROCEDURE p(IN x INT) SET @y = x;\n"
                         "CREATE TABLE t0 (id INT PRIMARY KEY);\n";
    for (int i = 1; i <= 40; ++i) {
      const std::string t = "t" + std::to_string(i);
      script += "CREATE TABLE " + t + " (id INT PRIMARY KEY, a INT CHECK (a > 0), b VARCHAR(20), c INT, KEY " + t +
                "_b (b), CONSTRAINT " + t + "_c FOREIGN KEY (c) REFERENCES t" + std::to_string(i - 1) + " (id));\n";
    }
    return script + "CREATE VIEW v AS SELECT id, b FROM t1;\n";
  }
  // The client as the tests' account; with no default database, never the importer's.
  SessionControl Sessions(const BackendDatabase& database) const override {
    const std::vector<std::string> client = {"/usr/bin/mariadb", "--defaults-file=" + EnvText("QM_MARIA_CLIENT_CNF"),
                                             "--batch", "--skip-column-names"};
    return {client,
            client,
            EndSessions(database.Name(), ""),
            EndSessions(database.Name(), " AND STATE LIKE 'Waiting for table metadata lock%'"),
            "LOCK TABLES " + MariaIdent(database.Name()) + ".counter WRITE;\nSELECT SLEEP(20);\nUNLOCK TABLES;",
            "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(20)%';",
            "DELIMITER //\nBEGIN NOT ATOMIC FOR s IN (SELECT ID FROM information_schema.PROCESSLIST WHERE INFO LIKE "
            "'SELECT SLEEP(20)%') DO KILL CONNECTION s.ID; END FOR; END//\nDELIMITER ;"};
  }
  // "killed" (1927), or the client finding the connection gone (2006, 2013, 5013, 5014).
  bool LostConnection(const OdbcDiagnostic& diagnostic) const override {
    const int n = diagnostic.nativeError;
    return n == 1927 || n == 2006 || n == 2013 || n == 5013 || n == 5014;
  }
  std::vector<RefusedConnection> Refusals(const BackendDatabase& database) const override {
    return {{WithAttribute(database.Source(), "Port", std::to_string(UnusedLoopbackPort())), "Can't connect"},
            {WithAttribute(database.Source(), "Pwd", "wrong-pw-4"), "Access denied"}};
  }
  std::string Password() const override { return EnvText("QM_MARIA_PASSWORD"); }
};

}  // namespace

const TestBackend& MariaBackend() {
  static const Maria backend;
  return backend;
}

}  // namespace qm::test

// The sql format on models built in memory: names quoted as each dialect
// needs; objects after what they need; what cannot be written said in a
// comment no name breaks out of; a database's text let into a script only
// when the server and the client loading it read it alike. (Real databases
// load the scripts in the round-trip tests; ScriptCanaryTest runs clients.)
#include "ExpectedFile.h"
#include "TestModel.h"

#include "sql/SqlDialect.h"
#include "sql/SqlProof.h"

#include <writers/SqlWriter.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;

constexpr unsigned int kSqlite = 1001;    // the SQLite plug-in's models
constexpr unsigned int kPostgres = 1002;  // the PostgreSQL plug-in's

// The script in the dialect the plug-in of each model type here declares.
std::string Sql(const GenericModel& model) {
  std::ostringstream out;
  WriteOptions options;
  options.sqlDialect = model.GetModelType() == kSqlite ? "sqlite" : "postgresql";
  SqlWriter().Write(model, out, options);
  return out.str();
}

TEST(SqlWriterTest, NamesAreQuotedWhereTheDialectNeedsIt) {
  const struct {
    std::u16string name;
    const char* postgres;
    const char* sqlite;
    const char* standard;
  } spellings[] = {
      {u"orders", "orders", "orders", "\"orders\""},  // standard SQL folds bare names to upper case
      {u"ORDERS", "\"ORDERS\"", "ORDERS", "ORDERS"},
      {u"Orders", "\"Orders\"", "Orders", "\"Orders\""},
      {u"_x1", "_x1", "_x1", "\"_x1\""},
      {u"select", "\"select\"", "\"select\"", "\"select\""},
      {u"user", "\"user\"", "user", "\"user\""},  // reserved in PostgreSQL, a plain name to SQLite
      {u"key", "key", "\"key\"", "\"key\""},      // unreserved in PostgreSQL, a keyword of SQLite
      {u"json_table", "\"json_table\"", "json_table", "\"json_table\""},  // reserved from PostgreSQL 17 on
      {u"a$b", "\"a$b\"", "a$b", "\"a$b\""},
      {u"na\u00efve", "\"na\u00efve\"", "na\u00efve", "\"na\u00efve\""},
      {u"1st", "\"1st\"", "\"1st\"", "\"1st\""},
      {u"a b", "\"a b\"", "\"a b\"", "\"a b\""},
      {u"we\"ird", "\"we\"\"ird\"", "\"we\"\"ird\"", "\"we\"\"ird\""},
      {u"", "\"\"", "\"\"", "\"\""},
      {u"\u202etxt", "\"\u202etxt\"", "\"\u202etxt\"", "\"\u202etxt\""},  // a direction override is never bare
  };
  for (const auto& spelling : spellings) {
    SCOPED_TRACE(platform::Utf16ToUtf8(spelling.name));
    EXPECT_EQ(platform::Utf16ToUtf8(sql::DialectNamed("postgresql")->Name(spelling.name)), spelling.postgres);
    EXPECT_EQ(platform::Utf16ToUtf8(sql::DialectNamed("sqlite")->Name(spelling.name)), spelling.sqlite);
    EXPECT_EQ(platform::Utf16ToUtf8(sql::DialectNamed("standard")->Name(spelling.name)), spelling.standard);
  }
  std::ostringstream out;
  WriteOptions unknown;
  unknown.sqlDialect = "firebird";
  try {
    SqlWriter().Write(GenericModel(kPostgres), out, unknown);
    ADD_FAILURE() << "an unknown dialect was written";
  } catch (const WriteError& e) {
    EXPECT_STREQ(e.what(), "no SQL dialect is named \"firebird\" (there are sqlite, postgresql, mariadb, standard)");
  }
}

// A table as the PostgreSQL plug-in would write it.
CMOObject& PgTable(GenericModel& model, int schemaId, const std::u16string& name) {
  CMOObject& table = Add(model, Table, schemaId, name);
  SetText(table, TableKind, u"table");
  CMOObject& column = AddColumn(model, table.GetObjectId(), u"id", u"integer");
  SetInteger(column, Nullable, 0);
  SetInteger(column, Position, 1);
  return table;
}

// Made in the model in the wrong order on purpose: a view over a view made
// before it, a table whose default calls a function made after it, a
// foreign key to a table made after its own, a partitioned table's key made
// before its partition's, a trigger calling a function.
TEST(SqlWriterTest, ObjectsComeAfterWhatTheyNeed) {
  GenericModel model(kPostgres);
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  SetText(Add(model, View, app, u"outer_v"), Definition, u" SELECT x.id\n   FROM app.inner_v x;");
  SetText(Add(model, View, app, u"inner_v"), Definition, u" SELECT t.id FROM app.\"Child\" t;");
  CMOObject& child = PgTable(model, app, u"Child");
  CMOObject& stamp = AddColumn(model, child.GetObjectId(), u"stamp", u"integer");
  SetText(stamp, DefaultValue, u"app.next_stamp()");
  SetInteger(stamp, Position, 2);
  CMOObject& parent = PgTable(model, app, u"parent");
  const int parentKey = AddKey(model, parent.GetObjectId(), u"parent_pkey", u"PRIMARY KEY",
                               {parent.GetChildIds().front()}).GetObjectId();
  CMOObject& foreignKey = Add(model, ForeignKey, child.GetObjectId(), u"child_parent_fkey");
  SetText(foreignKey, Definition, u"FOREIGN KEY (id) REFERENCES app.parent(id)");
  SetIds(foreignKey, ReferencedTable, {parent.GetObjectId()});
  SetIds(foreignKey, ReferencedKey, {parentKey});
  SetText(Add(model, Routine, app, u"next_stamp"), SqlText,
          u"CREATE OR REPLACE FUNCTION app.next_stamp()\n RETURNS integer\n LANGUAGE sql\nAS $f$ SELECT 1 $f$\n");
  SetText(Add(model, Trigger, child.GetObjectId(), u"trg"), Definition,
          u"CREATE TRIGGER trg AFTER INSERT ON app.\"Child\" FOR EACH ROW EXECUTE FUNCTION app.trg_fn()");
  SetText(Add(model, Routine, app, u"trg_fn"), SqlText,
          u"CREATE OR REPLACE FUNCTION app.trg_fn()\n RETURNS trigger\n LANGUAGE plpgsql\n"
          u"AS $f$BEGIN RETURN NEW; END$f$\n");
  CMOObject& events = PgTable(model, app, u"events");
  SetText(events, TableKind, u"partitioned table");
  SetText(events, Definition, u"PARTITION BY LIST (id)");
  SetText(Add(model, Key, events.GetObjectId(), u"events_pkey"), Definition, u"PRIMARY KEY (id)");
  CMOObject& partition = PgTable(model, app, u"events_1");
  SetIds(partition, PartitionOf, {events.GetObjectId()});
  SetText(partition, PartitionBound, u"FOR VALUES IN (1)");
  SetText(Add(model, Key, partition.GetObjectId(), u"events_1_pkey"), Definition, u"PRIMARY KEY (id)");
  qm::test::ExpectSameAsFile("writers/order.postgresql.sql", Sql(model));

  // Views that name each other: each once, the earlier first, no hang.
  GenericModel circle(kPostgres);
  const int circled = Add(circle, Schema, 1, u"app").GetObjectId();
  SetText(Add(circle, View, circled, u"a"), Definition, u"SELECT * FROM app.b");
  SetText(Add(circle, View, circled, u"b"), Definition, u"SELECT * FROM app.a");
  qm::test::ExpectSameAsFile("writers/circle.postgresql.sql", Sql(circle));
}

// PostgreSQL makes an identity column's sequence with the column: the
// sequence the model holds under the server's name for it goes into the
// column, with its numbers, and is not made again.
TEST(SqlWriterTest, AnIdentityColumnTakesItsSequence) {
  GenericModel model(kPostgres);
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  CMOObject& sequence = Add(model, Sequence, app, u"orders_id_seq");
  SetText(sequence, DataType, u"bigint");
  SetInteger(sequence, SequenceStart, 100);
  SetInteger(sequence, SequenceIncrement, 5);
  SetInteger(Add(model, Sequence, app, u"counter"), SequenceStart, 1);
  CMOObject& orders = PgTable(model, app, u"orders");
  SetText(*model.GetCMOObject(model.GetCMOObject(orders.GetObjectId())->GetChildIds().front()), Identity, u"by default");
  qm::test::ExpectSameAsFile("writers/identity.postgresql.sql", Sql(model));
}

// What cannot be written is said in a comment line that no name with a
// line break ends: an object's, the database's, an attached database's.
TEST(SqlWriterTest, CommentsAreOneLineWhateverTheNames) {
  GenericModel model(kPostgres);
  SetText(*model.GetCMOObject(), DatabaseName, u"db\nDROP TABLE x;");
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  SetText(Add(model, Routine, app, u"sum\nDROP TABLE y;"), RoutineKind, u"aggregate");
  Add(model, TableSpace, 1, u"fast\n-- x");
  const std::string sql = Sql(model);
  std::istringstream lines(sql);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.empty() || line.rfind("-- ", 0) == 0 || line.rfind("SET ", 0) == 0 || line == "BEGIN;" ||
                line == "COMMIT;" || line == "CREATE SCHEMA app;")
        << line;
  qm::test::ExpectSameAsFile("writers/comments.postgresql.sql", sql);
  GenericModel attached(kSqlite);
  Add(attached, Schema, 1, u"x\n.shell touch x");
  const std::string script = Sql(attached);
  EXPECT_NE(script.find("-- The database \"x\\n.shell touch x\" is attached"), std::string::npos) << script;
}

// SQLite's own CREATE texts go as held (the database before the name
// outside main, a semicolon after a line comment on its own line); a table
// without its text is built, unique keys in the order SQLite numbered them;
// a view naming another without its schema comes after it.
TEST(SqlWriterTest, SqliteWritesItsOwnTextsAndBuildsTheRest) {
  GenericModel model(kSqlite);
  const int main = Add(model, Schema, 1, u"main").GetObjectId();
  const int aux = Add(model, Schema, 1, u"aux").GetObjectId();
  SetText(Add(model, Table, main, u"t"), SqlText, u"CREATE TABLE t (a) -- the first");
  SetText(Add(model, Table, aux, u"u"), SqlText, u"CREATE TABLE /* c */ \"u\" (b)");
  SetText(Add(model, View, main, u"outer_v"), Definition, u"CREATE VIEW outer_v AS SELECT a FROM inner_v");
  SetText(Add(model, View, main, u"inner_v"), Definition, u"CREATE VIEW inner_v AS SELECT a FROM t");
  CMOObject& built = Add(model, Table, main, u"built");
  SetInteger(built, WithoutRowid, 1);
  std::vector<int> columns;
  for (const char16_t* name : {u"a", u"b", u"c"}) {
    CMOObject& column = AddColumn(model, built.GetObjectId(), name, u"TEXT");
    SetInteger(column, Nullable, 0);
    SetInteger(column, Position, static_cast<long long>(columns.size()) + 1);
    columns.push_back(column.GetObjectId());
  }
  SetText(*model.GetCMOObject(columns[1]), DefaultValue, u"datetime('now')");
  SetText(*model.GetCMOObject(columns[2]), DefaultValue, u"'x'");
  const struct {
    const char16_t* name;
    const char16_t* type;
    int column;
  } keys[] = {{u"sqlite_autoindex_built_3", u"UNIQUE", 2}, {u"sqlite_autoindex_built_1", u"UNIQUE", 1},
              {u"pk_built", u"PRIMARY KEY", 0}};
  int primary = 0;
  for (const auto& key : keys)
    primary = AddKey(model, built.GetObjectId(), key.name, key.type,
                     {columns[static_cast<std::size_t>(key.column)]}).GetObjectId();
  CMOObject& foreignKey = AddForeignKey(model, built.GetObjectId(), u"fk_built_1", {columns[0]}, 0, {});
  SetIds(foreignKey, ReferencedKey, {primary});
  SetText(foreignKey, OnDelete, u"cascade");
  qm::test::ExpectSameAsFile("writers/built.sqlite.sql", Sql(model));
}

using sql::TextKind;
enum Client { kPsql, kSqlite3, kMariaDb, kMariaDbNoBackslashEscapes, kMariaDbAnsiQuotes };

// Each row is a text that would run a client command, end a statement
// early, or be read one way by the client and another by the server, or a
// legitimate one that must stay.
TEST(SqlProofTest, TextsAreRefusedWhereAClientWouldReadThemOtherwise) {
  const struct {
    Client client;
    TextKind kind;
    std::u16string text;
    bool refused;
  } cases[] = {
      // psql: a backslash outside quotes and comments, on any line; "--" ends at a carriage return.
      {kPsql, TextKind::Query, u"SELECT 'a' \\! touch x", true},
      {kPsql, TextKind::Query, u"SELECT E'a\\' \\! x' /* /* */ \\! x */", false},
      {kPsql, TextKind::Expression, u"1 -- c\r\\! touch x", true},
      {kPsql, TextKind::Expression, u"$f$ body", true},
      {kPsql, TextKind::Statement, u"CREATE FUNCTION f() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; END; DROP TABLE t", true},
      {kPsql, TextKind::Statement, u"CREATE FUNCTION public.begin() RETURNS int LANGUAGE sql RETURN 1", true},  // psql reads on
      {kPsql, TextKind::Expression, u"ARRAY[1, 2]", false},
      // sqlite3: a line "/" or "go" ends a statement; SQLite ends a trigger only at "; END".
      {kSqlite3, TextKind::Statement, u"CREATE TRIGGER r AFTER INSERT ON t BEGIN SELECT 1; SELECT CASE 1 WHEN 1 THEN 2 END; END", false},
      {kSqlite3, TextKind::Statement, u"CREATE TRIGGER r AFTER INSERT ON t BEGIN SELECT 1;", true},
      {kSqlite3, TextKind::Statement, u"CREATE VIEW v AS SELECT 4\n  GO -- x\n", true},
      {kSqlite3, TextKind::Statement, u"CREATE VIEW v AS SELECT '4\n/\n.shell x' /*\n.shell x */ FROM [a;\n.shell x]", false},
      // mariadb: backslash commands in executable comments too; "--" is a comment only before a blank; strings by sql_mode.
      {kMariaDb, TextKind::Body, u"BEGIN /*M! \\! touch x */ END", true},
      {kMariaDb, TextKind::Body, u"BEGIN /* \\! x */ SELECT 1; # \\! x\nSELECT '\\' \\! x';\nsystem touch x\nEND", false},
      {kMariaDbNoBackslashEscapes, TextKind::Expression, u"'a\\' \\! x '", true},
      {kMariaDbAnsiQuotes, TextKind::Expression, u"\"a\\\" \\! x \"", true},
      {kMariaDb, TextKind::Expression, u"\"a\\\" \\! x \"", false},
      // One expression, type or clause, with nothing after its end.
      {kPsql, TextKind::Expression, u"1, 2", true},
      {kSqlite3, TextKind::Expression, u"1) , (2", true},
      {kSqlite3, TextKind::Expression, u"1 -- c", true},
      {kPsql, TextKind::Type, u"sch.\"my type\"(10,2)[]", false},
      {kMariaDb, TextKind::Type, u"enum('a','it''s') CHARACTER SET utf8mb4", false},
      {kSqlite3, TextKind::Type, u"int /* c */", true},
  };
  const sql::ClientRules clients[] = {sql::Psql(), sql::Sqlite3(), sql::MariaDbClient(true, false),
                                      sql::MariaDbClient(false, false), sql::MariaDbClient(true, true)};
  for (const auto& c : cases)
    EXPECT_EQ(sql::Refusal(c.text, c.kind, clients[c.client]).empty(), !c.refused) << VisibleText(c.text);
}

}  // namespace
}  // namespace writers::test

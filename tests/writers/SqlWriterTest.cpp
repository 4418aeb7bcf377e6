// The sql format on models built in memory: names quoted as each dialect
// needs, and the dialect chosen by the options. The scripts whole, in
// expected files: objects in the order they need each other (whatever
// order the model made them in), and what cannot be written named in a
// comment that no name can break out of.
// (The round-trip tests load what it writes into real databases.)
#include "ExpectedFile.h"
#include "TestModel.h"

#include "sql/SqlDialect.h"

#include <writers/SqlWriter.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;

constexpr unsigned int kSqlite = 1001;    // the SQLite plug-in's models
constexpr unsigned int kPostgres = 1002;  // the PostgreSQL plug-in's

// The dialect the plug-in of each model type used here declares.
std::string DialectOf(const GenericModel& model) {
  if (model.GetModelType() == kSqlite) return "sqlite";
  if (model.GetModelType() == kPostgres) return "postgresql";
  return {};
}

std::string Sql(const GenericModel& model) {
  std::ostringstream out;
  WriteOptions options;
  options.sqlDialect = DialectOf(model);
  SqlWriter().Write(model, out, options);
  return out.str();
}

struct Spelling {
  std::u16string name;
  const char* postgres;  // as PostgreSQL writes it
  const char* sqlite;    // as SQLite writes it
  const char* standard;  // in standard SQL
};

const Spelling kSpellings[] = {
    {u"orders", "orders", "orders", "\"orders\""},  // standard SQL folds bare names to upper case
    {u"ORDERS", "\"ORDERS\"", "ORDERS", "ORDERS"},
    {u"Orders", "\"Orders\"", "Orders", "\"Orders\""},
    {u"_x1", "_x1", "_x1", "\"_x1\""},
    {u"select", "\"select\"", "\"select\"", "\"select\""},
    {u"user", "\"user\"", "user", "\"user\""},     // reserved in PostgreSQL, a plain name to SQLite
    {u"key", "key", "\"key\"", "\"key\""},         // unreserved in PostgreSQL, a keyword of SQLite
    {u"json_table", "\"json_table\"", "json_table", "\"json_table\""},  // reserved from PostgreSQL 17 on
    {u"a$b", "\"a$b\"", "a$b", "\"a$b\""},
    {u"na\u00efve", "\"na\u00efve\"", "na\u00efve", "\"na\u00efve\""},
    {u"1st", "\"1st\"", "\"1st\"", "\"1st\""},
    {u"a b", "\"a b\"", "\"a b\"", "\"a b\""},
    {u"we\"ird", "\"we\"\"ird\"", "\"we\"\"ird\"", "\"we\"\"ird\""},
    {u"", "\"\"", "\"\"", "\"\""},
    {u"\u202etxt", "\"\u202etxt\"", "\"\u202etxt\"", "\"\u202etxt\""},  // a direction override is never bare
};

TEST(SqlWriterTest, NamesAreQuotedWhereTheDialectNeedsIt) {
  const sql::SqlDialect& postgres = *sql::DialectNamed("postgresql");
  const sql::SqlDialect& sqlite = *sql::DialectNamed("sqlite");
  const sql::SqlDialect& standard = *sql::DialectNamed("standard");
  for (const Spelling& spelling : kSpellings) {
    SCOPED_TRACE(platform::Utf16ToUtf8(spelling.name));
    EXPECT_EQ(platform::Utf16ToUtf8(postgres.Name(spelling.name)), spelling.postgres);
    EXPECT_EQ(platform::Utf16ToUtf8(sqlite.Name(spelling.name)), spelling.sqlite);
    EXPECT_EQ(platform::Utf16ToUtf8(standard.Name(spelling.name)), spelling.standard);
  }
}

// A schema with one table, as the PostgreSQL plug-in would write it.
CMOObject& PgTable(GenericModel& model, int schemaId, const std::u16string& name) {
  CMOObject& table = Add(model, Table, schemaId, name);
  SetText(table, TableKind, u"table");
  CMOObject& column = Add(model, Column, table.GetObjectId(), u"id");
  SetText(column, DataType, u"integer");
  SetInteger(column, Nullable, 0);
  SetInteger(column, Position, 1);
  return table;
}

// The script is in the dialect the options name, whatever the model's type
// (a plug-in of another database names the dialect closest to it); a name
// the writers do not know is refused, naming those they know.
TEST(SqlWriterTest, TheDialectIsTheOneTheOptionsName) {
  GenericModel model(kPostgres);
  PgTable(model, Add(model, Schema, 1, u"app").GetObjectId(), u"user");  // reserved in PostgreSQL only
  struct Case {
    const char* dialect;
    const char* product;  // on the first line
    const char* table;    // the table's name as the dialect writes it
  };
  for (const Case& c : {Case{"sqlite", "in SQLite,", "CREATE TABLE app.user ("},
                        Case{"postgresql", "in PostgreSQL,", "CREATE TABLE app.\"user\" ("},
                        Case{"standard", "in standard SQL,", "CREATE TABLE \"app\".\"user\" ("},
                        Case{"", "in standard SQL,", "CREATE TABLE \"app\".\"user\" ("}}) {
    SCOPED_TRACE(c.dialect);
    std::ostringstream out;
    WriteOptions options;
    options.sqlDialect = c.dialect;
    SqlWriter().Write(model, out, options);
    const std::string sql = out.str();
    EXPECT_NE(sql.substr(0, sql.find('\n')).find(c.product), std::string::npos) << sql;
    EXPECT_NE(sql.find(c.table), std::string::npos) << sql;
  }
  WriteOptions unknown;
  unknown.sqlDialect = "firebird";
  std::ostringstream out;
  try {
    SqlWriter().Write(model, out, unknown);
    ADD_FAILURE() << "an unknown dialect was written";
  } catch (const WriteError& e) {
    EXPECT_STREQ(e.what(), "no SQL dialect is named \"firebird\" (there are sqlite, postgresql, mariadb, standard)");
  }
}

// Made in the model in the wrong order on purpose: a view over a view made
// before it, a table whose default calls a function made after it, a
// foreign key to a table made after its own, a partitioned table's key made
// before its partition's, a trigger calling a function.
TEST(SqlWriterTest, ObjectsComeAfterWhatTheyNeed) {
  GenericModel model(kPostgres);
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  CMOObject& outer = Add(model, View, app, u"outer_v");
  SetText(outer, Definition, u" SELECT x.id\n   FROM app.inner_v x;");
  CMOObject& inner = Add(model, View, app, u"inner_v");
  SetText(inner, Definition, u" SELECT t.id FROM app.\"Child\" t;");
  CMOObject& child = PgTable(model, app, u"Child");
  CMOObject& stamp = Add(model, Column, child.GetObjectId(), u"stamp");
  SetText(stamp, DataType, u"integer");
  SetText(stamp, DefaultValue, u"app.next_stamp()");
  SetInteger(stamp, Position, 2);
  CMOObject& parent = PgTable(model, app, u"parent");
  CMOObject& parentKey = Add(model, Key, parent.GetObjectId(), u"parent_pkey");
  SetText(parentKey, KeyType, u"PRIMARY KEY");
  SetIds(parentKey, KeyColumns, {model.GetCMOObject(parent.GetObjectId())->GetChildIds().front()});
  CMOObject& foreignKey = Add(model, ForeignKey, child.GetObjectId(), u"child_parent_fkey");
  SetText(foreignKey, Definition, u"FOREIGN KEY (id) REFERENCES app.parent(id)");
  SetIds(foreignKey, ReferencedTable, {parent.GetObjectId()});
  SetIds(foreignKey, ReferencedKey, {parentKey.GetObjectId()});
  CMOObject& function = Add(model, Routine, app, u"next_stamp");
  SetText(function, SqlText, u"CREATE OR REPLACE FUNCTION app.next_stamp()\n RETURNS integer\n LANGUAGE sql\nAS $f$ SELECT 1 $f$\n");
  CMOObject& trigger = Add(model, Trigger, child.GetObjectId(), u"trg");
  SetText(trigger, Definition, u"CREATE TRIGGER trg AFTER INSERT ON app.\"Child\" FOR EACH ROW EXECUTE FUNCTION app.trg_fn()");
  CMOObject& triggerFunction = Add(model, Routine, app, u"trg_fn");
  SetText(triggerFunction, SqlText, u"CREATE OR REPLACE FUNCTION app.trg_fn()\n RETURNS trigger\n LANGUAGE plpgsql\nAS $f$BEGIN RETURN NEW; END$f$\n");
  // A partitioned table with a key, and its partition's key made after.
  CMOObject& events = PgTable(model, app, u"events");
  SetText(events, TableKind, u"partitioned table");
  SetText(events, Definition, u"PARTITION BY LIST (id)");
  CMOObject& eventsKey = Add(model, Key, events.GetObjectId(), u"events_pkey");
  SetText(eventsKey, Definition, u"PRIMARY KEY (id)");
  CMOObject& partition = PgTable(model, app, u"events_1");
  SetIds(partition, PartitionOf, {events.GetObjectId()});
  SetText(partition, PartitionBound, u"FOR VALUES IN (1)");
  CMOObject& partitionKey = Add(model, Key, partition.GetObjectId(), u"events_1_pkey");
  SetText(partitionKey, Definition, u"PRIMARY KEY (id)");

  qm::test::ExpectSameAsFile("writers/order.postgresql.sql", Sql(model));
}

// Views that name each other are written, each once, without waiting for
// ever: the earlier of the circle first.
TEST(SqlWriterTest, ACircleOfViewsIsWrittenInModelOrder) {
  GenericModel model(kPostgres);
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  SetText(Add(model, View, app, u"a"), Definition, u"SELECT * FROM app.b");
  SetText(Add(model, View, app, u"b"), Definition, u"SELECT * FROM app.a");
  qm::test::ExpectSameAsFile("writers/circle.postgresql.sql", Sql(model));
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
  CMOObject& other = Add(model, Sequence, app, u"counter");
  SetInteger(other, SequenceStart, 1);
  CMOObject& orders = PgTable(model, app, u"orders");
  SetText(*model.GetCMOObject(model.GetCMOObject(orders.GetObjectId())->GetChildIds().front()), Identity, u"by default");
  qm::test::ExpectSameAsFile("writers/identity.postgresql.sql", Sql(model));
}

// What cannot be written is said in a comment line; a name with a line
// break shows it as an escape and cannot end the comment, nor can the
// database's name in the first lines.
TEST(SqlWriterTest, CommentsAreOneLineWhateverTheNames) {
  GenericModel model(kPostgres);
  SetText(*model.GetCMOObject(), DatabaseName, u"db\nDROP TABLE x;");
  const int app = Add(model, Schema, 1, u"app").GetObjectId();
  CMOObject& aggregate = Add(model, Routine, app, u"sum\nDROP TABLE y;");
  SetText(aggregate, RoutineKind, u"aggregate");
  Add(model, TableSpace, 1, u"fast\n-- x");
  const std::string sql = Sql(model);
  std::istringstream lines(sql);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.empty() || line.rfind("-- ", 0) == 0 || line.rfind("SET ", 0) == 0 || line == "BEGIN;" ||
                line == "COMMIT;" || line == "CREATE SCHEMA app;")
        << line;
  qm::test::ExpectSameAsFile("writers/comments.postgresql.sql", sql);
}

// SQLite's own CREATE texts go as the model holds them, with the database
// put before the name outside main, and a text that ends in a line comment
// gets its semicolon on a line of its own. A table without its text is
// built from its properties, keys and foreign keys inside it, the unique
// constraints in the order SQLite numbered their indexes.
TEST(SqlWriterTest, SqliteWritesItsOwnTextsAndBuildsTheRest) {
  GenericModel model(kSqlite);
  const int main = Add(model, Schema, 1, u"main").GetObjectId();
  const int aux = Add(model, Schema, 1, u"aux").GetObjectId();
  SetText(Add(model, Table, main, u"t"), SqlText, u"CREATE TABLE t (a) -- the first");
  SetText(Add(model, Table, aux, u"u"), SqlText, u"CREATE TABLE /* c */ \"u\" (b)");
  CMOObject& built = Add(model, Table, main, u"built");
  SetInteger(built, WithoutRowid, 1);
  std::vector<int> columns;
  for (const char16_t* name : {u"a", u"b", u"c"}) {
    CMOObject& column = Add(model, Column, built.GetObjectId(), name);
    SetText(column, DataType, u"TEXT");
    SetInteger(column, Nullable, 0);
    SetInteger(column, Position, static_cast<long long>(columns.size()) + 1);
    columns.push_back(column.GetObjectId());
  }
  SetText(*model.GetCMOObject(columns[1]), DefaultValue, u"datetime('now')");
  SetText(*model.GetCMOObject(columns[2]), DefaultValue, u"'x'");
  CMOObject& second = Add(model, Key, built.GetObjectId(), u"sqlite_autoindex_built_3");
  SetText(second, KeyType, u"UNIQUE");
  SetIds(second, KeyColumns, {columns[2]});
  CMOObject& first = Add(model, Key, built.GetObjectId(), u"sqlite_autoindex_built_1");
  SetText(first, KeyType, u"UNIQUE");
  SetIds(first, KeyColumns, {columns[1]});
  CMOObject& primary = Add(model, Key, built.GetObjectId(), u"pk_built");
  SetText(primary, KeyType, u"PRIMARY KEY");
  SetIds(primary, KeyColumns, {columns[0]});
  CMOObject& foreignKey = Add(model, ForeignKey, built.GetObjectId(), u"fk_built_1");
  SetIds(foreignKey, ForeignKeyColumns, {columns[0]});
  SetIds(foreignKey, ReferencedKey, {primary.GetObjectId()});
  SetText(foreignKey, OnDelete, u"cascade");
  qm::test::ExpectSameAsFile("writers/built.sqlite.sql", Sql(model));
}


}  // namespace
}  // namespace writers::test

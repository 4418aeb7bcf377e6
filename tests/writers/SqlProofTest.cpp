// What the sql format lets into a script: a text of the database only
// when it is the one expression, type or statement expected, as the server
// and the client that loads the script (psql, sqlite3, the mariadb client)
// both read it; each row is a text that would run a client command, end a
// statement early, or be read one way by the client and another by the
// server, or a legitimate text that must stay. The writer's side: what
// fails is written as a literal, made another way, or left out with a
// "-- not written" line that nothing can break out of, and the host told.
// (ScriptCanaryTest runs the clients themselves on scripts of hostile
// databases.)
#include "TestModel.h"

#include "sql/SqlProof.h"

#include <writers/SqlWriter.h>

#include <platform/Utf.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;
using sql::TextKind;

struct ProofCase {
  const char* what;
  const char* client;  // psql, sqlite3, mariadb; "mariadb nbe": NO_BACKSLASH_ESCAPES; "mariadb ansi": ANSI_QUOTES
  TextKind kind;
  std::u16string text;
  bool refused;
};

const ProofCase kCases[] = {
    // psql reads a backslash outside quotes and comments as its command, on
    // any line, and ends a "--" comment at a carriage return.
    {"psql: backslash after a string", "psql", TextKind::Query, u"SELECT 'a' \\! touch x", true},
    {"psql: backslash inside a string", "psql", TextKind::Query, u"SELECT 'a\n\\! touch x'", false},
    {"psql: escaped quote in an E string", "psql", TextKind::Query, u"SELECT E'a\\' \\! x'", false},
    {"psql: dash comment ended by a carriage return", "psql", TextKind::Expression, u"1 -- c\r\\! touch x", true},
    {"psql: nested comment", "psql", TextKind::Expression, u"1 /* /* */ \\! x */", false},
    {"psql: dollar quote left open", "psql", TextKind::Expression, u"$f$ body", true},
    {"psql: BEGIN ATOMIC body", "psql", TextKind::Statement,
     u"CREATE FUNCTION f() RETURNS int LANGUAGE sql\nBEGIN ATOMIC\n SELECT 1;\n SELECT CASE WHEN true THEN 1 END;\nEND",
     false},
    {"psql: statement after the body", "psql", TextKind::Statement,
     u"CREATE FUNCTION f() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; END; DROP TABLE t", true},
    {"psql: a function named begin keeps psql reading", "psql", TextKind::Statement,
     u"CREATE FUNCTION public.begin() RETURNS int LANGUAGE sql RETURN 1", true},
    {"psql: second statement", "psql", TextKind::Statement, u"CREATE INDEX i ON t (a); DROP TABLE t", true},
    {"psql: the final ';' is the script's", "psql", TextKind::Statement, u"CREATE INDEX i ON t (a);\n", false},
    {"psql: array in a default", "psql", TextKind::Expression, u"ARRAY[1, 2]", false},
    // sqlite3 runs a dot command on a line that starts a statement, and
    // takes a line "/" or "go" for the end of one; SQLite ends a trigger
    // only at "; END".
    {"sqlite3: trigger body", "sqlite3", TextKind::Statement,
     u"CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; SELECT CASE 1 WHEN 1 THEN 2 END; END", false},
    {"sqlite3: statement after a trigger", "sqlite3", TextKind::Statement,
     u"CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; END; ATTACH 'x' AS y", true},
    {"sqlite3: trigger without its END", "sqlite3", TextKind::Statement,
     u"CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1;", true},
    {"sqlite3: dot command after a ';'", "sqlite3", TextKind::Statement, u"CREATE TABLE t(a int);\n.shell touch x", true},
    {"sqlite3: go line", "sqlite3", TextKind::Statement, u"CREATE VIEW v AS SELECT 4\n  GO -- x\n", true},
    {"sqlite3: slash line", "sqlite3", TextKind::Statement, u"CREATE VIEW v AS SELECT 4\n/\n.5", true},
    {"sqlite3: slash line in a string", "sqlite3", TextKind::Statement, u"CREATE VIEW v AS SELECT '4\n/\n.shell x'", false},
    {"sqlite3: dot line in a comment", "sqlite3", TextKind::Statement, u"CREATE TABLE t(a int /*\n.shell x\n*/)", false},
    {"sqlite3: ';' in a bracket name", "sqlite3", TextKind::Statement, u"CREATE TABLE [a;\n.shell x](b)", false},
    {"sqlite3: comment left open", "sqlite3", TextKind::Statement, u"CREATE TABLE t(a) /* x", true},
    // The mariadb client reads backslash commands outside quotes and
    // comments, inside executable comments too, and strings by the
    // session's sql_mode; "--" is a comment only before a blank.
    {"mariadb: executable comment", "mariadb", TextKind::Body, u"BEGIN /*!99999 \\! touch x */ SELECT 1; END", true},
    {"mariadb: MariaDB's executable comment", "mariadb", TextKind::Body, u"BEGIN /*M! \\! touch x */ END", true},
    {"mariadb: comment in a body", "mariadb", TextKind::Body, u"BEGIN /* \\! touch x */ SELECT 1; # \\! x\nEND", false},
    {"mariadb: dashes without a blank", "mariadb", TextKind::Query, u"SELECT 1 --\\! touch x", true},
    {"mariadb: dash comment", "mariadb", TextKind::Query, u"SELECT 1 -- \\! touch x", false},
    {"mariadb: escaped quote", "mariadb", TextKind::Expression, u"'a\\' \\! x '", false},
    {"mariadb: no backslash escapes", "mariadb nbe", TextKind::Expression, u"'a\\' \\! x '", true},
    {"mariadb: double quotes are a string", "mariadb", TextKind::Expression, u"\"a\\\" \\! x \"", false},
    {"mariadb: double quotes are a name", "mariadb ansi", TextKind::Expression, u"\"a\\\" \\! x \"", true},
    {"mariadb: ';' in a body", "mariadb", TextKind::Body, u"BEGIN SELECT 1;\nsystem touch x\nEND", false},
    {"mariadb: ';' in a view", "mariadb", TextKind::Query, u"SELECT 1;\nsystem touch x", true},
    // One expression, type or clause, with nothing after its end.
    {"expression: two", "psql", TextKind::Expression, u"1, 2", true},
    {"expression: a call", "psql", TextKind::Expression, u"f(1, 2)", false},
    {"expression: parentheses closed early", "sqlite3", TextKind::Expression, u"1) , (2", true},
    {"expression: ends in a comment", "sqlite3", TextKind::Expression, u"1 -- c", true},
    {"list of expressions", "psql", TextKind::ExpressionList, u"lower(a), (b + 1)", false},
    {"type with a size", "psql", TextKind::Type, u"numeric(10,2)", false},
    {"type: array of a quoted name", "psql", TextKind::Type, u"sch.\"my type\"[]", false},
    {"type: enum", "mariadb", TextKind::Type, u"enum('a','it''s') CHARACTER SET utf8mb4", false},
    {"type: closes the column list", "sqlite3", TextKind::Type, u"x);\n.shell touch x\n", true},
    {"type: with a comment", "sqlite3", TextKind::Type, u"int /* c */", true},
    {"type: two", "sqlite3", TextKind::Type, u"int, b text", true},
    {"clause ends in a comment", "mariadb", TextKind::Clause, u"CHECK (a > 0) # c", true},
};

sql::ClientRules Client(const std::string& name) {
  if (name == "psql") return sql::Psql();
  if (name == "sqlite3") return sql::Sqlite3();
  return sql::MariaDbClient(name != "mariadb nbe", name == "mariadb ansi");
}

TEST(SqlProofTest, TextsAreRefusedWhereAClientWouldReadThemOtherwise) {
  for (const ProofCase& c : kCases) {
    const std::u16string why = sql::Refusal(c.text, c.kind, Client(c.client));
    EXPECT_EQ(!why.empty(), c.refused) << c.what << ": " << platform::Utf16ToUtf8(why);
  }
}

// Scripts written with a watcher of what is left out.
struct Written {
  std::string sql;
  std::vector<std::string> leftOut;
};

Written Write(const GenericModel& model) {
  Written written;
  WriteOptions options;
  options.leftOut = [&](const std::string& line) { written.leftOut.push_back(line); };
  std::ostringstream out;
  SqlWriter().Write(model, out, options);
  written.sql = out.str();
  return written;
}

// A table t in the schema with one column a of the type and default.
CMOObject& Table(GenericModel& model, const std::u16string& type, const std::u16string& defaultValue,
                 const std::u16string& schemaName = u"s") {
  const int schema = Add(model, Schema, 1, schemaName).GetObjectId();
  CMOObject& table = Add(model, model::Table, schema, u"t");
  CMOObject& column = Add(model, Column, table.GetObjectId(), u"a");
  SetText(column, DataType, type);
  if (!defaultValue.empty()) SetText(column, DefaultValue, defaultValue);
  return table;
}

struct WriterCase {
  const char* what;
  unsigned int modelType;              // the dialect
  void (*build)(GenericModel& model);  // the hostile model
  std::vector<std::string> present;    // in the script
  std::vector<std::string> absent;     // not in it
  std::size_t leftOut;                 // texts the host is told of
};

const WriterCase kWriterCases[] = {
    {"a default an ODBC driver gave without its quotes is a string", 1004,
     [](GenericModel& m) { Table(m, u"TEXT", u"1);\n\\! touch x\n--"); },
     {"\"a\" TEXT DEFAULT '1);\n\\! touch x\n--'\n);"},
     {"not written"},
     0},
    {"a column whose type is no type leaves its table out", 1004,
     [](GenericModel& m) { Table(m, u"x);\n.shell touch x\n", u""); },
     {"-- not written: table s.t, as the dataType of column s.t.a is not one type (its parentheses do not match): "
      "x);\\n.shell touch x\\n\n"},
     {"CREATE TABLE"},
     1},
    {"SQLite's stored text with a second statement: the table is made from its properties", 1001,
     [](GenericModel& m) {
       SetText(Table(m, u"INT", u"", u"main"), SqlText, u"CREATE TABLE t(a INT);\n.shell touch x");
     },
     {"-- not written: the sqlText of table main.t, which is not one statement (a ';' in it ends the statement); "
      "the table is made from its columns and constraints instead: CREATE TABLE t(a INT);\\n.shell touch x\n",
      "CREATE TABLE t (\n    a INT\n);"},
     {"\n.shell"},
     1},
    {"SQLite's stored view that creates a table", 1001,
     [](GenericModel& m) {
       const int main = Add(m, Schema, 1, u"main").GetObjectId();
       SetText(Add(m, View, main, u"v"), Definition, u"CREATE TABLE v(a)");
     },
     {"-- not written: view main.v, whose definition is not one statement (it is no CREATE VIEW): CREATE TABLE v(a)\n"},
     {"\nCREATE TABLE v"},
     1},
    {"a MariaDB routine body with an executable comment", 1003,
     [](GenericModel& m) {
       const int shop = Add(m, Schema, 1, u"shop").GetObjectId();
       CMOObject& routine = Add(m, Routine, shop, u"p");
       SetText(routine, RoutineKind, u"procedure");
       SetText(routine, Definition, u"BEGIN /*!99999 \\! touch x */ SELECT 1; END");
     },
     {"-- not written: routine shop.p, whose definition is not one body (a backslash in it is a command to the "
      "client): BEGIN /*!99999 \\! touch x */ SELECT 1; END\n"},
     {"DELIMITER"},
     1},
    {"an attached database's name in a comment", 1001,
     [](GenericModel& m) { Add(m, Schema, 1, u"x\n.shell touch x"); },
     {"-- The database \"x\\n.shell touch x\" is attached before this script runs"},
     {"\n.shell"},
     0},
    {"a carriage return in a MariaDB comment survives the client", 1003,
     [](GenericModel& m) { SetText(Table(m, u"int", u""), Comment, u"a\r\nb"); },
     {"COMMENT='a\\r\nb'"},
     {"\r"},
     0},
};

TEST(SqlProofTest, TheWriterWritesALiteralMakesItAnotherWayOrLeavesItOut) {
  for (const WriterCase& c : kWriterCases) {
    GenericModel model(c.modelType);
    c.build(model);
    const Written written = Write(model);
    for (const std::string& text : c.present) EXPECT_NE(written.sql.find(text), std::string::npos) << c.what << "\n" << written.sql;
    for (const std::string& text : c.absent) EXPECT_EQ(written.sql.find(text), std::string::npos) << c.what << "\n" << written.sql;
    EXPECT_EQ(written.leftOut.size(), c.leftOut) << c.what;
    for (const std::string& line : written.leftOut) EXPECT_EQ(line.find('\n'), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace writers::test

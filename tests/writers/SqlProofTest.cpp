// What the sql format lets into a script: a text of the database only when
// it is the one expression, type or statement expected, as the server and
// the client loading the script both read it. Each row is a text that
// would run a client command, end a statement early, or be read one way by
// the client and another by the server, or a legitimate one that must stay.
// (ScriptCanaryTest runs the clients on scripts of hostile databases.)
#include "TestModel.h"

#include "sql/SqlProof.h"

#include <writers/SqlWriter.h>
#include <writers/VisibleText.h>

#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using sql::TextKind;
enum Client { kPsql, kSqlite3, kMariaDb, kMariaDbNoBackslashEscapes, kMariaDbAnsiQuotes };

struct ProofCase {
  Client client;
  TextKind kind;
  std::u16string text;
  bool refused;
};

const ProofCase kCases[] = {
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

TEST(SqlProofTest, TextsAreRefusedWhereAClientWouldReadThemOtherwise) {
  const sql::ClientRules clients[] = {sql::Psql(), sql::Sqlite3(), sql::MariaDbClient(true, false),
                                      sql::MariaDbClient(false, false), sql::MariaDbClient(true, true)};
  for (const ProofCase& c : kCases)
    EXPECT_EQ(sql::Refusal(c.text, c.kind, clients[c.client]).empty(), !c.refused) << VisibleText(c.text);
}

// A comment line of the script holds a name only as an escape: an SQLite
// database attached under a name with a line break.
TEST(SqlProofTest, AnAttachedDatabaseNameCannotEndItsComment) {
  GenericModel model(1001);
  Add(model, model::Schema, 1, u"x\n.shell touch x");
  std::ostringstream out;
  WriteOptions options;
  options.sqlDialect = "sqlite";
  SqlWriter().Write(model, out, options);
  EXPECT_NE(out.str().find("-- The database \"x\\n.shell touch x\" is attached"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace writers::test

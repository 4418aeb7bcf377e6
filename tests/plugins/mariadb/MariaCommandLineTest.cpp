// quillmere-import reading a real application's MySQL schema
// (tests/data/schemas/roundcube/mariadb.sql) from the test server, with
// the plug-in chosen two ways: by the connection string's Driver alone, and
// by the plug-in's own option, and as a mariadb:// URL. The tree names every table the server has,
// with columns, keys and foreign keys, and never the password.
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <RealSchemas.h>
#include <Subprocess.h>
#include <schemaimport/ConnectionString.h>

#include <TempDir.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace qm::test::mariadb {
namespace {

// The options that hand the connection string to the program, before it;
// none: the source goes as a mariadb:// URL made of its parts.
struct Choice {
  const char* name;
  std::vector<std::string> options;
};

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.')
      out += static_cast<char>(c);
    else
      out += {'%', kHex[c >> 4], kHex[c & 15]};
  }
  return out;
}

std::string AsUrl(const std::string& connect) {
  std::string server, port, user, password, database;
  for (const Utf8ConnectionAttribute& attribute : ParseConnectionString(connect)) {
    if (EqualsIgnoringAsciiCase(attribute.key, "Server")) server = attribute.value;
    if (EqualsIgnoringAsciiCase(attribute.key, "Port")) port = attribute.value;
    if (EqualsIgnoringAsciiCase(attribute.key, "Uid")) user = attribute.value;
    if (EqualsIgnoringAsciiCase(attribute.key, "Pwd")) password = attribute.value;
    if (EqualsIgnoringAsciiCase(attribute.key, "Database")) database = attribute.value;
  }
  return "mariadb://" + PercentEncoded(user) + ":" + PercentEncoded(password) + "@" + server + ":" + port + "/" +
         PercentEncoded(database);
}

class MariaCommandLineTest : public ::testing::TestWithParam<Choice> {};

TEST_P(MariaCommandLineTest, ImportsARealSchemaAndPrintsTheTree) {
  QM_REQUIRE_MARIA();
  MariaDatabase database("app_cli");
  ASSERT_EQ(RunMariaSql(database.Name(), RealSchemaSql("roundcube", "mariadb")), "");
  const std::string connect = database.ConnectionString();
  ASSERT_EQ(connect.rfind("Driver={MariaDB Unicode};Server=127.0.0.1;Port=", 0), 0u) << "the test server's string changed";
  std::vector<std::string> args = GetParam().options;
  args.insert(args.end(), {args.empty() ? AsUrl(connect) : connect, "--schema", database.Name(), "--format", "tree", "--quiet"});
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, args);
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(result.err, "");
  const std::vector<std::string> tables = MariaQueryColumn(
      "SELECT TABLE_NAME AS v FROM information_schema.TABLES WHERE TABLE_SCHEMA = " + MariaLiteral(database.Name()));
  ASSERT_GT(tables.size(), 10u);
  for (const std::string& table : tables) EXPECT_NE(result.out.find(table), std::string::npos) << table;
  for (const char* part : {"users", "user_id", "email", "ON DELETE CASCADE", "primary key PRIMARY (user_id)"})
    EXPECT_NE(result.out.find(part), std::string::npos) << part << "\n" << result.out;
  const char* password = std::getenv("QM_MARIA_PASSWORD");
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(result.out.find(password), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ways, MariaCommandLineTest,
                         ::testing::Values(Choice{"ByDriver", {"--connect"}}, Choice{"ByOption", {"--mariadb"}},
                                           Choice{"ByUrl", {}}),
                         [](const ::testing::TestParamInfo<Choice>& info) { return std::string(info.param.name); });

// A view whose table was dropped: standard error names it with the
// server's reason, and the exit code says the model is incomplete.
TEST(MariaCommandLineFailureTest, AViewTheServerCannotOpenIsNamedAndExitsWithFive) {
  QM_REQUIRE_MARIA();
  MariaDatabase database("broken_view");
  ASSERT_EQ(RunMariaSql(database.Name(), "CREATE TABLE gone (a int);\nCREATE VIEW v_gone AS SELECT a FROM gone;\n"
                                         "DROP TABLE gone;\n"),
            "");
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--connect", database.ConnectionString(), "--schema",
                                                          database.Name(), "--format", "tree", "--quiet"});
  EXPECT_EQ(result.exitCode, 5) << Printed(result);
  for (const std::string& said : {"reading columns of view `" + database.Name() + "`.`v_gone` failed",
                                  "View '" + database.Name() + ".v_gone' references invalid table(s)"})
    EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
}

}  // namespace
}  // namespace qm::test::mariadb

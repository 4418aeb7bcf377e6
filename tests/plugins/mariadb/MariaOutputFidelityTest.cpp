// What quillmere-import writes of a MariaDB database comes back as the
// server has it: a comment holding a carriage return before a line break
// keeps it through the sql format's script loaded with the mariadb client
// (which drops a carriage return that ends a line it reads), whatever the
// sql_mode of a routine; and a connection that names no database gives a
// model naming none, where the driver says "null".
#include <MariaServer.h>
#include <MariaTestEnv.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace qm::test::mariadb {
namespace {

constexpr const char* kClient = "/usr/bin/mariadb";

TEST(MariaOutputFidelityTest, CarriageReturnsInCommentsSurviveTheClient) {
  QM_REQUIRE_MARIA();
  TempDir dir;
  const std::string name = "crlf_" + std::to_string(::getpid());
  ASSERT_EQ(RunMariaSql("", "CREATE DATABASE " + name + ";\nUSE " + name +
                                ";\nCREATE TABLE t (a INT COMMENT 'column\\r\\n', KEY k (a) COMMENT 'index\\r\\nx') "
                                "COMMENT 'table\\r\\nx' PARTITION BY HASH (a) (PARTITION p COMMENT 'part\\r\\nx');\n"
                                "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES';\n"
                                "CREATE PROCEDURE p() COMMENT 'routine' SELECT 1;\n"
                                "SET SESSION sql_mode = DEFAULT;\nALTER PROCEDURE p COMMENT 'routine\\r\\nx';\n"
                                "CREATE FUNCTION f() RETURNS INT COMMENT 'function\\r\\nx' RETURN 1;\n"),
            "");
  const std::string comments =
      "SELECT table_comment AS v FROM information_schema.TABLES WHERE table_schema = '" + name + "' UNION ALL "
      "SELECT column_comment AS v FROM information_schema.COLUMNS WHERE table_schema = '" + name + "' UNION ALL "
      "SELECT index_comment AS v FROM information_schema.STATISTICS WHERE table_schema = '" + name + "' UNION ALL "
      "SELECT partition_comment AS v FROM information_schema.PARTITIONS WHERE table_schema = '" + name + "' UNION ALL "
      "SELECT routine_comment AS v FROM information_schema.ROUTINES WHERE routine_schema = '" + name + "'";
  auto sorted = [](std::vector<std::string> values) {
    std::sort(values.begin(), values.end());
    return values;
  };
  const std::vector<std::string> before = sorted(MariaQueryColumn(comments));
  ASSERT_EQ(before.size(), 6u);
  for (const std::string& comment : before) ASSERT_NE(comment.find("\r\n"), std::string::npos) << comment;

  const ProcessResult written = RunProcess(
      QM_IMPORT_EXE, {"--connect", *MariaConnectionString(), "--schema", name, "--format", "sql", "-o", dir.Path("s.sql")});
  ASSERT_EQ(written.exitCode, 0) << Printed(written);
  ASSERT_EQ(RunMariaSql("", "DROP DATABASE " + name + ";\n"), "");
  ProcessOptions options;
  options.input = ReadFile(dir.Path("s.sql"));
  const ProcessResult loaded =
      RunProcess(kClient, {std::string("--defaults-file=") + std::getenv("QM_MARIA_CLIENT_CNF")}, options);
  EXPECT_EQ(loaded.exitCode, 0) << Printed(loaded);
  EXPECT_EQ(sorted(MariaQueryColumn(comments)), before);
  RunMariaSql("", "DROP DATABASE IF EXISTS " + name + ";\n");
}

// The source without its database: a URL without a path, and one naming
// a database whose name is null.
TEST(MariaOutputFidelityTest, AConnectionWithoutADatabaseNamesNone) {
  QM_REQUIRE_MARIA();
  ASSERT_EQ(RunMariaSql("", "DROP DATABASE IF EXISTS `null`;\nCREATE DATABASE `null`;\n"), "");
  const std::string server = std::string("mariadb://") + std::getenv("QM_MARIA_USER") + ":" +
                             std::getenv("QM_MARIA_PASSWORD") + "@127.0.0.1:" + std::getenv("QM_MARIA_PORT");
  struct Case {
    std::string url;
    std::string database;  // the model's databaseName
  };
  for (const Case& c : {Case{server, ""}, Case{server + "/", ""}, Case{server + "/null", "null"}}) {
    const ProcessResult json = RunProcess(QM_IMPORT_EXE, {c.url, "--schema", "null", "--quiet"});
    EXPECT_NE(json.out.find("\"databaseName\": \"" + c.database + "\""), std::string::npos) << c.url << Printed(json);
    const ProcessResult tree = RunProcess(QM_IMPORT_EXE, {c.url, "--schema", "null", "--quiet", "--format", "tree"});
    EXPECT_EQ(tree.out.rfind(c.database.empty() ? "database (unnamed) on " : "database null on ", 0), 0u) << tree.out;
    const ProcessResult sql = RunProcess(QM_IMPORT_EXE, {c.url, "--schema", "null", "--quiet", "--format", "sql"});
    EXPECT_EQ(sql.out.rfind(c.database.empty() ? "-- The schema on " : "-- The schema of the database null on ", 0), 0u)
        << sql.out;
  }
  RunMariaSql("", "DROP DATABASE IF EXISTS `null`;\n");
}

}  // namespace
}  // namespace qm::test::mariadb

// quillmere-import end to end on MariaDB: a comment's carriage return
// survives the mariadb client (which drops one that ends a line it reads),
// and a connection naming no database gives a model naming none.
#include <MariaServer.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace qm::test::mariadb {
namespace {

TEST(MariaOutputFidelityTest, CarriageReturnsInCommentsSurviveTheClient) {
  QM_REQUIRE_MARIA();
  TempDir dir;
  const std::string name = "crlf_" + std::to_string(::getpid());
  ASSERT_EQ(RunMariaSql("", "CREATE DATABASE " + name + ";\nUSE " + name +
                                ";\nCREATE TABLE t (a INT COMMENT 'c\\r\\n') COMMENT 't\\r\\nx';\n"
                                "SET SESSION sql_mode = 'NO_BACKSLASH_ESCAPES';\nCREATE PROCEDURE p() SELECT 1;\n"
                                "SET SESSION sql_mode = DEFAULT;\nALTER PROCEDURE p COMMENT 'p\\r\\nx';\n"),
            "");
  const std::string comments = "SELECT GROUP_CONCAT(c ORDER BY c) AS v FROM (SELECT table_comment AS c FROM "
                               "information_schema.TABLES WHERE table_schema = '" + name + "' UNION ALL SELECT "
                               "column_comment FROM information_schema.COLUMNS WHERE table_schema = '" + name +
                               "' UNION ALL SELECT routine_comment FROM information_schema.ROUTINES WHERE "
                               "routine_schema = '" + name + "') AS x";
  const std::string before = MariaQueryValue(comments);
  ASSERT_EQ(before, "c\r\n,p\r\nx,t\r\nx");
  const ProcessResult written = RunProcess(
      QM_IMPORT_EXE, {"--connect", *MariaConnectionString(), "--schema", name, "--format", "sql", "-o", dir.Path("s.sql")});
  ASSERT_EQ(written.exitCode, 0) << Printed(written);
  ASSERT_EQ(RunMariaSql("", "DROP DATABASE " + name + ";\n"), "");
  ProcessOptions options;
  options.input = ReadFile(dir.Path("s.sql"));
  const ProcessResult loaded =
      RunProcess("/usr/bin/mariadb", {std::string("--defaults-file=") + std::getenv("QM_MARIA_CLIENT_CNF")}, options);
  EXPECT_EQ(loaded.exitCode, 0) << Printed(loaded);
  EXPECT_EQ(MariaQueryValue(comments), before);
  RunMariaSql("", "DROP DATABASE IF EXISTS " + name + ";\n");
}

TEST(MariaOutputFidelityTest, AConnectionWithoutADatabaseNamesNone) {
  QM_REQUIRE_MARIA();
  ASSERT_EQ(RunMariaSql("", "CREATE DATABASE IF NOT EXISTS `null`;\n"), "");
  const std::string server = std::string("mariadb://") + std::getenv("QM_MARIA_USER") + ":" +
                             std::getenv("QM_MARIA_PASSWORD") + "@127.0.0.1:" + std::getenv("QM_MARIA_PORT");
  // The URL, and what the model, the tree and the script's first line say.
  for (const auto& [url, json, tree, sql] :
       {std::tuple{server, "\"databaseName\": \"\"", "database (unnamed) on ", "-- The schema on "},
        std::tuple{server + "/null", "\"databaseName\": \"null\"", "database null on ", "-- The schema of the database null on "}}) {
    const std::vector<std::string> formats = {"json", "tree", "sql"};
    for (std::size_t i = 0; i < formats.size(); ++i) {
      const ProcessResult run = RunProcess(QM_IMPORT_EXE, {url, "--schema", "null", "--quiet", "--format", formats[i]});
      EXPECT_NE(run.out.find(i == 0 ? json : i == 1 ? tree : sql), std::string::npos) << url << Printed(run);
    }
  }
  RunMariaSql("", "DROP DATABASE IF EXISTS `null`;\n");
}

}  // namespace
}  // namespace qm::test::mariadb

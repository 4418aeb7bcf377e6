// An SQLite catalogue full of hostile identifiers (see HostileNames.h),
// 2,000-character names, an empty name (SQLite allows ""), a view whose
// definition is 100,000 characters, in a file whose directory name is
// hostile too: it reaches the driver inside a URI. The database is written
// and read back with libsqlite3 (the driver manager cannot pass characters
// above U+FFFF in statement text to the SQLite3 driver, but the import only
// reads them as data). The import, in process and through quillmere-import,
// must hand over every name and text exactly as SQLite reports it, and
// leave the file and its directory as they were.
#include "HostileNames.h"

#include <ImportHost.h>
#include <ModelWords.h>
#include <SqliteCatalogue.h>
#include <Subprocess.h>
#include <TempDir.h>

#include <schemaimport/SchemaImport.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace qm::test::hardening {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// The hostile names but "mixed" (SQLite compares names ignoring ASCII case,
// so it would clash with "Mixed"), the empty name, a name that the pattern
// for SQLite's own tables must not catch, and two of 2,000 characters.
Strings SqliteNames() {
  Strings names;
  for (const std::string& name : HostileNames())
    if (name != "mixed") names.push_back(name);
  for (const std::string& name : {std::string(), std::string("sqliteXtable"), std::string(2000, 'N'), MixedText(2000)})
    names.push_back(name);
  return names;
}

// The long view: its CREATE text is exactly 100,000 characters.
std::string LongViewSql() {
  const std::string prefix = "CREATE VIEW \"long view\" AS SELECT '";
  const std::string suffix = "' AS t";
  std::string text = MixedText(100000 - prefix.size() - suffix.size());
  for (char& ch : text) ch = ch == '\'' ? 's' : ch;
  return prefix + text + suffix;
}

std::string Listing(const std::string& directory) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

TEST(SqliteHostileTest, EveryNameAndTextArrivesAsSqliteHasIt) {
  TempDir root;
  const std::string directory = root.Path("dir ;%?#\n😀 'q\" {x}} \\");
  fs::create_directory(directory);
  const std::string path = directory + "/hostile ü;}%41?.db";
  {
    std::string sql = "BEGIN;\n";
    for (const std::string& n : SqliteNames()) {
      const std::string t = QuoteIdent(n);
      sql += "CREATE TABLE " + t + " (" + t + " INTEGER PRIMARY KEY, " + QuoteIdent("other " + n) + " TEXT UNIQUE);\n";
      sql += "CREATE INDEX " + QuoteIdent("ix " + n) + " ON " + t + " (" + QuoteIdent("other " + n) + ");\n";
      sql += "CREATE VIEW " + QuoteIdent("v " + n) + " AS SELECT " + t + " AS " + t + " FROM " + t + ";\n";
      sql += "CREATE TRIGGER " + QuoteIdent("tr " + n) + " AFTER INSERT ON " + t + " BEGIN SELECT " + QuoteText(n) +
             "; END;\n";
      sql += "CREATE TABLE " + QuoteIdent("fk " + n) + " (" + QuoteIdent("ref " + n) + " INTEGER REFERENCES " + t +
             " (" + t + "));\n";
    }
    SqliteFile(path).Exec(sql + LongViewSql() + ";\nCOMMIT;\n");
  }
  const Strings catalogue = SqliteCatalogueLines(path);
  ASSERT_GT(catalogue.size(), 10 * SqliteNames().size());
  ASSERT_NE(std::find(catalogue.begin(), catalogue.end(), Line({"view", "long view", LongViewSql()})), catalogue.end());
  ASSERT_NE(std::find(catalogue.begin(), catalogue.end(), Line({"column", "", "1", "", "INTEGER", "0", "<none>", "1", ""})),
            catalogue.end())
      << "SQLite keeps the empty names";
  const std::string listing = Listing(directory);
  const fs::file_time_type modified = fs::last_write_time(path);

  LoadedPlugin plugin(QM_SQLITE_PLUGIN);
  ASSERT_TRUE(plugin.Loaded());
  GenericModel model(plugin.Api().modelType);
  const ImportOutcome outcome = RunImport(plugin.Api(), model, path);
  ASSERT_TRUE(ReadInFull(outcome));
  EXPECT_TRUE(SoundModel(model));
  EXPECT_EQ(Text(*model.GetCMOObject(), model::DatabaseName), path);
  EXPECT_EQ(LineDifference(catalogue, SqliteModelLines(model)), "");

  // The host writes the same into its JSON.
  const ProcessResult result = RunProcess(QM_IMPORT_EXE, {"--sqlite", path, "--quiet"});
  ASSERT_EQ(result.exitCode, 0) << Printed(result);
  EXPECT_EQ(result.err, "");
  GenericModel written(0);
  ReadModelJson(result.out, written);
  EXPECT_EQ(LineDifference(catalogue, SqliteModelLines(written)), "");
  // Opened read-only: no journal or other file appeared, nothing changed.
  EXPECT_EQ(Listing(directory), listing);
  EXPECT_EQ(fs::last_write_time(path), modified);
}

}  // namespace
}  // namespace qm::test::hardening

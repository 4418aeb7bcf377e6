#include "MariaHostileSchema.h"

#include <MariaServer.h>

namespace qm::test::hardening {

// Identifiers MariaDB accepts (no trailing blank, no character outside
// the BMP), none empty, no two equal; each short enough for a prefix.
const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = {
      "we\"ird",                               // a double quote: an identifier quote under ANSI_QUOTES
      "it's",                                  // a single quote: doubled in literals
      "back\\slash\\",                         // backslashes, one at the end
      "tick`tock",                             // a backtick: doubled when quoted
      "100% %s%d_x",                           // LIKE wildcards and printf directives
      "line\nbreak",                           // a newline
      "cr\r\nlf\ttab",                         // carriage return, tab
      "  lead",                                // leading blanks
      "a;b=c{d}}",                             // connection-string punctuation
      "x'); DROP TABLE y; --",                 // a literal breaking out
      "/* c */ -- d",                          // comment tokens
      "ünïcödé ✓ 日本語",                       // inside the BMP
      "\xEF\xBF\xBD replacement",              // a literal U+FFFD
      "\xE2\x80\xAE" "rtl\xE2\x80\x8D" "zwj",  // U+202E, U+200D
      "Mixed",                                 // only letter case tells these two tables apart
      "mixed",
  };
  return names;
}

std::string Numbered(const std::string& kind, std::size_t i, const std::string& name) {
  return kind + std::to_string(i) + " " + name;
}

// Every name between backticks; literals are QuoteText's, read as meant
// under NO_BACKSLASH_ESCAPES (hex literals are printed back with a backslash
// in table definitions, and kept as written in bodies).
std::string MariaHostileScript(const std::string& schema) {
  const std::string s = MariaIdent(schema);
  std::string sql = "SET SESSION sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES';\n"
                    "CREATE DATABASE " + s + " CHARACTER SET utf8mb4;\nUSE " + s + ";\n";
  std::string partitions;
  for (std::size_t i = 0; i < Names().size(); ++i) {
    const std::string& n = Names()[i];
    const std::string t = MariaIdent(n);
    const std::string other = MariaIdent("other " + n);
    // A check names a plain column: under a global ANSI_QUOTES the server
    // cannot read back a check naming a column with a quote in it.
    sql += "CREATE TABLE " + t + " (" + t + " INT NOT NULL PRIMARY KEY, " + other + " VARCHAR(60) DEFAULT " +
           QuoteText(n) + " COMMENT " + QuoteText("column " + n + " 😀") + ", k VARCHAR(60), UNIQUE KEY " +
           MariaIdent("uq " + n) + " (" + other + "(10)), KEY " + MariaIdent("ix " + n) + " (" + other +
           " DESC), CONSTRAINT " + MariaIdent("ck " + n) + " CHECK (k <> " + QuoteText(n) + ")) COMMENT " +
           QuoteText(n) + ";\n";
    sql += "CREATE VIEW " + MariaIdent("v " + n) + " AS SELECT " + t + " FROM " + t + " WHERE " + other + " <> " +
           QuoteText(n) + ";\n";
    sql += "CREATE TABLE " + MariaIdent("fk " + n) + " (" + MariaIdent("ref " + n) + " INT, CONSTRAINT " +
           MariaIdent(Numbered("fk", i, n)) + " FOREIGN KEY (" + MariaIdent("ref " + n) + ") REFERENCES " + t + " (" + t +
           ") ON DELETE SET NULL);\n";
    sql += "CREATE TRIGGER " + MariaIdent(Numbered("tr", i, n)) + " AFTER INSERT ON " + t + " FOR EACH ROW SET @x = " +
           MariaLiteral(n + " 😀") + ";\n";
    sql += "CREATE PROCEDURE " + MariaIdent(Numbered("fn", i, n)) + "(IN " + t + " INT, OUT " + other +
           " VARCHAR(60)) COMMENT " + QuoteText(n) + " SET " + other + " = " + QuoteText(n + " 😀") + ";\n";
    sql += "CREATE SEQUENCE " + MariaIdent("seq " + n) + " START WITH 3 INCREMENT BY 7;\n";
    partitions += (partitions.empty() ? "" : ", ") + std::string("PARTITION ") + MariaIdent(Numbered("part", i, n)) +
                  " VALUES IN (" + QuoteText(n) + ")";
  }
  sql += "CREATE TABLE parted (k VARCHAR(60) COLLATE utf8mb4_bin) PARTITION BY LIST COLUMNS (k) (" + partitions + ");\n";
  // 64 characters of one-, two- and three-byte UTF-8; three-byte ones name
  // columns (a table's file name, @ and four hex digits each, would be too long).
  for (const std::string& n : {std::string(64, 'L'), Repeat("é", 64)})
    sql += "CREATE TABLE " + MariaIdent(n) + " (" + MariaIdent(n) + " INT COMMENT " + QuoteText(Repeat("😀", 10)) +
           ");\n";
  sql += "CREATE TABLE `long columns` (" + MariaIdent(Repeat("日", 64)) + " INT, " + MariaIdent(Repeat("✓", 63) + "x") +
         " INT);\n";
  // A long view text: a hex literal the server prints as text.
  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += "a\\'\"`%\n✓ ";
  return sql + "CREATE VIEW `long view` AS SELECT " + MariaLiteral(long_text) + " AS t;\n";
}

}  // namespace qm::test::hardening

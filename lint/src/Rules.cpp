#include <lint/Rules.h>

namespace lint {

namespace {

constexpr Threshold kMinColumns[] = {
    {"min-columns", 10, "the fewest columns a table has for the rule to look at it"}};
constexpr Threshold kMaxColumns[] = {{"max-columns", 100, "the most columns a table may have"}};

constexpr Rule kRules[] = {
    {"table-without-primary-key", Severity::Warning, true, "",
     "A table without a primary key",
     "rows cannot be told apart or referenced, and replication and most tools need a key",
     "SQL: ALTER TABLE ... ADD PRIMARY KEY over the columns of a unique key that are all NOT NULL, where there is one "
     "(PostgreSQL, MariaDB); otherwise choose the key"},
    {"foreign-key-without-index", Severity::Warning, true, "",
     "A foreign key whose columns do not lead any index or key of its table, in any order",
     "every delete or key update of a referenced row scans the whole referencing table, under lock",
     "SQL: CREATE INDEX on the foreign key's columns"},
    {"duplicate-index", Severity::Warning, true, "",
     "An index or unique key with the same columns, order, uniqueness, method and condition as another",
     "it costs space and time on every write and answers no query the other cannot",
     "SQL: DROP INDEX (or the unique constraint) of the later one"},
    {"redundant-index", Severity::Warning, true, "",
     "A plain index whose columns lead another index or key of the table with the same method",
     "the longer index answers every lookup the shorter one does; the shorter one only costs writes",
     "SQL: DROP INDEX of the shorter one"},
    {"unique-key-nullable", Severity::Warning, true, "SQLite, PostgreSQL, MariaDB",
     "A unique key or index over a column that may be NULL",
     "these databases let NULLs repeat in a unique key, so rows with a NULL there are never duplicates",
     "SQL: ALTER COLUMN ... SET NOT NULL (PostgreSQL; or UNIQUE NULLS NOT DISTINCT); elsewhere declare the column "
     "NOT NULL"},
    {"foreign-key-type-mismatch", Severity::Warning, true, "",
     "A foreign key column whose type differs from the referenced column's (SQLite: its affinity; PostgreSQL: "
     "varchar against text included)",
     "values are converted on every check and join, may not fit, and an index on the other type may go unused",
     "SQL: ALTER COLUMN ... TYPE to the referenced column's type (PostgreSQL); elsewhere change one side"},
    {"inconsistent-column-type", Severity::Info, true, "",
     "A column name that has a different type in other tables of its schema",
     "the same name with different types invites lost precision or truncation when values move between them",
     "give the columns one type, or different names"},
    {"sqlite-nullable-primary-key", Severity::Warning, true, "SQLite",
     "A primary key column that may hold NULL (SQLite rowid tables, but for INTEGER PRIMARY KEY)",
     "SQLite keeps, for compatibility, a bug that lets such columns hold NULL, and NULLs are never duplicates",
     "declare the columns NOT NULL (the table is rebuilt), or make the table WITHOUT ROWID"},
    {"table-without-secondary-index", Severity::Info, true, "",
     "A table with many columns and no index or unique key beside its primary key",
     "queries on anything but the key read the whole table",
     "index the columns that queries filter or join on", kMinColumns},
    {"table-without-comment", Severity::Info, false, "PostgreSQL, MariaDB",
     "A table or view without a comment",
     "a team that documents its schema in the database wants every table described",
     "COMMENT ON TABLE (PostgreSQL) or ALTER TABLE ... COMMENT (MariaDB)"},
    {"column-without-comment", Severity::Info, false, "PostgreSQL, MariaDB",
     "A table column without a comment",
     "a team that documents its schema in the database wants every column described",
     "COMMENT ON COLUMN (PostgreSQL) or the column's COMMENT clause (MariaDB)"},
    {"name-needs-quoting", Severity::Warning, true, "",
     "A name that must be quoted in SQL: a reserved word, blanks or other characters, upper case on PostgreSQL",
     "every statement and every tool must quote it, and one that does not fails or reaches another object",
     "rename it to lower-case letters, digits and '_' that are no reserved word"},
    {"foreign-key-cycle", Severity::Warning, true, "",
     "Tables that reference each other in a circle through foreign keys that are not deferrable",
     "no row can be inserted into the circle first without a NULL, and loading or copying the data needs checks off",
     "SQL: ALTER CONSTRAINT ... DEFERRABLE on one of them (PostgreSQL); elsewhere make one column nullable or drop "
     "one key"},
    {"object-not-imported", Severity::Error, true, "",
     "A view or routine the import could not read (its columns or definition are missing), or a catalogue "
     "statement that failed",
     "the view no longer compiles (a dropped table, a missing function) or the account may not read it, and the "
     "model is incomplete",
     "repair or drop the view or routine, or grant the importing account what it needs"},
    {"too-many-columns", Severity::Warning, true, "",
     "A table with more columns than the limit",
     "wide tables are slow to read and change, and often hold several things that belong in tables of their own",
     "split the table", kMaxColumns},
    {"foreign-key-outside-scope", Severity::Info, true, "PostgreSQL, MariaDB",
     "A foreign key to a table outside the imported schemas",
     "the other rules cannot check what it references",
     "import the referenced schema too"},
    {"sqlite-foreign-key-mismatch", Severity::Error, true, "SQLite",
     "A foreign key to a table that does not exist, or to columns that are no primary key or unique key",
     "once foreign keys are enforced, SQLite refuses every change to the referencing table (\"foreign key "
     "mismatch\")",
     "create the table, or a unique index on the referenced columns"},
    {"mariadb-foreign-key-non-unique", Severity::Warning, true, "MariaDB",
     "A foreign key to columns that are no primary key or unique key, only an index",
     "InnoDB accepts it, but a row may then reference several rows, and cascades act on all of them",
     "reference a unique key, or make the index unique"},
    {"mariadb-foreign-key-engine", Severity::Error, true, "MariaDB",
     "A foreign key between tables of different storage engines (made with foreign_key_checks off)",
     "InnoDB cannot look into the other engine's table, so every insert into the referencing table fails",
     "make the referenced table InnoDB (ALTER TABLE ... ENGINE=InnoDB)"},
    {"mariadb-foreign-key-collation", Severity::Error, true, "MariaDB",
     "A foreign key text column whose character set or collation differs from the referenced column's (made with "
     "foreign_key_checks off)",
     "InnoDB compares the values in different collations, so matching rows are not found or the key cannot be "
     "checked",
     "give both columns the same character set and collation"},
};

}  // namespace

std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Info: return "info";
    case Severity::Warning: return "warning";
    case Severity::Error: return "error";
  }
  return "error";
}

std::optional<Severity> SeverityNamed(std::string_view name) {
  for (Severity severity : {Severity::Info, Severity::Warning, Severity::Error})
    if (SeverityName(severity) == name) return severity;
  return std::nullopt;
}

std::span<const Rule> Rules() { return kRules; }

const Rule* FindRule(std::string_view id) {
  for (const Rule& rule : kRules)
    if (rule.id == id) return &rule;
  return nullptr;
}

}  // namespace lint

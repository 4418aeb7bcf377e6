#!/usr/bin/python3
"""Deterministic benchmark schemas for SQLite, PostgreSQL and MariaDB.

A schema of N tables t00001..tN, each with
  - ten columns of mixed types (integer, varchar, char, numeric, double,
    boolean, timestamp, text),
  - a named primary key on id,
  - a named foreign key parent_id -> id of an earlier table (table 1 refers
    to itself),
  - one index (on name, on (code, created_at) or on parent_id, in turn),
and one view per ten tables, joining a table with its parent.

The same N always gives the same text, so a database built from it can be
cached by size and GENERATOR_VERSION.

  schema.py sqlite N --db FILE       build an SQLite database file (replaced)
  schema.py postgres N -o FILE.sql   write the PostgreSQL script ("-" for stdout)
  schema.py mariadb N -o FILE.sql    write the MariaDB script (InnoDB tables)
  schema.py sqlite N -o FILE.sql     write the SQLite script
"""

import argparse
import os
import sqlite3
import sys

# Bump when the generated schema changes, so cached databases are rebuilt.
GENERATOR_VERSION = 1
# Bump when the MariaDB script's text changes for the same schema (its
# cached script is rebuilt).
MARIADB_SCRIPT_VERSION = 2

# PostgreSQL holds a lock on every relation a transaction creates, in a lock
# table sized by max_locks_per_transaction (64 by default) times the
# connection count: 10,000 tables with their indexes and views in one
# transaction would run out of it. The script therefore commits every
# PG_TABLES_PER_TRANSACTION tables; each part is all or nothing and the load
# stops at the first error.
PG_TABLES_PER_TRANSACTION = 500

VIEW_EVERY = 10


def table_name(i):
    return "t%05d" % i


def view_name(k):
    return "v%05d" % k


def parent_of(i):
    """The earlier table table i refers to: itself for table 1, otherwise a
    deterministic spread over 1..i-1 (not always the previous one, so that
    foreign keys do not form one chain)."""
    if i == 1:
        return 1
    return 1 + (i * 7919) % (i - 1)


# (column, SQLite type, PostgreSQL type, constraint text) in table order.
COLUMNS = [
    ("id", "INTEGER", "integer", "NOT NULL"),
    ("parent_id", "INTEGER", "integer", ""),
    ("name", "VARCHAR(64)", "varchar(64)", "NOT NULL"),
    ("code", "CHAR(8)", "char(8)", ""),
    ("amount", "NUMERIC(12,2)", "numeric(12,2)", "DEFAULT 0"),
    ("quantity", "INTEGER", "integer", "NOT NULL DEFAULT 0"),
    ("ratio", "DOUBLE PRECISION", "double precision", ""),
    ("active", "BOOLEAN", "boolean", "NOT NULL DEFAULT {true}"),
    ("created_at", "TIMESTAMP", "timestamp", ""),
    ("note", "TEXT", "text", ""),
]

INDEX_COLUMNS = [("name",), ("code", "created_at"), ("parent_id",)]


def table_sql(dialect, i):
    """The table's statements. MariaDB reads the PostgreSQL types as they are
    written (boolean is tinyint(1) there); its tables are InnoDB, which keeps
    foreign keys, and which adds an index for a foreign key no index serves."""
    name = table_name(i)
    true = "1" if dialect == "sqlite" else "true"
    lines = []
    for column, sqlite_type, pg_type, extra in COLUMNS:
        sql_type = sqlite_type if dialect == "sqlite" else pg_type
        extra = extra.format(true=true)
        lines.append("  %s %s%s" % (column, sql_type, " " + extra if extra else ""))
    lines.append("  CONSTRAINT pk_%s PRIMARY KEY (id)" % name)
    lines.append(
        "  CONSTRAINT fk_%s_parent FOREIGN KEY (parent_id) REFERENCES %s (id) ON DELETE CASCADE"
        % (name, table_name(parent_of(i)))
    )
    columns = INDEX_COLUMNS[i % len(INDEX_COLUMNS)]
    index = "ix_%s_%s" % (name, "_".join(columns))
    if dialect == "mariadb":
        # The index inside CREATE TABLE: a CREATE INDEX is an ALTER TABLE in
        # MariaDB, and loading 10,000 tables takes three times as long
        # with one after each table. The schema is the same.
        lines.append("  KEY %s (%s)" % (index, ", ".join(columns)))
        return ["CREATE TABLE %s (\n%s\n) ENGINE=InnoDB;" % (name, ",\n".join(lines))]
    return [
        "CREATE TABLE %s (\n%s\n);" % (name, ",\n".join(lines)),
        "CREATE INDEX %s ON %s (%s);" % (index, name, ", ".join(columns)),
    ]


def view_sql(k, i):
    """View k over table i (the k-th multiple of VIEW_EVERY) and its parent."""
    return (
        "CREATE VIEW %s AS\n"
        "  SELECT c.id, c.name, c.amount, p.name AS parent_name\n"
        "  FROM %s c JOIN %s p ON p.id = c.parent_id;"
        % (view_name(k), table_name(i), table_name(parent_of(i)))
    )


def schema_statements(dialect, tables):
    """Yields the CREATE statements of the schema in dependency order."""
    for i in range(1, tables + 1):
        yield from table_sql(dialect, i)
        if i % VIEW_EVERY == 0:
            yield view_sql(i // VIEW_EVERY, i)


def expected_counts(tables):
    """What the schema holds, for checking what a tool read."""
    return {
        "tables": tables,
        "columns": tables * len(COLUMNS),
        "primary_keys": tables,
        "foreign_keys": tables,
        "indexes": tables,
        "views": tables // VIEW_EVERY,
    }


def write_sqlite_script(tables, out):
    out.write("BEGIN;\n")
    for statement in schema_statements("sqlite", tables):
        out.write(statement + "\n")
    out.write("COMMIT;\n")


def write_postgres_script(tables, out):
    out.write("SET client_min_messages = warning;\nBEGIN;\n")
    in_part = 0
    for statement in schema_statements("postgres", tables):
        if statement.startswith("CREATE TABLE"):
            if in_part == PG_TABLES_PER_TRANSACTION:
                out.write("COMMIT;\nBEGIN;\n")
                in_part = 0
            in_part += 1
        out.write(statement + "\n")
    out.write("COMMIT;\n")


def write_mariadb_script(tables, out):
    """One script for the mariadb client, loaded without foreign key checks
    (each DDL statement commits on its own in MariaDB)."""
    out.write("SET SESSION foreign_key_checks = 0;\n")
    for statement in schema_statements("mariadb", tables):
        out.write(statement + "\n")
    out.write("SET SESSION foreign_key_checks = 1;\n")


def build_sqlite(tables, path):
    """Builds the database file at path (replacing it) in one transaction;
    writes to path + '.part' first, so an interrupted build leaves no file
    that looks complete."""
    part = path + ".part"
    if os.path.exists(part):
        os.remove(part)
    db = sqlite3.connect(part, isolation_level=None)
    try:
        db.execute("PRAGMA journal_mode = OFF")
        db.execute("PRAGMA synchronous = OFF")
        db.execute("BEGIN")
        for statement in schema_statements("sqlite", tables):
            db.execute(statement)
        db.execute("COMMIT")
    finally:
        db.close()
    os.replace(part, path)


def main(argv):
    parser = argparse.ArgumentParser(description="Generate a benchmark schema.")
    parser.add_argument("dialect", choices=["sqlite", "postgres", "mariadb"])
    parser.add_argument("tables", type=int)
    parser.add_argument("-o", "--output", help="write the SQL script to this file ('-' for stdout)")
    parser.add_argument("--db", help="build an SQLite database file (sqlite only)")
    args = parser.parse_args(argv)
    if args.tables < 1:
        parser.error("tables must be at least 1")
    if args.db:
        if args.dialect != "sqlite":
            parser.error("--db builds SQLite databases only; load the other scripts with psql or mariadb")
        build_sqlite(args.tables, args.db)
        return 0
    if not args.output:
        parser.error("give -o FILE or --db FILE")
    out = sys.stdout if args.output == "-" else open(args.output, "w", encoding="utf-8")
    try:
        if args.dialect == "postgres":
            write_postgres_script(args.tables, out)
        elif args.dialect == "mariadb":
            write_mariadb_script(args.tables, out)
        else:
            write_sqlite_script(args.tables, out)
    finally:
        if out is not sys.stdout:
            out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""Migration plans against the import they follow: a generated SQLite
schema of N tables (bench/gen/schema.py) and a copy changed all over (a
column added to every tenth table, a column's type changed in every
twentieth (widened: no data lost), an index on every thirtieth, every view
reading one more column) are each imported to a saved model; the plan
between the two saved models (`diff --format sql`) is timed against one
import, and against the diff of the same two models (reading them is most
of a plan's time), median wall time of --runs runs. The plan is applied to a copy of
the first database once, which must then agree with the second (diff exits
0). Prints a Markdown table."""
import argparse
import os
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command, ok=(0,)):
    start = time.monotonic()
    result = subprocess.run(command, stdout=subprocess.DEVNULL)
    if result.returncode not in ok:
        sys.exit("%s exited with %d" % (" ".join(command), result.returncode))
    return time.monotonic() - start


def change(database, size):
    """Edits all over the schema that lose no data."""
    connection = sqlite3.connect(database)
    views = connection.execute("SELECT name, sql FROM sqlite_master WHERE type = 'view'").fetchall()
    script = []
    for name, _ in views:
        script.append('DROP VIEW "%s";' % name)
    for i in range(1, size + 1):
        table = "t%05d" % i
        if i % 20 == 0:
            # A changed type: SQLite's ALTER TABLE cannot, the plan rebuilds the table.
            script.append("ALTER TABLE %s RENAME TO %s_aside;" % (table, table))
            create = connection.execute("SELECT sql FROM sqlite_master WHERE name = ?", (table,)).fetchone()[0]
            script.append(create.replace("VARCHAR(64)", "VARCHAR(128)", 1) + ";")
            script.append("INSERT INTO %s SELECT * FROM %s_aside;" % (table, table))
            script.append("DROP TABLE %s_aside;" % table)
        if i % 10 == 0:
            script.append("ALTER TABLE %s ADD COLUMN added_%d TEXT DEFAULT 'x';" % (table, i))
        if i % 30 == 0:
            script.append("CREATE INDEX bench_ix_%d ON %s (id, name);" % (i, table))
    for name, sql in views:
        script.append(sql.replace("c.amount,", "c.amount, c.code,", 1) + ";")
    connection.executescript("PRAGMA legacy_alter_table = ON;\n" + "\n".join(script))
    connection.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--sizes", default="1000")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    program = os.path.join(args.build, "bin", "quillmere-import")
    print("| tables | import to a saved model | diff -q of the two saved models | plan between them | plan / import | "
          "plan's statements |")
    print("|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        for size in [int(s) for s in args.sizes.split(",")]:
            old = os.path.join(work, "old-%d.db" % size)
            new = os.path.join(work, "new-%d.db" % size)
            subprocess.run([sys.executable, os.path.join(HERE, "gen", "schema.py"), "sqlite", str(size), "--db", old],
                           check=True)
            shutil.copyfile(old, new)
            change(new, size)
            old_json = os.path.join(work, "old.json")
            new_json = os.path.join(work, "new.json")
            plan = os.path.join(work, "plan.sql")
            timed([program, "--sqlite", new, "--format", "json", "-o", new_json, "--quiet"])
            times = {"import": [], "diff": [], "plan": []}
            for _ in range(args.runs):
                times["import"].append(timed([program, "--sqlite", old, "--format", "json", "-o", old_json, "--quiet"]))
                times["diff"].append(timed([program, "diff", old_json, new_json, "-q"], ok=(1,)))
                times["plan"].append(timed([program, "diff", old_json, new_json, "--format", "sql", "-o", plan], ok=(1,)))
            # The plan applied makes the one database the other.
            applied = os.path.join(work, "applied.db")
            shutil.copyfile(old, applied)
            with open(plan) as text:
                connection = sqlite3.connect(applied, isolation_level=None)
                connection.executescript(text.read())
                connection.close()
            timed([program, "diff", "sqlite:" + applied, new_json, "-q"])
            with open(plan) as text:
                statements = sum(1 for line in text if line.rstrip().endswith(";"))
            median = {k: statistics.median(v) for k, v in times.items()}
            print("| %d | %.2f s | %.2f s | %.2f s | %.2f | %d |" % (size, median["import"], median["diff"], median["plan"],
                                                                  median["plan"] / median["import"], statements))
            sys.stdout.flush()


if __name__ == "__main__":
    main()

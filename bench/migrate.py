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
0). Prints a Markdown table.

With --cases N, the migration test's generated cases besides (the family
test program of the test build, tests/families/MigrationTest.cpp): N seeded
chains of random edits per engine, each plan applied both ways and checked
by diff (MariaDB's first stopped half way and run again), against a
throw-away PostgreSQL and MariaDB; a second table gives per engine the
plans applied, those refused without --allow-data-loss and the seeds that
failed."""
import argparse
import os
import re
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
    # One transaction: committed statement by statement, SQLite writes its
    # schema page out again after each, which at 10,000 tables is most of
    # an hour.
    connection.executescript("PRAGMA legacy_alter_table = ON;\nBEGIN;\n" + "\n".join(script) + "\nCOMMIT;")
    connection.close()


def server_env(script, folder):
    """Starts a throw-away server with scripts/pg or scripts/mariadb; its
    exported variables."""
    subprocess.run([script, "start", folder], check=True, stdout=sys.stderr, stdin=subprocess.DEVNULL)
    env = {}
    with open(os.path.join(folder, "env")) as lines:
        for line in lines:
            match = re.match(r"export (\w+)='(.*)'$", line.strip())
            if match:
                env[match.group(1)] = match.group(2)
    return env


def generated_cases(root, test_build, cases):
    """The migration test's cases, N per engine: a Markdown table."""
    if not os.path.exists(os.path.join(test_build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", root, "-B", test_build, "-G", "Ninja", "-DQM_BUILD_TESTS=ON"], check=True,
                       stdout=sys.stderr)
    subprocess.run(["cmake", "--build", test_build, "--target", "family_test"], check=True, stdout=sys.stderr)
    print()
    print("| engine | cases | plans applied and checked | of them run again after a stop | refused without "
          "--allow-data-loss | plans back refused (an enum value removed) | failed seeds |")
    print("|---|---:|---:|---:|---:|---:|---|")
    sys.stdout.flush()
    with tempfile.TemporaryDirectory() as work:
        servers = []
        try:
            env = dict(os.environ, QM_MIGRATION_CASES=str(cases))
            for script, name in (("pg", "pg"), ("mariadb", "maria")):
                folder = os.path.join(work, name)
                servers.append((os.path.join(root, "scripts", script), folder))
                env.update(server_env(servers[-1][0], folder))
            result = subprocess.run([os.path.join(test_build, "bin", "family_test"),
                                     "--gtest_filter=Engines/MigrationTest.PlansBothWays*"],
                                    env=env, stdout=subprocess.PIPE, text=True)
        finally:
            for script, folder in servers:
                subprocess.run([script, "stop", folder], stdout=sys.stderr)
    pattern = re.compile(r"\[ plans   \] (\w+): (\d+) cases, (\d+) plans applied and checked \((\d+) of them run again "
                         r"after a stop half way\), (\d+) refused without --allow-data-loss, failed seeds: ?([^;]*);"
                         r".*plans back refused \(an enum value removed\): (\d+)")
    found = 0
    for line in result.stdout.splitlines():
        match = pattern.search(line)
        if match:
            found += 1
            engine, cases, applied, again, refused, failed, unplannable = match.groups()
            print("| %s | %s | %s | %s | %s | %s | %s |" % (engine, cases, applied, again, refused, unplannable, failed))
    if found != 3 or result.returncode != 0:
        sys.stderr.write(result.stdout[-20000:])
        sys.exit("the migration test's cases failed (exit %d)" % result.returncode)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--sizes", default="1000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cases", type=int, default=0)
    parser.add_argument("--test-build", default=os.path.join(os.path.dirname(HERE), "build"))
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
    if args.cases > 0:
        generated_cases(os.path.dirname(HERE), args.test_build, args.cases)


if __name__ == "__main__":
    main()

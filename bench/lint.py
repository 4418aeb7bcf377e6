#!/usr/bin/python3
"""The linter against the import it follows: a generated SQLite schema of
each size (bench/gen/schema.py) imported to a saved model, that model
linted (every rule, the comment rules too, JSON report), and the database
linted live (import and rules in one run); median wall time of --runs runs
each, the programs taking turns. Prints a Markdown table."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command):
    start = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.monotonic() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--sizes", default="1000,10000")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    program = os.path.join(args.build, "bin", "quillmere-import")
    data = os.path.join(args.build, "bench-data")
    os.makedirs(data, exist_ok=True)
    print("| tables | import to a saved model | lint the saved model | lint the live database | lint / import |")
    print("|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        config = os.path.join(work, "all.toml")
        with open(config, "w") as out:
            out.write('[rules.table-without-comment]\nseverity = "info"\n'
                      '[rules.column-without-comment]\nseverity = "info"\n')
        for size in [int(s) for s in args.sizes.split(",")]:
            database = os.path.join(data, "lint-%d.db" % size)
            if not os.path.exists(database):
                subprocess.run([sys.executable, os.path.join(HERE, "gen", "schema.py"), "sqlite", str(size),
                                "--db", database], check=True)
            saved = os.path.join(work, "model.json")
            lint = ["--config", config, "--fail-on", "none", "--format", "json", "-o", os.devnull]
            times = {"import": [], "saved": [], "live": []}
            for _ in range(args.runs):
                times["import"].append(timed([program, "--sqlite", database, "--format", "json", "-o", saved, "--quiet"]))
                times["saved"].append(timed([program, "lint", saved, "--dialect", "sqlite"] + lint))
                times["live"].append(timed([program, "lint", "--sqlite", database] + lint))
            median = {k: statistics.median(v) for k, v in times.items()}
            print("| %d | %.2f s | %.2f s | %.2f s | %.2f |" % (size, median["import"], median["saved"], median["live"],
                                                              median["saved"] / median["import"]))
            sys.stdout.flush()


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""The schema-import benchmark: side by side, per database and size,

  import      quillmere-import, the whole import, JSON written to /dev/null
  floor       qm_bare_fetch: the statements the import sent, fetched with
              SQLGetData as text and nothing built (the floor of this design)
  session     the same with the session the plug-in set up (the attributes
              it added to the connection string, autocommit off); only when
              the plug-in set one, to tell its cost from the module's
  sqlalchemy  SQLAlchemy's MetaData.reflect() of tables and views
  pg_dump     pg_dump --schema-only (PostgreSQL only)
  isql        unixODBC's isql connecting through the same driver and running
              select 1 (PostgreSQL only): the floor of any import's fixed cost
  mysqldump   mysqldump --no-data (MariaDB only)

Each is a separate process; wall time is the median over several runs (the
tools take turns, so a change in machine load hits all of them alike), peak
memory is the process's maximum resident set (GNU time's %M; for PostgreSQL
the server's own memory and time are not in it). Before the timed runs one
import writes its JSON to a file (its size is the model's size) with the
statement capture library preloaded (the floor replays exactly those
statements).

Prints Markdown to standard output and writes the figures as JSON
(--json, default bench/results/latest.json). scripts/bench builds, starts a
PostgreSQL and a MariaDB server and runs this; run by hand it needs:

  run.py --build build-release [--sizes 0,100,1000] [--runs N] [--quick]
         [--only sqlite|postgres|mariadb] [--micro] [--profile]

with the servers' QM_PG_* variables (scripts/pg env DIR) and QM_MARIA_*
variables (scripts/mariadb env DIR) in the environment. Size 0 is an empty
database. With QM_PG_LOG (the PostgreSQL server's log, readable) the
statements the server sees for one import are counted from the log
(log_statement=all for that one import's database).
"""

import argparse
import datetime
import json
import math
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(HERE, "gen"))
import schema  # noqa: E402  (bench/gen/schema.py)

PYTHON = "/usr/bin/python3"  # sees Debian's python3-sqlalchemy and python3-psycopg2
GNU_TIME = "/usr/bin/time"

TOOL_LABEL = {
    "import": "quillmere-import (JSON to /dev/null)",
    "floor": "bare ODBC fetch loop",
    "session": "bare loop in the plug-in's session",
    "floor_alloc": "bare loop with the import's allocator",
    "sqlalchemy": "SQLAlchemy MetaData.reflect()",
    "pg_dump": "pg_dump --schema-only",
    "isql": "isql: connect, select 1 (same driver)",
    "mysqldump": "mysqldump --no-data",
}
# Allocator libraries a program may link in place of the C library's malloc.
ALLOCATORS = ("libmimalloc.so", "libjemalloc.so", "libtcmalloc")
DB_LABEL = {"sqlite": "SQLite", "postgres": "PostgreSQL", "mariadb": "MariaDB"}
# The dump program each server is compared with.
DUMP_TOOL = {"postgres": "pg_dump", "mariadb": "mysqldump"}

# Sizes from which runs are fewer: each run is long and the median of few
# long runs is steadier than that of many short ones.
LARGE_SIZE = 10000
LARGE_RUNS = 3
# SQLAlchemy at the large size takes minutes: once.
LARGE_RUNS_SQLALCHEMY = 1
# An empty database: a run takes some tens of milliseconds, mostly starting
# processes and the server's connection, and the median of a few such runs
# moves by a tenth from one benchmark to the next. Runs there are at least
# this many (a few seconds in all).
EMPTY_RUNS = 21
# --quick: the common case, in a minute or two.
QUICK_SIZES = [0, 1000]
QUICK_RUNS = 3
FULL_SIZES = [0, 100, 1000, 10000]

# A run of the import or the bare loop that takes longer than this many times
# the linear projection from the next smaller size is stopped (it has shown
# that it does not grow linearly, and waiting for it would hold up the whole
# benchmark); never before MIN_LIMIT seconds, never after --timeout. The
# reference programs are only held to --timeout: their figure is the point
# of running them, however they grow.
PROJECTION_FACTOR = 3.0
MIN_LIMIT = 60.0

# Figures the design is held to, at the sizes they name.
TARGET_SIZE = 1000
TARGET_SQLALCHEMY_SPEEDUP = 25.0
# What the module, the plug-in and the writer add to the bare loop run in the
# plug-in's own session, at 1,000 and 10,000 tables.
TARGET_SESSION_RATIO = {"postgres": 1.15, "sqlite": 1.15, "mariadb": 1.30}
# The fixed cost, on an empty database (size 0).
TARGET_EMPTY_VS_PG_DUMP = 0.65
TARGET_EMPTY_VS_ISQL = 1.3
TARGET_EXTRA_STATEMENTS = 3       # statements the server sees beyond the plug-in's own
# Peak memory / the model's JSON, every database: the fixed part weighs at
# 1,000 tables, what grows with the model at 20,000.
TARGET_MEMORY_PER_JSON = {1000: 2.5, 20000: 1.8}
# Growth from one size to the next counts as linear while the per-table slope
# of the larger interval stays within this factor of the smaller one's (a
# quadratic term would make it about ten times larger per decade).
LINEAR_SLOPE_FACTOR = 1.5


def log(message):
    sys.stderr.write("bench: %s\n" % message)
    sys.stderr.flush()


class RunResult:
    """One process run: what it took, or why it has no figures."""

    def __init__(self, wall=None, cpu=None, rss_kb=None, rc=None, stdout="", stderr="", timed_out=False, limit=None):
        self.wall = wall          # seconds, wall clock, from start to exit
        self.cpu = cpu            # user + system seconds of the process and its children
        self.rss_kb = rss_kb      # peak resident set in KiB
        self.rc = rc              # exit code; None when it was stopped
        self.stdout = stdout
        self.stderr = stderr
        self.timed_out = timed_out
        self.limit = limit        # the time limit it ran under, seconds


def run_measured(argv, env=None, limit=None, extra_env=None, stdin_path=None):
    """Runs argv under GNU time (standard input from stdin_path, else
    nothing); returns a RunResult. A run over the limit is stopped together
    with everything it started."""
    with tempfile.NamedTemporaryFile(prefix="qm-bench-time-", delete=False) as handle:
        time_file = handle.name
    full_env = dict(env if env is not None else os.environ)
    if extra_env:
        full_env.update(extra_env)
    command = [GNU_TIME, "-f", "%e %U %S %M", "-o", time_file, "--"] + argv
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    start = time.perf_counter()
    process = subprocess.Popen(
        command, env=full_env, stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
        start_new_session=True, text=True, errors="replace")
    try:
        stdout, stderr = process.communicate(timeout=limit)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        stdout, stderr = process.communicate()
        os.unlink(time_file)
        return RunResult(stdout=stdout, stderr=stderr, timed_out=True, limit=limit)
    except BaseException:
        # Interrupted: the run is in its own session, so nothing else would
        # stop it.
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        os.unlink(time_file)
        raise
    finally:
        if stdin_path:
            stdin.close()
    wall = time.perf_counter() - start
    try:
        with open(time_file) as handle:
            lines = [line for line in handle.read().splitlines() if line.strip()]
    finally:
        os.unlink(time_file)
    cpu = rss = None
    if lines:
        fields = lines[-1].split()
        if len(fields) == 4:
            cpu = float(fields[1]) + float(fields[2])
            rss = int(fields[3])
    return RunResult(wall=wall, cpu=cpu, rss_kb=rss, rc=process.returncode, stdout=stdout, stderr=stderr, limit=limit)


def last_lines(text, count=3):
    lines = [line for line in (text or "").splitlines() if line.strip()]
    return " | ".join(lines[-count:])


def fmt_seconds(value):
    if value is None:
        return "-"
    if value < 0.1:
        return "%.4f" % value
    if value < 10:
        return "%.3f" % value
    return "%.1f" % value


def fmt_ratio(value):
    if value is None:
        return "-"
    return "%.2f" % value if value < 100 else "%.0f" % value


def fmt_mb(kb):
    return "-" if kb is None else "%.1f" % (kb / 1024.0)


def fmt_size(n):
    return "{:,}".format(n)


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


# ---------------------------------------------------------------------------
# Databases


class Postgres:
    """The server the QM_PG_* variables describe."""

    def __init__(self, environ):
        self.host = environ.get("QM_PG_HOST")
        self.port = environ.get("QM_PG_PORT")
        self.user = environ.get("QM_PG_USER")
        self.password = environ.get("QM_PG_PASSWORD")
        self.available = all([self.host, self.port, self.user, self.password])
        self.log = environ.get("QM_PG_LOG")  # the server's log, when readable: statements counted

    def env(self, database):
        env = dict(os.environ)
        env.update({"PGHOST": self.host, "PGPORT": self.port, "PGUSER": self.user, "PGPASSWORD": self.password,
                    "PGDATABASE": database})
        return env

    def connect_string(self, database):
        return "Driver={PostgreSQL Unicode};Server=%s;Port=%s;Database=%s;Uid=%s;Pwd=%s" % (
            self.host, self.port, database, self.user, self.password)

    def psql(self, database, *args, capture=False):
        argv = ["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", database] + list(args)
        result = subprocess.run(argv, env=self.env(database), stdin=subprocess.DEVNULL, capture_output=True,
                                text=True)
        if result.returncode != 0:
            raise RuntimeError("psql %s failed: %s" % (" ".join(args), last_lines(result.stderr)))
        return result.stdout if capture else None


class MariaDb:
    """The server the QM_MARIA_* variables describe (scripts/mariadb)."""

    def __init__(self, environ):
        self.host = environ.get("QM_MARIA_HOST")
        self.port = environ.get("QM_MARIA_PORT")
        self.user = environ.get("QM_MARIA_USER")
        self.password = environ.get("QM_MARIA_PASSWORD")
        self.client_cnf = environ.get("QM_MARIA_CLIENT_CNF")
        self.available = all([self.host, self.port, self.user, self.password, self.client_cnf])

    def connect_string(self, database):
        return "Driver={MariaDB Unicode};Server=%s;Port=%s;Database=%s;Uid=%s;Pwd=%s" % (
            self.host, self.port, database, self.user, self.password)

    def client(self, sql=None, script=None, capture=False, database=None):
        """Runs SQL (or a script file) with the mariadb client, in the
        database when one is given; its output (one value per line) when
        capture is set."""
        argv = ["mariadb", "--defaults-file=" + self.client_cnf, "--batch", "--skip-column-names"]
        if database:
            argv.append("--database=" + database)
        if sql is not None:
            argv += ["-e", sql]
        with open(script or os.devnull, "rb") as stdin:
            result = subprocess.run(argv, stdin=stdin, capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("mariadb failed: %s" % last_lines(result.stderr))
        return result.stdout if capture else None


def connection_keys(text):
    """The lower-case attribute keys of an ODBC connection string (a value in
    braces may hold ';', '}}' being a brace inside it)."""
    keys = []
    pos = 0
    while pos < len(text):
        eq = min([i for i in (text.find("=", pos), text.find(";", pos)) if i >= 0], default=len(text))
        end = len(text)
        if eq < len(text):
            if text[eq] == ";":
                end = eq
            else:
                v = eq + 1
                while v < len(text) and text[v] == " ":
                    v += 1
                if v < len(text) and text[v] == "{":
                    v += 1
                    while v < len(text):
                        if text[v] == "}":
                            if text[v + 1:v + 2] == "}":
                                v += 2
                                continue
                            break
                        v += 1
                semi = text.find(";", v)
                end = semi if semi >= 0 else len(text)
        key = text[pos:min(eq, end)].strip().lower()
        if key:
            keys.append(key)
        pos = end + 1
    return keys


def session_of(capture_file):
    """(connection attributes, autocommit or driver attributes changed)
    recorded in a capture file."""
    with open(capture_file, "rb") as handle:
        data = handle.read()
    connect, autocommit = None, False
    pos = 0
    while pos < len(data):
        eol = data.index(b"\n", pos)
        header = data[pos:eol].decode("utf-8", "replace")
        pos = eol + 1
        kind, _, argument = header[len("-- qm-"):].partition(" ")
        if kind in ("autocommit", "attribute"):
            autocommit = True
            continue
        size = int(argument)
        if kind == "connect" and connect is None:
            connect = data[pos:pos + size].decode("utf-8", "replace")
        pos += size + 1
    return connect or "", autocommit


def captured_statements(capture_file):
    """The number of statement texts recorded in a capture file."""
    count = 0
    with open(capture_file, "rb") as handle:
        data = handle.read()
    pos = 0
    while pos < len(data):
        eol = data.index(b"\n", pos)
        kind, _, argument = data[pos:eol].decode("utf-8", "replace")[len("-- qm-"):].partition(" ")
        pos = eol + 1
        if kind in ("autocommit", "attribute"):
            continue
        if kind != "connect":
            count += 1
        pos += int(argument) + 1
    return count


def database_name(size):
    return "qm_bench_%d" % size


def stamp(size):
    """What a loaded benchmark database is labelled with; a database without
    this exact label (an interrupted load, an older generator) is rebuilt."""
    return "qm-bench generator %d, %d tables, complete" % (schema.GENERATOR_VERSION, size)


def prepare_sqlite(data_dir, size):
    path = os.path.join(data_dir, "sqlite-v%d-%d.db" % (schema.GENERATOR_VERSION, size))
    if not os.path.exists(path):
        log("generating the SQLite database of %s tables (cached as %s)" % (fmt_size(size), path))
        start = time.perf_counter()
        schema.build_sqlite(size, path)
        log("  built in %.1f s" % (time.perf_counter() - start))
    return path


def prepare_postgres(pg, data_dir, size):
    script = os.path.join(data_dir, "postgres-v%d-%d.sql" % (schema.GENERATOR_VERSION, size))
    if not os.path.exists(script):
        part = script + ".part"
        with open(part, "w", encoding="utf-8") as out:
            schema.write_postgres_script(size, out)
        os.replace(part, script)
    db = database_name(size)
    label = pg.psql("postgres", "-At", "-c",
                    "SELECT shobj_description(oid, 'pg_database') FROM pg_database WHERE datname = '%s'" % db,
                    capture=True).strip()
    if label == stamp(size):
        return db
    log("loading the PostgreSQL database of %s tables into %s (script cached as %s)" % (fmt_size(size), db, script))
    start = time.perf_counter()
    pg.psql("postgres", "-c", "DROP DATABASE IF EXISTS %s" % db)
    pg.psql("postgres", "-c", "CREATE DATABASE %s" % db)
    pg.psql(db, "-f", script)
    # Fresh catalogues without statistics would make the first planner
    # choices differ from later ones.
    pg.psql(db, "-c", "VACUUM ANALYZE")
    pg.psql("postgres", "-c", "COMMENT ON DATABASE %s IS '%s'" % (db, stamp(size)))
    log("  loaded in %.1f s" % (time.perf_counter() - start))
    return db


def prepare_mariadb(maria, data_dir, size):
    script = os.path.join(data_dir, "mariadb-v%d.%d-%d.sql" % (schema.GENERATOR_VERSION, schema.MARIADB_SCRIPT_VERSION,
                                                                  size))
    if not os.path.exists(script):
        part = script + ".part"
        with open(part, "w", encoding="utf-8") as out:
            schema.write_mariadb_script(size, out)
        os.replace(part, script)
    db = database_name(size)
    label = maria.client("SELECT SCHEMA_COMMENT FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '%s'" % db,
                         capture=True).strip()
    if label == stamp(size):
        return db
    log("loading the MariaDB database of %s tables into %s (script cached as %s)" % (fmt_size(size), db, script))
    start = time.perf_counter()
    maria.client("DROP DATABASE IF EXISTS %s; CREATE DATABASE %s CHARACTER SET utf8mb4" % (db, db))
    maria.client(script=script, database=db)
    maria.client("ALTER DATABASE %s COMMENT '%s'" % (db, stamp(size)))
    log("  loaded in %.1f s" % (time.perf_counter() - start))
    return db


# ---------------------------------------------------------------------------
# The model JSON


def count_model(path):
    """Counts the model's objects by type; None when the file is no model."""
    try:
        with open(path, encoding="utf-8") as handle:
            root = json.load(handle)
    except (OSError, ValueError):
        return None
    counts = {}
    stack = [root]
    while stack:
        node = stack.pop()
        if not isinstance(node, dict):
            continue
        kind = node.get("type")
        if kind:
            counts[kind] = counts.get(kind, 0) + 1
        stack.extend(node.get("children") or [])
    return counts


# ---------------------------------------------------------------------------
# One database


class Bench:
    def __init__(self, args):
        self.args = args
        self.build = os.path.abspath(args.build)
        self.bin = os.path.join(self.build, "bin")
        # The build puts the libraries in lib/quillmere/ and the plug-ins
        # in lib/quillmere/plugins/, as they are installed.
        self.lib = os.path.join(self.build, "lib", "quillmere")
        self.data_dir = os.path.abspath(args.data or os.path.join(self.build, "bench-data"))
        self.work_dir = os.path.join(self.data_dir, "work")
        os.makedirs(self.work_dir, exist_ok=True)
        self.pg = Postgres(os.environ)
        self.maria = MariaDb(os.environ)
        self.results = {}
        self.notes = []  # lines printed under the tables (skips, failures, load)
        self.session_told = set()  # databases whose plug-in session has been described in the notes

    def note(self, line):
        self.notes.append(line)
        log(line)

    def plugin_path(self, db):
        return os.path.join(self.lib, "plugins", "libqm_%s.so" % db)

    def import_argv(self, db, source, output, size):
        flag = {"sqlite": "--sqlite", "postgres": "--postgres", "mariadb": "--connect"}[db]
        argv = [os.path.join(self.bin, "quillmere-import"), flag, source, "--format", "json", "-o", output, "--quiet"]
        # A MariaDB server holds the databases of every size: the import
        # reads the one being measured, as SQLAlchemy and mysqldump do.
        return argv + (["--schema", database_name(size)] if db == "mariadb" else [])

    def runs_for(self, tool, size):
        if size >= LARGE_SIZE:
            if tool == "sqlalchemy":
                return min(self.args.runs, LARGE_RUNS_SQLALCHEMY)
            return self.args.large_runs if self.args.large_runs else min(self.args.runs, LARGE_RUNS)
        if size == 0:
            return max(self.args.runs, EMPTY_RUNS)
        return self.args.runs

    def limit_for(self, db, tool, size):
        """The time limit of one run: for the import and the bare loop
        PROJECTION_FACTOR times the linear projection from the largest
        smaller size measured, within [MIN_LIMIT, --timeout]; --timeout for
        the others."""
        limit = self.args.timeout
        if tool not in ("import", "floor"):
            return limit
        smaller = [s for s in self.results.get(db, {}) if 0 < s < size]
        if smaller:
            prev = max(smaller)
            median_prev = self.results[db][prev]["tools"].get(tool, {}).get("wall_median_s")
            if median_prev:
                limit = min(limit, max(MIN_LIMIT, PROJECTION_FACTOR * median_prev * size / prev))
        return limit

    def run_database(self, db, size):
        entry = {"size": size, "tools": {}, "model": None, "load_before": os.getloadavg()[0]}
        self.results.setdefault(db, {})[size] = entry
        tools = entry["tools"]
        expected = schema.expected_counts(size)

        if db == "sqlite":
            path = prepare_sqlite(self.data_dir, size)
            import_source = path
            floor_connect = "Driver={SQLite3};Database=%s;NoCreat=1" % path
            sqlalchemy_args = ["sqlite", path]
            env = dict(os.environ)
        elif db == "postgres":
            dbname = prepare_postgres(self.pg, self.data_dir, size)
            import_source = self.pg.connect_string(dbname)
            floor_connect = import_source
            sqlalchemy_args = ["postgres", dbname]
            env = self.pg.env(dbname)
        else:
            dbname = prepare_mariadb(self.maria, self.data_dir, size)
            import_source = self.maria.connect_string(dbname)
            floor_connect = import_source
            sqlalchemy_args = ["mariadb", dbname]
            env = dict(os.environ)

        argv = {
            "import": self.import_argv(db, import_source, "/dev/null", size),
            "floor": [os.path.join(self.bin, "qm_bare_fetch"), "--connect", floor_connect, "--statements",
                      os.path.join(self.work_dir, "%s-%d.statements" % (db, size)), "--quiet"],
            "session": [os.path.join(self.bin, "qm_bare_fetch"), "--connect", floor_connect, "--statements",
                        os.path.join(self.work_dir, "%s-%d.statements" % (db, size)), "--quiet", "--session"],
            "sqlalchemy": [PYTHON, os.path.join(HERE, "reflect_sqlalchemy.py")] + sqlalchemy_args,
            "pg_dump": ["pg_dump", "--schema-only", "-f", "/dev/null"],
            "isql": ["isql", "-b", "-k", import_source],
            "mysqldump": ["mysqldump", "--defaults-file=%s" % self.maria.client_cnf, "--no-data",
                          "--result-file=/dev/null", "--databases", database_name(size)],
        }
        stdin = {"isql": self.select_one()}
        # The command line may bring its own allocator; the bare loop gets it
        # too in a row of its own, so that what the allocator buys the
        # database and driver is not counted as the module's.
        extra_env = {}
        allocator = self.import_allocator()
        if allocator:
            argv["floor_alloc"] = list(argv["floor"])
            extra_env["floor_alloc"] = {"LD_PRELOAD": allocator}
        active = ["import", "floor", "session"] + (["floor_alloc"] if allocator else []) + (
            [] if self.args.quick else ["sqlalchemy"]) + (
            [DUMP_TOOL[db]] if db in DUMP_TOOL else []) + (["isql"] if db == "postgres" else [])
        for tool in active:
            tools[tool] = {"label": TOOL_LABEL[tool], "status": "ok", "runs": []}

        def skip(tool, why, tell=True):
            tools[tool]["status"] = "skipped"
            tools[tool]["note"] = why
            if tell:
                self.note("%s %s tables, %s: skipped: %s" % (DB_LABEL[db], fmt_size(size), tool, why))

        # The import's model and statements, once, before the timed runs.
        if not os.path.exists(self.plugin_path(db)):
            why = "the %s plug-in is not built (%s is missing)" % (DB_LABEL[db], self.plugin_path(db))
            skip("import", why, tell=False)
            skip("floor", "it replays the statements the import sends; " + why, tell=False)
            skip("session", "it replays the statements the import sends; " + why, tell=False)
            if "floor_alloc" in tools:
                skip("floor_alloc", "it replays the statements the import sends; " + why, tell=False)
            self.note("%s %s tables: import and bare fetch loop skipped: %s" % (DB_LABEL[db], fmt_size(size), why))
        else:
            self.capture(db, size, import_source, env, entry, expected, tools)
            statements = argv["floor"][4]
            if tools["floor"]["status"] == "ok":
                attributes, autocommit = session_of(statements)
                added = [k for k in connection_keys(attributes) if k not in connection_keys(floor_connect)]
                if added or autocommit:
                    tools["session"]["note"] = "the plug-in's session adds %s" % ", ".join(
                        (["the attributes " + ", ".join(added)] if added else []) +
                        (["autocommit or driver attribute changes"] if autocommit else []))
                    if db not in self.session_told:
                        self.session_told.add(db)
                        self.note("%s: %s" % (DB_LABEL[db], tools["session"]["note"]))
                else:
                    tools["session"]["status"] = "same"
            else:
                tools["session"]["status"] = "skipped"
                if "floor_alloc" in tools:
                    tools["floor_alloc"]["status"] = "skipped"

        for tool in ("sqlalchemy", "pg_dump", "isql", "mysqldump"):
            if tool in tools and not shutil.which(argv[tool][0]):
                skip(tool, "%s not found" % argv[tool][0])

        # Timed runs, the tools taking turns.
        rounds = max(self.runs_for(t, size) for t in active)
        limits = {tool: self.limit_for(db, tool, size) for tool in active}
        for r in range(rounds):
            for tool in active:
                info = tools[tool]
                if info["status"] != "ok" or r >= self.runs_for(tool, size):
                    continue
                log("%s %s tables: %s run %d/%d" % (DB_LABEL[db], fmt_size(size), tool, r + 1,
                                                    self.runs_for(tool, size)))
                result = run_measured(argv[tool], env=env, limit=limits[tool], stdin_path=stdin.get(tool),
                                      extra_env=extra_env.get(tool))
                self.record(db, size, tool, result, expected, info)

        for tool in active:
            info = tools[tool]
            walls = [run["wall_s"] for run in info["runs"]]
            info["wall_median_s"] = median(walls)
            info["wall_min_s"] = min(walls) if walls else None
            info["cpu_median_s"] = median([run["cpu_s"] for run in info["runs"]])
            info["peak_rss_kb"] = median([run["rss_kb"] for run in info["runs"]])
            if info["status"] == "ok" and not walls:
                info["status"] = "failed"
        entry["load_after"] = os.getloadavg()[0]
        entry["ratios"] = self.ratios(entry)

    def import_allocator(self):
        """The allocator library quillmere-import links (its path), or None
        when it uses the C library's malloc."""
        if not hasattr(self, "_allocator"):
            self._allocator = None
            try:
                listing = subprocess.run(["ldd", os.path.join(self.bin, "quillmere-import")], capture_output=True,
                                         text=True, check=False).stdout
            except OSError:
                listing = ""
            for line in listing.splitlines():
                name, _, rest = line.strip().partition(" => ")
                if name.startswith(ALLOCATORS) and rest.startswith("/"):
                    self._allocator = rest.split(" (")[0]
                    break
        return self._allocator

    def select_one(self):
        path = os.path.join(self.work_dir, "select-one.sql")
        with open(path, "w") as handle:
            handle.write("select 1\n")
        return path

    def server_statements(self, dbname, run):
        """Runs run() with log_statement=all for the database and counts the
        statements the server logged meanwhile; None when the log is not
        readable."""
        if not self.pg.log or not os.access(self.pg.log, os.R_OK):
            return None
        self.pg.psql("postgres", "-c", "ALTER DATABASE %s SET log_statement = 'all'" % dbname)
        try:
            with open(self.pg.log, "rb") as handle:
                handle.seek(0, os.SEEK_END)
                run()
                time.sleep(0.2)  # the server writes its log lines asynchronously
                logged = handle.read().decode("utf-8", "replace")
        finally:
            self.pg.psql("postgres", "-c", "ALTER DATABASE %s RESET log_statement" % dbname)
        return sum(1 for line in logged.splitlines() if "LOG:  statement: " in line or "LOG:  execute " in line)

    def capture(self, db, size, source, env, entry, expected, tools):
        statements = os.path.join(self.work_dir, "%s-%d.statements" % (db, size))
        model_file = os.path.join(self.work_dir, "%s-%d.json" % (db, size))
        for stale in (statements, model_file):
            if os.path.exists(stale):
                os.unlink(stale)
        capture_lib = os.path.join(self.lib, "libqmbench_statement_capture.so")
        log("%s %s tables: import to a file, capturing its statements" % (DB_LABEL[db], fmt_size(size)))
        outcome = []

        def run():
            outcome.append(run_measured(self.import_argv(db, source, model_file, size), env=env,
                                        limit=self.limit_for(db, "import", size),
                                        extra_env={"LD_PRELOAD": capture_lib, "QM_CAPTURE_STATEMENTS": statements}))

        seen = self.server_statements(database_name(size), run) if db == "postgres" else run()
        result = outcome[0]
        if result.timed_out or result.rc != 0:
            why = ("stopped after %.0f s" % result.limit) if result.timed_out else (
                "exit code %s: %s" % (result.rc, last_lines(result.stderr)))
            tools["import"]["status"] = "timeout" if result.timed_out else "failed"
            tools["import"]["note"] = "the first import (writing the model to a file) " + why
            if result.timed_out:
                tools["import"]["stopped_after_s"] = result.limit
            for tool in ("floor", "session", "floor_alloc"):
                if tool not in tools:
                    continue
                tools[tool]["status"] = "skipped"
                tools[tool]["note"] = "no statements to replay: the first import " + why
            self.note("%s %s tables: the first import (model to a file) %s; import and bare fetch loop not timed" % (
                DB_LABEL[db], fmt_size(size), why))
            if os.path.exists(model_file):
                os.unlink(model_file)
            return
        if seen is not None:
            entry["server_statements"] = {"seen": seen, "plugin": captured_statements(statements)}
        counts = count_model(model_file)
        entry["model"] = {
            "json_bytes": os.path.getsize(model_file),
            "objects": counts,
            "first_import_s": result.wall,
            "first_import_rss_kb": result.rss_kb,
        }
        os.unlink(model_file)
        if counts is None:
            self.note("%s %s tables: the model file is not JSON" % (DB_LABEL[db], fmt_size(size)))
        else:
            for kind, key in (("table", "tables"), ("view", "views")):
                if counts.get(kind, 0) != expected[key]:
                    self.note("%s %s tables: the model holds %d %ss, the database %d" % (
                        DB_LABEL[db], fmt_size(size), counts.get(kind, 0), kind, expected[key]))
        if not os.path.exists(statements) or os.path.getsize(statements) == 0:
            tools["floor"]["status"] = "skipped"
            tools["floor"]["note"] = "no statements were captured from the import"
            self.note("%s %s tables: floor skipped: no statements captured" % (DB_LABEL[db], fmt_size(size)))

    def record(self, db, size, tool, result, expected, info):
        where = "%s %s tables, %s" % (DB_LABEL[db], fmt_size(size), tool)
        if result.timed_out:
            info["status"] = "timeout"
            info["note"] = "stopped after %.0f s" % result.limit
            info["stopped_after_s"] = result.limit
            reason = "over %g x its linear projection, or --timeout" % PROJECTION_FACTOR if tool in (
                "import", "floor") else "--timeout"
            self.note("%s: stopped after %.0f s (%s)" % (where, result.limit, reason))
            return
        if result.rc != 0:
            info["status"] = "failed"
            info["note"] = "exit code %s: %s" % (result.rc, last_lines(result.stderr))
            self.note("%s: failed: %s" % (where, info["note"]))
            return
        if tool == "sqlalchemy":
            try:
                found = json.loads(result.stdout.strip().splitlines()[-1])
            except (ValueError, IndexError):
                found = None
            want = expected["tables"] + expected["views"]
            info["found"] = found
            if not found or found.get("relations") != want:
                info["status"] = "failed"
                info["note"] = "reflected %s relations, expected %d" % (found and found.get("relations"), want)
                self.note("%s: %s" % (where, info["note"]))
                return
        info["runs"].append({"wall_s": result.wall, "cpu_s": result.cpu, "rss_kb": result.rss_kb})

    @staticmethod
    def ratios(entry):
        tools = entry["tools"]

        def wall(tool):
            """(seconds, bound): the median, or for a stopped run its time
            limit with bound '>' (it would have taken longer)."""
            info = tools.get(tool, {})
            if info.get("status") == "timeout" and info.get("stopped_after_s"):
                return info["stopped_after_s"], ">"
            return info.get("wall_median_s"), None

        ratios = {}
        bounds = {}
        for name, top, bottom in (("import_vs_floor", "import", "floor"),
                                  ("import_vs_session", "import", "session"),
                                  ("import_vs_floor_alloc", "import", "floor_alloc"),
                                  ("sqlalchemy_vs_import", "sqlalchemy", "import"),
                                  ("import_vs_pg_dump", "import", "pg_dump"),
                                  ("import_vs_isql", "import", "isql"),
                                  ("import_vs_mysqldump", "import", "mysqldump")):
            (a, a_bound), (b, b_bound) = wall(top), wall(bottom)
            if a is None or not b or (a_bound and b_bound):
                ratios[name] = None
                continue
            ratios[name] = a / b
            # A stopped numerator makes the ratio a lower bound, a stopped
            # denominator an upper one.
            bound = ">" if a_bound else "<" if b_bound else None
            if bound:
                bounds[name] = bound
        ratios["bounds"] = bounds
        server = entry.get("server_statements")
        if server:
            ratios["extra_statements"] = server["seen"] - server["plugin"]
        rss = tools.get("import", {}).get("peak_rss_kb")
        # An empty database's model is a few bytes: no ratio to speak of.
        if entry.get("model") and rss and entry["size"] > 0:
            ratios["import_rss_vs_json"] = rss * 1024.0 / entry["model"]["json_bytes"]
        return ratios

    # -----------------------------------------------------------------------
    # Growth and targets

    def scaling(self):
        """Per-table slopes of time (wall and CPU) and memory between
        consecutive sizes: of the import, of the bare loop, and of their
        difference (what the module and plug-in add on top of the driver)."""
        out = {}
        for db, sizes in self.results.items():
            series = {}
            for tool in ("import", "floor"):
                # An empty database is the fixed cost, not a point of growth.
                series[tool] = {s: sizes[s]["tools"].get(tool, {}) for s in sorted(sizes)
                                if s > 0 and sizes[s]["tools"].get(tool, {}).get("wall_median_s") is not None}
            series["import - floor"] = {
                s: {key: (series["import"][s].get(key) - series["floor"][s].get(key))
                    if series["import"][s].get(key) is not None and series["floor"][s].get(key) is not None else None
                    for key in ("wall_median_s", "cpu_median_s", "peak_rss_kb")}
                for s in series["import"] if s in series["floor"]}
            for name, points in series.items():
                points = sorted(points.items())
                if len(points) < 2:
                    continue
                segments = []
                for (s1, t1), (s2, t2) in zip(points, points[1:]):
                    def slope(key, scale):
                        a, b = t1.get(key), t2.get(key)
                        return None if a is None or b is None else scale * (b - a) / (s2 - s1)
                    w1, w2 = t1["wall_median_s"], t2["wall_median_s"]
                    segments.append({
                        "from": s1, "to": s2,
                        "ms_per_table": slope("wall_median_s", 1000.0),
                        "cpu_ms_per_table": slope("cpu_median_s", 1000.0),
                        "kb_per_table": slope("peak_rss_kb", 1.0),
                        "time_exponent": math.log(w2 / w1) / math.log(s2 / s1) if w1 > 0 and w2 > 0 else None,
                    })
                verdict = {}
                for key in ("ms_per_table", "cpu_ms_per_table", "kb_per_table"):
                    if len(segments) < 2:
                        verdict[key] = "needs three sizes"
                        continue
                    low, high = segments[-2][key], segments[-1][key]
                    if low is None or high is None:
                        verdict[key] = "-"
                    elif high <= 0 or (low > 0 and high <= low * LINEAR_SLOPE_FACTOR):
                        verdict[key] = "linear"
                    elif low <= 0:
                        # Noise larger than the growth of the smaller interval.
                        verdict[key] = "undetermined (no growth measured between the smaller sizes)"
                    else:
                        verdict[key] = "faster than linear (slope x%.1f)" % (high / low)
                # A size whose run was stopped tells growth too.
                stopped = [s for s in sorted(sizes) if name in sizes[s]["tools"]
                           and sizes[s]["tools"][name].get("status") == "timeout"]
                if stopped:
                    verdict["ms_per_table"] = "faster than linear (stopped at %s tables)" % fmt_size(stopped[0])
                out.setdefault(db, {})[name] = {"segments": segments, "verdict": verdict}
        return out

    def targets(self):
        rows = []

        def entry(db, size):
            return self.results.get(db, {}).get(size)

        def add(name, e, key, limit, op):
            value = e["ratios"].get(key)
            bound = e["ratios"].get("bounds", {}).get(key)
            wants_high = op == ">="
            if value is None:
                met = None
            elif bound is None:
                met = value >= limit if wants_high else value < limit if op == "<" else value <= limit
            elif (bound == ">") == wants_high:
                # The bound points the way the target wants: met if the
                # bound already is, unknown otherwise.
                met = (value >= limit if wants_high else value <= limit) or None
            else:
                met = False if (value <= limit if wants_high else value >= limit) else None
            rows.append({"target": name, "value": value, "bound": bound, "limit": "%s %s" % (op, fmt_ratio(limit)),
                         "met": met})

        empty = entry("postgres", 0)
        if empty:
            add("PostgreSQL empty: import / pg_dump --schema-only", empty, "import_vs_pg_dump",
                TARGET_EMPTY_VS_PG_DUMP, "<=")
            add("PostgreSQL empty: import / isql connect + select 1", empty, "import_vs_isql", TARGET_EMPTY_VS_ISQL,
                "<=")
        # Elsewhere the count is shown with the ratios: a catalogue large
        # enough for results in batches adds the cursor's statements.
        if empty and empty["ratios"].get("extra_statements") is not None:
            add("PostgreSQL empty: statements the server saw beyond the plug-in's", empty, "extra_statements",
                TARGET_EXTRA_STATEMENTS, "<=")
        maria = entry("mariadb", TARGET_SIZE)
        if maria:
            add("MariaDB 1,000: import / mysqldump --no-data", maria, "import_vs_mysqldump", 1.0, "<")
        for db in ("postgres", "sqlite", "mariadb"):
            e = entry(db, TARGET_SIZE)
            if e and "sqlalchemy" in e["tools"]:
                add("%s 1,000: SQLAlchemy / import" % DB_LABEL[db], e, "sqlalchemy_vs_import",
                    TARGET_SQLALCHEMY_SPEEDUP, ">=")
        for db in ("postgres", "sqlite", "mariadb"):
            for size in (TARGET_SIZE, LARGE_SIZE):
                e = entry(db, size)
                if e:
                    add("%s %s: import / bare loop in the plug-in's session" % (DB_LABEL[db], fmt_size(size)), e,
                        "import_vs_session", TARGET_SESSION_RATIO[db], "<=")
        for db in ("postgres", "sqlite", "mariadb"):
            for size, limit in sorted(TARGET_MEMORY_PER_JSON.items()):
                e = entry(db, size)
                if e:
                    add("%s %s: import peak memory / model JSON size" % (DB_LABEL[db], fmt_size(size)), e,
                        "import_rss_vs_json", limit, "<=")
        return rows

    # -----------------------------------------------------------------------
    # Extras

    def micro(self):
        out = {}
        for name in ("fetch_bench", "cache_bench"):
            path = os.path.join(self.bin, name)
            if not os.path.exists(path):
                self.note("micro-benchmark %s not built" % name)
                continue
            log("running %s" % name)
            result = subprocess.run([path, "--benchmark_color=false"], capture_output=True, text=True,
                                    stdin=subprocess.DEVNULL)
            out[name] = {"rc": result.returncode, "output": result.stderr + result.stdout}
        return out

    def profile(self, sizes, dbs):
        """Where the import's time goes: a sampled profile of one import per
        database (perf, cpu-clock) at TARGET_SIZE or the largest size below
        it, by library and by function. Falls back to callgrind at the
        smallest size when perf cannot sample here."""
        results_dir = os.path.dirname(os.path.abspath(self.args.json))
        os.makedirs(results_dir, exist_ok=True)
        out = {}
        perf_ok = shutil.which("perf") and subprocess.run(
            ["perf", "record", "-q", "-e", "cpu-clock", "-o", "/dev/null", "true"],
            capture_output=True).returncode == 0
        for db in dbs:
            if not os.path.exists(self.plugin_path(db)):
                continue
            candidates = [s for s in sizes if s <= TARGET_SIZE] or [min(sizes)]
            size = max(candidates) if perf_ok else min(sizes)
            if db not in self.results or size not in self.results[db]:
                continue
            if db == "sqlite":
                source, env = prepare_sqlite(self.data_dir, size), dict(os.environ)
            elif db == "mariadb":
                source, env = self.maria.connect_string(database_name(size)), dict(os.environ)
            else:
                source, env = self.pg.connect_string(database_name(size)), self.pg.env(database_name(size))
            argv = self.import_argv(db, source, "/dev/null", size)
            statement_times = self.statement_times(db, size, source if db != "sqlite" else
                                                   "Driver={SQLite3};Database=%s;NoCreat=1" % source, env)
            report_file = os.path.join(results_dir, "profile-%s-%d.txt" % (db, size))
            log("profiling the %s import of %s tables" % (DB_LABEL[db], fmt_size(size)))
            if perf_ok:
                data = os.path.join(self.work_dir, "perf-%s-%d.data" % (db, size))
                subprocess.run(["perf", "record", "-q", "-e", "cpu-clock", "-F", "2000", "-o", data, "--"] + argv,
                               env=env, capture_output=True, stdin=subprocess.DEVNULL)
                by_dso = self.perf_report(data, "dso")
                by_sym = self.perf_report(data, "dso,sym")
                os.unlink(data)
                with open(report_file, "w") as handle:
                    handle.write("# perf record -e cpu-clock, %s import, %d tables\n\n" % (db, size))
                    handle.write("## by library\n%s\n\n## by function\n%s\n" % ("\n".join(by_dso), "\n".join(by_sym)))
                out[db] = {"tool": "perf (cpu-clock)", "size": size, "by_library": by_dso[:12],
                           "by_function": by_sym[:20], "file": report_file, "statements": statement_times}
            else:
                data = os.path.join(self.work_dir, "callgrind-%s-%d.out" % (db, size))
                subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + data] + argv,
                               env=env, capture_output=True, stdin=subprocess.DEVNULL)
                annotate = subprocess.run(["callgrind_annotate", data], capture_output=True, text=True).stdout
                os.unlink(data)
                with open(report_file, "w") as handle:
                    handle.write(annotate)
                lines = [line for line in annotate.splitlines() if line.strip()]
                out[db] = {"tool": "callgrind (instructions)", "size": size, "by_function": lines[:40],
                           "file": report_file, "statements": statement_times}
        return out

    def statement_times(self, db, size, connect, env):
        """The seconds and rows of each statement in one bare-loop run, the
        slowest first; empty when no statements were captured."""
        statements = os.path.join(self.work_dir, "%s-%d.statements" % (db, size))
        if not os.path.exists(statements):
            return []
        result = subprocess.run([os.path.join(self.bin, "qm_bare_fetch"), "--connect", connect, "--statements",
                                 statements, "--timings"], env=env, capture_output=True, text=True,
                                stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            self.note("%s %s tables: the bare loop with --timings failed: %s" % (
                DB_LABEL[db], fmt_size(size), last_lines(result.stderr)))
            return []
        rows = []
        for line in result.stdout.splitlines():
            parts = line.split(" ", 3)
            if len(parts) == 4 and parts[0] == "statement":
                rows.append({"seconds": float(parts[1]), "rows": int(parts[2]), "text": parts[3]})
        return sorted(rows, key=lambda r: -r["seconds"])

    @staticmethod
    def perf_report(data, sort):
        text = subprocess.run(["perf", "report", "-i", data, "--no-children", "--sort", sort, "--stdio", "-g", "none",
                               "--percent-limit", "0.5"], capture_output=True, text=True).stdout
        return [" ".join(line.split()) for line in text.splitlines() if line.strip() and not line.startswith("#")]


# ---------------------------------------------------------------------------
# Report


def markdown(bench, sizes, scaling, targets, profile, micro):
    out = []
    w = out.append
    load = os.getloadavg()
    w("# Schema import benchmark")
    w("")
    w("%s; %d CPUs; load average now %.2f %.2f %.2f. Wall time is the median of the runs; CPU is user+system "
      "of the process; memory is peak resident set. For PostgreSQL the server's time is in the wall time only." % (
          datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), os.cpu_count() or 0, *load))
    for db, by_size in bench.results.items():
        for size in sorted(by_size):
            e = by_size[size]
            w("")
            model = e.get("model")
            model_text = ("model JSON %.2f MB" % (model["json_bytes"] / 1e6)) if model else "no model"
            w("## %s, %s tables (%s; load %.1f -> %.1f)" % (DB_LABEL[db], fmt_size(size), model_text,
                                                           e["load_before"], e["load_after"]))
            w("")
            w("| tool | runs | wall median (s) | wall min (s) | CPU (s) | peak memory (MB) | wall / import |")
            w("|---|---:|---:|---:|---:|---:|---:|")
            import_wall = e["tools"].get("import", {}).get("wall_median_s")
            for tool, info in e["tools"].items():
                if info["status"] == "same":
                    continue  # the plug-in sets no session of its own: the bare loop's row says it
                if info["status"] == "timeout" and info.get("stopped_after_s"):
                    w("| %s | %d | > %.0f (stopped) | - | - | - | %s |" % (
                        info["label"], len(info["runs"]), info["stopped_after_s"],
                        "> " + fmt_ratio(info["stopped_after_s"] / import_wall) if import_wall else "-"))
                    continue
                if info["status"] != "ok":
                    w("| %s | %d | %s (see notes) | - | - | - | - |" % (info["label"], len(info["runs"]),
                                                                       info["status"]))
                    continue
                rel = info["wall_median_s"] / import_wall if import_wall and info["wall_median_s"] else None
                w("| %s | %d | %s | %s | %s | %s | %s |" % (
                    info["label"], len(info["runs"]), fmt_seconds(info["wall_median_s"]),
                    fmt_seconds(info["wall_min_s"]), fmt_seconds(info["cpu_median_s"]), fmt_mb(info["peak_rss_kb"]),
                    fmt_ratio(rel)))
    w("")
    w("## Ratios")
    w("")
    w("| database | tables | import / bare loop | import / bare loop in session "
      "| import / bare loop, same allocator | SQLAlchemy / import "
      "| import / pg_dump | import / isql | import / mysqldump | import peak memory / JSON "
      "| server statements (plug-in's) |")
    w("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for db, by_size in bench.results.items():
        for size in sorted(by_size):
            r = by_size[size]["ratios"]
            cells = []
            for key in ("import_vs_floor", "import_vs_session", "import_vs_floor_alloc", "sqlalchemy_vs_import",
                        "import_vs_pg_dump",
                        "import_vs_isql", "import_vs_mysqldump", "import_rss_vs_json"):
                bound = r.get("bounds", {}).get(key)
                cells.append("-" if r.get(key) is None else (bound + " " if bound else "") + fmt_ratio(r[key]))
            server = by_size[size].get("server_statements")
            cells.append("%d (%d)" % (server["seen"], server["plugin"]) if server else "-")
            w("| %s | %s | %s |" % (DB_LABEL[db], fmt_size(size), " | ".join(cells)))

    if scaling:
        w("")
        w("## Growth (per table, between consecutive sizes)")
        w("")
        w("\"import - floor\" is what the module and the plug-in add on top of the driver and the database. "
          "A verdict needs three sizes: linear while the per-table slope of the larger interval stays within "
          "%.1f times that of the smaller one." % LINEAR_SLOPE_FACTOR)
        w("")
        w("| database | program | sizes | wall (ms/table) | CPU (ms/table) | memory (KB/table) | wall exponent |")
        w("|---|---|---|---:|---:|---:|---:|")

        def num(value, pattern):
            return "-" if value is None else pattern % value

        for db, tools in scaling.items():
            for tool, info in tools.items():
                for seg in info["segments"]:
                    w("| %s | %s | %s -> %s | %s | %s | %s | %s |" % (
                        DB_LABEL[db], tool, fmt_size(seg["from"]), fmt_size(seg["to"]),
                        num(seg["ms_per_table"], "%.4f"), num(seg["cpu_ms_per_table"], "%.4f"),
                        num(seg["kb_per_table"], "%.2f"), num(seg["time_exponent"], "%.2f")))
        w("")
        for db, tools in scaling.items():
            for tool, info in tools.items():
                v = info["verdict"]
                w("- %s %s: wall time %s; CPU %s; memory %s." % (DB_LABEL[db], tool, v["ms_per_table"],
                                                                 v["cpu_ms_per_table"], v["kb_per_table"]))

    if targets:
        w("")
        w("## Targets")
        w("")
        w("| target | measured | wanted | met |")
        w("|---|---:|---:|---|")
        for t in targets:
            if t["value"] is None:
                met = "not measured"
            elif t["met"] is None:
                met = "unknown (a run was stopped)"
            else:
                met = "yes" if t["met"] else "NO"
            bound = t["bound"] + " " if t.get("bound") else ""
            w("| %s | %s%s | %s | %s |" % (t["target"], bound, fmt_ratio(t["value"]), t["limit"], met))

    if profile:
        for db, p in profile.items():
            w("")
            w("## Where the %s import's time goes (%s tables, %s)" % (DB_LABEL[db], fmt_size(p["size"]), p["tool"]))
            w("")
            w("```")
            for line in p.get("by_library", [])[:8]:
                w(line)
            if p.get("by_library"):
                w("")
            for line in p["by_function"][:15]:
                w(line if len(line) <= 140 else line[:137] + "...")
            w("```")
            w("Full report: %s" % os.path.relpath(p["file"], ROOT))
            if p.get("statements"):
                total = sum(r["seconds"] for r in p["statements"]) or 1.0
                w("")
                w("Slowest statements of one bare-loop run (%d statements, %.3f s):" % (len(p["statements"]), total))
                w("")
                w("| s | share | rows | statement |")
                w("|---:|---:|---:|---|")
                for r in p["statements"][:5]:
                    w("| %.3f | %.0f%% | %d | `%s...` |" % (r["seconds"], 100.0 * r["seconds"] / total, r["rows"],
                                                          r["text"][:90].replace("|", "\\|")))

    if micro:
        for name, m in micro.items():
            w("")
            w("## %s (exit %d)" % (name, m["rc"]))
            w("")
            w("```")
            w(m["output"].rstrip())
            w("```")

    if bench.notes:
        w("")
        w("## Notes")
        w("")
        for line in bench.notes:
            w("- " + line)
    return "\n".join(out) + "\n"


def parse_sizes(text):
    sizes = []
    for part in text.split(","):
        part = part.strip().replace("_", "")
        if not part.isdigit():
            raise argparse.ArgumentTypeError("sizes are table counts (0: an empty database) separated by commas: %r"
                                             % text)
        sizes.append(int(part))
    return sorted(set(sizes))


def main(argv):
    # Stopped from outside (scripts/bench on Ctrl-C): unwind, so the program
    # being timed is stopped too.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(143))
    parser = argparse.ArgumentParser(description="Schema import benchmark harness (see the module docstring).")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"),
                        help="build directory with bin/ and lib/ (default: build-release)")
    parser.add_argument("--data", help="where generated databases are cached (default: BUILD/bench-data)")
    parser.add_argument("--sizes", type=parse_sizes,
                        help="table counts, comma-separated, 0 an empty database (default %s; --quick %s)" % (
                            ",".join(map(str, FULL_SIZES)), ",".join(map(str, QUICK_SIZES))))
    parser.add_argument("--quick", action="store_true",
                        help="the common case in a minute or two: sizes %s, %d runs, no SQLAlchemy" % (
                            ",".join(map(str, QUICK_SIZES)), QUICK_RUNS))
    parser.add_argument("--runs", type=int,
                        help="timed runs per program (default 5; at least %d on an empty database; at most %d "
                             "at %s tables, SQLAlchemy %d)" % (
                            EMPTY_RUNS, LARGE_RUNS, fmt_size(LARGE_SIZE), LARGE_RUNS_SQLALCHEMY))
    parser.add_argument("--large-runs", type=int,
                        help="timed runs per program at %s tables and more (default: --runs, at most %d); "
                             "SQLAlchemy stays at %d" % (fmt_size(LARGE_SIZE), LARGE_RUNS, LARGE_RUNS_SQLALCHEMY))
    parser.add_argument("--only", choices=["sqlite", "postgres", "mariadb"], help="one database only")
    parser.add_argument("--timeout", type=float, default=600.0, help="longest single run, seconds (default 600)")
    parser.add_argument("--json", default=os.path.join(HERE, "results", "latest.json"),
                        help="where the figures are written (default bench/results/latest.json)")
    parser.add_argument("--micro", action="store_true", help="also run the fetch and cache micro-benchmarks")
    parser.add_argument("--profile", action="store_true", help="also profile one import per database")
    args = parser.parse_args(argv)
    if args.sizes is None:
        args.sizes = QUICK_SIZES if args.quick else FULL_SIZES
    if args.runs is None:
        args.runs = QUICK_RUNS if args.quick else 5
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    if args.large_runs is not None and args.large_runs < 1:
        parser.error("--large-runs must be at least 1")

    bench = Bench(args)
    for program in ("quillmere-import", "qm_bare_fetch"):
        if not os.path.exists(os.path.join(bench.bin, program)):
            parser.error("%s is not built in %s (build with -DQM_BUILD_BENCH=ON)" % (program, bench.bin))
    if not os.path.exists(GNU_TIME):
        parser.error("%s (package time) is missing; run scripts/setup" % GNU_TIME)

    dbs = [args.only] if args.only else ["sqlite", "postgres", "mariadb"]
    if "postgres" in dbs and not bench.pg.available:
        if args.only == "postgres":
            parser.error("no PostgreSQL server: QM_PG_HOST, QM_PG_PORT, QM_PG_USER and QM_PG_PASSWORD are not set "
                         "(start one with scripts/pg start DIR and source DIR/env)")
        dbs.remove("postgres")
        bench.note("PostgreSQL skipped: no server (QM_PG_* variables not set)")
    if "mariadb" in dbs and not bench.maria.available:
        if args.only == "mariadb":
            parser.error("no MariaDB server: QM_MARIA_HOST, QM_MARIA_PORT, QM_MARIA_USER, QM_MARIA_PASSWORD and "
                         "QM_MARIA_CLIENT_CNF are not set (start one with scripts/mariadb start DIR and source DIR/env)")
        dbs.remove("mariadb")
        bench.note("MariaDB skipped: no server (QM_MARIA_* variables not set)")

    started = time.perf_counter()
    if os.getloadavg()[0] > (os.cpu_count() or 1):
        bench.note("load average %.1f on %d CPUs at the start: timings are inflated and noisy" % (
            os.getloadavg()[0], os.cpu_count() or 1))
    for size in args.sizes:
        for db in dbs:
            bench.run_database(db, size)

    scaling = bench.scaling()
    targets = bench.targets()
    profile = bench.profile(args.sizes, dbs) if args.profile else {}
    micro = bench.micro() if args.micro else {}

    report = {
        "generated": datetime.datetime.now().isoformat(timespec="seconds"),
        "command": sys.argv,
        "cpus": os.cpu_count(),
        "load_average_end": os.getloadavg(),
        "elapsed_s": time.perf_counter() - started,
        "settings": {"sizes": args.sizes, "runs": args.runs, "only": args.only, "timeout_s": args.timeout,
                     "generator_version": schema.GENERATOR_VERSION},
        "results": {db: {str(size): e for size, e in by_size.items()} for db, by_size in bench.results.items()},
        "scaling": scaling,
        "targets": targets,
        "profile": profile,
        "micro": micro,
        "notes": bench.notes,
    }
    os.makedirs(os.path.dirname(os.path.abspath(args.json)), exist_ok=True)
    with open(args.json + ".part", "w") as handle:
        json.dump(report, handle, indent=2)
    os.replace(args.json + ".part", args.json)
    sys.stdout.write(markdown(bench, args.sizes, scaling, targets, profile, micro))
    log("figures written to %s (%.0f s in all)" % (args.json, time.perf_counter() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

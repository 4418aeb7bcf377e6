#!/usr/bin/python3
"""Checks of the benchmark's own parts: the schema generator, the statement
capture library with the bare fetch loop, and the harness's measuring and
judging. Real SQLite databases and the real unixODBC driver manager with
the SQLite3 driver; PostgreSQL parts run when QM_PG_* describe a server.

  /usr/bin/python3 -m unittest discover -s bench -p 'test_*.py'
  (scripts/bench --self-test builds what they need and runs them)

QM_BENCH_BUILD names the build directory (default build-release).
"""

import json
import os
import sqlite3
import subprocess
import sys
import tempfile
import time
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "gen"))
import run  # noqa: E402
import schema  # noqa: E402

BUILD = os.path.abspath(os.environ.get("QM_BENCH_BUILD", os.path.join(os.path.dirname(HERE), "build-release")))
FLOOR = os.path.join(BUILD, "bin", "qm_bare_fetch")
CAPTURE = os.path.join(BUILD, "lib", "quillmere", "libqmbench_statement_capture.so")


def statements_file(path, texts):
    with open(path, "wb") as out:
        for text in texts:
            data = text.encode("utf-8")
            out.write(b"-- qm-statement %d\n" % len(data) + data + b"\n")


class GeneratorTest(unittest.TestCase):
    def test_sqlite_database_holds_what_the_counts_say(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "s.db")
            schema.build_sqlite(57, path)
            self.assertFalse(os.path.exists(path + ".part"))
            db = sqlite3.connect(path)
            kinds = dict(db.execute("SELECT type, count(*) FROM sqlite_master GROUP BY type").fetchall())
            expected = schema.expected_counts(57)
            self.assertEqual(kinds, {"table": 57, "index": 57, "view": 5})
            columns = db.execute("SELECT count(*) FROM sqlite_master m JOIN pragma_table_info(m.name) "
                                 "WHERE m.type = 'table'").fetchone()[0]
            self.assertEqual(columns, expected["columns"])
            # Every table has one foreign key, to itself (table 1) or to an
            # earlier table, and one primary key on id.
            for (name,) in db.execute("SELECT name FROM sqlite_master WHERE type = 'table'"):
                fks = db.execute("SELECT \"table\", \"to\" FROM pragma_foreign_key_list(?)", (name,)).fetchall()
                self.assertEqual(len(fks), 1, name)
                self.assertLessEqual(fks[0][0], name)
                self.assertEqual(fks[0][1], "id")
                if name != "t00001":
                    self.assertLess(fks[0][0], name)
                pk = db.execute("SELECT name FROM pragma_table_info(?) WHERE pk > 0", (name,)).fetchall()
                self.assertEqual(pk, [("id",)])
            # Views work (their tables exist with the named columns).
            for (name,) in db.execute("SELECT name FROM sqlite_master WHERE type = 'view'").fetchall():
                db.execute("SELECT * FROM %s" % name).fetchall()
            db.close()

    def test_output_is_deterministic_and_parents_are_spread(self):
        first = list(schema.schema_statements("postgres", 300))
        self.assertEqual(first, list(schema.schema_statements("postgres", 300)))
        parents = {schema.parent_of(i) for i in range(2, 301)}
        self.assertGreater(len(parents), 50)  # not one chain to the previous table
        self.assertTrue(all(1 <= schema.parent_of(i) < i for i in range(2, 5000)))

    def test_postgres_script_commits_only_between_tables(self):
        import io
        out = io.StringIO()
        schema.write_postgres_script(1203, out)
        text = out.getvalue()
        parts = text.split("COMMIT;\nBEGIN;\n")
        self.assertEqual(len(parts), 3)  # 500 + 500 + 203 tables
        for part in parts[1:]:
            self.assertTrue(part.startswith("CREATE TABLE"), part[:40])
        self.assertEqual([p.count("CREATE TABLE") for p in parts], [500, 500, 203])
        self.assertTrue(text.rstrip().endswith("COMMIT;"))

    @unittest.skipUnless(os.environ.get("QM_PG_HOST"), "no PostgreSQL server (QM_PG_* not set)")
    def test_postgres_script_loads(self):
        pg = run.Postgres(os.environ)
        with tempfile.TemporaryDirectory() as tmp:
            db = run.prepare_postgres(pg, tmp, 23)
            counts = pg.psql(db, "-At", "-c", "SELECT relkind, count(*) FROM pg_class c JOIN pg_namespace n "
                             "ON n.oid = c.relnamespace WHERE n.nspname = 'public' GROUP BY 1 ORDER BY 1",
                             capture=True).split()
            # 23 tables, 23 primary-key indexes + 23 indexes, 2 views.
            self.assertEqual(counts, ["i|46", "r|23", "v|2"])
            try:
                self.assertEqual(run.prepare_postgres(pg, tmp, 23), db)  # labelled: not loaded again
            finally:
                pg.psql("postgres", "-c", "DROP DATABASE %s" % db)

    @unittest.skipUnless(os.environ.get("QM_MARIA_CLIENT_CNF"), "no MariaDB server (QM_MARIA_* not set)")
    def test_mariadb_script_loads(self):
        maria = run.MariaDb(os.environ)
        with tempfile.TemporaryDirectory() as tmp:
            db = run.prepare_mariadb(maria, tmp, 23)
            try:
                counts = maria.client(
                    "SELECT CONCAT(TABLE_TYPE, '|', COUNT(*)) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                    "'%s' GROUP BY TABLE_TYPE ORDER BY TABLE_TYPE" % db, capture=True).splitlines()
                self.assertEqual(counts, ["BASE TABLE|23", "VIEW|2"])
                fks = maria.client("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS "
                                   "WHERE CONSTRAINT_SCHEMA = '%s' AND DELETE_RULE = 'CASCADE'" % db,
                                   capture=True).split()
                self.assertEqual(fks, ["23"])
                self.assertEqual(run.prepare_mariadb(maria, tmp, 23), db)  # labelled: not loaded again
            finally:
                maria.client("DROP DATABASE %s" % db)


@unittest.skipUnless(os.path.exists(FLOOR) and os.path.exists(CAPTURE), "bench programs not built in " + BUILD)
class FloorAndCaptureTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.db = os.path.join(self.tmp.name, "f.db")
        db = sqlite3.connect(self.db)
        db.execute("CREATE TABLE t (id INTEGER, name TEXT, body TEXT)")
        db.executemany("INSERT INTO t VALUES (?, ?, ?)",
                       [(i, "näme %d" % i, None if i % 3 == 0 else "x" * (i * 997)) for i in range(1, 11)])
        db.commit()
        db.close()
        self.connect = "Driver={SQLite3};Database=%s;NoCreat=1" % self.db

    def tearDown(self):
        self.tmp.cleanup()

    def floor(self, texts, *extra, env=None):
        path = os.path.join(self.tmp.name, "in.statements")
        statements_file(path, texts)
        return subprocess.run([FLOOR, "--connect", self.connect, "--statements", path] + list(extra),
                              capture_output=True, text=True, env=env)

    def test_reads_every_value_whole(self):
        result = self.floor(["SELECT id, name, body FROM t ORDER BY id", "SELECT count(*) FROM t"])
        self.assertEqual(result.returncode, 0, result.stderr)
        body_bytes = sum(i * 997 for i in range(1, 11) if i % 3)
        name_bytes = sum(len(("näme %d" % i).encode()) for i in range(1, 11))
        id_bytes = 9 + 2 + 2  # "1".."9", "10", and the count "10"
        self.assertEqual(result.stdout.split(),
                         ["statements", "2", "rows", "11", "values", "31", "bytes",
                          str(body_bytes + name_bytes + id_bytes)])

    def test_fails_on_a_bad_statement_or_file(self):
        result = self.floor(["SELECT id FROM t", "SELECT missing FROM nowhere"])
        self.assertEqual(result.returncode, 1)
        self.assertIn("no such table", result.stderr)
        path = os.path.join(self.tmp.name, "cut.statements")
        with open(path, "w") as out:
            out.write("-- qm-statement 40\nSELECT 1\n")
        result = subprocess.run([FLOOR, "--connect", self.connect, "--statements", path], capture_output=True,
                                text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("shorter than its header", result.stderr)
        open(path, "w").close()
        result = subprocess.run([FLOOR, "--connect", self.connect, "--statements", path], capture_output=True,
                                text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("holds no statements", result.stderr)

    def test_capture_records_what_was_sent_in_order(self):
        # The floor sends its statements through SQLExecDirectW, so running
        # it under the capture library must give back the same file.
        texts = ["SELECT id FROM t WHERE name = 'näme 1'", "SELECT\n  count(*)\nFROM t -- two\n", "SELECT '𝄞'"]
        captured = os.path.join(self.tmp.name, "out.statements")
        env = dict(os.environ, LD_PRELOAD=CAPTURE, QM_CAPTURE_STATEMENTS=captured)
        result = self.floor(texts, env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        connect = self.connect.encode()
        with open(os.path.join(self.tmp.name, "in.statements"), "rb") as a, open(captured, "rb") as b:
            self.assertEqual(b"-- qm-connect %d\n%s\n" % (len(connect), connect) + a.read(), b.read())
        # Without the variable nothing is written.
        os.unlink(captured)
        env.pop("QM_CAPTURE_STATEMENTS")
        self.assertEqual(self.floor(texts, env=env).returncode, 0)
        self.assertFalse(os.path.exists(captured))


    def test_session_is_recorded_and_replayed_on_request(self):
        # The floor connects with STRING, with --session adding the recorded
        # attributes (never a password), switching autocommit and setting
        # driver-specific connection attributes; under the capture library
        # that shows in what it records, passwords left out.
        given = "Driver={SQLite3};Database=%s" % self.db
        path = os.path.join(self.tmp.name, "in.statements")
        with open(path, "wb") as out:
            for kind, text in (("connect", given + ";PWD={se;cr}}et};Timeout=1000"), ("statement", "SELECT 1"),
                               ("autocommit", "off"), ("attribute", "65539 1"),
                               ("statement", "SELECT count(*) FROM t")):
                data = text.encode()
                out.write(b"-- qm-%s %s\n" % (kind.encode(), data) if kind in ("autocommit", "attribute") else
                          b"-- qm-%s %d\n" % (kind.encode(), len(data)) + data + b"\n")
        captured = os.path.join(self.tmp.name, "out.statements")

        def replay(*extra):
            if os.path.exists(captured):
                os.unlink(captured)
            env = dict(os.environ, LD_PRELOAD=CAPTURE, QM_CAPTURE_STATEMENTS=captured)
            result = subprocess.run([FLOOR, "--connect", given + ";Pwd=x", "--statements", path] + list(extra),
                                    capture_output=True, text=True, env=env)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(captured, "rb") as handle:
                return handle.read().decode()

        plain = replay()
        self.assertTrue(plain.startswith("-- qm-connect %d\n%s\n" % (len(given), given)), plain)
        self.assertNotIn("autocommit", plain)
        self.assertNotIn("attribute", plain)
        with_session = replay("--session")
        merged = given + ";Timeout=1000"
        self.assertTrue(with_session.startswith("-- qm-connect %d\n%s\n" % (len(merged), merged)), with_session)
        self.assertIn("-- qm-statement 8\nSELECT 1\n-- qm-autocommit off\n-- qm-attribute 65539 1\n-- qm-statement 22\n",
                      with_session)
        self.assertEqual(run.captured_statements(captured), 2)
        self.assertNotIn("se;cr", with_session)
        self.assertEqual(run.session_of(captured), (merged, True))

    def test_connection_keys(self):
        self.assertEqual(run.connection_keys("Driver={A;B};PWD={x;}}y};Fetch=2000;;Lone ;"),
                         ["driver", "pwd", "fetch", "lone"])


class MeasureTest(unittest.TestCase):
    def test_measures_time_and_memory(self):
        result = run.run_measured([sys.executable, "-c", "import time; b = bytearray(64 << 20); time.sleep(0.2)"])
        self.assertEqual(result.rc, 0)
        self.assertGreaterEqual(result.wall, 0.2)
        self.assertGreater(result.rss_kb, 64 * 1024)

    def test_stops_a_run_over_its_limit_with_its_children(self):
        with tempfile.TemporaryDirectory() as tmp:
            marker = os.path.join(tmp, "late")
            start = time.perf_counter()
            result = run.run_measured(["sh", "-c", "sleep 3; touch %s" % marker], limit=0.5)
            self.assertTrue(result.timed_out)
            self.assertLess(time.perf_counter() - start, 2.5)
            time.sleep(3)
            self.assertFalse(os.path.exists(marker))  # the shell's child was stopped too


class JudgeTest(unittest.TestCase):
    def bench_with(self, walls):
        """A harness whose results hold the given import times by size."""
        bench = run.Bench.__new__(run.Bench)
        bench.args = types.SimpleNamespace(timeout=600.0)
        bench.results = {"sqlite": {}}
        for size, wall in walls.items():
            bench.results["sqlite"][size] = {"tools": {"import": {"wall_median_s": wall, "peak_rss_kb": 10000 + size,
                                                                  "status": "ok"}}}
        return bench

    def test_linear_and_quadratic_growth_are_told_apart(self):
        linear = self.bench_with({100: 0.05 + 0.001 * 100, 1000: 0.05 + 0.001 * 1000, 10000: 0.05 + 0.001 * 10000})
        verdict = linear.scaling()["sqlite"]["import"]["verdict"]
        self.assertEqual(verdict["ms_per_table"], "linear")
        self.assertEqual(verdict["kb_per_table"], "linear")
        quadratic = self.bench_with({100: 0.05 + 1e-6 * 100 ** 2, 1000: 0.05 + 1e-6 * 1000 ** 2,
                                     10000: 0.05 + 1e-6 * 10000 ** 2})
        self.assertTrue(quadratic.scaling()["sqlite"]["import"]["verdict"]["ms_per_table"].startswith("faster"))
        # A database whose own time grows faster than linear, under a module
        # that adds a linear cost: the difference series tells them apart.
        for size, info in quadratic.results["sqlite"].items():
            info["tools"]["floor"] = {"wall_median_s": info["tools"]["import"]["wall_median_s"] - 0.0005 * size,
                                      "peak_rss_kb": 5000 + size, "status": "ok"}
        verdicts = quadratic.scaling()["sqlite"]
        self.assertTrue(verdicts["floor"]["verdict"]["ms_per_table"].startswith("faster"))
        self.assertEqual(verdicts["import - floor"]["verdict"]["ms_per_table"], "linear")
        self.assertAlmostEqual(verdicts["import - floor"]["segments"][-1]["ms_per_table"], 0.5)
        two = self.bench_with({100: 0.1, 1000: 1.0})
        self.assertEqual(two.scaling()["sqlite"]["import"]["verdict"]["ms_per_table"], "needs three sizes")

    def test_time_limit_follows_the_linear_projection(self):
        bench = self.bench_with({1000: 2.0})
        self.assertEqual(bench.limit_for("sqlite", "import", 10000), 60.0)    # 3 x 2.0 x 10
        self.assertEqual(self.bench_with({1000: 4.0}).limit_for("sqlite", "import", 10000), 120.0)
        self.assertEqual(bench.limit_for("sqlite", "import", 1000), 600.0)    # nothing smaller measured
        self.assertEqual(self.bench_with({1000: 0.01}).limit_for("sqlite", "import", 10000), run.MIN_LIMIT)
        self.assertEqual(self.bench_with({1000: 30.0}).limit_for("sqlite", "import", 10000), 600.0)
        # The reference programs are held to --timeout only.
        slow = self.bench_with({1000: 2.0})
        slow.results["sqlite"][1000]["tools"]["sqlalchemy"] = {"wall_median_s": 2.0, "status": "ok"}
        self.assertEqual(slow.limit_for("sqlite", "sqlalchemy", 10000), 600.0)

    def test_a_stopped_run_bounds_its_ratios_and_targets(self):
        bench = self.bench_with({})
        tools = {"import": {"status": "ok", "wall_median_s": 0.2, "peak_rss_kb": 1000},
                 "session": {"status": "ok", "wall_median_s": 0.1},
                 "sqlalchemy": {"status": "timeout", "stopped_after_s": 60.0}}
        entry = {"tools": tools, "model": None}
        entry["ratios"] = run.Bench.ratios(entry)
        self.assertEqual(entry["ratios"]["sqlalchemy_vs_import"], 300.0)
        self.assertEqual(entry["ratios"]["bounds"], {"sqlalchemy_vs_import": ">"})
        bench.results = {"sqlite": {1000: entry}}
        met = {t["target"]: t["met"] for t in bench.targets()}
        self.assertIs(met["SQLite 1,000: SQLAlchemy / import"], True)        # > 300, wanted >= 25
        self.assertIs(met["SQLite 1,000: import / bare loop in the plug-in's session"], False)  # 2.0, wanted <= 1.15
        # A stopped import: SQLAlchemy / import is then at most its value,
        # which says nothing about ">= 25" when it is above 25.
        tools["import"] = {"status": "timeout", "stopped_after_s": 1.0}
        tools["sqlalchemy"] = {"status": "ok", "wall_median_s": 30.0}
        entry["ratios"] = run.Bench.ratios(entry)
        self.assertEqual(entry["ratios"]["bounds"], {"sqlalchemy_vs_import": "<", "import_vs_session": ">"})
        met = {t["target"]: t["met"] for t in bench.targets()}
        self.assertIsNone(met["SQLite 1,000: SQLAlchemy / import"])
        self.assertIs(met["SQLite 1,000: import / bare loop in the plug-in's session"], False)  # > 10

    def test_model_counting(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "m.json")
            with open(path, "w") as out:
                json.dump({"type": "model", "children": [{"type": "schema", "children": [
                    {"type": "table", "children": [{"type": "column"}, {"type": "column"}]},
                    {"type": "view", "children": []}]}]}, out)
            self.assertEqual(run.count_model(path), {"model": 1, "schema": 1, "table": 1, "column": 2, "view": 1})
            with open(path, "w") as out:
                out.write("{ cut")
            self.assertIsNone(run.count_model(path))


if __name__ == "__main__":
    unittest.main()

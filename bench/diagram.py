#!/usr/bin/python3
"""Benchmark of the output formats and of the diagram's layout.

For each size a generated SQLite schema (gen/schema.py) is imported once per
format with quillmere-import, written to /dev/null (the documentation
folders, "html/" and "markdown/", to a temporary folder: an index and a page
per table with its own diagram); the import's own time is read from its
summary line, so the rest of the run is the writer's (and the process's
start and exit). Each run's CPU time (user and system) is given too: the
machine may be shared, and a folder's time is much of it the file system's
(--folder puts the folders on another one, /dev/shm for memory); for a folder,
"the files alone" is the time to create its files again with the same bytes
from Python, the file system's share whatever program writes them. Then the diagram's graph (--format dot) is laid
out by each Graphviz engine through the library (qm_layout_bench), each run
stopped at --timeout; an engine stopped at one size is not tried at larger
ones.

  diagram.py --build build-release [--sizes 100,200,1000,10000] [--runs 3]
             [--timeout 300] [--engines dot,sfdp,sfdp-line,neato,fdp]
             [--folder DIR]

Prints a Markdown report; the figures also go to bench/results/diagram.json.
"""

import argparse
import json
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "gen"))
import schema  # noqa: E402

FORMATS = ["json", "tree", "dot", "mermaid", "markdown", "html", "svg", "html/", "markdown/"]

# Engine variants: the name shown, the engine, graph attributes set on top
# of the ones the dot format writes.
ENGINES = {
    "dot": ("dot", []),
    "sfdp": ("sfdp", []),
    "sfdp-line": ("sfdp", ["splines=line"]),
    "neato": ("neato", []),
    "fdp": ("fdp", []),
}

SUMMARY = re.compile(r"imported .* in ([0-9.]+) s")


def database(build, tables):
    folder = os.path.join(build, "bench-data")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "diagram-sqlite-%d-v%d.db" % (tables, schema.GENERATOR_VERSION))
    if not os.path.exists(path):
        schema.build_sqlite(tables, path)
    return path


def child_cpu():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def files_alone(site, parent):
    """Seconds to create the folder's files again, the same bytes under the
    same names, in a new folder on the same file system (one open, write and
    close a file): what the file system costs any program that writes them."""
    files = []
    for root, _, names in os.walk(site):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files.append((os.path.relpath(path, site), f.read()))
    copy = tempfile.mkdtemp(prefix="qm-bench-files.", dir=parent)
    try:
        start = time.monotonic()
        made = set()
        for relative, data in files:
            folder = os.path.dirname(relative)
            if folder and folder not in made:
                os.makedirs(os.path.join(copy, folder), exist_ok=True)
                made.add(folder)
            fd = os.open(os.path.join(copy, relative), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
            view = memoryview(data)
            while view:
                view = view[os.write(fd, view):]
            os.close(fd)
        return time.monotonic() - start
    finally:
        shutil.rmtree(copy, ignore_errors=True)


def write_once(exe, db, fmt, timeout, parent=None):
    folder = tempfile.mkdtemp(prefix="qm-bench-site.", dir=parent) if fmt.endswith("/") else None
    output = os.path.join(folder, "site") + "/" if folder else "/dev/null"
    cpu = child_cpu()
    start = time.monotonic()
    files = None
    try:
        done = subprocess.run([exe, "--sqlite", db, "--format", fmt.rstrip("/"), "-o", output],
                              capture_output=True, text=True, timeout=timeout)
        wall = time.monotonic() - start
        cpu = child_cpu() - cpu
        if folder and done.returncode == 0:
            files = files_alone(output, parent)
    finally:
        if folder:
            shutil.rmtree(folder, ignore_errors=True)
    match = SUMMARY.search(done.stderr)
    imported = float(match.group(1)) if match else None
    message = done.stderr.strip().splitlines()[-1] if done.returncode != 0 and done.stderr.strip() else ""
    return {"exit": done.returncode, "wall": wall, "cpu": cpu, "import": imported, "message": message,
            "files": files}


def measure_formats(exe, db, runs, timeout, parent):
    rows = {}
    for fmt in FORMATS:
        results = [write_once(exe, db, fmt, timeout, parent) for _ in range(runs)]
        wall = statistics.median(r["wall"] for r in results)
        imports = [r["import"] for r in results if r["import"] is not None]
        imported = statistics.median(imports) if imports else None
        files = [r["files"] for r in results if r["files"] is not None]
        rows[fmt] = {
            "files": statistics.median(files) if files else None,
            "exit": results[0]["exit"],
            "wall": wall,
            "cpu": statistics.median(r["cpu"] for r in results),
            "import": imported,
            "write": None if imported is None else max(0.0, wall - imported),
            "message": results[0]["message"],
        }
    return rows


def measure_layout(layout_exe, dot_file, engine, settings, timeout):
    try:
        done = subprocess.run([layout_exe, dot_file, engine] + settings, capture_output=True, text=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        return {"stopped": True}
    if done.returncode != 0:
        return {"failed": done.stderr.strip()}
    return json.loads(done.stdout)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--sizes", default="100,200,1000,10000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("--engines", default=",".join(ENGINES))
    parser.add_argument("--folder", default=None, help="where the documentation folders are written")
    args = parser.parse_args(argv)
    exe = os.path.join(args.build, "bin", "quillmere-import")
    layout_exe = os.path.join(args.build, "bin", "qm_layout_bench")
    sizes = [int(s) for s in args.sizes.split(",")]
    engines = [e for e in args.engines.split(",") if e]
    stopped = set()
    report = {"load": os.getloadavg()[0], "sizes": {}}

    print("# Output formats and diagram layout\n")
    print("Load average at the start: %.2f. Seconds; median of %d runs for the formats.\n" % (report["load"], args.runs))
    for tables in sizes:
        db = database(args.build, tables)
        rows = measure_formats(exe, db, args.runs, max(args.timeout, 600), args.folder)
        dot_file = os.path.join(args.build, "bench-data", "diagram-%d.dot" % tables)
        subprocess.run([exe, "--quiet", "--sqlite", db, "--format", "dot", "-o", dot_file], check=True)
        layouts = {}
        for name in engines:
            if name in stopped:
                layouts[name] = {"skipped": True}
                continue
            engine, settings = ENGINES[name]
            layouts[name] = measure_layout(layout_exe, dot_file, engine, settings, args.timeout)
            if layouts[name].get("stopped"):
                stopped.add(name)
        report["sizes"][tables] = {"formats": rows, "layouts": layouts}

        print("## %d tables\n" % tables)
        print("| format | exit | whole run | CPU | import | writing | writing / import | the files alone |")
        print("|---|---|---|---|---|---|---|---|")
        for fmt, row in rows.items():
            ratio = "" if not row["import"] or row["write"] is None else "%.2f" % (row["write"] / row["import"])
            note = (" (" + row["message"][:90] + "...)") if row["exit"] != 0 and row["message"] else ""
            print("| %s | %d%s | %.2f | %.2f | %s | %s | %s | %s |" % (
                fmt, row["exit"], note, row["wall"], row["cpu"], "" if row["import"] is None else "%.2f" % row["import"],
                "" if row["write"] is None else "%.2f" % row["write"], ratio,
                "" if row["files"] is None else "%.2f" % row["files"]))
        print("\n| layout engine | layout | SVG render | nodes | edges |")
        print("|---|---|---|---|---|")
        for name, result in layouts.items():
            if result.get("skipped"):
                print("| %s | not tried (stopped at a smaller size) | | | |" % name)
            elif result.get("stopped"):
                print("| %s | > %.0f (stopped) | | | |" % (name, args.timeout))
            elif result.get("failed"):
                print("| %s | failed: %s | | | |" % (name, result["failed"][:80]))
            else:
                print("| %s | %.2f | %.2f | %d | %d |" % (name, result["layout"], result["render"], result["nodes"],
                                                         result["edges"]))
        print()
        sys.stdout.flush()
    results = os.path.join(HERE, "results")
    os.makedirs(results, exist_ok=True)
    with open(os.path.join(results, "diagram.json"), "w") as out:
        json.dump(report, out, indent=2)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

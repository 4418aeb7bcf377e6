#!/usr/bin/env bash
# Times the PostgreSQL import of a generated catalogue against pg_dump.
#
#   bench/import/postgres/pg_1000.sh [BUILD_DIR]
#
# BUILD_DIR (default: build) must hold bin/quillmere-import and
# lib/quillmere/plugins/libqm_postgres.so. The database: TABLES tables (default 1000), each
# with 10 columns, a primary key, a foreign key to the table before it and
# an index. It is made in the server QM_PG_CONNECT names (its PG* variables
# too, e.g. after `source DIR/env` of scripts/pg), or, when QM_PG_CONNECT is
# not set, in a throw-away server this script starts and stops.
#
# Each tool runs RUNS times (default 5), after one warm-up run; the script
# prints every run and the median, for:
#   import   quillmere-import --postgres ... -q -o FILE (whole command: load,
#            connect, read the catalogue, write the model as JSON)
#   pg_dump  pg_dump --schema-only (whole command, output to a file)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=${1:-$root/build}
tables=${TABLES:-1000}
runs=${RUNS:-5}
database=qm_bench_pg_${tables}

importer=$build/bin/quillmere-import
[[ -x $importer ]] || { echo "no $importer (build the quillmere-import and qm_postgres targets)" >&2; exit 2; }
[[ -f $build/lib/quillmere/plugins/libqm_postgres.so ]] || { echo "no $build/lib/quillmere/plugins/libqm_postgres.so" >&2; exit 2; }

pgdir=
cleanup() {
  if [[ -n $pgdir ]]; then "$root/scripts/pg" stop "$pgdir" || true; fi
  rm -f "${out:-}" "${dump:-}"
}
trap cleanup EXIT
if [[ -z ${QM_PG_CONNECT:-} ]]; then
  pgdir=$(mktemp -d "${TMPDIR:-/tmp}/qm-bench-pg.XXXXXX")
  rmdir "$pgdir"
  "$root/scripts/pg" start "$pgdir"
  # shellcheck disable=SC1091
  source "$pgdir/env"
fi

bindir=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1)
pg_dump=$bindir/pg_dump

echo "making $database: $tables tables x (10 columns, primary key, foreign key, index)" >&2
"${psql[@]}" -d "${PGDATABASE:-postgres}" -c "DROP DATABASE IF EXISTS $database" -c "CREATE DATABASE $database"
"${psql[@]}" -d "$database" <<SQL
CREATE SCHEMA bench;
DO \$\$
BEGIN
  FOR i IN 1..$tables LOOP
    EXECUTE format(
      'CREATE TABLE bench.t%s (id integer PRIMARY KEY, parent_id integer REFERENCES bench.t%s (id), '
      'name varchar(80) NOT NULL, code text, amount numeric(12,2) DEFAULT 0, created timestamptz DEFAULT now(), '
      'flag boolean, qty bigint, note text, score double precision)',
      lpad(i::text, 5, '0'), lpad(greatest(i - 1, 1)::text, 5, '0'));
    EXECUTE format('CREATE INDEX t%s_name_idx ON bench.t%s (name, code)', lpad(i::text, 5, '0'), lpad(i::text, 5, '0'));
  END LOOP;
END
\$\$;
ANALYZE;
SQL

# QM_PG_CONNECT with its Database attribute replaced.
connection=$(printf '%s' "$QM_PG_CONNECT" | tr ';' '\n' | grep -iv '^database=' | paste -sd ';')
connection="$connection;Database=$database"
out=$(mktemp "${TMPDIR:-/tmp}/qm-bench-model.XXXXXX")
dump=$(mktemp "${TMPDIR:-/tmp}/qm-bench-dump.XXXXXX")

now_ms() { date +%s%3N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run_import() { "$importer" --postgres "$connection" -q -o "$out"; }
run_dump() { "$pg_dump" --schema-only -d "$database" -f "$dump"; }

time_runs() {
  local label=$1 fn=$2 times=() start end
  "$fn"  # warm-up
  for ((r = 1; r <= runs; r++)); do
    start=$(now_ms)
    "$fn"
    end=$(now_ms)
    times+=($((end - start)))
  done
  printf '%-8s runs (ms): %s  median: %s ms\n' "$label" "${times[*]}" "$(printf '%s\n' "${times[@]}" | median)"
}

echo "server: $("${psql[@]}" -At -d "$database" -c 'SHOW server_version'), $(nproc) cores" >&2
time_runs import run_import
time_runs pg_dump run_dump
objects=$(python3 -c "import json,sys; m=json.load(open(sys.argv[1])); n=[0]
def walk(o):
    n[0]+=1
    for c in o.get('children',[]): walk(c)
walk(m); print(n[0])" "$out" 2>/dev/null || echo '?')
printf 'model: %s objects, %s bytes of JSON; dump: %s bytes\n' "$objects" "$(stat -c %s "$out")" "$(stat -c %s "$dump")"

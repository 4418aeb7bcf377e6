#!/usr/bin/env bash
# Builds and runs each fuzz target for a bounded time, one after the other.
#
#   fuzz/run.sh [SECONDS]    per target, default 60
#
# The text layer's corpus grows in build-fuzz/corpus (seeded from
# fuzz/seeds), the saved model reader's in build-fuzz/corpus-model (from
# fuzz/seeds-model); both are kept between runs. Exits non-zero when a
# target crashes, breaks one of its properties, leaks or times out; the
# input that did it is saved under build-fuzz/artifacts/ and can be
# replayed with
#   build-fuzz/<target> build-fuzz/artifacts/<file>
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${QM_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: fuzz/run.sh [SECONDS]" >&2; exit 2; }

"$root/fuzz/build.sh"
mkdir -p "$out/corpus" "$out/corpus-model" "$out/artifacts"

# UBSan findings abort (and so count as crashes), as in the test builds.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}

# run TARGET MAX_LEN CORPUS SEEDS
run() {
  local rc=0
  "$out/$1" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$2" \
    -print_final_stats=1 -artifact_prefix="$out/artifacts/$1-" "$3" "$4" || rc=$?
  if ((rc != 0)); then
    echo "fuzz: $1 failed (exit $rc); the input is in $out/artifacts/" >&2
  fi
  return "$rc"
}

rc=0
run text_fuzzer 4096 "$out/corpus" "$root/fuzz/seeds" || rc=$?
run model_file_fuzzer 8192 "$out/corpus-model" "$root/fuzz/seeds-model" || rc=$?
exit "$rc"

#!/usr/bin/env bash
# Builds and runs the text-layer fuzz target for a bounded time.
#
#   fuzz/run.sh [SECONDS]    default 60
#
# The corpus grows in build-fuzz/corpus (seeded from fuzz/seeds) and is
# kept between runs. Exits non-zero when the target crashes, breaks one of
# its properties, leaks or times out; the input that did it is saved under
# build-fuzz/artifacts/ and can be replayed with
#   build-fuzz/text_fuzzer build-fuzz/artifacts/<file>
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${QM_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: fuzz/run.sh [SECONDS]" >&2; exit 2; }

"$root/fuzz/build.sh"
mkdir -p "$out/corpus" "$out/artifacts"

# UBSan findings abort (and so count as crashes), as in the test builds.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
rc=0
"$out/text_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
  "$out/corpus" "$root/fuzz/seeds" || rc=$?
if ((rc != 0)); then
  echo "fuzz: the text fuzzer failed (exit $rc); the input is in $out/artifacts/" >&2
fi
exit "$rc"

#!/usr/bin/env bash
# Builds the text-layer fuzz target with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, straight from the sources it tests (the
# main build uses g++, which has no libFuzzer).
#
#   fuzz/build.sh            -> build-fuzz/text_fuzzer
#
# QM_FUZZ_BUILD_DIR overrides the output directory; CXX a clang++ to use.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${QM_FUZZ_BUILD_DIR:-$root/build-fuzz}
cxx=${CXX:-clang++}
if ! "$cxx" --version 2>/dev/null | grep -q clang; then
  echo "fuzz: $cxx is not clang; libFuzzer needs clang (apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
fi
mkdir -p "$out"

sources=(
  "$root/fuzz/TextFuzzer.cpp"
  "$root/platform/src/CString.cpp"
  "$root/platform/src/Utf.cpp"
  "$root/platform/src/CodePage.cpp"
  "$root/platform/src/COleVariant.cpp"
  "$root/module/reader/CommonDataObject.cpp"
)

"$cxx" -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Wall -Wextra -Werror \
  -I"$root/platform/include" -I"$root/module/include" \
  "${sources[@]}" -o "$out/text_fuzzer.new"
mv "$out/text_fuzzer.new" "$out/text_fuzzer"
echo "fuzz: built $out/text_fuzzer" >&2

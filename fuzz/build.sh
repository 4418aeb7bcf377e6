#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, straight from the sources they test (the main
# build uses g++, which has no libFuzzer).
#
#   fuzz/build.sh            -> build-fuzz/text_fuzzer       (the text layer)
#                               build-fuzz/model_file_fuzzer (the saved model's reader)
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

flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
  -Wall -Wextra -Werror)

# build NAME SOURCE... [-- LINK FLAGS...]
build() {
  local name=$1 sources=() link=()
  shift
  while (($#)) && [[ $1 != -- ]]; do sources+=("$1"); shift; done
  (($#)) && { shift; link=("$@"); }
  "$cxx" "${flags[@]}" \
    -I"$root/platform/include" -I"$root/module/include" \
    -I"$root/hostlibs/tillerhold/include" -I"$root/writers/include" \
    "${sources[@]}" "${link[@]}" -o "$out/$name.new"
  mv "$out/$name.new" "$out/$name"
  echo "fuzz: built $out/$name" >&2
}

build text_fuzzer \
  "$root/fuzz/TextFuzzer.cpp" \
  "$root/platform/src/CString.cpp" \
  "$root/platform/src/Utf.cpp" \
  "$root/platform/src/CodePage.cpp" \
  "$root/platform/src/COleVariant.cpp" \
  "$root/module/reader/CommonDataObject.cpp"

build model_file_fuzzer \
  "$root/fuzz/ModelFileFuzzer.cpp" \
  "$root"/hostlibs/tillerhold/src/*.cpp \
  "$root/platform/src/Utf.cpp" \
  -- -lsimdjson

#!/usr/bin/env bash
# Fuzzes one target with libFuzzer for a number of seconds:
#
#   scripts/fuzz.sh TARGET SECONDS      (TARGET: document, persisted,
#                                        connection_string, connections_file,
#                                        vbscript)
#
# Builds the library and the target with clang and the address and
# undefined-behaviour sanitizers into ./build-fuzz (installing clang and its
# fuzzing runtime when missing), then runs it from the target's seed corpus
# (fuzz/corpus/TARGET, or the examples and the script corpus) and the inputs
# that once crashed it
# (fuzz/regressions/TARGET). New inputs it finds go to
# build-fuzz/fuzz-work/TARGET/corpus, crashing ones to .../crashes: copy a
# crashing input into fuzz/regressions/TARGET once it is fixed, so that the
# normal test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
if [ ! -f "fuzz/${target}_fuzz.cpp" ]; then
  echo "fuzz: no target '$target' (see fuzz/*_fuzz.cpp)" >&2
  exit 2
fi

bash scripts/setup.sh
missing=()
command -v clang++ >/dev/null || missing+=(clang)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || missing+=(libclang-rt-dev)
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y "${missing[@]}"
fi

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DVELDRANE_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j "${JOBS:-2}" --target "fuzz-$target"

work="build-fuzz/fuzz-work/$target"
mkdir -p "$work/corpus" "$work/crashes"
# A script may ask for more memory than there is: that is an error value
# for it (7, out of memory), not a crash of ours.
export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
# Seeds the project keeps elsewhere are read from there (libFuzzer reads
# folders with their subfolders).
case "$target" in
  document) seeds=examples ;;
  vbscript) seeds=vbscript/tests/corpus ;;
  *) seeds="fuzz/corpus/$target" ;;
esac
exec "build-fuzz/bin/fuzz-$target" "$work/corpus" "$seeds" "fuzz/regressions/$target" \
     -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 -timeout=20 \
     -artifact_prefix="$work/crashes/" -print_final_stats=1

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and runs
# each for the given number of seconds (default 60), seeded from the format's
# registered sample, fuzz/seeds, tests/data and the shared PngSuite images.
# New corpus entries stay in fuzz/out/corpus; crashes land in
# fuzz/out/<target>/.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
tessarin_install_packages clang libclang-rt-14-dev
seconds="${1:-60}"; shift || true
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_FUZZ=ON >/dev/null
cmake --build "$root/build-fuzz" -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$root"/build-fuzz/fuzz/fuzz_*; do targets+=("$(basename "$t")"); done
fi
shared="$root/tests/data/pngsuite"
for t in "${targets[@]}"; do
  kind="${t#fuzz_}"
  corpus="$root/fuzz/out/corpus/$kind"
  mkdir -p "$corpus" "$root/fuzz/out/$t"
  seeds=()
  [ -d "$root/fuzz/seeds/$kind" ] && seeds+=("$root/fuzz/seeds/$kind")
  [ -d "$root/tests/data/$kind" ] && seeds+=("$root/tests/data/$kind")
  case "$kind" in png*) [ -d "$shared" ] && seeds+=("$shared") ;; esac
  echo "== $t for ${seconds}s"
  TESSARIN_FUZZ_SAMPLE_DIR="$corpus" ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$root/build-fuzz/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -malloc_limit_mb=4096 \
      -timeout=20 -artifact_prefix="$root/fuzz/out/$t/" -print_final_stats=1 \
      "$corpus" "${seeds[@]}" 2>&1 | grep -E '^(#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units|artifact_prefix|Test unit written)' || true
done

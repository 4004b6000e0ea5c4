#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each on its seed corpus
# (fuzz/corpus/NAME) for FUZZ_SECONDS seconds (default 30). A crash, a leak, undefined behaviour
# or an input that runs longer than FUZZ_TIMEOUT seconds (default 30) fails the script; the input
# is left in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-30}"
timeout="${FUZZ_TIMEOUT:-30}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLON_FUZZ=ON -DQUILLON_CORE_ONLY=ON -DQUILLON_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target quillon-fuzz-stream quillon-fuzz-emf

mkdir -p build-fuzz/artifacts
for name in stream emf; do
  work="build-fuzz/corpus-$name"
  rm -rf "$work"
  mkdir -p "$work"
  echo "fuzzing quillon-fuzz-$name for $seconds s"
  ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}" UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}" \
    "build-fuzz/quillon-fuzz-$name" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$name-" "$work" "fuzz/corpus/$name" \
    > "build-fuzz/fuzz-$name.log" 2>&1 || {
      tail -n 60 "build-fuzz/fuzz-$name.log"
      echo "quillon-fuzz-$name failed: the input is in build-fuzz/artifacts/" >&2
      exit 1
    }
  grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "build-fuzz/fuzz-$name.log" || true
done

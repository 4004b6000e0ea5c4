#!/usr/bin/env bash
# Sets Quillon Print up and runs every test; this is what CI runs. Three stages, each stopping the
# run when it fails:
#   1. the normal build, warnings as errors, and all its tests (each test case a ctest test);
#   2. the whole program again under AddressSanitizer and UndefinedBehaviorSanitizer, with the
#      quillon-render processes that the tests start; Qt's and fontconfig's memory still held at
#      exit is the only leak allowed (tests/sanitizers/lsan.supp);
#   3. each libFuzzer target for FUZZ_SECONDS (30) seconds on its seed corpus (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
jobs="$(nproc)"
stage() { echo "=== $1 ($((SECONDS - start)) s)"; }

stage "normal build and tests"
scripts/setup.sh -DQUILLON_WERROR=ON
ctest --test-dir build -j"$jobs" --output-on-failure

stage "AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DQUILLON_SANITIZE=ON -DQUILLON_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$jobs"
# A sanitizer's exit code (86) differs from every exit code that the tests expect of a program.
export ASAN_OPTIONS="detect_leaks=1:exitcode=86:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
ctest --test-dir build-asan -j"$jobs" --output-on-failure
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

stage "fuzzing"
scripts/install-packages.sh clang libclang-rt-dev
scripts/fuzz.sh

stage "all tests passed"

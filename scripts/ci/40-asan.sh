#!/usr/bin/env bash
# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer: unit tests,
# the end-to-end runs of the real programs and the plugin inside clientsim (fuzz runs and
# benchmarks left out; stage 30 fuzzes with the same sanitizers). RD_ASAN_LEAKS=1 adds
# leak checks.
set -euo pipefail
BUILD=${BUILD:-build/ci}
JOBS=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen RELAYDECK_DIRECTORY_URL=${RELAYDECK_DIRECTORY_URL:-http://127.0.0.1:9/}
ASAN=${BUILD}-asan
cmake -S . -B "$ASAN" -G Ninja -DCMAKE_BUILD_TYPE=Asan -DRD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$ASAN" -j "$JOBS"
export ASAN_OPTIONS="detect_leaks=${RD_ASAN_LEAKS:-0}:abort_on_error=1:detect_stack_use_after_return=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ASAN" --output-on-failure -j "$JOBS" -LE 'fuzz' --timeout 900

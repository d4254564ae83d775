#!/usr/bin/env bash
# Bounded libFuzzer runs (clang, address + undefined behaviour sanitizers), one per parser:
# RD_FUZZ_SECONDS (default 20) each, two at a time. Inputs found are kept in the build
# folder's fuzz-work/ for the next run; a crash leaves its input there as crash-* too.
set -euo pipefail
FUZZ=${BUILD}-fuzz
CC=clang CXX=clang++ cmake -S . -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_FUZZ=ON \
  -DRD_BUILD_BENCHMARKS=OFF -DRD_FUZZ_SECONDS="${RD_FUZZ_SECONDS:-20}" >/dev/null
cmake --build "$FUZZ" -j "$JOBS" --target rd_fuzzers
ctest --test-dir "$FUZZ" --output-on-failure -L fuzz -j "$JOBS" --timeout 600

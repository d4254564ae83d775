#!/usr/bin/env bash
# Bounded libFuzzer runs (clang, address + undefined behaviour sanitizers).
set -euo pipefail
FUZZ=${BUILD}-fuzz
CC=clang CXX=clang++ cmake -S . -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_FUZZ=ON \
  -DRD_BUILD_APP=OFF -DRD_BUILD_BENCHMARKS=OFF -DRD_MODULES="link;plugin" >/dev/null
cmake --build "$FUZZ" -j "$JOBS" --target rd_plugin_fuzz
ctest --test-dir "$FUZZ" --output-on-failure -L fuzz --timeout 300

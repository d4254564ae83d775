#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing Debian packages first.
#   1. the whole tree with warnings as errors, all CTest tests;
#   2. the plugin, the substitute client and the wire format again under ThreadSanitizer;
#   3. a bounded libFuzzer run over the plugin's command handler (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD=${RD_BUILD_DIR:-build/ci}
JOBS=${RD_JOBS:-$(nproc)}
export QT_QPA_PLATFORM=offscreen
# Tests never talk to the real directory service: a loopback port where nothing listens.
export RELAYDECK_DIRECTORY_URL=${RELAYDECK_DIRECTORY_URL:-http://127.0.0.1:9/}

echo "== build and test (RelWithDebInfo, -Werror)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" --timeout 600

echo "== plugin threads under ThreadSanitizer"
TSAN=${BUILD}-tsan
cmake -S . -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=Tsan -DRD_BUILD_APP=OFF -DRD_BUILD_BENCHMARKS=OFF \
  -DRD_MODULES="link;plugin;clientsim;e2e" >/dev/null
cmake --build "$TSAN" -j "$JOBS"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$TSAN" --output-on-failure -j "$JOBS" -L 'plugin|link|clientsim' --timeout 600

echo "== plugin command handler under libFuzzer (bounded)"
FUZZ=${BUILD}-fuzz
CC=clang CXX=clang++ cmake -S . -B "$FUZZ" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_FUZZ=ON \
  -DRD_BUILD_APP=OFF -DRD_BUILD_BENCHMARKS=OFF -DRD_MODULES="link;plugin" >/dev/null
cmake --build "$FUZZ" -j "$JOBS" --target rd_plugin_fuzz
ctest --test-dir "$FUZZ" --output-on-failure -L fuzz --timeout 300

#!/usr/bin/env bash
# The plugin, the substitute client and the wire format again under ThreadSanitizer.
set -euo pipefail
TSAN=${BUILD}-tsan
cmake -S . -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=Tsan -DRD_BUILD_APP=OFF -DRD_BUILD_BENCHMARKS=OFF \
  -DRD_MODULES="link;ini;plugin;clientsim;e2e" >/dev/null
cmake --build "$TSAN" -j "$JOBS"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$TSAN" --output-on-failure -j "$JOBS" -L 'plugin|link|clientsim' --timeout 600

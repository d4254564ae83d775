#!/usr/bin/env bash
# The program's own threads under ThreadSanitizer: the serial port workers and backends
# (virtual, CM108 stand-in, lost ports), the web server and the sound modules, with the
# modules they stand on. The windows and the gateway engines run on the main thread only
# and are left out.
set -euo pipefail
TSAN=${BUILD}-tsan-app
cmake -S . -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=Tsan -DRD_BUILD_BENCHMARKS=OFF \
  -DRD_MODULES="link;ini;config;audio;serial;web" >/dev/null
cmake --build "$TSAN" -j "$JOBS"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$TSAN" --output-on-failure -j "$JOBS" -L 'serial|web|audio|config' --timeout 600

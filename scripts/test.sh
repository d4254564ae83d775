#!/usr/bin/env bash
# Builds everything and runs every test. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD=${RD_BUILD_DIR:-build/ci}
JOBS=${RD_JOBS:-$(nproc)}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" --timeout 600
# The plugin's threads once more under ThreadSanitizer.
if [ -d plugin ] && ls plugin/*.cpp >/dev/null 2>&1 && [ -f tests/e2e_plugin.cmake -o -d plugin/tests ]; then
  TSAN=${BUILD}-tsan
  cmake -S . -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=Tsan -DRD_BUILD_APP=OFF -DRD_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build "$TSAN" -j "$JOBS"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir "$TSAN" --output-on-failure -j "$JOBS" -L 'plugin|link|clientsim' --timeout 600
fi

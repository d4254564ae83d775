#!/usr/bin/env bash
# The whole tree with warnings as errors, then every CTest test except the fuzz runs.
set -euo pipefail
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" --timeout 600

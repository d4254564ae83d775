#!/usr/bin/env bash
# The demo: the substitute TeamSpeak client with the plugin, a simulated radio on a
# virtual serial port, and Relaydeck with a demo gateway in a fresh home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
BUILD=${RD_BUILD_DIR:-build/demo}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRD_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
exec python3 tools/demo.py --build "$BUILD" "$@"
